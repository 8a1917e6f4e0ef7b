#include "components/nsf/NameTable.h"

#include "components/nsf/Lmbcs.h"
#include "components/nsf/NsfFile.h"

#include <algorithm>

namespace velmora::nsf {

namespace {

constexpr std::size_t kEntrySize = 10;

// The low byte of each entry's text offset survives where the upper bytes do not always
// (see README), and names follow each other in entry order: an entry starts where the
// one before ends when that one's length is known, else at the next position carrying
// its recorded low byte.
std::optional<NameTable> ReadAt(std::span<const std::uint8_t> block, std::size_t textAt,
                                const DescriptorCounts& counts,
                                const std::vector<std::size_t>& nextZero) {
    const std::size_t entries = textAt - 4 - kEntrySize * counts.names;
    const auto text = block.subspan(textAt, counts.textSize);
    if (block[textAt - 4] != (counts.textSize & 0xFF) || block[entries] != 0 ||
        nextZero[textAt] < textAt + counts.textSize) {
        return std::nullopt;
    }
    std::vector<std::uint32_t> offsets;
    offsets.reserve(counts.names);
    NameTable table;
    std::uint32_t previous = 0;
    std::uint32_t previousLength = 0;
    for (std::uint32_t i = 0; i < counts.names; ++i) {
        const auto entry = block.subspan(entries + kEntrySize * i, kEntrySize);
        const std::uint8_t low = entry[0];
        std::uint32_t offset = 0;
        if (i > 0) {
            offset = previousLength > 0
                         ? previous + previousLength
                         : previous + 1 + static_cast<std::uint8_t>(low - (previous + 1));
        }
        if ((offset & 0xFF) != low) {
            ++table.repaired;
        }
        if (offset >= counts.textSize) {
            return std::nullopt;
        }
        offsets.push_back(offset);
        previous = offset;
        previousLength = Le16(entry, 4);
    }
    for (std::uint32_t i = 0; i < counts.names; ++i) {
        const std::uint32_t end = i + 1 < counts.names ? offsets[i + 1] : counts.textSize;
        if (end <= offsets[i]) {
            return std::nullopt;
        }
        const auto entry = block.subspan(entries + kEntrySize * i, kEntrySize);
        std::uint16_t type = Le16(entry, 6);
        // Some types carry 0x81 in their low byte (design items); the class is the high byte.
        if ((type & 0xFF) == 0x81) {
            type &= 0xFF00;
        }
        table.names.push_back({FromLmbcs(text.subspan(offsets[i], end - offsets[i])), type});
    }
    return table;
}

}  // namespace

std::optional<NameTable> FindNameTable(std::span<const std::uint8_t> block,
                                       const DescriptorCounts& counts, QString* why) {
    const std::size_t before = 4 + kEntrySize * std::size_t{counts.names};
    if (counts.names == 0 || counts.textSize == 0 || block.size() < before ||
        block.size() - before < counts.textSize) {
        if (why != nullptr) {
            *why = QStringLiteral("the item-name table does not fit its descriptor block");
        }
        return std::nullopt;
    }
    // Where the next zero byte is, from each position: the text holds none.
    std::vector<std::size_t> nextZero(block.size() + 1, block.size());
    for (std::size_t i = block.size(); i-- > 0;) {
        nextZero[i] = block[i] == 0 ? i : nextZero[i + 1];
    }
    // Each candidate that passes the cheap checks costs a walk of the entries; a damaged
    // block must not make that unbounded.
    int tries = 0;
    for (std::size_t at = before; at + counts.textSize <= block.size() && tries < 64; ++at) {
        if (block[at - 4] != (counts.textSize & 0xFF) || nextZero[at] < at + counts.textSize) {
            continue;
        }
        ++tries;
        if (auto table = ReadAt(block, at, counts, nextZero)) {
            return table;
        }
    }
    if (why != nullptr) {
        *why = QStringLiteral("the item-name table cannot be found in the descriptor block");
    }
    return std::nullopt;
}

}  // namespace velmora::nsf
