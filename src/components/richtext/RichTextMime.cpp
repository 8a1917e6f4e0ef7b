#include "components/richtext/RichTextMime.h"

#include <QCryptographicHash>

namespace velmora::richtext {

namespace {

constexpr qsizetype kBase64Line = 76;

QByteArray Base64Lines(const QByteArray& data) {
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    out.reserve(encoded.size() + encoded.size() / kBase64Line * 2 + 2);
    for (qsizetype at = 0; at < encoded.size(); at += kBase64Line) {
        out += encoded.mid(at, kBase64Line);
        out += "\r\n";
    }
    return out;
}

}  // namespace

QByteArray HtmlAsMimeEntity(const RichHtml& html) {
    const QByteArray htmlPart =
        "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        Base64Lines(html.html.toUtf8());
    if (html.pictures.empty()) {
        return htmlPart;
    }
    // Base64 never holds "_" or ".", so the boundary cannot occur in a part.
    const QByteArray boundary =
        "=_related." +
        QCryptographicHash::hash(html.html.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    QByteArray entity = "Content-Type: multipart/related; type=\"text/html\"; boundary=\"" +
                        boundary + "\"\r\n\r\n";
    entity += "--" + boundary + "\r\n" + htmlPart;
    for (const InlinePicture& picture : html.pictures) {
        const QByteArray name = picture.fileName.toUtf8();
        entity += "--" + boundary + "\r\n";
        entity += "Content-Type: " + picture.mediaType + "; name=\"" + name + "\"\r\n";
        entity += "Content-Transfer-Encoding: base64\r\n";
        entity += "Content-ID: <" + picture.contentId.toUtf8() + ">\r\n";
        entity += "Content-Disposition: inline; filename=\"" + name + "\"\r\n\r\n";
        entity += Base64Lines(picture.data);
    }
    entity += "--" + boundary + "--\r\n";
    return entity;
}

QByteArray RichTextToMimeEntity(std::span<const std::uint8_t> records,
                                std::span<const std::uint8_t> fontTable,
                                const TextDecoder& decode) {
    return HtmlAsMimeEntity(RichTextToHtml(records, fontTable, decode));
}

}  // namespace velmora::richtext
