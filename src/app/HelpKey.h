#pragma once

#include <functional>

class QShortcut;
class QWidget;

namespace velmora::app {

// Makes F1 run open while window is the active window, whichever of its controls has the
// focus. Every window of the program installs it, so that the key always brings up the
// program's help file. The shortcut belongs to window.
QShortcut* InstallHelpKey(QWidget* window, std::function<void()> open);

}  // namespace velmora::app
