#include "app/FrmMain.h"
#include "components/StandardComponents.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char* argv[])
{
    if (!HasDisplay()) {
        std::fputs("velmora: no display found; run it under a virtual one: xvfb-run -a ./build/velmora\n",
                   stderr);
        return EXIT_FAILURE;
    }
    QApplication application(argc, argv);
    velmora::RegisterStandardComponents();
    velmora::app::FrmMain window;
    window.show();
    return application.exec();
}
