#include "StoreTestSupport.h"

#include "components/notesstore/MimeItems.h"
#include "components/notesstore/StoreSession.h"
#include "components/richtext/CdWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace velmora::notes;
using namespace velmora::notesstore;
using namespace velmora::notesstore::test;

namespace {

const QByteArray kMessage =
    "From: Anna <anna@example.org>\r\nSubject: Both\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/alternative; boundary=\"b1\"\r\n\r\nprolog\r\n"
    "--b1\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nPlain words.\r\n"
    "--b1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>Rich <b>words</b>.</p>\r\n"
    "--b1--\r\nepilog\r\n";

QString HtmlOf(const QByteArray& entity) {
    const qsizetype start = entity.indexOf("\r\n\r\n") + 4;
    return QString::fromUtf8(QByteArray::fromBase64(entity.mid(start)));
}

DocumentData Memo(const QString& subject) {
    DocumentData doc;
    doc.AddText(QStringLiteral("Subject"), {subject});
    return doc;
}

std::vector<DocumentPtr> Documents(const QString& path) {
    StoreSession session;
    auto view = session.GetDatabase(QString(), path)->GetView(QStringLiteral("F"));
    std::vector<DocumentPtr> documents;
    for (auto doc = view->GetFirstDocument(); doc; doc = view->GetNextDocument(doc)) {
        documents.push_back(doc);
    }
    return documents;
}

void Write(const QString& path, const std::vector<DocumentData>& documents, bool append = false) {
    auto writer = append ? StoreWriter::Append(path) : StoreWriter::Create(path);
    const auto view = writer->FindView(QStringLiteral("F"));
    const std::int64_t id = view ? *view : writer->AddView(QStringLiteral("F"), true);
    for (const DocumentData& document : documents) {
        writer->File(id, writer->AddDocument(document));
    }
    writer->Commit();
}

}  // namespace

TEST(StoreBodies, mimeAndRichTextBodies_answerAsMimeEntities) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bodies.nsf"));

    DocumentData mime = Memo(QStringLiteral("mime"));
    AddMimeBody(mime, kMessage);
    velmora::richtext::CdWriter records;
    records.Paragraph(records.DefineStyle({velmora::richtext::kJustifyCenter}));
    records.Text(QStringLiteral("Centred"), {5, 12, 0, velmora::richtext::kBold});
    DocumentData rich = Memo(QStringLiteral("rich"));
    rich.Add(QStringLiteral("Body"), {QStringLiteral("Centred")}, kItemRichText).data =
        records.Records();
    rich.Add(QStringLiteral("$Fonts"), {}, kItemRichText).data =
        velmora::richtext::CdWriter::FontTable({QStringLiteral("Gentium")});
    DocumentData flat = Memo(QStringLiteral("rich text held as text only"));
    flat.Add(QStringLiteral("Body"), {QStringLiteral("words")}, kItemRichText);
    DocumentData text = Memo(QStringLiteral("text"));
    text.AddText(QStringLiteral("Body"), {QStringLiteral("words")});
    Write(path, {mime, rich, flat, text, Memo(QStringLiteral("no body"))});

    const auto documents = Documents(path);
    ASSERT_EQ(documents.size(), 5u);
    // MIME mail: the parts, joined, are the message as it came; read as text, its plain part.
    EXPECT_EQ(documents[0]->GetMIMEEntity(QStringLiteral("body")), kMessage);
    EXPECT_EQ(FirstValueText(documents[0]->GetItemValue(QStringLiteral("Body"))).trimmed(),
              QStringLiteral("Plain words."));
    EXPECT_EQ(documents[0]->GetFirstItem(QStringLiteral("Body"))->Type(), kItemMimePart);
    auto* details = dynamic_cast<StoredDocumentDetails*>(documents[0].get());
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->ItemNames().count(QStringLiteral("Body")), 4)
        << "the header and prolog, two parts, the closing line and epilog";

    const auto html = documents[1]->GetMIMEEntity(QStringLiteral("Body"));
    ASSERT_TRUE(html.has_value());
    EXPECT_TRUE(html->startsWith("Content-Type: text/html; charset=utf-8"));
    EXPECT_TRUE(HtmlOf(*html).contains(
        QLatin1String("<div style=\"text-align:center;\"><span style=\"font-family:'Gentium'")))
        << HtmlOf(*html).toStdString();
    for (std::size_t i = 2; i < 5; ++i) {
        EXPECT_FALSE(documents[i]->GetMIMEEntity(QStringLiteral("Body")).has_value()) << i;
    }
}

TEST(StoreBodies, creationTime_keepsItsMomentAndOffset) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("created.nsf"));
    DocumentData dated = Memo(QStringLiteral("dated"));
    dated.created = QDateTime(QDate(2011, 4, 10), QTime(9, 0, 5), QTimeZone(5400));
    Write(path, {dated, Memo(QStringLiteral("undated"))});
    const auto documents = Documents(path);
    const auto created = documents[0]->Created();
    ASSERT_TRUE(created.has_value());
    EXPECT_EQ(*created, *dated.created);
    EXPECT_EQ(created->offsetFromUtc(), 5400);
    EXPECT_FALSE(documents[1]->Created().has_value());
}

TEST(StoreBodies, storeOfTheFirstVersion_readsAndGrowsIntoTheCurrentOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.nsf"));
    DocumentData old = Memo(QStringLiteral("old"));
    old.Add(QStringLiteral("Body"), {QStringLiteral("old words")}, kItemRichText);
    Write(path, {old});
    {
        // Back to the first version's layout: no stored bytes, no creation time.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "ALTER TABLE items DROP COLUMN data; "
                               "ALTER TABLE documents DROP COLUMN created_msecs; "
                               "ALTER TABLE documents DROP COLUMN created_offset; "
                               "UPDATE store_info SET value = '1' WHERE key = 'schema_version';",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    auto documents = Documents(path);
    ASSERT_EQ(documents.size(), 1u);
    EXPECT_EQ(FirstValueText(documents[0]->GetItemValue(QStringLiteral("Body"))),
              QStringLiteral("old words"));
    EXPECT_FALSE(documents[0]->GetMIMEEntity(QStringLiteral("Body")).has_value());
    EXPECT_FALSE(documents[0]->Created().has_value());

    DocumentData added = Memo(QStringLiteral("added"));
    AddMimeBody(added, kMessage);
    Write(path, {added}, true);
    documents = Documents(path);
    ASSERT_EQ(documents.size(), 2u);
    EXPECT_EQ(FirstValueText(documents[0]->GetItemValue(QStringLiteral("Subject"))),
              QStringLiteral("old"));
    EXPECT_EQ(documents[1]->GetMIMEEntity(QStringLiteral("Body")), kMessage);
}
