#include "export/CommandLineExport.h"

#include "export/ExportLauncher.h"
#include "export/ExportRun.h"
#include "export/Manifest.h"
#include "export/TerminalView.h"
#include "notes/MailboxScanner.h"
#include "notes/MailboxState.h"
#include "notes/SilentMailboxView.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <functional>

namespace velmora::exporting {

namespace {

// A caption without the count the tree adds to it: "Inbox (12)" gives "Inbox".
QString NodeName(const QString& caption) {
    static const QRegularExpression count(QStringLiteral(" \\(\\d+\\)$"));
    return QString(caption).remove(count);
}

// Ticks the nodes the names ask for, by their caption or their view name. Returns the names
// no node answers to.
QStringList TickNamed(notes::FolderTree& tree, const QStringList& names) {
    QStringList unknown = names;
    for (int index = 1; index <= tree.Count(); ++index) {
        const notes::FolderNode& node = tree.Node(index);
        const bool named = !node.viewName.isEmpty() && (names.contains(NodeName(node.caption)) ||
                                                        names.contains(node.viewName));
        tree.SetChecked(index, named);
        if (named) {
            unknown.removeAll(NodeName(node.caption));
            unknown.removeAll(node.viewName);
        }
    }
    return unknown;
}

QStringList TreeNames(const notes::FolderTree& tree) {
    QStringList names;
    for (int index = 2; index <= tree.Count(); ++index) {
        if (!tree.Node(index).viewName.isEmpty()) {
            names << NodeName(tree.Node(index).caption);
        }
    }
    return names;
}

// The run's yields are where a stop asked for by a signal reaches it.
class CommandUserInterface : public TerminalUserInterface {
  public:
    explicit CommandUserInterface(const std::atomic<bool>& stop) : m_stop(stop) {}
    void DoEvents() override {
        if (m_stop.load() && onStop) {
            onStop();
        }
    }
    std::function<void()> onStop;

  private:
    const std::atomic<bool>& m_stop;
};

void Line(std::FILE* file, const QString& text) {
    std::fprintf(file, "%s\n", qUtf8Printable(text));
}

// Every message the walked views hold is written, failed or skipped: true when the folders
// add up so.
bool PrintTotals(const ExportSummary& summary, std::FILE* out) {
    int width = 6;
    for (const auto& [folder, totals] : summary.folders) {
        width = std::max(width, static_cast<int>(VisibleControls(folder).size()));
    }
    auto row = [&](const QString& folder, const QString& a, const QString& b, const QString& c,
                   const QString& d) {
        Line(out, QStringLiteral("%1  %2  %3  %4  %5")
                      .arg(folder, -width)
                      .arg(a, 8)
                      .arg(b, 8)
                      .arg(c, 8)
                      .arg(d, 8));
    };
    row(QStringLiteral("Folder"), QStringLiteral("Messages"), QStringLiteral("Written"),
        QStringLiteral("Failed"), QStringLiteral("Skipped"));
    FolderTotals all;
    bool reconciled = true;
    for (const auto& [folder, totals] : summary.folders) {
        row(VisibleControls(folder), QString::number(totals.found), QString::number(totals.written),
            QString::number(totals.failed), QString::number(totals.skipped));
        reconciled = reconciled && totals.written + totals.failed + totals.skipped == totals.found;
        all.found += totals.found;
        all.written += totals.written;
        all.failed += totals.failed;
        all.skipped += totals.skipped;
    }
    row(QStringLiteral("Total"), QString::number(all.found), QString::number(all.written),
        QString::number(all.failed), QString::number(all.skipped));
    return reconciled;
}

}  // namespace

int ExportFromCommandLine(const CommandOptions& options, std::FILE* out, std::FILE* err,
                          bool interactive, const std::atomic<bool>& stop) {
    const QString database = options.database;
    if (!QFileInfo(database).isFile()) {
        Line(err, QStringLiteral("velmora-export: %1: no such file").arg(database));
        return kExitUnusable;
    }
    notes::MailboxState mailbox;
    mailbox.databasePath = QFileInfo(database).absoluteFilePath();
    CommandUserInterface ui(stop);
    notes::SilentMailboxView mailboxView;
    notes::MailboxScanner(mailbox, mailboxView, ui).CmdScan_Click();
    if (ui.lastTitle != QLatin1String("Scan Completed...")) {
        Line(err, QStringLiteral("velmora-export: %1: %2").arg(database, ui.lastText.simplified()));
        return kExitUnusable;
    }
    if (!options.folders.isEmpty()) {
        const QStringList unknown = TickNamed(mailbox.tree, options.folders);
        if (!unknown.isEmpty()) {
            Line(err,
                 QStringLiteral("velmora-export: %1: no folder named \"%2\"; its folders are: %3")
                     .arg(database, unknown.join(QStringLiteral("\", \"")),
                          TreeNames(mailbox.tree).join(QStringLiteral(", "))));
            return kExitUnusable;
        }
    }

    ExportState state;
    int ticked = 0;
    state.SelectedFolders = CollectSelectedFolders(mailbox.tree, ticked);
    state.SelectedNamesakes = CollectSelectedNamesakes(mailbox.tree);
    state.ExportRoot = QFileInfo(options.destination).absoluteFilePath();
    state.Jobs = options.jobs;
    state.ManifestPath = options.manifest;
    TerminalView view(err, interactive, options.quiet);
    ExportRun run(mailbox, state, view, ui);
    ui.onStop = [&run] { run.RequestStop(); };
    run.CmdConversion_Click();

    if (run.LastEnding() != ExportRun::Ending::Completed) {
        Line(err, QStringLiteral("velmora-export: %1").arg(ui.lastText.simplified()));
        return kExitUnusable;
    }
    const ExportSummary& summary = run.Summary();
    for (const QString& problem : summary.problems) {
        const QStringList fields = problem.split(QLatin1Char('\t'));
        Line(err, QStringLiteral("failed: %1 / %2: %3")
                      .arg(fields.value(0), fields.value(1), fields.value(2)));
    }
    if (!summary.manifestError.isEmpty()) {
        Line(err, QStringLiteral("velmora-export: the manifest could not be written: %1")
                      .arg(summary.manifestError));
    }
    if (summary.stopped) {
        Line(err, QStringLiteral("velmora-export: stopped; run it again to finish"));
    }
    const bool reconciled = PrintTotals(summary, out);
    Line(out, QStringLiteral("Manifest: %1").arg(run.ManifestPath()));
    if (!reconciled && !summary.stopped) {
        Line(err, QStringLiteral("velmora-export: the folders' totals do not add up to the "
                                 "messages their views hold"));
    }
    const bool clean = reconciled && !summary.stopped && summary.failed == 0 &&
                       summary.missingAttachments == 0 && summary.manifestError.isEmpty();
    return clean ? kExitAllWritten : kExitSomeFailed;
}

int VerifyFromCommandLine(const QString& folderOrManifest, int threads, std::FILE* out,
                          std::FILE* err) {
    const QFileInfo given(folderOrManifest);
    const QString manifest =
        given.isDir() ? QDir(given.absoluteFilePath()).filePath(QLatin1String(kManifestFileName))
                      : given.absoluteFilePath();
    if (!QFileInfo(manifest).isFile()) {
        Line(err, QStringLiteral("velmora-export: %1: no manifest there").arg(folderOrManifest));
        return kExitUnusable;
    }
    QString error;
    ReadManifest(manifest, &error);
    if (!error.isEmpty()) {
        Line(err, QStringLiteral("velmora-export: %1: %2").arg(manifest, error));
        return kExitUnusable;
    }
    const VerifyReport report =
        VerifyManifest(manifest, threads > 0 ? threads : QThread::idealThreadCount());
    for (const QString& path : report.missing) {
        Line(out, QStringLiteral("missing: %1").arg(VisibleControls(path)));
    }
    for (const QString& path : report.changed) {
        Line(out, QStringLiteral("changed: %1").arg(VisibleControls(path)));
    }
    for (const QString& path : report.extra) {
        Line(out, QStringLiteral("extra: %1").arg(VisibleControls(path)));
    }
    Line(out, QStringLiteral("%1 PDFs checked: %2 missing, %3 changed, %4 extra")
                  .arg(report.checked)
                  .arg(report.missing.size())
                  .arg(report.changed.size())
                  .arg(report.extra.size()));
    return report.Clean() ? kExitAllWritten : kExitSomeFailed;
}

}  // namespace velmora::exporting
