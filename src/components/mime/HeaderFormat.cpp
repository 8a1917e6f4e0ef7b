#include "components/mime/HeaderFormat.h"

#include "components/mime/MailError.h"

#include <algorithm>
#include <array>

namespace velmora::mime::header {

namespace {

constexpr int kFoldColumn = 76;
constexpr int kMaxEncodedWord = 75;
constexpr int kMaxParameterSegment = 60;
constexpr int kMaxPlainWord = 70;
constexpr char kHex[] = "0123456789ABCDEF";
const QByteArray kWordPrefix = QByteArrayLiteral("=?UTF-8?Q?");
const QByteArray kWordSuffix = QByteArrayLiteral("?=");

// Joins tokens with blanks, folding before a token that would pass the fold column.
// Tokens themselves are never broken.
QByteArray Fold(const QByteArray& headerName, const QList<QByteArray>& tokens) {
    QByteArray raw;
    qsizetype column = headerName.size() + 1;
    bool first = true;
    for (const QByteArray& token : tokens) {
        if (!first && column + 1 + token.size() > kFoldColumn) {
            raw += "\n ";
            column = 1;
        } else {
            raw += ' ';
            column += 1;
        }
        raw += token;
        column += token.size();
        first = false;
    }
    raw += '\n';
    return raw;
}

void AppendHex(QByteArray& out, char prefix, unsigned char byte) {
    out += prefix;
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0f];
}

bool IsQLiteral(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!' ||
           c == '*' || c == '+' || c == '-' || c == '/';
}

bool IsAttributeChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArrayView("!#$&+-.^_`|~").contains(char(c));
}

// The UTF-8 bytes of each character (code point) of `text`, in order.
QList<QByteArray> Utf8Characters(const QString& text) {
    QList<QByteArray> characters;
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype length = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            length = 2;
        }
        characters.append(QStringView(text).mid(i, length).toUtf8());
        i += length - 1;
    }
    return characters;
}

// Plain printable ASCII that no reader could take for something else: single blanks only,
// none at the ends, no encoded-word opener, no word too long to fold.
bool IsPlainText(const QString& text) {
    if (text.isEmpty() || text.startsWith(u' ') || text.endsWith(u' ') || text.contains(u"  ") ||
        text.contains(u"=?")) {
        return false;
    }
    qsizetype word = 0;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e) {
            return false;
        }
        word = c == u' ' ? 0 : word + 1;
        if (word > kMaxPlainWord) {
            return false;
        }
    }
    return true;
}

// Room for a first token on the header's first line.
qsizetype FirstTokenRoom(const QByteArray& headerName) {
    return kFoldColumn - headerName.size() - 2;
}

QList<QByteArray> PhraseTokens(const QString& name, qsizetype firstWordLimit) {
    if (IsPlainText(name) && name.size() <= kMaxPlainWord) {
        QByteArray quoted = "\"";
        for (const QChar c : name) {
            if (c == u'"' || c == u'\\') {
                quoted += '\\';
            }
            quoted += char(c.unicode());
        }
        quoted += '"';
        return {quoted};
    }
    return EncodeWords(name, firstWordLimit);
}

const std::array<const char*, 7> kDays = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

QList<QByteArray> EncodeWords(const QString& text, qsizetype firstWordLimit) {
    constexpr qsizetype overhead = 12;  // prefix and suffix
    qsizetype maxPayload =
        std::clamp<qsizetype>(firstWordLimit, overhead + 12, kMaxEncodedWord) - overhead;
    QList<QByteArray> words;
    QByteArray payload;
    for (const QByteArray& character : Utf8Characters(text)) {
        QByteArray piece;
        for (const char byte : character) {
            const auto c = static_cast<unsigned char>(byte);
            if (c == ' ') {
                piece += '_';
            } else if (IsQLiteral(c)) {
                piece += byte;
            } else {
                AppendHex(piece, '=', c);
            }
        }
        if (payload.size() + piece.size() > maxPayload && !payload.isEmpty()) {
            words.append(kWordPrefix + payload + kWordSuffix);
            payload.clear();
            maxPayload = kMaxEncodedWord - overhead;
        }
        payload += piece;
    }
    if (!payload.isEmpty() || words.isEmpty()) {
        words.append(kWordPrefix + payload + kWordSuffix);
    }
    return words;
}

QByteArray FormatUnstructured(const QByteArray& headerName, const QString& value) {
    if (value.isEmpty()) {
        return " \n";
    }
    if (IsPlainText(value)) {
        return Fold(headerName, value.toLatin1().split(' '));
    }
    return Fold(headerName, EncodeWords(value, FirstTokenRoom(headerName)));
}

QByteArray FormatMailboxes(const QByteArray& headerName, const std::vector<Mailbox>& mailboxes) {
    QList<QByteArray> tokens;
    for (const Mailbox& mailbox : mailboxes) {
        if (!tokens.isEmpty()) {
            tokens.last() += ',';
        }
        if (mailbox.name.isEmpty()) {
            tokens.append(mailbox.address.toLatin1());
        } else {
            tokens.append(PhraseTokens(
                mailbox.name, tokens.isEmpty() ? FirstTokenRoom(headerName) : kMaxEncodedWord));
            tokens.append('<' + mailbox.address.toLatin1() + '>');
        }
    }
    return Fold(headerName, tokens);
}

QByteArray FormatDate(const QDateTime& value) {
    if (!value.isValid()) {
        throw MailError(QStringLiteral("The date is not valid."));
    }
    const int offsetMinutes = value.offsetFromUtc() / 60;
    // The wall-clock time at the written offset, so that date and offset name the same moment.
    const QDateTime local = value.toUTC().addSecs(qint64(offsetMinutes) * 60);
    const QDate date = local.date();
    const QTime time = local.time();
    if (date.year() < 1900 || date.year() > 9999) {
        throw MailError(
            QStringLiteral("The year %1 cannot be written in a message date.").arg(date.year()));
    }
    const int absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    const QString text = QStringLiteral("%1, %2 %3 %4 %5:%6:%7 %8%9%10")
                             .arg(QLatin1String(kDays[date.dayOfWeek() - 1]))
                             .arg(date.day(), 2, 10, QLatin1Char('0'))
                             .arg(QLatin1String(kMonths[date.month() - 1]))
                             .arg(date.year(), 4, 10, QLatin1Char('0'))
                             .arg(time.hour(), 2, 10, QLatin1Char('0'))
                             .arg(time.minute(), 2, 10, QLatin1Char('0'))
                             .arg(time.second(), 2, 10, QLatin1Char('0'))
                             .arg(offsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(absolute / 60, 2, 10, QLatin1Char('0'))
                             .arg(absolute % 60, 2, 10, QLatin1Char('0'));
    return ' ' + text.toLatin1() + '\n';
}

QList<QByteArray> EncodeParameter(const QByteArray& attribute, const QString& value) {
    bool plain = IsPlainText(value) && value.size() <= kMaxParameterSegment;
    for (const QChar c : value) {
        plain = plain && c != u'"' && c != u'\\';
    }
    if (plain) {
        return {attribute + "=\"" + value.toLatin1() + '"'};
    }
    QList<QByteArray> segments;
    QByteArray segment = "UTF-8''";
    for (const QByteArray& character : Utf8Characters(value)) {
        QByteArray piece;
        for (const char byte : character) {
            const auto c = static_cast<unsigned char>(byte);
            if (IsAttributeChar(c)) {
                piece += byte;
            } else {
                AppendHex(piece, '%', c);
            }
        }
        if (segment.size() + piece.size() > kMaxParameterSegment) {
            segments.append(segment);
            segment.clear();
        }
        segment += piece;
    }
    segments.append(segment);
    if (segments.size() == 1) {
        return {attribute + "*=" + segments.first()};
    }
    QList<QByteArray> tokens;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        tokens.append(attribute + '*' + QByteArray::number(i) + "*=" + segments[i]);
    }
    return tokens;
}

namespace {

QByteArray WithParameter(const QByteArray& headerName, const QByteArray& first,
                         const QByteArray& attribute, const QString& value) {
    QList<QByteArray> tokens = {first};
    if (!value.isEmpty()) {
        tokens.first() += ';';
        const QList<QByteArray> parameter = EncodeParameter(attribute, value);
        for (qsizetype i = 0; i < parameter.size(); ++i) {
            tokens.append(i + 1 < parameter.size() ? parameter[i] + ';' : parameter[i]);
        }
    }
    return Fold(headerName, tokens);
}

}  // namespace

QByteArray FormatContentType(const QByteArray& headerName, const QByteArray& mediaType,
                             const QString& fileName) {
    return WithParameter(headerName, mediaType, "name", fileName);
}

QByteArray FormatDisposition(const QByteArray& headerName, const QString& fileName) {
    return WithParameter(headerName, "attachment", "filename", fileName);
}

}  // namespace velmora::mime::header
