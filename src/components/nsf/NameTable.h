#pragma once

// The database's item-name table: every item of every note names its name and type by
// an index into it. It lives in the compressed bucket descriptor block.

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora::nsf {

struct ItemName {
    QString name;
    std::uint16_t type = 0;
};

struct NameTable {
    std::vector<ItemName> names;
    // Entries whose recorded text offset disagreed with the names before them.
    int repaired = 0;
};

struct DescriptorCounts {
    std::uint32_t names = 0;
    std::uint32_t textSize = 0;
};

// Finds the table in a decompressed descriptor block: `counts.names` entries of 10 bytes
// (text offset, length, type, one more word), four bytes, then the names' text of
// `counts.textSize` bytes. Gives nothing, with the reason in why, when no such run exists.
std::optional<NameTable> FindNameTable(std::span<const std::uint8_t> block,
                                       const DescriptorCounts& counts, QString* why);

}  // namespace velmora::nsf
