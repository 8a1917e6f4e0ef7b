#include "components/richtext/HtmlTable.h"

#include "components/richtext/RichTextStyle.h"

#include <algorithm>
#include <map>
#include <set>

namespace velmora::richtext {

namespace {

constexpr std::uint16_t kTableAutoWidth = 0x0001;
constexpr std::uint16_t kTableAlignRight = 0x0020;
constexpr std::uint16_t kTableAlignCenter = 0x1000;
constexpr std::uint32_t kPreTableAutoWidth = 0x0001;
constexpr std::uint32_t kPreTableWindowWidth = 0x0040;

constexpr std::uint8_t kCellBackground = 0x01;
constexpr std::uint8_t kCellWideBorders = 0x02;
constexpr std::uint8_t kCellHiddenH = 0x04;
constexpr std::uint8_t kCellHiddenV = 0x08;
constexpr std::uint8_t kCellMiddle = 0x20;
constexpr std::uint8_t kCellBottom = 0x80;
// The "20 inches" FractionalWidth is a share of.
constexpr double kFractionWhole = 20.0 * kOneInch;

QString Border(int width, bool doubled) {
    if (width <= 0) {
        return QStringLiteral("none");
    }
    return doubled ? QStringLiteral("3px double #000")
                   : QStringLiteral("%1px solid #000").arg(width);
}

}  // namespace

TableModel StartTable(const Fields& begin, std::uint32_t preTableFlags) {
    TableModel table;
    const std::uint16_t flags = begin.U16(10);
    table.autoWidth = (flags & kTableAutoWidth) != 0 || (preTableFlags & kPreTableAutoWidth) != 0;
    table.css = QStringLiteral("border-collapse:collapse;");
    if (table.autoWidth || (preTableFlags & kPreTableWindowWidth) != 0) {
        table.css += QStringLiteral("width:100%;");
    }
    if ((flags & kTableAlignCenter) != 0) {
        table.css += QStringLiteral("margin-left:auto;margin-right:auto;");
    } else if ((flags & kTableAlignRight) != 0) {
        table.css += QStringLiteral("margin-left:auto;");
    }
    return table;
}

TableCell ReadCell(const Fields& cell, bool autoWidth) {
    TableCell out;
    out.row = cell.U8(0);
    out.column = cell.U8(1);
    const int left = cell.U16(2);
    const int right = cell.U16(4);
    const int fraction = cell.U16(6);
    const std::uint8_t border = cell.U8(8);
    const std::uint8_t flags = cell.U8(9);
    const std::uint16_t wide = cell.U16(10);
    out.rowSpan = std::max<int>(1, cell.U8(12));
    out.columnSpan = std::max<int>(1, cell.U8(13));
    out.hidden = (flags & (kCellHiddenH | kCellHiddenV)) != 0;
    if (autoWidth && fraction > 0) {
        out.css += QStringLiteral("width:%1%;").arg(fraction * 100.0 / kFractionWhole, 0, 'f', 1);
    } else if (right > left) {
        out.css += QStringLiteral("width:%1pt;").arg((right - left) / double(kTwipsPerPoint));
    }
    const char* sides[] = {"left", "right", "top", "bottom"};
    for (int side = 0; side < 4; ++side) {
        QString css;
        if ((flags & kCellWideBorders) != 0) {
            css = Border(wide >> (side * 4) & 0xF, false);
        } else {
            const int kind = border >> (side * 2) & 0x3;
            css = Border(kind == 0 ? 0 : 1, kind == 2);
        }
        out.css += QStringLiteral("border-%1:%2;").arg(QLatin1String(sides[side]), css);
    }
    if ((flags & kCellBackground) != 0) {
        const QString color = NotesColor(cell.U16(14));
        if (!color.isEmpty()) {
            out.css += QStringLiteral("background-color:") + color + u';';
        }
    }
    if ((flags & kCellMiddle) != 0) {
        out.css += QStringLiteral("vertical-align:middle;");
    } else if ((flags & kCellBottom) != 0) {
        out.css += QStringLiteral("vertical-align:bottom;");
    }
    return out;
}

QString RenderTable(const TableModel& table) {
    std::set<std::pair<int, int>> hidden;
    for (const TableCell& cell : table.cells) {
        if (cell.hidden) {
            hidden.insert({cell.row, cell.column});
        }
    }
    // Which corner a spanning cell stands at: the covered cells tell.
    const auto coveredAround = [&](const TableCell& cell, int dr, int dc) {
        int count = 0;
        for (int r = 0; r < cell.rowSpan; ++r) {
            for (int c = 0; c < cell.columnSpan; ++c) {
                if ((r != 0 || c != 0) && hidden.count({cell.row + dr * r, cell.column + dc * c})) {
                    ++count;
                }
            }
        }
        return count;
    };
    std::map<int, std::vector<std::pair<int, const TableCell*>>> rows;
    int lastRow = -1;
    for (const TableCell& cell : table.cells) {
        lastRow = std::max(lastRow, cell.row);
        if (cell.hidden) {
            continue;
        }
        int top = cell.row;
        int left = cell.column;
        if ((cell.rowSpan > 1 || cell.columnSpan > 1) &&
            coveredAround(cell, -1, -1) > coveredAround(cell, 1, 1)) {
            top = std::max(0, cell.row - cell.rowSpan + 1);
            left = std::max(0, cell.column - cell.columnSpan + 1);
        }
        rows[top].push_back({left, &cell});
    }
    QString html = QStringLiteral("<table style=\"") + table.css + QStringLiteral("\">");
    for (int r = 0; r <= lastRow; ++r) {
        html += QStringLiteral("<tr>");
        auto& cells = rows[r];
        std::stable_sort(cells.begin(), cells.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [left, cell] : cells) {
            html += QStringLiteral("<td style=\"") + cell->css + u'"';
            if (cell->rowSpan > 1) {
                html += QStringLiteral(" rowspan=\"%1\"").arg(cell->rowSpan);
            }
            if (cell->columnSpan > 1) {
                html += QStringLiteral(" colspan=\"%1\"").arg(cell->columnSpan);
            }
            html += u'>' + cell->html + QStringLiteral("</td>");
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

}  // namespace velmora::richtext
