#pragma once

// A document's own MIME body made ready to travel in a composed message.

#include "components/mime/MimeParts.h"
#include "util/GObjectPtr.h"

#include <QByteArray>
#include <QString>

#include <gmime/gmime.h>

#include <vector>

namespace velmora::mime {

// The entity parsed (headers, then content with any child parts); null when the bytes hold
// no MIME entity.
GObjectPtr<GMimeObject> ParseEntity(const QByteArray& entity);

// The message body from the document's entity: its own parts, encodings and charsets, with
// the header fields of the mail itself (From, To, ...) left to the message, every part made
// 7-bit, plainText as the text alternative where the entity shows none, and the attachments
// after it in a multipart/mixed. Null when the entity does not parse.
GObjectPtr<GMimeObject> PrepareBody(const QByteArray& entity, GMimePart* plainText,
                                    const std::vector<GObjectPtr<GMimePart>>& attachments);

}  // namespace velmora::mime
