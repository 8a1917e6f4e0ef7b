#pragma once

#include "components/mailconverter/layout/FlowPiece.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <memory>
#include <vector>

class QPainter;
class QPaintDevice;
class QTextLayout;

namespace velmora::mailconverter {

class FontFace;

// A plain-text body laid out in lines of a column, for the PDF canvas. Paragraphs of
// letters that need no shaping and that the primary face has (Latin, Greek, Cyrillic and
// the like, without tabs or marks) are broken into lines here, at spaces and hyphens, and
// anywhere in a word longer than the column, and kerned by the face's pair table: that is
// many times faster than Qt's text layout, which lays out the other paragraphs, with its
// fallback faces and bidi. Both kinds of line share Qt's line height. Coordinates are
// points from the text's top.
class PlainTextLayout : public FlowPiece {
  public:
    // `text` as it is to be shown (control characters already made visible); paragraphs
    // end at "\n". A run Qt has to lay out and cannot break (no space, no ideograph) is cut
    // every `piece` characters, since Qt's time grows with the square of its length.
    PlainTextLayout(const QString& text, const QFont& font, qreal width, QPaintDevice* device,
                    qsizetype piece);
    ~PlainTextLayout();
    PlainTextLayout(const PlainTextLayout&) = delete;
    PlainTextLayout& operator=(const PlainTextLayout&) = delete;

    qreal Height() const override { return m_height; }
    const std::vector<Span>& Lines() const override { return m_spans; }

    // Paints the lines whose tops fall in [top, bottom), with the text's top at the
    // painter's origin.
    void Paint(QPainter& painter, qreal top, qreal bottom, const QColor& colour) const;
    void Paint(QPainter& painter, qreal top, qreal bottom) const override {
        Paint(painter, top, bottom, Qt::black);
    }

  private:
    struct Line {
        qreal top = 0;
        qsizetype start = 0;  // in m_text
        qsizetype length = 0;
        int layout = -1;  // index in m_layouts for Qt's lines, else -1
        int lineInLayout = 0;
    };

    bool Simple(qsizetype from, qsizetype to);
    void BreakSimple(qsizetype from, qsizetype to, qreal& y);
    void LayOutWithQt(qsizetype from, qsizetype to, qreal& y);
    qsizetype PieceEnd(qsizetype from, qsizetype to) const;

    QString m_text;
    QFont m_font;
    QPaintDevice* m_device;
    qreal m_width;
    qsizetype m_piece;
    std::shared_ptr<const FontFace> m_face;  // null: Qt lays out everything
    QByteArray m_faceFile;
    int m_faceIndex = 0;
    qreal m_pixelSize = 0;
    qreal m_ascent = 0;
    qreal m_lineHeight = 0;
    // By character of m_text, for simple paragraphs: its glyph, and the kerning between it
    // and the next one, in thousandths of the size.
    std::vector<uint32_t> m_glyphs;
    std::vector<double> m_kerning;
    std::vector<Line> m_lines;
    std::vector<Span> m_spans;
    std::vector<std::unique_ptr<QTextLayout>> m_layouts;
    qreal m_height = 0;
};

}  // namespace velmora::mailconverter
