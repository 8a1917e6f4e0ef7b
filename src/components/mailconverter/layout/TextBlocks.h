#pragma once

#include "components/mailconverter/layout/FlowPiece.h"
#include "components/mailconverter/layout/PlainTextLayout.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QString>

#include <memory>
#include <vector>

class QPainter;
class QPaintDevice;

namespace velmora::mailconverter {

// How a paragraph of the header block looks.
struct TextStyle {
    QFont font;
    QColor colour = Qt::black;
};

// The header block, notices and the blank lines between parts: paragraphs, rows of a label
// and its value, and rules, one below the other. Each piece is a PlainTextLayout, which
// lays Latin, Greek and Cyrillic text out without shaping and anything else with Qt's text
// layout. Coordinates are points from the top of the blocks.
class TextBlocks : public FlowPiece {
  public:
    TextBlocks(qreal width, QPaintDevice* device, qsizetype piece);

    void AddParagraph(const QString& text, const TextStyle& style);
    // The label in a column `labelWidth` wide, the value beside it in the rest.
    void AddRow(const QString& label, const TextStyle& labelStyle, const QString& value,
                const TextStyle& valueStyle, qreal labelWidth);
    void AddRule();

    qreal Height() const override { return m_height; }
    const std::vector<Span>& Lines() const override { return m_lines; }
    void Paint(QPainter& painter, qreal top, qreal bottom) const override;

  private:
    qreal Place(const QString& text, const TextStyle& style, qreal x, qreal y, qreal width);

    struct Piece {
        std::unique_ptr<PlainTextLayout> layout;
        QPointF at;
        QColor colour;
    };

    qreal m_width;
    QPaintDevice* m_device;
    qsizetype m_piece;
    std::vector<Piece> m_pieces;
    std::vector<qreal> m_rules;  // the y of each rule
    std::vector<Span> m_lines;
    qreal m_height = 0;
};

}  // namespace velmora::mailconverter
