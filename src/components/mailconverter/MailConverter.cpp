#include "components/mailconverter/MailConverter.h"

#include "components/mailconverter/MailRenderer.h"
#include "util/AtomicFile.h"
#include "util/FileNames.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <functional>

#include <sys/stat.h>

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
    QString name = filenames::WithoutControls(QFileInfo(emlPath).fileName());
    if (!name.endsWith(QLatin1String(".eml"), Qt::CaseInsensitive)) {
        name += QLatin1String(".eml");
    }
    return {filenames::CapName(name), QStringLiteral("message/rfc822"), file.readAll()};
}

// Written beside the destination under a temporary name, synced once and renamed into place
// after `beforeRename` has not thrown; a PDF that stood there before keeps its permissions
// and stays as it was on any failure, which names the system's reason.
void WriteAtomically(const QString& pdfPath, const QByteArray& bytes,
                     const std::function<void()>& beforeRename) {
    const auto failed = [&pdfPath](const QString& what, const QString& reason) {
        return ConversionError(
            QStringLiteral("The PDF \"%1\" cannot be %2: %3").arg(pdfPath, what, reason));
    };
    AtomicFile file(pdfPath);
    if (const QString reason = file.Open(); !reason.isEmpty()) {
        throw failed(QStringLiteral("created"), reason);
    }
    if (const QString reason = file.Write(bytes); !reason.isEmpty()) {
        throw failed(QStringLiteral("written"), reason);
    }
    beforeRename();
    if (const QString reason = file.Commit(); !reason.isEmpty()) {
        throw failed(QStringLiteral("written"), reason);
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
