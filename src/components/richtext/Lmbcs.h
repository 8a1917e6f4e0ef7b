#pragma once

// Text in the Lotus Multi-Byte Character Set, as Notes stores all text: item names and
// values, the database title, rich-text records. The one conversion both readers of Notes
// data use.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <span>

namespace velmora::richtext {

// Unicode from LMBCS bytes (ICU's "LMBCS-1"); bytes it cannot map become U+FFFD. Fails
// (std::runtime_error) only when the converter itself is missing.
QString FromLmbcs(std::span<const std::uint8_t> bytes);

// LMBCS bytes for text, as Notes writes them.
QByteArray ToLmbcs(const QString& text);

}  // namespace velmora::richtext
