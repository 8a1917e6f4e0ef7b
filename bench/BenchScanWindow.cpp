// Figures for the scan and the preview in the real main window. Not a test: it prints.
//
//   bench_scan_window STORE.nsf     (make one with: velmora-store generate STORE.nsf --messages
//   100000)
//
// Run it under a display or with QT_QPA_PLATFORM=offscreen.

#include "ModelSearch.h"
#include "TimingUserInterface.h"
#include "app/FrmMain.h"
#include "components/StandardComponents.h"
#include "notes/MailboxState.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velmora;
using velmora::testing::FindIndex;
using velmora::testing::TimingUserInterface;

namespace {

// A folder node, not the root, whose caption's count is at least 16.
bool HoldsSixteen(const QModelIndex& index) {
    const QString caption = index.data().toString();
    const int open = caption.lastIndexOf(QLatin1Char('('));
    return index.parent().isValid() && open > 0 && caption.mid(open + 1).chopped(1).toInt() >= 16;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_scan_window STORE.nsf\n");
        return 2;
    }
    RegisterStandardComponents();
    notes::MailboxState state;
    TimingUserInterface ui;
    ui.path = QString::fromLocal8Bit(argv[1]);
    app::FrmMain window(state, ui);
    window.show();
    QApplication::processEvents();
    window.findChild<QPushButton*>(QStringLiteral("CmdBrowse"))->click();

    std::vector<double> scanMs;
    for (int run = 0; run < 3; ++run) {
        window.findChild<QTabBar*>(QStringLiteral("NotesTabBar"))->setCurrentIndex(0);
        ui.clock.start();
        window.findChild<QPushButton*>(QStringLiteral("CmdScan"))->click();
        if (ui.lastTitle != QLatin1String("Scan Completed...")) {
            std::fprintf(stderr, "bench_scan_window: the scan ended with \"%s\"\n",
                         qPrintable(ui.lastTitle));
            return 1;
        }
        scanMs.push_back(ui.messageAtNs / 1e6);
        QApplication::processEvents();
    }
    std::sort(scanMs.begin(), scanMs.end());
    std::printf("window scan: %d nodes; best of 3 %.1f ms, worst %.1f ms (pauses left out)\n",
                state.tree.Count(), scanMs.front(), scanMs.back());

    auto* tree = window.findChild<QTreeView*>(QStringLiteral("ContactsTreeView"));
    const QModelIndex folder = FindIndex(*tree->model(), HoldsSixteen);
    if (!folder.isValid()) {
        std::fprintf(stderr, "bench_scan_window: no folder with 16 documents\n");
        return 1;
    }
    tree->setCurrentIndex(folder);
    std::vector<double> previewMs;
    for (int run = 0; run < 20; ++run) {
        QElapsedTimer clock;
        clock.start();
        window.ContactsTreeView_Click();
        previewMs.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(previewMs.begin(), previewMs.end());
    const int rows = window.findChild<QTableWidget*>(QStringLiteral("MailList"))->rowCount();
    std::printf("window preview of \"%s\": %d rows; median of 20 runs %.2f ms, worst %.2f ms\n",
                qPrintable(folder.data().toString()), rows, previewMs[previewMs.size() / 2],
                previewMs.back());
    return rows == 16 ? 0 : 1;
}
