#include "components/mailconverter/MailConverter.h"

#include "components/mailconverter/MailRenderer.h"
#include "components/mailconverter/base/FileName.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::mailconverter {

namespace {

void CollectFiles(const MailContent& mail, std::vector<MailAttachment>& out) {
    out.insert(out.end(), mail.attachments.begin(), mail.attachments.end());
    for (const MailContent& inner : mail.attachedMessages) {
        CollectFiles(inner, out);
    }
}

bool SameFile(const QString& a, const QString& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Only a regular file is ever replaced: a pipe, a device or the message itself is not a
// place to put a PDF, and the rename would destroy it.
void CheckDestination(const QString& emlPath, const QString& pdfPath) {
    const QFileInfo target(pdfPath);
    if (target.isDir()) {
        throw ConversionError(QStringLiteral("\"%1\" is a folder, not a PDF path.").arg(pdfPath));
    }
    if (target.exists() && !target.isFile()) {
        throw ConversionError(
            QStringLiteral("\"%1\" is not a regular file; the PDF is not written there.")
                .arg(pdfPath));
    }
    if (SameFile(emlPath, pdfPath)) {
        throw ConversionError(
            QStringLiteral("\"%1\" is the message itself; the PDF is not written over it.")
                .arg(pdfPath));
    }
}

// The message file itself, to be embedded as the source of the PDF.
MailAttachment SourceFile(const QString& emlPath) {
    QFile file(emlPath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw ConversionError(QStringLiteral("The message file \"%1\" cannot be read: %2")
                                  .arg(emlPath, file.errorString()));
    }
    QString name;
    for (const QChar c : QFileInfo(emlPath).fileName()) {
        if (c.unicode() >= 0x20 && c.unicode() != 0x7F) {
            name += c;
        }
    }
    if (!name.endsWith(QLatin1String(".eml"), Qt::CaseInsensitive)) {
        name += QLatin1String(".eml");
    }
    return {CapFileName(name), QStringLiteral("message/rfc822"), file.readAll()};
}

// Six characters after the name, as QSaveFile's: the export's resume finds what a killed run
// left by that shape.
int CreateTemporary(const QString& pdfPath, QByteArray& name) {
    static constexpr char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = QFile::encodeName(pdfPath) + '.';
        for (int i = 0; i < 6; ++i) {
            name += kLetters[QRandomGenerator::global()->bounded(36)];
        }
        // The mode is narrowed by the umask, as for any new file.
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Written beside the destination under a temporary name, synced once and renamed into place
// after `beforeRename` has not thrown; a PDF that stood there before keeps its permissions
// and stays as it was on any failure. Written through the descriptor, which tells the
// reason of a short write ("No space left on device", "File too large").
void WriteAtomically(const QString& pdfPath, const QByteArray& bytes,
                     const std::function<void()>& beforeRename) {
    const auto failed = [&pdfPath](const QString& what, int error) {
        return ConversionError(QStringLiteral("The PDF \"%1\" cannot be %2: %3")
                                   .arg(pdfPath, what, qt_error_string(error)));
    };
    QByteArray temporary;
    const int fd = CreateTemporary(pdfPath, temporary);
    if (fd < 0) {
        throw failed(QStringLiteral("created"), errno);
    }
    int error = 0;
    struct stat before {};
    if (::stat(QFile::encodeName(pdfPath).constData(), &before) == 0 && S_ISREG(before.st_mode)) {
        ::fchmod(fd, before.st_mode & 07777);
    }
    for (qsizetype done = 0; done < bytes.size() && error == 0;) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written > 0) {
            done += written;
        } else if (written == 0 || errno != EINTR) {
            error = written == 0 ? ENOSPC : errno;  // a regular file that takes nothing is full
        }
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR) {
        error = errno;
    }
    try {
        if (error != 0) {
            throw failed(QStringLiteral("written"), error);
        }
        beforeRename();
        if (::rename(temporary.constData(), QFile::encodeName(pdfPath).constData()) != 0) {
            throw failed(QStringLiteral("written"), errno);
        }
    } catch (...) {
        ::unlink(temporary.constData());
        throw;
    }
}

}  // namespace

MailConverter::MailConverter(ReaderLimits limits, RenderOptions options)
    : m_reader(limits), m_renderer(std::move(options)) {}

void MailConverter::Convert(const QString& emlPath, const QString& pdfPath,
                            const QString& switches) {
    if (switches.simplified() != QLatin1String("-c PDF")) {
        throw ConversionError(
            QStringLiteral("Unknown conversion switches \"%1\"; only \"-c PDF\" is supported.")
                .arg(switches));
    }
    if (pdfPath.isEmpty()) {
        throw ConversionError(QStringLiteral("No PDF path was given."));
    }
    CheckDestination(emlPath, pdfPath);
    const MailContent mail = m_reader.ReadFile(emlPath);
    std::vector<MailAttachment> files;
    CollectFiles(mail, files);
    MailAttachment source = SourceFile(emlPath);
    // A file that is no message is attached by the reader as it came: that is the source.
    const auto same = std::find_if(files.begin(), files.end(), [&source](const auto& file) {
        return file.mimeType == source.mimeType && file.data == source.data;
    });
    if (same != files.end()) {
        source.name = same->name;
        files.erase(same);
    }
    const QByteArray pdf = m_renderer.Render(
        mail, nullptr,
        {{mail.subject, mail.sender, mail.date}, std::move(files), std::move(source), {}});
    // A symbolic link keeps pointing where it did: the file it names is replaced.
    const QFileInfo destination(pdfPath);
    const QString target =
        destination.isSymLink() && destination.exists() ? destination.canonicalFilePath() : pdfPath;
    WriteAtomically(target, pdf, [&] { CheckDestination(emlPath, pdfPath); });
}

void RegisterComponent() {
    automation::Registry::Instance().Register(QStringLiteral("MailConverter.MailConverterX"),
                                              [] { return std::make_shared<MailConverter>(); });
}

}  // namespace velmora::mailconverter
