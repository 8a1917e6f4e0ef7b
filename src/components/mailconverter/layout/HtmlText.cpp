#include "components/mailconverter/layout/HtmlContainer.h"

#include <QFontDatabase>

#include <algorithm>
#include <bitset>
#include <cctype>
#include <cmath>
#include <string_view>
#include <unordered_map>

namespace velmora::mailconverter {

namespace {
// Ours: Debian's library ships none, and mail relies on the browsers' defaults.
constexpr const char* kMasterCss = R"css(
html, address, blockquote, body, dd, div, dl, dt, fieldset, form, frame, frameset,
h1, h2, h3, h4, h5, h6, noframes, ol, p, ul, center, dir, hr, menu, pre, header, footer,
section, article, nav, aside, main, figure, figcaption { display: block; }
li { display: list-item; }
head, style, script, title, meta, link, base, template, noscript { display: none; }
table { display: table; border-collapse: separate; border-spacing: 2px; }
tr { display: table-row; vertical-align: inherit; }
thead { display: table-header-group; vertical-align: middle; }
tbody { display: table-row-group; vertical-align: middle; }
tfoot { display: table-footer-group; vertical-align: middle; }
col { display: table-column; }
colgroup { display: table-column-group; }
td, th { display: table-cell; vertical-align: inherit; padding: 1px; }
th { font-weight: bold; text-align: center; }
caption { display: table-caption; text-align: center; }
body { margin: 8px; }
h1 { font-size: 2em; margin: .67em 0; font-weight: bold; }
h2 { font-size: 1.5em; margin: .75em 0; font-weight: bold; }
h3 { font-size: 1.17em; margin: .83em 0; font-weight: bold; }
h4 { margin: 1.12em 0; font-weight: bold; }
h5 { font-size: .83em; margin: 1.5em 0; font-weight: bold; }
h6 { font-size: .75em; margin: 1.67em 0; font-weight: bold; }
p, blockquote, ul, fieldset, form, ol, dl, dir, menu { margin: 1em 0; }
blockquote { margin-left: 40px; margin-right: 40px; }
b, strong { font-weight: bold; }
i, cite, em, var, address, dfn { font-style: italic; }
pre, tt, code, kbd, samp { font-family: monospace; }
pre { white-space: pre; margin: 1em 0; }
big { font-size: 1.17em; }
small { font-size: .83em; }
sub { vertical-align: sub; font-size: .83em; }
sup { vertical-align: super; font-size: .83em; }
s, strike, del { text-decoration: line-through; }
u, ins { text-decoration: underline; }
ol, ul, dir, menu, dd { margin-left: 0; padding-left: 40px; }
ol { list-style-type: decimal; }
ul { list-style-type: disc; }
ul ul, ol ul { list-style-type: circle; }
ol ol, ol ul, ul ol, ul ul { margin-top: 0; margin-bottom: 0; }
dd { margin-left: 40px; padding-left: 0; }
center { text-align: center; }
center table, table[align=center] { margin-left: auto; margin-right: auto; }
td[align=center], th[align=center], div[align=center], p[align=center], tr[align=center] { text-align: center; }
td[align=right], th[align=right], div[align=right], p[align=right], tr[align=right] { text-align: right; }
td[valign=top], th[valign=top], tr[valign=top] { vertical-align: top; }
td[valign=bottom], th[valign=bottom], tr[valign=bottom] { vertical-align: bottom; }
img[align=center] { display: block; margin-left: auto; margin-right: auto; }
table[border="1"], table[border="2"], table[border="3"] { border: 1px outset #808080; }
table[border="1"] > tbody > tr > td, table[border="1"] > tbody > tr > th,
table[border="2"] > tbody > tr > td, table[border="2"] > tbody > tr > th,
table[border="3"] > tbody > tr > td, table[border="3"] > tbody > tr > th { border: 1px inset #808080; }
[dir=rtl] { text-align: right; }
hr { display: block; height: 0; border: 0; border-top: 1px solid #c8c8c8; margin: .5em 0; }
a { color: #0645ad; text-decoration: underline; }
img { border: 0; display: inline-block; }
br { display: block; }
)css";

bool BreaksAnywhere(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

// Bytes of the UTF-8 sequence at `at`; 1 for a byte that starts none.
size_t Utf8Length(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : 1;
    for (size_t i = 1; i < length; ++i) {
        if (at + i >= text.size() || (static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

char32_t Utf8Decode(std::string_view text, size_t from, size_t to) {
    const auto lead = static_cast<unsigned char>(text[from]);
    if (to - from == 1) {
        return lead < 0x80 ? lead : 0xFFFD;
    }
    char32_t c = lead & (0x7F >> (to - from));
    for (size_t i = from + 1; i < to; ++i) {
        c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    return c;
}

// Where a word that is an e-mail address or a link longer than a short line may wrap: after
// "/" (not inside "//") and ".", before "@". None for other words.
std::vector<size_t> LinkBreaks(std::string_view word) {
    constexpr size_t kShortest = 30;  // bytes; shorter ones fit any column
    std::vector<size_t> breaks;
    const bool link = word.find('@') != std::string_view::npos ||
                      word.find("://") != std::string_view::npos || word.substr(0, 4) == "www." ||
                      word.substr(0, 4) == "WWW.";
    if (!link || word.size() <= kShortest) {
        return breaks;
    }
    for (size_t i = 1; i + 1 < word.size(); ++i) {
        const char c = word[i];
        if ((c == '.' ||
             (c == '/' && word[i + 1] != '/' && word[i - 1] != ':' && word[i - 1] != '/')) ||
            (word[i + 1] == '@')) {
            breaks.push_back(i + 1);
        }
    }
    return breaks;
}

}  // namespace

namespace {

using Needs = std::bitset<256>;

// The master sheet's selectors, each with what an element needs to match it: the tag its
// rightmost compound names, the attribute values it tests for equality.
struct MasterSheet {
    struct Rule {
        std::vector<std::pair<std::string, std::vector<int>>> selectors;  // text, needs
        std::string declarations;
    };
    std::vector<Rule> rules;
    std::unordered_map<std::string, int> tags;                                     // tag -> bit
    std::unordered_map<std::string, std::unordered_map<std::string, int>> values;  // -> bit
    size_t bits = 0;  // tags and values
};

// `name="value"` or `name=value` -> name, value; lower case, as both are compared.
std::optional<std::pair<std::string, std::string>> EqualityTest(std::string test) {
    std::transform(test.begin(), test.end(), test.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const size_t equals = test.find('=');
    if (equals == std::string::npos || equals == 0 ||
        std::string_view("~|^$*").find(test[equals - 1]) != std::string_view::npos) {
        return std::nullopt;
    }
    std::string value = test.substr(equals + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    return std::pair(test.substr(0, equals), value);
}

const MasterSheet& Master() {
    static const MasterSheet sheet = [] {
        // litehtml reads no cellpadding attribute; layout tables in mail lean on it. It
        // weighs these rules by specificity against the mail's own, so "0", where mail sets
        // its paddings itself, keeps the default.
        std::string css = kMasterCss;
        for (int n = 1; n <= 20; ++n) {
            const std::string value =
                "table[cellpadding=\"" + std::to_string(n) + "\"] > tbody > tr > ";
            css += value + "td, " + value + "th { padding: " + std::to_string(n) + "px; }\n";
        }
        MasterSheet built;
        std::vector<std::pair<std::string, std::vector<std::string>>> parsed;  // tag, tests
        for (size_t at = 0, open; (open = css.find('{', at)) != std::string::npos;) {
            const size_t close = css.find('}', open);
            built.rules.push_back({{}, css.substr(open + 1, close - open - 1)});
            std::string_view list(css.data() + at, open - at);
            while (!list.empty()) {
                const size_t comma = std::min(list.find(','), list.size());
                std::string selector(list.substr(0, comma));
                list.remove_prefix(std::min(comma + 1, list.size()));
                selector.erase(0, selector.find_first_not_of(" \n"));
                selector.erase(selector.find_last_not_of(" \n") + 1);
                const size_t last = selector.find_last_of(" >+~") + 1;  // npos + 1 == 0
                const size_t end = selector.find_first_of("[.:#", last);
                std::string tag = selector.substr(last, end - last);
                std::vector<int> needs;
                if (!tag.empty() && tag != "*") {
                    needs.push_back(
                        built.tags.try_emplace(tag, int(built.tags.size())).first->second);
                }
                std::vector<std::string> tests;
                for (size_t from = selector.find('['); from != std::string::npos;
                     from = selector.find('[', from + 1)) {
                    tests.push_back(selector.substr(from + 1, selector.find(']', from) - from - 1));
                }
                built.rules.back().selectors.emplace_back(std::move(selector), std::move(needs));
                parsed.emplace_back(std::move(tag), std::move(tests));
            }
            at = close + 1;
        }
        // Value bits after every tag's.
        built.bits = built.tags.size();
        size_t k = 0;
        for (MasterSheet::Rule& rule : built.rules) {
            for (auto& [selector, needs] : rule.selectors) {
                for (const std::string& test : parsed[k].second) {
                    if (const auto equality = EqualityTest(test)) {
                        auto& values = built.values[equality->first];
                        const auto it = values.try_emplace(equality->second, -1).first;
                        if (it->second < 0) {
                            it->second = int(built.bits++);
                        }
                        needs.push_back(it->second);
                    }
                }
                ++k;
            }
        }
        Q_ASSERT(built.bits <= Needs().size());
        return built;
    }();
    return sheet;
}

// What `html` may hold of what the master's selectors need: the tags it writes, start or end
// tag, and those the parser makes of its own; the values it writes for the attributes they
// test, all of an attribute's where a character reference could make any.
Needs NeedsOf(const QByteArray& html) {
    const MasterSheet& master = Master();
    Needs held;
    const auto add = [&](const std::string& tag) {
        if (const auto it = master.tags.find(tag); it != master.tags.end()) {
            held.set(size_t(it->second));
        }
    };
    for (const char* implied : {"html", "head", "body", "tbody", "colgroup", "img", "p", "br",
                                "form", "hr", "label", "input"}) {
        add(implied);
    }
    std::string tag;
    for (qsizetype i = html.indexOf('<'); i >= 0; i = html.indexOf('<', i + 1)) {
        qsizetype j = i + 1 < html.size() && html[i + 1] == '/' ? i + 2 : i + 1;
        tag.clear();
        for (; j < html.size() && std::isalnum(static_cast<unsigned char>(html[j])); ++j) {
            tag += char(std::tolower(static_cast<unsigned char>(html[j])));
        }
        add(tag);
    }
    const QByteArray lower = html.toLower();
    const auto space = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
    };
    for (const auto& [name, values] : master.values) {
        const QByteArray attribute = QByteArray::fromStdString(name);
        for (qsizetype i = lower.indexOf(attribute); i >= 0; i = lower.indexOf(attribute, i + 1)) {
            qsizetype j = i + attribute.size();
            while (j < lower.size() && space(lower[j])) {
                ++j;
            }
            if (j >= lower.size() || lower[j] != '=') {
                continue;
            }
            ++j;
            while (j < lower.size() && space(lower[j])) {
                ++j;
            }
            const char quote =
                j < lower.size() && (lower[j] == '"' || lower[j] == '\'') ? lower[j] : 0;
            j += quote ? 1 : 0;
            qsizetype k = j;
            while (k < lower.size() &&
                   (quote ? lower[k] != quote : !space(lower[k]) && lower[k] != '>')) {
                ++k;
            }
            const std::string value = lower.mid(j, k - j).toStdString();
            for (const auto& [written, bit] : values) {
                if (written == value || value.find('&') != std::string::npos) {
                    held.set(size_t(bit));
                }
            }
        }
    }
    return held;
}

}  // namespace

// Every selector of the master sheet is tried on every element: a document gets it without
// the selectors that need a tag or an attribute value it has none of, which match nothing
// there. The order of those kept, and so the cascade, stays. One cache per thread: litehtml
// hands the master sheet to every document as a mutable reference, so threads converting
// side by side each parse their own.
std::shared_ptr<litehtml::context> MasterContext(const QByteArray& html) {
    constexpr size_t kMaxKept = 32;
    thread_local std::unordered_map<Needs, std::shared_ptr<litehtml::context>> kept;
    const Needs held = NeedsOf(html);
    auto it = kept.find(held);
    if (it == kept.end()) {
        if (kept.size() >= kMaxKept) {
            kept.clear();
        }
        std::string css;
        for (const MasterSheet::Rule& rule : Master().rules) {
            std::string list;
            for (const auto& [selector, needs] : rule.selectors) {
                if (std::all_of(needs.begin(), needs.end(),
                                [&](int bit) { return held.test(size_t(bit)); })) {
                    list += (list.empty() ? "" : ", ") + selector;
                }
            }
            if (!list.empty()) {
                css += list + " {" + rule.declarations + "}\n";
            }
        }
        auto context = std::make_shared<litehtml::context>();
        context->load_master_stylesheet(css.c_str());
        it = kept.emplace(held, std::move(context)).first;
    }
    return it->second;
}

// A CSS family list as faces of this machine; the names mail uses most map to the faces
// with their metrics, as fontconfig's aliases do.
QStringList ResolveFamilies(const QString& cssList) {
    static const QHash<QString, QString> aliases = {
        {QStringLiteral("arial"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("helvetica"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("helvetica neue"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("sans-serif"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("times"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("times new roman"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("georgia"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("serif"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("courier"), QStringLiteral("Liberation Mono")},
        {QStringLiteral("courier new"), QStringLiteral("Liberation Mono")},
        {QStringLiteral("monospace"), QStringLiteral("DejaVu Sans Mono")},
        {QStringLiteral("verdana"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("tahoma"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("segoe ui"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("calibri"), QStringLiteral("Carlito")},
        {QStringLiteral("cambria"), QStringLiteral("Caladea")},
    };
    QStringList out;
    for (QString name : cssList.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        name = name.trimmed();
        if (name.size() >= 2 && (name.front() == QLatin1Char('"') || name.front() == u'\'')) {
            name = name.mid(1, name.size() - 2).trimmed();
        }
        // The generic names are families to Qt as well, answered with a face of its own
        // choosing (a proportional one for monospace): ours decide.
        const QString key = name.toLower();
        const bool generic = key == QLatin1String("serif") || key == QLatin1String("sans-serif") ||
                             key == QLatin1String("monospace");
        const QStringList direct = generic ? QStringList() : InstalledFamilies({name});
        if (!direct.isEmpty()) {
            out << direct;
        } else if (const auto it = aliases.constFind(key); it != aliases.constEnd()) {
            out << InstalledFamilies({*it});
        }
    }
    out.removeDuplicates();
    return out;
}

QStringList InstalledFamilies(const QStringList& wanted) {
    static const QStringList available = QFontDatabase::families();
    QStringList found;
    for (const QString& family : wanted) {
        if (available.contains(family, Qt::CaseInsensitive)) {
            found << family;
        }
    }
    return found;
}

litehtml::uint_ptr HtmlLayout::Container::create_font(const litehtml::tchar_t* faceName, int size,
                                                      int weight, litehtml::font_style italic,
                                                      unsigned int decoration,
                                                      litehtml::font_metrics* fm) {
    QStringList families = ResolveFamilies(QString::fromUtf8(faceName));
    if (families.isEmpty()) {
        families = InstalledFamilies({QStringLiteral("DejaVu Sans")});
    }
    families << m_style.families;
    families.removeDuplicates();
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(std::max(1, size));
    font.setWeight(QFont::Weight(std::clamp(weight, 100, 900)));
    font.setItalic(italic == litehtml::fontStyleItalic);
    font.setUnderline(decoration & litehtml::font_decoration_underline);
    font.setStrikeOut(decoration & litehtml::font_decoration_linethrough);
    font.setOverline(decoration & litehtml::font_decoration_overline);
    // A PDF has no pixel grid: hinting would only cost time and shift the advances.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    auto entry = std::make_unique<Font>(font);
    entry->decorated = font.underline() || font.strikeOut() || font.overline();
    if (fm) {
        const QFontMetricsF& m = entry->metrics;
        fm->ascent = int(std::ceil(m.ascent()));
        fm->descent = int(std::ceil(m.descent()));
        fm->height = fm->ascent + fm->descent;
        fm->x_height = int(std::lround(m.xHeight()));
        fm->draw_spaces = font.underline() || font.strikeOut() || font.overline();
        entry->descent = fm->descent;
    }
    m_fonts.push_back(std::move(entry));
    return m_fonts.size();
}

// Mail repeats its words: each is shaped once per font, not once per occurrence.
int HtmlLayout::Container::text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) {
    Font* font = FontOf(hFont);
    if (!font) {
        return 0;
    }
    return WordOf(*font, text).width;
}

HtmlLayout::Container::Word& HtmlLayout::Container::WordOf(Font& font, const char* text) {
    const auto [it, inserted] = font.words.try_emplace(text);
    Word& word = it->second;
    if (inserted) {
        const QString chars = QString::fromUtf8(text);
        if (!m_recorder) {
            m_recorder = std::make_unique<TextRecorder>();
        }
        word.glyphs = m_recorder->Record(font.font, chars);
        const qreal width =
            word.glyphs ? word.glyphs->width : font.metrics.horizontalAdvance(chars);
        word.width = int(std::ceil(width));
        if (font.decorated) {
            word.glyphs.reset();
        }
    }
    return word;
}

// Words end at white space; CJK text may break after any character, and a word longer
// than kMaxWordLength is cut into pieces that can wrap, so that no line is wider than
// the page and no measurement is of a megabyte.
// Works on the UTF-8 bytes as they come: one string per word, not per character.
void HtmlLayout::Container::split_text(
    const char* text, const std::function<void(const litehtml::tchar_t*)>& on_word,
    const std::function<void(const litehtml::tchar_t*)>& on_space) {
    const std::string_view value(text);
    std::string piece;
    size_t wordStart = 0;
    size_t wordChars = 0;  // characters of the word since wordStart
    int length = 0;        // characters of the whole word, pieces given out included
    bool broken = false;
    const auto emit = [&](size_t from, size_t to,
                          const std::function<void(const litehtml::tchar_t*)>& to_callback) {
        piece.assign(value.substr(from, to - from));
        to_callback(piece.c_str());
    };
    size_t at = 0;
    const auto flush = [&] {
        if (at > wordStart) {
            // An address or a link may wrap after "/" or "." or before "@", never at its
            // hyphens, so that a search finds it whole.
            size_t from = wordStart;
            if (length < kMaxWordLength) {
                for (const size_t to : LinkBreaks(value.substr(wordStart, at - wordStart))) {
                    emit(from, wordStart + to, on_word);
                    from = wordStart + to;
                }
            }
            emit(from, at, on_word);
        }
        wordChars = 0;
    };
    while (at < value.size()) {
        const size_t next = at + Utf8Length(value, at);
        const char32_t c = Utf8Decode(value, at, next);
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f') {
            flush();
            length = 0;
            emit(at, next, on_space);
            wordStart = next;
        } else if (BreaksAnywhere(c)) {
            flush();
            emit(at, next, on_word);
            wordStart = next;
        } else {
            ++length;
            ++wordChars;
            if (length == kMaxWordLength) {
                // Too long to be a word: what came so far goes out in pieces, and so
                // does the rest.
                broken = true;
                for (size_t from = wordStart; from < next;) {
                    size_t to = from;
                    for (int n = 0; n < kPieceLength && to < next; ++n) {
                        to += Utf8Length(value, to);
                    }
                    emit(from, to, on_word);
                    from = to;
                }
                wordStart = next;
                wordChars = 0;
            } else if (length > kMaxWordLength && int(wordChars) >= kPieceLength) {
                at = next;
                flush();
                wordStart = next;
                continue;
            }
        }
        at = next;
    }
    if (broken) {
        ++m_brokenWords;
    }
    flush();
}

QFont HtmlLayout::Container::PlaceholderFont() const {
    QFont font;
    font.setFamilies(InstalledFamilies({QStringLiteral("DejaVu Sans")}) + m_style.families);
    font.setPixelSize(std::max(8, m_defaultSize - 2));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

}  // namespace velmora::mailconverter
