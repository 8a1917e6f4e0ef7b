#include "components/mailconverter/layout/HtmlLayout.h"

// litehtml.h first: the element headers rely on its types.
#include <litehtml.h>
// clang-format off
#include <el_text.h>
// clang-format on

#include "components/mailconverter/base/ImageDecoder.h"
#include "components/mailconverter/layout/HtmlElements.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velmora::mailconverter {

namespace {

constexpr qreal kPointsPerPixel = 0.75;  // CSS: 96 px to the inch
constexpr qint64 kMaxImagePixels = 40'000'000;
constexpr int kClientHeight = 1100;  // px; a page, for vh units and media queries

// Ours: Debian's library ships none, and mail relies on the browsers' defaults.
constexpr const char* kMasterCss = R"css(
html, address, blockquote, body, dd, div, dl, dt, fieldset, form, frame, frameset,
h1, h2, h3, h4, h5, h6, noframes, ol, p, ul, center, dir, hr, menu, pre, header, footer,
section, article, nav, aside, main, figure, figcaption { display: block; }
li { display: list-item; }
head, style, script, title, meta, link, base, template, noscript { display: none; }
table { display: table; border-collapse: separate; border-spacing: 2px; }
tr { display: table-row; vertical-align: inherit; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
col { display: table-column; }
colgroup { display: table-column-group; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { font-weight: bold; text-align: center; }
caption { display: table-caption; text-align: center; }
body { margin: 8px; }
h1 { font-size: 2em; margin: .67em 0; font-weight: bold; }
h2 { font-size: 1.5em; margin: .75em 0; font-weight: bold; }
h3 { font-size: 1.17em; margin: .83em 0; font-weight: bold; }
h4 { margin: 1.12em 0; font-weight: bold; }
h5 { font-size: .83em; margin: 1.5em 0; font-weight: bold; }
h6 { font-size: .75em; margin: 1.67em 0; font-weight: bold; }
p, blockquote, ul, fieldset, form, ol, dl, dir, menu { margin: 1em 0; }
blockquote { margin-left: 40px; margin-right: 40px; }
b, strong { font-weight: bold; }
i, cite, em, var, address, dfn { font-style: italic; }
pre, tt, code, kbd, samp { font-family: monospace; }
pre { white-space: pre; margin: 1em 0; }
big { font-size: 1.17em; }
small { font-size: .83em; }
sub { vertical-align: sub; font-size: .83em; }
sup { vertical-align: super; font-size: .83em; }
s, strike, del { text-decoration: line-through; }
u, ins { text-decoration: underline; }
ol, ul, dir, menu, dd { margin-left: 0; padding-left: 40px; }
ol { list-style-type: decimal; }
ul { list-style-type: disc; }
ul ul, ol ul { list-style-type: circle; }
ol ol, ol ul, ul ol, ul ul { margin-top: 0; margin-bottom: 0; }
dd { margin-left: 40px; padding-left: 0; }
center { text-align: center; }
center table, table[align=center] { margin-left: auto; margin-right: auto; }
td[align=center], th[align=center], div[align=center], p[align=center], tr[align=center] { text-align: center; }
td[align=right], th[align=right], div[align=right], p[align=right], tr[align=right] { text-align: right; }
td[valign=top], th[valign=top], tr[valign=top] { vertical-align: top; }
td[valign=bottom], th[valign=bottom], tr[valign=bottom] { vertical-align: bottom; }
img[align=center] { display: block; margin-left: auto; margin-right: auto; }
table[border="1"], table[border="2"], table[border="3"] { border: 1px outset #808080; }
table[border="1"] > tbody > tr > td, table[border="1"] > tbody > tr > th,
table[border="2"] > tbody > tr > td, table[border="2"] > tbody > tr > th,
table[border="3"] > tbody > tr > td, table[border="3"] > tbody > tr > th { border: 1px inset #808080; }
[dir=rtl] { text-align: right; }
hr { display: block; height: 0; border: 0; border-top: 1px solid #c8c8c8; margin: .5em 0; }
a { color: #0645ad; text-decoration: underline; }
img { border: 0; display: inline-block; }
br { display: block; }
)css";

// One per thread: litehtml hands the master style sheet to every document as a mutable
// reference, so threads converting side by side each parse their own.
litehtml::context& SharedContext() {
    thread_local litehtml::context context = [] {
        litehtml::context created;
        // litehtml reads no cellpadding attribute; layout tables in mail lean on it. It
        // weighs these rules by specificity against the mail's own, so "0", where mail sets
        // its paddings itself, keeps the default.
        std::string css = kMasterCss;
        for (int n = 1; n <= 20; ++n) {
            const std::string value =
                "table[cellpadding=\"" + std::to_string(n) + "\"] > tbody > tr > ";
            css += value + "td, " + value + "th { padding: " + std::to_string(n) + "px; }\n";
        }
        created.load_master_stylesheet(css.c_str());
        return created;
    }();
    return context;
}

// A CSS family list as faces of this machine; the names mail uses most map to the faces
// with their metrics, as fontconfig's aliases do.
QStringList ResolveFamilies(const QString& cssList) {
    static const QHash<QString, QString> aliases = {
        {QStringLiteral("arial"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("helvetica"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("helvetica neue"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("sans-serif"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("times"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("times new roman"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("georgia"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("serif"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("courier"), QStringLiteral("Liberation Mono")},
        {QStringLiteral("courier new"), QStringLiteral("Liberation Mono")},
        {QStringLiteral("monospace"), QStringLiteral("DejaVu Sans Mono")},
        {QStringLiteral("verdana"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("tahoma"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("segoe ui"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("calibri"), QStringLiteral("Carlito")},
        {QStringLiteral("cambria"), QStringLiteral("Caladea")},
    };
    QStringList out;
    for (QString name : cssList.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        name = name.trimmed();
        if (name.size() >= 2 && (name.front() == QLatin1Char('"') || name.front() == u'\'')) {
            name = name.mid(1, name.size() - 2).trimmed();
        }
        // The generic names are families to Qt as well, answered with a face of its own
        // choosing (a proportional one for monospace): ours decide.
        const QString key = name.toLower();
        const bool generic = key == QLatin1String("serif") || key == QLatin1String("sans-serif") ||
                             key == QLatin1String("monospace");
        const QStringList direct = generic ? QStringList() : InstalledFamilies({name});
        if (!direct.isEmpty()) {
            out << direct;
        } else if (const auto it = aliases.constFind(key); it != aliases.constEnd()) {
            out << InstalledFamilies({*it});
        }
    }
    out.removeDuplicates();
    return out;
}

QColor ToQColor(const litehtml::web_color& c) {
    return QColor(c.red, c.green, c.blue, c.alpha);
}

QRectF ToRect(const litehtml::position& p) {
    return QRectF(p.x, p.y, p.width, p.height);
}

bool BreaksAnywhere(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

// Bytes of the UTF-8 sequence at `at`; 1 for a byte that starts none.
size_t Utf8Length(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
    for (size_t i = 1; i < length; ++i) {
        if (at + i >= text.size() || (static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

char32_t Utf8Decode(std::string_view text, size_t from, size_t to) {
    const auto lead = static_cast<unsigned char>(text[from]);
    if (to - from == 1) {
        return lead < 0x80 ? lead : 0xFFFD;
    }
    char32_t c = lead & (0x7F >> (to - from));
    for (size_t i = from + 1; i < to; ++i) {
        c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    return c;
}

// Where a word that is an e-mail address or a link longer than a short line may wrap: after
// "/" (not inside "//") and ".", before "@". None for other words.
std::vector<size_t> LinkBreaks(std::string_view word) {
    constexpr size_t kShortest = 30;  // bytes; shorter ones fit any column
    std::vector<size_t> breaks;
    const bool link = word.find('@') != std::string_view::npos ||
                      word.find("://") != std::string_view::npos || word.substr(0, 4) == "www." ||
                      word.substr(0, 4) == "WWW.";
    if (!link || word.size() <= kShortest) {
        return breaks;
    }
    for (size_t i = 1; i + 1 < word.size(); ++i) {
        const char c = word[i];
        if ((c == '.' ||
             (c == '/' && word[i + 1] != '/' && word[i - 1] != ':' && word[i - 1] != '/')) ||
            (word[i + 1] == '@')) {
            breaks.push_back(i + 1);
        }
    }
    return breaks;
}

}  // namespace

QStringList InstalledFamilies(const QStringList& wanted) {
    static const QStringList available = QFontDatabase::families();
    QStringList found;
    for (const QString& family : wanted) {
        if (available.contains(family, Qt::CaseInsensitive)) {
            found << family;
        }
    }
    return found;
}

// ---------------------------------------------------------------------------------------

PageBreaker::PageBreaker(std::vector<Span> lines) {
    std::sort(lines.begin(), lines.end(),
              [](const Span& a, const Span& b) { return a.top < b.top; });
    m_tops.reserve(lines.size());
    for (const Span& line : lines) {
        if (line.bottom <= line.top) {
            continue;
        }
        m_tops.push_back(line.top);
        if (!m_blocks.empty() && line.top < m_blocks.back().bottom) {
            m_blocks.back().bottom = std::max(m_blocks.back().bottom, line.bottom);
        } else {
            m_blocks.push_back(line);
        }
    }
}

qreal PageBreaker::Next(qreal start, qreal limit) const {
    // The block that reaches over the limit, if any: the last one starting above it.
    auto it = std::lower_bound(m_blocks.begin(), m_blocks.end(), limit,
                               [](const Span& block, qreal y) { return block.top < y; });
    if (it == m_blocks.begin()) {
        return limit;
    }
    --it;
    if (it->bottom <= limit) {
        return limit;
    }
    if (it->top > start) {
        return it->top;
    }
    // Taller than a page from here: break above the last of its lines that starts here.
    auto top = std::lower_bound(m_tops.begin(), m_tops.end(), limit);
    while (top != m_tops.begin()) {
        --top;
        if (*top <= start) {
            break;
        }
        if (*top < limit) {
            return *top;
        }
    }
    return limit;
}

// ---------------------------------------------------------------------------------------

class HtmlLayout::Container final : public litehtml::document_container {
  public:
    Container(const QHash<QString, MailResource>& resources, const HtmlStyle& style, qreal width,
              HtmlBudget* budget)
        : m_resources(resources),
          m_style(style),
          m_widthPx(int(width / kPointsPerPixel)),
          m_budget(budget ? *budget : m_ownBudget),
          m_guard(m_budget) {
        m_defaultSize = std::max(1, int(std::lround(style.pointSize / kPointsPerPixel)));
    }

    void Load(const QString& html) {
        QString capped;
        const HtmlCaps caps = CapNesting(html, kMaxNesting, kMaxIndents, capped, &m_budget);
        if (caps.droppedTags > 0) {
            m_notices << QStringLiteral(
                             "Elements nested more than %1 deep are shown without their own "
                             "layout (%2 tags).")
                             .arg(kMaxNesting)
                             .arg(caps.droppedTags);
        }
        if (caps.beyondElements > 0) {
            m_notices << QStringLiteral(
                             "Only the first elements are laid out (at most %1 in a part); the "
                             "rest is shown as text.")
                             .arg(kMaxElements);
        }
        if (caps.ungriddedTags > 0) {
            m_notices << QStringLiteral(
                             "Tables past the cells a message may lay out are shown without "
                             "their grid (%1 tags).")
                             .arg(caps.ungriddedTags);
        }
        if (caps.droppedStyleChars > 0) {
            m_notices << QStringLiteral(
                             "Style sheets past %1 characters were left out (%2 characters).")
                             .arg(HtmlBudget().styleChars)
                             .arg(caps.droppedStyleChars);
        }
        if (caps.splitTables > 0) {
            m_notices << QStringLiteral("Tables of more than %1 rows are laid out in parts.")
                             .arg(kMaxTableRows);
        }
        if (caps.flattenedIndents > 0) {
            m_notices << QStringLiteral("Indents nested more than %1 deep are not shown (%2).")
                             .arg(kMaxIndents)
                             .arg(caps.flattenedIndents);
        }
        const QByteArray utf8 = capped.toUtf8();
        m_document = litehtml::document::createFromUTF8(utf8.constData(), this, &SharedContext());
        m_document->render(m_widthPx);
        // Wider than the column, as mail made for a wide screen is: shrunk to fit, as
        // browsers print it, down to a quarter.
        if (m_document->width() > m_widthPx) {
            const int wide = std::min(m_document->width(), 4 * m_widthPx);
            m_document->render(wide);
            m_ptPerPx = kPointsPerPixel * m_widthPx / wide;
            m_widthPx = wide;
        }
        if (m_brokenWords > 0) {
            m_notices << QStringLiteral(
                             "Words longer than %1 characters are broken across lines (%2).")
                             .arg(kMaxWordLength)
                             .arg(m_brokenWords);
        }
        m_notices << m_guard.Notices();
        Collect(m_document->root(), 0, 0, QString());
        ReorderRightToLeft();
        Emit();
    }

    qreal Height() const { return m_document ? m_document->height() * m_ptPerPx : 0; }

    // litehtml walks the whole tree for every draw, which would make painting grow with
    // pages times elements: the document is drawn once into a list, and each page paints
    // what reaches into it.
    void Paint(QPainter& painter, qreal top, qreal bottom) {
        if (!m_document) {
            return;
        }
        if (!m_recorded) {
            const litehtml::position all(-m_widthPx, -1, 3 * m_widthPx, m_document->height() + 2);
            m_document->draw(0, 0, 0, &all);
            m_recorded = true;
            m_firstTop.resize(m_items.size());
            float lowest = std::numeric_limits<float>::max();
            for (size_t i = m_items.size(); i-- > 0;) {
                lowest = std::min(lowest, m_items[i].top);
                m_firstTop[i] = lowest;
            }
        }
        painter.save();
        painter.scale(m_ptPerPx, m_ptPerPx);
        const qreal topPx = top / m_ptPerPx;
        const qreal bottomPx = bottom / m_ptPerPx;
        painter.setClipRect(QRectF(-m_widthPx, topPx, 3 * m_widthPx, bottomPx - topPx));
        for (size_t i = 0; i < m_items.size() && m_firstTop[i] < bottomPx; ++i) {
            const Item& item = m_items[i];
            if (item.bottom <= topPx || item.top >= bottomPx) {
                continue;
            }
            if (item.clip >= 0) {
                painter.save();
                painter.setClipRect(m_clips[item.clip], Qt::IntersectClip);
                item.paint(&painter);
                painter.restore();
            } else {
                item.paint(&painter);
            }
        }
        painter.restore();
    }

    std::vector<Span> m_lines;
    std::vector<PdfLink> m_links;
    QStringList m_notices;

    // --- document_container ------------------------------------------------------------

    litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight,
                                   litehtml::font_style italic, unsigned int decoration,
                                   litehtml::font_metrics* fm) override {
        QStringList families = ResolveFamilies(QString::fromUtf8(faceName));
        if (families.isEmpty()) {
            families = InstalledFamilies({QStringLiteral("DejaVu Sans")});
        }
        families << m_style.families;
        families.removeDuplicates();
        QFont font;
        font.setFamilies(families);
        font.setPixelSize(std::max(1, size));
        font.setWeight(QFont::Weight(std::clamp(weight, 100, 900)));
        font.setItalic(italic == litehtml::fontStyleItalic);
        font.setUnderline(decoration & litehtml::font_decoration_underline);
        font.setStrikeOut(decoration & litehtml::font_decoration_linethrough);
        font.setOverline(decoration & litehtml::font_decoration_overline);
        // A PDF has no pixel grid: hinting would only cost time and shift the advances.
        font.setHintingPreference(QFont::PreferNoHinting);
        font.setKerning(true);
        auto entry = std::make_unique<Font>(font);
        if (fm) {
            const QFontMetricsF& m = entry->metrics;
            fm->ascent = int(std::ceil(m.ascent()));
            fm->descent = int(std::ceil(m.descent()));
            fm->height = fm->ascent + fm->descent;
            fm->x_height = int(std::lround(m.xHeight()));
            fm->draw_spaces = font.underline() || font.strikeOut() || font.overline();
            entry->descent = fm->descent;
        }
        m_fonts.push_back(std::move(entry));
        return m_fonts.size();
    }

    void delete_font(litehtml::uint_ptr) override {}

    // Mail repeats its words: each is shaped once per font, not once per occurrence.
    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) override {
        Font* font = FontOf(hFont);
        if (!font) {
            return 0;
        }
        const auto [it, inserted] = font->widths.try_emplace(text, 0);
        if (inserted) {
            it->second = int(std::ceil(font->metrics.horizontalAdvance(QString::fromUtf8(text))));
        }
        return it->second;
    }

    void draw_text(litehtml::uint_ptr, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
                   litehtml::web_color color, const litehtml::position& pos) override {
        Record(ToRect(pos), [this, word = std::string(text), hFont, color, pos](QPainter* p) {
            DrawText(Hdc(p), word.c_str(), hFont, color, pos);
        });
    }

    void DrawText(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
                  litehtml::web_color color, const litehtml::position& pos) {
        QPainter* painter = PainterOf(hdc);
        const Font* font = FontOf(hFont);
        if (!painter || !font) {
            return;
        }
        painter->setFont(font->font);
        painter->setPen(ToQColor(color));
        painter->drawText(QPointF(pos.x, pos.bottom() - font->descent), QString::fromUtf8(text));
    }

    int pt_to_px(int pt) const override { return int(std::lround(pt / kPointsPerPixel)); }
    int get_default_font_size() const override { return m_defaultSize; }
    const litehtml::tchar_t* get_default_font_name() const override { return "DejaVu Sans"; }

    void draw_list_marker(litehtml::uint_ptr, const litehtml::list_marker& marker) override {
        Record(ToRect(marker.pos), [this, marker, image = marker.image](QPainter* p) {
            litehtml::list_marker copy = marker;
            copy.image = image;
            DrawListMarker(Hdc(p), copy);
        });
    }

    void DrawListMarker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) {
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
        QString label;
        switch (marker.marker_type) {
            case litehtml::list_style_type_lower_alpha:
            case litehtml::list_style_type_lower_latin:
                label = QChar(char16_t(u'a' + (marker.index - 1) % 26));
                break;
            case litehtml::list_style_type_upper_alpha:
            case litehtml::list_style_type_upper_latin:
                label = QChar(char16_t(u'A' + (marker.index - 1) % 26));
                break;
            case litehtml::list_style_type_lower_roman:
                label = Roman(marker.index).toLower();
                break;
            case litehtml::list_style_type_upper_roman:
                label = Roman(marker.index);
                break;
            case litehtml::list_style_type_decimal_leading_zero:
                label = QStringLiteral("%1").arg(marker.index, 2, 10, QLatin1Char('0'));
                break;
            default:
                label = QString::number(marker.index);
                break;
        }
        label += QLatin1Char('.');
        const qreal width = font->metrics.horizontalAdvance(label);
        painter->setFont(font->font);
        painter->setPen(color);
        // The marker box sits before the line; its number ends a little before the text.
        const qreal right = box.left() + box.width() + font->font.pixelSize() * 0.25;
        painter->drawText(QPointF(right - width, box.bottom()), label);
    }

    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t*, bool) override {
        Image(QString::fromUtf8(src));
    }

    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t*,
                        litehtml::size& sz) override {
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

    void draw_background(litehtml::uint_ptr, const litehtml::background_paint& bg) override {
        Record(ToRect(bg.clip_box), [this, bg](QPainter* p) { DrawBackground(Hdc(p), bg); });
    }

    void DrawBackground(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) {
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
                repeatX ? origin.x() -
                              std::ceil((origin.x() - clip.left()) / size.width()) * size.width()
                        : origin.x();
            const qreal y0 =
                repeatY ? origin.y() -
                              std::ceil((origin.y() - clip.top()) / size.height()) * size.height()
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

    void draw_borders(litehtml::uint_ptr, const litehtml::borders& borders,
                      const litehtml::position& draw_pos, bool) override {
        Record(ToRect(draw_pos),
               [this, borders, draw_pos](QPainter* p) { DrawBorders(Hdc(p), borders, draw_pos); });
    }

    void DrawBorders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
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
        side(borders.right, QRectF(box.right() - borders.right.width, box.top(),
                                   borders.right.width, box.height()));
    }

    void set_caption(const litehtml::tchar_t*) override {}
    void set_base_url(const litehtml::tchar_t*) override {}
    void link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) override {}
    void on_anchor_click(const litehtml::tchar_t*, const litehtml::element::ptr&) override {}
    void set_cursor(const litehtml::tchar_t*) override {}

    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override {
        QString value = QString::fromUtf8(text.c_str());
        if (tt == litehtml::text_transform_uppercase) {
            value = value.toUpper();
        } else if (tt == litehtml::text_transform_lowercase) {
            value = value.toLower();
        } else if (tt == litehtml::text_transform_capitalize && !value.isEmpty()) {
            value[0] = value[0].toUpper();
        }
        text = value.toStdString();
    }

    // Style sheets outside the message are never fetched.
    void import_css(litehtml::tstring& text, const litehtml::tstring&,
                    litehtml::tstring&) override {
        text.clear();
    }

    void set_clip(const litehtml::position& pos, const litehtml::border_radiuses&, bool valid_x,
                  bool valid_y) override {
        QRectF rect = ToRect(pos);
        if (!valid_x) {
            rect.setLeft(-1e6);
            rect.setRight(1e6);
        }
        if (!valid_y) {
            rect.setTop(-1e7);
            rect.setBottom(1e7);
        }
        m_clipStack.push_back(m_clipStack.empty() ? rect : m_clipStack.back().intersected(rect));
    }

    void del_clip() override {
        if (!m_clipStack.empty()) {
            m_clipStack.pop_back();
        }
    }

    void get_client_rect(litehtml::position& client) const override {
        client = litehtml::position(0, 0, m_widthPx, kClientHeight);
    }

    std::shared_ptr<litehtml::element> create_element(
        const litehtml::tchar_t* tag_name, const litehtml::string_map& attributes,
        const std::shared_ptr<litehtml::document>& document) override {
        if (qstrcmp(tag_name, "img") == 0) {
            const auto src = attributes.find("src");
            const auto alt = attributes.find("alt");
            if (src != attributes.end()) {
                QString text =
                    alt != attributes.end() ? QString::fromUtf8(alt->second.c_str()) : QString();
                m_alts.insert(QString::fromUtf8(src->second.c_str()),
                              text.isEmpty() ? QStringLiteral("Image not loaded") : text);
            }
        }
        // The only place where the attributes stand decoded before the library reads them.
        // It hands over a map of its own that it reads again after this call, so cleaning
        // it in place is what the library will use.
        return m_guard.CreateElement(tag_name, const_cast<litehtml::string_map&>(attributes),
                                     document);
    }

    void get_media_features(litehtml::media_features& media) const override {
        media.type = litehtml::media_type_screen;
        media.width = media.device_width = m_widthPx;
        media.height = media.device_height = kClientHeight;
        media.color = 8;
        media.color_index = 256;
        media.monochrome = 0;
        media.resolution = 96;
    }

    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override {
        language = "en";
        culture.clear();
    }

    // Words end at white space; CJK text may break after any character, and a word longer
    // than kMaxWordLength is cut into pieces that can wrap, so that no line is wider than
    // the page and no measurement is of a megabyte.
    // Works on the UTF-8 bytes as they come: one string per word, not per character.
    void split_text(const char* text, const std::function<void(const litehtml::tchar_t*)>& on_word,
                    const std::function<void(const litehtml::tchar_t*)>& on_space) override {
        const std::string_view value(text);
        std::string piece;
        size_t wordStart = 0;
        size_t wordChars = 0;  // characters of the word since wordStart
        int length = 0;        // characters of the whole word, pieces given out included
        bool broken = false;
        const auto emit = [&](size_t from, size_t to,
                              const std::function<void(const litehtml::tchar_t*)>& to_callback) {
            piece.assign(value.substr(from, to - from));
            to_callback(piece.c_str());
        };
        size_t at = 0;
        const auto flush = [&] {
            if (at > wordStart) {
                // An address or a link may wrap after "/" or "." or before "@", never at
                // its hyphens, so that a search finds it whole.
                size_t from = wordStart;
                if (length < kMaxWordLength) {
                    for (const size_t to : LinkBreaks(value.substr(wordStart, at - wordStart))) {
                        emit(from, wordStart + to, on_word);
                        from = wordStart + to;
                    }
                }
                emit(from, at, on_word);
            }
            wordChars = 0;
        };
        while (at < value.size()) {
            const size_t next = at + Utf8Length(value, at);
            const char32_t c = Utf8Decode(value, at, next);
            if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
                flush();
                length = 0;
                emit(at, next, on_space);
                wordStart = next;
            } else if (BreaksAnywhere(c)) {
                flush();
                emit(at, next, on_word);
                wordStart = next;
            } else {
                ++length;
                ++wordChars;
                if (length == kMaxWordLength) {
                    // Too long to be a word: what came so far goes out in pieces, and so
                    // does the rest.
                    broken = true;
                    for (size_t from = wordStart; from < next;) {
                        size_t to = from;
                        for (int n = 0; n < kPieceLength && to < next; ++n) {
                            to += Utf8Length(value, to);
                        }
                        emit(from, to, on_word);
                        from = to;
                    }
                    wordStart = next;
                    wordChars = 0;
                } else if (length > kMaxWordLength && int(wordChars) >= kPieceLength) {
                    at = next;
                    flush();
                    wordStart = next;
                    continue;
                }
            }
            at = next;
        }
        if (broken) {
            ++m_brokenWords;
        }
        flush();
    }

  private:
    static constexpr int kPieceLength = 40;

    struct Font {
        explicit Font(const QFont& f) : font(f), metrics(f) {}
        QFont font;
        QFontMetricsF metrics;
        int descent = 0;
        std::unordered_map<std::string, int> widths;  // of words measured in this font
    };

    Font* FontOf(litehtml::uint_ptr handle) const {
        return handle > 0 && handle <= m_fonts.size() ? m_fonts[handle - 1].get() : nullptr;
    }

    static QPainter* PainterOf(litehtml::uint_ptr hdc) { return reinterpret_cast<QPainter*>(hdc); }
    static litehtml::uint_ptr Hdc(QPainter* painter) {
        return reinterpret_cast<litehtml::uint_ptr>(painter);
    }

    struct Item {
        float top;
        float bottom;
        int clip;  // into m_clips, or -1
        std::function<void(QPainter*)> paint;
    };

    void Record(const QRectF& extent, std::function<void(QPainter*)> paint) {
        int clip = -1;
        if (!m_clipStack.empty()) {
            if (m_clips.empty() || m_clips.back() != m_clipStack.back()) {
                m_clips.push_back(m_clipStack.back());
            }
            clip = int(m_clips.size()) - 1;
        }
        m_items.push_back({float(extent.top()), float(extent.bottom()), clip, std::move(paint)});
    }

    static QString Roman(int n) {
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

    QFont PlaceholderFont() const {
        QFont font;
        font.setFamilies(InstalledFamilies({QStringLiteral("DejaVu Sans")}) + m_style.families);
        font.setPixelSize(std::max(8, m_defaultSize - 2));
        font.setHintingPreference(QFont::PreferNoHinting);
        return font;
    }

    void DrawPlaceholder(QPainter& painter, const QRectF& box, const QString& alt) const {
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
        painter.drawText(box.adjusted(4, 2, -4, -2),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, alt);
        painter.restore();
    }

    // Decoded once per source; null for whatever is not in the message.
    const QImage* Image(const QString& src) {
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
                data = text.left(comma).toLower().endsWith(";base64")
                           ? QByteArray::fromBase64(payload)
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

    QByteArray Lookup(const QString& key) const {
        const auto it = m_resources.constFind(key);
        return it == m_resources.constEnd() ? QByteArray() : it->data;
    }

    struct Leaf {
        litehtml::element* element;
        int x, y, width, height;  // px, from the document's top left
        QString link;
        int direction;  // 1 left to right, -1 right to left, 0 neither (spaces, digits)
        bool counts;    // text or image, not white space
        int rightEdge;  // px; of a block aligned right for its right-to-left text, else -1
    };

    static int Direction(const litehtml::element& el) {
        litehtml::tstring text;
        const_cast<litehtml::element&>(el).get_text(text);
        for (const QChar c : QString::fromUtf8(text.c_str())) {
            switch (c.direction()) {
                case QChar::DirL:
                    return 1;
                case QChar::DirR:
                case QChar::DirAL:
                    return -1;
                default:
                    break;
            }
        }
        return 0;
    }

    // The direction of the first strong character among the first words under `el`.
    static int FirstStrong(const litehtml::element& el, int& budget) {
        const size_t children = el.get_children_count();
        if (children == 0) {
            --budget;
            return dynamic_cast<const litehtml::el_text*>(&el) ? Direction(el) : 0;
        }
        for (size_t i = 0; i < children && budget > 0; ++i) {
            const litehtml::element::ptr child = el.get_child(int(i));
            if (child && child->get_display() != litehtml::display_none) {
                if (const int direction = FirstStrong(*child, budget)) {
                    return direction;
                }
            }
        }
        return 0;
    }

    // A block whose text begins right to left and that is aligned to the start is aligned
    // to its right edge, as plain text is: its right edge then, else -1.
    static int RightToLeftEdge(litehtml::element& el, int ax) {
        const litehtml::style_display display = el.get_display();
        if (display != litehtml::display_block && display != litehtml::display_list_item &&
            display != litehtml::display_table_cell) {
            return -2;  // not a block: its block's answer holds
        }
        const char* align = el.get_style_property("text-align", true, "left");
        if (qstrcmp(align, "left") != 0 && qstrcmp(align, "start") != 0) {
            return -1;
        }
        int budget = 64;
        return FirstStrong(el, budget) < 0 ? ax + el.get_position().width : -1;
    }

    // Every word, space and image with its place on the long page.
    void Collect(const litehtml::element::ptr& el, int x, int y, const QString& href,
                 int rightEdge = -1) {
        if (!el || el->get_display() == litehtml::display_none) {
            return;
        }
        const litehtml::position& pos = el->get_position();
        const int ax = x + pos.x;
        const int ay = y + pos.y;
        if (const int edge = RightToLeftEdge(*el, ax); edge != -2) {
            rightEdge = edge;
        }
        QString link = href;
        const char* tag = el->get_tagName();
        if (tag && qstrcmp(tag, "a") == 0) {
            if (const char* target = el->get_attr("href")) {
                link = QString::fromUtf8(target).trimmed();
            }
        }
        const size_t children = el->get_children_count();
        if (children == 0) {
            const bool text = dynamic_cast<litehtml::el_text*>(el.get()) != nullptr;
            if (text || el->is_replaced()) {
                const bool counts = el->is_replaced() || !el->is_white_space();
                m_leaves.push_back({el.get(), ax, ay, pos.width, pos.height, link,
                                    text && counts ? Direction(*el) : 0, counts, rightEdge});
            }
            return;
        }
        for (size_t i = 0; i < children; ++i) {
            Collect(el->get_child(int(i)), ax, ay, link, rightEdge);
        }
    }

    // litehtml places the words of a line left to right in the order they were written;
    // a run of right-to-left words is mirrored within its own extent so that it reads
    // as written.
    void ReorderRightToLeft() {
        size_t i = 0;
        while (i < m_leaves.size()) {
            // One line: following leaves that overlap vertically and move rightwards.
            size_t end = i + 1;
            while (end < m_leaves.size() && m_leaves[end].x >= m_leaves[end - 1].x &&
                   m_leaves[end].y < m_leaves[end - 1].y + m_leaves[end - 1].height &&
                   m_leaves[end - 1].y < m_leaves[end].y + m_leaves[end].height) {
                ++end;
            }
            for (size_t k = i; k < end;) {
                if (m_leaves[k].direction >= 0) {
                    ++k;
                    continue;
                }
                size_t last = k;
                for (size_t m = k + 1; m < end && m_leaves[m].direction <= 0; ++m) {
                    if (m_leaves[m].direction < 0) {
                        last = m;
                    }
                }
                if (last > k) {
                    const int left = m_leaves[k].x;
                    const int right = m_leaves[last].x + m_leaves[last].width;
                    for (size_t m = k; m <= last; ++m) {
                        Leaf& leaf = m_leaves[m];
                        const int mirrored = left + right - (leaf.x + leaf.width);
                        leaf.element->get_position().x += mirrored - leaf.x;
                        leaf.x = mirrored;
                    }
                }
                k = last + 1;
            }
            AlignRightToLeft(i, end);
            i = end;
        }
    }

    // The leaves [from, to) of one line moved to the right edge of their block where it
    // asks for that.
    void AlignRightToLeft(size_t from, size_t to) {
        for (size_t k = from; k < to;) {
            const int edge = m_leaves[k].rightEdge;
            size_t end = k + 1;
            while (end < to && m_leaves[end].rightEdge == edge) {
                ++end;
            }
            int right = std::numeric_limits<int>::min();
            for (size_t m = k; m < end; ++m) {
                if (m_leaves[m].counts) {
                    right = std::max(right, m_leaves[m].x + m_leaves[m].width);
                }
            }
            if (edge >= 0 && right != std::numeric_limits<int>::min() && right < edge) {
                for (size_t m = k; m < end; ++m) {
                    m_leaves[m].element->get_position().x += edge - right;
                    m_leaves[m].x += edge - right;
                }
            }
            k = end;
        }
    }

    // Text and images as spans for page breaks; links as the boxes of their contents.
    void Emit() {
        for (const Leaf& leaf : m_leaves) {
            if (!leaf.counts) {
                continue;
            }
            const QRectF box(leaf.x * m_ptPerPx, leaf.y * m_ptPerPx, leaf.width * m_ptPerPx,
                             leaf.height * m_ptPerPx);
            if (box.height() > 0) {
                m_lines.push_back({box.top(), box.bottom()});
            }
            if (!leaf.link.isEmpty() && !box.isEmpty()) {
                AddLinkBox(leaf.link, box);
            }
        }
        m_leaves.clear();
        m_leaves.shrink_to_fit();
    }

    void AddLinkBox(const QString& url, const QRectF& box) {
        // Words of one link on one line make one box.
        if (!m_links.empty()) {
            PdfLink& last = m_links.back();
            if (last.url == url && std::abs(last.rect.top() - box.top()) < 0.5 &&
                std::abs(box.left() - last.rect.right()) < box.height()) {
                last.rect = last.rect.united(box);
                return;
            }
        }
        m_links.push_back({0, box, url});
    }

    const QHash<QString, MailResource>& m_resources;
    HtmlStyle m_style;
    int m_widthPx;
    qreal m_ptPerPx = kPointsPerPixel;
    int m_defaultSize = 13;
    int m_brokenWords = 0;
    bool m_recorded = false;
    std::vector<Item> m_items;
    std::vector<float> m_firstTop;  // the least top of the items from here on
    std::vector<QRectF> m_clips;
    std::vector<QRectF> m_clipStack;
    std::vector<std::unique_ptr<Font>> m_fonts;
    std::unordered_map<QString, QImage> m_images;
    QHash<QString, QString> m_alts;
    std::vector<Leaf> m_leaves;
    HtmlBudget m_ownBudget;
    HtmlBudget& m_budget;
    HtmlGuard m_guard;
    litehtml::document::ptr m_document;
};

// ---------------------------------------------------------------------------------------

HtmlLayout::HtmlLayout(const QString& html, const QHash<QString, MailResource>& resources,
                       const HtmlStyle& style, qreal width, HtmlBudget* budget)
    : m_container(std::make_unique<Container>(resources, style, width, budget)) {
    m_container->Load(html);
}

HtmlLayout::~HtmlLayout() = default;

qreal HtmlLayout::Height() const {
    return m_container->Height();
}
const std::vector<Span>& HtmlLayout::Lines() const {
    return m_container->m_lines;
}
const std::vector<PdfLink>& HtmlLayout::Links() const {
    return m_container->m_links;
}
const QStringList& HtmlLayout::Notices() const {
    return m_container->m_notices;
}

void HtmlLayout::Paint(QPainter& painter, qreal top, qreal bottom) const {
    m_container->Paint(painter, top, bottom);
}

}  // namespace velmora::mailconverter
