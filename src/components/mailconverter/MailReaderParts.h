#pragma once

// What the reader takes from GMime's objects, as Qt text and bytes.

#include <QByteArray>
#include <QString>

#include <gmime/gmime.h>

namespace velmora::mailconverter {

// text as UTF-8; null gives "".
QString FromUtf8(const char* text);

// Text of a part in its declared charset. Text that does not decode in it is tried as
// UTF-8 and then read as Windows-1252, which accepts any byte; `readAs` names the
// fallback used, and stays empty when the declared charset held.
QString DecodeText(const QByteArray& bytes, const QByteArray& charset, QString& readAs);

// The part's content with its transfer encoding undone.
QByteArray DecodedContent(GMimePart* part);

// The object as it stands in a message, headers included.
QByteArray SerializedObject(GMimeObject* object);

// "type/subtype" in lower case; application/octet-stream when the part has none.
QString MimeTypeOf(GMimeObject* object);

// True when the object's content type matches; "*" matches any subtype.
bool IsType(GMimeObject* object, const char* type, const char* subtype);

// "Name <address>; ..." as the header block shows it.
QString FormatAddressList(InternetAddressList* list);

// A file name as given, without its path or control characters; "" when nothing is left.
QString PlainName(QString name);

// html with the table tags nested deeper than maxDepth left out; flattened says whether any
// were.
QString FlattenDeepTables(const QString& html, int maxDepth, bool& flattened);

}  // namespace velmora::mailconverter
