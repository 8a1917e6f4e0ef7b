#pragma once

// litehtml.h first: the element headers rely on its types.
#include <litehtml.h>

#include "components/mailconverter/layout/HtmlCaps.h"

#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

namespace velmora::mailconverter {

// Builds the layout library's tree with elements of ours where hostile HTML could make it
// unbounded: table cells whose spans are resolved against their table before the library
// builds its grid, style sheets capped against the elements they can reach, and style
// attributes without what expands without bound. One per HTML part.
class HtmlGuard {
  public:
    explicit HtmlGuard(HtmlBudget& budget) : m_budget(budget) {}

    // The element for `tag`, or null for the library's own; `attributes` are cleaned in place.
    std::shared_ptr<litehtml::element> CreateElement(
        const char* tag, litehtml::string_map& attributes,
        const std::shared_ptr<litehtml::document>& document);

    // What was left out, for the page.
    QStringList Notices() const;

    // For the elements of ours.
    QString CapSheet(const QString& css, litehtml::document& document);
    // `cell` is one this guard created for a td or th.
    void ResolveTableOf(litehtml::element& cell);

  private:
    HtmlBudget& m_budget;
    std::optional<ElementCensus> m_census;
    StyleCapCounts m_style;
    int m_unspannedTables = 0;
};

}  // namespace velmora::mailconverter
