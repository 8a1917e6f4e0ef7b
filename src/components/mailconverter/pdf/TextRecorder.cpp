#include "components/mailconverter/pdf/TextRecorder.h"

#include "components/mailconverter/pdf/PdfPaintEngine.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>

namespace velmora::mailconverter {

class TextRecorder::Engine final : public QPaintEngine {
  public:
    Engine() : QPaintEngine(PdfPaintEngine::kFeatures) {}

    Type type() const override { return QPaintEngine::User; }
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override { m_other = true; }
    void drawRects(const QRectF*, int) override { m_other = true; }
    void drawLines(const QLineF*, int) override { m_other = true; }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override { m_other = true; }

    void drawTextItem(const QPointF& p, const QTextItem& textItem) override {
        if (!m_text) {
            return;
        }
        m_text->width += textItem.width();
        if (!m_reader.Read(textItem, p)) {
            return;
        }
        for (const ShapedRun& shaped : m_reader.Runs()) {
            RecordedText::Run run{shaped.face,          shaped.pixelSize,       shaped.stretch,
                                  shaped.syntheticBold, shaped.syntheticItalic, {}};
            run.glyphs.reserve(shaped.glyphs.size());
            for (const ShapedGlyph& g : shaped.glyphs) {
                int from = -1;
                if (g.chars && g.charCount > 0) {
                    from = int(m_text->chars.size());
                    m_text->chars.append(g.chars, g.charCount);
                }
                run.glyphs.push_back({g.id, g.x, g.y, from, from >= 0 ? g.charCount : 0});
            }
            m_text->runs.push_back(std::move(run));
        }
        m_text->itemEnds.push_back(m_text->runs.size());
    }

    RecordedText* m_text = nullptr;
    bool m_other = false;  // Qt drew something besides glyphs

  private:
    QtTextReader m_reader;
};

class TextRecorder::Device final : public QPaintDevice {
  public:
    QPaintEngine* paintEngine() const override { return &m_engine; }
    int devType() const override { return QInternal::Printer; }
    Engine& engine() { return m_engine; }

  protected:
    int metric(PaintDeviceMetric metric) const override {
        return CanvasMetric(metric, QSizeF(595, 842));
    }

  private:
    mutable Engine m_engine;
};

TextRecorder::TextRecorder()
    : m_device(std::make_unique<Device>()), m_painter(std::make_unique<QPainter>()) {}

TextRecorder::~TextRecorder() {
    if (m_painter->isActive()) {
        m_painter->end();
    }
}

std::unique_ptr<RecordedText> TextRecorder::Record(const QFont& font, const QString& text) {
    if (!m_painter->isActive()) {
        if (!m_painter->begin(m_device.get())) {
            return nullptr;
        }
        m_painter->setPen(Qt::black);
    }
    // The painter resolves a font anew on every change, and then looks up its engine again
    // for each text; words come in runs of one font.
    if (!m_font || !(font == *m_font)) {
        m_font = font;
        QFont plain = font;
        plain.setUnderline(false);
        plain.setOverline(false);
        plain.setStrikeOut(false);
        m_painter->setFont(plain);
    }
    auto recorded = std::make_unique<RecordedText>();
    Engine& engine = m_device->engine();
    engine.m_text = recorded.get();
    engine.m_other = false;
    m_painter->drawText(QPointF(0, 0), text);
    engine.m_text = nullptr;
    if (engine.m_other) {
        return nullptr;
    }
    return recorded;
}

}  // namespace velmora::mailconverter
