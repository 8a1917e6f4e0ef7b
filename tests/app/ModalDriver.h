#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace velmora::testing {

// Runs act on the next modal window, from inside the event loop that shows it, as Qt's own
// dialog tests do. act gets nullptr when no modal window came up within about two seconds,
// so that its checks fail instead of the test hanging.
inline void OnNextModal(std::function<void(QWidget*)> act, int triesLeft = 200) {
    QTimer::singleShot(10, qApp, [act = std::move(act), triesLeft]() mutable {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr && triesLeft > 0) {
            OnNextModal(std::move(act), triesLeft - 1);
            return;
        }
        act(modal);
    });
}

}  // namespace velmora::testing
