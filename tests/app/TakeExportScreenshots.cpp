// Saves pictures of the About window and of the export window before and during an export
// of the demo database, for the README.
//
//   take_export_screenshots DEMO.nsf OUT_FOLDER DESTINATION
//
// Questions are answered by a recorder, so the run needs no one at the screen.

#include "ModalDriver.h"
#include "RecordingUserInterface.h"
#include "app/FrmMain.h"
#include "components/StandardComponents.h"
#include "notes/MailboxState.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>

#include <cstdio>

namespace {

bool Save(QWidget* window, const QString& path) {
    if (window == nullptr || !window->grab().save(path)) {
        std::fprintf(stderr, "take_export_screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

// Takes the picture of the running export when the run yields for the nth time.
class PictureTakingInterface : public velmora::testing::RecordingUserInterface {
  public:
    void DoEvents() override {
        RecordingUserInterface::DoEvents();
        if (++m_yields == at) {
            saved = Save(QApplication::activeModalWidget(), path);
        }
    }
    int at = 0;
    QString path;
    bool saved = false;

  private:
    int m_yields = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: take_export_screenshots DEMO.nsf OUT_FOLDER DESTINATION\n");
        return 2;
    }
    velmora::RegisterStandardComponents();
    velmora::notes::MailboxState mailbox;
    PictureTakingInterface ui;
    velmora::app::FrmMain window(mailbox, ui);
    window.show();
    QApplication::processEvents();
    const QDir out(args[2]);

    bool ok = true;
    velmora::testing::OnNextModal([&](QWidget* about) {
        ok = Save(about, out.filePath(QStringLiteral("about-window.png")));
        if (about != nullptr) {
            about->close();
        }
    });
    window.mnuAbout_Click();

    ui.openFileResults.push_back(args[1]);
    window.findChild<QPushButton*>(QStringLiteral("CmdBrowse"))->click();
    window.findChild<QPushButton*>(QStringLiteral("CmdScan"))->click();
    ui.folderResults.push_back(args[3]);
    ui.at = 60;  // well into the inbox
    ui.path = out.filePath(QStringLiteral("export-running.png"));
    velmora::testing::OnNextModal([&](QWidget* exportWindow) {
        ok = Save(exportWindow, out.filePath(QStringLiteral("export-window.png"))) && ok;
        if (exportWindow != nullptr) {
            exportWindow->findChild<QPushButton*>(QStringLiteral("CmdConversion"))->click();
        }
    });
    window.findChild<QPushButton*>(QStringLiteral("CmdStartConversion"))->click();
    if (ui.messages.empty() || ui.messages.back().title != QLatin1String("Export Complete")) {
        std::fprintf(stderr, "take_export_screenshots: the export did not complete\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(ui.messages.back().text));
    return ok && ui.saved ? 0 : 1;
}
