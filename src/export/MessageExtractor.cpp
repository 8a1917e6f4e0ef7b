#include "export/MessageExtractor.h"

#include "components/mime/AddressList.h"
#include "components/mime/MimeParts.h"
#include "export/FileNames.h"
#include "notes/FolderNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace velmora::exporting {

namespace {

const QString kPlaceholder = QStringLiteral(".");
const QChar kJoin = QLatin1Char(';');

QString FirstValue(notes::NotesDocument& document, const QString& item) {
    return document.hasitem(item) ? notes::FirstValueText(document.GetItemValue(item)) : QString();
}

notes::NotesValues ValuesOf(notes::NotesDocument& document, const QString& item) {
    return document.hasitem(item) ? document.GetItemValue(item) : notes::NotesValues{};
}

QString Quoted(const QString& name) {
    QString escaped = name;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// The name a Notes entry shows for address: the phrase of "Name <address>", the common name of
// a hierarchical Notes name; nothing for another address.
QString DisplayNameOf(const QString& notesEntry, const QString& address) {
    const QString entry = notesEntry.trimmed();
    if (entry.isEmpty()) {
        return {};
    }
    const mime::Mailbox parsed = mime::ParseAddressEntry(entry);
    if (!parsed.IsNotesName()) {
        return parsed.address.compare(address, Qt::CaseInsensitive) == 0 ? parsed.name : QString();
    }
    QString common = entry.section(QLatin1Char('/'), 0, 0);
    if (common.startsWith(QLatin1String("CN="), Qt::CaseInsensitive)) {
        common = common.mid(3);
    }
    // "Jane Roe@AcmeMail": a flat name with a Notes domain.
    if (!entry.contains(QLatin1Char('/')) && common.contains(QLatin1Char('@'))) {
        common = common.section(QLatin1Char('@'), 0, 0);
    }
    return common.trimmed();
}

// An Internet address with the display name its Notes entry gives it.
QString WithDisplayName(const QString& notesEntry, const QString& internet) {
    const mime::Mailbox parsed = mime::ParseAddressEntry(internet);
    if (parsed.IsNotesName() || !parsed.name.isEmpty()) {
        return internet;
    }
    const QString name = DisplayNameOf(notesEntry, parsed.address);
    if (name.isEmpty() || name.compare(parsed.address, Qt::CaseInsensitive) == 0) {
        return internet;
    }
    return Quoted(name) + QStringLiteral(" <") + parsed.address + QLatin1Char('>');
}

// The recipients by position: the Internet address with its display name where there is one,
// the Notes name where the Internet item is missing or holds the "." placeholder.
QString Recipients(notes::NotesDocument& document, const QString& internetItem,
                   const QString& notesItem) {
    const notes::NotesValues internet = ValuesOf(document, internetItem);
    const notes::NotesValues names = ValuesOf(document, notesItem);
    QStringList entries;
    for (std::size_t i = 0; i < std::max(internet.size(), names.size()); ++i) {
        const QString address = i < internet.size() ? notes::ValueToText(internet[i]) : QString();
        const QString name = i < names.size() ? notes::ValueToText(names[i]) : QString();
        entries.append(
            address.isEmpty() || address == kPlaceholder ? name : WithDisplayName(name, address));
    }
    return entries.join(kJoin);
}

// The first of the dates a message can have: posted, delivered, composed, then created.
QString MessageDate(notes::NotesDocument& document) {
    for (const char* item : {"PostedDate", "DeliveredDate", "ComposedDate"}) {
        const notes::NotesValues values = ValuesOf(document, QLatin1String(item));
        const QString date = values.empty() ? QString() : MessageDateText(values.front());
        if (!date.trimmed().isEmpty()) {
            return date;
        }
    }
    const std::optional<QDateTime> created = document.Created();
    return created && created->isValid() ? MessageDateText(*created) : QString();
}

// An OLE object or link as a file: named for what it is, keeping the name's extension.
QString ObjectFileName(const QString& name, int type, bool description) {
    const QString label = type == notes::kEmbedObject ? QStringLiteral(" (embedded object)")
                                                      : QStringLiteral(" (object link)");
    QString base = name.trimmed().isEmpty() ? QStringLiteral("object") : name.trimmed();
    QString extension = description ? QStringLiteral(".txt") : QStringLiteral(".bin");
    const qsizetype dot = base.lastIndexOf(QLatin1Char('.'));
    if (!description && dot > 0 && base.size() - dot <= 6) {
        extension = base.mid(dot);
        base.truncate(dot);
    }
    return base + label + extension;
}

bool WriteDescription(const QString& path, const QString& name) {
    QFile file(path);
    const QByteArray text =
        QStringLiteral(
            "Object link \u201C%1\u201D. The object it links to is stored outside the "
            "message and is not part of this export.\n")
            .arg(name)
            .toUtf8();
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

// carried: names of files the MIME body holds itself; such a file, once it reads, is not
// attached a second time (one that does not read is reported missing all the same).
void ExtractObject(notes::NotesEmbeddedObject& object, int type, AttachmentSpool& spool,
                   MailRecord& record, QStringList& carried) {
    const QString name = object.Name();
    QString fileName = type == notes::kEmbedAttachment ? name : ObjectFileName(name, type, false);
    QString path = spool.NextPath(fileName);
    bool written = false;
    QString reason;
    try {
        if (path.isEmpty()) {
            throw notes::NotesError(QStringLiteral("No folder for attachments"));
        }
        object.ExtractFile(path);
        written = QFileInfo(path).size() > 0 || type == notes::kEmbedAttachment;
    } catch (const std::exception& error) {
        reason = QString::fromUtf8(error.what());
    }
    if (!written && type == notes::kEmbedObjectLink && !path.isEmpty()) {
        // A link carries no object of its own: what it is goes in its place.
        QFile::remove(path);
        fileName = ObjectFileName(name, type, true);
        path = spool.NextPath(fileName);
        written = !path.isEmpty() && WriteDescription(path, name);
    }
    if (written && type == notes::kEmbedAttachment && carried.removeOne(name)) {
        QFile::remove(path);
        return;
    }
    if (!written) {
        record.missingAttachments.append(fileName);
        record.missingReasons.append(reason);
    }
    record.eAttachFileName += QLatin1Char('|') + path;
}

// Files already carried by the body: the parts of MIME mail are often kept in the note's
// files, which the Body's item then lists as well.
QStringList CarriedByMimeBody(notes::NotesDocument& document, const MailRecord& record) {
    if (record.mimeBody.isEmpty() || !document.hasitem(QStringLiteral("$NoteHasNativeMIME"))) {
        return {};
    }
    return mime::AttachedFileNames(record.mimeBody);
}

// Where the document keeps its attachments: its Body, or in a document without one (data
// rather than mail), its first rich-text field.
QString AttachmentItem(notes::NotesDocument& document) {
    const QString body = QStringLiteral("Body");
    if (document.hasitem(body)) {
        return body;
    }
    for (const QString& name : document.ItemNames()) {
        const auto item = document.GetFirstItem(name);
        if (item && item->Type() == notes::kItemRichText) {
            return name;
        }
    }
    return body;
}

void ExtractAttachments(notes::NotesDocument& document, AttachmentSpool& spool,
                        MailRecord& record) {
    if (!document.HasEmbedded()) {
        return;
    }
    const auto body = document.GetFirstItem(AttachmentItem(document));
    if (!body || body->Type() != notes::kItemRichText) {
        return;
    }
    const auto objects = body->EmbeddedObjects();
    if (!objects) {
        return;
    }
    QStringList carried = CarriedByMimeBody(document, record);
    for (const auto& object : *objects) {
        if (!object) {
            continue;
        }
        const int type = object->Type();
        if (type == notes::kEmbedAttachment || type == notes::kEmbedObject ||
            type == notes::kEmbedObjectLink) {
            ExtractObject(*object, type, spool, record, carried);
        }
    }
}

// A document without a Body (a data document rather than mail) shows its fields instead, so
// that its PDF holds what it stores.
QString FieldListing(notes::NotesDocument& document) {
    QStringList seen;
    QStringList lines;
    for (const QString& name : document.ItemNames()) {
        if (seen.contains(name, Qt::CaseInsensitive)) {
            continue;
        }
        seen << name;
        QStringList values;
        try {
            for (const notes::NotesValue& value : document.GetItemValue(name)) {
                values << notes::ValueToText(value);
            }
        } catch (const notes::NotesError& error) {
            values = {QStringLiteral("[cannot be read: %1]").arg(error.Message())};
        }
        lines << name + QStringLiteral(": ") + values.join(QStringLiteral("; "));
    }
    return lines.join(QLatin1Char('\n'));
}

// Formatting is a gain, never a loss: a body that cannot be given as MIME goes as plain text.
QByteArray MimeBody(notes::NotesDocument& document) {
    try {
        return document.GetMIMEEntity(QStringLiteral("Body")).value_or(QByteArray());
    } catch (const std::exception&) {
        return {};
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
    const QString subject = FirstValue(document, QStringLiteral("Subject"));
    if (onSubject) {
        onSubject(subject);
    }
    record.eCC = Recipients(document, QStringLiteral("InetCopyTo"), QStringLiteral("CopyTo"));
    record.eBCC =
        Recipients(document, QStringLiteral("InetBlindCopyTo"), QStringLiteral("BlindCopyTo"));
    const QString from = FirstValue(document, QStringLiteral("From"));
    const QString internetFrom = FirstValue(document, QStringLiteral("INetFrom"));
    const QString to = Recipients(document, QStringLiteral("InetSendTo"), QStringLiteral("SendTo"));
    const QString date = MessageDate(document);
    const QString body = document.hasitem(QStringLiteral("Body"))
                             ? notes::FirstValueText(document.GetItemValue(QStringLiteral("Body")))
                             : FieldListing(document);
    record.mimeBody = MimeBody(document);
    ExtractAttachments(document, spool, record);

    record.FolderName =
        TrimBlanks(kind == ViewKind::UserFolder ? userFolderName : SystemFolderName(kind));
    record.eFrom = TrimBlanks(internetFrom.isEmpty() || internetFrom == kPlaceholder
                                  ? from
                                  : WithDisplayName(from, internetFrom));
    record.eSubject = TrimBlanks(subject);
    record.eTo = TrimBlanks(to);
    record.eDate = TrimBlanks(date);
    record.eBody = TrimBlanks(body);
    record.eAttachFileName = TrimBlanks(record.eAttachFileName);
    return record;
}

}  // namespace velmora::exporting
