#include "app/HtmlHelp.h"

#include "app/HelpViewer.h"

#include <QPointer>

namespace velmora::app {

void HtmlHelp(QWidget* owner, const QString& helpFile, const QString& topic) {
    // Without an owner there is one viewer of its own, gone when it is closed.
    static QPointer<HelpViewer> ownerless;
    HelpViewer* viewer = owner ? HelpViewer::ForOwner(owner) : ownerless.data();
    if (!viewer) {
        viewer = new HelpViewer(owner);
        if (owner) {
            viewer->move(owner->frameGeometry().topLeft() + QPoint(40, 40));
        } else {
            viewer->setAttribute(Qt::WA_DeleteOnClose);
            ownerless = viewer;
        }
        viewer->OpenFile(helpFile);
    } else if (!viewer->IsOpen() || viewer->HelpFile() != helpFile) {
        viewer->OpenFile(helpFile);  // a file that was missing may be there now
    } else if (topic.isEmpty()) {
        viewer->ShowDefaultTopic();
    }
    if (!topic.isEmpty() && viewer->IsOpen()) {
        viewer->ShowTopic(topic);
    }
    if (viewer->isMinimized()) {
        viewer->showNormal();
    } else {
        viewer->show();
    }
    viewer->raise();
    viewer->activateWindow();
}

}  // namespace velmora::app
