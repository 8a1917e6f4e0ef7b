#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace velmora::mailconverter {

// Big-endian numbers of a font table; 0 past its end.
int ReadS16(const QByteArray& data, qsizetype at);
uint32_t ReadU(const QByteArray& data, qsizetype at, int bytes);

// CFF: the CID of every glyph of a CID-keyed font, from its charset; empty for a font
// that is not CID-keyed (its glyph numbers are its CIDs). Nothing when the table is not
// what it should be.
std::optional<std::vector<uint16_t>> CffCids(const QByteArray& cff);

// The horizontal pairs of a 'kern' table in its first (Microsoft) version, as Qt's own
// unshaped text applies them, sorted by left << 16 | right.
std::vector<std::pair<uint32_t, int16_t>> KernPairs(const QByteArray& kern);

}  // namespace velmora::mailconverter
