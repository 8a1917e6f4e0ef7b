#pragma once

#include <QByteArrayView>

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora::mailconverter {

// The most columns or rows one cell may span, as a few hundred is all mail ever needs.
inline constexpr int kMaxSpan = 256;

// A colspan or rowspan value as HTML reads a non-negative integer: blanks, an optional "+",
// digits, anything after them ignored; nothing when there are no digits or a "-" comes first.
// Capped at kMaxSpan.
std::optional<int> ParseSpan(QByteArrayView value);

struct CellSpans {
    int colspan = 1;
    int rowspan = 1;  // 0: to the end of the section
};

struct TableRowSpans {
    int section = 0;  // rows of one head, body or foot share it
    std::vector<CellSpans> cells;
};

struct SpanOutcome {
    std::int64_t grid = 0;  // rows times columns
    bool colspansDropped = false;
};

// The spans of a table made what it can hold, as browsers do: colspans of 1 to kMaxSpan,
// rowspans of 1 to the rows left in their section (0 reaching exactly there), and columns in
// which no cell starts folded into their neighbours. When the grid would still hold more
// than maxGrid cells, every colspan becomes 1.
SpanOutcome ResolveSpans(std::vector<TableRowSpans>& rows, std::int64_t maxGrid);

}  // namespace velmora::mailconverter
