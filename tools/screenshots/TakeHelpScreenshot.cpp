// Saves a picture of the help viewer showing a topic beside its contents.
//
//   take_help_screenshot HELP.chm OUT.png [TOPIC]
//
// TOPIC is an archive path such as "/output.html"; the default topic when left out.

#include "app/HelpViewer.h"
#include "app/HtmlHelp.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: take_help_screenshot HELP.chm OUT.png [TOPIC]\n");
        return 2;
    }
    QWidget owner;
    owner.resize(200, 100);
    velmora::app::HtmlHelp(&owner, args[1]);
    auto* viewer = velmora::app::HelpViewer::ForOwner(&owner);
    if (!viewer || !viewer->IsOpen()) {
        std::fprintf(stderr, "take_help_screenshot: cannot open %s\n", qPrintable(args[1]));
        return 1;
    }
    if (args.size() > 3) {
        viewer->ShowTopic(args[3]);
    }
    viewer->resize(1000, 680);
    int status = 1;
    // Painted once the window is on screen, so that the picture shows what a user sees.
    QTimer::singleShot(500, [&] {
        if (viewer->grab().save(args[2])) {
            std::printf("wrote %s\n", qPrintable(args[2]));
            status = 0;
        } else {
            std::fprintf(stderr, "take_help_screenshot: cannot write %s\n", qPrintable(args[2]));
        }
        application.quit();
    });
    application.exec();
    return status;
}
