#include "app/Theme.h"
#include "app/TitleStrip.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QtTest>

using velmora::app::TitleStrip;

namespace {

// A frameless window of the main window's size with a title strip across its top.
struct StripWindow {
    QWidget window;
    TitleStrip* strip = nullptr;

    StripWindow() {
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        window.resize(696, 622);
        window.setWindowTitle(QStringLiteral("Quarnix Velmora v2.0"));
        strip = new TitleStrip(&window);
    }

    bool Show() {
        window.move(120, 80);
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }

    QToolButton* Button(const char* name) {
        return strip->findChild<QToolButton*>(QLatin1String(name));
    }

    void SendMouse(QEvent::Type type, const QPoint& local, Qt::MouseButton button,
                   Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(local), QPointF(strip->mapToGlobal(local)), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(strip, &event);
    }

    // Presses at from, moves by delta in two steps, releases; positions are strip-local at the
    // press, and the later ones follow the cursor on the screen.
    void Drag(const QPoint& from, const QPoint& delta, Qt::MouseButton button) {
        const QPoint globalFrom = strip->mapToGlobal(from);
        auto at = [&](const QPoint& global, QEvent::Type type, Qt::MouseButtons held) {
            QMouseEvent event(type, QPointF(strip->mapFromGlobal(global)), QPointF(global),
                              type == QEvent::MouseMove ? Qt::NoButton : button, held,
                              Qt::NoModifier);
            QApplication::sendEvent(strip, &event);
        };
        at(globalFrom, QEvent::MouseButtonPress, button);
        at(globalFrom + delta / 2, QEvent::MouseMove, button);
        at(globalFrom + delta, QEvent::MouseMove, button);
        at(globalFrom + delta, QEvent::MouseButtonRelease, Qt::NoButton);
    }
};

}  // namespace

class TitleStripTest : public QObject {
    Q_OBJECT

  private slots:
    void strip_spansTheWindowTopWithTwoButtons() {
        StripWindow w;
        QCOMPARE(w.strip->geometry(), QRect(0, 0, 696, 30));
        QCOMPARE(w.strip->objectName(), QStringLiteral("TitleStrip"));
        const QList<QToolButton*> buttons = w.strip->findChildren<QToolButton*>();
        QCOMPARE(buttons.size(), 2);  // minimize and close; no maximize
        QVERIFY(w.Button("TitleMinimize") != nullptr);
        QVERIFY(w.Button("TitleClose") != nullptr);
        QVERIFY(w.Show());
        // Both buttons sit at the right end, close last.
        const QRect minimize = w.Button("TitleMinimize")->geometry();
        const QRect close = w.Button("TitleClose")->geometry();
        QVERIFY(minimize.right() < close.left());
        QVERIFY(close.right() > 696 - 12);
        QVERIFY(minimize.top() >= 0 && minimize.bottom() < 30);
    }

    void strip_followsTheWindowWidth() {
        StripWindow w;
        QVERIFY(w.Show());
        w.window.resize(500, 300);
        QTRY_COMPARE(w.strip->geometry(), QRect(0, 0, 500, 30));
    }

    void closeButton_closesTheWindow() {
        StripWindow w;
        QVERIFY(w.Show());
        QTest::mouseClick(w.Button("TitleClose"), Qt::LeftButton);
        QTRY_VERIFY(!w.window.isVisible());
    }

    void minimizeButton_minimizesTheWindow() {
        StripWindow w;
        QVERIFY(w.Show());
        QVERIFY(!w.window.isMinimized());
        QTest::mouseClick(w.Button("TitleMinimize"), Qt::LeftButton);
        QTRY_VERIFY(w.window.isMinimized());
        QVERIFY(w.window.isVisible());  // minimized, not closed
    }

    void drag_movesTheWindowByTheCursorTravel() {
        StripWindow w;
        QVERIFY(w.Show());
        const QPoint start = w.window.pos();
        w.Drag(QPoint(200, 15), QPoint(37, -21), Qt::LeftButton);
        QTRY_COMPARE(w.window.pos(), start + QPoint(37, -21));
        // A second drag continues from where the first one left the window.
        w.Drag(QPoint(300, 10), QPoint(-50, 64), Qt::LeftButton);
        QTRY_COMPARE(w.window.pos(), start + QPoint(-13, 43));
    }

    void drag_withOtherButtonOrWithoutPress_leavesWindowInPlace() {
        StripWindow w;
        QVERIFY(w.Show());
        const QPoint start = w.window.pos();
        w.Drag(QPoint(200, 15), QPoint(40, 40), Qt::RightButton);
        QCOMPARE(w.window.pos(), start);
        // A move with the button held but no press on the strip (the press happened elsewhere).
        w.SendMouse(QEvent::MouseMove, QPoint(260, 20), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(w.window.pos(), start);
    }

    void caption_followsWindowTitleUntilSetExplicitly() {
        StripWindow w;
        QCOMPARE(w.strip->Caption(), QStringLiteral("Quarnix Velmora v2.0"));
        w.window.setWindowTitle(QStringLiteral("Other"));
        QCOMPARE(w.strip->Caption(), QStringLiteral("Other"));
        w.strip->SetCaption(QStringLiteral("Quarnix Velmora v2.0"));
        w.window.setWindowTitle(QStringLiteral("Ignored"));
        QCOMPARE(w.strip->Caption(), QStringLiteral("Quarnix Velmora v2.0"));
        const auto* caption = w.strip->findChild<QLabel*>(QStringLiteral("TitleCaption"));
        QVERIFY(caption != nullptr);
        QCOMPARE(caption->text(), QStringLiteral("Quarnix Velmora v2.0"));
        QCOMPARE(caption->font().family(), velmora::app::Theme::TitleFont().family());
        QVERIFY(caption->font().bold());
        QCOMPARE(caption->font().pointSizeF(), 9.75);
    }

    void icon_showsTheWindowIcon() {
        StripWindow w;
        QPixmap red(32, 32);
        red.fill(Qt::red);
        w.window.setWindowIcon(QIcon(red));
        const auto* icon = w.strip->findChild<QLabel*>(QStringLiteral("TitleIcon"));
        QVERIFY(icon != nullptr);
        const QImage shown = icon->pixmap().toImage();
        QCOMPARE(shown.size(), QSize(16, 16));
        QCOMPARE(shown.pixelColor(8, 8), QColor(Qt::red));
    }

    void strip_isDrawnInTheThemeColours() {
        StripWindow w;
        w.strip->SetCaption(QString());
        const QImage image = w.strip->grab().toImage();
        // Deep blue at the left end, not the platform's grey.
        const QColor left = image.pixelColor(40, 20);
        QVERIFY2(left.blue() > left.red() + 30, qPrintable(left.name()));
        QVERIFY2(left.lightness() < 110, qPrintable(left.name()));
    }
};

QTEST_MAIN(TitleStripTest)
#include "TitleStripTest.moc"
