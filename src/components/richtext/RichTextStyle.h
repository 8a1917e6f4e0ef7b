#pragma once

// How the formatting of rich-text records reads as CSS: fonts, colours and paragraph styles.

#include "components/richtext/CdRecords.h"

#include <QHash>
#include <QString>

#include <cstdint>
#include <span>

namespace velmora::richtext {

// Notes measures in twips: 20 to a point.
inline constexpr int kTwipsPerPoint = 20;
inline constexpr int kOneInch = 1440;

// Face names of the note's font table ($Fonts) by face number.
using FontTable = QHash<int, QString>;
FontTable ReadFontTable(std::span<const std::uint8_t> records);

// The four bytes of a FONTID: face, attributes, colour, point size.
struct FontId {
    std::uint8_t face = 1;
    std::uint8_t attributes = 0;
    std::uint8_t color = 0;
    std::uint8_t size = 0;
};
inline constexpr std::uint8_t kBold = 0x01;
inline constexpr std::uint8_t kItalic = 0x02;
inline constexpr std::uint8_t kUnderline = 0x04;
inline constexpr std::uint8_t kStrikeOut = 0x08;
inline constexpr std::uint8_t kSuper = 0x10;
inline constexpr std::uint8_t kSub = 0x20;
// With this bit the two above select a relief effect instead.
inline constexpr std::uint8_t kEffect = 0x80;

FontId ReadFontId(const Fields& fields, std::size_t at);
QString RunCss(const FontId& font, const FontTable& fonts);

// One of the 16 standard colours ("#rrggbb"); empty for an index beyond them.
QString NotesColor(int index);
// A COLOR_VALUE (flags, red, green, blue); empty when it holds no colour.
QString ColorValue(const Fields& fields, std::size_t at);

// A paragraph style (CDPABDEFINITION).
struct ParagraphStyle {
    int justify = 0;
    int lineSpacing = 0;
    int spacingBefore = 0;
    int spacingAfter = 0;
    int leftMargin = kOneInch;  // from the left edge of the page
    int firstLineMargin = kOneInch;
    std::uint16_t flags = 0;
    std::uint16_t flags2 = 0;
};
inline constexpr std::uint16_t kPabBullet = 0x0400;
inline constexpr std::uint16_t kPabNumbered = 0x1000;
inline constexpr int kJustifyLeft = 0;
inline constexpr int kJustifyRight = 1;
inline constexpr int kJustifyBlock = 2;
inline constexpr int kJustifyCenter = 3;
inline constexpr int kJustifyNone = 4;

ParagraphStyle ReadParagraphStyle(const Fields& fields);
// The CSS of a paragraph; indents are left out inside tables, where margins place the cell.
QString ParagraphCss(const ParagraphStyle& style, bool inTable);
// "ul" or "ol" for a list paragraph, empty otherwise; listCss gets the marker style.
QString ListTag(const ParagraphStyle& style, QString* listCss);

// Text for an HTML text node or attribute value; line ends stay for the caller to place.
QString EscapeHtml(const QString& text);

}  // namespace velmora::richtext
