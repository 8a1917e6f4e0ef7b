#include "notes/MemoryNotes.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora::notes;

namespace {

std::shared_ptr<MemoryDatabaseData> SampleData() {
    auto data = std::make_shared<MemoryDatabaseData>();
    data->title = QStringLiteral("Mail of Jane");
    data->View(QStringLiteral("($Inbox)"));
    data->View(QStringLiteral("($All)"), false);
    for (int i = 0; i < 3; ++i) {
        MemoryDocument doc;
        doc.SetText(QStringLiteral("Subject"), {QStringLiteral("Message %1").arg(i)});
        doc.size = 1000 + i;
        data->AddDocument(doc, {QStringLiteral("($Inbox)"), QStringLiteral("($All)")});
    }
    MemoryDocument withAttachment;
    MemoryItem body{
        QStringLiteral("Body"), kItemRichText, {QStringLiteral("See attached")}, {}, {}};
    body.embedded.push_back({kEmbedAttachment, QStringLiteral("a.txt"), QByteArray("hello")});
    body.embedded.push_back({kEmbedObject, QStringLiteral("Sheet"), QByteArray()});
    withAttachment.items.push_back(body);
    data->AddDocument(withAttachment, {QStringLiteral("Projects")});
    return data;
}

}  // namespace

TEST(MemoryNotes, walksViewsAndDocumentsInOrder) {
    MemorySession session;
    session.AddDatabase(QStringLiteral("/db.nsf"), SampleData());
    auto db = session.GetDatabase(QString(), QStringLiteral("/db.nsf"));
    EXPECT_EQ(db->Title(), QStringLiteral("Mail of Jane"));
    auto views = db->Views();
    ASSERT_TRUE(views.has_value());
    ASSERT_EQ(views->size(), 3u);
    EXPECT_FALSE((*views)[1]->isfolder());

    auto inbox = db->GetView(QStringLiteral("($inbox)"));
    ASSERT_NE(inbox, nullptr);
    EXPECT_EQ(inbox->AllEntries()->Count(), 3);
    QStringList subjects;
    for (auto doc = inbox->GetFirstDocument(); doc; doc = inbox->GetNextDocument(doc)) {
        subjects << FirstValueText(doc->GetItemValue(QStringLiteral("Subject")));
    }
    EXPECT_EQ(subjects, (QStringList{"Message 0", "Message 1", "Message 2"}));
    EXPECT_EQ(db->GetView(QStringLiteral("Nope")), nullptr);
}

TEST(MemoryNotes, missingItemAnswersOneEmptyValue) {
    MemorySession session;
    session.AddDatabase(QStringLiteral("/db.nsf"), SampleData());
    auto doc = session.GetDatabase({}, QStringLiteral("/db.nsf"))
                   ->GetView(QStringLiteral("($Inbox)"))
                   ->GetFirstDocument();
    EXPECT_FALSE(doc->hasitem(QStringLiteral("CopyTo")));
    const NotesValues values = doc->GetItemValue(QStringLiteral("CopyTo"));
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(ValueToText(values[0]), QString());
    EXPECT_EQ(doc->GetFirstItem(QStringLiteral("Body")), nullptr);
}

TEST(MemoryNotes, attachmentsExtractAndFailCleanly) {
    MemorySession session;
    session.AddDatabase(QStringLiteral("/db.nsf"), SampleData());
    auto doc = session.GetDatabase({}, QStringLiteral("/db.nsf"))
                   ->GetView(QStringLiteral("Projects"))
                   ->GetFirstDocument();
    ASSERT_TRUE(doc->HasEmbedded());
    auto body = doc->GetFirstItem(QStringLiteral("Body"));
    ASSERT_EQ(body->Type(), kItemRichText);
    auto objects = body->EmbeddedObjects();
    ASSERT_TRUE(objects.has_value());
    ASSERT_EQ(objects->size(), 2u);
    EXPECT_EQ((*objects)[1]->Type(), kEmbedObject);

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("a.txt"));
    (*objects)[0]->ExtractFile(target);
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("hello"));
    EXPECT_THROW((*objects)[0]->ExtractFile(dir.filePath(QStringLiteral("missing/dir/a.txt"))),
                 NotesError);
}

TEST(MemoryNotes, unknownOrEncryptedDatabaseFailsOnUse) {
    MemorySession session;
    auto data = SampleData();
    data->encrypted = true;
    session.AddDatabase(QStringLiteral("/secret.nsf"), data);
    auto unknown = session.GetDatabase({}, QStringLiteral("/nowhere.nsf"));
    ASSERT_NE(unknown, nullptr);
    EXPECT_THROW(unknown->Title(), NotesError);
    EXPECT_THROW(unknown->Views(), NotesError);
    auto secret = session.GetDatabase({}, QStringLiteral("/secret.nsf"));
    EXPECT_THROW(secret->Title(), NotesError);
    EXPECT_THROW(secret->GetView(QStringLiteral("($Inbox)")), NotesError);
}
