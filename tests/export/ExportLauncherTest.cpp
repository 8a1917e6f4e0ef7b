#include "RecordingUserInterface.h"
#include "export/ExportLauncher.h"

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::exporting;
using notes::FolderNode;

namespace {

class ExportLauncherTest : public ::testing::Test {
  protected:
    // Root, the six standard nodes, "Folders" and the given user folders, all ticked.
    void Fill(const QStringList& userFolders) {
        tree.Add(
            FolderNode{"Lotus Notes Address Book", "Notes Email Database", {}, -1, true, {}, true});
        for (const char* key :
             {"Inbox", "Drafts", "Sent", "Follow-Up", "JunkMail", "Trash", "Folders"}) {
            tree.Add(FolderNode{key, key, "Lotus Notes Address Book", 70, false, key, true});
        }
        for (const QString& name : userFolders) {
            tree.Add(FolderNode{name, name + " (1)", "Folders", 70, true, name, true});
        }
    }
    void Tick(const QString& key, bool checked) { tree.SetChecked(tree.IndexOfKey(key), checked); }

    notes::FolderTree tree;
    ExportState state;
    velmora::testing::RecordingUserInterface ui;
    ExportLauncher launcher{tree, state, ui};
};

}  // namespace

TEST_F(ExportLauncherTest, nothingTicked_refusesWithoutAskingForAFolder) {
    EXPECT_FALSE(launcher.CmdStartConversion_Click()) << "empty tree";
    Fill({});
    for (int i = 2; i <= tree.Count(); ++i) {
        tree.SetChecked(i, false);
    }
    EXPECT_FALSE(launcher.CmdStartConversion_Click()) << "only the root ticked";
    ASSERT_EQ(ui.messages.size(), 2u);
    for (const auto& message : ui.messages) {
        EXPECT_EQ(message.text, QStringLiteral("Please Select Folders to Export"));
        EXPECT_EQ(message.title, QStringLiteral("Export to Outlook Express"));
        EXPECT_EQ(message.icon, MsgIcon::Information);
    }
    EXPECT_TRUE(ui.calls.filter("BrowseFolderDialog").isEmpty());
}

TEST_F(ExportLauncherTest, everyNodeTicked_collectsViewNamesInTreeOrderThenTwoBlanks) {
    Fill({"Projects", "Projects 2011"});
    ui.folderResults = {"/out"};
    EXPECT_TRUE(launcher.CmdStartConversion_Click());
    EXPECT_EQ(state.SelectedFolders,
              (QStringList{"Inbox", "Drafts", "Sent", "Follow-Up", "JunkMail", "Trash", "Folders",
                           "Projects", "Projects 2011", "", ""}));
    EXPECT_EQ(state.ExportRoot, QStringLiteral("/out"));
    EXPECT_EQ(ui.calls, QStringList{"BrowseFolderDialog:Select Path to Save PST File"});
}

TEST_F(ExportLauncherTest, cancelAndRelaunch_secondLaunchReplacesTheFirst) {
    Fill({"Projects"});
    EXPECT_FALSE(launcher.CmdStartConversion_Click()) << "dialog cancelled";
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(state.ExportRoot.isEmpty());

    for (const char* key : {"Inbox", "Drafts", "Sent", "Follow-Up", "JunkMail", "Folders"}) {
        Tick(key, false);
    }
    ui.folderResults = {"/second"};
    EXPECT_TRUE(launcher.CmdStartConversion_Click());
    QStringList expected = {"Trash", "Projects"};
    while (expected.size() < tree.Count() + 1)
        expected << QString();
    EXPECT_EQ(state.SelectedFolders, expected);
    EXPECT_EQ(state.ExportRoot, QStringLiteral("/second"));
}
