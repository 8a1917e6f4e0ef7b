#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

namespace velmora {

// Writes all of data to device (best opened Unbuffered). A file system that takes only part of
// a write (a full disk, a file size limit) is asked again for the rest, which fails with the
// system's reason: "" when everything went, else that reason, never a bare short count.
QString WriteAll(QIODevice& device, const char* data, qint64 size);
inline QString WriteAll(QIODevice& device, const QByteArray& data) {
    return WriteAll(device, data.constData(), data.size());
}

}  // namespace velmora
