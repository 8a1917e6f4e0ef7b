#pragma once

// Text in the Lotus Multi-Byte Character Set, as Notes stores it.

#include <QString>

#include <cstdint>
#include <span>

namespace velmora::nsf {

// Converts LMBCS bytes to Unicode with ICU's "LMBCS-1" converter; bytes it cannot map
// become U+FFFD. Fails with NotesError only when the converter itself is missing.
QString FromLmbcs(std::span<const std::uint8_t> bytes);

}  // namespace velmora::nsf
