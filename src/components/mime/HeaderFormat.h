#pragma once

#include "components/mime/AddressList.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <vector>

// Header values written by hand rather than by GMime: GMime 3.2 picks legacy charsets per
// word, and when it reads back adjacent base64 encoded words it joins their payloads before
// decoding, so padding in any but the last word loses text. Everything here is UTF-8, words
// are Q-encoded (which joins safely) and never split a character.
//
// Raw values are in GMime's stored form: a leading blank, folded lines joined by "\n ", a
// final "\n"; pure ASCII.
namespace velmora::mime::header {

// RFC 2047 Q-encoded words of `text`, each at most 75 characters, each holding whole
// characters. The literal characters used are safe in phrases as well as in free text.
// The first word may be kept shorter, to fit beside the header name.
QList<QByteArray> EncodeWords(const QString& text, qsizetype firstWordLimit = 75);

// A Subject-like free-text value; plain ASCII stays readable, anything else is encoded.
QByteArray FormatUnstructured(const QByteArray& headerName, const QString& value);

// An address list header value ("a, b, c"); empty mailboxes list gives an empty value.
QByteArray FormatMailboxes(const QByteArray& headerName, const std::vector<Mailbox>& mailboxes);

// RFC 5322 date-time in English, with the value's own offset from UTC ("+0530").
// Throws MailError for an invalid value or a year outside 1900..9999.
QByteArray FormatDate(const QDateTime& value);

// One parameter as "attr=value" tokens: a quoted string when short plain ASCII, otherwise
// RFC 2231 UTF-8 percent-encoding, continued over several segments when long.
QList<QByteArray> EncodeParameter(const QByteArray& attribute, const QString& value);

// "type/subtype; name=..." and "attachment; filename=..." raw values.
QByteArray FormatContentType(const QByteArray& headerName, const QByteArray& mediaType,
                             const QString& fileName);
QByteArray FormatDisposition(const QByteArray& headerName, const QString& fileName);

}  // namespace velmora::mime::header
