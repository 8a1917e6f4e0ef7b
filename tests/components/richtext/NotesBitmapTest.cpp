#include "components/richtext/NotesBitmap.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace velmora::richtext;

namespace {

std::span<const std::uint8_t> Span(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
            static_cast<std::size_t>(bytes.size())};
}

QByteArray Words(std::initializer_list<int> words) {
    QByteArray bytes;
    for (int word : words) {
        bytes.append(static_cast<char>(word & 0xFF));
        bytes.append(static_cast<char>(word >> 8 & 0xFF));
    }
    return bytes;
}

// A CDBITMAPHEADER body as the C API lays it out.
QByteArray Header(int width, int height, int depth, int segments, int colors, int patterns) {
    return Words({width, height, 0, 0, 0, 0, 0, 0, width, height, depth, depth == 16 ? 3 : 1,
                  depth == 16 ? 5 : depth, segments, colors, patterns});
}

QByteArray Segment(int lines, const QByteArray& data) {
    return QByteArray(8, '\0') + Words({lines, static_cast<int>(data.size())}) + data;
}

QImage Quantized(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = out.pixel(x, y);
            const auto q = [](int v) { return (v >> 3) * 255 / 31; };
            out.setPixel(x, y, qRgb(q(qRed(c)), q(qGreen(c)), q(qBlue(c))));
        }
    }
    return out;
}

}  // namespace

TEST(NotesBitmap, encodedImages_decodeToTheirFiveBitColours) {
    struct Row {
        int width, height;
        bool flat;
    };
    // Flat runs take the repeat codes, gradients the raw ones; 400 x 200 spans several segments.
    for (const Row& row : {Row{1, 1, false}, Row{7, 3, true}, Row{100, 40, false},
                           Row{400, 200, false}, Row{70, 5, true}}) {
        QImage image(row.width, row.height, QImage::Format_RGB32);
        for (int y = 0; y < row.height; ++y) {
            for (int x = 0; x < row.width; ++x) {
                image.setPixel(x, y,
                               row.flat ? qRgb(200, 30, 90)
                                        : qRgb(x * 255 / row.width, y * 255 / row.height,
                                               (x * 7 + y * 13) % 256));
            }
        }
        const EncodedBitmap encoded = EncodeBitmap(image);
        BitmapRecords records;
        records.header = Span(encoded.header);
        for (const QByteArray& segment : encoded.segments) {
            records.segments.push_back(Span(segment));
        }
        const QImage decoded = DecodeBitmap(records, 1'000'000);
        EXPECT_EQ(decoded, Quantized(image)) << row.width << "x" << row.height;
    }
}

TEST(NotesBitmap, runCodes_eightBitWithColourAndPatternTables) {
    const QByteArray colors =
        QByteArray("\x00\x00\x00\xff\x00\x00\x00\x00\xff", 9);  // black red blue
    QByteArray patterns(24, '\0');
    for (int i = 0; i < 8; ++i) {
        patterns[i] = static_cast<char>(i % 2 == 0 ? 1 : 2);  // red, blue, red, ...
    }
    // One line of 20: 3 x red (11), 2 raw (00: blue, black), one pattern of 8 (01), 7 x blue
    // (10, the 14-bit count).
    const QByteArray data = QByteArray("\xc3\x01\x02\x02\x00\x40\x01\x00\x80\x07\x02", 11);
    const QByteArray header = Header(20, 1, 8, 1, 3, 1);
    const QByteArray segment = Segment(1, data);
    BitmapRecords records{Span(header), Span(colors), Span(patterns), {Span(segment)}};
    const QImage image = DecodeBitmap(records, 1000);
    ASSERT_EQ(image.size(), QSize(20, 1));
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255), black = qRgb(0, 0, 0);
    const std::vector<QRgb> expected{red,  red, red,  blue, black, red,  blue, red,  blue, red,
                                     blue, red, blue, blue, blue,  blue, blue, blue, blue, blue};
    for (int x = 0; x < 20; ++x) {
        EXPECT_EQ(image.pixel(x, 0), expected[static_cast<std::size_t>(x)]) << x;
    }
}

TEST(NotesBitmap, monochrome_setBitsAreInk) {
    const QByteArray header = Header(10, 1, 1, 1, 0, 0);
    const QByteArray segment = Segment(1, QByteArray("\x02\xa5\xc0", 3));  // raw 2 bytes
    BitmapRecords records{Span(header), {}, {}, {Span(segment)}};
    const QImage image = DecodeBitmap(records, 1000);
    const QString expected = QStringLiteral("X.X..X.XXX");
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(image.pixel(x, 0) == qRgb(0, 0, 0), expected[x] == u'X') << x;
    }
}

TEST(NotesBitmap, damagedRecords_giveWhatTheyHoldOrNothing) {
    struct Row {
        const char* what;
        QByteArray header;
        QByteArray data;
        bool image;
    };
    const Row rows[] = {
        {"too large", Header(65535, 65535, 8, 1, 0, 0), "\xc1\x01", false},
        {"zero width", Header(0, 5, 8, 1, 0, 0), "\xc1\x01", false},
        {"unknown depth", Header(4, 4, 24, 1, 0, 0), "\xc4\x01", false},
        {"empty header", QByteArray(), QByteArray(), false},
        {"data ends inside a line", Header(8, 4, 8, 1, 0, 0), "\xc8\x01\xc3", true},
        {"raw count past the data", Header(8, 4, 8, 1, 0, 0), "\x3f\x01", true},
        {"pattern index past the table", Header(8, 2, 8, 1, 0, 0), QByteArray("\x40\x01\x09", 3),
         true},
    };
    for (const Row& row : rows) {
        const QByteArray segment = Segment(4, row.data);
        BitmapRecords records{Span(row.header), {}, {}, {Span(segment)}};
        const QImage image = DecodeBitmap(records, 40'000'000);
        EXPECT_EQ(!image.isNull(), row.image) << row.what;
        if (!image.isNull()) {
            // Lines the data never reached stay white.
            EXPECT_EQ(image.pixel(0, image.height() - 1), qRgb(255, 255, 255)) << row.what;
        }
    }
}
