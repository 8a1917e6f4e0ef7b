#include "MailboxTestData.h"
#include "RecordingMailboxView.h"
#include "RecordingUserInterface.h"
#include "notes/FaultyNotes.h"
#include "notes/MailPreview.h"
#include "notes/MailboxScanner.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::notes;
using velmora::testing::RecordingMailboxView;
using velmora::testing::RecordingUserInterface;

namespace {

QDateTime At(int day, int hour) {
    return QDateTime(QDate(2010, 3, day), QTime(hour, 15, 30), Qt::UTC);
}

MemoryDocument Mail(int number, std::int64_t size = 2048) {
    MemoryDocument document;
    document.SetText(QStringLiteral("From"), {QStringLiteral("  Sender %1  ").arg(number)});
    document.SetText(QStringLiteral("SendTo"), {QStringLiteral(" To %1 ").arg(number),
                                                QStringLiteral("Second %1").arg(number)});
    document.SetText(QStringLiteral("Subject"), {QStringLiteral(" Subject %1 ").arg(number)});
    document.Set(QStringLiteral("PostedDate"), {At(1, number % 24)}, kItemDateTime);
    document.Set(QStringLiteral("DeliveredDate"), {At(2, number % 24)}, kItemDateTime);
    document.Set(QStringLiteral("$Revisions"), {At(3, number % 24), At(4, 0)}, kItemDateTime);
    document.size = size;
    return document;
}

class MailPreviewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        data = std::make_shared<MemoryDatabaseData>();
        data->title = QStringLiteral("Preview");
        plan = std::make_shared<FaultPlan>();
        state.databasePath = QLatin1String(velmora::testing::kMailboxPath);
        state.context.session = WithFaults(velmora::testing::SessionWith(data), plan);
    }
    void AddMails(const QString& view, int count) {
        data->View(view);
        for (int i = 0; i < count; ++i) {
            data->AddDocument(Mail(i), {view});
        }
    }
    // The tree of a scan, so that clicks go through the nodes' view names.
    void Scan() {
        automation::Registry::ScopedOverride notes(
            QStringLiteral("Notes.NotesSession"),
            [session = state.context.session] { return session; });
        automation::Registry::ScopedOverride domino(QStringLiteral("Domino.NotesSession"), [] {
            return std::shared_ptr<automation::AutomationObject>();
        });
        MailboxScanner scanner(state, view, ui);
        scanner.CmdScan_Click();
        ASSERT_EQ(ui.messages.size(), 1u);
        ASSERT_EQ(ui.messages[0].title, QStringLiteral("Scan Completed..."));
        ui.calls.clear();
    }
    void Click(const QString& key) {
        const int index = state.tree.IndexOfKey(key);
        ASSERT_NE(index, 0) << key.toStdString();
        preview.ContactsTreeView_Click(index);
    }
    QStringList Column(int column) const {
        QStringList values;
        for (const QStringList& row : view.rows) {
            values << row.value(column);
        }
        return values;
    }

    std::shared_ptr<MemoryDatabaseData> data;
    std::shared_ptr<FaultPlan> plan;
    MailboxState state;
    RecordingMailboxView view;
    RecordingUserInterface ui;
    MailPreview preview{state, view, view, ui};
};

}  // namespace

TEST(PreviewMapping, standardNodesPreviewTheirHiddenViews) {
    EXPECT_EQ(PreviewViewName(QStringLiteral("Inbox")), QStringLiteral("($Inbox)"));
    EXPECT_EQ(PreviewViewName(QStringLiteral("Follow-Up")), QStringLiteral("($Follow-Up)"));
    EXPECT_EQ(PreviewViewName(QStringLiteral("JunkMail")), QStringLiteral("($JunkMail)"));
    EXPECT_EQ(PreviewViewName(QStringLiteral("inbox")), QStringLiteral("inbox"));
    EXPECT_EQ(PreviewViewName(QStringLiteral("Folders")), QStringLiteral("Folders"));
    EXPECT_EQ(PreviewViewName(QStringLiteral("Projects\\2010")), QStringLiteral("Projects\\2010"));
    EXPECT_EQ(PreviewViewName(QString()), QString());
}

TEST(PreviewMapping, sizesRoundHalfToEvenKilobytes) {
    EXPECT_EQ(SizeText(400), QStringLiteral("0 KB"));
    EXPECT_EQ(SizeText(512), QStringLiteral("0 KB"));
    EXPECT_EQ(SizeText(513), QStringLiteral("1 KB"));
    EXPECT_EQ(SizeText(1536), QStringLiteral("2 KB"));
    EXPECT_EQ(SizeText(2560), QStringLiteral("2 KB"));
    EXPECT_EQ(SizeText(3584), QStringLiteral("4 KB"));
    EXPECT_EQ(SizeText(0), QStringLiteral("0 KB"));
    EXPECT_EQ(SizeText(std::int64_t{5} << 40), QStringLiteral("5368709120 KB"));
}

TEST_F(MailPreviewTest, fortyDocumentsShowTheFirstSixteenInViewOrder) {
    AddMails(QStringLiteral("Projects"), 40);
    Scan();
    Click(QStringLiteral("Projects"));
    ASSERT_EQ(view.rows.size(), 16u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(view.rows[i].value(1), QStringLiteral("Subject %1").arg(i));
        EXPECT_EQ(view.rowIcons[i], 56);
    }
    // Sixteen documents opened, no more.
    EXPECT_EQ(plan->Calls(QStringLiteral("Document.GetItemValue"), QStringLiteral("Subject")), 16);
    EXPECT_EQ(ui.calls, (QStringList{QStringLiteral("Pause:10"), QStringLiteral("DoEvents")}));
    EXPECT_TRUE(view.Marker(StepMarker::Emails));
}

TEST_F(MailPreviewTest, smallAndEmptyFolders) {
    AddMails(QStringLiteral("Three"), 3);
    AddMails(QStringLiteral("Sixteen"), 16);
    AddMails(QStringLiteral("Seventeen"), 17);
    data->View(QStringLiteral("Empty"));
    Scan();
    Click(QStringLiteral("Three"));
    EXPECT_EQ(view.rows.size(), 3u);
    Click(QStringLiteral("Sixteen"));
    EXPECT_EQ(view.rows.size(), 16u);
    Click(QStringLiteral("Seventeen"));
    EXPECT_EQ(view.rows.size(), 16u);
    Click(QStringLiteral("Empty"));
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(ui.messages.size(), 1u);  // only the scan's completion
}

TEST_F(MailPreviewTest, sizesAndEveryColumnTrimmed) {
    data->View(QStringLiteral("Sizes"));
    data->AddDocument(Mail(1, 400), {QStringLiteral("Sizes")});
    data->AddDocument(Mail(2, 1536), {QStringLiteral("Sizes")});
    data->AddDocument(Mail(3, 2560), {QStringLiteral("Sizes")});
    Scan();
    Click(QStringLiteral("Sizes"));
    EXPECT_EQ(Column(2), (QStringList{QStringLiteral("0 KB"), QStringLiteral("2 KB"),
                                      QStringLiteral("2 KB")}));
    // A user folder: the first addressee and the posting time.
    EXPECT_EQ(Column(0), (QStringList{QStringLiteral("To 1"), QStringLiteral("To 2"),
                                      QStringLiteral("To 3")}));
    EXPECT_EQ(Column(1), (QStringList{QStringLiteral("Subject 1"), QStringLiteral("Subject 2"),
                                      QStringLiteral("Subject 3")}));
    EXPECT_EQ(view.rows[0].value(3), FormatGeneralDate(At(1, 1)));
    EXPECT_EQ(view.rows[0].size(), 4);
}

TEST_F(MailPreviewTest, standardFoldersReadTheirOwnPersonAndDateItems) {
    AddMails(QStringLiteral("($Inbox)"), 1);
    AddMails(QStringLiteral("($Drafts)"), 1);
    AddMails(QStringLiteral("($JunkMail)"), 1);
    AddMails(QStringLiteral("($Sent)"), 1);
    Scan();

    Click(QStringLiteral("Inbox"));
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0][0], QStringLiteral("Sender 0"));
    EXPECT_EQ(view.rows[0][3], FormatGeneralDate(At(1, 0)));

    Click(QStringLiteral("Drafts"));
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0][0], QStringLiteral("To 0"));
    EXPECT_EQ(view.rows[0][3], FormatGeneralDate(At(3, 0)));

    Click(QStringLiteral("JunkMail"));
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0][0], QStringLiteral("Sender 0"));
    EXPECT_EQ(view.rows[0][3], FormatGeneralDate(At(2, 0)));

    Click(QStringLiteral("Sent"));
    ASSERT_EQ(view.rows.size(), 1u);
    EXPECT_EQ(view.rows[0][0], QStringLiteral("To 0"));
    EXPECT_EQ(view.rows[0][3], FormatGeneralDate(At(1, 0)));

    EXPECT_EQ(plan->Calls(QStringLiteral("Database.GetView"), QStringLiteral("($JunkMail)")), 2);
}

TEST_F(MailPreviewTest, rootAndFoldersClicksLeaveTheListEmpty) {
    AddMails(QStringLiteral("Projects"), 3);
    Scan();
    Click(QStringLiteral("Projects"));
    ASSERT_EQ(view.rows.size(), 3u);
    Click(QStringLiteral("Lotus Notes Address Book"));
    EXPECT_TRUE(view.rows.empty());
    Click(QStringLiteral("Projects"));
    Click(QStringLiteral("Folders"));
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(ui.messages.size(), 1u);  // only the scan's completion
}

TEST_F(MailPreviewTest, nestedFolderPreviewsItsFullName) {
    data->View(QStringLiteral("Projects"));
    AddMails(QStringLiteral("Projects\\2010"), 2);
    Scan();
    Click(QStringLiteral("2010"));
    EXPECT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(plan->Calls(QStringLiteral("Database.GetView"), QStringLiteral("Projects\\2010")), 2);
    EXPECT_TRUE(state.context.view);
}

TEST_F(MailPreviewTest, failureMidFill_keepsEarlierRowsSilently) {
    AddMails(QStringLiteral("Projects"), 10);
    Scan();
    plan->FailOn(QStringLiteral("Document.GetItemValue"), 3, QStringLiteral("Subject"));
    Click(QStringLiteral("Projects"));
    EXPECT_EQ(view.rows.size(), 2u);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.calls.last(), QStringLiteral("DoEvents"));
}

TEST_F(MailPreviewTest, missingViewOrSession_endsFillWithEmptyList) {
    AddMails(QStringLiteral("Projects"), 3);
    Scan();
    view.rows.push_back({QStringLiteral("stale")});
    preview.EnumerateEmails(QStringLiteral("No such folder"));
    EXPECT_TRUE(view.rows.empty());

    state.context.Clear();
    Click(QStringLiteral("Projects"));
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(ui.calls.last(), QStringLiteral("DoEvents"));
}

TEST_F(MailPreviewTest, clickWithoutSelectedNode_changesNothing) {
    view.rows.push_back({QStringLiteral("kept")});
    preview.ContactsTreeView_Click(0);
    preview.ContactsTreeView_Click(99);
    EXPECT_EQ(view.rows.size(), 1u);
    EXPECT_TRUE(ui.calls.isEmpty());
}

TEST_F(MailPreviewTest, failingNextDocument_keepsRowsSoFar) {
    AddMails(QStringLiteral("Projects"), 5);
    Scan();
    plan->FailOn(QStringLiteral("View.GetNextDocument"), 3);
    Click(QStringLiteral("Projects"));
    // The failing step comes after the third row was added.
    EXPECT_EQ(view.rows.size(), 3u);
}
