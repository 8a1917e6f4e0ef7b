#pragma once

// The Huffman compression of Notes attachments, as found on the samples: a 32-bit
// checksum (the sum of the decoded bytes), the tree's size in bytes (4 per node, up to
// 256 nodes: 1024 for a 32 KB database file, 160 for a short text), the nodes of two
// 16-bit entries (negative: the node of that number; otherwise a symbol, 256 ending the
// data), then the codes, most significant bit first, a 1 bit taking a node's first entry.
// The root is node 0.

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora::nsf {

// Decodes at most maxOutput bytes; gives nothing, with the reason in why, when the tree
// is damaged, the data ends before its end symbol, or the checksum disagrees.
std::optional<std::vector<std::uint8_t>> HuffmanDecode(std::span<const std::uint8_t> data,
                                                       std::size_t maxOutput, QString* why);

}  // namespace velmora::nsf
