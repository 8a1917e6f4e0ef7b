#include "components/mailconverter/base/ImageDecoder.h"

#include <QBuffer>
#include <QImageReader>

#include <png.h>

#include <limits>

namespace velmora::mailconverter {

namespace {

bool IsPng(const QByteArray& data) {
    return data.startsWith("\x89PNG\r\n\x1a\n");
}

// A reader whose header is read; freed with it, whatever happens.
struct PngReader {
    png_image image{};
    bool ok = false;

    explicit PngReader(const QByteArray& data) {
        image.version = PNG_IMAGE_VERSION;
        ok = png_image_begin_read_from_memory(&image, data.constData(), size_t(data.size())) != 0 &&
             image.width <= unsigned(std::numeric_limits<int>::max()) &&
             image.height <= unsigned(std::numeric_limits<int>::max());
    }
    ~PngReader() { png_image_free(&image); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
};

}  // namespace

QSize ImageSize(const QByteArray& data) {
    if (IsPng(data)) {
        const PngReader png(data);
        return png.ok ? QSize(int(png.image.width), int(png.image.height)) : QSize();
    }
    QByteArray copy = data;
    QBuffer buffer(&copy);
    QImageReader reader(&buffer);
    return reader.canRead() ? reader.size() : QSize();
}

QImage DecodeImage(const QByteArray& data, qint64 maxPixels) {
    if (!IsPng(data)) {
        QByteArray copy = data;
        QBuffer buffer(&copy);
        QImageReader reader(&buffer);
        const QSize size = reader.size();
        return size.isValid() && qint64(size.width()) * size.height() <= maxPixels ? reader.read()
                                                                                   : QImage();
    }
    PngReader png(data);
    if (!png.ok || qint64(png.image.width) * png.image.height > maxPixels) {
        return {};
    }
    png.image.format = PNG_FORMAT_RGBA;
    QImage image(int(png.image.width), int(png.image.height), QImage::Format_RGBA8888);
    if (image.isNull() || png_image_finish_read(&png.image, nullptr, image.bits(),
                                                png_int_32(image.bytesPerLine()), nullptr) == 0) {
        return {};
    }
    return image;
}

}  // namespace velmora::mailconverter
