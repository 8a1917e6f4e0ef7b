#pragma once

// The run over a database held in memory, with faults on demand and a converter that copies.

#include "ExportTestSupport.h"
#include "RecordingUserInterface.h"
#include "automation/Automation.h"
#include "components/mime/MimeComponent.h"
#include "export/ExportRun.h"
#include "notes/FaultyNotes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace velmora::testing {

using automation::Registry;
using exporting::ExportRun;
using exporting::ExportState;

inline const QString kPath = QStringLiteral("/mail/export.nsf");
using Counts = QMap<QString, int>;

// Lets a test act while the run yields to the event loop.
class HookedUserInterface : public velmora::testing::RecordingUserInterface {
  public:
    void DoEvents() override {
        RecordingUserInterface::DoEvents();
        if (onEvents)
            onEvents();
    }
    std::function<void()> onEvents;
};

class ExportRunTest : public ::testing::Test {
  protected:
    ExportRunTest() {
        mime::RegisterComponent();
        data->title = QStringLiteral("Mail");
        mailbox.databasePath = kPath;
        mailbox.databaseTitle = data->title;
        state.ExportRoot = destination.path();
    }

    // Two inbox mails and one in each other system folder.
    void AddSystemFolders() {
        AddMails(*data, "($Inbox)", 2, "In");
        AddMails(*data, "($Sent)", 1, "Sent");
        AddMails(*data, "($Drafts)", 1, "Draft");
        AddMails(*data, "($Trash)", 1, "Gone");
        AddMails(*data, "($Follow-Up)", 1, "Follow");
        AddMails(*data, "($JunkMail)", 1, "Junk");
    }
    void Select(const QStringList& names) {
        state.SelectedFolders = names;
        state.SelectedFolders << QString() << QString();
    }
    QString Root() const { return destination.path() + "/"; }

    std::shared_ptr<notes::MemoryDatabaseData> data = std::make_shared<notes::MemoryDatabaseData>();
    std::shared_ptr<notes::FaultPlan> plan = std::make_shared<notes::FaultPlan>();
    bool notesInstalled = true;
    bool converterAvailable = true;
    std::shared_ptr<velmora::testing::CopyingConverter> converter =
        std::make_shared<velmora::testing::CopyingConverter>();
    Registry::ScopedOverride notesClass{"Notes.NotesSession",
                                        [this]() -> std::shared_ptr<automation::AutomationObject> {
                                            if (!notesInstalled)
                                                return nullptr;
                                            auto session = std::make_shared<notes::MemorySession>();
                                            session->AddDatabase(kPath, data);
                                            return notes::WithFaults(session, plan);
                                        }};
    Registry::ScopedOverride converterClass{
        "MailConverter.MailConverterX", [this]() -> std::shared_ptr<automation::AutomationObject> {
            if (!converterAvailable)
                return nullptr;
            return converter;
        }};
    QTemporaryDir destination;
    notes::MailboxState mailbox;
    ExportState state;
    velmora::testing::RecordingExportView view;
    HookedUserInterface ui;
    ExportRun run{mailbox, state, view, ui};
};

}  // namespace velmora::testing
