// Saves pictures of the About window, of the export window before and during an export of the
// demo database, and of the question its close box asks, for the README.
//
//   take_export_screenshots DEMO.nsf OUT_FOLDER DESTINATION
//
// Messages are answered by a recorder, so the run needs no one at the screen; the stop
// question is shown for real, pictured and answered No.

#include "ModalDriver.h"
#include "RecordingUserInterface.h"
#include "app/FrmMain.h"
#include "app/QtUserInterface.h"
#include "components/StandardComponents.h"
#include "notes/MailboxState.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProgressBar>
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

// Takes the picture of the running export well into the run, then asks to close the window.
class PictureTakingInterface : public velmora::testing::RecordingUserInterface {
  public:
    void DoEvents() override {
        RecordingUserInterface::DoEvents();
        QApplication::processEvents();
        QWidget* exportWindow = QApplication::activeModalWidget();
        auto* bar = exportWindow
                        ? exportWindow->findChild<QProgressBar*>(QStringLiteral("PrgOverall"))
                        : nullptr;
        if (!saved && bar != nullptr && bar->value() >= at) {
            saved = Save(exportWindow, path);
            exportWindow->close();
        }
    }
    velmora::MsgAnswer MessageBox(const QString& text, const QString& title, velmora::MsgIcon icon,
                                  velmora::MsgButtons buttons) override {
        if (buttons != velmora::MsgButtons::YesNo) {
            return RecordingUserInterface::MessageBox(text, title, icon, buttons);
        }
        velmora::testing::OnNextModal([this](QWidget* box) {
            asked = Save(box, questionPath);
            if (auto* question = qobject_cast<QMessageBox*>(box)) {
                question->button(QMessageBox::No)->click();  // the export goes on
            }
        });
        velmora::app::QtUserInterface screen(QApplication::activeModalWidget());
        return screen.MessageBox(text, title, icon, buttons);
    }
    int at = 0;
    QString path;
    QString questionPath;
    bool saved = false;
    bool asked = false;
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
    ui.at = 60;  // well into the run
    ui.path = out.filePath(QStringLiteral("export-running.png"));
    ui.questionPath = out.filePath(QStringLiteral("export-stop-question.png"));
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
    return ok && ui.saved && ui.asked ? 0 : 1;
}
