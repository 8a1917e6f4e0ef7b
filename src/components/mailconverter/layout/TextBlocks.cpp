#include "components/mailconverter/layout/TextBlocks.h"

#include <QPainter>

#include <algorithm>

namespace velmora::mailconverter {

namespace {

// Around a row's label and value, as a rich-text table cell of one pixel's padding has.
constexpr qreal kCellPadding = 1;
constexpr qreal kCellInset = 0.75;
// A rule and the room around it, as a paragraph rule has in rich text.
constexpr qreal kRuleHeight = 24;
constexpr qreal kRuleOffset = 18;

}  // namespace

TextBlocks::TextBlocks(qreal width, QPaintDevice* device, qsizetype piece)
    : m_width(width), m_device(device), m_piece(piece) {}

qreal TextBlocks::Place(const QString& text, const TextStyle& style, qreal x, qreal y,
                        qreal width) {
    auto layout = std::make_unique<PlainTextLayout>(text, style.font, std::max<qreal>(1, width),
                                                    m_device, m_piece);
    for (const Span& line : layout->Lines()) {
        m_lines.push_back({line.top + y, line.bottom + y});
    }
    const qreal height = layout->Height();
    m_pieces.push_back({std::move(layout), QPointF(x, y), style.colour});
    return height;
}

void TextBlocks::AddParagraph(const QString& text, const TextStyle& style) {
    m_height += Place(text, style, 0, m_height, m_width);
}

void TextBlocks::AddRow(const QString& label, const TextStyle& labelStyle, const QString& value,
                        const TextStyle& valueStyle, qreal labelWidth) {
    const qreal top = m_height + kCellPadding;
    const qreal left = Place(label, labelStyle, kCellInset, top, labelWidth - 2 * kCellInset);
    const qreal right = Place(value, valueStyle, labelWidth + kCellInset, top,
                              m_width - labelWidth - 2 * kCellInset);
    m_height = top + std::max(left, right) + kCellPadding;
}

void TextBlocks::AddRule() {
    m_rules.push_back(m_height + kRuleOffset);
    m_lines.push_back({m_height, m_height + kRuleHeight});
    m_height += kRuleHeight;
}

void TextBlocks::Paint(QPainter& painter, qreal top, qreal bottom) const {
    for (const Piece& piece : m_pieces) {
        const qreal y = piece.at.y();
        if (y >= bottom || y + piece.layout->Height() <= top) {
            continue;
        }
        painter.save();
        painter.translate(piece.at);
        piece.layout->Paint(painter, top - y, bottom - y, piece.colour);
        painter.restore();
    }
    painter.save();
    painter.setPen(QPen(QColor(0xA0, 0xA0, 0xA0), 0.75));
    for (const qreal y : m_rules) {
        if (y >= top && y < bottom) {
            painter.drawLine(QPointF(0, y), QPointF(m_width, y));
        }
    }
    painter.restore();
}

}  // namespace velmora::mailconverter
