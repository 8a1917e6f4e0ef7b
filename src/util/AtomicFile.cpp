#include "util/AtomicFile.h"

#include "util/FileNames.h"
#include "util/WriteAll.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Anything there that a rename would destroy or that is no plain file: "" when the way is
// clear, else why not. A missing destination is fine.
QString CheckDestination(const QByteArray& path, mode_t* mode) {
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0) {
        return errno == ENOENT ? QString() : SystemReason(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return SystemReason(EISDIR);
    }
    if (!S_ISREG(info.st_mode)) {
        return QStringLiteral("Not a regular file");
    }
    *mode = info.st_mode & 07777;
    return {};
}

// The file name a temporary of fileName starts with, its dot included.
QString TemporaryStem(const QString& fileName) {
    return filenames::FitToBytes(fileName, filenames::kMaxNameBytes - 1 - kTemporaryTagChars) +
           QLatin1Char('.');
}

}  // namespace

QString TemporaryPathFor(const QString& path) {
    static constexpr char kTagChars[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    const QFileInfo destination(path);
    QString name = TemporaryStem(destination.fileName());
    for (int i = 0; i < kTemporaryTagChars; ++i) {
        name += QLatin1Char(kTagChars[QRandomGenerator::global()->bounded(36)]);
    }
    return destination.dir().filePath(name);
}

QString TemporaryNameFilter(const QString& fileName) {
    QString filter;
    for (const QChar c : TemporaryStem(fileName)) {
        if (c == u'*' || c == u'?' || c == u'[') {
            filter += QLatin1Char('[') + c + QLatin1Char(']');
        } else {
            filter += c;
        }
    }
    return filter + QString(kTemporaryTagChars, QLatin1Char('?'));
}

AtomicFile::AtomicFile(QString path) : m_path(std::move(path)) {}

AtomicFile::~AtomicFile() {
    Discard();
}

void AtomicFile::Discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.isEmpty()) {
        ::unlink(QFile::encodeName(m_temporary).constData());
        m_temporary.clear();
    }
}

QString AtomicFile::Open() {
    Discard();
    if (m_path.isEmpty()) {
        return m_failure = SystemReason(ENOENT);
    }
    mode_t mode = 0;
    if (QString refusal = CheckDestination(QFile::encodeName(m_path), &mode); !refusal.isEmpty()) {
        return m_failure = refusal;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = TemporaryPathFor(m_path);
        // 0666 with the umask applied: the permissions a new file gets anyway.
        m_fd = ::open(QFile::encodeName(candidate).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_temporary = candidate;
            if (mode != 0 && ::fchmod(m_fd, mode) != 0) {
                const int error = errno;
                Discard();
                return m_failure = SystemReason(error);
            }
            m_failure.clear();
            return {};
        }
        if (errno != EEXIST) {
            return m_failure = SystemReason(errno);
        }
    }
    return m_failure = SystemReason(EEXIST);
}

QString AtomicFile::Write(const char* data, qint64 size) {
    if (m_fd < 0) {
        return m_failure.isEmpty() ? SystemReason(EBADF) : m_failure;
    }
    QFile file;
    if (!file.open(m_fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::DontCloseHandle)) {
        return m_failure = file.errorString();
    }
    if (QString reason = WriteAll(file, data, size); !reason.isEmpty()) {
        Discard();
        return m_failure = reason;
    }
    return {};
}

QString AtomicFile::Commit() {
    if (m_fd < 0) {
        return m_failure.isEmpty() ? SystemReason(EBADF) : m_failure;
    }
    QString reason;
    if (::fsync(m_fd) != 0) {
        reason = SystemReason(errno);
    }
    if (::close(m_fd) != 0 && reason.isEmpty()) {
        reason = SystemReason(errno);
    }
    m_fd = -1;
    if (reason.isEmpty() && ::rename(QFile::encodeName(m_temporary).constData(),
                                     QFile::encodeName(m_path).constData()) != 0) {
        reason = SystemReason(errno);
    }
    if (reason.isEmpty()) {
        m_temporary.clear();
    } else {
        Discard();
        m_failure = reason;
    }
    return reason;
}

QString WriteFileAtomically(const QString& path, const QByteArray& data) {
    AtomicFile file(path);
    QString reason = file.Open();
    if (reason.isEmpty()) {
        reason = file.Write(data);
    }
    return reason.isEmpty() ? file.Commit() : reason;
}

}  // namespace velmora
