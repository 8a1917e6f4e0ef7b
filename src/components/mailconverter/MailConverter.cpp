#include "components/mailconverter/MailConverter.h"

#include "components/mailconverter/PdfFinisher.h"

#include <QFileInfo>
#include <QSaveFile>

namespace velmora::mailconverter {

namespace {

void CollectFiles(const MailContent& mail, std::vector<MailAttachment>& out) {
    out.insert(out.end(), mail.attachments.begin(), mail.attachments.end());
    for (const MailContent& inner : mail.attachedMessages) {
        CollectFiles(inner, out);
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
    if (QFileInfo(pdfPath).isDir()) {
        throw ConversionError(QStringLiteral("\"%1\" is a folder, not a PDF path.").arg(pdfPath));
    }
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
