#include "components/mailconverter/MailConverter.h"

#include "components/mailconverter/FileName.h"
#include "components/mailconverter/PdfFinisher.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>

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
    std::vector<PdfLink> links;
    const QByteArray painted = m_renderer.Render(mail, &links);
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
    // Written beside the destination under a temporary name and renamed into place.
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        throw ConversionError(QStringLiteral("The PDF \"%1\" cannot be created: %2")
                                  .arg(pdfPath, file.errorString()));
    }
    PdfFinisher::Finish(painted, {mail.subject, mail.sender, mail.date}, files, file, &source,
                        links);
    // A full disk may show only when the data reaches it, and commit() ignores a failed sync.
    QString reason;
    if (!file.flush()) {
        reason = file.errorString();
    } else if (::fsync(file.handle()) != 0) {
        reason = qt_error_string(errno);
    }
    if (!reason.isEmpty()) {
        file.cancelWriting();  // the temporary file goes with `file`
        throw ConversionError(
            QStringLiteral("The PDF \"%1\" cannot be written: %2").arg(pdfPath, reason));
    }
    CheckDestination(emlPath, pdfPath);  // again: the conversion took time
    if (!file.commit()) {
        throw ConversionError(QStringLiteral("The PDF \"%1\" cannot be written: %2")
                                  .arg(pdfPath, file.errorString()));
    }
}

void RegisterComponent() {
    automation::Registry::Instance().Register(QStringLiteral("MailConverter.MailConverterX"),
                                              [] { return std::make_shared<MailConverter>(); });
}

}  // namespace velmora::mailconverter
