#include "components/notesstore/MimeItems.h"

#include <QHash>
#include <QRegularExpression>

// GLib names a struct member "signals", which Qt's keyword macro would rewrite.
#undef signals
#include "components/mime/GObjectPtr.h"
#include "components/mime/MimeBody.h"

#include <gmime/gmime.h>

namespace velmora::notesstore {

using namespace velmora::notes;

namespace {

constexpr int kMaxDepth = 48;

void CollectBoundaries(GMimeObject* object, QList<QByteArray>& out, int depth) {
    if (object == nullptr || depth > kMaxDepth) {
        return;
    }
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        if (const char* boundary = g_mime_multipart_get_boundary(multipart)) {
            out << "--" + QByteArray(boundary);
        }
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            CollectBoundaries(g_mime_multipart_get_part(multipart, i), out, depth + 1);
        }
    }
}

struct TextParts {
    QString plain;
    QString html;
    bool hasPlain = false;
    bool hasHtml = false;
};

void FindText(GMimeObject* object, TextParts& found, int depth) {
    if (object == nullptr || depth > kMaxDepth || found.hasPlain) {
        return;
    }
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            FindText(g_mime_multipart_get_part(multipart, i), found, depth + 1);
        }
        return;
    }
    if (!GMIME_IS_TEXT_PART(object) || g_mime_part_is_attachment(GMIME_PART(object))) {
        return;
    }
    GMimeContentType* type = g_mime_object_get_content_type(object);
    const bool plain = g_mime_content_type_is_type(type, "text", "plain");
    const bool html = g_mime_content_type_is_type(type, "text", "html");
    if ((!plain || found.hasPlain) && (!html || found.hasHtml)) {
        return;
    }
    char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(object));
    const QString decoded = QString::fromUtf8(text ? text : "");
    g_free(text);
    if (plain) {
        found.plain = decoded;
        found.hasPlain = true;
    } else {
        found.html = decoded;
        found.hasHtml = true;
    }
}

QString NamedEntity(const QString& name) {
    static const QHash<QString, char16_t> entities{
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
    const auto it = entities.constFind(name);
    return it == entities.constEnd() ? QString() : QString(QChar(*it));
}

}  // namespace

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
    static const QRegularExpression entity(QStringLiteral("&(#[xX]?[0-9a-fA-F]+|[a-zA-Z0-9]+);"));
    html.remove(hidden);
    // Source line ends are blanks in HTML; only the tags above end lines.
    html.replace(spaces, QStringLiteral(" "));
    html.replace(breaks, QStringLiteral("\n"));
    html.replace(cells, QStringLiteral("\t"));
    html.remove(tags);
    QString text;
    qsizetype last = 0;
    for (auto match = entity.globalMatch(html); match.hasNext();) {
        const auto m = match.next();
        text += html.mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        QString decoded;
        if (name.startsWith(QLatin1Char('#'))) {
            const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
            bool ok = false;
            const uint code = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                decoded = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
            }
        } else {
            decoded = NamedEntity(name);
        }
        text += decoded.isEmpty() ? m.captured(0) : decoded;
        last = m.capturedEnd();
    }
    text += html.mid(last);
    text.replace(QChar(0xA0), QLatin1Char(' '));
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        line = line.trimmed();
    }
    return lines.join(QLatin1Char('\n')).trimmed();
}

QString MimePlainText(const QByteArray& message) {
    auto entity = mime::ParseEntity(message);
    TextParts found;
    FindText(entity.get(), found, 0);
    if (found.hasPlain) {
        return found.plain;
    }
    return found.hasHtml ? HtmlToText(found.html) : QString();
}

void AddMimeBody(DocumentData& document, const QByteArray& message, const QString& plainText) {
    QList<QByteArray> boundaries;
    auto entity = mime::ParseEntity(message);
    CollectBoundaries(entity.get(), boundaries, 0);
    // A new part begins at every boundary line.
    std::vector<QByteArray> parts;
    qsizetype start = 0;
    qsizetype line = 0;
    while (line < message.size()) {
        qsizetype next = message.indexOf('\n', line);
        next = next < 0 ? message.size() : next + 1;
        if (line > start && message.at(line) == '-') {
            for (const QByteArray& boundary : boundaries) {
                if (QByteArrayView(message).sliced(line).startsWith(boundary)) {
                    parts.push_back(message.mid(start, line - start));
                    start = line;
                    break;
                }
            }
        }
        line = next;
    }
    parts.push_back(message.mid(start));
    const QString text = plainText.isNull() ? MimePlainText(message) : plainText;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        ItemData& item = document.Add(QStringLiteral("Body"),
                                      i == 0 ? NotesValues{text} : NotesValues{}, kItemMimePart);
        item.data = parts[i];
    }
    document.AddText(QStringLiteral("MIME_Version"), {QStringLiteral("1.0")});
    document.AddText(QStringLiteral("$NoteHasNativeMIME"), {QStringLiteral("1")});
}

}  // namespace velmora::notesstore
