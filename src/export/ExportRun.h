#pragma once

#include "export/ExportState.h"
#include "export/ExportView.h"
#include "export/MessageExtractor.h"
#include "notes/MailboxState.h"
#include "util/UserInterface.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>

#include <memory>

namespace velmora::exporting {

class MessageFileWriter;
struct SystemSection;

// How a run went, message by message, for the completion message.
struct ExportSummary {
    std::int64_t written = 0;
    std::int64_t failed = 0;  // messages that produced no PDF
    std::int64_t missingAttachments = 0;
    // One line per problem: folder, subject and reason, separated by tabs.
    QStringList problems;
};

// The file in the destination that lists what could not be exported.
inline constexpr const char* kProblemsFileName = "Not converted.txt";

// The export run behind the export window's button: the ticked user folders in order,
// then the system folders, one PDF per message below ExportRoot.
class ExportRun {
  public:
    ExportRun(notes::MailboxState& mailbox, ExportState& state, ExportView& view,
              UserInterface& ui);
    ~ExportRun();

    void CmdConversion_Click();

    // True while a run is under way (it yields to the event loop twice per message).
    bool IsRunning() const { return m_running; }
    const ExportSummary& Summary() const { return m_summary; }

  private:
    struct Progress {
        std::int64_t known = -1;  // the view's entry count, once read
        std::int64_t handled = 0;
    };

    void RewriteExportRoot();
    QStringList DiscoverUserFolders(const notes::ViewList& views, const QString& selection);
    void WalkUserFolder(const QString& name);
    void WalkFolderView(notes::ViewPtr view, const QString& name);
    void RunSection(const SystemSection& section, const QString& selection);
    void DocumentLoop(ViewKind kind, const QString& folderName, bool strictUntilFirstRead,
                      Progress& progress);
    std::int64_t EntryCount();
    void Fail(const QString& folder, const QString& subject, const QString& reason,
              std::int64_t messages = 1);
    void Complete();
    bool WriteProblems() const;

    notes::MailboxState& m_mailbox;
    ExportState& m_state;
    ExportView& m_view;
    UserInterface& m_ui;
    bool m_running = false;
    ExportSummary m_summary;
    QHash<QString, QStringList> m_namesakes;  // case-folded trimmed name -> own names
    std::unique_ptr<MessageFileWriter> m_writer;
    std::unique_ptr<AttachmentSpool> m_spool;
};

}  // namespace velmora::exporting
