#include "ExportRunFixture.h"
#include "ExportTestSupport.h"
#include "NullMailMessage.h"
#include "RecordingUserInterface.h"
#include "automation/Automation.h"
#include "components/mime/MailComposer.h"
#include "components/mime/MimeComponent.h"
#include "export/ExportRun.h"
#include "notes/FaultyNotes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace velmora;
using namespace velmora::exporting;
using automation::Registry;
using velmora::testing::AddMails;
using velmora::testing::Counts;
using velmora::testing::ExportRunTest;
using velmora::testing::FilesBelow;
using velmora::testing::PdfsPerFolder;

TEST_F(ExportRunTest, selection_decidesFoldersAndSystemSections) {
    AddSystemFolders();
    for (const char* name : {"Projects", "Projects 2011", "MyProjects", "Sent to customers",
                             "Clients/Europe: 2011", "Parent\\Child"}) {
        AddMails(*data, name, 1, name);
    }
    struct Row {
        QStringList ticked;
        Counts expected;
    };
    const Row rows[] = {
        {{"Inbox"}, {{"Mail/Inbox", 2}}},
        {{"Sent to customers"}, {{"Mail/Sent to customers", 1}, {"Mail/Sent Items", 1}}},
        {{"Follow-Up"}, {{"Mail/Follow Up", 1}}},
        {{"JunkMail"}, {{"Mail/Junk Mail", 1}}},
        {{"Drafts", "Trash"}, {{"Mail/Drafts", 1}, {"Mail/Deleted Items", 1}}},
        {{"Projects 2011"}, {{"Mail/Projects", 1}, {"Mail/Projects 2011", 1}}},
        {{"MyProjects"}, {{"Mail/MyProjects", 1}}},
        {{"Clients/Europe: 2011", "Parent\\Child"},
         {{"Mail/Clients-Europe- 2011", 1}, {"Mail/Parent-Child", 1}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.ticked.join(',').toStdString());
        QTemporaryDir target;
        state.ExportRoot = target.path();
        Select(row.ticked);
        const int closedBefore = view.closed;
        run.CmdConversion_Click();
        EXPECT_EQ(PdfsPerFolder(target.path()), row.expected);
        EXPECT_EQ(view.closed, closedBefore + 1);
        EXPECT_EQ(ui.messages.back().title, QStringLiteral("Export Complete"));
        EXPECT_EQ(run.Summary().failed, 0);
    }
}

TEST_F(ExportRunTest, foldersALookupByNameWouldConfuse_areEachWalkedIntoTheirOwnFolder) {
    AddMails(*data, "Receipts", 1, "Upper");
    AddMails(*data, "receipts", 2, "Lower");
    AddMails(*data, "Customers ", 1, "Blank");
    Select({"Receipts", "receipts", "Customers"});
    run.CmdConversion_Click();
    QStringList walked;
    for (const QString& file : FilesBelow(Root())) {
        if (file.endsWith(".pdf")) {
            walked << file.section(' ', 0, 0);  // folder and the subject's first word
        }
    }
    EXPECT_EQ(walked, (QStringList{"Mail/Customers/Blank", "Mail/Receipts/Upper",
                                   "Mail/receipts/Lower", "Mail/receipts/Lower"}));
    EXPECT_EQ(view.overall.back(), std::make_pair(std::int64_t{4}, std::int64_t{4}))
        << "the overall total counts each folder once";
    EXPECT_EQ(run.Summary().failed, 0);
}

TEST_F(ExportRunTest, labels_followTheRunAndTheCompletionNamesDestinationAndTitle) {
    AddMails(*data, "Projects", 3, "P");
    data->View("Empty");
    data->views.push_back(notes::MemoryView{"Projects", true, {}});  // an empty namesake
    Select({"Projects", "Empty"});
    run.CmdConversion_Click();

    EXPECT_EQ(view.headers,
              (QStringList{"Checking Configuration...", "Saving Emails (Custom Folders)...",
                           "Saving Emails (Custom Folders)... [Empty]",
                           "Saving Emails (Custom Folders)... [Projects]"}));
    EXPECT_EQ(view.processing, (QStringList{"Processing...", "P 0", "P 1", "P 2"}));
    EXPECT_EQ(view.found, (QStringList{"", "3"}));
    EXPECT_EQ(view.current, (QStringList{"", "0/3", "1/3", "2/3"}));
    EXPECT_EQ(view.subjectVisible, (QList<bool>{false, true}));
    EXPECT_EQ(PdfsPerFolder(Root()), (Counts{{"Mail/Projects", 3}}));
    EXPECT_TRUE(QFileInfo(Root() + "Mail/Empty").isDir());
    EXPECT_EQ(state.ExportRoot, Root() + "Mail/");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Migration Completed Successfully !\r\n" + Root() + "Mail/\r\nMail");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(view.closed, 1);
    EXPECT_FALSE(mailbox.context.database);
    EXPECT_TRUE(mailbox.context.session) << "the run's session stays the shared one";
}

TEST_F(ExportRunTest, hostileTitles_stayOneFolderInsideTheDestination) {
    AddMails(*data, "($Inbox)", 1, "In");
    const std::pair<QString, QString> rows[] = {{"", "Untitled"},
                                                {"..", "Untitled"},
                                                {"a/b", "a-b"},
                                                {" x\ty ", "xy"},
                                                {"../../up", "..-..-up"}};
    for (const auto& [title, folder] : rows) {
        QTemporaryDir parent;
        state.ExportRoot = parent.filePath("out");
        mailbox.databaseTitle = title;
        Select({"Inbox"});
        run.CmdConversion_Click();
        EXPECT_EQ(state.ExportRoot, parent.filePath("out") + "/" + folder + "/");
        EXPECT_EQ(QDir(parent.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{"out"});
        EXPECT_EQ(PdfsPerFolder(parent.filePath("out")), (Counts{{folder + "/Inbox", 1}}));
    }
}

TEST_F(ExportRunTest, notesAbsent_showsTheNotesMessageAndClosesTheWindow) {
    notesInstalled = false;
    Select({"Inbox"});
    run.CmdConversion_Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, QStringLiteral("Notes Not Installed/Configured"));
    EXPECT_TRUE(ui.messages[0].text.startsWith("Lotus Notes NOT INSTALLED"));
    EXPECT_EQ(view.headers, QStringList{"Checking Configuration..."});
    EXPECT_EQ(view.processing, QStringList{"Processing..."});
    EXPECT_EQ(view.closed, 1);
    EXPECT_TRUE(FilesBelow(Root()).isEmpty());
}

TEST_F(ExportRunTest, databaseUnreadable_reportsErrorClosesAndLeavesNoFolder) {
    for (const char* member : {"Session.GetDatabase", "Database.Views"}) {
        SCOPED_TRACE(member);
        plan = std::make_shared<notes::FaultPlan>();
        plan->FailOn(QLatin1String(member));
        state.ExportRoot = destination.path();
        ui.messages.clear();
        view.closed = 0;
        Select({"Inbox"});
        run.CmdConversion_Click();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, QStringLiteral("Error occured during conversion..."));
        EXPECT_EQ(ui.messages[0].title, QStringLiteral("Error in Conversion"));
        EXPECT_EQ(view.closed, 1);
        EXPECT_EQ(state.ExportRoot, Root() + "Mail/");
        EXPECT_FALSE(QFileInfo::exists(state.ExportRoot)) << "nothing was written into it";
    }
}

TEST_F(ExportRunTest, converterMissing_completesAndCountsEveryMessage) {
    AddSystemFolders();
    converterAvailable = false;
    Select({"Inbox", "Sent"});
    run.CmdConversion_Click();
    EXPECT_EQ(run.Summary().failed, 3);
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::Warning);
    EXPECT_EQ(ui.messages.back().text,
              "The export ended with failures.\r\n3 of 3 messages could not be converted.\r\n"
              "First failure: the PDF converter is not available\r\n"
              "They are listed in \"Not converted.txt\" in the folder below.\r\n" +
                  Root() + "Mail/\r\nMail");
    EXPECT_EQ(FilesBelow(Root()), (QStringList{"Mail/Not converted.txt", "Mail/manifest.jsonl"}));
    QFile list(Root() + "Mail/Not converted.txt");
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(list.readAll());
    EXPECT_EQ(text.count("Inbox\tIn "), 2);
    EXPECT_EQ(text.count("Sent Items\tSent 0"), 1);
    EXPECT_EQ(view.closed, 1);
}

TEST_F(ExportRunTest, userFolderFailures_skipJustThatStep) {
    AddMails(*data, "A", 1, "A");
    AddMails(*data, "B", 2, "B");
    AddMails(*data, "($Inbox)", 1, "In");
    struct Row {
        const char* member;
        Counts expected;
    };
    const Row rows[] = {
        {"View.Name", {{"Mail/B", 2}, {"Mail/Inbox", 1}}},
        {"View.GetFirstDocument", {{"Mail/B", 2}, {"Mail/Inbox", 1}}},
        {"Entries.Count", {{"Mail/B", 2}, {"Mail/Inbox", 1}}},
    };
    // Three counts make the overall total; A's fourth only fills a label; its fifth is A's loop
    // test, which ends A.
    for (const Row& row : rows) {
        SCOPED_TRACE(row.member);
        plan = std::make_shared<notes::FaultPlan>();
        plan->FailOn(QLatin1String(row.member),
                     row.member == QLatin1String("Entries.Count") ? 5 : 1);
        QTemporaryDir target;
        state.ExportRoot = target.path();
        Select({"A", "B", "Inbox"});
        run.CmdConversion_Click();
        EXPECT_EQ(PdfsPerFolder(target.path()), row.expected);
        EXPECT_EQ(ui.messages.back().title, QStringLiteral("Export Complete"));
    }
}

TEST_F(ExportRunTest, systemSections_areUnitsUntilTheirFirstMessageIsRead) {
    AddSystemFolders();
    struct Row {
        const char* member;
        int nth;
        const char* argument;
        Counts expected;
        int failed;
    };
    const Row rows[] = {
        // Before the first message: the whole inbox is given up, and counted once known.
        {"Database.GetView", 0, "($Inbox)", {{"Mail/Sent Items", 1}}, 0},
        {"Document.GetItemValue", 1, "Subject", {{"Mail/Sent Items", 1}}, 2},
        // After it: just the failing message.
        {"Document.GetItemValue", 2, "Subject", {{"Mail/Inbox", 1}, {"Mail/Sent Items", 1}}, 1},
        {"View.GetNextDocument", 1, "", {{"Mail/Inbox", 1}, {"Mail/Sent Items", 1}}, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.member) + " " + row.argument);
        plan = std::make_shared<notes::FaultPlan>();
        plan->FailOn(QLatin1String(row.member), row.nth, QLatin1String(row.argument));
        QTemporaryDir target;
        state.ExportRoot = target.path();
        Select({"Inbox", "Sent"});
        run.CmdConversion_Click();
        EXPECT_EQ(PdfsPerFolder(target.path()), row.expected);
        EXPECT_EQ(run.Summary().failed, row.failed);
        EXPECT_EQ(ui.messages.back().icon,
                  row.failed > 0 ? MsgIcon::Warning : MsgIcon::Information);
    }
}

TEST_F(ExportRunTest, secondPressWhileYielding_isIgnored) {
    AddMails(*data, "($Inbox)", 3, "In");
    Select({"Inbox"});
    int nested = 0;
    ui.onEvents = [&] {
        ++nested;
        EXPECT_TRUE(run.IsRunning());
        run.CmdConversion_Click();
    };
    run.CmdConversion_Click();
    EXPECT_GE(nested, 6) << "twice per message at least";
    EXPECT_FALSE(run.IsRunning());
    EXPECT_EQ(PdfsPerFolder(Root()), (Counts{{"Mail/Inbox", 3}}));
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(ExportRunTest, attachments_travelAndNoTemporaryFileStays) {
    notes::MemoryDocument mail = velmora::testing::Mail("With files");
    mail.Set("Body", {QStringLiteral("see attached")}, notes::kItemRichText);
    mail.items.back().embedded = {{notes::kEmbedAttachment, "same.txt", "first copy"},
                                  {notes::kEmbedAttachment, "same.txt", "second copy"}};
    data->AddDocument(mail, {"($Inbox)"});
    // A temporary folder of this test's own: other tests run beside it.
    QTemporaryDir temp;
    const QByteArray previousTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", temp.path().toLocal8Bit());
    Select({"Inbox"});
    run.CmdConversion_Click();
    const QStringList left = QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    qputenv("TMPDIR", previousTemp);
    EXPECT_TRUE(left.isEmpty()) << left.join(',').toStdString();

    const QStringList files = FilesBelow(Root()).filter(".pdf");
    ASSERT_EQ(files.size(), 1);
    QFile copy(Root() + files[0]);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    const QByteArray text = copy.readAll();
    EXPECT_EQ(text.count("filename=\"same.txt\""), 2) << text.toStdString();
    EXPECT_TRUE(text.contains(QByteArray("first copy").toBase64()));
    EXPECT_TRUE(text.contains(QByteArray("second copy").toBase64()));
}

namespace {

class TinyComposer : public mime::MailComposer {
  public:
    QString ComposeText(mime::MailMessage&) override { return QStringLiteral("x"); }
};

}  // namespace

TEST_F(ExportRunTest, foldersBeyondSixteenBits_areWalkedToTheirEnd) {
    Registry::ScopedOverride message{
        mime::kMailMessageClassId,
        [] { return std::make_shared<velmora::testing::NullMailMessage>(); }};
    Registry::ScopedOverride composer{mime::kMailComposerClassId,
                                      [] { return std::make_shared<TinyComposer>(); }};
    // Without a converter nothing is written, so the walk itself is what is measured.
    converterAvailable = false;
    constexpr int kCount = 32'770;
    AddMails(*data, "($Trash)", kCount, "Gone");
    Select({"Trash"});
    run.CmdConversion_Click();
    EXPECT_EQ(run.Summary().failed, kCount);
    EXPECT_TRUE(ui.messages.back().text.contains("32770 messages could not be converted"));
    EXPECT_EQ(view.current.back(), QStringLiteral("32769/32770"));
}
