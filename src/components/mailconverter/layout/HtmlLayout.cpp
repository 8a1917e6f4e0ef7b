#include "components/mailconverter/layout/HtmlLayout.h"

#include "components/mailconverter/layout/HtmlContainer.h"

#include <algorithm>

namespace velmora::mailconverter {

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
