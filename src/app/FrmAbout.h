#pragma once

#include <QDialog>

class QLabel;

namespace velmora::app {

// The About window: the background picture with the version and web address over it.
// It has no behaviour of its own; its owner shows it modally and the user closes it with
// the close button of its title bar.
class FrmAbout : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 346;
    static constexpr int kClientHeight = 183;

    explicit FrmAbout(QWidget* owner);
};

}  // namespace velmora::app
