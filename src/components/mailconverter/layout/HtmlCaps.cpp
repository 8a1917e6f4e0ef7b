#include "components/mailconverter/layout/HtmlCaps.h"

#include "components/mailconverter/layout/HtmlLayout.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <utility>
#include <vector>

namespace velmora::mailconverter {

namespace {

using Names = QSet<QString>;

const Names& VoidTags() {
    static const Names names = {
        QStringLiteral("area"),  QStringLiteral("base"),   QStringLiteral("br"),
        QStringLiteral("col"),   QStringLiteral("embed"),  QStringLiteral("hr"),
        QStringLiteral("img"),   QStringLiteral("input"),  QStringLiteral("link"),
        QStringLiteral("meta"),  QStringLiteral("param"),  QStringLiteral("source"),
        QStringLiteral("track"), QStringLiteral("wbr"),    QStringLiteral("basefont"),
        QStringLiteral("frame"), QStringLiteral("keygen"), QStringLiteral("!doctype")};
    return names;
}

// Tags whose end a mail may leave out: a new one closes the open one.
const Names& OptionalEnd() {
    static const Names names = {
        QStringLiteral("p"),     QStringLiteral("li"),     QStringLiteral("td"),
        QStringLiteral("th"),    QStringLiteral("tr"),     QStringLiteral("dt"),
        QStringLiteral("dd"),    QStringLiteral("option"), QStringLiteral("thead"),
        QStringLiteral("tbody"), QStringLiteral("tfoot")};
    return names;
}

const Names& Indenting() {
    static const Names names = {QStringLiteral("ul"),         QStringLiteral("ol"),
                                QStringLiteral("blockquote"), QStringLiteral("dl"),
                                QStringLiteral("dd"),         QStringLiteral("menu"),
                                QStringLiteral("dir")};
    return names;
}

// The elements the HTML parser keeps in its list of formatting elements: when a block closes
// them, it makes each again before the next text or tag.
const Names& Formatting() {
    static const Names names = {
        QStringLiteral("a"),     QStringLiteral("b"),      QStringLiteral("big"),
        QStringLiteral("code"),  QStringLiteral("em"),     QStringLiteral("font"),
        QStringLiteral("i"),     QStringLiteral("nobr"),   QStringLiteral("s"),
        QStringLiteral("small"), QStringLiteral("strike"), QStringLiteral("strong"),
        QStringLiteral("tt"),    QStringLiteral("u")};
    return names;
}

// Start tags after which the parser may have closed formatting elements that are still open
// here: blocks that close a paragraph, list items, headings, table parts.
const Names& MayCloseFormatting() {
    static const Names names = {
        QStringLiteral("address"),    QStringLiteral("article"),  QStringLiteral("aside"),
        QStringLiteral("blockquote"), QStringLiteral("center"),   QStringLiteral("details"),
        QStringLiteral("dialog"),     QStringLiteral("dir"),      QStringLiteral("div"),
        QStringLiteral("dl"),         QStringLiteral("fieldset"), QStringLiteral("figcaption"),
        QStringLiteral("figure"),     QStringLiteral("footer"),   QStringLiteral("header"),
        QStringLiteral("hgroup"),     QStringLiteral("main"),     QStringLiteral("menu"),
        QStringLiteral("nav"),        QStringLiteral("ol"),       QStringLiteral("p"),
        QStringLiteral("section"),    QStringLiteral("summary"),  QStringLiteral("ul"),
        QStringLiteral("h1"),         QStringLiteral("h2"),       QStringLiteral("h3"),
        QStringLiteral("h4"),         QStringLiteral("h5"),       QStringLiteral("h6"),
        QStringLiteral("pre"),        QStringLiteral("listing"),  QStringLiteral("form"),
        QStringLiteral("li"),         QStringLiteral("dd"),       QStringLiteral("dt"),
        QStringLiteral("plaintext"),  QStringLiteral("table"),    QStringLiteral("hr"),
        QStringLiteral("xmp"),        QStringLiteral("caption"),  QStringLiteral("colgroup"),
        QStringLiteral("col"),        QStringLiteral("tbody"),    QStringLiteral("thead"),
        QStringLiteral("tfoot"),      QStringLiteral("tr"),       QStringLiteral("td"),
        QStringLiteral("th"),         QStringLiteral("button"),   QStringLiteral("select"),
        QStringLiteral("option"),     QStringLiteral("optgroup"), QStringLiteral("body"),
        QStringLiteral("html"),       QStringLiteral("frameset"), QStringLiteral("a"),
        QStringLiteral("nobr")};
    return names;
}

const Names& TableTags() {
    static const Names names = {QStringLiteral("table"),    QStringLiteral("caption"),
                                QStringLiteral("colgroup"), QStringLiteral("col"),
                                QStringLiteral("thead"),    QStringLiteral("tbody"),
                                QStringLiteral("tfoot"),    QStringLiteral("tr"),
                                QStringLiteral("td"),       QStringLiteral("th")};
    return names;
}

// Most formatting elements begun and not ended; past them, more are left out.
constexpr int kMaxActiveFormatting = 16;
// Elements the parser may make for one misnested formatting end tag.
constexpr int kMisnestedEndCost = 16;

// Just past the comment that starts at `i` ("<!--"), ended as the HTML parser ends it.
qsizetype CommentEnd(const QString& html, qsizetype i) {
    const QStringView rest = QStringView(html).mid(i + 4);
    if (rest.startsWith(u'>')) {
        return i + 5;
    }
    if (rest.startsWith(u"->")) {
        return i + 6;
    }
    const qsizetype plain = rest.indexOf(u"-->");
    const qsizetype bang = rest.indexOf(u"--!>");
    if (plain < 0 && bang < 0) {
        return html.size();
    }
    if (bang >= 0 && (plain < 0 || bang < plain)) {
        return i + 4 + bang + 4;
    }
    return i + 4 + plain + 3;
}

// The ">" that ends the tag whose attributes start at `j`, as the HTML parser reads them: a
// quote opens a value only right after "=" (so <p a"b> ends at its ">"), or the end.
qsizetype TagEnd(const QString& html, qsizetype j) {
    enum class State { BeforeName, Name, AfterName, BeforeValue, Unquoted };
    State state = State::BeforeName;
    for (; j < html.size(); ++j) {
        const QChar c = html[j];
        const bool space = c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
        if (c == u'>') {
            return j;
        }
        switch (state) {
            case State::BeforeName:
                state = space || c == u'/' ? State::BeforeName : State::Name;
                break;
            case State::Name:
            case State::AfterName:
                if (c == u'=') {
                    state = State::BeforeValue;
                } else if (c == u'/') {
                    state = State::BeforeName;
                } else {
                    state = space ? State::AfterName : State::Name;
                }
                break;
            case State::BeforeValue:
                if (c == u'"' || c == u'\'') {
                    const qsizetype close = html.indexOf(c, j + 1);
                    if (close < 0) {
                        return html.size();
                    }
                    j = close;
                    state = State::BeforeName;
                } else if (!space) {
                    state = State::Unquoted;
                }
                break;
            case State::Unquoted:
                state = space ? State::BeforeName : State::Unquoted;
                break;
        }
    }
    return html.size();
}

class Capper {
  public:
    Capper(const QString& html, int maxNesting, int maxIndents, QString& out, HtmlBudget& budget)
        : m_html(html),
          m_maxNesting(maxNesting),
          m_maxIndents(maxIndents),
          m_out(out),
          m_budget(budget),
          m_maxElements(std::min<std::int64_t>(HtmlLayout::kMaxElements, budget.elements)) {}

    HtmlCaps Run() {
        m_out.clear();
        m_out.reserve(m_html.size());
        const qsizetype n = m_html.size();
        qsizetype i = 0;
        while (i < n) {
            const qsizetype lt = m_html.indexOf(QLatin1Char('<'), i);
            Text(QStringView(m_html).mid(i, (lt < 0 ? n : lt) - i));
            if (lt < 0) {
                break;
            }
            i = Markup(lt);
        }
        m_budget.elements = std::max<std::int64_t>(0, m_budget.elements - m_elements);
        m_budget.tagGridCells = std::max<std::int64_t>(0, m_budget.tagGridCells - m_gridCells);
        return m_caps;
    }

  private:
    struct Open {
        Open(QString openName, QString writtenName, bool indenting = false, QString start = {})
            : name(std::move(openName)),
              written(std::move(writtenName)),
              indents(indenting),
              startTag(std::move(start)) {}
        QString name;
        QString written;  // the name its end tag is written with
        bool indents = false;
        QString startTag;  // tables: to start the next piece the same way
        int rows = 0;
        int cells = 0;  // in the row being read
        int widest = 0;
    };

    void Text(QStringView text) {
        if (std::any_of(text.begin(), text.end(), [](QChar c) { return !c.isSpace(); })) {
            Remade();
        }
        m_out += text;
    }

    // The formatting elements the parser makes again, counted as it makes them.
    void Remade() {
        if (m_mayBeClosed && !m_active.empty()) {
            Count(std::int64_t(m_active.size()));
        }
        m_mayBeClosed = false;
    }

    void Count(std::int64_t elements) {
        m_elements += elements;
        if (m_elements > m_maxElements) {
            m_beyond = true;
        }
    }

    // Past the element cap every tag is left out, so the parser makes nothing more.
    void LeaveOut() {
        ++m_caps.beyondElements;
        m_out += QLatin1Char(' ');
    }

    // Handles the markup at `lt`; returns where the text goes on.
    qsizetype Markup(qsizetype lt) {
        const qsizetype n = m_html.size();
        if (QStringView(m_html).mid(lt, 4) == u"<!--") {
            const qsizetype stop = CommentEnd(m_html, lt);
            if (!m_beyond) {
                Count(1);
                m_out += QStringView(m_html).mid(lt, stop - lt);
            }
            return stop;
        }
        qsizetype j = lt + 1;
        const bool closing = j < n && m_html[j] == QLatin1Char('/');
        j += closing ? 1 : 0;
        const qsizetype nameStart = j;
        while (j < n && (m_html[j].isLetterOrNumber() || m_html[j] == QLatin1Char('!') ||
                         m_html[j] == QLatin1Char('-') || m_html[j] == QLatin1Char(':'))) {
            ++j;
        }
        if (j == nameStart) {
            m_out += m_html[lt];
            return lt + 1;
        }
        const QString name = m_html.mid(nameStart, j - nameStart).toLower();
        // A declaration or bogus comment ends at its first ">", whatever quotes it holds.
        const qsizetype end = name.startsWith(QLatin1Char('!'))
                                  ? m_html.indexOf(QLatin1Char('>'), j)
                                  : TagEnd(m_html, j);
        const qsizetype tagEnd = end < 0 ? n : std::min(end + 1, n);
        const QStringView tag = QStringView(m_html).mid(lt, tagEnd - lt);
        if (!closing) {
            return StartTag(name, tag, tagEnd);
        }
        if (m_beyond) {
            LeaveOut();
        } else {
            EndTag(name);
        }
        return tagEnd;
    }

    void EndTag(const QString& name) {
        if (int& count = m_droppedByName[name]; count > 0) {
            --count;
            return;
        }
        auto found = std::find_if(m_open.rbegin(), m_open.rend(),
                                  [&](const Open& o) { return o.name == name; });
        const auto active = std::find(m_active.rbegin(), m_active.rend(), name);
        if (active != m_active.rend()) {
            m_active.erase(std::next(active).base());
            if (found != m_open.rbegin()) {
                Count(kMisnestedEndCost);  // misnested: the parser mends it with new elements
            }
        } else if (found == m_open.rend() &&
                   (name == QLatin1String("p") || name == QLatin1String("br"))) {
            Count(1);  // the parser makes the element it lacks
        }
        if (found != m_open.rend()) {
            const QString written = found->written;
            CloseTo(std::next(found).base());
            m_out += QStringLiteral("</") + written + QLatin1Char('>');
        }
    }

    qsizetype StartTag(const QString& name, QStringView tag, qsizetype tagEnd) {
        Remade();
        if (MayCloseFormatting().contains(name)) {
            m_mayBeClosed = true;
        }
        if (name == QLatin1String("script") || name == QLatin1String("style") ||
            name == QLatin1String("textarea") || name == QLatin1String("title")) {
            return RawText(name, tag, tagEnd);
        }
        Count(1);
        if (m_beyond) {
            LeaveOut();
            return tagEnd;
        }
        // "<div/>" opens a div in HTML: only void elements stand alone. (Inside svg, "/>" does
        // close an element; counted as open, such elements only weigh more against the caps.)
        if (VoidTags().contains(name)) {
            m_out += tag;
            return tagEnd;
        }
        if (!TableTag(name)) {
            Unwrap(name);
            ++m_caps.ungriddedTags;
            return tagEnd;
        }
        if (OptionalEnd().contains(name)) {
            for (auto it = m_open.rbegin(); it != m_open.rend(); ++it) {
                if (it->name == name) {
                    CloseTo(std::next(it).base());
                    break;
                }
                if (it->name == QLatin1String("table") || it->name == QLatin1String("ul") ||
                    it->name == QLatin1String("ol") || it->name == QLatin1String("div")) {
                    break;
                }
            }
        }
        const bool formatting = Formatting().contains(name);
        if (int(m_open.size()) >= m_maxNesting ||
            (formatting && int(m_active.size()) >= kMaxActiveFormatting)) {
            Unwrap(name);
            ++m_caps.droppedTags;
            return tagEnd;
        }
        if (formatting) {
            if (name == QLatin1String("a") || name == QLatin1String("nobr")) {
                EndTag(name);  // a new link ends the open one, as the parser does
            }
            m_active.push_back(name);
        }
        const bool styled = tag.contains(QLatin1String("margin"), Qt::CaseInsensitive) ||
                            tag.contains(QLatin1String("padding"), Qt::CaseInsensitive) ||
                            tag.contains(QLatin1String("indent"), Qt::CaseInsensitive);
        const bool indents = Indenting().contains(name) || styled;
        if (indents && m_indents >= m_maxIndents) {
            // Kept as a plain block: its text stays in the column.
            ++m_caps.flattenedIndents;
            const QString written = Indenting().contains(name) ? QStringLiteral("div") : name;
            m_out += QLatin1Char('<') + written + QLatin1Char('>');
            m_open.emplace_back(name, written);
            return tagEnd;
        }
        m_indents += indents ? 1 : 0;
        m_open.push_back(
            {name, name, indents, name == QLatin1String("table") ? tag.toString() : QString()});
        m_out += tag;
        return tagEnd;
    }

    // A start tag left out with its end tag; its text stays.
    void Unwrap(const QString& name) {
        ++m_droppedByName[name];
        m_out += QLatin1Char(' ');
    }

    // Raw text up to its own end tag; style text past its budget is left out.
    qsizetype RawText(const QString& name, QStringView tag, qsizetype from) {
        const qsizetype end =
            m_html.indexOf(QStringLiteral("</") + name, from, Qt::CaseInsensitive);
        const qsizetype stop = end < 0 ? m_html.size() : end;
        Count(1);
        if (m_beyond) {
            LeaveOut();
            return stop;
        }
        QStringView text = QStringView(m_html).mid(from, stop - from);
        if (name == QLatin1String("style")) {
            const qsizetype kept = std::min<qsizetype>(text.size(), m_budget.styleChars);
            m_caps.droppedStyleChars += int(text.size() - kept);
            m_budget.styleChars -= kept;
            text = text.left(kept);
        }
        m_out += tag;
        m_out += text;
        m_open.emplace_back(name, name);
        return stop;
    }

    // Counts a table tag's cells against the grid budget: false when it is past it, and from
    // then on every table tag is unwrapped.
    bool TableTag(const QString& name) {
        if (!TableTags().contains(name)) {
            return true;
        }
        if (m_gridSpent) {
            return false;
        }
        auto table = std::find_if(m_open.rbegin(), m_open.rend(),
                                  [](const Open& o) { return o.name == QLatin1String("table"); });
        if (name == QLatin1String("tr") && table != m_open.rend()) {
            SplitLongTable(table);
            table = std::find_if(m_open.rbegin(), m_open.rend(),
                                 [](const Open& o) { return o.name == QLatin1String("table"); });
            ++table->rows;
            table->cells = 0;
            m_gridCells += table->widest;
        } else if ((name == QLatin1String("td") || name == QLatin1String("th")) &&
                   table != m_open.rend()) {
            if (table->rows == 0) {
                table->rows = 1;  // the parser makes the row
            }
            if (++table->cells > table->widest) {
                table->widest = table->cells;
                m_gridCells += table->rows;
            }
        }
        const std::int64_t budget = std::min<std::int64_t>(kMaxGridCells, m_budget.tagGridCells);
        m_gridSpent = m_gridCells > budget;
        return !m_gridSpent;
    }

    // litehtml checks every row against those above it: a very long table goes in as tables
    // of kMaxTableRows rows each.
    void SplitLongTable(std::vector<Open>::reverse_iterator table) {
        if (table->rows < HtmlLayout::kMaxTableRows) {
            return;
        }
        const QString start = table->startTag;
        auto from = std::next(table).base();
        for (auto it = m_open.rbegin(); it != std::make_reverse_iterator(from); ++it) {
            m_out += QStringLiteral("</") + it->written + QLatin1Char('>');
        }
        CloseTo(from);
        m_out += start;
        m_open.emplace_back(QStringLiteral("table"), QStringLiteral("table"), false, start);
        ++m_caps.splitTables;
    }

    void CloseTo(std::vector<Open>::iterator from) {
        for (auto it = from; it != m_open.end(); ++it) {
            m_indents -= it->indents ? 1 : 0;
            if (Formatting().contains(it->name)) {
                m_mayBeClosed = true;
            }
        }
        m_open.erase(from, m_open.end());
    }

    static constexpr std::int64_t kMaxGridCells = 500'000;  // for one part

    const QString& m_html;
    const int m_maxNesting;
    const int m_maxIndents;
    QString& m_out;
    HtmlBudget& m_budget;
    const std::int64_t m_maxElements;
    HtmlCaps m_caps;
    std::vector<Open> m_open;
    std::vector<QString> m_active;  // formatting elements begun and not ended
    bool m_mayBeClosed = false;     // some of them may have been closed by a block since
    QHash<QString, int> m_droppedByName;
    int m_indents = 0;
    std::int64_t m_elements = 0;
    bool m_beyond = false;
    std::int64_t m_gridCells = 0;
    bool m_gridSpent = false;
};

}  // namespace

HtmlCaps CapNesting(const QString& html, int maxNesting, int maxIndents, QString& out,
                    HtmlBudget* budget) {
    HtmlBudget own;
    return Capper(html, maxNesting, maxIndents, out, budget ? *budget : own).Run();
}

}  // namespace velmora::mailconverter
