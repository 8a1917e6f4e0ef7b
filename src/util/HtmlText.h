#pragma once

#include <QString>

namespace velmora {

// text with its HTML character references decoded: named ones of a common set and numeric
// ones; what is not a known reference stays as written.
QString DecodeHtmlEntities(const QString& text);

// HTML as plain text for a reader: hidden parts (head, style, script) and tags gone, source
// line ends as blanks, a line per paragraph, row or break, cells apart by tabs, entities
// decoded, no-break spaces as spaces, each line trimmed.
QString HtmlToText(QString html);

}  // namespace velmora
