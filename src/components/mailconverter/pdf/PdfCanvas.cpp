#include "components/mailconverter/pdf/PdfCanvas.h"

#include "components/mailconverter/base/ConversionError.h"
#include "components/mailconverter/pdf/PdfArchive.h"
#include "components/mailconverter/pdf/PdfFont.h"
#include "components/mailconverter/pdf/PdfObjects.h"

#include <QtGui/private/qfontengine_p.h>
#include <QtGui/private/qtextengine_p.h>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRegion>

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora::mailconverter {

namespace {

QByteArray Num(double value) {
    return pdf::Number(value);
}

// A page's content stream, built with few allocations: a long message writes millions of
// operands.
class Content {
  public:
    Content& operator<<(const char* text) {
        m_data.append(text);
        return *this;
    }
    Content& operator<<(char c) {
        m_data.push_back(c);
        return *this;
    }
    Content& operator<<(const QByteArray& bytes) {
        m_data.append(bytes.constData(), size_t(bytes.size()));
        return *this;
    }
    Content& operator<<(double value) {
        char text[32];
        m_data.append(text, size_t(pdf::FormatNumber(value, text)));
        return *this;
    }
    Content& operator<<(int value) { return *this << double(value); }
    Content& operator<<(const QTransform& m) {
        return *this << m.m11() << ' ' << m.m12() << ' ' << m.m21() << ' ' << m.m22() << ' '
                     << m.dx() << ' ' << m.dy();
    }
    Content& operator<<(const QRectF& r) {
        return *this << r.x() << ' ' << r.y() << ' ' << r.width() << ' ' << r.height() << " re\n";
    }
    Content& operator<<(const QColor& color) {
        const QColor rgb = color.toRgb();
        return *this << rgb.redF() << ' ' << rgb.greenF() << ' ' << rgb.blueF();
    }
    // Two-byte codes in a literal string, escaped where PDF needs it.
    void Code(uint16_t code) {
        for (const char c : {char(code >> 8), char(code & 0xFF)}) {
            if (c == '(' || c == ')' || c == '\\') {
                m_data.push_back('\\');
                m_data.push_back(c);
            } else if (c == '\r') {
                m_data.append("\\r");
            } else {
                m_data.push_back(c);
            }
        }
    }
    void Clear() { m_data.clear(); }
    QByteArray Bytes() const { return QByteArray(m_data.data(), qsizetype(m_data.size())); }

  private:
    std::string m_data;
};

}  // namespace

class PdfPaintEngine : public QPaintEngine {
  public:
    explicit PdfPaintEngine(const QSizeF& page)
        : QPaintEngine(PrimitiveTransform | PixmapTransform | PainterPaths | Antialiasing |
                       BrushStroke | ConstantOpacity | AlphaBlend | PatternTransform),
          m_page(page) {
        m_catalog = m_objects.Reserve();
        m_pages = m_objects.Reserve();
        m_resources = m_objects.Reserve();
    }

    Type type() const override { return QPaintEngine::User; }

    bool begin(QPaintDevice*) override {
        if (m_finished) {
            return false;
        }
        StartPage();
        return true;
    }

    bool end() override {
        EndPage();
        return true;
    }

    void NewPage() {
        if (!isActive()) {
            return;
        }
        EndPage();
        StartPage();
    }

    QByteArray Document(const PdfArchive& archive) {
        if (isActive() || m_finished) {
            throw ConversionError(QStringLiteral("The PDF is not ready to be finished."));
        }
        m_finished = true;
        QByteArray fonts;
        for (const auto& [key, list] : m_fonts) {
            for (const auto& font : list) {
                font->Write(m_objects);
                fonts += "/F" + QByteArray::number(font->ObjectId()) + ' ' +
                         QByteArray::number(font->ObjectId()) + " 0 R";
            }
        }
        QByteArray images;
        for (const auto& [key, id] : m_images) {
            images += "/I" + QByteArray::number(id) + ' ' + QByteArray::number(id) + " 0 R";
        }
        QByteArray states;
        for (const auto& [alpha, id] : m_states) {
            states += "/G" + QByteArray::number(id) + ' ' + QByteArray::number(id) + " 0 R";
        }
        m_objects.Write(m_resources, "<</ProcSet[/PDF/Text/ImageB/ImageC]/Font<<" + fonts +
                                         ">>/XObject<<" + images + ">>/ExtGState<<" + states +
                                         ">>>>");
        PdfArchiveWriter extras(m_objects, archive);
        QByteArray kids;
        for (size_t i = 0; i < m_pageIds.size(); ++i) {
            const int page = m_pageIds[i];
            m_objects.Write(page, "<</Type/Page/Parent " + QByteArray::number(m_pages) +
                                      " 0 R/MediaBox[0 0 " + Num(m_page.width()) + ' ' +
                                      Num(m_page.height()) + "]/Resources " +
                                      QByteArray::number(m_resources) + " 0 R/Contents " +
                                      QByteArray::number(m_pageContents[i]) + " 0 R" +
                                      extras.Annotations(int(i), m_page.height()) + ">>");
            kids += QByteArray::number(page) + " 0 R ";
        }
        m_objects.Write(m_pages, "<</Type/Pages/Kids[" + kids.trimmed() + "]/Count " +
                                     QByteArray::number(qsizetype(m_pageIds.size())) + ">>");
        m_objects.Write(m_catalog, "<</Type/Catalog/Pages " + QByteArray::number(m_pages) + " 0 R" +
                                       extras.CatalogEntries() + ">>");
        return m_objects.Finish(m_catalog, extras.Info(), extras.FileId());
    }

    void updateState(const QPaintEngineState& state) override {
        const DirtyFlags flags = state.state();
        if (flags & DirtyTransform) {
            m_matrix = state.transform();
        }
        if (flags & DirtyPen) {
            m_pen = state.pen();
        }
        if (flags & DirtyBrush) {
            m_brush = state.brush();
        }
        if (flags & DirtyOpacity) {
            m_opacity = state.opacity();
        }
        if (flags & DirtyClipEnabled) {
            m_clipEnabled = state.isClipEnabled();
            m_clipDirty = true;
        }
        if (flags & DirtyClipPath) {
            UpdateClip(state.clipPath(), state.clipOperation());
        }
        if (flags & DirtyClipRegion) {
            QPainterPath path;
            path.addRegion(state.clipRegion());
            UpdateClip(path, state.clipOperation());
        }
    }

    void drawPath(const QPainterPath& path) override {
        const bool fill = m_brush.style() != Qt::NoBrush;
        const bool stroke = m_pen.style() != Qt::NoPen;
        if ((!fill && !stroke) || path.isEmpty()) {
            return;
        }
        Prepare(fill, stroke);
        AppendPath(m_matrix.map(path));
        const bool evenOdd = path.fillRule() == Qt::OddEvenFill;
        if (fill && stroke) {
            m_content << (evenOdd ? "B*\n" : "B\n");
        } else if (fill) {
            m_content << (evenOdd ? "f*\n" : "f\n");
        } else {
            m_content << "S\n";
        }
    }

    void drawRects(const QRectF* rects, int count) override {
        const bool fill = m_brush.style() != Qt::NoBrush;
        const bool stroke = m_pen.style() != Qt::NoPen;
        if (!fill && !stroke) {
            return;
        }
        if (m_matrix.type() > QTransform::TxScale) {
            QPaintEngine::drawRects(rects, count);  // through drawPath
            return;
        }
        Prepare(fill, stroke);
        for (int i = 0; i < count; ++i) {
            const QRectF r = m_matrix.mapRect(rects[i]);
            m_content << r;
        }
        m_content << (fill && stroke ? "B\n" : fill ? "f\n" : "S\n");
    }

    void drawLines(const QLineF* lines, int count) override {
        if (m_pen.style() == Qt::NoPen) {
            return;
        }
        Prepare(false, true);
        for (int i = 0; i < count; ++i) {
            const QLineF line = m_matrix.map(lines[i]);
            m_content << line.x1() << ' ' << line.y1() << " m " << line.x2() << ' ' << line.y2()
                      << " l\n";
        }
        m_content << "S\n";
    }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override {
        if (count < 2) {
            return;
        }
        QPainterPath path(points[0]);
        for (int i = 1; i < count; ++i) {
            path.lineTo(points[i]);
        }
        if (mode == PolylineMode) {
            const QBrush brush = m_brush;
            m_brush = Qt::NoBrush;
            drawPath(path);
            m_brush = brush;
            return;
        }
        path.closeSubpath();
        path.setFillRule(mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
        drawPath(path);
    }

    void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF& sr) override {
        drawImage(r, pixmap.toImage(), sr, Qt::AutoColor);
    }

    void drawTiledPixmap(const QRectF& r, const QPixmap& pixmap, const QPointF& s) override {
        const QImage image = pixmap.toImage();
        if (image.isNull() || r.isEmpty()) {
            return;
        }
        const QSizeF tile = image.size();
        PushClip(r);
        int tiles = 0;
        for (qreal y = r.top() - s.y(); y < r.bottom() && tiles < 4096; y += tile.height()) {
            for (qreal x = r.left() - s.x(); x < r.right() && tiles < 4096; x += tile.width()) {
                drawImage(QRectF(QPointF(x, y), tile), image, QRectF(QPointF(0, 0), tile),
                          Qt::AutoColor);
                ++tiles;
            }
        }
        PopClip();
    }

    void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                   Qt::ImageConversionFlags) override {
        if (image.isNull() || r.isEmpty() || sr.isEmpty()) {
            return;
        }
        const QRect source = sr.toAlignedRect().intersected(image.rect());
        if (source.isEmpty()) {
            return;
        }
        const int id = ImageObject(image, source);
        if (id == 0) {
            return;
        }
        ApplyClip();
        ApplyAlpha(1.0, 1.0);
        // The image's top row at the rectangle's top; PDF puts row 0 at y = 1.
        const QTransform place(r.width(), 0, 0, -r.height(), r.x(), r.y() + r.height());
        m_content << "q " << place * m_matrix << " cm/I" << id << " Do Q\n";
    }

    void drawTextItem(const QPointF& p, const QTextItem& textItem) override {
        const auto& ti = static_cast<const QTextItemInt&>(textItem);
        const int count = ti.glyphs.numGlyphs;
        if (count <= 0 || !ti.fontEngine || m_pen.style() == Qt::NoPen) {
            return;
        }
        // The characters each glyph stands for: a cluster's text goes with its first glyph.
        m_textStart.assign(size_t(count), -1);
        m_textCount.assign(size_t(count), 0);
        if (ti.chars && ti.logClusters && ti.num_chars > 0) {
            int base = ti.logClusters[0];
            for (int c = 1; c < ti.num_chars; ++c) {
                base = std::min<int>(base, ti.logClusters[c]);
            }
            for (int c = 0; c < ti.num_chars; ++c) {
                const int g = ti.logClusters[c] - base;
                if (g >= 0 && g < count) {
                    if (m_textStart[size_t(g)] < 0) {
                        m_textStart[size_t(g)] = c;
                    }
                    ++m_textCount[size_t(g)];
                }
            }
        }
        // Positions as Qt's own engines place the glyphs.
        const QGlyphLayout& glyphs = ti.glyphs;
        const bool rtl = ti.flags & QTextItem::RightToLeft;
        QFixed x = QFixed::fromReal(p.x());
        const QFixed y = QFixed::fromReal(p.y());
        if (rtl) {
            for (int i = 0; i < count; ++i) {
                if (!glyphs.attributes[i].dontPrint) {
                    x +=
                        glyphs.advances[i] + QFixed::fromFixed(glyphs.justifications[i].space_18d6);
                }
            }
        }
        m_run.clear();
        for (int i = 0; i < count; ++i) {
            if (glyphs.attributes[i].dontPrint) {
                continue;
            }
            if (rtl) {
                x -= glyphs.advances[i];
            }
            Glyph glyph;
            glyph.index = i;
            glyph.x = (x + glyphs.offsets[i].x).toReal();
            glyph.y = (y + glyphs.offsets[i].y).toReal();
            m_run.push_back(glyph);
            const QFixed space = QFixed::fromFixed(glyphs.justifications[i].space_18d6);
            x += rtl ? -space : glyphs.advances[i] + space;
        }
        ApplyClip();
        ApplyAlpha(m_pen.color().alphaF(), m_pen.color().alphaF());
        SetFill(m_pen.color());

        // Runs of one face each.
        size_t start = 0;
        while (start < m_run.size()) {
            const glyph_t first = glyphs.glyphs[m_run[start].index];
            const int which = ti.fontEngine->type() == QFontEngine::Multi ? int(first >> 24) : 0;
            size_t end = start + 1;
            while (end < m_run.size() && (ti.fontEngine->type() != QFontEngine::Multi ||
                                          int(glyphs.glyphs[m_run[end].index] >> 24) == which)) {
                ++end;
            }
            QFontEngine* engine = ti.fontEngine;
            if (engine->type() == QFontEngine::Multi) {
                auto* multi = static_cast<QFontEngineMulti*>(engine);
                multi->ensureEngineAt(which);
                engine = multi->engine(which);
            }
            DrawRun(ti, engine, start, end);
            start = end;
        }
    }

    void FollowPainter(const QPainter& painter) {
        syncState();
        m_pen = painter.pen();
        m_matrix = painter.combinedTransform();
    }

    bool ShowGlyphs(const GlyphRun& run) {
        const int count = int(std::min(run.glyphs.size(), run.chars.size()));
        const qreal size = run.pixelSize;
        PdfFont* font = FontForFace(run.file, run.index);
        if (!font) {
            return false;
        }
        if (count <= 0 || m_pen.style() == Qt::NoPen) {
            return true;
        }
        ApplyClip();
        ApplyAlpha(m_pen.color().alphaF(), m_pen.color().alphaF());
        SetFill(m_pen.color());
        m_content << "BT/F" << font->ObjectId() << ' ' << size << " Tf\n"
                  << QTransform(1, 0, 0, -1, run.origin.x(), run.origin.y()) * m_matrix << " Tm[(";
        for (int i = 0; i < count; ++i) {
            const uint32_t glyph = run.glyphs[size_t(i)];
            PdfFont::Shown shown = font->Code(glyph, &run.chars[size_t(i)], 1);
            if (shown.code == 0 && glyph != 0) {
                font = AnotherFace(run.file, run.index);
                m_content << ")]TJ/F" << font->ObjectId() << ' ' << size << " Tf[(";
                shown = font->Code(glyph, &run.chars[size_t(i)], 1);
            }
            m_content.Code(shown.code);
            const double kern = size_t(i) < run.kerning.size() ? run.kerning[size_t(i)] : 0;
            if (kern != 0 && i + 1 < count) {
                m_content << ')' << -std::round(kern * 10) / 10 << '(';
            }
        }
        m_content << ")]TJ\nET\n";
        return true;
    }

  private:
    struct Glyph {
        int index = 0;  // in the text item
        qreal x = 0;
        qreal y = 0;
    };

    void DrawRun(const QTextItemInt& ti, QFontEngine* engine, size_t start, size_t end) {
        if (!engine) {
            return;
        }
        PdfFont* font = FontFor(engine);
        const qreal size = engine->fontDef.pixelSize;
        if (!font || size <= 0) {
            DrawOutlines(ti, engine, start, end);
            return;
        }
        const int synthesized = engine->synthesized();
        const qreal stretch = engine->fontDef.stretch > 0 && engine->fontDef.stretch != 100
                                  ? engine->fontDef.stretch / 100.0
                                  : 1.0;
        const qreal slant = (synthesized & QFontEngine::SynthesizedItalic) ? 0.2 : 0.0;
        m_content << "BT/F" << font->ObjectId() << ' ' << size << " Tf\n";
        if (synthesized & QFontEngine::SynthesizedBold) {
            SetStroke(m_pen.color());
            const qreal scale = std::sqrt(std::abs(m_matrix.determinant()));
            m_content << "2 Tr " << size * scale / 30 << " w\n";
            m_lineWidth.reset();
        }
        const QGlyphLayout& glyphs = ti.glyphs;
        const qreal unit = size * stretch / 1000;  // device-free width of one thousandth
        bool open = false;
        qreal penX = 0;
        qreal lineY = 0;
        for (size_t i = start; i < end; ++i) {
            const Glyph& g = m_run[i];
            const glyph_t id = glyphs.glyphs[g.index] & 0xFFFFFF;
            const int from = m_textStart[size_t(g.index)];
            const QChar* chars = from >= 0 ? ti.chars + from : nullptr;
            PdfFont::Shown shown = font->Code(id, chars, chars ? m_textCount[size_t(g.index)] : 0);
            if (shown.code == 0 && id != 0) {
                // This font has no code left: go on in a fresh copy of the face.
                if (open) {
                    m_content << ")]TJ\n";
                    open = false;
                }
                font = AnotherFont(engine);
                m_content << "/F" << font->ObjectId() << ' ' << size << " Tf\n";
                shown = font->Code(id, chars, chars ? m_textCount[size_t(g.index)] : 0);
            }
            if (!open || std::abs(g.y - lineY) > 0.001) {
                if (open) {
                    m_content << ")]TJ\n";
                }
                const QTransform text(stretch, 0, slant, -1, g.x, g.y);
                m_content << text * m_matrix << " Tm[(";
                open = true;
                penX = g.x;
                lineY = g.y;
            } else {
                const qreal adjust = (penX - g.x) / unit;
                // Qt rounds advances to 1/64 pixel; drift below 0.4 % of the size is left.
                if (std::abs(adjust) >= 4) {
                    m_content << ')' << std::round(adjust * 10) / 10 << '(';
                    penX = g.x;
                }
            }
            m_content.Code(shown.code);
            penX += shown.width * unit;
        }
        if (open) {
            m_content << ")]TJ\n";
        }
        if (synthesized & QFontEngine::SynthesizedBold) {
            m_content << "0 Tr\n";
        }
        m_content << "ET\n";
    }

    // A face that cannot be embedded is painted as its outlines: it looks the same, though
    // its text cannot be copied.
    void DrawOutlines(const QTextItemInt& ti, QFontEngine* engine, size_t start, size_t end) {
        std::vector<glyph_t> ids;
        std::vector<QFixedPoint> positions;
        for (size_t i = start; i < end; ++i) {
            ids.push_back(ti.glyphs.glyphs[m_run[i].index] & 0xFFFFFF);
            positions.push_back(QFixedPoint::fromPointF(QPointF(m_run[i].x, m_run[i].y)));
        }
        QPainterPath path;
        engine->addGlyphsToPath(ids.data(), positions.data(), int(ids.size()), &path, ti.flags);
        if (path.isEmpty()) {
            return;
        }
        path.setFillRule(Qt::WindingFill);
        AppendPath(m_matrix.map(path));
        m_content << "f\n";
    }

    PdfFont* FontFor(QFontEngine* engine) {
        const QFontEngine::FaceId face = engine->faceId();
        return FontForFace(face.filename, face.index);
    }

    PdfFont* AnotherFont(QFontEngine* engine) {
        const QFontEngine::FaceId face = engine->faceId();
        return AnotherFace(face.filename, face.index);
    }

    // The document's font for a face, in the order faces are first used; null when the
    // face cannot be embedded.
    PdfFont* FontForFace(const QByteArray& file, int index) {
        const auto key = std::make_pair(file, index);
        auto it = m_fonts.find(key);
        if (it == m_fonts.end()) {
            std::vector<std::unique_ptr<PdfFont>> list;
            if (!file.isEmpty()) {
                if (auto loaded = LoadFontFace(file, index & 0xFFFF)) {
                    list.push_back(std::make_unique<PdfFont>(loaded, m_objects.Reserve()));
                }
            }
            it = m_fonts.emplace(key, std::move(list)).first;
        }
        return it->second.empty() ? nullptr : it->second.back().get();
    }

    // A fresh copy of a face whose font has no code left.
    PdfFont* AnotherFace(const QByteArray& file, int index) {
        auto& list = m_fonts[std::make_pair(file, index)];
        list.push_back(
            std::make_unique<PdfFont>(LoadFontFace(file, index & 0xFFFF), m_objects.Reserve()));
        return list.back().get();
    }

    int ImageObject(const QImage& image, const QRect& source) {
        const auto key = std::make_tuple(image.cacheKey(), source.x(), source.y(), source.width(),
                                         source.height());
        if (const auto it = m_images.find(key); it != m_images.end()) {
            return it->second;
        }
        const QImage part = source == image.rect() ? image : image.copy(source);
        const bool alpha = part.hasAlphaChannel() && !IsOpaque(part);
        const bool gray = part.allGray();
        const QImage pixels =
            part.convertToFormat(gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
        const int width = pixels.width();
        const int height = pixels.height();
        const int rowBytes = width * (gray ? 1 : 3);
        QByteArray samples(qsizetype(rowBytes) * height, Qt::Uninitialized);
        for (int row = 0; row < height; ++row) {
            memcpy(samples.data() + qsizetype(row) * rowBytes, pixels.constScanLine(row),
                   size_t(rowBytes));
        }
        int mask = 0;
        if (alpha) {
            const QImage alphaImage = part.convertToFormat(QImage::Format_ARGB32);
            QByteArray alphas(qsizetype(width) * height, Qt::Uninitialized);
            for (int row = 0; row < height; ++row) {
                const auto* line = reinterpret_cast<const QRgb*>(alphaImage.constScanLine(row));
                for (int col = 0; col < width; ++col) {
                    alphas[qsizetype(row) * width + col] = char(qAlpha(line[col]));
                }
            }
            mask = m_objects.Reserve();
            m_objects.WriteStream(mask, ImageDictionary(width, height, "/DeviceGray"), alphas);
        }
        const int id = m_objects.Reserve();
        QByteArray dictionary = ImageDictionary(width, height, gray ? "/DeviceGray" : "/DeviceRGB");
        if (mask) {
            dictionary += "/SMask " + QByteArray::number(mask) + " 0 R";
        }
        m_objects.WriteStream(id, dictionary, samples);
        m_images.emplace(key, id);
        return id;
    }

    static bool IsOpaque(const QImage& image) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        for (int row = 0; row < argb.height(); ++row) {
            const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(row));
            for (int col = 0; col < argb.width(); ++col) {
                if (qAlpha(line[col]) != 255) {
                    return false;
                }
            }
        }
        return true;
    }

    static QByteArray ImageDictionary(int width, int height, const char* space) {
        return "/Type/XObject/Subtype/Image/Width " + QByteArray::number(width) + "/Height " +
               QByteArray::number(height) + "/ColorSpace" + space + "/BitsPerComponent 8";
    }

    void StartPage() {
        m_content.Clear();
        m_content << "1 0 0 -1 0 " << m_page.height() << " cm\nq\n";
        m_pageOpen = true;
        ForgetEmitted();
        m_applied.clear();
        m_appliedEnabled = false;
        m_clipDirty = true;
    }

    void EndPage() {
        if (!m_pageOpen) {
            return;
        }
        m_content << "Q\n";
        const int contents = m_objects.Reserve();
        m_objects.WriteStream(contents, QByteArray(), m_content.Bytes());
        // The page itself is written with the document, which knows its links.
        m_pageIds.push_back(m_objects.Reserve());
        m_pageContents.push_back(contents);
        m_pageOpen = false;
        m_content.Clear();
    }

    void ForgetEmitted() {
        m_fill.reset();
        m_stroke.reset();
        m_lineWidth.reset();
        m_lineStyle.clear();
        m_alpha.reset();
    }

    void UpdateClip(const QPainterPath& path, Qt::ClipOperation operation) {
        switch (operation) {
            case Qt::NoClip:
                m_clipEnabled = false;
                m_clips.clear();
                break;
            case Qt::ReplaceClip:
                m_clipEnabled = true;
                m_clips.clear();
                m_clips.push_back(m_matrix.map(path));
                break;
            case Qt::IntersectClip:
                m_clipEnabled = true;
                m_clips.push_back(m_matrix.map(path));
                break;
        }
        m_clipDirty = true;
    }

    void PushClip(const QRectF& rect) {
        QPainterPath path;
        path.addRect(rect);
        m_clips.push_back(m_matrix.map(path));
        m_savedEnabled = m_clipEnabled;
        m_clipEnabled = true;
        m_clipDirty = true;
    }

    void PopClip() {
        m_clips.pop_back();
        m_clipEnabled = m_savedEnabled;
        m_clipDirty = true;
    }

    // The clip can only shrink inside a saved state: to change it, the state is restored
    // and saved again, which also forgets colours and line settings.
    void ApplyClip() {
        if (!m_clipDirty) {
            return;
        }
        m_clipDirty = false;
        const bool enabled = m_clipEnabled && !m_clips.empty();
        if (enabled == m_appliedEnabled && (!enabled || m_clips == m_applied)) {
            return;
        }
        m_content << "Q q\n";
        ForgetEmitted();
        if (enabled) {
            for (const QPainterPath& clip : m_clips) {
                AppendPath(clip);
                m_content << (clip.fillRule() == Qt::OddEvenFill ? "W* n\n" : "W n\n");
            }
        }
        m_applied = m_clips;
        m_appliedEnabled = enabled;
    }

    void AppendPath(const QPainterPath& path) {
        const QRectF rect = path.elementCount() == 5 ? AsRect(path) : QRectF();
        if (!rect.isNull()) {
            m_content << rect;
            return;
        }
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element& e = path.elementAt(i);
            if (e.isMoveTo()) {
                m_content << e.x << ' ' << e.y << " m\n";
            } else if (e.isLineTo()) {
                m_content << e.x << ' ' << e.y << " l\n";
            } else if (e.isCurveTo() && i + 2 < path.elementCount()) {
                const QPainterPath::Element& c2 = path.elementAt(i + 1);
                const QPainterPath::Element& to = path.elementAt(i + 2);
                m_content << e.x << ' ' << e.y << ' ' << c2.x << ' ' << c2.y << ' ' << to.x << ' '
                          << to.y << " c\n";
                i += 2;
            }
        }
    }

    // A closed axis-aligned rectangle, as QPainterPath::addRect makes it; else null.
    static QRectF AsRect(const QPainterPath& path) {
        const QPainterPath::Element e0 = path.elementAt(0);
        if (!e0.isMoveTo()) {
            return {};
        }
        for (int i = 1; i < 5; ++i) {
            if (!path.elementAt(i).isLineTo()) {
                return {};
            }
        }
        const QPointF p0 = path.elementAt(0), p1 = path.elementAt(1), p2 = path.elementAt(2),
                      p3 = path.elementAt(3), p4 = path.elementAt(4);
        if (p4 != p0) {
            return {};
        }
        const bool horizontalFirst =
            p0.y() == p1.y() && p1.x() == p2.x() && p2.y() == p3.y() && p3.x() == p0.x();
        const bool verticalFirst =
            p0.x() == p1.x() && p1.y() == p2.y() && p2.x() == p3.x() && p3.y() == p0.y();
        if (!horizontalFirst && !verticalFirst) {
            return {};
        }
        return QRectF(p0, p2).normalized();
    }

    void Prepare(bool fill, bool stroke) {
        ApplyClip();
        const qreal fillAlpha = fill ? m_brush.color().alphaF() : 1.0;
        const qreal strokeAlpha = stroke ? m_pen.color().alphaF() : 1.0;
        ApplyAlpha(fillAlpha, strokeAlpha);
        if (fill) {
            SetFill(m_brush.color());
        }
        if (stroke) {
            SetStroke(m_pen.color());
            SetLine();
        }
    }

    void SetFill(const QColor& color) {
        const QRgb rgb = color.rgb();
        if (m_fill != rgb) {
            m_content << color << " rg\n";
            m_fill = rgb;
        }
    }

    void SetStroke(const QColor& color) {
        const QRgb rgb = color.rgb();
        if (m_stroke != rgb) {
            m_content << color << " RG\n";
            m_stroke = rgb;
        }
    }

    void SetLine() {
        const qreal scale = std::sqrt(std::abs(m_matrix.determinant()));
        const qreal width = m_pen.isCosmetic() ? m_pen.widthF() : m_pen.widthF() * scale;
        if (m_lineWidth != width) {
            m_content << width << " w\n";
            m_lineWidth = width;
        }
        QByteArray style;
        style += QByteArray::number(m_pen.capStyle() == Qt::RoundCap    ? 1
                                    : m_pen.capStyle() == Qt::SquareCap ? 2
                                                                        : 0) +
                 " J ";
        style += QByteArray::number(m_pen.joinStyle() == Qt::RoundJoin   ? 1
                                    : m_pen.joinStyle() == Qt::BevelJoin ? 2
                                                                         : 0) +
                 " j ";
        style += "[";
        if (m_pen.style() != Qt::SolidLine && m_pen.style() != Qt::NoPen) {
            const qreal unit = std::max<qreal>(width, 1);
            for (const qreal dash : m_pen.dashPattern()) {
                style += Num(dash * unit) + ' ';
            }
        }
        style += "]0 d\n";
        if (style != m_lineStyle) {
            m_content << style;
            m_lineStyle = style;
        }
    }

    void ApplyAlpha(qreal fill, qreal stroke) {
        const int a = int(std::lround(std::clamp(fill * m_opacity, 0.0, 1.0) * 255));
        const int b = int(std::lround(std::clamp(stroke * m_opacity, 0.0, 1.0) * 255));
        const int key = (a << 8) | b;
        if (m_alpha == key) {
            return;
        }
        auto it = m_states.find(key);
        if (it == m_states.end()) {
            const int id = m_objects.Reserve();
            m_objects.Write(
                id, "<</Type/ExtGState/ca " + Num(a / 255.0) + "/CA " + Num(b / 255.0) + ">>");
            it = m_states.emplace(key, id).first;
        }
        m_content << "/G" << it->second << " gs\n";
        m_alpha = key;
    }

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

    std::vector<Glyph> m_run;
    std::vector<int> m_textStart;
    std::vector<int> m_textCount;
};

PdfCanvas::PdfCanvas(const QSizeF& pagePoints)
    : m_page(pagePoints), m_engine(std::make_unique<PdfPaintEngine>(pagePoints)) {}

PdfCanvas::~PdfCanvas() = default;

QPaintEngine* PdfCanvas::paintEngine() const {
    return m_engine.get();
}

int PdfCanvas::devType() const {
    return QInternal::Printer;
}

bool PdfCanvas::ShowGlyphs(QPainter& painter, const GlyphRun& run) {
    if (painter.paintEngine() != m_engine.get()) {
        return false;
    }
    // Qt hands the engine a change of pen only when it draws through it; this text does not.
    m_engine->FollowPainter(painter);
    return m_engine->ShowGlyphs(run);
}

void PdfCanvas::NewPage() {
    m_engine->NewPage();
}

QByteArray PdfCanvas::Document(const PdfArchive& archive) {
    return m_engine->Document(archive);
}

int PdfCanvas::metric(PaintDeviceMetric metric) const {
    switch (metric) {
        case PdmWidth:
            return int(std::lround(m_page.width()));
        case PdmHeight:
            return int(std::lround(m_page.height()));
        case PdmWidthMM:
            return int(std::lround(m_page.width() * 25.4 / 72));
        case PdmHeightMM:
            return int(std::lround(m_page.height() * 25.4 / 72));
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 72;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
    }
    return 0;
}

}  // namespace velmora::mailconverter
