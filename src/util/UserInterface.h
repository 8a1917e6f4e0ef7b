#pragma once

#include <QString>

namespace velmora {

enum class MsgIcon { None, Information, Question, Warning, Critical };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

// What the core asks of the screen. The windows implement it with Qt dialogs;
// tests implement it with a recorder that answers from a script.
class UserInterface {
  public:
    virtual ~UserInterface() = default;

    // An empty title means the application's title.
    virtual MsgAnswer MessageBox(const QString& text, const QString& title, MsgIcon icon,
                                 MsgButtons buttons) = 0;

    // filter holds "description|pattern" pairs separated by "|", e.g.
    // "Lotus Notes Email (*.nsf)|*.nsf". Returns "" when cancelled.
    virtual QString OpenFileDialog(const QString& filter, const QString& startFolder) = 0;

    // A folder-only chooser; returns "" when cancelled.
    virtual QString BrowseFolderDialog(const QString& title) = 0;

    virtual void Pause(int milliseconds) = 0;

    // Lets the interface repaint and handle what is pending, once.
    virtual void DoEvents() = 0;
};

}  // namespace velmora
