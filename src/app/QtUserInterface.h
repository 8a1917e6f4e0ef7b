#pragma once

#include "util/UserInterface.h"

#include <QPointer>
#include <QWidget>

namespace velmora::app {

// The screen side of UserInterface: Qt message boxes and file dialogs owned by a window.
class QtUserInterface : public UserInterface {
  public:
    explicit QtUserInterface(QWidget* owner = nullptr) : m_owner(owner) {}
    void SetOwner(QWidget* owner) { m_owner = owner; }

    MsgAnswer MessageBox(const QString& text, const QString& title, MsgIcon icon,
                         MsgButtons buttons) override;
    QString OpenFileDialog(const QString& filter, const QString& startFolder) override;
    QString BrowseFolderDialog(const QString& title) override;
    void Pause(int milliseconds) override;
    void DoEvents() override;

    // "Lotus Notes Email (*.nsf)|*.nsf" becomes "Lotus Notes Email (*.nsf)".
    static QString QtFilterFromPairs(const QString& filter);

  private:
    QPointer<QWidget> m_owner;
};

}  // namespace velmora::app
