#include "util/WriteAll.h"

#include <cerrno>
#include <cstring>

namespace velmora {

QString WriteAll(QIODevice& device, const char* data, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        errno = 0;
        const qint64 n = device.write(data + done, size - done);
        if (n < 0) {
            const int error = errno;
            QString reason = device.errorString();
            if (error != 0 && (reason.isEmpty() || reason == QLatin1String("Unknown error"))) {
                reason = QString::fromLocal8Bit(std::strerror(error));
            }
            return reason;
        }
        if (n == 0) {
            return QString::fromLocal8Bit(std::strerror(ENOSPC));  // took nothing, said nothing
        }
        done += n;
    }
    return {};
}

}  // namespace velmora
