#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace velmora::mailconverter {

// Images of a message, decoded without a word on standard error: Qt's PNG reader leaves
// libpng's own error handler in place, which prints "libpng error: ..." for a damaged file,
// so PNG goes through libpng's simplified reader, which hands its errors back instead.

// The size of the image, read from its header; invalid when it is none we can decode.
QSize ImageSize(const QByteArray& data);

// The image, or a null one when it is damaged or has more than maxPixels pixels.
QImage DecodeImage(const QByteArray& data, qint64 maxPixels);

}  // namespace velmora::mailconverter
