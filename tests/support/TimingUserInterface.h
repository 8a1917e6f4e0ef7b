#pragma once

#include "util/UserInterface.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace velmora::testing {

// For the figure printers. Pauses cost nothing and are only added up, so the figures leave
// them out; a message box stops the clock by noting when it came. Every question gets its
// "go on" answer: OK, or path for the open-file dialog.
class TimingUserInterface : public UserInterface {
  public:
    MsgAnswer MessageBox(const QString&, const QString& title, MsgIcon, MsgButtons) override {
        lastTitle = title;
        messageAtNs = clock.nsecsElapsed();
        return MsgAnswer::Ok;
    }
    QString OpenFileDialog(const QString&, const QString&) override { return path; }
    QString BrowseFolderDialog(const QString&) override { return {}; }
    void Pause(int milliseconds) override { pausedMs += milliseconds; }
    void DoEvents() override { QCoreApplication::processEvents(); }

    QString path;
    QElapsedTimer clock;
    qint64 messageAtNs = 0;
    QString lastTitle;
    int pausedMs = 0;
};

}  // namespace velmora::testing
