#include "app/FrmMain.h"
#include "app/FrmSplash.h"
#include "app/QtUserInterface.h"
#include "components/StandardComponents.h"
#include "notes/MailboxState.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

bool HasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!HasDisplay()) {
        std::fputs(
            "velmora: no display found; run it under a virtual one: xvfb-run -a ./build/velmora\n",
            stderr);
        return EXIT_FAILURE;
    }
    QApplication application(argc, argv);
    velmora::RegisterStandardComponents();

    // Process-wide: the windows come and go, the mailbox and the screen interface stay.
    velmora::notes::MailboxState mailbox;
    velmora::app::QtUserInterface ui;
    std::unique_ptr<velmora::app::FrmMain> mainWindow;

    auto* splash = new velmora::app::FrmSplash([&] {
        mainWindow = std::make_unique<velmora::app::FrmMain>(mailbox, ui);
        ui.SetOwner(mainWindow.get());
        mainWindow->show();
    });
    splash->show();
    const int status = application.exec();
    mainWindow.reset();
    return status;
}
