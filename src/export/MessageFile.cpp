#include "export/MessageFile.h"

#include "automation/Automation.h"
#include "components/mailconverter/MailConverterX.h"
#include "components/mime/MailComposer.h"
#include "components/mime/MailError.h"
#include "components/mime/MailMessage.h"
#include "components/mime/MimeComponent.h"
#include "export/FileNames.h"
#include "export/MessageExtractor.h"
#include "notes/FolderNames.h"
#include "util/Global.h"
#include "util/WriteAll.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

namespace velmora::exporting {

namespace {

// Redraws before a counter is added to a taken name.
constexpr int kDraws = 4;
// Room kept for the number, a counter and the extension.
constexpr int kSuffixBytes = 24;

template <class Step>
void Tolerant(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
        // One part of the message is left out; the rest still goes.
    }
}

QString ReasonOf(const std::exception& error) {
    return QString::fromStdString(error.what());
}

}  // namespace

MessageFileWriter::MessageFileWriter(UserInterface& ui,
                                     std::shared_ptr<mailconverter::MailConverterX> converter,
                                     std::function<int()> drawNumber)
    : m_ui(ui), m_converter(std::move(converter)), m_drawNumber(std::move(drawNumber)) {
    if (!m_drawNumber) {
        m_drawNumber = [] { return Global::RandomBetween(1, 40000); };
    }
}

bool MessageFileWriter::Taken(const QString& folder, const QString& base) const {
    return m_reserved.contains(folder + base) ||
           QFileInfo::exists(folder + base + QStringLiteral(".pdf")) ||
           QFileInfo::exists(folder + base + QStringLiteral(".eml"));
}

QString MessageFileWriter::FreeBaseName(const QString& folder, const QString& sanitisedSubject) {
    const QString subject =
        filenames::FitToBytes(sanitisedSubject, filenames::kMaxNameBytes - kSuffixBytes);
    QString base;
    for (int draw = 0; draw < kDraws; ++draw) {
        base = subject + QString::number(m_drawNumber());
        if (!Taken(folder, base)) {
            return base;
        }
    }
    // Never overwrite: a counter settles what the draws did not.
    return filenames::FirstFreeName(base, QString(),
                                    [&](const QString& name) { return Taken(folder, name); });
}

MessageOutcome MessageFileWriter::CreateEmailItem(const QString& exportRoot,
                                                  const MailRecord& record) {
    const PreparedMessage prepared = Prepare(exportRoot, record);
    const MessageOutcome outcome = Finish(prepared, m_converter.get(), [this] { m_ui.DoEvents(); });
    Release(prepared);
    return outcome;
}

void MessageFileWriter::Release(const PreparedMessage& prepared) {
    m_reserved.remove(prepared.pdfPath.chopped(4));
}

PreparedMessage MessageFileWriter::Prepare(const QString& exportRoot, const MailRecord& record,
                                           const QString& baseName) {
    PreparedMessage prepared;
    auto message = automation::CreateObject<mime::MailMessage>(mime::kMailMessageClassId);
    if (message) {
        Tolerant([&] { message->AddTo(record.eTo, record.eTo); });
        Tolerant([&] { message->SetSubject(record.eSubject); });
        Tolerant([&] { message->SetBody(record.eBody); });
        if (!record.mimeBody.isEmpty()) {
            Tolerant([&] { message->SetMimeBody(record.mimeBody); });
        }
        Tolerant([&] { message->SetFrom(record.eFrom); });
        Tolerant([&] { message->AddCc(record.eCC, record.eCC); });
        Tolerant([&] { message->AddBcc(record.eBCC, record.eBCC); });
        // A message without any date stays without one: the export day is no date it had.
        Tolerant([&] {
            if (const auto date = ParseMessageDate(record.eDate)) {
                message->SetDate(*date);
            }
        });
    }
    if (!record.eAttachFileName.isEmpty()) {
        const QStringList paths = record.eAttachFileName.mid(1).split(QLatin1Char('|'));
        for (const QString& path : paths) {
            if (message) {
                Tolerant([&] { message->AddAttachment(path); });
            }
            if (!path.isEmpty() && QFileInfo(path).isFile()) {
                QFile::remove(path);
            }
        }
    }

    const QString folder = exportRoot + record.FolderName + QDir::separator();
    const QString base = !baseName.isEmpty() && !Taken(folder, baseName)
                             ? baseName
                             : FreeBaseName(folder, SanitizeSubject(record.eSubject));
    m_reserved.insert(folder + base);
    prepared.message = std::move(message);
    prepared.emlPath = folder + base + QStringLiteral(".eml");
    prepared.pdfPath = folder + base + QStringLiteral(".pdf");
    return prepared;
}

MessageOutcome MessageFileWriter::Finish(const PreparedMessage& prepared,
                                         mailconverter::MailConverterX* converter,
                                         const std::function<void()>& between) {
    MessageOutcome outcome;
    const QString& emlPath = prepared.emlPath;
    outcome.pdfPath = prepared.pdfPath;
    auto yield = [&between] {
        if (between) {
            between();
        }
    };
    if (!prepared.message) {
        outcome.reason = QStringLiteral("the mail-message component is not available");
        return outcome;
    }
    if (converter == nullptr) {
        outcome.reason = QStringLiteral("the PDF converter is not available");
        return outcome;
    }

    QString text;
    try {
        auto composer = automation::CreateObject<mime::MailComposer>(mime::kMailComposerClassId);
        if (!composer) {
            throw mime::MailError(QStringLiteral("the mail-message writer is not available"));
        }
        text = composer->ComposeText(*prepared.message);
    } catch (const std::exception& error) {
        outcome.reason = ReasonOf(error);
        return outcome;
    }

    auto removeEml = qScopeGuard([&] { QFile::remove(emlPath); });
    {
        QFile eml(emlPath);
        // The composed text is 7-bit, so any 8-bit code page holds it unchanged.
        const QByteArray bytes = text.toLatin1();
        // Unbuffered: a full disk shows at the write, with its reason.
        const QString reason =
            eml.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
                ? WriteAll(eml, bytes)
                : eml.errorString();
        if (!reason.isEmpty()) {
            outcome.reason = QStringLiteral("the message file cannot be written: %1").arg(reason);
        }
    }
    yield();
    if (outcome.reason.isEmpty()) {
        try {
            converter->Convert(notes::TrimBlanks(emlPath), notes::TrimBlanks(outcome.pdfPath),
                               QStringLiteral("-c PDF"));
            outcome.written = QFileInfo(outcome.pdfPath).isFile();
            if (!outcome.written) {
                outcome.reason = QStringLiteral("the converter wrote no PDF");
            }
        } catch (const std::exception& error) {
            outcome.reason = ReasonOf(error);
        }
    }
    yield();
    return outcome;
}

}  // namespace velmora::exporting
