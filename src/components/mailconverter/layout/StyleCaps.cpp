#include "components/mailconverter/layout/StyleCaps.h"

#include <QStringList>

#include <algorithm>

namespace velmora::mailconverter {

namespace {

constexpr int kMaxMediaDepth = 2;

// Just past the comment or string that starts at i, or i itself.
qsizetype SkipCommentOrString(QStringView css, qsizetype i) {
    if (css.mid(i, 2) == u"/*") {
        const qsizetype end = css.indexOf(u"*/", i + 2);
        return end < 0 ? css.size() : end + 2;
    }
    const QChar quote = css[i];
    if (quote != u'"' && quote != u'\'') {
        return i;
    }
    for (qsizetype j = i + 1; j < css.size(); ++j) {
        if (css[j] == u'\\') {
            ++j;
        } else if (css[j] == quote || css[j] == u'\n') {
            return j + 1;
        }
    }
    return css.size();
}

// The first of `stops` outside strings, comments, brackets and parentheses, or the end.
qsizetype FindTopLevel(QStringView css, qsizetype i, QStringView stops) {
    int depth = 0;
    while (i < css.size()) {
        if (const qsizetype skipped = SkipCommentOrString(css, i); skipped != i) {
            i = skipped;
            continue;
        }
        const QChar c = css[i];
        if (c == u'\\') {
            i += 2;
            continue;
        }
        if (depth == 0 && stops.contains(c)) {
            return i;
        }
        if (c == u'(' || c == u'[') {
            ++depth;
        } else if ((c == u')' || c == u']') && depth > 0) {
            --depth;
        }
        ++i;
    }
    return css.size();
}

// Just past the "}" that closes the block opened at `open`, or the end.
qsizetype BlockEnd(QStringView css, qsizetype open) {
    int depth = 0;
    for (qsizetype i = open; i < css.size();) {
        if (const qsizetype skipped = SkipCommentOrString(css, i); skipped != i) {
            i = skipped;
            continue;
        }
        if (css[i] == u'\\') {
            i += 2;
            continue;
        }
        if (css[i] == u'{') {
            ++depth;
        } else if (css[i] == u'}' && --depth == 0) {
            return i + 1;
        }
        ++i;
    }
    return css.size();
}

// What stands between the braces of the block opened at `open` and ending before `end`.
QStringView BlockContent(QStringView css, qsizetype open, qsizetype end) {
    const bool closed = end > open + 1 && css[end - 1] == u'}';
    return css.mid(open + 1, end - open - 1 - (closed ? 1 : 0));
}

QList<QStringView> SplitTopLevel(QStringView text, QChar separator) {
    QList<QStringView> pieces;
    const QChar stops[] = {separator};
    for (qsizetype from = 0; from <= text.size();) {
        const qsizetype at = FindTopLevel(text, from, QStringView(stops, 1));
        pieces << text.mid(from, at - from);
        from = at + 1;
    }
    return pieces;
}

bool IsCombinator(QChar c) {
    return c.isSpace() || c == u'>' || c == u'+' || c == u'~';
}

// Where each compound selector of `selector` starts; the last is the one that matches.
QList<qsizetype> CompoundStarts(QStringView selector) {
    QList<qsizetype> starts{0};
    bool inCombinator = false;
    for (qsizetype i = 0; i < selector.size();) {
        if (const qsizetype skipped = SkipCommentOrString(selector, i); skipped != i) {
            i = skipped;
            inCombinator = false;
            continue;
        }
        const QChar c = selector[i];
        if (c == u'(' || c == u'[') {
            i = FindTopLevel(selector, i + 1, c == u'(' ? u")" : u"]") + 1;
            inCombinator = false;
            continue;
        }
        if (IsCombinator(c)) {
            inCombinator = true;
        } else if (inCombinator) {
            starts << i;
            inCombinator = false;
        }
        i += c == u'\\' ? 2 : 1;
    }
    return starts;
}

QString Identifier(QStringView text, qsizetype& i) {
    const qsizetype start = i;
    while (i < text.size() && (text[i].isLetterOrNumber() || text[i] == u'-' || text[i] == u'_' ||
                               text[i].unicode() >= 0x80)) {
        ++i;
    }
    return text.mid(start, i - start).toString();
}

// The most elements `compound` can match in the part.
std::int64_t Matches(QStringView compound, const ElementCensus& census) {
    qsizetype i = compound.startsWith(u'*') ? 1 : 0;
    const QString tag = Identifier(compound, i);
    std::int64_t bound = tag.isEmpty() ? census.elements : census.tags.value(tag.toLower());
    while (i < compound.size()) {
        const QChar c = compound[i++];
        if (c == u'.') {
            bound = std::min<std::int64_t>(bound, census.classes.value(Identifier(compound, i)));
        } else if (c == u'#') {
            bound = std::min<std::int64_t>(bound, census.ids.value(Identifier(compound, i)));
        } else if (c == u'[' || c == u'(') {
            i = FindTopLevel(compound, i, c == u'[' ? u"]" : u")") + 1;
        }
    }
    // ::before and ::after make an element of their own for every match.
    return compound.contains(u"before") || compound.contains(u"after") ? 2 * bound : bound;
}

// One rule, or nothing when none of its selectors or declarations is kept.
QString CapRule(QStringView prelude, QStringView block, const ElementCensus& census,
                StyleBudget& budget, StyleCapCounts& counts) {
    int kept = 0;
    const QString declarations = CleanDeclarations(block, kept, counts);
    QStringList selectors;
    for (const QStringView piece : SplitTopLevel(prelude, u',')) {
        const QStringView selector = piece.trimmed();
        if (selector.isEmpty() || kept == 0) {
            continue;
        }
        const QList<qsizetype> starts = CompoundStarts(selector);
        const std::int64_t cost =
            Matches(selector.mid(starts.back()), census) * (1 + std::int64_t(kept));
        if (selector.size() > StyleBudget::kMaxSelectorChars ||
            starts.size() > StyleBudget::kMaxSelectorParts || budget.selectors <= 0 ||
            cost > budget.cost) {
            ++counts.selectors;
            continue;
        }
        --budget.selectors;
        budget.cost -= cost;
        selectors << selector.toString();
    }
    if (selectors.isEmpty()) {
        return {};
    }
    return selectors.join(QStringLiteral(", ")) + QStringLiteral(" { ") + declarations +
           QStringLiteral("}\n");
}

QString CapSheet(QStringView css, int mediaDepth, const ElementCensus& census, StyleBudget& budget,
                 StyleCapCounts& counts) {
    QString out;
    auto append = [&](const QString& piece) {
        if (piece.size() > budget.chars) {
            counts.truncated = true;
            budget.chars = 0;
            return false;
        }
        budget.chars -= piece.size();
        out += piece;
        return true;
    };
    for (qsizetype i = 0; i < css.size() && budget.chars > 0;) {
        if (const qsizetype skipped = SkipCommentOrString(css, i); skipped != i) {
            i = skipped;  // a string out of place is dropped with the comments
            continue;
        }
        // Blanks, the old "<!--" and "-->" around style sheets, and stray ends.
        if (css[i].isSpace() || css[i] == u';' || css[i] == u'}') {
            ++i;
            continue;
        }
        if (css.mid(i, 4) == u"<!--" || css.mid(i, 3) == u"-->") {
            i += css[i] == u'<' ? 4 : 3;
            continue;
        }
        if (css[i] == u'@') {
            qsizetype nameEnd = i + 1;
            const QString name = Identifier(css, nameEnd).toLower();
            const qsizetype stop = FindTopLevel(css, nameEnd, u"{;");
            if (stop >= css.size() || css[stop] == u';') {
                counts.atRules += name == QLatin1String("charset") ? 0 : 1;
                i = stop + 1;
                continue;
            }
            const qsizetype end = BlockEnd(css, stop);
            if (name == QLatin1String("media") && mediaDepth < kMaxMediaDepth) {
                const QString head = QStringLiteral("@media ") +
                                     css.mid(nameEnd, stop - nameEnd).trimmed().toString() +
                                     QStringLiteral(" {\n");
                const QString inner =
                    CapSheet(BlockContent(css, stop, end), mediaDepth + 1, census, budget, counts);
                if (!inner.isEmpty() && !append(head + inner + QStringLiteral("}\n"))) {
                    break;
                }
            } else {
                ++counts.atRules;
            }
            i = end;
            continue;
        }
        const qsizetype open = FindTopLevel(css, i, u"{");
        if (open >= css.size()) {
            break;  // a selector without a block: nothing to apply
        }
        const qsizetype end = BlockEnd(css, open);
        const QString rule =
            CapRule(css.mid(i, open - i), BlockContent(css, open, end), census, budget, counts);
        if (!rule.isEmpty() && !append(rule)) {
            break;
        }
        i = end;
    }
    return out;
}

}  // namespace

QString CapStyleSheet(const QString& css, const ElementCensus& census, StyleBudget& budget,
                      StyleCapCounts& counts) {
    if (budget.chars <= 0 && !css.trimmed().isEmpty()) {
        counts.truncated = true;
        return {};
    }
    return CapSheet(css, 0, census, budget, counts);
}

QString CleanDeclarations(QStringView declarations, int& kept, StyleCapCounts& counts) {
    QString out;
    kept = 0;
    for (const QStringView piece : SplitTopLevel(declarations, u';')) {
        const QStringView declaration = piece.trimmed();
        const qsizetype colon = declaration.indexOf(u':');
        if (colon <= 0 || declaration.contains(u'{') || declaration.contains(u'}')) {
            continue;  // not a declaration
        }
        const QString name = declaration.left(colon).trimmed().toString().toLower();
        const QStringView value = declaration.mid(colon + 1).trimmed();
        QString shown = value.toString().toLower();
        shown.remove(QLatin1String("!important")).remove(u' ');
        const bool makesTable =
            name == QLatin1String("display") && (shown.startsWith(QLatin1String("table")) ||
                                                 shown.startsWith(QLatin1String("inline-table")));
        if (name.startsWith(QLatin1String("--")) || shown.contains(QLatin1String("var(")) ||
            makesTable) {
            ++counts.declarations;
            continue;
        }
        out += name + QStringLiteral(": ") + value.toString() + QStringLiteral("; ");
        ++kept;
    }
    return out;
}

}  // namespace velmora::mailconverter
