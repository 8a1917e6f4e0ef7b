#include "export/MessageExtractor.h"
#include "notes/FaultyNotes.h"
#include "notes/MemoryNotes.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>

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
        {{}, {"N1"}, ""},
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

TEST_F(MessageExtractorTest, senderAndTo_preferInternetFormsUnlessPlaceholder) {
    struct Row {
        QStringList sendTo, inetSendTo;
        QString from, inetFrom;
        QString expectedTo, expectedFrom;
    };
    const Row rows[] = {
        {{"N1", "N2"}, {}, "Ann/Acme", "", "N1;N2", "Ann/Acme"},
        {{"N1", "N2"}, {".", "X2"}, "Ann/Acme", ".", "N1;N2", "Ann/Acme"},
        {{"N1", "N2"}, {"X1", "."}, "Ann/Acme", "ann@acme.example", "X1;.", "ann@acme.example"},
        {{}, {"X1"}, "", "", "X1", ""},
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

TEST_F(MessageExtractorTest, deletedItems_handOverNotesNamesAndFirstRecipient) {
    MemoryDocument document;
    document.SetText("From", {"Ann/Acme"});
    document.SetText("INetFrom", {"ann@acme.example"});
    document.SetText("SendTo", {"N1", "N2"});
    document.SetText("InetSendTo", {"x1@acme.example", "x2@acme.example"});
    document.SetText("InetCopyTo", {"cc@acme.example"});
    const MailRecord deleted = Extract(document, ViewKind::Trash);
    EXPECT_EQ(deleted.eFrom, QStringLiteral("Ann/Acme"));
    EXPECT_EQ(deleted.eTo, QStringLiteral("N1"));
    EXPECT_EQ(deleted.eCC, QStringLiteral("cc@acme.example"));
    EXPECT_EQ(deleted.FolderName, QStringLiteral("Deleted Items"));
    EXPECT_TRUE(deleted.eSubject.isEmpty()) << "a missing item reads as empty";
    const MailRecord kept = Extract(document, ViewKind::Sent);
    EXPECT_EQ(kept.eFrom, QStringLiteral("ann@acme.example"));
    EXPECT_EQ(kept.eTo, QStringLiteral("x1@acme.example;x2@acme.example"));
    EXPECT_EQ(kept.FolderName, QStringLiteral("Sent Items"));
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

TEST_F(MessageExtractorTest, attachments_onlyFilesOfRichTextBodyEachInItsOwnPlace) {
    const QByteArray first = "first bytes", second = "second bytes";
    MemoryDocument document;
    WithAttachments(document, {{notes::kEmbedAttachment, "report.pdf", first},
                               {notes::kEmbedObject, "sheet.ole", "ole"},
                               {notes::kEmbedObjectLink, "link", "link"},
                               {notes::kEmbedAttachment, "report.pdf", second},
                               {notes::kEmbedAttachment, "..\\..\\x.exe", "evil"},
                               {notes::kEmbedAttachment, "/etc/passwd", "evil"}});
    const MailRecord record = Extract(document);
    ASSERT_TRUE(record.eAttachFileName.startsWith('|'));
    const QStringList paths = record.eAttachFileName.mid(1).split('|');
    ASSERT_EQ(paths.size(), 4);
    EXPECT_NE(paths[0], paths[1]);
    const QStringList names = {"report.pdf", "report.pdf", "x.exe", "passwd"};
    const QByteArray contents[] = {first, second, "evil", "evil"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(QFileInfo(paths[i]).fileName(), names[i]);
        EXPECT_TRUE(QFileInfo(paths[i]).canonicalFilePath().startsWith(
            QFileInfo(folder.path()).canonicalFilePath() + '/'));
        QFile file(paths[i]);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), contents[i]);
    }
    EXPECT_TRUE(record.missingAttachments.isEmpty());

    MemoryDocument notRich;
    WithAttachments(notRich, {{notes::kEmbedAttachment, "a.txt", "a"}}, notes::kItemText);
    EXPECT_TRUE(Extract(notRich).eAttachFileName.isEmpty());
    MemoryDocument oleOnly;
    WithAttachments(oleOnly, {{notes::kEmbedObject, "sheet.ole", "ole"}});
    EXPECT_TRUE(Extract(oleOnly).eAttachFileName.isEmpty());
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
