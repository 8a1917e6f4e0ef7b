#pragma once

// What the converter reads of Qt's text internals, behind types of its own. Qt keeps these
// out of its public API and may change them in any release: QtTextAdapter.cpp is the one
// file that includes Qt's private headers, and CMake stops at a Qt it was not written for.

#include <QByteArray>
#include <QPainterPath>
#include <QPointF>

#include <cstdint>
#include <span>
#include <vector>

class QChar;
class QFont;
class QFontEngine;
class QTextItem;

namespace velmora::mailconverter {

// A font file and the index of the face in it; an empty file when Qt names none.
struct QtFace {
    QByteArray file;
    int index = 0;
};

// The face Qt lays `font`'s Latin text out with (the first of its fallbacks).
QtFace PrimaryFace(const QFont& font);

// One glyph as Qt shaped and placed it, in device coordinates before the painter's
// transform, with the characters it was shaped from.
struct ShapedGlyph {
    uint32_t id = 0;  // in its face
    qreal x = 0;
    qreal y = 0;
    const QChar* chars = nullptr;  // null: the glyph's text is not known
    int charCount = 0;
};

// Glyphs of one face, in the order Qt placed them.
struct ShapedRun {
    QtFace face;
    qreal pixelSize = 0;
    qreal stretch = 1;  // horizontal scale
    bool syntheticBold = false;
    bool syntheticItalic = false;
    std::span<const ShapedGlyph> glyphs;
};

// Reads the text items Qt hands a paint engine. One per engine: its buffers are reused
// from item to item, and what it returns lasts until the next Read.
class QtTextReader {
  public:
    // False for an item without glyphs or a face. Glyphs Qt does not print are left out.
    bool Read(const QTextItem& item, const QPointF& origin);
    // The item's glyphs in runs of one face each.
    const std::vector<ShapedRun>& Runs() const { return m_runs; }
    // The outlines of `run` (of the last item read) where its glyphs stand, for a face
    // that cannot be embedded.
    QPainterPath Outlines(const ShapedRun& run) const;

  private:
    void ReadClusters(const QTextItem& item, int count);
    void SplitByFace(const QTextItem& item);

    const QTextItem* m_item = nullptr;
    std::vector<ShapedGlyph> m_glyphs;
    std::vector<uint32_t> m_raw;  // Qt's glyph numbers, which name the fallback face
    std::vector<ShapedRun> m_runs;
    std::vector<QFontEngine*> m_engines;  // by run
    std::vector<int> m_textStart;         // by glyph of the item
    std::vector<int> m_textCount;
};

}  // namespace velmora::mailconverter
