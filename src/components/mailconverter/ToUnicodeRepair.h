#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace velmora::mailconverter {

// Qt's PDF writer builds a font's ToUnicode table by asking which code point first maps
// to each glyph, so glyphs shared with compatibility characters come out as Kangxi
// radicals (U+2F00..) instead of ideographs, and shaped Arabic or ligature glyphs as
// presentation forms. Such text looks right but cannot be searched.

// The text a copied glyph should give for `text`: compatibility characters replaced by
// the characters they stand for; everything else unchanged.
QString SearchableText(const QString& text);

// The CMap with every destination passed through SearchableText, or nothing when no
// entry needed it.
std::optional<QByteArray> RepairToUnicodeCMap(const QByteArray& cmap);

}  // namespace velmora::mailconverter
