#include "components/mailconverter/layout/HtmlElements.h"

#include "components/mailconverter/layout/TableSpans.h"

// clang-format off
#include <el_anchor.h>
#include <el_body.h>
#include <el_break.h>
#include <el_div.h>
#include <el_font.h>
#include <el_image.h>
#include <el_para.h>
#include <el_table.h>
#include <el_td.h>
#include <el_tr.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora::mailconverter {

namespace {

bool Is(const char* a, const char* b) {
    return a && std::strcmp(a, b) == 0;
}

bool RowGroup(litehtml::style_display display) {
    return display == litehtml::display_table_row_group ||
           display == litehtml::display_table_header_group ||
           display == litehtml::display_table_footer_group;
}

// The inherited properties the library asks of its elements.
constexpr std::array<std::string_view, 20> kInherited = {"text-transform",
                                                         "color",
                                                         "font-family",
                                                         "font-weight",
                                                         "font-style",
                                                         "text-decoration",
                                                         "white-space",
                                                         "text-align",
                                                         "visibility",
                                                         "vertical-align",
                                                         "line-height",
                                                         "text-indent",
                                                         "cursor",
                                                         "border-collapse",
                                                         "-litehtml-border-spacing-x",
                                                         "-litehtml-border-spacing-y",
                                                         "list-style-type",
                                                         "list-style-position",
                                                         "list-style-image",
                                                         "list-style-image-baseurl"};

// By content: a name can also come from a string that is gone the next time.
int InheritedSlot(const char* name) {
    const std::string_view wanted(name);
    for (size_t i = 0; i < kInherited.size(); ++i) {
        if (kInherited[i] == wanted) {
            return int(i);
        }
    }
    return -1;
}

// A rule's declarations as the library parses them, by their text: it parses them again
// for every element the rule matches, and mail matches the same few rules on thousands
// of cells. Parsed apart and then combined they give what parsing them in place gives:
// each property the library sets from them is set on its own, with the same precedence.
// Null for what depends on the element (var()).
const litehtml::style* ParsedDeclarations(const litehtml::tstring& text,
                                          const litehtml::tstring& baseurl) {
    struct Parsed {
        litehtml::tstring baseurl;
        litehtml::style style;
    };
    constexpr size_t kMaxKept = 4096;
    thread_local std::unordered_map<litehtml::tstring, Parsed> kept;
    if (text.find("var(") != litehtml::tstring::npos) {
        return nullptr;
    }
    auto it = kept.find(text);
    if (it == kept.end() || it->second.baseurl != baseurl) {
        if (kept.size() >= kMaxKept) {
            kept.clear();
        }
        Parsed parsed{baseurl, {}};
        parsed.style.add(text.c_str(), baseurl.c_str(), nullptr);
        it = kept.insert_or_assign(text, std::move(parsed)).first;
    }
    return &it->second.style;
}

// An element of the library's class `Base` that keeps the inherited properties it was
// asked. The library answers an inherited property an element does not set by asking its
// parent, up to the root, each step a map lookup by a new string; every word asks its
// parent several, and mail nests tables twenty deep.
// Styles stop changing before answers are kept: every sheet and attribute is applied before
// the root's parse_styles, which runs from parents to children and adds each element's own
// style attribute first; anonymous table boxes set only their display. Answers point into
// ancestors' style maps, which stay unchanged from then on. A refresh forgets them.
template <class Base>
class StyleMemo : public Base {
  public:
    using Base::Base;

    const litehtml::tchar_t* get_style_property(
        const litehtml::tchar_t* name, bool inherited,
        const litehtml::tchar_t* def = nullptr) const override {
        const int slot = inherited && m_settled && name ? InheritedSlot(name) : -1;
        if (slot < 0) {
            return Base::get_style_property(name, inherited, def);
        }
        const std::uint32_t bit = 1U << slot;
        if (!(m_known & bit)) {
            m_answers[size_t(slot)] = Base::get_style_property(name, true, nullptr);
            m_known |= bit;
        }
        const litehtml::tchar_t* value = m_answers[size_t(slot)];
        return value ? value : def;
    }

    void add_style(const litehtml::tstring& style, const litehtml::tstring& baseurl) override {
        if (const litehtml::style* parsed = ParsedDeclarations(style, baseurl)) {
            this->m_style.combine(*parsed);
        } else {
            Base::add_style(style, baseurl);
        }
    }

    void parse_styles(bool is_reparse = false) override {
        m_known = 0;
        m_settled = true;
        Base::parse_styles(is_reparse);
    }

    void refresh_styles() override {
        m_known = 0;
        m_settled = false;
        Base::refresh_styles();
    }

  private:
    mutable std::array<const litehtml::tchar_t*, kInherited.size()> m_answers{};  // null: none
    mutable std::uint32_t m_known = 0;
    bool m_settled = false;
};

// A td or th. The layout library reads colspan and rowspan unchecked when it builds the
// table's grid (a rowspan of 0 or below reads out of bounds, a huge colspan takes gigabytes):
// by then the whole table stands, and the spans it reads are those resolved against it.
class SpannedCell final : public StyleMemo<litehtml::el_td> {
  public:
    SpannedCell(const std::shared_ptr<litehtml::document>& document, HtmlGuard& guard)
        : StyleMemo(document), m_guard(guard) {}

    const litehtml::tchar_t* get_attr(const litehtml::tchar_t* name,
                                      const litehtml::tchar_t* def = nullptr) const override {
        const bool columns = Is(name, "colspan");
        if (!columns && !Is(name, "rowspan")) {
            return el_td::get_attr(name, def);
        }
        // Selectors read the spans as written; only a cell in a table's grid is resolved.
        if (!m_resolved && get_display() == litehtml::display_table_cell) {
            m_guard.ResolveTableOf(const_cast<SpannedCell&>(*this));
        }
        if (!m_resolved) {
            return el_td::get_attr(name, def);
        }
        return columns ? m_colspan.c_str() : m_rowspan.c_str();
    }

    CellSpans Given() const {
        auto given = [this](const char* name) {
            const char* value = el_td::get_attr(name);
            return value ? ParseSpan(QByteArrayView(value)) : std::nullopt;
        };
        return {given("colspan").value_or(1), given("rowspan").value_or(1)};
    }

    void Resolve(const CellSpans& spans) {
        m_colspan = std::to_string(spans.colspan);
        m_rowspan = std::to_string(spans.rowspan);
        m_resolved = true;
    }

  private:
    HtmlGuard& m_guard;
    mutable bool m_resolved = false;
    mutable std::string m_colspan;
    mutable std::string m_rowspan;
};

// A table. The library answers the width a table's text would take unwrapped as the width
// it asks of its container, even when the table has a width of its own: a table of 100% in
// the cell of another then widened that cell past the page, and the page lost its right side.
// A table with a width asks for the width it was given (at least its content's least).
class SizedTable final : public StyleMemo<litehtml::el_table> {
  public:
    using StyleMemo::StyleMemo;

    int render(int x, int y, int max_width, bool second_pass = false) override {
        const int wanted = el_table::render(x, y, max_width, second_pass);
        return m_css_width.is_predefined() ? wanted : std::min(wanted, m_pos.width);
    }
};

// A style element whose sheet is capped before the library parses it.
class CappedStyle final : public litehtml::element {
  public:
    CappedStyle(const std::shared_ptr<litehtml::document>& document, HtmlGuard& guard)
        : element(document), m_guard(guard) {}

    bool appendChild(const ptr& child) override {
        m_children.push_back(child);
        return true;
    }
    const litehtml::tchar_t* get_tagName() const override { return "style"; }
    void set_attr(const litehtml::tchar_t* name, const litehtml::tchar_t* value) override {
        if (Is(name, "media") && value) {
            m_media = value;
        }
    }
    const litehtml::tchar_t* get_attr(const litehtml::tchar_t* name,
                                      const litehtml::tchar_t* def = nullptr) const override {
        return Is(name, "media") && m_media ? m_media->c_str() : def;
    }
    void parse_attributes() override {
        litehtml::tstring text;
        for (const ptr& child : m_children) {
            child->get_text(text);
        }
        const std::shared_ptr<litehtml::document> document = get_document();
        const QByteArray capped = m_guard.CapSheet(QString::fromUtf8(text), *document).toUtf8();
        document->add_stylesheet(capped.constData(), nullptr, get_attr("media"));
    }

  private:
    HtmlGuard& m_guard;
    std::optional<std::string> m_media;
};

// The class the library gives `tag`, remembering its inherited properties. Null, for the
// library's own, where none of its children asks: link, title, base, script, and li, whose
// class the library does not publish.
template <class Base>
std::shared_ptr<litehtml::element> Remembering(
    const std::shared_ptr<litehtml::document>& document) {
    return std::make_shared<StyleMemo<Base>>(document);
}

std::shared_ptr<litehtml::element> LibraryElement(
    const char* tag, const std::shared_ptr<litehtml::document>& document) {
    using namespace litehtml;
    if (Is(tag, "link") || Is(tag, "title") || Is(tag, "base") || Is(tag, "script") ||
        Is(tag, "li")) {
        return nullptr;
    }
    using Maker = std::shared_ptr<element> (*)(const std::shared_ptr<litehtml::document>&);
    static const std::pair<const char*, Maker> kClasses[] = {
        {"br", &Remembering<el_break>},  {"p", &Remembering<el_para>},
        {"img", &Remembering<el_image>}, {"a", &Remembering<el_anchor>},
        {"tr", &Remembering<el_tr>},     {"body", &Remembering<el_body>},
        {"div", &Remembering<el_div>},   {"font", &Remembering<el_font>}};
    for (const auto& [name, make] : kClasses) {
        if (Is(tag, name)) {
            return make(document);
        }
    }
    return Remembering<html_tag>(document);
}

void Count(const litehtml::element::ptr& element, ElementCensus& census) {
    const char* tag = element->get_tagName();
    if (tag && *tag) {
        ++census.elements;
        ++census.tags[QString::fromUtf8(tag).toLower()];
        if (const char* id = element->get_attr("id")) {
            ++census.ids[QString::fromUtf8(id)];
        }
        if (const char* classes = element->get_attr("class")) {
            for (const QString& name :
                 QString::fromUtf8(classes).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                ++census.classes[name.trimmed()];
            }
        }
    }
    for (size_t i = 0; i < element->get_children_count(); ++i) {
        Count(element->get_child(int(i)), census);
    }
}

}  // namespace

std::shared_ptr<litehtml::element> HtmlGuard::CreateElement(
    const char* tag, litehtml::string_map& attributes,
    const std::shared_ptr<litehtml::document>& document) {
    if (const auto style = attributes.find("style"); style != attributes.end()) {
        const int before = m_style.declarations;
        int kept = 0;
        const QString clean =
            CleanDeclarations(QString::fromUtf8(style->second.c_str()), kept, m_style);
        if (m_style.declarations != before) {
            style->second = clean.toStdString();
        }
    }
    if (Is(tag, "td") || Is(tag, "th")) {
        return std::make_shared<SpannedCell>(document, *this);
    }
    if (Is(tag, "style")) {
        return std::make_shared<CappedStyle>(document, *this);
    }
    if (Is(tag, "table")) {
        return std::make_shared<SizedTable>(document);
    }
    return LibraryElement(tag, document);
}

QString HtmlGuard::CapSheet(const QString& css, litehtml::document& document) {
    if (!m_census) {
        m_census.emplace();
        if (const litehtml::element::ptr root = document.root()) {
            Count(root, *m_census);
        }
    }
    return CapStyleSheet(css, *m_census, m_budget.style, m_style);
}

void HtmlGuard::ResolveTableOf(litehtml::element& cell) {
    litehtml::element::ptr table = cell.parent();
    while (table && table->get_display() != litehtml::display_table &&
           table->get_display() != litehtml::display_inline_table) {
        table = table->parent();
    }
    std::vector<TableRowSpans> rows;
    std::vector<std::vector<SpannedCell*>> cells;
    // The rows and cells the library's grid will hold, found as it finds them.
    int sections = 0;
    std::function<void(const litehtml::element::ptr&, std::vector<SpannedCell*>&,
                       std::vector<CellSpans>&)>
        addCells = [&](const litehtml::element::ptr& parent, std::vector<SpannedCell*>& found,
                       std::vector<CellSpans>& spans) {
            for (size_t i = 0; i < parent->get_children_count(); ++i) {
                const litehtml::element::ptr child = parent->get_child(int(i));
                if (child->get_display() == litehtml::display_table_cell) {
                    auto* ours = dynamic_cast<SpannedCell*>(child.get());
                    found.push_back(ours);
                    spans.push_back(ours ? ours->Given() : CellSpans{});
                } else if (RowGroup(child->get_display())) {
                    addCells(child, found, spans);
                }
            }
        };
    std::function<void(const litehtml::element::ptr&, int)> addRows =
        [&](const litehtml::element::ptr& parent, int section) {
            for (size_t i = 0; i < parent->get_children_count(); ++i) {
                const litehtml::element::ptr child = parent->get_child(int(i));
                if (child->get_display() == litehtml::display_table_row) {
                    rows.push_back({section, {}});
                    cells.emplace_back();
                    addCells(child, cells.back(), rows.back().cells);
                } else if (RowGroup(child->get_display())) {
                    addRows(child, ++sections);
                    section = ++sections;  // bare rows after a group are a section of their own
                }
            }
        };
    if (table) {
        addRows(table, 0);
    }
    const SpanOutcome outcome = ResolveSpans(rows, m_budget.spanGridCells);
    m_budget.spanGridCells = std::max<std::int64_t>(0, m_budget.spanGridCells - outcome.grid);
    m_unspannedTables += outcome.colspansDropped ? 1 : 0;
    // A cell outside every row the grid holds spans nothing; the others as resolved.
    static_cast<SpannedCell&>(cell).Resolve(CellSpans{});
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t k = 0; k < rows[r].cells.size(); ++k) {
            if (cells[r][k]) {
                cells[r][k]->Resolve(rows[r].cells[k]);
            }
        }
    }
}

QStringList HtmlGuard::Notices() const {
    QStringList notices;
    if (m_style.selectors > 0 || m_style.declarations > 0 || m_style.truncated) {
        notices << QStringLiteral(
                       "Parts of the style sheets were left out to keep the layout bounded "
                       "(%1 selectors, %2 declarations%3); the text is shown in full.")
                       .arg(m_style.selectors)
                       .arg(m_style.declarations)
                       .arg(m_style.truncated ? QStringLiteral(", the end of a long sheet")
                                              : QString());
    }
    if (m_unspannedTables > 0) {
        notices << QStringLiteral(
                       "Tables too wide with their column spans are shown without them (%1).")
                       .arg(m_unspannedTables);
    }
    return notices;
}

}  // namespace velmora::mailconverter
