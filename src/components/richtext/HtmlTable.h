#pragma once

// A rich-text table collected cell by cell and written as an HTML table.

#include "components/richtext/CdRecords.h"

#include <QString>

#include <vector>

namespace velmora::richtext {

struct TableCell {
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
    bool hidden = false;  // covered by a spanning cell
    QString css;          // width, borders, background, alignment
    QString html;
};

struct TableModel {
    bool autoWidth = false;
    QString css;
    std::vector<TableCell> cells;
};

// The table from its CDTABLEBEGIN body (and the flags of a CDPRETABLEBEGIN before it).
TableModel StartTable(const Fields& begin, std::uint32_t preTableFlags);
// A cell from its CDTABLECELL body.
TableCell ReadCell(const Fields& cell, bool autoWidth);

// The table as HTML. A spanning cell may be given at the top-left or, as Notes writes it, at
// the bottom-right of the cells it covers; either way it is written where HTML wants it.
QString RenderTable(const TableModel& table);

}  // namespace velmora::richtext
