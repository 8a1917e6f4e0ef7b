#pragma once

#include "export/ExportReport.h"
#include "export/ExportView.h"
#include "export/Manifest.h"
#include "export/MessageFile.h"

#include <QDir>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

namespace velmora::exporting {

// What became of one message (or of the unread rest of a folder), recorded in message order.
struct RunOutcome {
    enum class Kind { Written, Failed, Skipped };
    Kind kind = Kind::Failed;
    std::int64_t messages = 1;
    ManifestEntry entry;  // folder, identity and what the message was
    QStringList missingAttachments;
    QStringList missingReasons;
    QString pdfPath;  // the name the message held, given back once recorded
};

// Converts one prepared message on a worker thread and hashes what it wrote; entry is what the
// manifest will say of it.
RunOutcome ConvertOnWorker(const PreparedMessage& prepared, ManifestEntry entry,
                           const QString& manifestFolder, mailconverter::MailConverterX* converter);

// Keeps the books of a run: the summary for the completion message, the manifest, the names
// not yet in it, and the overall progress.
class ExportRecorder {
  public:
    explicit ExportRecorder(ExportView& view) : m_view(view) {}

    // Forgets the last run.
    void Reset();
    // Removes what an interrupted run left and opens the manifest for appending.
    void Begin(const QString& manifestPath);
    // A folder the run reaches; found adds what its view holds.
    void Reach(const QString& folder, std::int64_t found = 0);
    void SetTotal(std::int64_t total);
    // Before a message's files are made: a killed run's leftovers can then be found.
    void Promise(const QString& pdfPath);
    void Record(RunOutcome outcome);
    // Once every outcome is recorded.
    void End();

    // Every message the walked folders held is recorded.
    bool AllDone() const { return m_done >= m_total; }
    QString RelativeToManifest(const QString& path) const;
    ExportSummary& Summary() { return m_summary; }
    const ExportSummary& Summary() const { return m_summary; }

  private:
    void Append(const ManifestEntry& entry);

    ExportView& m_view;
    ExportSummary m_summary;
    QDir m_manifestFolder;
    LineAppender m_manifest;
    std::unique_ptr<PendingNames> m_pending;
    std::int64_t m_done = 0;
    std::int64_t m_total = 0;
};

}  // namespace velmora::exporting
