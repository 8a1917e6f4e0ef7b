#include "components/mailconverter/MailConverter.h"

#include "components/mailconverter/PdfFinisher.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    const QByteArray painted = m_renderer.Render(mail);
    std::vector<MailAttachment> files;
    CollectFiles(mail, files);
    // Written beside the destination under a temporary name and renamed into place.
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        throw ConversionError(QStringLiteral("The PDF \"%1\" cannot be created: %2")
                                  .arg(pdfPath, file.errorString()));
    }
    PdfFinisher::Finish(painted, {mail.subject, mail.sender, mail.date}, files, file);
    // A full disk shows at the latest when the data reaches it; commit() would not say.
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
