#pragma once

// Rich text as one MIME entity: its HTML, with the pictures beside it in a
// multipart/related, as the Notes client converts rich text to MIME.

#include "components/richtext/RichTextHtml.h"

#include <QByteArray>

#include <cstdint>
#include <span>

namespace velmora::richtext {

// "text/html" alone, or "multipart/related" holding the HTML and its pictures; CRLF line
// ends, every part base64, 7-bit throughout.
QByteArray HtmlAsMimeEntity(const RichHtml& html);

// RichTextToHtml, then HtmlAsMimeEntity.
QByteArray RichTextToMimeEntity(std::span<const std::uint8_t> records,
                                std::span<const std::uint8_t> fontTable = {},
                                const TextDecoder& decode = {});

}  // namespace velmora::richtext
