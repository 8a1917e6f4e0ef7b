#include "components/mailconverter/layout/HtmlContainer.h"

#include "components/mailconverter/base/ImageDecoder.h"
#include "components/mailconverter/pdf/PdfCanvas.h"

#include <QPainter>
#include <QPainterPath>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace velmora::mailconverter {

namespace {

constexpr qint64 kMaxImagePixels = 40'000'000;

QString Roman(int n) {
    static const std::pair<int, const char*> digits[] = {
        {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
        {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
    QString out;
    n = std::clamp(n, 1, 3999);
    for (const auto& [value, text] : digits) {
        while (n >= value) {
            out += QLatin1String(text);
            n -= value;
        }
    }
    return out;
}

// The number or letter of a list item.
QString MarkerLabel(litehtml::list_style_type type, int index) {
    switch (type) {
        case litehtml::list_style_type_lower_alpha:
        case litehtml::list_style_type_lower_latin:
            return QChar(char16_t(u'a' + (index - 1) % 26));
        case litehtml::list_style_type_upper_alpha:
        case litehtml::list_style_type_upper_latin:
            return QChar(char16_t(u'A' + (index - 1) % 26));
        case litehtml::list_style_type_lower_roman:
            return Roman(index).toLower();
        case litehtml::list_style_type_upper_roman:
            return Roman(index);
        case litehtml::list_style_type_decimal_leading_zero:
            return QStringLiteral("%1").arg(index, 2, 10, QLatin1Char('0'));
        default:
            return QString::number(index);
    }
}

}  // namespace

void HtmlLayout::Container::draw_text(litehtml::uint_ptr, const litehtml::tchar_t* text,
                                      litehtml::uint_ptr hFont, litehtml::web_color color,
                                      const litehtml::position& pos) {
    Record(ToRect(pos), [this, word = std::string(text), hFont, color, pos](QPainter* p) {
        DrawText(Hdc(p), word.c_str(), hFont, color, pos);
    });
}

void HtmlLayout::Container::DrawText(litehtml::uint_ptr hdc, const litehtml::tchar_t* text,
                                     litehtml::uint_ptr hFont, litehtml::web_color color,
                                     const litehtml::position& pos) {
    QPainter* painter = PainterOf(hdc);
    Font* font = FontOf(hFont);
    if (!painter || !font) {
        return;
    }
    painter->setFont(font->font);
    painter->setPen(ToQColor(color));
    const QPointF origin(pos.x, pos.bottom() - font->descent);
    if (auto* canvas = dynamic_cast<PdfCanvas*>(painter->device())) {
        const Word& word = WordOf(*font, text);
        if (word.glyphs && canvas->ShowRecorded(*painter, *word.glyphs, origin)) {
            return;
        }
    }
    painter->drawText(origin, QString::fromUtf8(text));
}

void HtmlLayout::Container::draw_list_marker(litehtml::uint_ptr,
                                             const litehtml::list_marker& marker) {
    Record(ToRect(marker.pos), [this, marker, image = marker.image](QPainter* p) {
        litehtml::list_marker copy = marker;
        copy.image = image;
        DrawListMarker(Hdc(p), copy);
    });
}

void HtmlLayout::Container::DrawListMarker(litehtml::uint_ptr hdc,
                                           const litehtml::list_marker& marker) {
    QPainter* painter = PainterOf(hdc);
    if (!painter) {
        return;
    }
    if (!marker.image.empty()) {
        const QImage* image = Image(QString::fromUtf8(marker.image.c_str()));
        if (image) {
            painter->drawImage(ToRect(marker.pos), *image);
            return;
        }
    }
    const QRectF box = ToRect(marker.pos);
    const QColor color = ToQColor(marker.color);
    switch (marker.marker_type) {
        case litehtml::list_style_type_none:
            return;
        case litehtml::list_style_type_circle:
            painter->setPen(QPen(color, 1));
            painter->setBrush(Qt::NoBrush);
            painter->drawEllipse(box.adjusted(0.5, 0.5, -0.5, -0.5));
            return;
        case litehtml::list_style_type_square:
            painter->fillRect(box, color);
            return;
        case litehtml::list_style_type_disc:
            painter->setPen(Qt::NoPen);
            painter->setBrush(color);
            painter->drawEllipse(box);
            painter->setBrush(Qt::NoBrush);
            return;
        default:
            break;
    }
    const Font* font = FontOf(marker.font);
    if (!font) {
        return;
    }
    const QString label = MarkerLabel(marker.marker_type, marker.index) + QLatin1Char('.');
    const qreal width = font->metrics.horizontalAdvance(label);
    painter->setFont(font->font);
    painter->setPen(color);
    // The marker box sits before the line; its number ends a little before the text.
    const qreal right = box.left() + box.width() + font->font.pixelSize() * 0.25;
    painter->drawText(QPointF(right - width, box.bottom()), label);
}

void HtmlLayout::Container::load_image(const litehtml::tchar_t* src, const litehtml::tchar_t*,
                                       bool) {
    Image(QString::fromUtf8(src));
}

void HtmlLayout::Container::get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t*,
                                           litehtml::size& sz) {
    const QString key = QString::fromUtf8(src);
    if (const QImage* image = Image(key)) {
        sz.width = image->width();
        sz.height = image->height();
        return;
    }
    // A box that says what would have been there.
    const QString alt = m_alts.value(key);
    if (alt.isEmpty()) {
        sz.width = sz.height = 0;
        return;
    }
    const QFontMetricsF metrics(PlaceholderFont());
    sz.width = std::min(m_widthPx, int(std::ceil(metrics.horizontalAdvance(alt))) + 8);
    sz.height = int(std::ceil(metrics.height())) + 6;
}

void HtmlLayout::Container::draw_background(litehtml::uint_ptr,
                                            const litehtml::background_paint& bg) {
    Record(ToRect(bg.clip_box), [this, bg](QPainter* p) { DrawBackground(Hdc(p), bg); });
}

void HtmlLayout::Container::DrawBackground(litehtml::uint_ptr hdc,
                                           const litehtml::background_paint& bg) {
    QPainter* painter = PainterOf(hdc);
    if (!painter) {
        return;
    }
    const QRectF clip = ToRect(bg.clip_box);
    if (bg.color.alpha > 0) {
        const int radius = bg.border_radius.top_left_x;
        if (radius > 0) {
            QPainterPath path;
            path.addRoundedRect(ToRect(bg.border_box), radius, radius);
            painter->save();
            painter->setClipRect(clip, Qt::IntersectClip);
            painter->fillPath(path, ToQColor(bg.color));
            painter->restore();
        } else {
            painter->fillRect(clip, ToQColor(bg.color));
        }
    }
    if (bg.image.empty()) {
        return;
    }
    const QString key = QString::fromUtf8(bg.image.c_str());
    const QImage* image = Image(key);
    if (!image) {
        if (m_alts.contains(key)) {
            DrawPlaceholder(*painter, clip, m_alts.value(key));
        }
        return;
    }
    const QSizeF size(bg.image_size.width > 0 ? bg.image_size.width : image->width(),
                      bg.image_size.height > 0 ? bg.image_size.height : image->height());
    const QPointF origin(bg.position_x, bg.position_y);
    painter->save();
    painter->setClipRect(clip, Qt::IntersectClip);
    if (bg.repeat == litehtml::background_repeat_no_repeat || size.width() < 1 ||
        size.height() < 1) {
        painter->drawImage(QRectF(origin, size), *image);
    } else {
        // Tiles over the visible box only, and never more than a few thousand.
        const bool repeatX = bg.repeat != litehtml::background_repeat_repeat_y;
        const bool repeatY = bg.repeat != litehtml::background_repeat_repeat_x;
        const qreal x0 =
            repeatX
                ? origin.x() - std::ceil((origin.x() - clip.left()) / size.width()) * size.width()
                : origin.x();
        const qreal y0 =
            repeatY
                ? origin.y() - std::ceil((origin.y() - clip.top()) / size.height()) * size.height()
                : origin.y();
        int tiles = 0;
        for (qreal y = y0; y < clip.bottom() && tiles < 4096; y += size.height()) {
            for (qreal x = x0; x < clip.right() && tiles < 4096; x += size.width()) {
                painter->drawImage(QRectF(QPointF(x, y), size), *image);
                ++tiles;
                if (!repeatX) {
                    break;
                }
            }
            if (!repeatY) {
                break;
            }
        }
    }
    painter->restore();
}

void HtmlLayout::Container::draw_borders(litehtml::uint_ptr, const litehtml::borders& borders,
                                         const litehtml::position& draw_pos, bool) {
    Record(ToRect(draw_pos),
           [this, borders, draw_pos](QPainter* p) { DrawBorders(Hdc(p), borders, draw_pos); });
}

void HtmlLayout::Container::DrawBorders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                                        const litehtml::position& draw_pos) {
    QPainter* painter = PainterOf(hdc);
    if (!painter) {
        return;
    }
    const QRectF box = ToRect(draw_pos);
    auto side = [&](const litehtml::border& b, const QRectF& strip) {
        if (b.width <= 0 || b.style <= litehtml::border_style_hidden) {
            return;
        }
        painter->fillRect(strip, ToQColor(b.color));
    };
    side(borders.top, QRectF(box.left(), box.top(), box.width(), borders.top.width));
    side(borders.bottom, QRectF(box.left(), box.bottom() - borders.bottom.width, box.width(),
                                borders.bottom.width));
    side(borders.left, QRectF(box.left(), box.top(), borders.left.width, box.height()));
    side(borders.right,
         QRectF(box.right() - borders.right.width, box.top(), borders.right.width, box.height()));
}

void HtmlLayout::Container::DrawPlaceholder(QPainter& painter, const QRectF& box,
                                            const QString& alt) const {
    if (box.width() < 1 || box.height() < 1) {
        return;
    }
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    painter.fillRect(box, QColor(0xF2, 0xF2, 0xF2));
    painter.setPen(QPen(QColor(0xD0, 0xD0, 0xD0), 1));
    painter.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.setPen(QColor(0x70, 0x70, 0x70));
    painter.setFont(PlaceholderFont());
    painter.drawText(box.adjusted(4, 2, -4, -2), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                     alt);
    painter.restore();
}

const QImage* HtmlLayout::Container::Image(const QString& src) {
    if (const auto it = m_images.find(src); it != m_images.end()) {
        return it->second.isNull() ? nullptr : &it->second;
    }
    QByteArray data;
    const QString lower = src.left(5).toLower();
    if (lower.startsWith(QLatin1String("cid:"))) {
        data = Lookup(QStringLiteral("cid:") +
                      QUrl::fromPercentEncoding(src.mid(4).toUtf8()).toLower());
    } else if (lower == QLatin1String("data:")) {
        const QByteArray text = src.toUtf8();
        const qsizetype comma = text.indexOf(',');
        if (comma > 0) {
            const QByteArray payload = QByteArray::fromPercentEncoding(text.mid(comma + 1));
            data = text.left(comma).toLower().endsWith(";base64") ? QByteArray::fromBase64(payload)
                                                                  : payload;
        }
    } else {
        // A Content-Location of one of the message's parts; never the network.
        data = Lookup(QStringLiteral("loc:") + src);
    }
    QImage image = data.isEmpty() ? QImage() : DecodeImage(data, kMaxImagePixels);
    auto [it, inserted] = m_images.emplace(src, std::move(image));
    return it->second.isNull() ? nullptr : &it->second;
}

QByteArray HtmlLayout::Container::Lookup(const QString& key) const {
    const auto it = m_resources.constFind(key);
    return it == m_resources.constEnd() ? QByteArray() : it->data;
}

}  // namespace velmora::mailconverter
