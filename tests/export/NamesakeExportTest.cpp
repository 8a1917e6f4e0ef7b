// Folders that share a name, from the scan's nodes through the launch to the run: ticking
// one of them exports that one.

#include "ExportTestSupport.h"
#include "RecordingUserInterface.h"
#include "automation/Automation.h"
#include "components/mime/MimeComponent.h"
#include "export/ExportLauncher.h"
#include "export/ExportRun.h"
#include "notes/MailboxScanner.h"
#include "notes/SilentMailboxView.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora;
using automation::Registry;
using velmora::testing::AddMails;
using velmora::testing::FilesBelow;

namespace {

const QString kPath = QStringLiteral("/mail/namesakes.nsf");

class NamesakeExportTest : public ::testing::Test {
  protected:
    NamesakeExportTest() {
        mime::RegisterComponent();
        data->title = QStringLiteral("Mail");
        // Two folders of one name, one more differing only in a blank, and one named like
        // the standard trash (user-folder nodes 9 to 12 in that order).
        AddMails(*data, "Customers", 2, "First");
        data->View("Trash");
        AddMails(*data, "Trash", 1, "Own");
        AddMails(*data, "($Trash)", 1, "Deleted");
        data->views.push_back(notes::MemoryView{"Customers", true, {}});
        for (const char* subject : {"Second 0", "Second 1", "Second 2"}) {
            data->views.back().documents.push_back(
                data->AddDocument(velmora::testing::Mail(subject), {}));
        }
        data->views.push_back(notes::MemoryView{"Customers ", true, {}});
        data->views.back().documents.push_back(
            data->AddDocument(velmora::testing::Mail("Blank 0"), {}));
        mailbox.databasePath = kPath;
    }

    std::shared_ptr<notes::MemoryDatabaseData> data = std::make_shared<notes::MemoryDatabaseData>();
    Registry::ScopedOverride notesClass{"Notes.NotesSession",
                                        [this]() -> std::shared_ptr<automation::AutomationObject> {
                                            auto session = std::make_shared<notes::MemorySession>();
                                            session->AddDatabase(kPath, data);
                                            return session;
                                        }};
    Registry::ScopedOverride dominoClass{
        "Domino.NotesSession", [] { return std::shared_ptr<automation::AutomationObject>(); }};
    Registry::ScopedOverride converterClass{
        "MailConverter.MailConverterX",
        [] { return std::make_shared<velmora::testing::CopyingConverter>(); }};
    notes::MailboxState mailbox;
    velmora::notes::SilentMailboxView view;
    velmora::testing::RecordingUserInterface ui;
};

}  // namespace

TEST_F(NamesakeExportTest, tickedNodes_exportJustTheirFolders) {
    struct Row {
        const char* name;
        QList<int> ticked;  // positions among the four user-folder nodes
        QStringList subjects;
    };
    const Row rows[] = {
        {"first only", {0}, {"First"}},
        {"second only", {1}, {"Second"}},
        {"both", {0, 1}, {"First", "Second"}},
        {"blank only", {2}, {"Blank"}},
        {"none of them", {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        notes::MailboxScanner(mailbox, view, ui).CmdScan_Click();
        ASSERT_EQ(mailbox.tree.Count(), 12);  // the user folders are nodes 9 to 12
        // Only user folders: the standard nodes, the root and "Folders" unticked.
        for (int index = 1; index <= mailbox.tree.Count(); ++index) {
            mailbox.tree.SetChecked(index, false);
        }
        for (int position : row.ticked) {
            mailbox.tree.SetChecked(9 + position, true);
        }
        QTemporaryDir destination;
        ui.folderResults.push_back(destination.path());
        exporting::ExportState state;
        // A node outside the namesakes keeps the launch going when none of them is ticked.
        mailbox.tree.SetChecked(mailbox.tree.IndexOfKey(QStringLiteral("Inbox")), true);
        ASSERT_TRUE(exporting::ExportLauncher(mailbox.tree, state, ui).CmdStartConversion_Click());
        velmora::testing::RecordingExportView exportView;
        exporting::ExportRun run(mailbox, state, exportView, ui);
        run.CmdConversion_Click();

        QStringList subjects;
        for (const QString& file : FilesBelow(destination.path())) {
            if (file.startsWith(QLatin1String("Mail/Customers/")) &&
                file.endsWith(QLatin1String(".pdf"))) {
                subjects << file.section(QLatin1Char('/'), -1).section(QLatin1Char(' '), 0, 0);
            }
        }
        subjects.removeDuplicates();
        subjects.sort();
        EXPECT_EQ(subjects, row.subjects);
    }
}
