#include "components/nsf/Huffman.h"

#include "components/nsf/NsfFile.h"

namespace velmora::nsf {

namespace {

constexpr std::size_t kMaxNodes = 256;
constexpr std::size_t kHeader = 6;  // checksum, tree size
constexpr int kEnd = 256;

}  // namespace

std::optional<std::vector<std::uint8_t>> HuffmanDecode(std::span<const std::uint8_t> data,
                                                       std::size_t maxOutput, QString* why) {
    const auto fail = [&](const char* reason) -> std::optional<std::vector<std::uint8_t>> {
        if (why != nullptr) {
            *why = QString::fromLatin1(reason);
        }
        return std::nullopt;
    };
    // The tree holds as many nodes as the data needs: 4 bytes each, at most 256.
    const std::size_t treeBytes = data.size() >= kHeader ? Le16(data, 4) : 0;
    const std::size_t nodes = treeBytes / 4;
    if (data.size() < kHeader + treeBytes || treeBytes % 4 != 0 || nodes == 0 ||
        nodes > kMaxNodes) {
        return fail("its code tree is missing or of an unknown size");
    }
    const std::uint32_t checksum = Le32(data, 0);
    std::int16_t tree[kMaxNodes][2];
    for (std::size_t node = 0; node < nodes; ++node) {
        for (int side = 0; side < 2; ++side) {
            const auto entry = static_cast<std::int16_t>(Le16(data, kHeader + node * 4 + side * 2));
            if (entry > kEnd || entry <= -static_cast<int>(nodes)) {
                return fail("its code tree is damaged");
            }
            tree[node][side] = entry;
        }
    }
    const auto bits = data.subspan(kHeader + treeBytes);
    const std::size_t total = bits.size() * 8;
    std::vector<std::uint8_t> out;
    std::uint32_t sum = 0;
    std::size_t at = 0;
    while (true) {
        int node = 0;
        int entry = 0;
        // No code is longer than the tree is deep; a loop in a damaged tree ends here.
        for (std::size_t depth = 0;; ++depth) {
            if (at >= total || depth >= nodes) {
                return fail("its data ends before its end mark");
            }
            const bool one = (bits[at / 8] >> (7 - at % 8)) & 1;
            ++at;
            entry = tree[node][one ? 0 : 1];
            if (entry >= 0) {
                break;
            }
            node = -entry;
        }
        if (entry == kEnd) {
            break;
        }
        if (out.size() >= maxOutput) {
            return fail("it decodes to more bytes than its recorded size");
        }
        out.push_back(static_cast<std::uint8_t>(entry));
        sum += static_cast<std::uint32_t>(entry);
    }
    if (sum != checksum) {
        return fail("its checksum does not match its data");
    }
    return out;
}

}  // namespace velmora::nsf
