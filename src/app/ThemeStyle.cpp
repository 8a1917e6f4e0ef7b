#include "app/ThemeStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleFactory>
#include <QStyleOption>

namespace velmora::app {

namespace {

void DrawCheck(const QStyleOption& option, QPainter& p) {
    const bool enabled = option.state.testFlag(QStyle::State_Enabled);
    const bool hover = option.state.testFlag(QStyle::State_MouseOver);
    const bool onSelectedRow = option.state.testFlag(QStyle::State_Selected);
    const bool on = option.state.testFlag(QStyle::State_On);
    const bool partly = option.state.testFlag(QStyle::State_NoChange);

    const int side = std::max(8, std::min({option.rect.width(), option.rect.height(), 13}));
    const QRectF box(option.rect.x() + (option.rect.width() - side) / 2 + 0.5,
                     option.rect.y() + (option.rect.height() - side) / 2 + 0.5, side - 1, side - 1);

    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor blue = enabled ? QColor(0x2f, 0x7f, 0xc1) : QColor(0xa9, 0xb8, 0xc6);
    const QColor edge = !enabled ? QColor(0xb9, 0xc6, 0xd2)
                        : on     ? QColor(0x1d, 0x5a, 0x92)
                        : hover  ? blue
                                 : QColor(0x7f, 0x9b, 0xb6);
    if (on) {
        QLinearGradient fill(box.topLeft(), box.bottomLeft());
        fill.setColorAt(0, blue.lighter(125));
        fill.setColorAt(1, blue);
        p.setBrush(fill);
    } else {
        p.setBrush(enabled ? QColor(Qt::white) : QColor(0xf1, 0xf4, 0xf7));
    }
    // On the blue of a selected row the box gets a white edge so that it stays apart.
    p.setPen(QPen(onSelectedRow && on ? QColor(Qt::white) : edge, 1.0));
    p.drawRoundedRect(box, 2.5, 2.5);

    if (on) {
        QPainterPath tick;
        tick.moveTo(box.left() + box.width() * 0.22, box.top() + box.height() * 0.52);
        tick.lineTo(box.left() + box.width() * 0.42, box.top() + box.height() * 0.72);
        tick.lineTo(box.left() + box.width() * 0.78, box.top() + box.height() * 0.28);
        p.setPen(
            QPen(Qt::white, std::max(1.5, side / 7.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    } else if (partly) {
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        p.drawRoundedRect(box.adjusted(side * 0.25, side * 0.25, -side * 0.25, -side * 0.25), 1, 1);
    }
    p.restore();
}

}  // namespace

ThemeStyle::ThemeStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {
    setObjectName(QStringLiteral("VelmoraStyle"));
}

void ThemeStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    if ((element == PE_IndicatorItemViewItemCheck || element == PE_IndicatorCheckBox) &&
        option != nullptr && painter != nullptr) {
        DrawCheck(*option, *painter);
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

}  // namespace velmora::app
