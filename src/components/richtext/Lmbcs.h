#pragma once

// Text in the Lotus Multi-Byte Character Set, the encoding of text in rich-text records.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <span>

namespace velmora::richtext {

// Unicode from LMBCS bytes (ICU's "LMBCS-1"); bytes it cannot map become U+FFFD.
QString FromLmbcs(std::span<const std::uint8_t> bytes);

// LMBCS bytes for text, as Notes writes them.
QByteArray ToLmbcs(const QString& text);

}  // namespace velmora::richtext
