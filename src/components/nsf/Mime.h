#pragma once

// MIME mail as Notes stores it: the message split over ordered MIME_PART items, each a
// 20-byte header (version, flags, part type, byte count, boundary and header lengths)
// and its bytes: the boundary line, the part's headers, then its body.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velmora::nsf {

inline constexpr std::uint16_t kTypeMimePart = 0x0019;

// The part's body is the name of one of the note's $FILE attachments, not the bytes.
inline constexpr std::uint32_t kMimeBodyInObject = 0x0004;

struct MimePart {
    std::uint32_t flags = 0;
    std::uint8_t partType = 0;
    QByteArray boundary;
    QByteArray headers;
    QByteArray body;
};

// Gives nothing when the value is shorter than its header says.
std::optional<MimePart> ParseMimePart(std::span<const std::uint8_t> value);

// Puts the bytes of the attachment a part names in place of the name, encoded as the
// part's Content-Transfer-Encoding says (base64, quoted-printable, or as they are).
void FillFromAttachment(MimePart& part, const QByteArray& bytes);

// The whole Internet message from the parts in item order. A part whose body lives in an
// attachment is given with its bytes (FillFromAttachment) or left out.
QByteArray AssembleMime(const std::vector<MimePart>& parts);

// The first text/plain body of the message, its transfer encoding undone and its charset
// applied; without one, the first text part of any kind (HTML made plain text); else empty.
QString MimePlainText(const QByteArray& message);

}  // namespace velmora::nsf
