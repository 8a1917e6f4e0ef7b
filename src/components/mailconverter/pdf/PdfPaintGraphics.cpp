#include "components/mailconverter/pdf/PdfPaintEngine.h"

#include <QImage>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velmora::mailconverter {

void PdfPaintEngine::drawPath(const QPainterPath& path) {
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

void PdfPaintEngine::drawRects(const QRectF* rects, int count) {
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

void PdfPaintEngine::drawLines(const QLineF* lines, int count) {
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

void PdfPaintEngine::drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) {
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

void PdfPaintEngine::drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF& sr) {
    drawImage(r, pixmap.toImage(), sr, Qt::AutoColor);
}

void PdfPaintEngine::drawTiledPixmap(const QRectF& r, const QPixmap& pixmap, const QPointF& s) {
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

void PdfPaintEngine::drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                               Qt::ImageConversionFlags) {
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

int PdfPaintEngine::ImageObject(const QImage& image, const QRect& source) {
    const auto key =
        std::make_tuple(image.cacheKey(), source.x(), source.y(), source.width(), source.height());
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

bool PdfPaintEngine::IsOpaque(const QImage& image) {
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

QByteArray PdfPaintEngine::ImageDictionary(int width, int height, const char* space) {
    return "/Type/XObject/Subtype/Image/Width " + QByteArray::number(width) + "/Height " +
           QByteArray::number(height) + "/ColorSpace" + space + "/BitsPerComponent 8";
}

void PdfPaintEngine::ForgetEmitted() {
    m_fill.reset();
    m_stroke.reset();
    m_lineWidth.reset();
    m_lineStyle.clear();
    m_alpha.reset();
}

void PdfPaintEngine::UpdateClip(const QPainterPath& path, Qt::ClipOperation operation) {
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

void PdfPaintEngine::PushClip(const QRectF& rect) {
    QPainterPath path;
    path.addRect(rect);
    m_clips.push_back(m_matrix.map(path));
    m_savedEnabled = m_clipEnabled;
    m_clipEnabled = true;
    m_clipDirty = true;
}

void PdfPaintEngine::PopClip() {
    m_clips.pop_back();
    m_clipEnabled = m_savedEnabled;
    m_clipDirty = true;
}

void PdfPaintEngine::ApplyClip() {
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

void PdfPaintEngine::AppendPath(const QPainterPath& path) {
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

QRectF PdfPaintEngine::AsRect(const QPainterPath& path) {
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

void PdfPaintEngine::Prepare(bool fill, bool stroke) {
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

void PdfPaintEngine::SetFill(const QColor& color) {
    const QRgb rgb = color.rgb();
    if (m_fill != rgb) {
        m_content << color << " rg\n";
        m_fill = rgb;
    }
}

void PdfPaintEngine::SetStroke(const QColor& color) {
    const QRgb rgb = color.rgb();
    if (m_stroke != rgb) {
        m_content << color << " RG\n";
        m_stroke = rgb;
    }
}

void PdfPaintEngine::SetLine() {
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
            style += pdf::Number(dash * unit) + ' ';
        }
    }
    style += "]0 d\n";
    if (style != m_lineStyle) {
        m_content << style;
        m_lineStyle = style;
    }
}

void PdfPaintEngine::ApplyAlpha(qreal fill, qreal stroke) {
    const int a = int(std::lround(std::clamp(fill * m_opacity, 0.0, 1.0) * 255));
    const int b = int(std::lround(std::clamp(stroke * m_opacity, 0.0, 1.0) * 255));
    const int key = (a << 8) | b;
    if (m_alpha == key) {
        return;
    }
    auto it = m_states.find(key);
    if (it == m_states.end()) {
        const int id = m_objects.Reserve();
        m_objects.Write(id, "<</Type/ExtGState/ca " + pdf::Number(a / 255.0) + "/CA " +
                                pdf::Number(b / 255.0) + ">>");
        it = m_states.emplace(key, id).first;
    }
    m_content << "/G" << it->second << " gs\n";
    m_alpha = key;
}

}  // namespace velmora::mailconverter
