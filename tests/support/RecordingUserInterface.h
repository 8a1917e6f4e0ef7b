#pragma once

#include "util/UserInterface.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

namespace velmora::testing {

// Keeps every call in order and answers from a script. Unscripted questions get the
// "cancel" answer: No, or an empty path.
class RecordingUserInterface : public UserInterface {
  public:
    struct MessageCall {
        QString text;
        QString title;
        MsgIcon icon;
        MsgButtons buttons;
    };

    MsgAnswer MessageBox(const QString& text, const QString& title, MsgIcon icon,
                         MsgButtons buttons) override;
    QString OpenFileDialog(const QString& filter, const QString& startFolder) override;
    QString BrowseFolderDialog(const QString& title) override;
    void Pause(int milliseconds) override;
    void DoEvents() override;

    // Script.
    std::deque<MsgAnswer> answers;
    std::deque<QString> openFileResults;
    std::deque<QString> folderResults;

    // Record. calls holds one line per call, e.g. "MessageBox:Scan Completed...",
    // "Pause:10", "DoEvents", "OpenFileDialog:<filter>", "BrowseFolderDialog:<title>".
    QStringList calls;
    std::vector<MessageCall> messages;
    QStringList openFileStartFolders;
    int totalPauseMs = 0;
};

}  // namespace velmora::testing
