#include "components/mailconverter/layout/HtmlContainer.h"

// clang-format off
#include <el_text.h>
// clang-format on

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace velmora::mailconverter {

namespace {

constexpr int kClientHeight = 1100;  // px; a page, for vh units and media queries

int Direction(const litehtml::element& el) {
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
int FirstStrong(const litehtml::element& el, int& budget) {
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

// A block whose text begins right to left and that is aligned to the start is aligned to
// its right edge, as plain text is: its right edge then, else -1; -2 for what is no block,
// where its block's answer holds.
int RightToLeftEdge(litehtml::element& el, int ax) {
    const litehtml::style_display display = el.get_display();
    if (display != litehtml::display_block && display != litehtml::display_list_item &&
        display != litehtml::display_table_cell) {
        return -2;
    }
    const char* align = el.get_style_property("text-align", true, "left");
    if (qstrcmp(align, "left") != 0 && qstrcmp(align, "start") != 0) {
        return -1;
    }
    int budget = 64;
    return FirstStrong(el, budget) < 0 ? ax + el.get_position().width : -1;
}

}  // namespace

HtmlLayout::Container::Container(const QHash<QString, MailResource>& resources,
                                 const HtmlStyle& style, qreal width, HtmlBudget* budget)
    : m_resources(resources),
      m_style(style),
      m_widthPx(int(width / kPointsPerPixel)),
      m_budget(budget ? *budget : m_ownBudget),
      m_guard(m_budget) {
    m_defaultSize = std::max(1, int(std::lround(style.pointSize / kPointsPerPixel)));
}

void HtmlLayout::Container::AddCapNotices(const HtmlCaps& caps) {
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
}

void HtmlLayout::Container::Load(const QString& html) {
    QString capped;
    const HtmlCaps caps = CapNesting(html, kMaxNesting, kMaxIndents, capped, &m_budget);
    AddCapNotices(caps);
    const QByteArray utf8 = capped.toUtf8();
    m_master = MasterContext(utf8);
    m_document = litehtml::document::createFromUTF8(utf8.constData(), this, m_master.get());
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
        m_notices << QStringLiteral("Words longer than %1 characters are broken across lines (%2).")
                         .arg(kMaxWordLength)
                         .arg(m_brokenWords);
    }
    m_notices << m_guard.Notices();
    Collect(m_document->root(), 0, 0, QString());
    ReorderRightToLeft();
    Emit();
}

// litehtml walks the whole tree for every draw, which would make painting grow with
// pages times elements: the document is drawn once into a list, and each page paints
// what reaches into it.
void HtmlLayout::Container::Paint(QPainter& painter, qreal top, qreal bottom) {
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

void HtmlLayout::Container::Record(const QRectF& extent, std::function<void(QPainter*)> paint) {
    int clip = -1;
    if (!m_clipStack.empty()) {
        if (m_clips.empty() || m_clips.back() != m_clipStack.back()) {
            m_clips.push_back(m_clipStack.back());
        }
        clip = int(m_clips.size()) - 1;
    }
    m_items.push_back({float(extent.top()), float(extent.bottom()), clip, std::move(paint)});
}

int HtmlLayout::Container::pt_to_px(int pt) const {
    return int(std::lround(pt / kPointsPerPixel));
}

void HtmlLayout::Container::transform_text(litehtml::tstring& text, litehtml::text_transform tt) {
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
void HtmlLayout::Container::import_css(litehtml::tstring& text, const litehtml::tstring&,
                                       litehtml::tstring&) {
    text.clear();
}

void HtmlLayout::Container::set_clip(const litehtml::position& pos,
                                     const litehtml::border_radiuses&, bool valid_x, bool valid_y) {
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

void HtmlLayout::Container::del_clip() {
    if (!m_clipStack.empty()) {
        m_clipStack.pop_back();
    }
}

void HtmlLayout::Container::get_client_rect(litehtml::position& client) const {
    client = litehtml::position(0, 0, m_widthPx, kClientHeight);
}

std::shared_ptr<litehtml::element> HtmlLayout::Container::create_element(
    const litehtml::tchar_t* tag_name, const litehtml::string_map& attributes,
    const std::shared_ptr<litehtml::document>& document) {
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
    return m_guard.CreateElement(tag_name, const_cast<litehtml::string_map&>(attributes), document);
}

void HtmlLayout::Container::get_media_features(litehtml::media_features& media) const {
    media.type = litehtml::media_type_screen;
    media.width = media.device_width = m_widthPx;
    media.height = media.device_height = kClientHeight;
    media.color = 8;
    media.color_index = 256;
    media.monochrome = 0;
    media.resolution = 96;
}

void HtmlLayout::Container::get_language(litehtml::tstring& language,
                                         litehtml::tstring& culture) const {
    language = "en";
    culture.clear();
}

// Every word, space and image with its place on the long page.
void HtmlLayout::Container::Collect(const litehtml::element::ptr& el, int x, int y,
                                    const QString& href, int rightEdge) {
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
void HtmlLayout::Container::ReorderRightToLeft() {
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

// The leaves [from, to) of one line moved to the right edge of their block where it asks
// for that.
void HtmlLayout::Container::AlignRightToLeft(size_t from, size_t to) {
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
void HtmlLayout::Container::Emit() {
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

void HtmlLayout::Container::AddLinkBox(const QString& url, const QRectF& box) {
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

}  // namespace velmora::mailconverter
