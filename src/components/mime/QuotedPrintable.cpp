#include "components/mime/QuotedPrintable.h"

namespace velmora::mime {

namespace {

constexpr qsizetype kMaxLine = 76;
constexpr char kHex[] = "0123456789ABCDEF";

QByteArray Escaped(unsigned char c) {
    const char escaped[] = {'=', kHex[c >> 4], kHex[c & 0x0f]};
    return QByteArray(escaped, 3);
}

void EncodeLine(QByteArrayView line, QByteArray& out) {
    qsizetype column = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        const bool last = i + 1 == line.size();
        const bool guarded = i == 0 && (line == "." || line.startsWith("From "));
        QByteArray piece;
        if (guarded || c == '=' || c < 0x20 || c > 0x7e) {
            piece = (c == '\t' && !last && !guarded) ? QByteArray(1, '\t') : Escaped(c);
        } else if (c == ' ' && last) {
            piece = Escaped(c);  // trailing blanks would be stripped in transit
        } else {
            piece = QByteArray(1, char(c));
        }
        // Keep room for the "=" of a soft break, unless this is the line's last piece.
        if (column + piece.size() > (last ? kMaxLine : kMaxLine - 1)) {
            out += "=\n";
            column = 0;
        }
        out += piece;
        column += piece.size();
    }
}

}  // namespace

QByteArray EncodeQuotedPrintable(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size() + text.size() / 8 + 16);
    qsizetype start = 0;
    while (start <= text.size()) {
        const qsizetype end = text.indexOf('\n', start);
        if (end < 0) {
            EncodeLine(QByteArrayView(text).sliced(start), out);
            if (start < text.size()) {
                out += "=\n";  // no line end in the text: a soft break ends the content
            }
            break;
        }
        EncodeLine(QByteArrayView(text).sliced(start, end - start), out);
        out += '\n';
        start = end + 1;
    }
    return out;
}

}  // namespace velmora::mime
