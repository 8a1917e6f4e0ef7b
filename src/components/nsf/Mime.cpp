#include "components/nsf/Mime.h"

#include "components/nsf/NsfFile.h"
#include "util/HtmlText.h"

#include <QList>
#include <QStringDecoder>

#include <algorithm>

namespace velmora::nsf {

namespace {

constexpr std::size_t kPartHeaderSize = 20;
// Nested multiparts deeper than this are not mail any reader would write.
constexpr int kMaxDepth = 8;

QByteArray Bytes(std::span<const std::uint8_t> b, std::size_t at, std::size_t n) {
    return QByteArray(reinterpret_cast<const char*>(b.data() + at), static_cast<qsizetype>(n));
}

struct Entity {
    QByteArray headers;  // unfolded, one "name: value" a line
    QByteArray body;
};

Entity Split(const QByteArray& text) {
    qsizetype end = text.indexOf("\r\n\r\n");
    qsizetype skip = 4;
    const qsizetype lf = text.indexOf("\n\n");
    if (lf >= 0 && (end < 0 || lf < end)) {
        end = lf;
        skip = 2;
    }
    Entity e;
    if (end < 0) {
        e.headers = text;
    } else {
        e.headers = text.left(end);
        e.body = text.mid(end + skip);
    }
    e.headers.replace("\r\n", "\n");
    e.headers.replace("\n ", " ");
    e.headers.replace("\n\t", " ");
    return e;
}

QByteArray Header(const Entity& e, const QByteArray& name) {
    for (const QByteArray& line : e.headers.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name) {
            return line.mid(colon + 1).trimmed();
        }
    }
    return {};
}

QByteArray Parameter(const QByteArray& value, const QByteArray& name) {
    for (const QByteArray& piece : value.split(';')) {
        const qsizetype eq = piece.indexOf('=');
        if (eq > 0 && piece.left(eq).trimmed().toLower() == name) {
            QByteArray v = piece.mid(eq + 1).trimmed();
            if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"')) {
                v = v.mid(1, v.size() - 2);
            }
            return v;
        }
    }
    return {};
}

QByteArray DecodeQuotedPrintable(const QByteArray& in) {
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '=') {
            out += in[i];
            continue;
        }
        if (i + 1 < in.size() && in[i + 1] == '\n') {
            i += 1;  // soft line break
        } else if (i + 2 < in.size() && in[i + 1] == '\r' && in[i + 2] == '\n') {
            i += 2;
        } else if (i + 2 < in.size()) {
            bool ok = false;
            const int byte = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += static_cast<char>(byte);
                i += 2;
            } else {
                out += '=';
            }
        } else {
            out += '=';
        }
    }
    return out;
}

QString Text(const Entity& e, const QByteArray& type) {
    const QByteArray encoding = Header(e, "content-transfer-encoding").toLower();
    QByteArray body = e.body;
    if (encoding == "base64") {
        body = QByteArray::fromBase64(body);
    } else if (encoding == "quoted-printable") {
        body = DecodeQuotedPrintable(body);
    }
    body.replace("\r\n", "\n");
    QByteArray charset = Parameter(type, "charset");
    if (charset.isEmpty() || charset.toLower() == "us-ascii") {
        charset = "ISO-8859-1";
    }
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid()) {
        return QString::fromLatin1(body);
    }
    return decoder.decode(body);
}

// The first entity of the wanted kind: "text/plain", or any "text/" with plainOnly false.
// foundMedia, when given, receives the found entity's media type.
std::optional<QString> Find(const QByteArray& text, bool plainOnly, int depth,
                            QByteArray* foundMedia = nullptr) {
    const Entity e = Split(text);
    const QByteArray type = Header(e, "content-type");
    const QByteArray media = type.left(type.indexOf(';')).trimmed().toLower();
    if (media.startsWith("multipart/") && depth < kMaxDepth) {
        const QByteArray boundary = Parameter(type, "boundary");
        if (boundary.isEmpty()) {
            return std::nullopt;
        }
        const QByteArray marker = "--" + boundary;
        qsizetype at = e.body.indexOf(marker);
        while (at >= 0) {
            const qsizetype lineEnd = e.body.indexOf('\n', at);
            if (lineEnd < 0 || e.body.mid(at + marker.size(), 2) == "--") {
                break;
            }
            const qsizetype next = e.body.indexOf(marker, lineEnd);
            QByteArray part = e.body.mid(lineEnd + 1, next < 0 ? -1 : next - lineEnd - 1);
            if (part.endsWith("\r\n")) {
                part.chop(2);
            } else if (part.endsWith('\n')) {
                part.chop(1);
            }
            if (auto found = Find(part, plainOnly, depth + 1, foundMedia)) {
                return found;
            }
            at = next;
        }
        return std::nullopt;
    }
    // A part without a type is plain text (RFC 2045).
    if (media.isEmpty() || media == "text/plain" || (!plainOnly && media.startsWith("text/"))) {
        if (Header(e, "content-disposition").toLower().startsWith("attachment")) {
            return std::nullopt;
        }
        if (foundMedia) {
            *foundMedia = media;
        }
        return Text(e, type);
    }
    return std::nullopt;
}

}  // namespace

std::optional<MimePart> ParseMimePart(std::span<const std::uint8_t> v) {
    if (v.size() < kPartHeaderSize) {
        return std::nullopt;
    }
    MimePart part;
    part.flags = Le32(v, 2);
    part.partType = v[6];
    // A multipart's count covers the parts nested in it, which are items of their own.
    const std::size_t count = std::min<std::size_t>(Le16(v, 8), v.size() - kPartHeaderSize);
    const std::size_t boundary = Le16(v, 10);
    const std::size_t headers = Le16(v, 12);
    if (boundary + headers > count) {
        return std::nullopt;
    }
    const std::size_t at = kPartHeaderSize;
    part.boundary = Bytes(v, at, boundary);
    part.headers = Bytes(v, at + boundary, headers);
    part.body = Bytes(v, at + boundary + headers, count - boundary - headers);
    return part;
}

void FillFromAttachment(MimePart& part, const QByteArray& bytes) {
    Entity e;
    e.headers = part.headers;
    e.headers.replace("\r\n", "\n");
    const QByteArray encoding = Header(e, "content-transfer-encoding").toLower();
    QByteArray body;
    if (encoding == "base64") {
        const QByteArray encoded = bytes.toBase64();
        for (qsizetype at = 0; at < encoded.size(); at += 76) {
            body += encoded.mid(at, 76) + "\r\n";
        }
    } else if (encoding == "quoted-printable") {
        int column = 0;
        for (const char c : bytes) {
            const auto u = static_cast<unsigned char>(c);
            const bool plain = (u >= 33 && u <= 126 && u != '=') || u == ' ';
            const QByteArray piece =
                plain ? QByteArray(1, c)
                      : "=" + QByteArray::number(u, 16).toUpper().rightJustified(2, '0');
            if (column + piece.size() > 75) {
                body += "=\r\n";
                column = 0;
            }
            body += piece;
            column += static_cast<int>(piece.size());
        }
        body += "\r\n";
    } else {
        // The line end before the next boundary belongs to the boundary, not to the file.
        body = bytes + "\r\n";
    }
    part.body = body;
}

QByteArray AssembleMime(const std::vector<MimePart>& parts) {
    QByteArray message;
    for (const MimePart& part : parts) {
        message += part.boundary;
        message += part.headers;
        message += part.body;
    }
    return message;
}

QString MimePlainText(const QByteArray& message) {
    if (auto plain = Find(message, true, 0)) {
        return *plain;
    }
    // An HTML-only mail reads as its words, not as its markup.
    QByteArray media;
    const QString text = Find(message, false, 0, &media).value_or(QString());
    return media == "text/html" ? HtmlToText(text) : text;
}

}  // namespace velmora::nsf
