#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

class QWidget;

// The program's one look: the Fusion style, our palette and a style sheet that covers buttons,
// frames, tabs, tree, report list, toolbar, menus and status bar.
namespace velmora::app::Theme {

// Gives window (and every widget inside it, present or later) the look. Safe to call again.
void Apply(QWidget* window);

QFont WindowFont();  // Tahoma 8.25 pt, or the closest installed free face
QFont ListFont();    // MS Sans Serif 8.25 pt, or the closest installed free face
QFont TitleFont();   // Trebuchet MS 9.75 pt bold, or the closest installed free face

// The first of families that is installed; the last one when none is (Qt then substitutes).
QString FirstInstalled(const QStringList& families);

// The style sheet Apply sets, for windows that want to extend it.
QString StyleSheet();

// Colours shared by the theme and the title strip.
inline const QColor kDeep{0x10, 0x30, 0x4f};
inline const QColor kTeal{0x1f, 0x6f, 0x8b};
inline const QColor kAccent{0xf2, 0x9f, 0x3d};
inline const QColor kWindow{0xee, 0xf3, 0xf8};
inline const QColor kText{0x1b, 0x27, 0x33};
inline const QColor kSelection{0x2f, 0x7f, 0xc1};

}  // namespace velmora::app::Theme
