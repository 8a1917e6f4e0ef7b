#include "app/Artwork.h"
#include "app/FrmSplash.h"

#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QtTest>

using velmora::app::FrmSplash;

class FrmSplashTest : public QObject {
    Q_OBJECT

  private:
    static constexpr int kShortPause = 40;

    // Counts how often the splash opens the main window.
    struct Counted {
        int opens = 0;
        QPointer<FrmSplash> splash;

        explicit Counted(int pauseMs = kShortPause) {
            splash = new FrmSplash([this] { ++opens; }, pauseMs);
        }
        ~Counted() { delete splash.data(); }
        QTimer* Timer1() const { return splash->findChild<QTimer*>(QStringLiteral("Timer1")); }
    };

    // Waits until a deadline well past the pause, by a condition rather than a sleep.
    static void WaitPast(int pauseMs) {
        bool past = false;
        QTimer::singleShot(pauseMs * 3, [&past] { past = true; });
        QTRY_VERIFY(past);
    }

  private slots:
    void frame_sizePictureAndTimer() {
        Counted counted(FrmSplash::kPauseMs);
        FrmSplash& splash = *counted.splash;
        QCOMPARE(splash.size(), QSize(347, 179));
        QCOMPARE(splash.minimumSize(), splash.maximumSize());
        QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(splash.PauseMs(), 4000);
        auto* picture = splash.findChild<QLabel*>(QStringLiteral("SplashPicture"));
        QVERIFY(picture);
        QCOMPARE(picture->pixmap().size(), QSize(347, 180));
        QCOMPARE(picture->geometry(), QRect(0, 0, 347, 180));
        QVERIFY(counted.Timer1());
        QCOMPARE(counted.Timer1()->interval(), 10);
        QVERIFY(counted.Timer1()->isActive());
        splash.show();
        QVERIFY(QTest::qWaitForWindowExposed(&splash));
        const QRect screen = splash.screen()->availableGeometry();
        QVERIFY(qAbs(splash.geometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(splash.geometry().center().y() - screen.center().y()) <= 1);
        QCOMPARE(counted.opens, 0);
    }

    void noKey_opensMainAfterThePauseAndGoes() {
        Counted counted;
        counted.splash->show();
        QTRY_COMPARE(counted.opens, 1);
        QTRY_VERIFY(counted.splash.isNull());
        QCOMPARE(counted.opens, 1);
    }

    void keyBeforeTimer_opensAtOnceAndOnlyOnce() {
        Counted counted(FrmSplash::kPauseMs);
        counted.splash->show();
        QVERIFY(QTest::qWaitForWindowExposed(counted.splash));
        QTest::keyClick(counted.splash, Qt::Key_Space);
        QCOMPARE(counted.opens, 1);
        QTRY_VERIFY(counted.splash.isNull());
        QCOMPARE(counted.opens, 1);
    }

    void keyDuringPause_opensOnceAndThePauseDoesNotOpenAgain() {
        constexpr int kPause = 600;  // room to act between the tick and the end of the pause
        Counted counted(kPause);
        counted.splash->show();
        QVERIFY(QTest::qWaitForWindowExposed(counted.splash));
        QTRY_VERIFY(counted.splash &&
                    !counted.Timer1()->isActive());  // the first tick has started the pause
        QVERIFY(counted.splash);
        QCOMPARE(counted.opens, 0);
        QTest::keyClick(counted.splash, Qt::Key_A);
        QCOMPARE(counted.opens, 1);
        WaitPast(kPause);
        QCOMPARE(counted.opens, 1);
        QVERIFY(counted.splash.isNull());
    }

    void keyWhileOpening_doesNotOpenTwice() {
        int opens = 0;
        QPointer<FrmSplash> splash;
        splash = new FrmSplash(
            [&] {
                ++opens;
                QTest::keyClick(splash.data(), Qt::Key_B);  // a key that arrives right then
            },
            kShortPause);
        splash->show();
        QTRY_COMPARE(opens, 1);
        QTRY_VERIFY(splash.isNull());
        QCOMPARE(opens, 1);
    }
};

QTEST_MAIN(FrmSplashTest)
#include "FrmSplashTest.moc"
