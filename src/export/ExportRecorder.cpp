#include "export/ExportRecorder.h"

#include "components/mailconverter/MailConverterX.h"

#include <QFileInfo>

namespace velmora::exporting {

RunOutcome ConvertOnWorker(const PreparedMessage& prepared, ManifestEntry entry,
                           const QString& manifestFolder,
                           mailconverter::MailConverterX* converter) {
    RunOutcome outcome;
    outcome.pdfPath = prepared.pdfPath;
    const MessageOutcome converted = MessageFileWriter::Finish(prepared, converter);
    if (converted.written) {
        outcome.kind = RunOutcome::Kind::Written;
        entry.written = true;
        entry.pdf = QDir(manifestFolder).relativeFilePath(converted.pdfPath);
        QString reason;
        if (const auto hash = HashFile(converted.pdfPath, &reason)) {
            entry.bytes = hash->bytes;
            entry.sha256 = hash->sha256;
        } else {
            entry.reason = QStringLiteral("the PDF cannot be read back: ") + reason;
        }
    } else {
        entry.reason = converted.reason;
    }
    outcome.entry = std::move(entry);
    return outcome;
}

void ExportRecorder::Reset() {
    m_summary = {};
    m_done = 0;
    m_total = 0;
    m_manifest.Close();
    m_pending.reset();
}

void ExportRecorder::Begin(const QString& manifestPath) {
    m_manifestFolder = QFileInfo(manifestPath).absoluteDir();
    QDir().mkpath(m_manifestFolder.absolutePath());  // a manifest kept apart may name a new one
    m_pending = std::make_unique<PendingNames>(manifestPath);
    m_pending->Recover();
    if (!m_manifest.Open(manifestPath)) {
        m_summary.manifestError = m_manifest.error();
    }
}

void ExportRecorder::Reach(const QString& folder, std::int64_t found) {
    m_summary.Folder(folder).found += found;
}

void ExportRecorder::SetTotal(std::int64_t total) {
    m_total = total;
    m_view.SetOverallProgress(m_done, m_total);
}

void ExportRecorder::Promise(const QString& pdfPath) {
    if (m_pending) {
        m_pending->Add(RelativeToManifest(pdfPath));
    }
}

QString ExportRecorder::RelativeToManifest(const QString& path) const {
    return m_manifestFolder.relativeFilePath(path);
}

void ExportRecorder::Append(const ManifestEntry& entry) {
    if (m_summary.manifestError.isEmpty() && !m_manifest.Append(entry.ToJsonLine())) {
        m_summary.manifestError = m_manifest.error();
    }
}

void ExportRecorder::Record(RunOutcome outcome) {
    const ManifestEntry& entry = outcome.entry;
    FolderTotals& totals = m_summary.Folder(entry.folder);
    switch (outcome.kind) {
        case RunOutcome::Kind::Skipped:
            m_summary.skipped += outcome.messages;
            totals.skipped += outcome.messages;
            break;
        case RunOutcome::Kind::Written:
            ++m_summary.written;
            ++totals.written;
            Append(entry);
            break;
        case RunOutcome::Kind::Failed:
            m_summary.failed += outcome.messages;
            totals.failed += outcome.messages;
            m_summary.AddProblem(entry.folder, entry.subject, entry.reason, outcome.messages);
            if (m_summary.firstReason.isEmpty()) {
                m_summary.firstReason = VisibleControls(entry.reason);
            }
            for (std::int64_t i = 0; i < outcome.messages; ++i) {
                Append(entry);
            }
            break;
    }
    for (qsizetype i = 0; i < outcome.missingAttachments.size(); ++i) {
        QString reason = QStringLiteral("the attachment \"%1\" could not be saved")
                             .arg(outcome.missingAttachments[i]);
        if (i < outcome.missingReasons.size() && !outcome.missingReasons[i].isEmpty()) {
            reason += QStringLiteral(": ") + outcome.missingReasons[i];
        }
        if (m_summary.firstReason.isEmpty()) {
            m_summary.firstReason = VisibleControls(reason);
        }
        ++m_summary.missingAttachments;
        m_summary.AddProblem(entry.folder, entry.subject, reason);
    }
    m_done += outcome.messages;
    m_view.SetOverallProgress(m_done, std::max(m_done, m_total));
}

void ExportRecorder::End() {
    m_manifest.Close();
    // Names the manifest could not take stay promised: the next run removes their PDFs and
    // writes them again, rather than leave files no manifest knows.
    if (m_pending && m_summary.manifestError.isEmpty()) {
        m_pending->Finish();
    }
    m_pending.reset();
}

}  // namespace velmora::exporting
