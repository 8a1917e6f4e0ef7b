#include "NsfTestSupport.h"

#include "components/nsf/NsfSession.h"
#include "notes/NotesError.h"

#include <QTemporaryDir>

using namespace velmora::nsf;
using namespace velmora::notes;

namespace {

ViewPtr FindView(NotesDatabase& db, const QString& name) {
    for (const ViewPtr& view : db.Views().value_or(ViewList{})) {
        if (view->Name() == name) {
            return view;
        }
    }
    return nullptr;
}

TEST(nsf_Session, ServesHfinnThroughTheNotesModel) {
    VELMORA_REQUIRE_SAMPLE(path, "hfinn.nsf");
    FileSession session;
    const DatabasePtr db = session.GetDatabase(QString(), path);
    EXPECT_EQ(db->Title(), QStringLiteral("Huckleberry Finn"));
    const auto views = db->Views();
    ASSERT_TRUE(views.has_value());
    ASSERT_GE(views->size(), 2u);
    EXPECT_EQ(views->back()->Name(), QLatin1String(kAllMailFolder));

    const ViewPtr mail = db->GetView(QStringLiteral("all mail"));
    ASSERT_NE(mail, nullptr);
    EXPECT_TRUE(mail->isfolder());
    EXPECT_EQ(mail->AllEntries()->Count(), 1);
    const DocumentPtr memo = mail->GetFirstDocument();
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(mail->GetNextDocument(memo), nullptr);

    EXPECT_TRUE(memo->hasitem(QStringLiteral("from")));
    EXPECT_EQ(FirstValueText(memo->GetItemValue(QStringLiteral("subject"))),
              QStringLiteral("Re: APISUPP.NSF Stub attached"));
    EXPECT_EQ(memo->GetItemValue(QStringLiteral("CopyTo")).size(), 3u);
    EXPECT_EQ(memo->GetItemValue(QStringLiteral("NoSuchItem")), NotesValues{QString()});
    EXPECT_TRUE(FirstValueText(memo->GetItemValue(QStringLiteral("Body")))
                    .startsWith(QStringLiteral("Attached please find")));
    EXPECT_GT(memo->Size(), 500);

    ASSERT_TRUE(memo->HasEmbedded());
    const auto body = memo->GetFirstItem(QStringLiteral("Body"));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->Type(), kItemRichText);
    const auto objects = body->EmbeddedObjects();
    ASSERT_TRUE(objects.has_value());
    ASSERT_EQ(objects->size(), 1u);
    const auto& attachment = objects->front();
    EXPECT_EQ(attachment->Type(), kEmbedAttachment);
    EXPECT_EQ(attachment->Name(), QStringLiteral("APISUPP.NSF"));
    auto* details = dynamic_cast<NsfAttachmentDetails*>(attachment.get());
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->Length(), 32768);
    QString why;
    EXPECT_TRUE(details->Extractable(&why)) << why.toStdString();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath(QStringLiteral("APISUPP.NSF"));
    attachment->ExtractFile(target);
    QFile extracted(target);
    ASSERT_TRUE(extracted.open(QIODevice::ReadOnly));
    const QByteArray bytes = extracted.readAll();
    // Huffman-decoded to its recorded size (the checksum is checked by the decoder), and
    // itself a Notes database: its signature, and an on-disk structure of Notes 2 (16).
    ASSERT_EQ(bytes.size(), 32768);
    EXPECT_EQ(bytes.left(2), QByteArray("\x1a\x00", 2));
    EXPECT_EQ(static_cast<unsigned char>(bytes[6]), 16);
    EXPECT_THROW(attachment->ExtractFile(dir.filePath(QStringLiteral("no/such/folder/x"))),
                 NotesError);

    // A non-rich-text item holds no embedded objects.
    EXPECT_FALSE(memo->GetFirstItem(QStringLiteral("Subject"))->EmbeddedObjects().has_value());
    EXPECT_EQ(memo->GetFirstItem(QStringLiteral("PostedDate"))->Type(), kItemDateTime);
    EXPECT_EQ(memo->GetFirstItem(QStringLiteral("nothing")), nullptr);
}

TEST(nsf_Session, FoldersOfTheSamplesAreListedWithTheirFlag) {
    VELMORA_REQUIRE_SAMPLE(path, "billdrv.nsf");
    FileSession session;
    const DatabasePtr db = session.GetDatabase(QString(), path);
    // The one folder of the samples: empty, as its entry table is not read yet.
    const ViewPtr favourites = FindView(*db, QStringLiteral("My Favorites"));
    ASSERT_NE(favourites, nullptr);
    EXPECT_TRUE(favourites->isfolder());
    EXPECT_EQ(favourites->AllEntries()->Count(), 0);
    int views = 0;
    const auto all = db->Views();
    ASSERT_TRUE(all.has_value());
    for (const ViewPtr& view : *all) {
        views += view->isfolder() ? 0 : 1;
    }
    EXPECT_GT(views, 0);
}

TEST(nsf_Session, UnreadableFilesFailOnEveryMember) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("bad.nsf"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\x1a\x00\x00\x04\x00\x00", 6) + QByteArray(2000, '\x01'));
    }
    FileSession session;
    const DatabasePtr db = session.GetDatabase(QString(), path);
    ASSERT_NE(db, nullptr);
    EXPECT_THROW(db->Title(), NotesError);
    EXPECT_THROW(db->Views(), NotesError);
    // Not a database at all: the offline store's reader answers, and fails as well.
    const DatabasePtr other =
        session.GetDatabase(QString(), dir.filePath(QStringLiteral("missing.nsf")));
    ASSERT_NE(other, nullptr);
    EXPECT_THROW(other->Title(), NotesError);
}

}  // namespace
