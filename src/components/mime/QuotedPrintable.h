#pragma once

#include <QByteArray>

namespace velmora::mime {

// Quoted-printable (RFC 2045) of text whose line ends are "\n", with "\n" line ends and lines
// of at most 76 characters. A text without a final line end ends in a soft break, so a
// writer that adds a line end after the content adds nothing to the decoded text. Lines "."
// and "From ..." are encoded so that no mail transport can alter them.
QByteArray EncodeQuotedPrintable(const QByteArray& text);

}  // namespace velmora::mime
