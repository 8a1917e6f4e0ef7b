#include "MailboxTestData.h"
#include "RecordingMailboxView.h"
#include "RecordingUserInterface.h"
#include "notes/FaultyNotes.h"
#include "notes/MailPreview.h"
#include "notes/MailboxScanner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace velmora;
using namespace velmora::notes;
using velmora::automation::Registry;
using velmora::testing::RecordingMailboxView;
using velmora::testing::RecordingUserInterface;

namespace {

const QString kDomino = QStringLiteral("Domino.NotesSession");
const QString kNotes = QStringLiteral("Notes.NotesSession");

automation::Factory Serving(SessionPtr session) {
    return [session] { return session; };
}

automation::Factory Nothing() {
    return [] { return std::shared_ptr<automation::AutomationObject>(); };
}

class MailboxScannerTest : public ::testing::Test {
  protected:
    // Registers the two session classes for this test; nullptr leaves a class out.
    void Register(SessionPtr domino, SessionPtr notes) {
        m_domino.emplace(kDomino, domino ? Serving(domino) : Nothing());
        m_notes.emplace(kNotes, notes ? Serving(notes) : Nothing());
    }
    void ChoosePath(const QString& path) {
        ui.openFileResults.push_back(path);
        scanner.CmdBrowse_Click();
    }
    std::vector<QString> Keys() const {
        std::vector<QString> keys;
        for (int i = 1; i <= state.tree.Count(); ++i) {
            keys.push_back(state.tree.Node(i).key);
        }
        return keys;
    }
    const FolderNode& NodeByKey(const QString& key) const {
        return state.tree.Node(state.tree.IndexOfKey(key));
    }
    QStringList MessageTitles() const {
        QStringList titles;
        for (const auto& message : ui.messages) {
            titles << message.title;
        }
        return titles;
    }

    MailboxState state;
    RecordingMailboxView view;
    RecordingUserInterface ui;
    MailboxScanner scanner{state, view, ui};
    MailPreview preview{state, view, view, ui};
    std::optional<Registry::ScopedOverride> m_domino;
    std::optional<Registry::ScopedOverride> m_notes;
};

const std::vector<QString> kStandardKeys = {QStringLiteral("Lotus Notes Address Book"),
                                            QStringLiteral("Inbox"),
                                            QStringLiteral("Drafts"),
                                            QStringLiteral("Sent"),
                                            QStringLiteral("Follow-Up"),
                                            QStringLiteral("JunkMail"),
                                            QStringLiteral("Trash"),
                                            QStringLiteral("Folders")};

}  // namespace

TEST_F(MailboxScannerTest, browse_writesPathEnablesScanAndLocksPreviewTab) {
    scanner.SetBrowseStartFolder(QStringLiteral("/opt/velmora/demo"));
    view.scanFrameVisible = true;
    view.markers[StepMarker::Reading] = true;
    view.markers[StepMarker::Emails] = true;
    view.markers[StepMarker::MailFolder] = true;
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));

    EXPECT_EQ(ui.calls,
              QStringList{QStringLiteral("OpenFileDialog:Lotus Notes Email (*.nsf)|*.nsf")});
    EXPECT_EQ(ui.openFileStartFolders, QStringList{QStringLiteral("/opt/velmora/demo")});
    EXPECT_EQ(state.databasePath, QLatin1String(velmora::testing::kMailboxPath));
    EXPECT_EQ(view.path, state.databasePath);
    EXPECT_TRUE(view.scanEnabled);
    EXPECT_FALSE(view.tabEnabled[2]);
    EXPECT_FALSE(view.Marker(StepMarker::Reading));
    EXPECT_FALSE(view.Marker(StepMarker::Emails));
    EXPECT_FALSE(view.Marker(StepMarker::MailFolder));
    EXPECT_TRUE(view.scanFrameVisible);  // only an empty path hides it
}

TEST_F(MailboxScannerTest, browseCancelled_clearsPathDisablesScanHidesFrame_keepsTreeAndSession) {
    Register(nullptr, velmora::testing::SessionWith(velmora::testing::SampleMailbox()));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    ASSERT_EQ(state.tree.Count(), 17);
    const SessionPtr session = state.context.session;
    ASSERT_TRUE(session);

    view.selectedTab = 1;
    ChoosePath(QString());
    EXPECT_TRUE(state.databasePath.isEmpty());
    EXPECT_TRUE(view.path.isEmpty());
    EXPECT_FALSE(view.scanEnabled);
    EXPECT_FALSE(view.scanFrameVisible);
    EXPECT_FALSE(view.tabEnabled[2]);
    EXPECT_FALSE(view.exportEnabled) << "the tree is no longer the chosen file's";
    EXPECT_EQ(state.tree.Count(), 17);
    EXPECT_EQ(state.context.session, session);
}

TEST_F(MailboxScannerTest, scanOnPreviewTab_doesNothing) {
    Register(nullptr, velmora::testing::SessionWith(velmora::testing::SampleMailbox()));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    ui.calls.clear();
    view.selectedTab = 2;
    scanner.CmdScan_Click();
    EXPECT_TRUE(ui.calls.isEmpty());
    EXPECT_EQ(state.tree.Count(), 0);
    EXPECT_FALSE(state.context.session);
    EXPECT_FALSE(view.scanFrameVisible);
    EXPECT_EQ(view.selectedTab, 2);
}

TEST_F(MailboxScannerTest, scanWithoutPath_asksForDatabaseAndGoesBackToFirstTab) {
    Register(nullptr, velmora::testing::SessionWith(velmora::testing::SampleMailbox()));
    view.browseEnabled = false;
    scanner.CmdScan_Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("Please select a Notes database and click Start Scan to proceed."));
    EXPECT_EQ(ui.messages[0].title, QStringLiteral("Select Notes Database"));
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(view.selectedTab, 1);
    EXPECT_TRUE(view.browseEnabled);
    EXPECT_FALSE(view.scanFrameVisible);
    EXPECT_EQ(state.tree.Count(), 0);
    EXPECT_FALSE(state.context.session);
}

TEST_F(MailboxScannerTest, scan_buildsStandardAndUserFolderNodes) {
    Register(nullptr, velmora::testing::SessionWith(velmora::testing::SampleMailbox()));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();

    std::vector<QString> expectedKeys = kStandardKeys;
    // Sorted ordinally: Archive\Old (its parent made for it), Inbox and Trash (keys taken, so
    // named by their path), Projects twice (two folders of that name), Projects\2010, Zeta,
    // zeta. Every folder found gets a node.
    for (const char* key : {"Archive", "Old", "Folders\\Inbox", "Projects", "Folders\\Projects",
                            "2010", "Folders\\Trash", "Zeta", "zeta"}) {
        expectedKeys.push_back(QLatin1String(key));
    }
    EXPECT_EQ(Keys(), expectedKeys);

    struct Expected {
        const char* key;
        const char* caption;
        const char* parent;
        int icon;
        bool hasItems;
        const char* viewName;
    };
    const Expected expected[] = {
        {"Lotus Notes Address Book", "Notes Email Database", "", -1, true, ""},
        {"Inbox", "Inbox (5)", "Lotus Notes Address Book", 67, true, "Inbox"},
        {"Drafts", "Drafts (2)", "Lotus Notes Address Book", 65, true, "Drafts"},
        {"Sent", "Sent (3)", "Lotus Notes Address Book", 69, true, "Sent"},
        {"Follow-Up", "Follow Up (0)", "Lotus Notes Address Book", 71, false, "Follow-Up"},
        {"JunkMail", "Junk Mail (0)", "Lotus Notes Address Book", 68, false, "JunkMail"},
        {"Trash", "Trash (1)", "Lotus Notes Address Book", 66, true, "Trash"},
        {"Folders", "Folders", "Lotus Notes Address Book", 70, false, "Folders"},
        {"Projects", "Projects (2)", "Folders", 70, true, "Projects"},
        {"Folders\\Projects", "Projects (0)", "Folders", 70, false, "Projects"},
        {"2010", "2010 (4)", "Projects", 70, true, "Projects\\2010"},
        {"Zeta", "Zeta (1)", "Folders", 70, true, "Zeta"},
        {"zeta", "zeta (1)", "Folders", 70, true, "zeta"},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.key);
        const FolderNode& node = NodeByKey(QLatin1String(e.key));
        EXPECT_EQ(node.caption, QLatin1String(e.caption));
        EXPECT_EQ(node.parentKey, QLatin1String(e.parent));
        EXPECT_EQ(node.icon, e.icon);
        EXPECT_EQ(node.hasItems, e.hasItems);
        EXPECT_EQ(node.viewName, QLatin1String(e.viewName));
        EXPECT_TRUE(node.checked);
    }
    EXPECT_EQ(state.tree.ParentIndex(state.tree.IndexOfKey(QStringLiteral("2010"))),
              state.tree.IndexOfKey(QStringLiteral("Projects")));
}

TEST_F(MailboxScannerTest, scan_completesWithMessageExportAndPreviewTab) {
    Register(nullptr, velmora::testing::SessionWith(velmora::testing::SampleMailbox()));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    ui.calls.clear();
    scanner.CmdScan_Click();

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("Notes Database Scan Completed Successfully"));
    EXPECT_EQ(ui.messages[0].title, QStringLiteral("Scan Completed..."));
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(state.databaseTitle, QStringLiteral("Alice Mail"));
    EXPECT_TRUE(view.exportEnabled);
    EXPECT_TRUE(view.tabEnabled[2]);
    EXPECT_EQ(view.selectedTab, 2);
    EXPECT_TRUE(view.scanFrameVisible);
    EXPECT_TRUE(view.Marker(StepMarker::Reading));
    EXPECT_TRUE(view.Marker(StepMarker::MailFolder));
    EXPECT_TRUE(view.Marker(StepMarker::Emails));
    EXPECT_GE(view.expandCount, 2);
    EXPECT_TRUE(state.context.session);
    // Two 10 ms pauses: before opening the session and before the tree's counts.
    EXPECT_EQ(ui.calls.filter(QStringLiteral("Pause:10")).size(), 2);
    EXPECT_EQ(ui.calls.last(), QStringLiteral("MessageBox:Scan Completed..."));

    // The status label shows the names as found, then each node with its count.
    EXPECT_TRUE(view.folderCaptions.contains(QStringLiteral("Archive\\Old")));
    EXPECT_FALSE(view.folderCaptions.contains(QStringLiteral("(Hidden Folder)")));
    EXPECT_FALSE(view.folderCaptions.contains(QStringLiteral("All Documents")));
    EXPECT_TRUE(view.folderCaptions.contains(QStringLiteral("2010 (4 Emails)")));
    EXPECT_TRUE(view.folderCaptions.contains(QStringLiteral("Projects (2 Emails)")));
    EXPECT_EQ(view.FolderCaption(), QStringLiteral("zeta (1 Emails)"));
}

TEST_F(MailboxScannerTest, rescan_rebuildsTreeFromEmptyAndReplacesSession) {
    Register(nullptr, velmora::testing::SessionWith(velmora::testing::SampleMailbox()));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    const SessionPtr first = state.context.session;
    state.tree.SetChecked(3, false);
    view.selectedTab = 1;
    scanner.CmdScan_Click();
    EXPECT_EQ(state.tree.Count(), 17);
    EXPECT_TRUE(state.tree.Node(3).checked);
    EXPECT_TRUE(state.context.session);
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(MailboxScannerTest, databaseWithoutUserFolders_endsWithEmptyFoldersNode) {
    auto data = std::make_shared<MemoryDatabaseData>();
    data->title = QStringLiteral("Empty");
    data->View(QStringLiteral("($Inbox)"));
    data->View(QStringLiteral("($All)"), false);
    Register(nullptr, velmora::testing::SessionWith(data));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    EXPECT_EQ(Keys(), kStandardKeys);
    for (int i = 1; i <= state.tree.Count(); ++i) {
        EXPECT_TRUE(state.tree.Node(i).checked) << i;
    }
    EXPECT_TRUE(state.tree.Children(8).empty());
    EXPECT_EQ(MessageTitles(), QStringList{QStringLiteral("Scan Completed...")});
}

TEST_F(MailboxScannerTest, countAbove16Bits_showsTheRealCount) {
    auto data = velmora::testing::SampleMailbox();
    data->View(QStringLiteral("Big")).documents.assign(32768, 0);
    data->View(QStringLiteral("Edge")).documents.assign(32767, 0);
    Register(nullptr, velmora::testing::SessionWith(data));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    EXPECT_EQ(NodeByKey(QStringLiteral("Big")).caption, QStringLiteral("Big (32768)"));
    EXPECT_TRUE(NodeByKey(QStringLiteral("Big")).hasItems);
    EXPECT_EQ(NodeByKey(QStringLiteral("Edge")).caption, QStringLiteral("Edge (32767)"));
    EXPECT_EQ(scanner.CountEmails(QStringLiteral("Big")), 32768);
    EXPECT_EQ(scanner.CountEmails(QStringLiteral("No such view")), 0);
}

TEST_F(MailboxScannerTest, nestedLeafClashingWithEarlierKey_getsAKeyOfItsPath) {
    auto data = std::make_shared<MemoryDatabaseData>();
    for (const char* name :
         {"Beta", "Beta\\2010", "Projects", "Projects\\2010", "Projects\\2011"}) {
        data->View(QLatin1String(name));
    }
    Register(nullptr, velmora::testing::SessionWith(data));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    EXPECT_EQ(NodeByKey(QStringLiteral("2010")).viewName, QStringLiteral("Beta\\2010"));
    EXPECT_EQ(NodeByKey(QStringLiteral("2011")).parentKey, QStringLiteral("Projects"));
    const FolderNode& clash = NodeByKey(QStringLiteral("Folders\\Projects\\2010"));
    EXPECT_EQ(clash.viewName, QStringLiteral("Projects\\2010"));
    EXPECT_EQ(clash.parentKey, QStringLiteral("Projects"));
    EXPECT_EQ(state.tree.Count(), 8 + 5);
}

TEST_F(MailboxScannerTest, namesWithEmptyParts_hangUnderTheirNamedParts) {
    auto data = std::make_shared<MemoryDatabaseData>();
    for (const char* name : {"\\Leading", "Trailing\\", "Trailing", "A\\\\B", "A"}) {
        data->View(QLatin1String(name));
    }
    Register(nullptr, velmora::testing::SessionWith(data));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    std::vector<QString> expected = kStandardKeys;
    for (const char* key : {"A", "B", "Trailing", "Folders\\Trailing\\", "Leading"}) {
        expected.push_back(QLatin1String(key));
    }
    EXPECT_EQ(Keys(), expected);
    EXPECT_EQ(state.tree.Children(0).size(), 1u) << "everything hangs under the root";
}

TEST_F(MailboxScannerTest, blanksAroundNames_keptInKeyTrimmedInViewName) {
    auto data = std::make_shared<MemoryDatabaseData>();
    data->View(QStringLiteral(" Spaced "));
    data->View(QStringLiteral("Spaced")).documents.assign(2, 0);
    data->documents.resize(1);
    Register(nullptr, velmora::testing::SessionWith(data));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    const FolderNode& node = NodeByKey(QStringLiteral(" Spaced "));
    EXPECT_EQ(node.viewName, QStringLiteral("Spaced"));
    // Its own count, not that of the folder its trimmed name finds first.
    EXPECT_EQ(node.caption, QStringLiteral(" Spaced  (0)"));
    EXPECT_EQ(NodeByKey(QStringLiteral("Spaced")).caption, QStringLiteral("Spaced (2)"));
}

TEST_F(MailboxScannerTest, dominoSessionFailing_givesNoDataAndEmptiesSession) {
    auto plan = std::make_shared<FaultPlan>();
    plan->FailOn(QStringLiteral("Session.GetDatabase"));
    Register(WithFaults(velmora::testing::SessionWith(velmora::testing::SampleMailbox()), plan),
             velmora::testing::SessionWith(velmora::testing::SampleMailbox()));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();

    ASSERT_EQ(ui.messages.size(), 1u);
    // The reason the database gave, on a line under the message.
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("No Data Found in NSF file or NSF file is encrypted\r\n"
                             "Injected failure of Session.GetDatabase (call 7)"))
        << ui.messages[0].text.toStdString();
    EXPECT_EQ(ui.messages[0].title, QString());  // the application's title
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::None);
    EXPECT_FALSE(view.scanFrameVisible);
    EXPECT_FALSE(state.context.session);
    EXPECT_FALSE(view.exportEnabled);
    EXPECT_FALSE(view.tabEnabled[2]);
    // The standard part of the tree stays, every count 0.
    EXPECT_EQ(Keys(), kStandardKeys);
    EXPECT_EQ(NodeByKey(QStringLiteral("Inbox")).caption, QStringLiteral("Inbox (0)"));

    // A later click on a node lists nothing.
    view.rows.push_back({QStringLiteral("old row")});
    preview.ContactsTreeView_Click(state.tree.IndexOfKey(QStringLiteral("Inbox")));
    EXPECT_TRUE(view.rows.empty());
    EXPECT_EQ(ui.messages.size(), 1u);
}

// A database that holds documents it cannot serve says how many, on the completion line.
class PartlyReadable : public NotesDatabase {
  public:
    PartlyReadable(DatabasePtr inner, std::int64_t unreadable)
        : m_inner(std::move(inner)), m_unreadable(unreadable) {}
    QString Title() override { return m_inner->Title(); }
    std::optional<ViewList> Views() override { return m_inner->Views(); }
    ViewPtr GetView(const QString& name) override { return m_inner->GetView(name); }
    std::int64_t UnreadableDocuments() override { return m_unreadable; }

  private:
    DatabasePtr m_inner;
    std::int64_t m_unreadable;
};

class PartlyReadableSession : public NotesSession {
  public:
    explicit PartlyReadableSession(std::int64_t unreadable) : m_unreadable(unreadable) {}
    DatabasePtr GetDatabase(const QString& server, const QString& path) override {
        return std::make_shared<PartlyReadable>(
            velmora::testing::SessionWith(velmora::testing::SampleMailbox())
                ->GetDatabase(server, path),
            m_unreadable);
    }

  private:
    std::int64_t m_unreadable;
};

TEST_F(MailboxScannerTest, unreadableDocuments_areCountedOnTheCompletionMessage) {
    const std::vector<std::pair<std::int64_t, QString>> rows = {
        {0, QStringLiteral("Notes Database Scan Completed Successfully")},
        {1, QStringLiteral("Notes Database Scan Completed Successfully\r\n"
                           "1 document could not be read.")},
        {4, QStringLiteral("Notes Database Scan Completed Successfully\r\n"
                           "4 documents could not be read.")},
    };
    for (const auto& [unreadable, text] : rows) {
        SCOPED_TRACE(unreadable);
        m_domino.reset();
        m_notes.reset();
        Register(std::make_shared<PartlyReadableSession>(unreadable), nullptr);
        ui.messages.clear();
        view.SelectTab(1);
        ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
        scanner.CmdScan_Click();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, text);
        EXPECT_EQ(ui.messages[0].title, QStringLiteral("Scan Completed..."));
    }
}

TEST_F(MailboxScannerTest, dominoWithEncryptedDatabase_givesNoData) {
    auto data = velmora::testing::SampleMailbox();
    data->encrypted = true;
    Register(velmora::testing::SessionWith(data), nullptr);
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    EXPECT_EQ(MessageTitles(), QStringList{QString()});
    EXPECT_FALSE(state.context.session);
}

TEST_F(MailboxScannerTest, dominoFailingOnlyOnTitle_stillScansTolerantly) {
    auto plan = std::make_shared<FaultPlan>();
    plan->FailOn(QStringLiteral("Database.Title"));
    Register(WithFaults(velmora::testing::SessionWith(velmora::testing::SampleMailbox()), plan),
             nullptr);
    state.databaseTitle = QStringLiteral("previous");
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    EXPECT_EQ(MessageTitles(), QStringList{QStringLiteral("Scan Completed...")});
    EXPECT_EQ(state.databaseTitle, QStringLiteral("previous"));
    EXPECT_EQ(state.tree.Count(), 17);
}

TEST_F(MailboxScannerTest, notesSessionWithUnreadableFile_showsNotInstalledMessage) {
    Register(nullptr, velmora::testing::SessionWith(velmora::testing::SampleMailbox()));
    ChoosePath(QStringLiteral("/mail/unreadable.nsf"));
    scanner.CmdScan_Click();

    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, QStringLiteral("Notes Not Installed/Configured"));
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::Ok);
    const QStringList lines = ui.messages[0].text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[0], QStringLiteral("Lotus Notes NOT INSTALLED or CONFIGURED Properly."));
    EXPECT_TRUE(lines[1].isEmpty());
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("If Lotus Notes is installed")));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral("(does not look for Domino).")));
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("It is RECOMMENDED")));
    EXPECT_EQ(lines[5],
              QStringLiteral("Please contact our technical team at support@velmora.example "
                             "for further assistance."));
    EXPECT_TRUE(lines[6].isEmpty());
    EXPECT_EQ(lines[7], QStringLiteral("Make sure you logged in under same user account through "
                                       "which Notes is installed."));
    EXPECT_FALSE(ui.messages[0].text.contains(QStringLiteral("\n\n")));  // CR LF, never bare LF

    // The status stays as the scan left it; nothing is enabled.
    EXPECT_TRUE(view.scanFrameVisible);
    EXPECT_TRUE(view.Marker(StepMarker::Reading));
    EXPECT_FALSE(view.exportEnabled);
    EXPECT_FALSE(view.tabEnabled[2]);
    EXPECT_EQ(view.selectedTab, 1);
    EXPECT_EQ(Keys(), kStandardKeys);  // filled before the database was opened
}

TEST_F(MailboxScannerTest, noSessionClassAtAll_showsNotInstalledMessage) {
    Register(nullptr, nullptr);
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    EXPECT_EQ(MessageTitles(), QStringList{QStringLiteral("Notes Not Installed/Configured")});
    EXPECT_EQ(state.tree.Count(), 0);
    EXPECT_FALSE(state.context.session);
}

TEST_F(MailboxScannerTest, strictModeFailingViews_showsNotInstalledMessage) {
    auto plan = std::make_shared<FaultPlan>();
    plan->FailOn(QStringLiteral("Database.Views"));
    Register(nullptr,
             WithFaults(velmora::testing::SessionWith(velmora::testing::SampleMailbox()), plan));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    EXPECT_EQ(MessageTitles(), QStringList{QStringLiteral("Notes Not Installed/Configured")});
}

TEST_F(MailboxScannerTest, failuresInsideDiscoveryAndCounts_skipOnlyThatFolder) {
    auto plan = std::make_shared<FaultPlan>();
    // Views in order: five standard, "(Hidden Folder)", "All Documents", then zeta.
    plan->FailOn(QStringLiteral("View.Name"), 8);
    plan->FailOn(QStringLiteral("Database.GetView"), 0, QStringLiteral("Projects\\2010"));
    Register(nullptr,
             WithFaults(velmora::testing::SessionWith(velmora::testing::SampleMailbox()), plan));
    ChoosePath(QLatin1String(velmora::testing::kMailboxPath));
    scanner.CmdScan_Click();
    EXPECT_EQ(MessageTitles(), QStringList{QStringLiteral("Scan Completed...")});
    EXPECT_EQ(state.tree.IndexOfKey(QStringLiteral("zeta")), 0);
    EXPECT_NE(state.tree.IndexOfKey(QStringLiteral("Zeta")), 0);
    // An unreadable count is 0; the folder keeps its node.
    EXPECT_EQ(NodeByKey(QStringLiteral("2010")).caption, QStringLiteral("2010 (0)"));
    EXPECT_FALSE(NodeByKey(QStringLiteral("2010")).hasItems);
    EXPECT_EQ(NodeByKey(QStringLiteral("Projects")).caption, QStringLiteral("Projects (2)"));
}

TEST(DemoDatabaseFolder, foundOnlyWhenTheDemoFileExists) {
    QTemporaryDir program;
    ASSERT_TRUE(program.isValid());
    EXPECT_EQ(DemoDatabaseFolder(program.path()), QString());
    ASSERT_TRUE(QDir(program.path()).mkpath(QStringLiteral("demo/Demo.nsf/inner")));
    EXPECT_EQ(DemoDatabaseFolder(program.path()), QString()) << "a folder named Demo.nsf is not it";
    ASSERT_TRUE(QDir(program.path()).rmpath(QStringLiteral("demo/Demo.nsf/inner")));
    ASSERT_TRUE(QDir(program.path()).mkpath(QStringLiteral("demo")));
    QFile demo(program.filePath(QStringLiteral("demo/Demo.nsf")));
    ASSERT_TRUE(demo.open(QIODevice::WriteOnly));
    demo.close();
    EXPECT_EQ(DemoDatabaseFolder(program.path()), program.filePath(QStringLiteral("demo")));
    EXPECT_EQ(DemoDatabaseFolder(QString()), QString());
}
