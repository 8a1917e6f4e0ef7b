#pragma once

// The database's item-name table: every item of every note names its name and type by an
// index into it. It lives in the bucket descriptor block, after the record-relocation
// bucket descriptors: 10-byte entries (text offset, length, type, form-name word), the
// size of the names' text, then the text itself.

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora::nsf {

struct ItemName {
    QString name;
    // The type the database registered for the name; 0 when it registered none, and then
    // each value carries its own type word.
    std::uint16_t type = 0;
    // Set on the names of forms (Memo, Reply, ...).
    bool isForm = false;
};

struct NameTable {
    std::vector<ItemName> names;
};

// Reads `count` entries from `entries` and their text, which must be exactly as long as
// the entries say and follow each other from offset 0. Gives nothing, with the reason in
// why, otherwise.
std::optional<NameTable> ReadNameTable(std::span<const std::uint8_t> entries, std::uint32_t count,
                                       std::span<const std::uint8_t> text, QString* why);

}  // namespace velmora::nsf
