#include "export/Destination.h"

#include "export/Manifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::exporting {

namespace {

// Every level from the top down, so the first one that cannot be made names the reason.
QString MakeLevels(const QString& folder) {
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QString path;
    for (const QString& part : clean.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(path);
        struct stat info {};
        if (::stat(native.constData(), &info) != 0 && ::mkdir(native.constData(), 0777) != 0 &&
            errno != EEXIST) {
            return SystemReason();
        }
    }
    return {};
}

}  // namespace

QString SystemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString PrepareDestination(const QString& folder) {
    if (QString reason = MakeLevels(folder); !reason.isEmpty()) {
        return reason;
    }
    const QByteArray probe = QFile::encodeName(
        QDir(folder).filePath(QStringLiteral(".velmora-probe-%1").arg(::getpid())));
    const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return SystemReason();
    }
    static const char kBytes[4096] = {};
    QString reason;
    // A nearly full disk takes part of a write and refuses the rest with its reason.
    std::size_t written = 0;
    while (written < sizeof kBytes && reason.isEmpty()) {
        const ssize_t n = ::write(fd, kBytes + written, sizeof kBytes - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            reason = SystemReason();
        } else if (n == 0) {
            reason = QString::fromLocal8Bit(std::strerror(ENOSPC));
        }
    }
    if (reason.isEmpty() && ::fsync(fd) != 0) {
        reason = SystemReason();
    }
    ::close(fd);
    if (::unlink(probe.constData()) != 0 && reason.isEmpty()) {
        reason = SystemReason();
    }
    return reason;
}

std::unique_ptr<QLockFile> LockBeside(const QString& manifestPath, QString* refusal) {
    const QString folder = QFileInfo(manifestPath).absolutePath();
    QDir().mkpath(folder);
    auto lock = std::make_unique<QLockFile>(LockPathFor(manifestPath));
    if (lock->tryLock(0)) {
        return lock;
    }
    qint64 pid = 0;
    QString host;
    QString application;
    lock->getLockInfo(&pid, &host, &application);
    *refusal = lock->error() == QLockFile::LockFailedError
                   ? QStringLiteral(
                         "Another export (process %1) is writing into\r\n%2\r\nWait for "
                         "it to end, or choose another folder.")
                         .arg(pid)
                         .arg(QDir::toNativeSeparators(folder))
                   : QStringLiteral("The export cannot lock its manifest\r\n%1.")
                         .arg(QDir::toNativeSeparators(LockPathFor(manifestPath)));
    return nullptr;
}

}  // namespace velmora::exporting
