#pragma once

#include "export/ExportRecorder.h"
#include "export/ExportReport.h"
#include "export/ExportState.h"
#include "export/ExportView.h"
#include "export/Manifest.h"
#include "export/MessageExtractor.h"
#include "export/OrderedPool.h"
#include "notes/MailboxState.h"
#include "util/UserInterface.h"

#include <QHash>
#include <QLockFile>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>

namespace velmora::mailconverter {
class MailConverterX;
}

namespace velmora::exporting {

class MessageFileWriter;
struct SystemSection;

// The export run behind the export window's button and the command line: the ticked user
// folders in order, then the system folders, one PDF per message below ExportRoot. Documents
// are read and named on the calling thread in message order; conversions run side by side on
// worker threads, and their outcomes are recorded in message order.
class ExportRun {
  public:
    // How the last run ended.
    enum class Ending { None, Completed, NotesUnavailable, DestinationRefused, DatabaseUnreadable };

    ExportRun(notes::MailboxState& mailbox, ExportState& state, ExportView& view,
              UserInterface& ui);
    ~ExportRun();

    void CmdConversion_Click();

    // True while a run is under way (it yields to the event loop twice per message).
    bool IsRunning() const { return m_running; }
    // Ends a run under way after the messages in hand; what is written stays. Safe to call
    // from a signal handler.
    void RequestStop() { m_stopRequested = true; }
    const ExportSummary& Summary() const { return m_recorder.Summary(); }
    Ending LastEnding() const { return m_ending; }
    // The manifest of the last run; "" before one began writing.
    const QString& ManifestPath() const { return m_manifestPath; }

  private:
    using Converter = std::shared_ptr<mailconverter::MailConverterX>;
    using Pool = OrderedPool<Converter, RunOutcome>;

    struct Progress {
        std::int64_t known = -1;  // the view's entry count, once read
        std::int64_t handled = 0;
    };

    bool CheckDestination();
    bool LockManifest();
    void RewriteExportRoot();
    QStringList DiscoverUserFolders(const notes::ViewList& views, const QString& selection);
    std::int64_t CountSelected(const QStringList& folders, const QString& selection);
    void StartConversions(int threads);
    notes::ViewList FolderViews(notes::NotesDatabase& database, const QString& name);
    void WalkUserFolder(const QString& name);
    void WalkFolderView(notes::ViewPtr view, const QString& name);
    void RunSection(const SystemSection& section, const QString& selection);
    void DocumentLoop(ViewKind kind, const QString& folderName, bool strictUntilFirstRead,
                      Progress& progress);
    bool Skipped(notes::NotesDocument& document, const QString& id, const QString& folderName,
                 const std::function<bool(const std::function<void()>&)>& step,
                 ResumePlan::Decision& decision);
    void Convert(const MailRecord& record, const QString& id, const QString& baseName);
    std::int64_t EntryCount();
    void Fail(const QString& folder, const QString& subject, const QString& reason,
              std::int64_t messages = 1, const QString& id = {});
    void Submit(RunOutcome outcome);
    void Drain(bool everything);
    void WaitForRoom();
    void Record(RunOutcome outcome);
    void Complete();
    bool Stopping() const { return m_stopRequested.load(); }

    notes::MailboxState& m_mailbox;
    ExportState& m_state;
    ExportView& m_view;
    UserInterface& m_ui;
    bool m_running = false;
    std::atomic<bool> m_stopRequested = false;
    Ending m_ending = Ending::None;
    ExportRecorder m_recorder;
    ResumePlan m_resume;
    QString m_manifestPath;
    QHash<QString, QStringList> m_namesakes;  // case-folded trimmed name -> own names
    std::unique_ptr<MessageFileWriter> m_writer;
    std::unique_ptr<AttachmentSpool> m_spool;
    std::unique_ptr<Pool> m_pool;
    std::unique_ptr<QLockFile> m_lock;
};

}  // namespace velmora::exporting
