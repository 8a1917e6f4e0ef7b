#pragma once

// Pictures stored in rich text as a Notes bitmap: a CDBITMAPHEADER, an optional colour and
// pattern table, and run-length encoded scan lines in CDBITMAPSEGMENT records.

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <span>
#include <vector>

namespace velmora::richtext {

struct BitmapRecords {
    std::span<const std::uint8_t> header;                 // CDBITMAPHEADER body
    std::span<const std::uint8_t> colors;                 // CDCOLORTABLE body, may be empty
    std::span<const std::uint8_t> patterns;               // CDPATTERNTABLE body, may be empty
    std::vector<std::span<const std::uint8_t>> segments;  // CDBITMAPSEGMENT bodies
};

// The picture; a null image when the header gives no usable size or depth, or more than
// maxPixels. Scan lines the segments do not hold stay white.
QImage DecodeBitmap(const BitmapRecords& records, qint64 maxPixels);

// The image encoded in a file format Qt writes ("PNG", "JPEG"); empty for a null image.
QByteArray ImageBytes(const QImage& image, const char* format = "PNG");

// The records' bodies for an image, as 16-bit colour: header, then one segment body per
// group of lines.
struct EncodedBitmap {
    QByteArray header;
    std::vector<QByteArray> segments;
};
EncodedBitmap EncodeBitmap(const QImage& image);

}  // namespace velmora::richtext
