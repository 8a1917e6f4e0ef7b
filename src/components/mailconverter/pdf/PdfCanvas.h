#pragma once

#include "components/mailconverter/pdf/PdfArchive.h"

#include <QByteArray>
#include <QPaintDevice>
#include <QPointF>
#include <QSizeF>

#include <cstdint>

#include <memory>
#include <span>

class QPainter;

namespace velmora::mailconverter {

class PdfPaintEngine;
struct RecordedText;

// Glyphs of one face on one baseline, each at the advance of the one before plus its
// kerning, each copying as the character beside it.
struct GlyphRun {
    QByteArray file;  // the face's file and index in it
    int index = 0;
    qreal pixelSize = 0;
    QPointF origin;
    std::span<const uint32_t> glyphs;
    std::span<const double> kerning;  // thousandths of the size, by glyph; empty: none
    std::span<const QChar> chars;     // by glyph
};

// A paint device whose pages become a PDF, at 72 units to the inch (one unit is one
// point). Text stays text: every face is embedded as a subset, and every glyph copies as
// the characters it was shaped from. Images are kept lossless. Each conversion uses its
// own canvas; canvases on different threads share only the loaded font files.
class PdfCanvas : public QPaintDevice {
  public:
    explicit PdfCanvas(const QSizeF& pagePoints);
    ~PdfCanvas() override;
    PdfCanvas(const PdfCanvas&) = delete;
    PdfCanvas& operator=(const PdfCanvas&) = delete;

    QPaintEngine* paintEngine() const override;
    int devType() const override;

    // Shows `run` in the coordinates and pen colour of `painter`, which paints on this
    // canvas. False when the face cannot be embedded; nothing is shown then.
    bool ShowGlyphs(QPainter& painter, const GlyphRun& run);
    // Shows `text` as `painter` would draw it at `origin` (a multiple of 1/64, as Qt places
    // text). False when a face cannot be embedded; nothing is shown then.
    bool ShowRecorded(QPainter& painter, const RecordedText& text, const QPointF& origin);

    // Ends the page being painted and begins the next; only while a painter is active.
    void NewPage();

    // The finished archival document, once the painter has ended, with what `archive`
    // carries beside the pages. Throws ConversionError.
    QByteArray Document(const PdfArchive& archive = {});

  protected:
    int metric(PaintDeviceMetric metric) const override;

  private:
    QSizeF m_page;
    std::unique_ptr<PdfPaintEngine> m_engine;
};

}  // namespace velmora::mailconverter
