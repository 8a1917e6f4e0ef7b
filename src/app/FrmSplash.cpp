#include "app/FrmSplash.h"

#include "app/Artwork.h"

#include <QKeyEvent>
#include <QLabel>
#include <QScreen>

namespace velmora::app {

FrmSplash::FrmSplash(std::function<void()> openMain, int pauseMs)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_openMain(std::move(openMain)),
      m_pauseMs(pauseMs) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::StrongFocus);
    setWindowIcon(Artwork::WindowIcon());

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("SplashPicture"));
    const QPixmap splash = Artwork::Splash(0);
    picture->setPixmap(splash);
    picture->setGeometry(0, 0, kWidth, qRound(splash.height() / splash.devicePixelRatio()));

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kTimerInterval);
    connect(m_timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    // The pause waits on a timer rather than blocking, so a key press still gets through.
    m_pause = new QTimer(this);
    m_pause->setObjectName(QStringLiteral("SplashPause"));
    m_pause->setSingleShot(true);
    connect(m_pause, &QTimer::timeout, this, [this] { OpenMainOnce(); });
    m_timer1->start();
}

void FrmSplash::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    activateWindow();
    setFocus();
}

void FrmSplash::keyPressEvent(QKeyEvent* event) {
    event->accept();
    Form_KeyPress();
}

void FrmSplash::Timer1_Timer() {
    m_timer1->stop();
    m_pause->start(m_pauseMs);
}

void FrmSplash::Form_KeyPress() {
    OpenMainOnce();
}

void FrmSplash::OpenMainOnce() {
    if (m_opened) {
        return;
    }
    m_opened = true;
    m_timer1->stop();
    m_pause->stop();
    // The main window first: closing the only window would end the program.
    if (m_openMain) {
        m_openMain();
    }
    close();
}

}  // namespace velmora::app
