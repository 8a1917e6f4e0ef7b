#pragma once

#include <QByteArray>
#include <QString>

namespace velmora::mime {

// The media type for an attachment, from its file-name extension (case-insensitive);
// "application/octet-stream" when the extension is unknown or missing.
QByteArray MediaTypeForFileName(const QString& fileName);

}  // namespace velmora::mime
