#pragma once

// The paint engine behind PdfCanvas, shared by the files that implement it: PdfCanvas.cpp
// (pages, state and the document), PdfPaintGraphics.cpp (paths, clips, colours and
// images) and PdfPaintText.cpp (text).

#include "components/mailconverter/pdf/PdfArchive.h"
#include "components/mailconverter/pdf/PdfCanvas.h"
#include "components/mailconverter/pdf/PdfContent.h"
#include "components/mailconverter/pdf/PdfObjects.h"
#include "components/mailconverter/pdf/QtTextAdapter.h"

#include <QBrush>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPen>

#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

namespace velmora::mailconverter {

class PdfFont;
struct RecordedText;

// What the canvas reports of itself to Qt; text is shaped by these metrics.
int CanvasMetric(QPaintDevice::PaintDeviceMetric metric, const QSizeF& page);

class PdfPaintEngine : public QPaintEngine {
  public:
    static constexpr PaintEngineFeatures kFeatures =
        PrimitiveTransform | PixmapTransform | PainterPaths | Antialiasing | BrushStroke |
        ConstantOpacity | AlphaBlend | PatternTransform;

    explicit PdfPaintEngine(const QSizeF& page);
    ~PdfPaintEngine() override;

    Type type() const override { return QPaintEngine::User; }
    bool begin(QPaintDevice*) override;
    bool end() override;
    void NewPage();
    QByteArray Document(const PdfArchive& archive);

    void updateState(const QPaintEngineState& state) override;
    void drawPath(const QPainterPath& path) override;
    void drawRects(const QRectF* rects, int count) override;
    void drawLines(const QLineF* lines, int count) override;
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override;
    void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF& sr) override;
    void drawTiledPixmap(const QRectF& r, const QPixmap& pixmap, const QPointF& s) override;
    void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                   Qt::ImageConversionFlags) override;
    void drawTextItem(const QPointF& p, const QTextItem& textItem) override;

    void FollowPainter(QPainter& painter);
    bool ShowGlyphs(const GlyphRun& run);
    bool ShowRecorded(const RecordedText& text, const QPointF& origin);

  private:
    void DrawRun(const ShapedRun& run);
    // A face that cannot be embedded is painted as its outlines: it looks the same, though
    // its text cannot be copied.
    void DrawOutlines(const ShapedRun& run);
    // The document's font for a face, in the order faces are first used; null when the
    // face cannot be embedded.
    PdfFont* FontForFace(const QByteArray& file, int index);
    // A fresh copy of a face whose font has no code left.
    PdfFont* AnotherFace(const QByteArray& file, int index);

    int ImageObject(const QImage& image, const QRect& source);
    static bool IsOpaque(const QImage& image);
    static QByteArray ImageDictionary(int width, int height, const char* space);

    void StartPage();
    void EndPage();
    void ForgetEmitted();
    void UpdateClip(const QPainterPath& path, Qt::ClipOperation operation);
    void PushClip(const QRectF& rect);
    void PopClip();
    // The clip can only shrink inside a saved state: to change it, the state is restored
    // and saved again, which also forgets colours and line settings.
    void ApplyClip();
    void AppendPath(const QPainterPath& path);
    // A closed axis-aligned rectangle, as QPainterPath::addRect makes it; else null.
    static QRectF AsRect(const QPainterPath& path);
    void Prepare(bool fill, bool stroke);
    void SetFill(const QColor& color);
    void SetStroke(const QColor& color);
    void SetLine();
    void ApplyAlpha(qreal fill, qreal stroke);

    QSizeF m_page;
    PdfObjects m_objects;
    int m_catalog = 0;
    int m_pages = 0;
    int m_resources = 0;
    std::vector<int> m_pageIds;
    std::vector<int> m_pageContents;
    Content m_content;
    bool m_pageOpen = false;
    bool m_finished = false;

    QPen m_pen;
    QBrush m_brush;
    QTransform m_matrix;
    qreal m_opacity = 1;
    bool m_clipEnabled = false;
    bool m_savedEnabled = false;
    std::vector<QPainterPath> m_clips;  // in device space
    bool m_clipDirty = true;
    std::vector<QPainterPath> m_applied;
    bool m_appliedEnabled = false;

    // What the content stream has set since the last save.
    std::optional<QRgb> m_fill;
    std::optional<QRgb> m_stroke;
    std::optional<qreal> m_lineWidth;
    QByteArray m_lineStyle;
    std::optional<int> m_alpha;

    std::map<std::pair<QByteArray, int>, std::vector<std::unique_ptr<PdfFont>>> m_fonts;
    std::map<std::tuple<qint64, int, int, int, int>, int> m_images;
    std::map<int, int> m_states;

    QtTextReader m_text;
    std::vector<ShapedGlyph> m_replayed;  // reused from run to run
};

}  // namespace velmora::mailconverter
