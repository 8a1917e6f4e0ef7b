#include "components/mime/MediaTypes.h"

#include <QFileInfo>

#include <map>

namespace velmora::mime {

QByteArray MediaTypeForFileName(const QString& fileName) {
    // The kinds of files people attach to office mail; the rest is opaque data.
    static const std::map<QString, QByteArray> kTypes = {
        {QStringLiteral("7z"), "application/x-7z-compressed"},
        {QStringLiteral("bmp"), "image/bmp"},
        {QStringLiteral("csv"), "text/csv"},
        {QStringLiteral("doc"), "application/msword"},
        {QStringLiteral("docx"),
         "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
        {QStringLiteral("gif"), "image/gif"},
        {QStringLiteral("gz"), "application/gzip"},
        {QStringLiteral("htm"), "text/html"},
        {QStringLiteral("html"), "text/html"},
        {QStringLiteral("ics"), "text/calendar"},
        {QStringLiteral("jpeg"), "image/jpeg"},
        {QStringLiteral("jpg"), "image/jpeg"},
        {QStringLiteral("json"), "application/json"},
        {QStringLiteral("mp3"), "audio/mpeg"},
        {QStringLiteral("mp4"), "video/mp4"},
        {QStringLiteral("nsf"), "application/vnd.lotus-notes"},
        {QStringLiteral("odp"), "application/vnd.oasis.opendocument.presentation"},
        {QStringLiteral("ods"), "application/vnd.oasis.opendocument.spreadsheet"},
        {QStringLiteral("odt"), "application/vnd.oasis.opendocument.text"},
        {QStringLiteral("pdf"), "application/pdf"},
        {QStringLiteral("png"), "image/png"},
        {QStringLiteral("ppt"), "application/vnd.ms-powerpoint"},
        {QStringLiteral("pptx"),
         "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
        {QStringLiteral("rtf"), "application/rtf"},
        {QStringLiteral("svg"), "image/svg+xml"},
        {QStringLiteral("tif"), "image/tiff"},
        {QStringLiteral("tiff"), "image/tiff"},
        {QStringLiteral("txt"), "text/plain"},
        {QStringLiteral("vcf"), "text/vcard"},
        {QStringLiteral("wav"), "audio/wav"},
        {QStringLiteral("xls"), "application/vnd.ms-excel"},
        {QStringLiteral("xlsx"),
         "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
        {QStringLiteral("xml"), "application/xml"},
        {QStringLiteral("zip"), "application/zip"},
    };
    const auto it = kTypes.find(QFileInfo(fileName).suffix().toLower());
    return it == kTypes.end() ? QByteArrayLiteral("application/octet-stream") : it->second;
}

}  // namespace velmora::mime
