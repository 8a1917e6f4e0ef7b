#include "export/MessageExtractor.h"

#include "export/FileNames.h"
#include "notes/FolderNames.h"

#include <QDir>

namespace velmora::exporting {

namespace {

const QString kPlaceholder = QStringLiteral(".");
const QChar kJoin = QLatin1Char(';');

QString FirstValue(notes::NotesDocument& document, const QString& item) {
    return document.hasitem(item) ? notes::FirstValueText(document.GetItemValue(item)) : QString();
}

QString JoinAll(const notes::NotesValues& values) {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(values.size()));
    for (const notes::NotesValue& value : values) {
        texts.append(notes::ValueToText(value));
    }
    return texts.join(kJoin);
}

// Internet addresses by position, the Notes name standing in for each "." placeholder.
QString InternetList(notes::NotesDocument& document, const QString& internetItem,
                     const QString& notesItem) {
    if (!document.hasitem(internetItem)) {
        return {};
    }
    const notes::NotesValues internet = document.GetItemValue(internetItem);
    std::optional<notes::NotesValues> names;
    QStringList entries;
    entries.reserve(static_cast<qsizetype>(internet.size()));
    for (std::size_t i = 0; i < internet.size(); ++i) {
        QString entry = notes::ValueToText(internet[i]);
        if (entry == kPlaceholder) {
            if (!names) {
                names = document.hasitem(notesItem) ? document.GetItemValue(notesItem)
                                                    : notes::NotesValues{};
            }
            // A placeholder past the last Notes name has nothing to stand for it.
            entry = i < names->size() ? notes::ValueToText((*names)[i]) : QString();
        }
        entries.append(entry);
    }
    return entries.join(kJoin);
}

QString DateValue(const notes::NotesValues& values) {
    return values.empty() ? QString() : MessageDateText(values.front());
}

// Element 0 without asking first, as deleted items are read; a missing item gives "".
QString Unasked(notes::NotesDocument& document, const QString& item) {
    return notes::FirstValueText(document.GetItemValue(item));
}

void ExtractAttachments(notes::NotesDocument& document, AttachmentSpool& spool,
                        MailRecord& record) {
    if (!document.HasEmbedded()) {
        return;
    }
    const auto body = document.GetFirstItem(QStringLiteral("Body"));
    if (!body || body->Type() != notes::kItemRichText) {
        return;
    }
    const auto objects = body->EmbeddedObjects();
    if (!objects) {
        return;
    }
    for (const auto& object : *objects) {
        if (!object || object->Type() != notes::kEmbedAttachment) {
            continue;  // OLE objects and links stay in Notes
        }
        const QString name = object->Name();
        const QString path = spool.NextPath(name);
        try {
            if (path.isEmpty()) {
                throw notes::NotesError(QStringLiteral("No folder for attachments"));
            }
            object->ExtractFile(path);
        } catch (const std::exception& error) {
            record.missingAttachments.append(name);
            record.missingReasons.append(QString::fromUtf8(error.what()));
        }
        record.eAttachFileName += QLatin1Char('|') + path;
    }
}

}  // namespace

QString SystemFolderName(ViewKind kind) {
    switch (kind) {
        case ViewKind::Inbox:
            return QStringLiteral("Inbox");
        case ViewKind::Sent:
            return QStringLiteral("Sent Items");
        case ViewKind::Drafts:
            return QStringLiteral("Drafts");
        case ViewKind::Trash:
            return QStringLiteral("Deleted Items");
        case ViewKind::FollowUp:
            return QStringLiteral("Follow Up");
        case ViewKind::JunkMail:
            return QStringLiteral("Junk Mail");
        case ViewKind::UserFolder:
            break;
    }
    return {};
}

QString MessageDateText(const notes::NotesValue& value) {
    if (const auto* date = std::get_if<QDateTime>(&value)) {
        return date->isValid() ? date->toString(Qt::ISODateWithMs) : QString();
    }
    return notes::ValueToText(value);
}

std::optional<QDateTime> ParseMessageDate(const QString& text) {
    const QDateTime iso = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (iso.isValid()) {
        return iso;
    }
    // A date written as text in the item itself.
    return notes::ParseGeneralDate(text);
}

QString AttachmentSpool::NextPath(const QString& name) {
    if (m_folder.isEmpty()) {
        return {};
    }
    const QString folder = QDir(m_folder).filePath(QString::number(++m_next));
    if (!QDir().mkpath(folder)) {
        return {};
    }
    return QDir(folder).filePath(SafeAttachmentName(name));
}

MailRecord ExtractMailRecord(notes::NotesDocument& document, ViewKind kind,
                             const QString& userFolderName, AttachmentSpool& spool,
                             const std::function<void(const QString& subject)>& onSubject) {
    using notes::TrimBlanks;
    MailRecord record;
    QString subject = FirstValue(document, QStringLiteral("Subject"));
    if (onSubject) {
        onSubject(subject);
    }
    record.eCC = InternetList(document, QStringLiteral("InetCopyTo"), QStringLiteral("CopyTo"));
    record.eBCC =
        InternetList(document, QStringLiteral("InetBlindCopyTo"), QStringLiteral("BlindCopyTo"));
    QString from = FirstValue(document, QStringLiteral("From"));
    QString to = document.hasitem(QStringLiteral("SendTo"))
                     ? JoinAll(document.GetItemValue(QStringLiteral("SendTo")))
                     : QString();
    QString date = document.hasitem(QStringLiteral("PostedDate"))
                       ? DateValue(document.GetItemValue(QStringLiteral("PostedDate")))
                       : QString();
    QString body = FirstValue(document, QStringLiteral("Body"));
    if (document.hasitem(QStringLiteral("INetFrom"))) {
        const QString internetFrom = FirstValue(document, QStringLiteral("INetFrom"));
        if (internetFrom != kPlaceholder) {
            from = internetFrom;
        }
    }
    if (document.hasitem(QStringLiteral("InetSendTo"))) {
        const notes::NotesValues internetTo = document.GetItemValue(QStringLiteral("InetSendTo"));
        if (notes::FirstValueText(internetTo) != kPlaceholder) {
            to = JoinAll(internetTo);  // later placeholders stay as they are
        }
    }
    ExtractAttachments(document, spool, record);

    if (kind == ViewKind::Trash) {
        // Deleted items go out with their Notes names and first recipient only.
        from = Unasked(document, QStringLiteral("From"));
        subject = Unasked(document, QStringLiteral("Subject"));
        to = Unasked(document, QStringLiteral("SendTo"));
        date = DateValue(document.GetItemValue(QStringLiteral("PostedDate")));
        body = Unasked(document, QStringLiteral("Body"));
    }

    record.FolderName =
        TrimBlanks(kind == ViewKind::UserFolder ? userFolderName : SystemFolderName(kind));
    record.eFrom = TrimBlanks(from);
    record.eSubject = TrimBlanks(subject);
    record.eTo = TrimBlanks(to);
    record.eDate = TrimBlanks(date);
    record.eBody = TrimBlanks(body);
    record.eAttachFileName = TrimBlanks(record.eAttachFileName);
    return record;
}

}  // namespace velmora::exporting
