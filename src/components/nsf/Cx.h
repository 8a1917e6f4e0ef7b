#pragma once

// The LZ-style compression Notes uses for its superblocks and bucket descriptor blocks.
// Bits are read least significant first. A 0 bit is followed by an 8-bit literal. A 1 bit
// starts a copy: a further 1 bit means two bytes from an 8-bit distance; a 0 bit starts
// the length as a gamma code (n zero bits, counting this one, then a 1 bit and n payload
// bits: 2^n + payload; the length is that plus one), followed by the distance: a second
// gamma code g for its bits above the eighth (g - 1) and the low 8 bits. A two-byte copy
// of distance 0 is a marker that copies nothing; the stream goes on after it. Distances
// that reach before the start read zeros, as the encoder's window starts zeroed.

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora::nsf {

struct CxResult {
    std::vector<std::uint8_t> bytes;
    int distancesBeforeStart = 0;  // copies that read the zeroed window
    int markers = 0;               // short copies of distance 0, which copy nothing
};

// Decodes at most maxOutput bytes. Gives nothing, with the reason in why, when the data
// does not start as compressed data does or holds a code longer than the format allows.
std::optional<CxResult> CxDecompress(std::span<const std::uint8_t> input, std::size_t maxOutput,
                                     QString* why);

}  // namespace velmora::nsf
