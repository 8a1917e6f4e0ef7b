#include "export/MessageExtractor.h"
#include "notes/FaultyNotes.h"
#include "notes/MemoryNotes.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>

#include <tuple>

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::exporting;
using notes::MemoryDocument;

namespace {

const QString kPath = QStringLiteral("/mail/x.nsf");

class MessageExtractorTest : public ::testing::Test {
  protected:
    // The document as the Notes model serves it, through the fault plan.
    notes::DocumentPtr Serve(const MemoryDocument& document, const QString& view = "V") {
        auto data = std::make_shared<notes::MemoryDatabaseData>();
        data->AddDocument(document, {view});
        auto session = std::make_shared<notes::MemorySession>();
        session->AddDatabase(kPath, data);
        m_session = notes::WithFaults(session, plan);
        return m_session->GetDatabase(QString(), kPath)->GetView(view)->GetFirstDocument();
    }
    MailRecord Extract(const MemoryDocument& document, ViewKind kind = ViewKind::UserFolder) {
        return ExtractMailRecord(*Serve(document), kind, QStringLiteral("Folder"), spool);
    }

    std::shared_ptr<notes::FaultPlan> plan = std::make_shared<notes::FaultPlan>();
    QTemporaryDir folder;
    AttachmentSpool spool{folder.path()};

  private:
    notes::SessionPtr m_session;
};

MemoryDocument& WithAttachments(MemoryDocument& document,
                                std::vector<notes::MemoryEmbedded> objects,
                                int type = notes::kItemRichText) {
    document.Set(QStringLiteral("Body"), {QStringLiteral("see attached")}, type);
    document.items.back().embedded = std::move(objects);
    return document;
}

}  // namespace

TEST_F(MessageExtractorTest, copyLists_placeholdersTakeTheNotesNameAtTheirPosition) {
    struct Row {
        QStringList internet;  // empty: no item
        QStringList notesNames;
        QString expected;
    };
    const Row rows[] = {
        {{"X1", ".", "X3"}, {"N1", "N2", "N3"}, "X1;N2;X3"},
        {{".", "X2"}, {}, ";X2"},
        {{}, {"N1", "N2"}, "N1;N2"},  // Notes mail: the Cc names alone
        {{"x1@acme.example", "."},
         {"CN=Ann Lee/O=Acme", "Bo/Acme"},
         "\"Ann Lee\" <x1@acme.example>;Bo/Acme"},
        {{" X1", "X2 "}, {}, " X1;X2 "},
        {{"X1", "", "X3"}, {}, "X1;;X3"},
        {{"X1", "."}, {"N1"}, "X1;"},
    };
    for (const Row& row : rows) {
        for (const auto& [internet, names] :
             {std::pair{"InetCopyTo", "CopyTo"}, std::pair{"InetBlindCopyTo", "BlindCopyTo"}}) {
            MemoryDocument document;
            if (!row.internet.isEmpty()) {
                document.SetText(QLatin1String(internet), row.internet);
            }
            if (!row.notesNames.isEmpty()) {
                document.SetText(QLatin1String(names), row.notesNames);
            }
            const MailRecord record = Extract(document);
            const QString& got =
                QLatin1String(internet) == QLatin1String("InetCopyTo") ? record.eCC : record.eBCC;
            EXPECT_EQ(got, row.expected) << internet << " " << row.internet.join(',').toStdString();
        }
    }
}

TEST_F(MessageExtractorTest, senderAndTo_internetFormsWithTheirNamesNotesNamesInPlaceholders) {
    struct Row {
        QStringList sendTo, inetSendTo;
        QString from, inetFrom;
        QString expectedTo, expectedFrom;
    };
    const Row rows[] = {
        {{"N1", "N2"}, {}, "Ann/Acme", "", "N1;N2", "Ann/Acme"},
        {{"N1", "N2"}, {".", "X2"}, "Ann/Acme", ".", "N1;X2", "Ann/Acme"},
        // A placeholder after the first position loses no recipient either.
        {{"N1", "N2"},
         {"X1", "."},
         "Ann/Acme",
         "ann@acme.example",
         "X1;N2",
         "\"Ann\" <ann@acme.example>"},
        {{}, {"X1"}, "", "", "X1", ""},
        // Display names: the sender's own, a Notes name's common name, never a guess.
        {{"CN=Bo Chan/OU=Sales/O=Acme"},
         {"bo@acme.example"},
         "J\u00f6rg M\u00fcller <joerg@example.com>",
         "joerg@example.com",
         "\"Bo Chan\" <bo@acme.example>",
         "\"J\u00f6rg M\u00fcller\" <joerg@example.com>"},
        {{"Bo Chan/Acme@AcmeMail"},
         {"bo@acme.example"},
         "someone.else@example.com",
         "joerg@example.com",
         "\"Bo Chan\" <bo@acme.example>",
         "joerg@example.com"},
        {{"bo@acme.example"},
         {"bo@acme.example"},
         "Jane <jane@x.example>",
         "Jane J <jane@x.example>",
         "bo@acme.example",
         "Jane J <jane@x.example>"},
        {{"Say \"Hi\""}, {"hi@acme.example"}, "", "", "\"Say \\\"Hi\\\"\" <hi@acme.example>", ""},
    };
    for (const Row& row : rows) {
        MemoryDocument document;
        if (!row.sendTo.isEmpty())
            document.SetText("SendTo", row.sendTo);
        if (!row.inetSendTo.isEmpty())
            document.SetText("InetSendTo", row.inetSendTo);
        if (!row.from.isEmpty())
            document.SetText("From", {row.from});
        if (!row.inetFrom.isEmpty())
            document.SetText("INetFrom", {row.inetFrom});
        const MailRecord record = Extract(document);
        EXPECT_EQ(record.eTo, row.expectedTo);
        EXPECT_EQ(record.eFrom, row.expectedFrom);
    }
}

TEST_F(MessageExtractorTest, fields_trimmedOfBlanksOnlySubjectReadFirst) {
    MemoryDocument document;
    document.SetText("Subject", {"  Re: plan \t "});
    document.SetText("From", {" Ann/Acme "});
    document.SetText("Body", {"\n body \n "});
    document.SetText("InetCopyTo", {" cc@x.example "});
    QStringList order;
    const MailRecord record = ExtractMailRecord(
        *Serve(document), ViewKind::Inbox, QString(), spool, [&](const QString& subject) {
            order << subject;
            order << QString::number(plan->Calls(QStringLiteral("Document.hasitem")));
        });
    EXPECT_EQ(order, (QStringList{"  Re: plan \t ", "1"})) << "only Subject asked before";
    EXPECT_EQ(record.eSubject, QStringLiteral("Re: plan \t"));
    EXPECT_EQ(record.eFrom, QStringLiteral("Ann/Acme"));
    EXPECT_EQ(record.eBody, QStringLiteral("\n body \n"));
    EXPECT_EQ(record.eCC, QStringLiteral(" cc@x.example "));
    EXPECT_EQ(record.FolderName, QStringLiteral("Inbox"));
    EXPECT_TRUE(Extract(MemoryDocument{}).eSubject.isEmpty());
}

TEST_F(MessageExtractorTest, deletedItems_areHandedOverLikeEveryOtherFolder) {
    MemoryDocument document;
    document.SetText("Subject", {"Gone"});
    document.SetText("From", {"Ann/Acme"});
    document.SetText("INetFrom", {"ann@acme.example"});
    document.SetText("SendTo", {"N1", "N2"});
    document.SetText("InetSendTo", {"x1@acme.example", "x2@acme.example"});
    document.SetText("InetCopyTo", {"cc@acme.example"});
    const MailRecord kept = Extract(document, ViewKind::Sent);
    EXPECT_EQ(kept.eFrom, QStringLiteral("\"Ann\" <ann@acme.example>"));
    EXPECT_EQ(kept.eTo, QStringLiteral("\"N1\" <x1@acme.example>;\"N2\" <x2@acme.example>"));
    const MailRecord deleted = Extract(document, ViewKind::Trash);
    EXPECT_EQ(deleted.FolderName, QStringLiteral("Deleted Items"));
    EXPECT_EQ(std::tie(deleted.eFrom, deleted.eSubject, deleted.eTo, deleted.eCC, deleted.eDate,
                       deleted.eBody),
              std::tie(kept.eFrom, kept.eSubject, kept.eTo, kept.eCC, kept.eDate, kept.eBody));
}

TEST_F(MessageExtractorTest, date_postedThenDeliveredThenComposedThenCreatedElseNone) {
    const QDateTime posted(QDate(2011, 3, 1), QTime(9, 0), QTimeZone(3600));
    const QDateTime delivered = posted.addSecs(60), composed = posted.addSecs(-600),
                    created = posted.addDays(-1);
    struct Row {
        bool posted, delivered, composed, created;
        QDateTime expected;  // invalid: no date
    };
    const Row rows[] = {
        {true, true, true, true, posted},          {false, true, true, true, delivered},
        {false, false, true, true, composed},      {false, false, false, true, created},
        {false, false, false, false, QDateTime()},
    };
    for (const Row& row : rows) {
        MemoryDocument document;
        if (row.posted)
            document.Set("PostedDate", {posted}, notes::kItemDateTime);
        if (row.delivered)
            document.Set("DeliveredDate", {delivered}, notes::kItemDateTime);
        if (row.composed)
            document.Set("ComposedDate", {composed}, notes::kItemDateTime);
        if (row.created)
            document.created = created;
        const MailRecord record = Extract(document);
        if (!row.expected.isValid()) {
            EXPECT_TRUE(record.eDate.isEmpty()) << record.eDate.toStdString();
            continue;
        }
        const auto date = ParseMessageDate(record.eDate);
        ASSERT_TRUE(date) << record.eDate.toStdString();
        EXPECT_EQ(*date, row.expected);
    }
}

TEST_F(MessageExtractorTest, mimeBody_isTheBodysEntityAndAFailureLeavesThePlainText) {
    MemoryDocument document;
    document.Set("Body", {QStringLiteral("plain")}, notes::kItemRichText);
    document.items.back().entity = "Content-Type: text/html\r\n\r\n<b>rich</b>";
    EXPECT_EQ(Extract(document).mimeBody, document.items.back().entity);
    plan->FailOn(QStringLiteral("Document.GetMIMEEntity"));
    const MailRecord record = Extract(document);
    EXPECT_TRUE(record.mimeBody.isEmpty());
    EXPECT_EQ(record.eBody, QStringLiteral("plain"));
    EXPECT_TRUE(Extract(MemoryDocument{}).mimeBody.isEmpty());
}

TEST_F(MessageExtractorTest, postedDate_roundTripsWithItsZoneInEveryLocale) {
    const QDateTime posted(QDate(2011, 3, 27), QTime(1, 30, 15, 250), QTimeZone(5 * 3600 + 1800));
    MemoryDocument document;
    document.Set("PostedDate", {posted}, notes::kItemDateTime);
    for (const char* locale : {"C", "de_DE", "en_US", "ja_JP", "ar_EG"}) {
        QLocale::setDefault(QLocale(QLatin1String(locale)));
        const MailRecord record = Extract(document);
        const auto back = ParseMessageDate(record.eDate);
        ASSERT_TRUE(back) << locale << " " << record.eDate.toStdString();
        EXPECT_EQ(*back, posted);
        EXPECT_EQ(back->offsetFromUtc(), posted.offsetFromUtc());
    }
    QLocale::setDefault(QLocale::c());
    EXPECT_TRUE(Extract(MemoryDocument{}).eDate.isEmpty());
}

TEST_F(MessageExtractorTest, attachments_filesObjectsAndLinksOfRichTextBodyEachInItsOwnPlace) {
    const QByteArray first = "first bytes", second = "second bytes";
    MemoryDocument document;
    WithAttachments(document, {{notes::kEmbedAttachment, "report.pdf", first},
                               {notes::kEmbedObject, "Budget.xls", "ole"},
                               {notes::kEmbedObject, "Worksheet", "ole2"},
                               {notes::kEmbedObjectLink, "Link to plan", ""},
                               {notes::kEmbedAttachment, "report.pdf", second},
                               {notes::kEmbedAttachment, "..\\..\\x.exe", "evil"},
                               {notes::kEmbedAttachment, "/etc/passwd", "evil"}});
    const MailRecord record = Extract(document);
    ASSERT_TRUE(record.eAttachFileName.startsWith('|'));
    const QStringList paths = record.eAttachFileName.mid(1).split('|');
    ASSERT_EQ(paths.size(), 7);
    EXPECT_NE(paths[0], paths[4]);
    // Objects are named for what they are; a link, which holds nothing, says what it links.
    const QStringList names = {"report.pdf",
                               "Budget (embedded object).xls",
                               "Worksheet (embedded object).bin",
                               "Link to plan (object link).txt",
                               "report.pdf",
                               "x.exe",
                               "passwd"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(QFileInfo(paths[i]).fileName(), names[i]);
        EXPECT_TRUE(QFileInfo(paths[i]).canonicalFilePath().startsWith(
            QFileInfo(folder.path()).canonicalFilePath() + '/'));
        QFile file(paths[i]);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << names[i].toStdString();
        const QByteArray bytes = file.readAll();
        if (i == 3) {
            EXPECT_TRUE(bytes.contains("Link to plan")) << bytes.constData();
        } else {
            const QByteArray contents[] = {first, "ole", "ole2", {}, second, "evil", "evil"};
            EXPECT_EQ(bytes, contents[i]) << names[i].toStdString();
        }
    }
    EXPECT_TRUE(record.missingAttachments.isEmpty());

    MemoryDocument notRich;
    WithAttachments(notRich, {{notes::kEmbedAttachment, "a.txt", "a"}}, notes::kItemText);
    EXPECT_TRUE(Extract(notRich).eAttachFileName.isEmpty());
}

TEST_F(MessageExtractorTest, documentWithoutBody_listsItsFieldsAndKeepsItsRichTextFiles) {
    MemoryDocument document;
    document.SetText(QStringLiteral("Subject"), {QStringLiteral("Inventory")});
    document.SetText(QStringLiteral("Owner"), {QStringLiteral("Ann"), QStringLiteral("Bo")});
    document.Set(QStringLiteral("RTextField"), {QStringLiteral("log below")}, notes::kItemRichText);
    document.items.back().embedded = {{notes::kEmbedAttachment, "tms.log", "entries"}};
    const MailRecord record = Extract(document);
    EXPECT_TRUE(record.eBody.contains(QStringLiteral("Owner: Ann; Bo")))
        << record.eBody.toStdString();
    EXPECT_TRUE(record.eBody.contains(QStringLiteral("RTextField: log below")));
    ASSERT_TRUE(record.eAttachFileName.startsWith('|'));
    EXPECT_EQ(QFileInfo(record.eAttachFileName.mid(1)).fileName(), QStringLiteral("tms.log"));
}

TEST_F(MessageExtractorTest, filesOfMimeMail_goInItsPartsOnceAndMissingOnesAreReported) {
    MemoryDocument document;
    WithAttachments(document, {{notes::kEmbedAttachment, "in-part.txt", "kept in the part"},
                               {notes::kEmbedAttachment, "unreadable.txt", "x"},
                               {notes::kEmbedAttachment, "only-a-file.txt", "file"}});
    document.items.back().entity =
        "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n--m\r\n"
        "Content-Type: text/plain\r\n\r\nBody\r\n--m\r\nContent-Type: text/plain; "
        "name=\"in-part.txt\"\r\n\r\nkept in the part\r\n--m\r\nContent-Type: text/plain; "
        "name=\"unreadable.txt\"\r\n\r\nunreadable.txt\r\n--m--\r\n";
    // Not native MIME: the body is a rendering, every file goes as an attachment.
    EXPECT_EQ(Extract(document).eAttachFileName.count('|'), 3);
    document.SetText(QStringLiteral("$NoteHasNativeMIME"), {QStringLiteral("1")});
    plan->FailOn(QStringLiteral("Embedded.ExtractFile"), 5);  // the second file, this time
    const MailRecord record = Extract(document);
    QStringList names;
    for (const QString& path : record.eAttachFileName.mid(1).split('|')) {
        names << QFileInfo(path).fileName();
    }
    EXPECT_EQ(names, (QStringList{"unreadable.txt", "only-a-file.txt"}));
    EXPECT_EQ(record.missingAttachments, QStringList{"unreadable.txt"});
}

TEST_F(MessageExtractorTest, failedExtraction_isListedAndNamedAsMissing) {
    MemoryDocument document;
    WithAttachments(document, {{notes::kEmbedAttachment, "lost.bin", "x"},
                               {notes::kEmbedAttachment, "kept.bin", "y"}});
    plan->FailOn(QStringLiteral("Embedded.ExtractFile"), 1);
    const MailRecord record = Extract(document);
    EXPECT_EQ(record.eAttachFileName.count('|'), 2);
    EXPECT_EQ(record.missingAttachments, QStringList{"lost.bin"});

    AttachmentSpool nowhere{QString()};
    const MailRecord homeless =
        ExtractMailRecord(*Serve(document), ViewKind::Inbox, QString(), nowhere);
    EXPECT_EQ(homeless.missingAttachments, (QStringList{"lost.bin", "kept.bin"}));
}

TEST_F(MessageExtractorTest, failingNotesRead_throws) {
    plan->FailOn(QStringLiteral("Document.GetItemValue"), 0, QStringLiteral("From"));
    MemoryDocument document;
    document.SetText("From", {"Ann"});
    EXPECT_THROW(Extract(document), notes::NotesError);
}
