// Saves pictures of the main window before and after a scan of the demo database.
//
//   take_screenshots DEMO.nsf OUT_FOLDER [FOLDER_CAPTION [HELP_FOLDER]]
//
// FOLDER_CAPTION picks the folder previewed (the start of its caption, "Inbox (" by default).
// HELP_FOLDER, when given, gets the pictures of the user guide at their natural size: the
// tab control on its first tab as the scan left it (select-file-tab.png) and on its second
// with the folder previewed (preview-tab.png).
//
// Message boxes are answered by a recorder, so the run needs no one at the screen.

#include "ModelSearch.h"
#include "RecordingUserInterface.h"
#include "app/FrmMain.h"
#include "components/StandardComponents.h"
#include "notes/MailboxState.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTabBar>
#include <QTreeView>

#include <cstdio>

namespace {

bool Save(QWidget& widget, const QString& path) {
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "take_screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 3) {
        std::fprintf(
            stderr, "usage: take_screenshots DEMO.nsf OUT_FOLDER [FOLDER_CAPTION [HELP_FOLDER]]\n");
        return 2;
    }
    velmora::RegisterStandardComponents();
    velmora::notes::MailboxState mailbox;
    velmora::testing::RecordingUserInterface ui;
    velmora::app::FrmMain window(mailbox, ui);
    window.show();
    QApplication::processEvents();

    const QDir out(args[2]);
    if (!Save(window, out.filePath(QStringLiteral("main-window.png")))) {
        return 1;
    }

    ui.openFileResults.push_back(args[1]);
    window.findChild<QPushButton*>(QStringLiteral("CmdBrowse"))->click();
    window.findChild<QPushButton*>(QStringLiteral("CmdScan"))->click();
    QApplication::processEvents();
    if (ui.messages.empty() || ui.messages.back().title != QLatin1String("Scan Completed...")) {
        std::fprintf(stderr, "take_screenshots: the scan did not complete: %s\n",
                     ui.messages.empty() ? "no message" : qPrintable(ui.messages.back().text));
        return 1;
    }
    auto* tabs = window.findChild<QTabBar*>(QStringLiteral("NotesTabBar"));
    auto* tabControl = window.findChild<QWidget*>(QStringLiteral("NotesTab"));
    const QDir help(args.size() > 4 ? args[4] : QString());
    if (args.size() > 4) {
        tabs->setCurrentIndex(0);
        QApplication::processEvents();
        if (!Save(*tabControl, help.filePath(QStringLiteral("select-file-tab.png")))) {
            return 1;
        }
        tabs->setCurrentIndex(1);
    }
    auto* tree = window.findChild<QTreeView*>(QStringLiteral("ContactsTreeView"));
    const QString caption = args.size() > 3 ? args[3] : QStringLiteral("Inbox (");
    const QModelIndex node = velmora::testing::FindIndex(
        *tree->model(),
        [&](const QModelIndex& index) { return index.data().toString().startsWith(caption); });
    if (node.isValid()) {
        tree->setCurrentIndex(node);
        window.ContactsTreeView_Click();
    }
    QApplication::processEvents();
    if (args.size() > 4 && !Save(*tabControl, help.filePath(QStringLiteral("preview-tab.png")))) {
        return 1;
    }
    return Save(window, out.filePath(QStringLiteral("main-window-scanned.png"))) ? 0 : 1;
}
