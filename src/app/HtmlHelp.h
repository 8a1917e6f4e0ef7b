#pragma once

#include <QString>

class QWidget;

namespace velmora::app {

// The help viewer: opens helpFile at topic (an archive path such as "/preview.html"), or at
// its default topic when topic is empty, in a window owned by owner, not modal, and returns at
// once. A second call brings the open viewer to the front. A file that cannot be read is
// reported by the viewer in its own window, never by a message box.
void HtmlHelp(QWidget* owner, const QString& helpFile, const QString& topic = QString());

}  // namespace velmora::app
