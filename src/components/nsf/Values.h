#pragma once

// Item values as the Notes object model hands them out.

#include "notes/NotesValue.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <span>

namespace velmora::nsf {

// Stored item types.
inline constexpr std::uint16_t kTypeComposite = 0x0001;
inline constexpr std::uint16_t kTypeObject = 0x0003;
inline constexpr std::uint16_t kTypeNumber = 0x0300;
inline constexpr std::uint16_t kTypeNumberRange = 0x0301;
inline constexpr std::uint16_t kTypeTime = 0x0400;
inline constexpr std::uint16_t kTypeTimeRange = 0x0401;
inline constexpr std::uint16_t kTypeText = 0x0500;
inline constexpr std::uint16_t kTypeTextList = 0x0501;

// Whether the word names a type a value can have: the non-computable ones from 0x0001,
// and the numbers, times, texts, formula and user ID classes.
bool IsKnownType(std::uint16_t type);

// Whether the bytes are exactly a LIST of texts: count, lengths, texts, nothing more.
bool IsExactList(std::span<const std::uint8_t> v);
// Whether the bytes are exactly a RANGE of entries of `size` bytes.
bool IsExactRange(std::span<const std::uint8_t> v, std::size_t size);

// The values of an item of the given type: text, text list, number(s), date-time(s), and
// rich text as its plain text. Other types give no values. Fails with NotesError when the
// value is shorter than its own counts say.
notes::NotesValues DecodeValues(std::uint16_t type, std::span<const std::uint8_t> value);

// Whether the bytes are a chain of CD records (rich text), maybe followed by zero padding.
bool LooksLikeRichText(std::span<const std::uint8_t> records);

// Plain text of rich text (CD records): text runs as they are, a line break inside a
// paragraph as "\n", and one "\n" between paragraphs.
QString RichTextToPlain(std::span<const std::uint8_t> records);

}  // namespace velmora::nsf
