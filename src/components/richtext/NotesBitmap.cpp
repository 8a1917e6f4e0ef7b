#include "components/richtext/NotesBitmap.h"

#include "components/richtext/CdRecords.h"

#include <QBuffer>

#include <algorithm>
#include <array>

namespace velmora::richtext {

namespace {

constexpr int kPelsPerPattern = 8;
constexpr int kPatternBytes = 24;
// Segments are kept below 10 KB, as Notes keeps them.
constexpr qsizetype kSegmentBytes = 10000;

// The 16 colours a bitmap without a colour table refers to.
constexpr std::array<QRgb, 16> kStandardColors{
    0xff000000, 0xff800000, 0xff008000, 0xff808000, 0xff000080, 0xff800080, 0xff008080, 0xffc0c0c0,
    0xff808080, 0xffff0000, 0xff00ff00, 0xffffff00, 0xff0000ff, 0xffff00ff, 0xff00ffff, 0xffffffff};

QRgb FromWord(std::uint16_t word) {
    const auto scale = [](int five) { return five * 255 / 31; };
    return qRgb(scale(word >> 10 & 0x1F), scale(word >> 5 & 0x1F), scale(word & 0x1F));
}

std::uint16_t ToWord(QRgb rgb) {
    return static_cast<std::uint16_t>((qRed(rgb) >> 3) << 10 | (qGreen(rgb) >> 3) << 5 |
                                      qBlue(rgb) >> 3);
}

class LineDecoder {
  public:
    LineDecoder(int unit, std::size_t lineBytes, std::span<const std::uint8_t> patterns)
        : m_unit(unit), m_line(lineBytes, 0), m_patterns(patterns) {}

    // Fills one scan line from data at pos; false when the data ends first.
    bool Decode(std::span<const std::uint8_t> data, std::size_t& pos) {
        std::fill(m_line.begin(), m_line.end(), 0);
        m_filled = 0;
        while (m_filled < m_line.size()) {
            if (pos >= data.size()) {
                return false;
            }
            const std::uint8_t code = data[pos++];
            std::size_t count = code & 0x3F;
            const int flag = code >> 6;
            if (flag == 2 || flag == 1) {
                if (pos >= data.size()) {
                    return false;
                }
                count = count << 8 | data[pos++];
            }
            if (flag == 0) {
                if (pos + count * m_unit > data.size()) {
                    return false;
                }
                Put(data.subspan(pos, count * m_unit));
                pos += count * m_unit;
            } else if (flag == 1) {
                if (pos >= data.size()) {
                    return false;
                }
                const std::size_t index = data[pos++];
                for (std::size_t i = 0; i < count && m_filled < m_line.size(); ++i) {
                    PutPattern(index);
                }
            } else {
                if (pos + m_unit > data.size()) {
                    return false;
                }
                const auto unit = data.subspan(pos, m_unit);
                pos += m_unit;
                for (std::size_t i = 0; i < count && m_filled < m_line.size(); ++i) {
                    Put(unit);
                }
            }
        }
        return true;
    }
    const std::vector<std::uint8_t>& Line() const { return m_line; }

  private:
    void Put(std::span<const std::uint8_t> bytes) {
        const std::size_t n = std::min(bytes.size(), m_line.size() - m_filled);
        std::copy_n(bytes.begin(), n, m_line.begin() + static_cast<std::ptrdiff_t>(m_filled));
        m_filled += n;
    }
    void PutPattern(std::size_t index) {
        const std::size_t at = index * kPatternBytes;
        for (int pel = 0; pel < kPelsPerPattern; ++pel) {
            if (m_unit == 2) {
                // Full-colour patterns hold red, green and blue bytes per picture element.
                const std::size_t p = at + static_cast<std::size_t>(pel) * 3;
                const std::uint8_t r = p < m_patterns.size() ? m_patterns[p] : 0;
                const std::uint8_t g = p + 1 < m_patterns.size() ? m_patterns[p + 1] : 0;
                const std::uint8_t b = p + 2 < m_patterns.size() ? m_patterns[p + 2] : 0;
                const std::uint16_t word = ToWord(qRgb(r, g, b));
                const std::array<std::uint8_t, 2> bytes{static_cast<std::uint8_t>(word & 0xFF),
                                                        static_cast<std::uint8_t>(word >> 8)};
                Put(bytes);
            } else {
                const std::size_t p = at + static_cast<std::size_t>(pel);
                const std::array<std::uint8_t, 1> byte{p < m_patterns.size() ? m_patterns[p]
                                                                             : std::uint8_t{0}};
                Put(byte);
            }
        }
    }

    std::size_t m_unit;
    std::vector<std::uint8_t> m_line;
    std::size_t m_filled = 0;
    std::span<const std::uint8_t> m_patterns;
};

}  // namespace

QImage DecodeBitmap(const BitmapRecords& records, qint64 maxPixels) {
    const Fields header(records.header);
    const int width = header.U16(16);
    const int height = header.U16(18);
    const int depth = header.U16(20);
    if (width <= 0 || height <= 0 || qint64{width} * height > maxPixels ||
        (depth != 1 && depth != 8 && depth != 16)) {
        return {};
    }
    std::vector<QRgb> palette(kStandardColors.begin(), kStandardColors.end());
    if (depth == 8) {
        const std::size_t entries = std::min<std::size_t>(header.U16(28), 256);
        if (entries > 0 && records.colors.size() >= 3) {
            palette.clear();
            for (std::size_t i = 0; i < entries && i * 3 + 2 < records.colors.size(); ++i) {
                palette.push_back(qRgb(records.colors[i * 3], records.colors[i * 3 + 1],
                                       records.colors[i * 3 + 2]));
            }
        }
    }
    const int unit = depth == 16 ? 2 : 1;
    const std::size_t lineBytes = depth == 1 ? static_cast<std::size_t>(width + 7) / 8
                                             : static_cast<std::size_t>(width) * unit;
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    LineDecoder decoder(unit, lineBytes, records.patterns);
    int y = 0;
    for (const auto& body : records.segments) {
        const Fields segment(body);
        const auto data = segment.Bytes(12, segment.U16(10));
        std::size_t pos = 0;
        for (int line = 0; line < segment.U16(8) && y < height; ++line, ++y) {
            if (!decoder.Decode(data, pos)) {
                return image;  // what the damaged segment held is shown, the rest stays white
            }
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            const auto& bytes = decoder.Line();
            for (int x = 0; x < width; ++x) {
                if (depth == 1) {
                    // A set bit is ink.
                    const bool set =
                        (bytes[static_cast<std::size_t>(x / 8)] >> (7 - x % 8) & 1) != 0;
                    row[x] = set ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
                } else if (depth == 8) {
                    const std::size_t index = bytes[static_cast<std::size_t>(x)];
                    row[x] = index < palette.size() ? palette[index] : qRgb(index, index, index);
                } else {
                    const auto at = static_cast<std::size_t>(x) * 2;
                    row[x] = FromWord(static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8));
                }
            }
        }
    }
    return image;
}

QByteArray ImageBytes(const QImage& image, const char* format) {
    if (image.isNull()) {
        return {};
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

EncodedBitmap EncodeBitmap(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    EncodedBitmap out;
    const auto put16 = [](QByteArray& bytes, int value) {
        bytes.append(static_cast<char>(value & 0xFF));
        bytes.append(static_cast<char>(value >> 8 & 0xFF));
    };
    QByteArray segment;
    int lines = 0;
    const auto closeSegment = [&] {
        if (lines == 0) {
            return;
        }
        QByteArray body(8, '\0');
        put16(body, lines);
        put16(body, static_cast<int>(segment.size()));
        body.append(segment);
        out.segments.push_back(body);
        segment.clear();
        lines = 0;
    };
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        QByteArray line;
        int x = 0;
        while (x < image.width()) {
            int run = 1;
            while (x + run < image.width() && run < 0x3FFF &&
                   ToWord(row[x + run]) == ToWord(row[x])) {
                ++run;
            }
            if (run >= 3) {
                line.append(static_cast<char>(0x80 | run >> 8));
                line.append(static_cast<char>(run & 0xFF));
                put16(line, ToWord(row[x]));
                x += run;
                continue;
            }
            int raw = 0;
            const int start = x;
            while (x < image.width() && raw < 0x3F &&
                   !(x + 2 < image.width() && ToWord(row[x]) == ToWord(row[x + 1]) &&
                     ToWord(row[x]) == ToWord(row[x + 2]))) {
                ++x;
                ++raw;
            }
            line.append(static_cast<char>(raw));
            for (int i = start; i < start + raw; ++i) {
                put16(line, ToWord(row[i]));
            }
        }
        if (segment.size() + line.size() > kSegmentBytes) {
            closeSegment();
        }
        segment.append(line);
        ++lines;
    }
    closeSegment();
    QByteArray& header = out.header;
    put16(header, image.width());  // destination size in picture elements
    put16(header, image.height());
    header.append(QByteArray(12, '\0'));  // crop, flags and reserved words
    put16(header, image.width());
    put16(header, image.height());
    put16(header, 16);
    put16(header, 3);
    put16(header, 5);
    put16(header, static_cast<int>(out.segments.size()));
    put16(header, 0);
    put16(header, 0);
    return out;
}

}  // namespace velmora::richtext
