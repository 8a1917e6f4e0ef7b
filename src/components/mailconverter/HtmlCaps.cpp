#include "components/mailconverter/HtmlCaps.h"

#include "components/mailconverter/HtmlLayout.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <vector>

namespace velmora::mailconverter {

HtmlCaps CapNesting(const QString& html, int maxNesting, int maxIndents, QString& out) {
    static const QSet<QString> voidTags = {
        QStringLiteral("area"),  QStringLiteral("base"),   QStringLiteral("br"),
        QStringLiteral("col"),   QStringLiteral("embed"),  QStringLiteral("hr"),
        QStringLiteral("img"),   QStringLiteral("input"),  QStringLiteral("link"),
        QStringLiteral("meta"),  QStringLiteral("param"),  QStringLiteral("source"),
        QStringLiteral("track"), QStringLiteral("wbr"),    QStringLiteral("basefont"),
        QStringLiteral("frame"), QStringLiteral("keygen"), QStringLiteral("!doctype")};
    // Tags whose end a mail may leave out: a new one closes the open one.
    static const QSet<QString> optionalEnd = {
        QStringLiteral("p"),     QStringLiteral("li"),     QStringLiteral("td"),
        QStringLiteral("th"),    QStringLiteral("tr"),     QStringLiteral("dt"),
        QStringLiteral("dd"),    QStringLiteral("option"), QStringLiteral("thead"),
        QStringLiteral("tbody"), QStringLiteral("tfoot")};
    static const QSet<QString> indenting = {QStringLiteral("ul"),         QStringLiteral("ol"),
                                            QStringLiteral("blockquote"), QStringLiteral("dl"),
                                            QStringLiteral("dd"),         QStringLiteral("menu"),
                                            QStringLiteral("dir")};
    struct Open {
        QString name;
        QString written;  // the name its end tag is written with
        bool indents = false;
        QString startTag;  // tables: to start the next piece the same way
        int rows = 0;
    };
    HtmlCaps caps;
    out.clear();
    out.reserve(html.size());
    std::vector<Open> open;
    int indents = 0;
    int elements = 0;
    QHash<QString, int> droppedByName;
    auto closeTo = [&](std::vector<Open>::iterator from) {
        for (auto it = from; it != open.end(); ++it) {
            indents -= it->indents ? 1 : 0;
        }
        open.erase(from, open.end());
    };
    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype lt = html.indexOf(QLatin1Char('<'), i);
        if (lt < 0) {
            out += QStringView(html).mid(i);
            break;
        }
        out += QStringView(html).mid(i, lt - i);
        i = lt;
        if (QStringView(html).mid(i, 4) == QLatin1String("<!--")) {
            const qsizetype end = html.indexOf(QLatin1String("-->"), i + 4);
            const qsizetype stop = end < 0 ? n : end + 3;
            out += QStringView(html).mid(i, stop - i);
            i = stop;
            continue;
        }
        qsizetype j = i + 1;
        const bool closing = j < n && html[j] == QLatin1Char('/');
        if (closing) {
            ++j;
        }
        const qsizetype nameStart = j;
        while (j < n && (html[j].isLetterOrNumber() || html[j] == QLatin1Char('!') ||
                         html[j] == QLatin1Char('-') || html[j] == QLatin1Char(':'))) {
            ++j;
        }
        if (j == nameStart) {
            out += html[i];
            ++i;
            continue;
        }
        const QString name = html.mid(nameStart, j - nameStart).toLower();
        // The end of the tag, past quoted attribute values.
        QChar quote;
        while (j < n) {
            const QChar c = html[j];
            if (!quote.isNull()) {
                if (c == quote) {
                    quote = QChar();
                }
            } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                quote = c;
            } else if (c == QLatin1Char('>')) {
                break;
            }
            ++j;
        }
        const qsizetype tagEnd = std::min(j + 1, n);
        const QStringView tag = QStringView(html).mid(i, tagEnd - i);
        i = tagEnd;
        if (closing) {
            if (int& count = droppedByName[name]; count > 0) {
                --count;
                continue;
            }
            auto found = std::find_if(open.rbegin(), open.rend(),
                                      [&](const Open& o) { return o.name == name; });
            if (found != open.rend()) {
                const QString written = found->written;
                closeTo(std::next(found).base());
                out += QStringLiteral("</") + written + QLatin1Char('>');
            }
            continue;
        }
        if (name == QLatin1String("script") || name == QLatin1String("style") ||
            name == QLatin1String("textarea") || name == QLatin1String("title")) {
            // Raw text up to its own end tag.
            const qsizetype end = html.indexOf(QStringLiteral("</") + name, i, Qt::CaseInsensitive);
            const qsizetype stop = end < 0 ? n : end;
            out += tag;
            out += QStringView(html).mid(i, stop - i);
            i = stop;
            open.push_back({name, name, false, QString(), 0});
            continue;
        }
        if (voidTags.contains(name) || tag.endsWith(QLatin1String("/>"))) {
            out += tag;
            continue;
        }
        if (name == QLatin1String("tr")) {
            // litehtml checks every row against those above it: a very long table goes in
            // as tables of kMaxTableRows rows each.
            auto table = std::find_if(open.rbegin(), open.rend(), [](const Open& o) {
                return o.name == QLatin1String("table");
            });
            if (table != open.rend() && ++table->rows > HtmlLayout::kMaxTableRows) {
                const QString start = table->startTag;
                auto from = std::next(table).base();
                for (auto it = open.rbegin(); it != std::make_reverse_iterator(from); ++it) {
                    out += QStringLiteral("</") + it->written + QLatin1Char('>');
                }
                closeTo(from);
                out += start;
                open.push_back({QStringLiteral("table"), QStringLiteral("table"), false, start, 1});
                ++caps.splitTables;
            }
        }
        if (optionalEnd.contains(name)) {
            for (auto it = open.rbegin(); it != open.rend(); ++it) {
                if (it->name == name) {
                    closeTo(std::next(it).base());
                    break;
                }
                if (it->name == QLatin1String("table") || it->name == QLatin1String("ul") ||
                    it->name == QLatin1String("ol") || it->name == QLatin1String("div")) {
                    break;
                }
            }
        }
        if (int(open.size()) >= maxNesting) {
            ++droppedByName[name];
            ++caps.droppedTags;
            continue;
        }
        if (++elements > HtmlLayout::kMaxElements) {
            // Past this many elements the rest is text: a space keeps its words apart.
            ++droppedByName[name];
            ++caps.beyondElements;
            out += QLatin1Char(' ');
            continue;
        }
        const bool styled = tag.contains(QLatin1String("margin"), Qt::CaseInsensitive) ||
                            tag.contains(QLatin1String("padding"), Qt::CaseInsensitive) ||
                            tag.contains(QLatin1String("indent"), Qt::CaseInsensitive);
        const bool indentsHere = indenting.contains(name) || styled;
        if (indentsHere && indents >= maxIndents) {
            // Kept as a plain block: its text stays in the column.
            ++caps.flattenedIndents;
            const QString written = indenting.contains(name) ? QStringLiteral("div") : name;
            out += QLatin1Char('<') + written + QLatin1Char('>');
            open.push_back({name, written, false, QString(), 0});
            continue;
        }
        indents += indentsHere ? 1 : 0;
        open.push_back({name, name, indentsHere,
                        name == QLatin1String("table") ? tag.toString() : QString(), 0});
        out += tag;
    }
    return caps;
}

}  // namespace velmora::mailconverter
