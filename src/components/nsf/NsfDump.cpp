#include "components/nsf/NsfDump.h"

#include "components/nsf/Attachments.h"
#include "components/nsf/NsfDatabase.h"
#include "components/nsf/Values.h"
#include "notes/NotesError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace velmora::nsf {

namespace {

QJsonValue ToJson(const notes::NotesValue& value) {
    if (const auto* text = std::get_if<QString>(&value)) {
        return *text;
    }
    if (const auto* number = std::get_if<double>(&value)) {
        return *number;
    }
    // Dates with their offset, so the output does not depend on the locale.
    return std::get<QDateTime>(value).toString(Qt::ISODate);
}

QString Hex(std::uint32_t value) {
    return QStringLiteral("0x%1")
        .arg(value, 0, 16)
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

}  // namespace

void DumpAllJson(const QString& path, QTextStream& out) {
    const auto db = NsfDatabase::Open(path);
    for (const NoteRecord& note : db->Notes()) {
        if (!note.IsDocument()) {
            continue;
        }
        QJsonObject line{{QStringLiteral("noteId"), Hex(note.id)},
                         {QStringLiteral("class"), note.noteClass}};
        try {
            QJsonArray items;
            QJsonArray attachments;
            for (const NoteItem& item : db->Items(note)) {
                QJsonArray values;
                try {
                    for (const notes::NotesValue& value : DecodeValues(item.type, item.value)) {
                        values.append(ToJson(value));
                    }
                } catch (const notes::NotesError& error) {
                    values.append(QJsonObject{{QStringLiteral("error"), error.Message()}});
                }
                items.append(
                    QJsonObject{{QStringLiteral("name"), item.name},
                                {QStringLiteral("type"), Hex(item.type)},
                                {QStringLiteral("flags"), Hex(item.flags)},
                                {QStringLiteral("size"), static_cast<qint64>(item.value.size())},
                                {QStringLiteral("values"), values}});
                if (item.name.compare(QLatin1String("$FILE"), Qt::CaseInsensitive) == 0) {
                    if (const auto file = ParseFileObject(item.value)) {
                        QString why;
                        QJsonObject attachment{
                            {QStringLiteral("name"), file->name},
                            {QStringLiteral("size"), static_cast<qint64>(file->size)},
                            {QStringLiteral("extractable"), CanExtract(*file, &why)}};
                        if (!why.isEmpty()) {
                            attachment.insert(QStringLiteral("reason"), why);
                        }
                        attachments.append(attachment);
                    }
                }
            }
            line.insert(QStringLiteral("items"), items);
            line.insert(QStringLiteral("attachments"), attachments);
        } catch (const notes::NotesError& error) {
            line.insert(QStringLiteral("error"), error.Message());
        }
        out << QJsonDocument(line).toJson(QJsonDocument::Compact) << '\n';
    }
    out.flush();
}

}  // namespace velmora::nsf
