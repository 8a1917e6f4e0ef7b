#include "RecordingMailboxView.h"
#include "RecordingUserInterface.h"
#include "automation/Automation.h"
#include "components/notesstore/DemoGenerator.h"
#include "components/notesstore/StoreSession.h"
#include "components/notesstore/StoreWriter.h"
#include "notes/FolderNames.h"
#include "notes/MailPreview.h"
#include "notes/MailboxScanner.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::notes;

// The whole road from a generated demo store through the real store session.
class DemoScanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        state.databasePath = m_dir.filePath(QStringLiteral("Demo.nsf"));
        auto writer = notesstore::StoreWriter::Create(state.databasePath);
        notesstore::GenerateDemo(*writer);
        writer->Commit();
    }
    int Node(const char* key) const { return state.tree.IndexOfKey(QString::fromUtf8(key)); }
    std::int64_t EntriesOf(const QString& view) const {
        notesstore::StoreSession session;
        return session.GetDatabase(QString(), state.databasePath)
            ->GetView(view)
            ->AllEntries()
            ->Count();
    }

    QTemporaryDir m_dir;
    MailboxState state;
    velmora::testing::RecordingMailboxView view;
    velmora::testing::RecordingUserInterface ui;
    automation::Registry::ScopedOverride m_notes{
        QStringLiteral("Notes.NotesSession"),
        [] { return std::make_shared<notesstore::StoreSession>(); }};
    automation::Registry::ScopedOverride m_domino{
        QStringLiteral("Domino.NotesSession"),
        [] { return std::shared_ptr<automation::AutomationObject>(); }};
};

TEST_F(DemoScanTest, scan_buildsTheFolderTreeOfTheDemoDatabase) {
    MailboxScanner scanner(state, view, ui);
    scanner.CmdScan_Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    ASSERT_EQ(ui.messages[0].title, QStringLiteral("Scan Completed..."));
    EXPECT_FALSE(state.databaseTitle.isEmpty());

    // Root, the six standard folders with the counts of their views, then "Folders".
    const struct {
        const char* key;
        const char* caption;
        const char* countedView;
    } standard[] = {{"Inbox", "Inbox", "($Inbox)"},
                    {"Drafts", "Drafts", "($Drafts)"},
                    {"Sent", "Sent", "($Sent)"},
                    {"Follow-Up", "Follow Up", "($Follow-Up)"},
                    {"JunkMail", "Junk Mail", "($JunkMail)"},
                    {"Trash", "Trash", "($Trash)"}};
    EXPECT_EQ(state.tree.Node(1).caption, QStringLiteral("Notes Email Database"));
    for (int i = 0; i < 6; ++i) {
        const FolderNode& node = state.tree.Node(i + 2);
        EXPECT_EQ(node.key, QLatin1String(standard[i].key));
        EXPECT_EQ(node.caption, QStringLiteral("%1 (%2)")
                                    .arg(QLatin1String(standard[i].caption))
                                    .arg(EntriesOf(QLatin1String(standard[i].countedView))));
    }
    ASSERT_EQ(state.tree.Node(8).key, QStringLiteral("Folders"));

    // Nested folders hang under their parents; every folder found gets its node.
    ASSERT_NE(Node("Projects"), 0);
    ASSERT_NE(Node("2010"), 0);
    ASSERT_NE(Node("Q4"), 0);
    EXPECT_EQ(state.tree.ParentIndex(Node("Projects")), 8);
    EXPECT_EQ(state.tree.ParentIndex(Node("2010")), Node("Projects"));
    EXPECT_EQ(state.tree.ParentIndex(Node("Q4")), Node("2010"));
    EXPECT_EQ(state.tree.Node(Node("Q4")).viewName, QStringLiteral("Projects\\2010\\Q4"));
    ASSERT_NE(Node("Old"), 0);
    EXPECT_EQ(state.tree.ParentIndex(Node("Old")), Node("Archive"));
    EXPECT_EQ(state.tree.Node(Node("Old")).viewName, QStringLiteral("Archive\\Old"));
    EXPECT_EQ(state.tree.ParentIndex(Node("Trash")), 1);
    EXPECT_EQ(state.tree.ParentIndex(Node("Folders\\Trash")), 8);

    // Under "Folders": distinct names in ordinal order, case variants apart, no hidden views.
    QStringList topLevel;
    for (int child : state.tree.Children(8)) {
        topLevel << state.tree.Node(child).viewName;
    }
    EXPECT_EQ(topLevel.count(QStringLiteral("Customers")), 2) << "two folders of that name";
    EXPECT_TRUE(topLevel.contains(QStringLiteral("Receipts")));
    EXPECT_TRUE(topLevel.contains(QStringLiteral("receipts")));
    for (int i = 1; i < topLevel.size(); ++i) {
        EXPECT_FALSE(OrdinalLess(topLevel[i], topLevel[i - 1])) << topLevel[i].toStdString();
    }

    // Each folder counted once, as itself: the folder nodes add up to what the folders hold,
    // which is what an export of them writes.
    std::int64_t inFolders = 0;
    notesstore::StoreSession session;
    const ViewList folders =
        session.GetDatabase(QString(), state.databasePath)->Views().value_or(ViewList{});
    for (const ViewPtr& folder : folders) {
        if (folder->isfolder() && !folder->Name().startsWith(QLatin1Char('('))) {
            inFolders += folder->AllEntries()->Count();
        }
    }
    std::int64_t inNodes = 0;
    const QRegularExpression count(QStringLiteral("\\((\\d+)\\)$"));
    for (int index = 9; index <= state.tree.Count(); ++index) {
        const QRegularExpressionMatch match = count.match(state.tree.Node(index).caption);
        inNodes += match.hasMatch() ? match.captured(1).toLongLong() : 0;
    }
    EXPECT_EQ(inNodes, inFolders);
    for (int index = 1; index <= state.tree.Count(); ++index) {
        EXPECT_TRUE(state.tree.Node(index).checked) << index;
        EXPECT_FALSE(state.tree.Node(index).viewName.startsWith(QLatin1Char('('))) << index;
    }
}

TEST_F(DemoScanTest, preview_listsTheFirstMailsOfTheInbox) {
    MailboxScanner scanner(state, view, ui);
    scanner.CmdScan_Click();
    MailPreview preview(state, view, view, ui);
    preview.ContactsTreeView_Click(Node("Inbox"));
    const std::size_t expected = static_cast<std::size_t>(
        std::min<std::int64_t>(MailPreview::kMaxRows, EntriesOf(QStringLiteral("($Inbox)"))));
    ASSERT_GT(expected, 0u);
    EXPECT_EQ(view.rows.size(), expected);
    for (const QStringList& row : view.rows) {
        EXPECT_EQ(row.size(), 4);
        EXPECT_TRUE(row[2].endsWith(QLatin1String(" KB")));
    }
}

TEST_F(DemoScanTest, damagedFile_givesTheNotInstalledMessageWithoutCrash) {
    QFile file(state.databasePath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray(4096, '\x5a'));
    file.close();
    MailboxScanner scanner(state, view, ui);
    scanner.CmdScan_Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, QStringLiteral("Notes Not Installed/Configured"));
}
