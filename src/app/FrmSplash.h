#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>

namespace velmora::app {

// The start-up picture. It opens the main window once, after its pause or at once on a key
// press, whichever comes first, and then closes and deletes itself.
class FrmSplash : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kWidth = 347;
    static constexpr int kHeight = 179;
    static constexpr int kTimerInterval = 10;
    static constexpr int kPauseMs = 4000;

    explicit FrmSplash(std::function<void()> openMain, int pauseMs = kPauseMs);

    int PauseMs() const { return m_pauseMs; }

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Timer1_Timer();
    void Form_KeyPress();
    void OpenMainOnce();

    std::function<void()> m_openMain;
    int m_pauseMs;
    bool m_opened = false;
    QTimer* m_timer1 = nullptr;
    QTimer* m_pause = nullptr;
};

}  // namespace velmora::app
