#include "app/Theme.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>

namespace Theme = velmora::app::Theme;

namespace {

// A window holding one of each kind of widget the theme covers.
struct SampleWindow {
    QWidget window;
    QMenuBar* menuBar = new QMenuBar(&window);
    QToolBar* toolBar = new QToolBar(&window);
    QTabWidget* tabs = new QTabWidget(&window);
    QTreeWidget* tree = new QTreeWidget(&window);
    QPushButton* button = new QPushButton(QStringLiteral("Browse..."), &window);
    QStatusBar* statusBar = new QStatusBar(&window);

    SampleWindow() {
        auto* column = new QVBoxLayout(&window);
        menuBar->addMenu(QStringLiteral("&File"));
        column->setMenuBar(menuBar);
        toolBar->addAction(QStringLiteral("Open"));
        column->addWidget(toolBar);
        tabs->addTab(new QWidget, QStringLiteral(" Select File"));
        column->addWidget(tabs);
        tree->setHeaderLabel(QStringLiteral("Notes Database"));
        column->addWidget(tree);
        column->addWidget(button);
        statusBar->showMessage(QStringLiteral("Ready"));
        column->addWidget(statusBar);
        window.resize(400, 400);
    }

    QImage Grab(QWidget* widget) {
        window.ensurePolished();
        window.layout()->activate();
        return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    }
};

}  // namespace

class ThemeTest : public QObject {
    Q_OBJECT

  private slots:
    void fonts_useAnInstalledFamilyAtTheirSize_data() {
        QTest::addColumn<QFont>("font");
        QTest::addColumn<qreal>("points");
        QTest::addColumn<bool>("bold");
        QTest::newRow("window") << Theme::WindowFont() << 8.25 << false;
        QTest::newRow("list") << Theme::ListFont() << 8.25 << false;
        QTest::newRow("title") << Theme::TitleFont() << 9.75 << true;
    }

    void fonts_useAnInstalledFamilyAtTheirSize() {
        QFETCH(QFont, font);
        QFETCH(qreal, points);
        QFETCH(bool, bold);
        QCOMPARE(font.pointSizeF(), points);
        QCOMPARE(font.bold(), bold);
        QVERIFY2(QFontDatabase::families().contains(font.family(), Qt::CaseInsensitive),
                 qPrintable(font.family()));
        // What is drawn is the family asked for, not a substitute picked by the system.
        QCOMPARE(QFontInfo(font).family().toLower(), font.family().toLower());
    }

    void firstInstalled_prefersEarlierInstalledFamilies() {
        const QString installed = QFontDatabase::families().value(0);
        QVERIFY(!installed.isEmpty());
        const QString other = QFontDatabase::families().value(1);
        QCOMPARE(Theme::FirstInstalled({QStringLiteral("No Such Face 9f3"), installed}), installed);
        QCOMPARE(Theme::FirstInstalled({installed.toUpper(), other}), installed.toUpper());
        if (!other.isEmpty()) {
            QCOMPARE(Theme::FirstInstalled({other, installed}), other);
        }
        // With nothing installed, the last wish is passed on for Qt to substitute.
        QCOMPARE(Theme::FirstInstalled({QStringLiteral("Nope A"), QStringLiteral("Nope B")}),
                 QStringLiteral("Nope B"));
        QCOMPARE(Theme::FirstInstalled({}), QString());
    }

    void apply_setsFusionPaletteFontAndSheet() {
        SampleWindow sample;
        Theme::Apply(&sample.window);
        auto* style = qobject_cast<QProxyStyle*>(QApplication::style());
        QVERIFY(style != nullptr);
        QCOMPARE(style->baseStyle()->name().toLower(), QStringLiteral("fusion"));
        QCOMPARE(sample.window.palette().color(QPalette::Window), Theme::kWindow);
        QCOMPARE(sample.window.palette().color(QPalette::Highlight), Theme::kSelection);
        QCOMPARE(sample.button->font().family(), Theme::WindowFont().family());
        QCOMPARE(QApplication::font().family(), Theme::WindowFont().family());
        QCOMPARE(sample.window.font().family(), Theme::WindowFont().family());
        QVERIFY(!sample.window.styleSheet().isEmpty());
        // Children, also those added later, inherit it.
        auto* late = new QLabel(QStringLiteral("late"), &sample.window);
        QCOMPARE(late->font().family(), Theme::WindowFont().family());
        QCOMPARE(late->palette().color(QPalette::Window), Theme::kWindow);
        sample.window.ensurePolished();
        sample.toolBar->ensurePolished();
        QCOMPARE(sample.toolBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    }

    void fontsSetOnWidgets_reachTheirChildrenUnderTheSheet() {
        SampleWindow sample;
        Theme::Apply(&sample.window);
        sample.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sample.window));
        const QFont list = Theme::ListFont();
        sample.tree->setFont(list);
        QFont bold = Theme::WindowFont();
        bold.setBold(true);
        sample.statusBar->setFont(bold);
        QCOMPARE(sample.tree->font().family(), list.family());
        QCOMPARE(sample.tree->header()->font().family(), list.family());
        QCOMPARE(sample.tree->header()->font().pointSizeF(), list.pointSizeF());
        QVERIFY(sample.statusBar->font().bold());
        QCOMPARE(sample.button->font().family(), Theme::WindowFont().family());
        QCOMPARE(sample.button->font().pointSizeF(), 8.25);
    }

    void labelColourSetByTheWindow_survivesTheSheet() {
        SampleWindow sample;
        Theme::Apply(&sample.window);
        auto* web = new QLabel(QStringLiteral("www.velmora.example"), sample.statusBar);
        sample.statusBar->addWidget(web);
        QPalette blue = web->palette();
        blue.setColor(QPalette::WindowText, QColor(0, 0, 0xc0));
        web->setPalette(blue);
        QFont bold = web->font();
        bold.setBold(true);
        bold.setPointSize(14);  // big enough for solid strokes
        web->setFont(bold);
        web->adjustSize();
        const QImage image = sample.Grab(web);
        int bluePixels = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                bluePixels += (c.blue() > 150 && c.red() < 60 && c.green() < 60) ? 1 : 0;
            }
        }
        QVERIFY2(bluePixels > 20, qPrintable(QString::number(bluePixels)));
    }

    void tabs_are22PixelsHigh() {
        SampleWindow sample;
        sample.tabs->addTab(new QWidget, QStringLiteral(" Emails Preview"));
        Theme::Apply(&sample.window);
        sample.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sample.window));
        QCOMPARE(sample.tabs->tabBar()->tabRect(0).height(), 22);
        QCOMPARE(sample.tabs->tabBar()->tabRect(1).height(), 22);
        // Narrow side padding keeps a short caption's tab close to its text.
        QVERIFY(sample.tabs->tabBar()->tabRect(0).width() <= 72);
    }

    void checkBoxes_blueWithWhiteTickWhenOnWhiteWhenOff() {
        QWidget window;
        Theme::Apply(&window);
        const auto draw = [](QStyle::State state) {
            QImage image(16, 16, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            QStyleOptionViewItem option;
            option.rect = image.rect();
            option.state = QStyle::State_Enabled | state;
            QPainter painter(&image);
            QApplication::style()->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &option,
                                                 &painter, nullptr);
            return image;
        };
        const auto count = [](const QImage& image, auto test) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    n += (c.alpha() == 255 && test(c)) ? 1 : 0;
                }
            }
            return n;
        };
        const auto blue = [](const QColor& c) { return c.blue() > c.red() + 80; };
        const auto white = [](const QColor& c) { return c.lightness() > 245; };
        const QImage on = draw(QStyle::State_On);
        const QImage off = draw(QStyle::State_Off);
        const QImage partly = draw(QStyle::State_NoChange);
        QVERIFY(count(on, blue) > 40);
        QVERIFY(count(on, white) > 4);  // the tick
        QVERIFY(count(off, blue) == 0);
        QVERIFY(count(off, white) > 60);
        QVERIFY(count(partly, blue) > 4 && count(partly, blue) < count(on, blue));
        QVERIFY(on != off && partly != off);
    }

    void apply_twiceChangesNothing() {
        SampleWindow sample;
        Theme::Apply(&sample.window);
        const QImage once = sample.Grab(&sample.window);
        const QString sheet = sample.window.styleSheet();
        Theme::Apply(&sample.window);
        QCOMPARE(sample.window.styleSheet(), sheet);
        const QImage twice = sample.Grab(&sample.window);
        QCOMPARE(twice, once);
        Theme::Apply(nullptr);  // no window: nothing to do, no crash
    }

    void apply_changesHowEachWidgetLooks() {
        SampleWindow plain;
        SampleWindow themed;
        Theme::Apply(&themed.window);
        QApplication::setStyle(QStringLiteral("Fusion"));  // both on the same base style
        const QList<std::pair<QWidget*, QWidget*>> pairs = {
            {plain.menuBar, themed.menuBar}, {plain.toolBar, themed.toolBar},
            {plain.tabs, themed.tabs},       {plain.tree, themed.tree},
            {plain.button, themed.button},   {plain.statusBar, themed.statusBar}};
        for (const auto& [before, after] : pairs) {
            const QImage a = plain.Grab(before);
            const QImage b = themed.Grab(after);
            QVERIFY2(a != b, after->metaObject()->className());
        }
    }

    void apply_themedButtonIsNotPlatformGrey() {
        SampleWindow sample;
        Theme::Apply(&sample.window);
        auto* loose = new QPushButton(QStringLiteral("Start Scan"), &sample.window);
        loose->setGeometry(0, 0, 105, 25);
        const QImage image = sample.Grab(loose);
        // The face of the button is a blue-tinted gradient: blue above red, top lighter than
        // bottom.
        const QColor top = image.pixelColor(50, 4);
        const QColor bottom = image.pixelColor(50, 20);
        QVERIFY2(bottom.blue() > bottom.red(), qPrintable(bottom.name()));
        QVERIFY2(top.lightness() > bottom.lightness(), qPrintable(top.name() + bottom.name()));
    }
};

QTEST_MAIN(ThemeTest)
#include "ThemeTest.moc"
