#pragma once

// Rich text as Notes stores it: a chain of CD records, each a signature word and a length
// (byte, word or double word, by the signature's high byte), padded to an even length.

#include <QByteArray>

#include <cstdint>
#include <span>

namespace velmora::richtext {

// Record signatures (the low byte of the signature word).
namespace sig {
inline constexpr std::uint8_t kLargeParagraph = 104;
inline constexpr std::uint8_t kImageSegment = 124;
inline constexpr std::uint8_t kImageHeader = 125;
inline constexpr std::uint8_t kV5HotspotBegin = 126;
inline constexpr std::uint8_t kV5HotspotEnd = 127;
inline constexpr std::uint8_t kParagraph = 129;
inline constexpr std::uint8_t kPabDefinition = 130;
inline constexpr std::uint8_t kPabReference = 131;
inline constexpr std::uint8_t kText = 133;
inline constexpr std::uint8_t kFontTable = 139;
inline constexpr std::uint8_t kLink2 = 145;
inline constexpr std::uint8_t kLinkExport2 = 146;
inline constexpr std::uint8_t kBitmapHeader = 149;
inline constexpr std::uint8_t kBitmapSegment = 150;
inline constexpr std::uint8_t kColorTable = 151;
inline constexpr std::uint8_t kPatternTable = 152;
inline constexpr std::uint8_t kGraphic = 153;
inline constexpr std::uint8_t kPmMetaSegment = 154;
inline constexpr std::uint8_t kWinMetaSegment = 155;
inline constexpr std::uint8_t kMacMetaSegment = 156;
inline constexpr std::uint8_t kCgmMeta = 157;
inline constexpr std::uint8_t kPmMetaHeader = 158;
inline constexpr std::uint8_t kWinMetaHeader = 159;
inline constexpr std::uint8_t kMacMetaHeader = 160;
inline constexpr std::uint8_t kTableBegin = 163;
inline constexpr std::uint8_t kTableCell = 164;
inline constexpr std::uint8_t kTableEnd = 165;
inline constexpr std::uint8_t kHotspotBegin = 169;
inline constexpr std::uint8_t kHotspotEnd = 170;
inline constexpr std::uint8_t kV4HotspotBegin = 173;
inline constexpr std::uint8_t kV4HotspotEnd = 174;
inline constexpr std::uint8_t kTransparentTable = 197;
inline constexpr std::uint8_t kHorizontalRule = 201;
inline constexpr std::uint8_t kNestedTableBegin = 207;
inline constexpr std::uint8_t kNestedTableCell = 208;
inline constexpr std::uint8_t kNestedTableEnd = 209;
inline constexpr std::uint8_t kTableCellColor = 211;
inline constexpr std::uint8_t kBidiText = 228;
inline constexpr std::uint8_t kPreTableBegin = 251;
}  // namespace sig

// How a signature's record carries its length.
enum class LengthForm { Byte, Word, DoubleWord };

struct CdRecord {
    std::uint8_t signature = 0;
    std::span<const std::uint8_t> body;  // the bytes after the header
};

// Walks the records in order. A record whose length runs past the end, or is shorter than
// its own header, ends the walk: what follows cannot be framed.
class CdReader {
  public:
    explicit CdReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    bool Next(CdRecord& record);

  private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at = 0;
};

// Little-endian fields of a record body; a field past the end reads as zero, so a record
// written by an older release (shorter) reads with defaults.
class Fields {
  public:
    explicit Fields(std::span<const std::uint8_t> body) : m_body(body) {}
    std::uint8_t U8(std::size_t at) const;
    std::uint16_t U16(std::size_t at) const;
    std::uint32_t U32(std::size_t at) const;
    // Up to n bytes from at, fewer when the body ends sooner.
    std::span<const std::uint8_t> Bytes(std::size_t at, std::size_t n) const;
    std::size_t Size() const { return m_body.size(); }

  private:
    std::span<const std::uint8_t> m_body;
};

// Appends one record: its header in the form the signature takes, the body, and a pad byte
// when the total is odd.
void AppendRecord(QByteArray& out, std::uint8_t signature, LengthForm form, const QByteArray& body);

inline std::span<const std::uint8_t> AsBytes(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
            static_cast<std::size_t>(bytes.size())};
}

}  // namespace velmora::richtext
