#pragma once

// The LZ-style compression of the bucket descriptor blocks and superblocks. Bits are read
// least significant first, fields too. A 3-bit header (4) opens the data. Then: 0 and 8
// bits is a literal; 1 1 and 8 bits copies two bytes from that distance; 1 0 starts a
// length code L, a gamma code whose zero count starts at one (z zeros, a one, z bits v:
// L = 2^z + v). L = 257 ends the data; otherwise L + 1 bytes are copied from a distance
// made of a second gamma code g (no zero counted in advance) and 8 more bits b:
// (g - 1) * 256 + b. The data ends in the byte holding the end code, its last bits zero.

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora::nsf {

struct CxFailure {
    // A form of the data this reader does not know (not damage).
    bool unsupported = false;
    // What is wrong, with the bit where it was found.
    QString reason;
};

// Decodes data that must expand to exactly `size` bytes and end in its last byte. Gives
// nothing, with the reason in failure, otherwise; never writes more than `size` bytes.
std::optional<std::vector<std::uint8_t>> CxDecode(std::span<const std::uint8_t> data,
                                                  std::size_t size, CxFailure& failure);

}  // namespace velmora::nsf
