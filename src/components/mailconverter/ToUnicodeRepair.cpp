#include "components/mailconverter/ToUnicodeRepair.h"

#include <QRegularExpression>

#include <vector>

namespace velmora::mailconverter {

namespace {

bool IsCompatibilityForm(char32_t c) {
    return (c >= 0x2E80 && c <= 0x2FDF)      // CJK radicals supplement, Kangxi radicals
           || (c >= 0xFB00 && c <= 0xFDFF)   // Latin, Hebrew and Arabic presentation forms
           || (c >= 0xFE70 && c <= 0xFEFF);  // Arabic presentation forms B
}

QString FromHexUtf16(const QByteArray& hex) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        text += QChar(static_cast<char16_t>((static_cast<unsigned char>(bytes[i]) << 8) |
                                            static_cast<unsigned char>(bytes[i + 1])));
    }
    return text;
}

QByteArray ToHexUtf16(const QString& text) {
    QByteArray bytes;
    for (const QChar c : text) {
        bytes += static_cast<char>(c.unicode() >> 8);
        bytes += static_cast<char>(c.unicode() & 0xFF);
    }
    return bytes.toHex().toUpper();
}

QByteArray Hex(const QByteArray& hexDigits) {
    return '<' + hexDigits + '>';
}

struct Token {
    enum Kind { HexString, OpenArray, CloseArray, Other } kind;
    QByteArray text;  // the hex digits of a HexString
};

std::vector<Token> Tokenize(const QByteArray& section) {
    std::vector<Token> tokens;
    qsizetype i = 0;
    while (i < section.size()) {
        const char c = section[i];
        if (c == '<') {
            const qsizetype end = section.indexOf('>', i);
            if (end < 0) {
                break;
            }
            QByteArray digits = section.mid(i + 1, end - i - 1);
            digits = digits.simplified().replace(' ', "");
            tokens.push_back({Token::HexString, digits});
            i = end + 1;
        } else if (c == '[') {
            tokens.push_back({Token::OpenArray, {}});
            ++i;
        } else if (c == ']') {
            tokens.push_back({Token::CloseArray, {}});
            ++i;
        } else if (QChar::isSpace(static_cast<unsigned char>(c))) {
            ++i;
        } else {
            qsizetype end = i;
            while (end < section.size() &&
                   !QChar::isSpace(static_cast<unsigned char>(section[end])) &&
                   section[end] != '<' && section[end] != '[') {
                ++end;
            }
            tokens.push_back({Token::Other, section.mid(i, end - i)});
            i = end;
        }
    }
    return tokens;
}

// Rewrites one destination; true when it changed.
bool RepairDestination(QByteArray& hexDigits) {
    const QString before = FromHexUtf16(hexDigits);
    const QString after = SearchableText(before);
    if (after == before) {
        return false;
    }
    hexDigits = ToHexUtf16(after);
    return true;
}

// One "beginbfchar" or "beginbfrange" body, rebuilt; nothing when nothing changed or
// the body is not understood.
std::optional<QByteArray> RepairSection(const QByteArray& body, bool ranges) {
    const std::vector<Token> tokens = Tokenize(body);
    QByteArray out;
    bool changed = false;
    size_t i = 0;
    const auto isHex = [&](size_t at) {
        return at < tokens.size() && tokens[at].kind == Token::HexString;
    };
    while (i < tokens.size()) {
        if (!ranges) {
            if (!isHex(i) || !isHex(i + 1)) {
                return std::nullopt;
            }
            QByteArray dst = tokens[i + 1].text;
            changed |= RepairDestination(dst);
            out += Hex(tokens[i].text) + ' ' + Hex(dst) + '\n';
            i += 2;
            continue;
        }
        if (!isHex(i) || !isHex(i + 1) || i + 2 >= tokens.size()) {
            return std::nullopt;
        }
        const QByteArray lo = tokens[i].text;
        const QByteArray hi = tokens[i + 1].text;
        if (tokens[i + 2].kind == Token::OpenArray) {
            out += Hex(lo) + ' ' + Hex(hi) + " [";
            size_t j = i + 3;
            while (isHex(j)) {
                QByteArray dst = tokens[j].text;
                changed |= RepairDestination(dst);
                out += Hex(dst) + ' ';
                ++j;
            }
            if (j >= tokens.size() || tokens[j].kind != Token::CloseArray) {
                return std::nullopt;
            }
            out += "]\n";
            i = j + 1;
            continue;
        }
        if (tokens[i + 2].kind != Token::HexString) {
            return std::nullopt;
        }
        const QByteArray base = tokens[i + 2].text;
        bool ok1 = false;
        bool ok2 = false;
        const uint first = lo.toUInt(&ok1, 16);
        const uint last = hi.toUInt(&ok2, 16);
        const QString baseText = FromHexUtf16(base);
        if (!ok1 || !ok2 || last < first || last - first > 0xFFFF || baseText.isEmpty()) {
            return std::nullopt;
        }
        // A range maps consecutive codes to consecutive characters: spell it out when
        // any of them needs repair.
        QByteArrayList destinations;
        bool rangeChanged = false;
        for (uint k = 0; k <= last - first; ++k) {
            QString text = baseText;
            text[text.size() - 1] = QChar(static_cast<char16_t>(text.back().unicode() + k));
            QByteArray dst = ToHexUtf16(text);
            rangeChanged |= RepairDestination(dst);
            destinations << Hex(dst);
        }
        if (rangeChanged) {
            out += Hex(lo) + ' ' + Hex(hi) + " [" + destinations.join(' ') + "]\n";
            changed = true;
        } else {
            out += Hex(lo) + ' ' + Hex(hi) + ' ' + Hex(base) + '\n';
        }
        i += 3;
    }
    if (!changed) {
        return std::nullopt;
    }
    return out;
}

}  // namespace

QString SearchableText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        out += IsCompatibilityForm(c) ? one.normalized(QString::NormalizationForm_KC) : one;
    }
    return out;
}

std::optional<QByteArray> RepairToUnicodeCMap(const QByteArray& cmap) {
    static const QRegularExpression section(
        QStringLiteral("(\\d+)(\\s+)begin(bfchar|bfrange)(.*?)end\\3"),
        QRegularExpression::DotMatchesEverythingOption);
    const QString text = QString::fromLatin1(cmap);
    QByteArray out;
    qsizetype copied = 0;
    bool changed = false;
    auto it = section.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool ranges = m.captured(3) == QLatin1String("bfrange");
        const auto repaired = RepairSection(m.captured(4).toLatin1(), ranges);
        if (!repaired) {
            continue;
        }
        out += cmap.mid(copied, m.capturedStart(4) - copied);
        out += '\n' + *repaired;
        copied = m.capturedEnd(4);
        changed = true;
    }
    if (!changed) {
        return std::nullopt;
    }
    out += cmap.mid(copied);
    return out;
}

}  // namespace velmora::mailconverter
