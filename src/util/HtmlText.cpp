#include "util/HtmlText.h"

#include <QHash>
#include <QRegularExpression>

#include <optional>

namespace velmora {

namespace {

// The longest reference looked for, "&" to ";" included.
constexpr qsizetype kMaxReference = 12;

std::optional<char32_t> NamedEntity(QStringView name) {
    static const QHash<QString, char32_t> entities{
        {"nbsp", 0xA0},    {"amp", '&'},      {"lt", '<'},        {"gt", '>'},
        {"quot", '"'},     {"apos", '\''},    {"euro", 0x20AC},   {"pound", 0xA3},
        {"yen", 0xA5},     {"cent", 0xA2},    {"copy", 0xA9},     {"reg", 0xAE},
        {"trade", 0x2122}, {"deg", 0xB0},     {"sect", 0xA7},     {"para", 0xB6},
        {"middot", 0xB7},  {"bull", 0x2022},  {"hellip", 0x2026}, {"ndash", 0x2013},
        {"mdash", 0x2014}, {"lsquo", 0x2018}, {"rsquo", 0x2019},  {"ldquo", 0x201C},
        {"rdquo", 0x201D}, {"laquo", 0xAB},   {"raquo", 0xBB},    {"times", 0xD7},
        {"divide", 0xF7},  {"plusmn", 0xB1},  {"frac12", 0xBD},   {"auml", 0xE4},
        {"ouml", 0xF6},    {"uuml", 0xFC},    {"Auml", 0xC4},     {"Ouml", 0xD6},
        {"Uuml", 0xDC},    {"szlig", 0xDF},   {"eacute", 0xE9},   {"egrave", 0xE8},
        {"ecirc", 0xEA},   {"agrave", 0xE0},  {"aacute", 0xE1},   {"ccedil", 0xE7},
        {"ntilde", 0xF1},  {"oacute", 0xF3},  {"iacute", 0xED},   {"uacute", 0xFA},
        {"Eacute", 0xC9},  {"shy", 0xAD},     {"zwnj", 0x200C}};
    const auto it = entities.constFind(name.toString());
    return it == entities.constEnd() ? std::nullopt : std::optional<char32_t>(*it);
}

std::optional<char32_t> NumericEntity(QStringView digits) {
    bool ok = false;
    const uint value = digits.startsWith(u'x') || digits.startsWith(u'X')
                           ? digits.mid(1).toUInt(&ok, 16)
                           : digits.toUInt(&ok, 10);
    if (!ok || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return std::nullopt;
    }
    return static_cast<char32_t>(value);
}

}  // namespace

QString DecodeHtmlEntities(const QString& text) {
    if (!text.contains(u'&')) {
        return text;
    }
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            const qsizetype semicolon = text.indexOf(u';', i + 1);
            if (semicolon > i + 1 && semicolon - i <= kMaxReference) {
                const QStringView name = QStringView(text).mid(i + 1, semicolon - i - 1);
                const std::optional<char32_t> c =
                    name.startsWith(u'#') ? NumericEntity(name.mid(1)) : NamedEntity(name);
                if (c) {
                    out.append(QString::fromUcs4(&*c, 1));
                    i = semicolon;
                    continue;
                }
            }
        }
        out.append(text[i]);
    }
    return out;
}

QString HtmlToText(QString html) {
    static const QRegularExpression hidden(
        QStringLiteral("<(script|style|head)[^>]*>.*?</\\1>"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression breaks(QStringLiteral("<(br|/p|/div|/tr|/li|/h[1-6])[^>]*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression cells(QStringLiteral("</t[dh]\\s*>"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression spaces(QStringLiteral("[ \\t\\r\\n]+"));
    html.remove(hidden);
    // Source line ends are blanks in HTML; only the tags above end lines.
    html.replace(spaces, QStringLiteral(" "));
    html.replace(breaks, QStringLiteral("\n"));
    html.replace(cells, QStringLiteral("\t"));
    html.remove(tags);
    QString text = DecodeHtmlEntities(html);
    text.replace(QChar(0xA0), QLatin1Char(' '));
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        line = line.trimmed();
    }
    return lines.join(QLatin1Char('\n')).trimmed();
}

}  // namespace velmora
