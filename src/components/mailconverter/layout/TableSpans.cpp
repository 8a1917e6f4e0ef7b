#include "components/mailconverter/layout/TableSpans.h"

#include <algorithm>

namespace velmora::mailconverter {

namespace {

// Places every cell left to right below the cells that reach down from rows above; the
// column each cell starts in, by row; answers the width of the grid.
int Place(const std::vector<TableRowSpans>& rows, std::vector<std::vector<int>>& starts) {
    std::vector<int> freeFrom;  // by column: the first row not covered from above
    starts.assign(rows.size(), {});
    for (size_t r = 0; r < rows.size(); ++r) {
        size_t column = 0;
        for (const CellSpans& cell : rows[r].cells) {
            while (column < freeFrom.size() && freeFrom[column] > int(r)) {
                ++column;
            }
            starts[r].push_back(int(column));
            const size_t end = column + size_t(cell.colspan);
            if (freeFrom.size() < end) {
                freeFrom.resize(end, 0);
            }
            std::fill(freeFrom.begin() + std::ptrdiff_t(column),
                      freeFrom.begin() + std::ptrdiff_t(end), int(r) + cell.rowspan);
            column = end;
        }
    }
    return int(freeFrom.size());
}

}  // namespace

std::optional<int> ParseSpan(QByteArrayView value) {
    qsizetype i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t' || value[i] == '\n' ||
                                value[i] == '\r' || value[i] == '\f')) {
        ++i;
    }
    if (i < value.size() && value[i] == '+') {
        ++i;
    }
    if (i == value.size() || value[i] < '0' || value[i] > '9') {
        return std::nullopt;
    }
    int number = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
        number = std::min(kMaxSpan, number * 10 + (value[i] - '0'));
    }
    return number;
}

SpanOutcome ResolveSpans(std::vector<TableRowSpans>& rows, std::int64_t maxGrid) {
    const int count = int(rows.size());
    int sectionEnd = count - 1;
    for (int r = count - 1; r >= 0; --r) {
        if (r + 1 < count && rows[r + 1].section != rows[r].section) {
            sectionEnd = r;
        }
        const int left = sectionEnd - r + 1;
        for (CellSpans& cell : rows[r].cells) {
            cell.colspan = std::clamp(cell.colspan, 1, kMaxSpan);
            cell.rowspan = cell.rowspan <= 0 ? left : std::min({cell.rowspan, left, kMaxSpan});
        }
    }
    std::vector<std::vector<int>> starts;
    const int width = Place(rows, starts);
    // Columns in which no cell starts take no room in a browser: fold them.
    std::vector<int> before(size_t(width) + 1, 0);  // columns that start a cell, left of each
    std::vector<char> starting(size_t(width), 0);
    for (const std::vector<int>& row : starts) {
        for (const int column : row) {
            starting[size_t(column)] = 1;
        }
    }
    for (int c = 0; c < width; ++c) {
        before[size_t(c) + 1] = before[size_t(c)] + starting[size_t(c)];
    }
    for (int r = 0; r < count; ++r) {
        for (size_t k = 0; k < rows[size_t(r)].cells.size(); ++k) {
            CellSpans& cell = rows[size_t(r)].cells[k];
            const int start = starts[size_t(r)][k];
            cell.colspan = before[size_t(start + cell.colspan)] - before[size_t(start)];
        }
    }
    const std::int64_t grid = std::int64_t(count) * before[size_t(width)];
    if (grid <= maxGrid) {
        return {grid, false};
    }
    for (TableRowSpans& row : rows) {
        for (CellSpans& cell : row.cells) {
            cell.colspan = 1;
        }
    }
    return {std::int64_t(count) * Place(rows, starts), true};
}

}  // namespace velmora::mailconverter
