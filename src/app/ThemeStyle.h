#pragma once

#include <QProxyStyle>

namespace velmora::app {

// Fusion with the program's own check boxes: a white box that turns into a blue one with a white
// tick, readable on white rows and on the blue of a selected row alike.
class ThemeStyle : public QProxyStyle {
    Q_OBJECT
  public:
    ThemeStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

}  // namespace velmora::app
