#include "components/nsf/NameTable.h"

#include "components/nsf/NsfFile.h"
#include "components/richtext/Lmbcs.h"

namespace velmora::nsf {

namespace {

constexpr std::size_t kEntrySize = 10;

}  // namespace

std::optional<NameTable> ReadNameTable(std::span<const std::uint8_t> entries, std::uint32_t count,
                                       std::span<const std::uint8_t> text, QString* why) {
    if (entries.size() / kEntrySize < count) {
        *why = QStringLiteral("its %1 item names do not fit it").arg(count);
        return std::nullopt;
    }
    NameTable table;
    table.names.reserve(count);
    std::size_t next = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto entry = entries.subspan(kEntrySize * i, kEntrySize);
        const std::uint32_t offset = Le32(entry, 0);
        const std::uint16_t length = Le16(entry, 4);
        if (offset != next || length > text.size() - next) {
            *why = QStringLiteral("item name %1 is recorded at text offset %2, where %3 belongs")
                       .arg(i)
                       .arg(offset)
                       .arg(next);
            return std::nullopt;
        }
        table.names.push_back({richtext::FromLmbcs(text.subspan(offset, length)), Le16(entry, 6),
                               Le16(entry, 8) != 0});
        next += length;
    }
    if (next != text.size()) {
        *why = QStringLiteral("its item names hold %1 bytes of text, %2 recorded")
                   .arg(next)
                   .arg(text.size());
        return std::nullopt;
    }
    return table;
}

}  // namespace velmora::nsf
