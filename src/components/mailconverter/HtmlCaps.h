#pragma once

#include <QString>

namespace velmora::mailconverter {

struct HtmlCaps {
    int droppedTags = 0;       // elements below the nesting cap, unwrapped
    int flattenedIndents = 0;  // lists, quotes and styled blocks past the indent cap
    int beyondElements = 0;    // tags past HtmlLayout::kMaxElements, left out
    int splitTables = 0;       // times a long table was ended and begun again
};

// `html` into `out` with elements nested deeper than `maxNesting` unwrapped, indenting
// elements past `maxIndents` open ones written as plain blocks, and tables broken into
// tables of HtmlLayout::kMaxTableRows rows; the text stays.
HtmlCaps CapNesting(const QString& html, int maxNesting, int maxIndents, QString& out);

}  // namespace velmora::mailconverter
