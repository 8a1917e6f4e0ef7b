#include "app/Theme.h"

#include "app/ThemeStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPalette>
#include <QStyle>
#include <QWidget>

namespace velmora::app::Theme {

namespace {

QFont Face(const QStringList& families, qreal points, bool bold) {
    QFont font(FirstInstalled(families));
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QPalette Palette() {
    QPalette p;
    const QColor disabledText(0x93, 0xa1, 0xaf);
    p.setColor(QPalette::Window, kWindow);
    p.setColor(QPalette::WindowText, kText);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xf1, 0xf6, 0xfb));
    p.setColor(QPalette::Text, kText);
    p.setColor(QPalette::Button, QColor(0xe6, 0xee, 0xf6));
    p.setColor(QPalette::ButtonText, kText);
    p.setColor(QPalette::Highlight, kSelection);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x1f, 0x5f, 0x9f));
    p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xfb, 0xe8));
    p.setColor(QPalette::ToolTipText, kText);
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(0xdd, 0xe6, 0xef));
    p.setColor(QPalette::Mid, QColor(0xb8, 0xc9, 0xd9));
    p.setColor(QPalette::Dark, QColor(0x7d, 0x93, 0xa8));
    p.setColor(QPalette::Shadow, QColor(0x4a, 0x5d, 0x70));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, disabledText);
    }
    return p;
}

}  // namespace

QString FirstInstalled(const QStringList& families) {
    // Compared with the real family list: QFontDatabase::hasFamily also answers yes for
    // names that fontconfig merely substitutes.
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : families) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            return family;
        }
    }
    return families.isEmpty() ? QString() : families.constLast();
}

QFont WindowFont() {
    return Face({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                 QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")},
                8.25, false);
}

QFont ListFont() {
    return Face(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
         QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")},
        8.25, false);
}

QFont TitleFont() {
    return Face({QStringLiteral("Trebuchet MS"), QStringLiteral("Noto Sans"),
                 QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")},
                9.75, true);
}

QString StyleSheet() {
    return QStringLiteral(R"css(
QLabel { background: transparent; }

QLineEdit {
    background: white; color: #1b2733;
    border: 1px solid #9db4c8; border-radius: 3px; padding: 1px 4px;
    selection-background-color: #2f7fc1; selection-color: white;
}
QLineEdit:focus { border-color: #2f7fc1; }
QLineEdit:disabled { background: #f1f4f7; color: #93a1af; }

QPushButton {
    color: #1b2733;
    border: 1px solid #7f9bb6; border-radius: 4px; padding: 2px 10px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
        stop:0 #ffffff, stop:0.48 #eef4fa, stop:0.52 #e2ecf6, stop:1 #d3e1ee);
}
QPushButton:hover {
    border-color: #2f7fc1;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
        stop:0 #ffffff, stop:0.48 #f3f8fd, stop:0.52 #e4f0fb, stop:1 #cfe3f5);
}
QPushButton:focus { border-color: #2f7fc1; }
QPushButton:pressed {
    padding-top: 3px; padding-bottom: 1px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #c7d9ea, stop:1 #dfeaf5);
}
QPushButton:disabled {
    color: #93a1af; border-color: #c0ccd8;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7f9fb, stop:1 #e9eef3);
}

QGroupBox {
    background: #ffffff;
    border: 1px solid #9db4c8; border-radius: 4px;
    margin-top: 8px;
}
QGroupBox::title {
    subcontrol-origin: margin; subcontrol-position: top left;
    left: 10px; padding: 1px 8px 2px 4px;
    color: white; font-weight: bold;
    border-radius: 3px;
    background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #10304f, stop:1 #1f6f8b);
}

QTabWidget::pane {
    background: #f8fbfd;
    border: 1px solid #9db4c8; border-radius: 3px;
    top: -1px;
}
QTabBar::tab {
    color: #1b2733;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7fafd, stop:1 #dbe6f0);
    border: 1px solid #9db4c8; border-bottom: none;
    border-top-left-radius: 4px; border-top-right-radius: 4px;
    padding: 2px 3px; margin-right: 1px; height: 15px;
}
QTabBar::tab:selected {
    background: #f8fbfd;
    border-top: 2px solid #f29f3d;
}
QTabBar::tab:!selected { margin-top: 2px; }
QTabBar::tab:hover:!selected {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #e3eef8);
}
QTabBar::tab:disabled { color: #93a1af; background: #edf1f5; }

QTreeView, QListView, QTableView {
    background: white; color: #1b2733;
    alternate-background-color: #f1f6fb;
    border: 1px solid #9db4c8;
    selection-background-color: #2f7fc1; selection-color: white;
    gridline-color: #d5dee8;
    outline: none;
}
QTreeView::item:selected, QListView::item:selected {
    background: #2f7fc1; color: white;
}
QTreeView::item:hover:!selected, QListView::item:hover:!selected { background: #e3eef8; }
QTreeView[rootIsDecorated="false"]::item {
    border-right: 1px solid #d5dee8; border-bottom: 1px solid #d5dee8;
}
QHeaderView { background: #eef3f8; }
QHeaderView::section {
    color: #1b2733;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #dde7f1);
    border: none; border-right: 1px solid #b8c9d9; border-bottom: 1px solid #9db4c8;
    padding: 2px 5px;
}
QHeaderView::section:hover {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #d2e4f4);
}

QToolBar {
    qproperty-toolButtonStyle: ToolButtonTextUnderIcon;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfdff, stop:1 #dfe8f1);
    border: none; border-bottom: 1px solid #b8c9d9;
    spacing: 2px; padding: 1px 4px;
}
QToolBar::separator { width: 1px; background: #b8c9d9; margin: 5px 4px; }
QToolBar QToolButton {
    color: #1b2733;
    border: 1px solid transparent; border-radius: 3px;
    padding: 1px 6px;
}
QToolBar QToolButton:hover {
    border-color: #8fb3d6;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #d7e8f7);
}
QToolBar QToolButton:pressed {
    border-color: #2f7fc1;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #c4d9ed, stop:1 #e0ecf7);
}
QToolBar QToolButton:disabled { color: #93a1af; }

QMenuBar {
    color: #1b2733;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f7fafd, stop:1 #e1eaf3);
    border-bottom: 1px solid #c3d1de;
    spacing: 2px; padding: 1px 2px;
}
QMenuBar::item {
    background: transparent; padding: 3px 9px;
    border: 1px solid transparent; border-radius: 3px;
}
QMenuBar::item:selected { background: #d7e8f7; border-color: #8fb3d6; }
QMenuBar::item:pressed {
    color: white; border-color: #10304f;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #1f6f8b, stop:1 #10304f);
}
QMenu {
    color: #1b2733; background: white;
    border: 1px solid #7f9bb6; padding: 3px;
}
QMenu::item { padding: 4px 28px 4px 8px; border-radius: 3px; }
QMenu::item:selected { background: #2f7fc1; color: white; }
QMenu::item:disabled { color: #93a1af; }
QMenu::icon { padding-left: 6px; }
QMenu::separator { height: 1px; background: #d5dee8; margin: 4px 6px; }

QStatusBar {
    color: #1b2733;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f3f7fb, stop:1 #d9e4ee);
    border-top: 1px solid #9db4c8;
}
QStatusBar::item { border: none; border-right: 1px solid #b8c9d9; }
QStatusBar QLabel { padding: 0px 4px; }

QScrollBar:vertical { background: #eef3f8; width: 14px; margin: 0; border: none; }
QScrollBar:horizontal { background: #eef3f8; height: 14px; margin: 0; border: none; }
QScrollBar::handle:vertical, QScrollBar::handle:horizontal {
    background: #b9cbdc; border: 1px solid #9db4c8; border-radius: 4px; margin: 2px;
}
QScrollBar::handle:vertical { min-height: 20px; }
QScrollBar::handle:horizontal { min-width: 20px; }
QScrollBar::handle:hover { background: #9dbad6; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; border: none; }
QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }

QToolTip {
    color: #1b2733; background: #fffbe8;
    border: 1px solid #c9b56a; padding: 2px;
}
)css");
}

void Apply(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    // Fusion draws the same everywhere and honours our palette; the platform styles do not.
    if (QApplication::style() == nullptr ||
        QApplication::style()->objectName() != QLatin1String("VelmoraStyle")) {
        QApplication::setStyle(new ThemeStyle);
    }
    // Font and palette also go to the application, so that every later window and widget starts
    // from them: under a style sheet Qt hands a window's font only to widgets not yet polished.
    QApplication::setFont(WindowFont());
    QApplication::setPalette(Palette());
    if (window->font() != WindowFont()) {
        window->setFont(WindowFont());
    }
    window->setPalette(Palette());
    window->setStyleSheet(StyleSheet());
}

}  // namespace velmora::app::Theme
