#include "NsfTestSupport.h"

#include "components/nsf/Folders.h"
#include "components/nsf/NsfDatabase.h"
#include "components/nsf/NsfSession.h"
#include "notes/NotesError.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <map>

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
    const QString path = velmora::nsf::test::Sample("hfinn.nsf");
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

struct FolderRow {
    const char* file;
    const char* folder;
    std::vector<std::uint32_t> notes;  // the documents its folder object lists
};

// Folders list the documents their folder objects name; the empty one lists none.
TEST(nsf_Session, FoldersListTheirDocuments) {
    const std::vector<FolderRow> rows = {
        {"jnx-sample.nsf", "Backup Role for Student", {0x926}},
        {"billdrv.nsf", "My Favorites", {}},
    };
    for (const FolderRow& row : rows) {
        SCOPED_TRACE(row.folder);
        const auto db = NsfDatabase::Open(velmora::nsf::test::Sample(row.file));
        bool found = false;
        for (const NoteRecord& note : db->Notes()) {
            if ((note.noteClass & kClassView) == 0) {
                continue;
            }
            const auto items = db->Items(note);
            QString why;
            const auto ids = FolderNoteIds(*db, items, &why);
            if (ids) {
                found = true;
                EXPECT_EQ(*ids, row.notes);
            }
        }
        EXPECT_TRUE(found);
        FileSession session;
        const ViewPtr folder = session.GetDatabase(QString(), velmora::nsf::test::Sample(row.file))
                                   ->GetView(QLatin1String(row.folder));
        ASSERT_NE(folder, nullptr);
        EXPECT_TRUE(folder->isfolder());
        EXPECT_EQ(folder->AllEntries()->Count(), static_cast<std::int64_t>(row.notes.size()));
        std::vector<std::uint32_t> listed;
        for (auto doc = folder->GetFirstDocument(); doc; doc = folder->GetNextDocument(doc)) {
            listed.push_back(dynamic_cast<NsfDocumentDetails&>(*doc).NoteId());
        }
        EXPECT_EQ(listed, row.notes);
    }
}

TEST(nsf_Session, FoldersOfTheSamplesAreListedWithTheirFlag) {
    const QString path = velmora::nsf::test::Sample("billdrv.nsf");
    FileSession session;
    const DatabasePtr db = session.GetDatabase(QString(), path);
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
    // No file at all: every member says so.
    const DatabasePtr other =
        session.GetDatabase(QString(), dir.filePath(QStringLiteral("missing.nsf")));
    ASSERT_NE(other, nullptr);
    EXPECT_THROW(other->Title(), NotesError);
    EXPECT_THROW(other->UnreadableDocuments(), NotesError);
}

struct MimeRow {
    const char* subject;
    std::vector<const char*> types;        // every Content-Type of the message, in order
    std::vector<const char*> attachments;  // the files of its Body
    const char* plain;                     // the start of its plain-text part
};

// MIMEMsg.nsf's three messages with the structure parseMMMsg-MIMEMsg.txt shows, the texts
// of readMMTxt-MIMEMsg.txt and their attached files, byte for byte in the message too; the
// one file whose bytes are not all stored is left out of the message.
TEST(nsf_Session, MimeMessagesWithTheirPartsAndFiles) {
    const std::vector<MimeRow> rows = {
        {"MIME message(plain text)",
         {"multipart/alternative", "text/plain", "text/html"},
         {},
         "This is a test message."},
        {"MIME message(with txt attachment)",
         {"multipart/mixed", "multipart/alternative", "text/plain", "text/html", "text/plain"},
         {"New Text Document.txt"},
         "This is a text message, with a txt file attached."},
        {"MIME message with attachmetn(Txt/BMP/Jpg) and inline images",
         {"multipart/mixed", "multipart/related", "multipart/alternative", "text/plain",
          "text/html", "image/gif", "image/gif", "image/gif", "text/plain", "image/jpeg",
          "application/octet-stream"},
         {"Plain.txt", "Sample.jpg", "sampleBMP.bmp", "mswin32.mak"},
         "You can get two types of Help in Notes:"},
    };
    FileSession session;
    const DatabasePtr db =
        session.GetDatabase(QString(), velmora::nsf::test::Sample("MIMEMsg.nsf"));
    const ViewPtr mail = db->GetView(QLatin1String(kAllMailFolder));
    ASSERT_NE(mail, nullptr);
    ASSERT_EQ(mail->AllEntries()->Count(), 3);
    EXPECT_EQ(db->UnreadableDocuments(), 0);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    DocumentPtr doc = mail->GetFirstDocument();
    for (const MimeRow& row : rows) {
        SCOPED_TRACE(row.subject);
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(FirstValueText(doc->GetItemValue(QStringLiteral("Subject"))),
                  QLatin1String(row.subject));
        EXPECT_EQ(FirstValueText(doc->GetItemValue(QStringLiteral("SendTo"))),
                  QStringLiteral("admin@cn.ibm.com"));
        EXPECT_TRUE(FirstValueText(doc->GetItemValue(QStringLiteral("Body")))
                        .startsWith(QLatin1String(row.plain)));
        const QByteArray message =
            dynamic_cast<NsfDocumentDetails&>(*doc).MimeMessage(QStringLiteral("Body"));
        QStringList types;
        const QRegularExpression type(QStringLiteral("Content-Type: *([^;\\r\\n]+)"));
        for (auto m = type.globalMatch(QString::fromLatin1(message)); m.hasNext();) {
            types << m.next().captured(1);
        }
        QStringList expected;
        for (const char* t : row.types) {
            expected << QLatin1String(t);
        }
        EXPECT_EQ(types, expected);

        const auto body = doc->GetFirstItem(QStringLiteral("Body"));
        ASSERT_NE(body, nullptr);
        EXPECT_EQ(body->Type(), kItemRichText);
        QStringList names;
        for (const auto& object : body->EmbeddedObjects().value_or(EmbeddedObjectList{})) {
            names << object->Name();
            EXPECT_EQ(object->Type(), kEmbedAttachment);
            const QString target = dir.filePath(object->Name());
            if (object->Name() == QLatin1String("mswin32.mak")) {
                // Its object holds fewer bytes than its file records: refused, with why.
                try {
                    object->ExtractFile(target);
                    ADD_FAILURE() << "extracted";
                } catch (const NotesError& e) {
                    EXPECT_TRUE(e.Message().contains(QLatin1String("738 bytes stored, 749")));
                }
                // Nor does the message carry it: neither its name as content nor a part of
                // its bytes.
                EXPECT_FALSE(message.contains("mswin32.mak"));
                continue;
            }
            object->ExtractFile(target);
            const QByteArray bytes = velmora::nsf::test::ReadAll(target);
            EXPECT_EQ(bytes.size(), dynamic_cast<NsfAttachmentDetails&>(*object).Length());
            // The message carries the same bytes in the part that names the file.
            EXPECT_TRUE(message.contains(bytes.toBase64().left(76)) || message.contains(bytes))
                << object->Name().toStdString();
        }
        QStringList expectedNames;
        for (const char* n : row.attachments) {
            expectedNames << QLatin1String(n);
        }
        EXPECT_EQ(names, expectedNames);
        doc = mail->GetNextDocument(doc);
    }
    EXPECT_EQ(doc, nullptr);
}

// A sealed document is listed and read; its encrypted body says so instead of its text.
TEST(nsf_Session, SealedBodyReadsAsEncrypted) {
    QByteArray bytes = velmora::nsf::test::ReadAll(velmora::nsf::test::Sample("hfinn.nsf"));
    // The memo's Body and $FILE descriptors, their flags marked as sealed.
    const qsizetype body = bytes.indexOf(QByteArray::fromHex("08000b0062000001"));
    ASSERT_GE(body, 0);
    bytes[body + 2] = static_cast<char>(0x1b);
    const qsizetype file = bytes.indexOf(QByteArray::fromHex("2800070031000001"));
    ASSERT_GE(file, 0);
    bytes[file + 2] = static_cast<char>(0x17);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("sealed.nsf"));
    velmora::nsf::test::WriteAll(path, bytes);
    FileSession session;
    const DocumentPtr memo = session.GetDatabase(QString(), path)
                                 ->GetView(QLatin1String(kAllMailFolder))
                                 ->GetFirstDocument();
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(FirstValueText(memo->GetItemValue(QStringLiteral("Body"))),
              QLatin1String(kSealedBodyText));
    EXPECT_EQ(FirstValueText(memo->GetItemValue(QStringLiteral("Subject"))),
              QStringLiteral("Re: APISUPP.NSF Stub attached"));
    // Its attachment is listed, and refused with why rather than written as ciphertext.
    const auto objects = memo->GetFirstItem(QStringLiteral("Body"))->EmbeddedObjects();
    ASSERT_TRUE(objects.has_value());
    ASSERT_EQ(objects->size(), 1u);
    QString why;
    EXPECT_FALSE(dynamic_cast<NsfAttachmentDetails&>(*objects->front()).Extractable(&why));
    EXPECT_TRUE(why.contains(QLatin1String("encrypted"))) << why.toStdString();
    EXPECT_THROW(objects->front()->ExtractFile(dir.filePath(QStringLiteral("x"))), NotesError);
}

struct OtherRow {
    const char* file;
    int other;  // documents in "Other Documents"; 0: no such folder
    // A document of the file (its note ID) and when it was created (UTC, ISO; "": unknown).
    std::uint32_t note;
    const char* created;
};

// Documents that are neither mail nor filed in a folder nor profiles are found in one more
// folder, there only when it has any; every document tells when it was created, from the
// time its universal ID records.
TEST(nsf_Session, OtherDocumentsAndCreationTimes) {
    const std::vector<OtherRow> rows = {
        {"hfinn.nsf", 0, 0x20FA, "1992-11-18T19:43:26.490Z"},
        {"MIMEMsg.nsf", 0, 0x8F6, "2006-08-11T09:38:49.070Z"},
        {"findKeyEx4.nsf", 69, 0x8F6, "1991-04-23T20:23:09.270Z"},
        {"findKeyEx4.nsf", 69, 0xA06, "2022-02-03T05:12:00.770Z"},
        // Two profile documents left out; "MyHAPIForm" is the one data document.
        {"attachment.nsf", 1, 0, ""},
        // 18 documents: 3 profiles, 1 filed in "Backup Role for Student".
        {"jnx-sample.nsf", 14, 0x926, "2022-06-14T09:22:26.380Z"},
        // Universal IDs whose time is no time at all.
        {"jnx-invalidtimedate.nsf", 2, 0x8F6, ""},
    };
    for (const OtherRow& row : rows) {
        SCOPED_TRACE(row.file);
        FileSession session;
        const DatabasePtr db = session.GetDatabase(QString(), velmora::nsf::test::Sample(row.file));
        const ViewPtr other = FindView(*db, QLatin1String(kOtherDocumentsFolder));
        if (row.other == 0) {
            EXPECT_EQ(other, nullptr);
        } else {
            ASSERT_NE(other, nullptr);
            EXPECT_TRUE(other->isfolder());
            EXPECT_EQ(other->AllEntries()->Count(), row.other);
        }
        if (row.note == 0) {
            continue;
        }
        std::optional<std::optional<QDateTime>> created;
        for (const ViewPtr& view : db->Views().value_or(ViewList{})) {
            for (auto doc = view->GetFirstDocument(); doc && !created;
                 doc = view->GetNextDocument(doc)) {
                if (dynamic_cast<NsfDocumentDetails&>(*doc).NoteId() == row.note) {
                    created = doc->Created();
                }
            }
        }
        ASSERT_TRUE(created.has_value()) << "no view lists the document";
        EXPECT_EQ(
            created->has_value() ? (*created)->toUTC().toString(Qt::ISODateWithMs) : QString(),
            QLatin1String(row.created));
    }
}

// The manifest and resume key on a document's identity: one per note, never shared.
TEST(nsf_Session, UniversalIdsAreWholeAndOnePerNote) {
    static const QRegularExpression kWhole(QStringLiteral("^[0-9A-F]{32}$"));
    int documents = 0;
    for (const char* file : velmora::nsf::test::AllSamples()) {
        SCOPED_TRACE(file);
        FileSession session;
        DatabasePtr db;
        try {
            db = session.GetDatabase(QString(), velmora::nsf::test::Sample(file));
        } catch (const NotesError&) {
            continue;  // files that do not open are tested elsewhere
        }
        std::map<QString, QString> noteOf;  // universal ID -> note ID
        for (const ViewPtr& view : db->Views().value_or(ViewList{})) {
            for (auto doc = view->GetFirstDocument(); doc; doc = view->GetNextDocument(doc)) {
                const QString id = doc->UniversalID();
                ASSERT_TRUE(kWhole.match(id).hasMatch()) << id.toStdString();
                const auto [at, added] = noteOf.emplace(id, doc->NoteID());
                EXPECT_TRUE(added || at->second == doc->NoteID()) << id.toStdString();
                ++documents;
            }
        }
    }
    EXPECT_GT(documents, 500);
}

}  // namespace
