#pragma once

#include "components/mailconverter/base/MailContent.h"

#include <QByteArray>
#include <QString>

namespace velmora::mailconverter {

// Bounds on what one message may cost to lay out. Whatever goes past them is
// attached whole and the PDF says so: nothing is dropped silently.
struct ReaderLimits {
    int maxDepth = 48;                           // nested multiparts and attached messages
    qsizetype maxPartChars = 1'000'000;          // text shown from one body part
    qsizetype maxMessageChars = 3'000'000;       // text shown from one message, all parts
    qsizetype maxFieldChars = 16'000;            // one header field in the header block
    qsizetype maxHeaderChars = 32'000;           // From, To, Cc and Bcc of one message together
    int maxParts = 1'000;                        // MIME parts shown or listed, all messages
    int maxMessages = 100;                       // attached messages shown, at any depth
    qint64 maxFileBytes = 1024LL * 1024 * 1024;  // the largest attachment we compose, in base64
    qint64 maxImagePixels = 40'000'000;          // inline images decoded for display
    int maxTableDepth = 10;                      // HTML tables inside tables
};

// Parses any Internet message (RFC 5322/MIME, leniently) into what the PDF shows.
class MailReader {
  public:
    explicit MailReader(ReaderLimits limits = {});

    // Throws ConversionError when the file cannot be read or is empty.
    MailContent ReadFile(const QString& path) const;
    MailContent ReadBytes(const QByteArray& bytes) const;

  private:
    ReaderLimits m_limits;
};

}  // namespace velmora::mailconverter
