#pragma once

#include <QWidget>

namespace velmora::app {

// The main window.
class FrmMain : public QWidget {
    Q_OBJECT
public:
    explicit FrmMain(QWidget* parent = nullptr);
};

}  // namespace velmora::app
