#include "StoreTestSupport.h"

#include <QFile>
#include <QTimeZone>

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace velmora::notesstore::test {

using namespace velmora::notes;

void WriteStore(const QString& path, const MemoryDatabaseData& data) {
    auto writer = StoreWriter::Create(path);
    writer->SetTitle(data.title);
    writer->SetEncrypted(data.encrypted);
    std::vector<std::int64_t> documentIds;
    for (const MemoryDocument& memory : data.documents) {
        DocumentData document;
        for (const MemoryItem& item : memory.items) {
            ItemData& written = document.Add(item.name, item.values, item.type);
            for (const MemoryEmbedded& object : item.embedded) {
                written.embedded.push_back(EmbeddedData{object.type, object.name, object.data, {}});
            }
        }
        if (memory.size != 0) {
            document.size = memory.size;
        }
        documentIds.push_back(writer->AddDocument(document));
    }
    for (const MemoryView& view : data.views) {
        const std::int64_t id = writer->AddView(view.name, view.isFolder);
        for (int index : view.documents) {
            writer->File(id, documentIds.at(static_cast<std::size_t>(index)));
        }
    }
    writer->Commit();
}

MemoryDatabaseData SampleData() {
    MemoryDatabaseData data;
    data.title = QStringLiteral("Sample – Überblick");
    MemoryDocument first;
    first.SetText(QStringLiteral("Subject"), {QStringLiteral("First")});
    first.SetText(QStringLiteral("SendTo"),
                  {QStringLiteral("CN=A/O=X"), QString(), QStringLiteral("CN=C/O=X")});
    first.Set(QStringLiteral("Count"), {42.0, 3.5, -0.25, 1e20}, kItemNumber);
    first.Set(QStringLiteral("PostedDate"),
              {QDateTime(QDate(2011, 3, 14), QTime(9, 12, 5), QTimeZone(3600)),
               QDateTime(QDate(2010, 12, 31), QTime(23, 59, 59), QTimeZone(-5 * 3600)),
               QDateTime(QDate(2011, 1, 1), QTime(0, 0), QTimeZone::utc())},
              kItemDateTime);
    first.Set(QStringLiteral("Empty"), {}, kItemText);
    first.size = 12345;
    MemoryItem body{
        QStringLiteral("Body"), kItemRichText, {QStringLiteral("Line one\nLine two")}, {}, {}};
    body.embedded.push_back(MemoryEmbedded{kEmbedAttachment, QStringLiteral("a.txt"), "alpha"});
    body.embedded.push_back(MemoryEmbedded{kEmbedObject, QStringLiteral("Sheet"), "ole"});
    body.embedded.push_back(MemoryEmbedded{kEmbedObjectLink, QStringLiteral("Link"), ""});
    body.embedded.push_back(MemoryEmbedded{kEmbedAttachment, QStringLiteral("a.txt"), "second"});
    first.items.push_back(body);

    MemoryDocument second;
    second.SetText(QStringLiteral("Subject"), {QStringLiteral("Второй")});
    second.SetText(QStringLiteral("Body"), {QStringLiteral("plain body")});
    MemoryDocument third;
    third.SetText(QStringLiteral("Subject"), {QStringLiteral("Third")});

    data.documents = {first, second, third};
    data.views.push_back(MemoryView{QStringLiteral("($Inbox)"), true, {0, 1, 2}});
    data.views.push_back(MemoryView{QStringLiteral("($All)"), false, {2, 1, 0}});
    data.views.push_back(MemoryView{QStringLiteral("Receipts"), true, {1}});
    data.views.push_back(MemoryView{QStringLiteral("receipts"), true, {2}});
    data.views.push_back(MemoryView{QStringLiteral("Twice"), true, {0}});
    data.views.push_back(MemoryView{QStringLiteral("Twice"), true, {1, 2}});
    data.views.push_back(MemoryView{QStringLiteral("Empty"), true, {}});
    return data;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

qint64 ModifiedNs(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return -1;
    }
    return qint64{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
}

QString Describe(const NotesValues& values) {
    QStringList parts;
    for (const NotesValue& value : values) {
        if (const auto* text = std::get_if<QString>(&value)) {
            parts << QStringLiteral("text:") + *text;
        } else if (const auto* number = std::get_if<double>(&value)) {
            parts << QStringLiteral("number:") + QString::number(*number, 'g', 17);
        } else {
            const QDateTime& moment = std::get<QDateTime>(value);
            parts << QStringLiteral("date:") + QString::number(moment.toMSecsSinceEpoch()) +
                         QLatin1Char('@') + QString::number(moment.offsetFromUtc());
        }
    }
    return parts.join(QLatin1Char('|'));
}

}  // namespace velmora::notesstore::test
