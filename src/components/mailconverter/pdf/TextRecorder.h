#pragma once

#include "components/mailconverter/pdf/QtTextAdapter.h"

#include <QFont>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace velmora::mailconverter {

// A text as Qt shapes it for the PDF canvas, kept to be shown again anywhere without being
// shaped anew: mail repeats its words, and shaping them was most of what painting cost.
struct RecordedText {
    struct Glyph {
        uint32_t id = 0;
        qreal x = 0;  // from the point the text was drawn at
        qreal y = 0;
        int from = -1;  // into chars; -1 when the glyph's text is not known
        int count = 0;
    };
    struct Run {
        QtFace face;
        qreal pixelSize = 0;
        qreal stretch = 1;
        bool syntheticBold = false;
        bool syntheticItalic = false;
        std::vector<Glyph> glyphs;
    };
    qreal width = 0;  // the advance of the whole text, as Qt measures it
    QString chars;
    std::vector<Run> runs;
    // Qt hands a text to the engine as items; the runs of the i-th item with glyphs to
    // show end at itemEnds[i].
    std::vector<size_t> itemEnds;
};

// Draws texts on a device that the painter treats as it treats the canvas (same metrics,
// same engine features) and keeps what reaches the engine. Not shared between threads.
class TextRecorder {
  public:
    TextRecorder();
    ~TextRecorder();
    TextRecorder(const TextRecorder&) = delete;
    TextRecorder& operator=(const TextRecorder&) = delete;

    // What drawing `text` in `font` at the origin hands the engine, leaving out the
    // underline and other decorations (Qt draws them beside the glyphs); null when Qt drew
    // anything else.
    std::unique_ptr<RecordedText> Record(const QFont& font, const QString& text);

  private:
    class Engine;
    class Device;
    std::unique_ptr<Device> m_device;
    std::unique_ptr<QPainter> m_painter;
    std::optional<QFont> m_font;  // the painter's, as it was asked for
};

}  // namespace velmora::mailconverter
