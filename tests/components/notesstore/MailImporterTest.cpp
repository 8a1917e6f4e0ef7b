#include "StoreTestSupport.h"

#include "components/notesstore/MailImporter.h"
#include "components/notesstore/MimeItems.h"
#include "components/notesstore/StoreSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

using namespace velmora::notes;
using namespace velmora::notesstore;
using namespace velmora::notesstore::test;

namespace {

QString Data(const char* name) {
    return QStringLiteral(VELMORA_TEST_DATA "/") + QString::fromUtf8(name);
}

QStringList Texts(DocumentData& doc, const QString& item) {
    QStringList values;
    if (ItemData* found = doc.Find(item)) {
        for (const NotesValue& value : found->values) {
            values << ValueToText(value);
        }
    }
    return values;
}

TEST(MailImporter, headers_becomeNotesAndInternetAddressItems) {
    auto docs = ReadMessages(Data("plain.eml"));
    ASSERT_EQ(docs.size(), 1u);
    DocumentData& doc = docs[0];
    EXPECT_EQ(Texts(doc, QStringLiteral("From")),
              QStringList{QStringLiteral("Anna Berg <anna@example.org>")});
    EXPECT_EQ(Texts(doc, QStringLiteral("INetFrom")),
              QStringList{QStringLiteral("anna@example.org")});
    EXPECT_EQ(Texts(doc, QStringLiteral("InetSendTo")),
              (QStringList{QStringLiteral("demo@example.org"), QStringLiteral("bob@example.org")}));
    EXPECT_EQ(Texts(doc, QStringLiteral("SendTo")).size(), 2);
    EXPECT_TRUE(Texts(doc, QStringLiteral("SendTo"))[0].contains(QStringLiteral("Demo User")));
    // Group members are listed one by one.
    EXPECT_EQ(
        Texts(doc, QStringLiteral("InetCopyTo")),
        (QStringList{QStringLiteral("carol@example.org"), QStringLiteral("dave@example.org")}));
    EXPECT_EQ(Texts(doc, QStringLiteral("InetBlindCopyTo")),
              QStringList{QStringLiteral("eve@example.org")});
    EXPECT_EQ(Texts(doc, QStringLiteral("BlindCopyTo")).size(), 1);
    EXPECT_EQ(Texts(doc, QStringLiteral("Subject")),
              QStringList{QStringLiteral("Grüße aus Zürich")});

    ItemData* posted = doc.Find(QStringLiteral("PostedDate"));
    ASSERT_NE(posted, nullptr);
    EXPECT_EQ(posted->type, kItemDateTime);
    const auto& moment = std::get<QDateTime>(posted->values.at(0));
    EXPECT_EQ(moment.toSecsSinceEpoch(), 1300090325);
    EXPECT_EQ(moment.offsetFromUtc(), 3600);

    // The body stays MIME, as Notes keeps MIME mail; read as text, it gives the plain part.
    ItemData* body = doc.Find(QStringLiteral("Body"));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->type, kItemMimePart);
    EXPECT_TRUE(
        ValueToText(body->values.at(0)).startsWith(QStringLiteral("Schöne Grüße aus Zürich.")));
    EXPECT_TRUE(body->data.contains("Content-Type: text/plain"));
    EXPECT_EQ(Texts(doc, QStringLiteral("MIME_Version")), QStringList{QStringLiteral("1.0")});
}

// The message's parts joined again, as the store answers GetMIMEEntity.
QByteArray Joined(DocumentData& doc) {
    QByteArray joined;
    for (const ItemData& item : doc.items) {
        if (item.name == QLatin1String("Body")) {
            joined += item.data;
        }
    }
    return joined;
}

TEST(MailImporter, parts_stayWholeInTheMimeBodyWithThePlainTextAsItsValue) {
    auto docs = ReadMessages(Data("multipart.eml"));
    ASSERT_EQ(docs.size(), 1u);
    ItemData* body = docs[0].Find(QStringLiteral("Body"));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(ValueToText(body->values.at(0)).trimmed(), QStringLiteral("The plain text wins."));
    EXPECT_TRUE(body->embedded.empty()) << "attachments stay in the message";
    // One item per part, from each boundary line on.
    int parts = 0;
    for (const ItemData& item : docs[0].items) {
        if (item.name == QLatin1String("Body")) {
            EXPECT_EQ(item.type, kItemMimePart);
            EXPECT_TRUE(parts == 0 || item.data.startsWith("--")) << item.data.left(40).constData();
            ++parts;
        }
    }
    EXPECT_EQ(parts, 9);
    const QByteArray message = Joined(docs[0]);
    for (const char* kept : {"<p>The <b>HTML</b> loses.</p>", "filename=\"data.bin\"",
                             "AAECA/8=", "filename=\"../../windows/boot.ini\"", "Inner body."}) {
        EXPECT_TRUE(message.contains(kept)) << kept;
    }
    EXPECT_EQ(MimePlainText(message).trimmed(), QStringLiteral("The plain text wins."));
    EXPECT_EQ(std::get<QDateTime>(docs[0].Find(QStringLiteral("PostedDate"))->values.at(0))
                  .offsetFromUtc(),
              -5 * 3600);
}

TEST(MailImporter, htmlOnlyMessage_becomesReadableText) {
    auto docs = ReadMessages(Data("html-only.eml"));
    ASSERT_EQ(docs.size(), 1u);
    const QString body = ValueToText(docs[0].Find(QStringLiteral("Body"))->values.at(0));
    EXPECT_TRUE(body.contains(QStringLiteral("Fish & chips <today>"))) << body.toStdString();
    EXPECT_TRUE(body.contains(QStringLiteral("Price: €5"))) << body.toStdString();
    EXPECT_FALSE(body.contains(QStringLiteral("color"))) << body.toStdString();
    EXPECT_EQ(docs[0].Find(QStringLiteral("PostedDate")), nullptr);
}

TEST(MailImporter, mbox_givesEveryMessageInOrder) {
    auto docs = ReadMessages(Data("archive.mbox"));
    ASSERT_EQ(docs.size(), 3u);
    EXPECT_EQ(Texts(docs[0], QStringLiteral("Subject"))[0], QStringLiteral("First in the mbox"));
    EXPECT_EQ(Texts(docs[1], QStringLiteral("Subject"))[0], QStringLiteral("Second in the mbox"));
    EXPECT_EQ(Texts(docs[2], QStringLiteral("Subject"))[0], QStringLiteral("Third in the mbox"));
    EXPECT_TRUE(Texts(docs[0], QStringLiteral("Body"))[0].contains(QStringLiteral("quoted line")));
    EXPECT_EQ(docs[1].Find(QStringLiteral("PostedDate")), nullptr);
}

TEST(MailImporter, unreadableFiles_areRefused) {
    EXPECT_THROW(ReadMessages(Data("missing.eml")), StoreError);
    EXPECT_THROW(ReadMessages(Data("not-mail.txt")), StoreError);
    EXPECT_THROW(ReadMessages(QStringLiteral(VELMORA_TEST_DATA)), StoreError);
    QTemporaryDir dir;
    const QString pipe = dir.filePath(QStringLiteral("pipe.eml"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_THROW(ReadMessages(pipe), StoreError);
}

TEST(MailImporter, import_createsTheStoreAndFolderAndSkipsBadFiles) {
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("imported.nsf"));
    ImportOutcome outcome =
        ImportMail(store, QStringLiteral("Imported\\Mail"),
                   {Data("plain.eml"), Data("not-mail.txt"), Data("archive.mbox")});
    EXPECT_EQ(outcome.imported, 4);
    ASSERT_EQ(outcome.problems.size(), 1);
    EXPECT_TRUE(outcome.problems[0].contains(QStringLiteral("not-mail.txt")));

    outcome = ImportMail(store, QStringLiteral("Imported\\Mail"), {Data("multipart.eml")});
    EXPECT_EQ(outcome.imported, 1);
    EXPECT_TRUE(outcome.problems.isEmpty());

    StoreSession session;
    auto db = session.GetDatabase(QString(), store);
    EXPECT_EQ(db->Title(), QStringLiteral("imported"));
    EXPECT_EQ(db->Views()->size(), 7u);  // the six standard views and the folder
    auto folder = db->GetView(QStringLiteral("Imported\\Mail"));
    ASSERT_NE(folder, nullptr);
    EXPECT_TRUE(folder->isfolder());
    EXPECT_EQ(folder->AllEntries()->Count(), 5);
    DocumentPtr doc = folder->GetFirstDocument();
    for (int i = 0; i < 4; ++i) {
        doc = folder->GetNextDocument(doc);
    }
    EXPECT_EQ(FirstValueText(doc->GetItemValue(QStringLiteral("Subject"))),
              QStringLiteral("Report with attachments"));
    const auto message = doc->GetMIMEEntity(QStringLiteral("Body"));
    ASSERT_TRUE(message.has_value());
    EXPECT_TRUE(message->contains("AAECA/8=")) << "the attachment travels in the message";
    EXPECT_FALSE(doc->GetFirstItem(QStringLiteral("Body"))->EmbeddedObjects().has_value());
}

TEST(MailImporter, import_intoSomethingThatIsNotAStore_changesNothing) {
    QTemporaryDir dir;
    const QString notStore = dir.filePath(QStringLiteral("text.nsf"));
    WriteAll(notStore, "plain text");
    EXPECT_THROW(ImportMail(notStore, QStringLiteral("F"), {Data("plain.eml")}), StoreError);
    EXPECT_EQ(ReadAll(notStore), QByteArray("plain text"));
    EXPECT_THROW(ImportMail(dir.filePath(QStringLiteral("x.nsf")), QString(), {Data("plain.eml")}),
                 StoreError);
}

TEST(MailImporter, aStoreThatCannotGrow_failsTheImportAndKeepsItsContent) {
    QTemporaryDir dir;
    const QString store = dir.filePath(QStringLiteral("full.nsf"));
    ASSERT_EQ(ImportMail(store, QStringLiteral("F"), {Data("plain.eml")}).imported, 1);
    const QByteArray before = ReadAll(store);
    // A big message that cannot fit under the file size limit below.
    const QString big = dir.filePath(QStringLiteral("big.eml"));
    WriteAll(big, "From: a@example.org\r\nSubject: big\r\n\r\n" + QByteArray(2 << 20, 'x'));

    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = static_cast<rlim_t>(before.size() + 256 * 1024);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool failed = false;
    try {
        ImportMail(store, QStringLiteral("F"), {Data("multipart.eml"), big});
    } catch (const StoreError&) {
        failed = true;
    }
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(failed);
    EXPECT_FALSE(QFile::exists(store + QStringLiteral("-journal")));
    EXPECT_EQ(ReadAll(store), before);
    StoreSession session;
    EXPECT_EQ(
        session.GetDatabase(QString(), store)->GetView(QStringLiteral("F"))->AllEntries()->Count(),
        1);
}

}  // namespace
