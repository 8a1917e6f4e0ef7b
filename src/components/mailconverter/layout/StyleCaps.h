#pragma once

#include <QHash>
#include <QString>

#include <cstdint>

namespace velmora::mailconverter {

// The elements of one HTML part that selectors can reach, counted by tag (lower case), class
// and id: how many elements a selector may match at most.
struct ElementCensus {
    std::int64_t elements = 0;
    QHash<QString, int> tags;
    QHash<QString, int> classes;
    QHash<QString, int> ids;
};

// What the style sheets of one message may still cost. The layout library keeps, for every
// element, each selector that matches it and a copy of each declaration it applies, so the
// cost of a selector is the elements it may match times its declarations.
struct StyleBudget {
    static constexpr int kMaxSelectorChars = 500;
    static constexpr int kMaxSelectorParts = 32;  // compound selectors in one selector

    std::int64_t chars = 256 * 1024;  // style sheet text, written out
    std::int64_t selectors = 2'000;
    std::int64_t cost = 4'000'000;  // matches times declarations, a few hundred MB at most
};

// What was left out of the style sheets, for the notice on the page.
struct StyleCapCounts {
    int selectors = 0;     // too long, too deep, or past the budget
    int declarations = 0;  // custom properties, var(), displays that would make tables
    int atRules = 0;       // other than @media
    bool truncated = false;
};

// `css` as the layout library may take it: comments and at-rules other than @media gone,
// every rule whole and balanced, selectors past the caps or the budget left out, and of the
// declarations those left out that CleanDeclarations leaves out.
QString CapStyleSheet(const QString& css, const ElementCensus& census, StyleBudget& budget,
                      StyleCapCounts& counts);

// Declarations (a style attribute, or a rule's block) without custom properties and var(),
// which the layout library expands without bound, and without displays that make tables,
// which only table tags may make so that every table is counted where its cells are.
QString CleanDeclarations(QStringView declarations, int& kept, StyleCapCounts& counts);

}  // namespace velmora::mailconverter
