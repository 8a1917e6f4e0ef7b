#pragma once

#include "components/mailconverter/layout/StyleCaps.h"

#include <QString>

#include <cstdint>

namespace velmora::mailconverter {

// What the HTML parts of one message may still use together, so that no message needs more
// than a few hundred MB whatever its HTML. Shared by the parts in the order they are laid out.
struct HtmlBudget {
    std::int64_t chars = 1'000'000;          // HTML laid out; later parts are shown as their text
    std::int64_t elements = 100'000;         // as the HTML parser makes them, at most
    std::int64_t tagGridCells = 500'000;     // table grids as their tags give them, spans aside
    std::int64_t spanGridCells = 1'000'000;  // the same with the spans resolved
    std::int64_t styleChars = 512 * 1024;    // style element text as written
    StyleBudget style;
};

struct HtmlCaps {
    int droppedTags = 0;        // elements below the nesting cap, unwrapped
    int flattenedIndents = 0;   // lists, quotes and styled blocks past the indent cap
    int beyondElements = 0;     // tags past the element cap, left out
    int splitTables = 0;        // times a long table was ended and begun again
    int ungriddedTags = 0;      // table tags past the grid budget, unwrapped
    int droppedStyleChars = 0;  // style element text past its budget
};

// `html` into `out` with elements nested deeper than `maxNesting` unwrapped, indenting
// elements past `maxIndents` open ones written as plain blocks, tables broken into tables of
// HtmlLayout::kMaxTableRows rows, and past the budget (a part's own when none is given) table
// tags unwrapped, style text left out and, past the elements, every tag left out; the text
// stays. Elements are counted as the HTML parser will make them, formatting elements it
// makes again after a block closed them included.
HtmlCaps CapNesting(const QString& html, int maxNesting, int maxIndents, QString& out,
                    HtmlBudget* budget = nullptr);

}  // namespace velmora::mailconverter
