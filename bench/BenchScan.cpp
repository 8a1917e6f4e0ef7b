// Figures for the scan and the preview over a generated store. Not a test: it prints.
//
//   bench_scan [STORE.nsf]     without a store, one of 100,000 messages in 1,000 folders is
//                              generated into a temporary folder first.

#include "TimingUserInterface.h"
#include "automation/Automation.h"
#include "components/notesstore/DemoGenerator.h"
#include "components/notesstore/StoreSession.h"
#include "components/notesstore/StoreWriter.h"
#include "notes/MailPreview.h"
#include "notes/MailboxScanner.h"
#include "notes/SilentMailboxView.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velmora;
using namespace velmora::notes;
using velmora::testing::TimingUserInterface;

namespace {

constexpr int kMessages = 100000;
constexpr int kScanRuns = 5;
constexpr int kPreviewRuns = 50;

class SilentView : public velmora::notes::SilentMailboxView, public PreviewList {
  public:
    void ClearRows() override { rows = 0; }
    void AddRow(const QStringList&) override { ++rows; }
    void SetRowIcon(int, int) override {}
    int rows = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QTemporaryDir temporary;
    QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (path.isEmpty()) {
        if (!temporary.isValid()) {
            std::fprintf(stderr, "bench_scan: no temporary folder\n");
            return 1;
        }
        path = temporary.filePath(QStringLiteral("bench.nsf"));
        QElapsedTimer generation;
        generation.start();
        auto writer = notesstore::StoreWriter::Create(path);
        notesstore::GenerateScaled(*writer, kMessages);
        writer->Commit();
        std::printf("generated %d messages in %.1f s\n", kMessages, generation.elapsed() / 1000.0);
    }

    automation::Registry::ScopedOverride notes(QStringLiteral("Notes.NotesSession"), [] {
        return std::make_shared<notesstore::StoreSession>();
    });
    automation::Registry::ScopedOverride domino(QStringLiteral("Domino.NotesSession"), [] {
        return std::shared_ptr<automation::AutomationObject>();
    });

    MailboxState state;
    state.databasePath = path;
    SilentView view;
    TimingUserInterface ui;
    MailboxScanner scanner(state, view, ui);

    std::vector<double> scanMs;
    for (int run = 0; run < kScanRuns; ++run) {
        ui.clock.start();
        scanner.CmdScan_Click();
        scanMs.push_back(ui.messageAtNs / 1e6);
        if (ui.lastTitle != QLatin1String("Scan Completed...")) {
            std::fprintf(stderr, "bench_scan: the scan ended with \"%s\"\n",
                         qPrintable(ui.lastTitle));
            return 1;
        }
    }
    int userFolders = 0;
    int previewNode = 0;
    const int foldersNode = state.tree.IndexOfKey(QLatin1String(kFoldersKey));
    for (int index = 1; index <= state.tree.Count(); ++index) {
        if (index > foldersNode) {
            ++userFolders;
            const QString caption = state.tree.Node(index).caption;
            if (previewNode == 0 && !caption.endsWith(QLatin1String(" (0)")) &&
                scanner.CountEmails(state.tree.Node(index).viewName) >= MailPreview::kMaxRows) {
                previewNode = index;
            }
        }
    }
    std::printf(
        "scan: %d nodes, %d user folders; first run %.1f ms, median of %d runs %.1f ms "
        "(pauses of %d ms per scan left out)\n",
        state.tree.Count(), userFolders, scanMs.front(), kScanRuns, Median(scanMs),
        ui.pausedMs / kScanRuns);

    if (previewNode == 0) {
        std::fprintf(stderr, "bench_scan: no folder with %d documents to preview\n",
                     MailPreview::kMaxRows);
        return 1;
    }
    MailPreview preview(state, view, view, ui);
    std::vector<double> previewMs;
    for (int run = 0; run < kPreviewRuns; ++run) {
        QElapsedTimer clock;
        clock.start();
        preview.ContactsTreeView_Click(previewNode);
        previewMs.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::printf("preview of \"%s\": %d rows; first run %.2f ms, median of %d runs %.2f ms\n",
                qPrintable(state.tree.Node(previewNode).viewName), view.rows, previewMs.front(),
                kPreviewRuns, Median(previewMs));
    return view.rows == MailPreview::kMaxRows ? 0 : 1;
}
