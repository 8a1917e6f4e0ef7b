#pragma once

// MIME mail as Notes keeps it: the message split into MIME_PART items of one name, each
// holding one part (its boundary line, headers and content) in order, so that the items
// joined give the message back. The first item's value is the mail's plain text, which is
// what reading the item as text answers.

#include "components/notesstore/StoreWriter.h"

#include <QByteArray>
#include <QString>

namespace velmora::notesstore {

// Adds the Body items of message (headers and MIME body, as written) and the items that mark
// a MIME mail. plainText is the first item's value; without it, the message's own text.
void AddMimeBody(DocumentData& document, const QByteArray& message,
                 const QString& plainText = QString());

// The text a reader sees of a MIME message: its first plain-text part, else its HTML made
// plain; empty when it holds neither.
QString MimePlainText(const QByteArray& message);

}  // namespace velmora::notesstore
