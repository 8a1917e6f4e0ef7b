#include "components/notesstore/StoreDump.h"

#include "components/notesstore/StoreConnection.h"
#include "components/notesstore/StoreSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace velmora::notesstore {

using namespace velmora::notes;

namespace {

QString TypeName(int type) {
    switch (type) {
        case kItemRichText:
            return QStringLiteral("rich text");
        case kItemMimePart:
            return QStringLiteral("MIME part");
        case kItemNumber:
            return QStringLiteral("number");
        case kItemDateTime:
            return QStringLiteral("date-time");
        case kItemText:
            return QStringLiteral("text");
        case kEmbedAttachment:
            return QStringLiteral("attachment");
        case kEmbedObject:
            return QStringLiteral("OLE object");
        case kEmbedObjectLink:
            return QStringLiteral("object link");
        default:
            return QString::number(type);
    }
}

QString Quoted(const NotesValue& value) {
    if (const auto* moment = std::get_if<QDateTime>(&value)) {
        return moment->toString(Qt::ISODate);
    }
    if (std::holds_alternative<double>(value)) {
        return ValueToText(value);
    }
    QString text = std::get<QString>(value);
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    text.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString Hex(std::int64_t value) {
    return QStringLiteral("0x") + QString::number(value, 16).toUpper();
}

QJsonValue ToJson(const NotesValue& value) {
    if (const auto* text = std::get_if<QString>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<double>(&value)) {
        return *number;
    }
    return std::get<QDateTime>(value).toString(Qt::ISODate);
}

// The class of a data note, as real Notes databases mark their documents.
constexpr int kDocumentClass = 1;

}  // namespace

void DumpAllJson(const QString& path, QTextStream& out) {
    const std::shared_ptr<StoreConnection> store = StoreConnection::Open(path);
    for (const StoredEntry& document : store->Documents()) {
        QJsonObject line{{QStringLiteral("noteId"), Hex(document.documentId)},
                         {QStringLiteral("class"), kDocumentClass},
                         {QStringLiteral("size"), static_cast<qint64>(document.size)}};
        QJsonArray items;
        QJsonArray attachments;
        for (const StoredItem& item : store->Items(document.documentId)) {
            QJsonArray values;
            for (const NotesValue& value : item.values) {
                values.append(ToJson(value));
            }
            items.append(QJsonObject{{QStringLiteral("name"), item.name},
                                     {QStringLiteral("type"), Hex(item.type)},
                                     {QStringLiteral("values"), values}});
            for (const StoredEmbedded& object :
                 store->Embedded(document.documentId, item.position)) {
                attachments.append(
                    QJsonObject{{QStringLiteral("name"), object.name},
                                {QStringLiteral("type"), TypeName(object.type)},
                                {QStringLiteral("size"), static_cast<qint64>(object.length)},
                                {QStringLiteral("extractable"), true}});
            }
        }
        line.insert(QStringLiteral("items"), items);
        line.insert(QStringLiteral("attachments"), attachments);
        out << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
    }
    out.flush();
}

void DumpViews(NotesDatabase& database, QTextStream& out) {
    out << "Title: " << database.Title() << '\n';
    const auto views = database.Views();
    if (!views) {
        out << "Views: not a list\n";
        return;
    }
    out << "Views: " << views->size() << '\n';
    int position = 0;
    for (const ViewPtr& view : *views) {
        out << QStringLiteral("%1  %2  %3  %4\n")
                   .arg(++position, 4)
                   .arg(view->isfolder() ? QStringLiteral("folder") : QStringLiteral("view  "))
                   .arg(view->AllEntries()->Count(), 7)
                   .arg(view->Name());
    }
}

void DumpDocuments(NotesView& view, QTextStream& out) {
    int position = 0;
    for (DocumentPtr document = view.GetFirstDocument(); document;
         document = view.GetNextDocument(document)) {
        out << QStringLiteral("%1  %2  %3\n")
                   .arg(++position, 6)
                   .arg(document->Size(), 9)
                   .arg(document->hasitem(QStringLiteral("Subject"))
                            ? Quoted(document->GetItemValue(QStringLiteral("Subject")).front())
                            : QStringLiteral("(no Subject)"));
    }
}

void DumpDocument(NotesDocument& document, QTextStream& out) {
    out << "Size: " << document.Size() << '\n';
    out << "HasEmbedded: " << (document.HasEmbedded() ? "true" : "false") << '\n';
    auto* details = dynamic_cast<StoredDocumentDetails*>(&document);
    if (details == nullptr) {
        out << "(items cannot be listed for this document)\n";
        return;
    }
    QStringList seen;
    for (const QString& name : details->ItemNames()) {
        if (seen.contains(name, Qt::CaseInsensitive)) {
            continue;  // only the first item of a name is reachable by name
        }
        seen << name;
        const auto item = document.GetFirstItem(name);
        QStringList values;
        for (const NotesValue& value : document.GetItemValue(name)) {
            values << Quoted(value);
        }
        out << name << " [" << TypeName(item->Type()) << "]: " << values.join(QStringLiteral(", "))
            << '\n';
        if (const auto objects = item->EmbeddedObjects()) {
            for (const auto& object : *objects) {
                auto* size = dynamic_cast<StoredEmbeddedDetails*>(object.get());
                out << "    " << TypeName(object->Type()) << ": " << Quoted(object->Name());
                if (size != nullptr) {
                    out << " (" << size->Length() << " bytes)";
                }
                out << '\n';
            }
        }
    }
}

}  // namespace velmora::notesstore
