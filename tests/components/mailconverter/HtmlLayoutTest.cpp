#include "components/mailconverter/MailConverter.h"
#include "components/mailconverter/MailReader.h"
#include "components/mailconverter/MailRenderer.h"
#include "components/mailconverter/layout/HtmlLayout.h"
#include "components/mailconverter/layout/StyleCaps.h"
#include "components/mailconverter/layout/TableSpans.h"
#include "components/mailconverter/pdf/PdfCanvas.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <cmath>

using namespace velmora::mailconverter;

Q_DECLARE_METATYPE(std::vector<Span>)

namespace {

QString HtmlCorpus(const QString& name) {
    return QStringLiteral(VELMORA_MAIL_CORPUS "/html/") + name;
}

QByteArray RunTool(const QString& program, const QStringList& args, int* exitCode = nullptr) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(180'000)) {
        process.kill();
        process.waitForFinished();
        if (exitCode) {
            *exitCode = -1;
        }
        return {};
    }
    if (exitCode) {
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
    return process.readAllStandardOutput();
}

QString PdfText(const QString& pdf, const QStringList& options = {}) {
    QString text = QString::fromUtf8(
        RunTool(QStringLiteral("pdftotext"),
                options + QStringList{QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                                      QStringLiteral("-")}));
    static const QRegularExpression marks(
        QStringLiteral("[\u200E\u200F\u202A-\u202E\u2066-\u2069]"));
    return text.normalized(QString::NormalizationForm_KC).remove(marks);
}

struct Word {
    int page = 0;
    QRectF box;
    QString text;
};

// Every word with its page and box, from pdftotext -bbox-layout.
std::vector<Word> PdfWords(const QString& pdf) {
    const QString xml = QString::fromUtf8(RunTool(
        QStringLiteral("pdftotext"), {QStringLiteral("-bbox-layout"), QStringLiteral("-enc"),
                                      QStringLiteral("UTF-8"), pdf, QStringLiteral("-")}));
    static const QRegularExpression token(
        QStringLiteral("<page |<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    std::vector<Word> words;
    int page = -1;
    for (auto it = token.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        const qreal x0 = m.captured(1).toDouble();
        const qreal y0 = m.captured(2).toDouble();
        words.push_back(
            {page, QRectF(x0, y0, m.captured(3).toDouble() - x0, m.captured(4).toDouble() - y0),
             m.captured(5)});
    }
    return words;
}

std::vector<Word> Find(const std::vector<Word>& words, const QString& text) {
    std::vector<Word> found;
    std::copy_if(words.begin(), words.end(), std::back_inserter(found),
                 [&](const Word& w) { return w.text == text; });
    return found;
}

QString HtmlOf(const MailContent& mail) {
    for (const MailBodyPart& part : mail.body) {
        if (part.kind == MailBodyPart::Kind::Html) {
            return part.text;
        }
    }
    return {};
}

// "b:3/1 1/0; f:1/1": rows of "section:cells", each cell its colspan and rowspan as written.
std::vector<TableRowSpans> SpanRows(const QString& text) {
    std::vector<TableRowSpans> rows;
    QHash<QString, int> sections;
    for (const QString& row : text.split(QLatin1Char(';'))) {
        const QString section = row.section(QLatin1Char(':'), 0, 0).trimmed();
        rows.push_back({int(sections.value(section, int(sections.size()))), {}});
        sections.insert(section, rows.back().section);
        for (const QString& cell :
             row.section(QLatin1Char(':'), 1).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QByteArray colspan = cell.section(QLatin1Char('/'), 0, 0).toUtf8();
            const QByteArray rowspan = cell.section(QLatin1Char('/'), 1, 1).toUtf8();
            rows.back().cells.push_back(
                {ParseSpan(colspan).value_or(1), ParseSpan(rowspan).value_or(1)});
        }
    }
    return rows;
}

QString SpanText(const std::vector<TableRowSpans>& rows) {
    QStringList out;
    for (const TableRowSpans& row : rows) {
        QStringList cells;
        for (const CellSpans& cell : row.cells) {
            cells << QStringLiteral("%1/%2").arg(cell.colspan).arg(cell.rowspan);
        }
        out << cells.join(QLatin1Char(' '));
    }
    return out.join(QStringLiteral("; "));
}

// "elements=100 td=40 .x=2 #y=1"
ElementCensus Census(const QString& entries) {
    ElementCensus census;
    for (const QString& entry : entries.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString key = entry.section(QLatin1Char('='), 0, 0);
        const int count = entry.section(QLatin1Char('='), 1).toInt();
        if (key == QLatin1String("elements")) {
            census.elements = count;
        } else if (key.startsWith(QLatin1Char('.'))) {
            census.classes.insert(key.mid(1), count);
        } else if (key.startsWith(QLatin1Char('#'))) {
            census.ids.insert(key.mid(1), count);
        } else {
            census.tags.insert(key, count);
        }
    }
    return census;
}

// An HTML part painted on its own, 300 points wide.
QImage Painted(const QString& html) {
    const HtmlLayout layout(html, {}, HtmlStyle{}, 300);
    QImage image(300, int(std::ceil(layout.Height())) + 1, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    layout.Paint(painter, 0, layout.Height());
    return image;
}

}  // namespace

class HtmlLayoutTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Convert(const QString& eml) {
        const QString pdf = m_dir.filePath(QFileInfo(eml).completeBaseName() + ".pdf");
        MailConverter().Convert(eml, pdf, QStringLiteral("-c PDF"));
        return pdf;
    }

    // The words of an HTML body converted on its own.
    std::vector<Word> WordsOfHtml(const QByteArray& html) {
        const QString eml = m_dir.filePath(QStringLiteral("body.eml"));
        QFile file(eml);
        if (!file.open(QIODevice::WriteOnly)) {
            return {};
        }
        file.write(
            "From: a@example.org\nTo: b@example.org\nSubject: body\nMIME-Version: 1.0\n"
            "Content-Type: text/html; charset=utf-8\n\n" +
            html);
        file.close();
        return PdfWords(Convert(eml));
    }

  private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // A table with a width inside the cell of another once widened the cell by its
    // unwrapped text: everything shrunk to a quarter and still ran past the right edge.
    void tablesInTables_fitThePage_data() {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("word");
        const QByteArray text = QByteArray("Wrapping words run on. ").repeated(30);
        QTest::newRow("100% in a cell of 100%")
            << "<table width=100%><tr><td><table width=100%><tr><td>Kept " + text +
                   "</td><td style='width:50%'>" + text + "</td></tr></table></td></tr></table>"
            << "Kept";
        QFile newsletter(QStringLiteral(VELMORA_MAIL_CORPUS "/bench/newsletter-monthly.eml"));
        QVERIFY(newsletter.open(QIODevice::ReadOnly));
        const QByteArray mail = newsletter.readAll();
        QTest::newRow("newsletter, 100% and max-width 640px")
            << mail.mid(mail.indexOf("<!DOCTYPE")) << "Journey";
    }

    void tablesInTables_fitThePage() {
        QFETCH(QByteArray, html);
        QFETCH(QString, word);
        const std::vector<Word> words = WordsOfHtml(html);
        const auto found = Find(words, word);
        QVERIFY(!found.empty());
        // Laid out at its width, not shrunk to fit.
        QVERIFY2(found[0].box.height() > 8, qPrintable(QString::number(found[0].box.height())));
        for (const Word& w : words) {
            QVERIFY2(w.box.right() <= 595.28 - 42 + 1,
                     qPrintable(QStringLiteral("%1 ends at %2").arg(w.text).arg(w.box.right())));
        }
    }

    // An inherited property reads the same wherever it is set: far up, on the element, by a
    // class, as inherit over a rule, across the anonymous boxes of a table. Each pair must
    // paint alike, and unlike the far form without the style.
    void inheritedStyle_sameWhereverItIsSet_data() {
        QTest::addColumn<QString>("far");
        QTest::addColumn<QString>("near");
        const QString p = QStringLiteral("<p%1>Probe words, then more of them</p>");
        QTest::newRow("five blocks up")
            << "<div%1><div><div><div><div>" + p.arg("") + "</div></div></div></div></div>"
            << "<div><div><div><div><div>" + p.arg("%1") + "</div></div></div></div></div>";
        QTest::newRow("a class") << "<style>.s { %2 }</style><div class=s><div>" + p.arg("") +
                                        "</div></div>"
                                 << "<div><div>" + p.arg("%1") + "</div></div>";
        const QString rule = QStringLiteral(
            "<style>p { color: #0000b0; font-style: normal; text-align: left }</style>");
        QTest::newRow("inherit over a rule")
            << rule + "<div%1>" +
                   p.arg(" style='color: inherit; font-style: inherit; text-align: inherit'") +
                   "</div>"
            << rule + "<div>" + p.arg("%1") + "</div>";
        const QString cell = QStringLiteral("<td%1>Probe words, then more of them</td>");
        QTest::newRow("cells of nested tables")
            << "<table><tr><td%1><table><tr>" + cell.arg("") + "</tr></table></td></tr></table>"
            << "<table><tr><td><table><tr>" + cell.arg("%1") + "</tr></table></td></tr></table>";
        QTest::newRow("anonymous table boxes")
            << "<table%1><tr style='display: block'>" + cell.arg("") + "</tr></table>"
            << "<table><tr style='display: block'>" + cell.arg("%1") + "</tr></table>";
    }

    void inheritedStyle_sameWhereverItIsSet() {
        QFETCH(QString, far);
        QFETCH(QString, near);
        const QString declarations = QStringLiteral(
            "color: #b00000; font-size: 19px; font-style: italic; text-align: right; "
            "line-height: 31px; white-space: nowrap");
        const QString attribute = " style='" + declarations + "'";
        const auto with = [&](QString html, const QString& attribute, const QString& block) {
            return Painted(html.replace("%1", attribute).replace("%2", block));
        };
        const QImage styled = with(far, attribute, declarations);
        QCOMPARE(styled, with(near, attribute, declarations));
        QVERIFY(styled != with(far, {}, {}));
    }

    // The default sheet's rules for attributes apply however the attribute is written; a
    // document gets only the rules it can match, found from its text.
    void defaultSheet_attributeRulesApply_data() {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("styled");
        const QString cell = QStringLiteral("<tr><td>Probe</td><td>words</td></tr></table>");
        const QString padded =
            "<table><tr><td style='padding: 4px'>Probe</td>"
            "<td style='padding: 4px'>words</td></tr></table>";
        QTest::newRow("cellpadding quoted") << "<table cellpadding=\"4\">" + cell << padded;
        QTest::newRow("cellpadding spaced, single quotes")
            << "<table cellpadding = '4'>" + cell << padded;
        QTest::newRow("CELLPADDING bare") << "<TABLE CELLPADDING=4>" + cell << padded;
        QTest::newRow("a character reference") << "<table cellpadding=\"&#52;\">" + cell << padded;
        QTest::newRow("dir=rtl") << "<p dir=rtl>Probe words</p>"
                                 << "<p style='text-align: right'>Probe words</p>";
    }

    void defaultSheet_attributeRulesApply() {
        QFETCH(QString, written);
        QFETCH(QString, styled);
        const QImage image = Painted(written);
        QCOMPARE(image, Painted(styled));
        static const QRegularExpression attributes(QStringLiteral(" (cellpadding|align|dir)[^>]*"),
                                                   QRegularExpression::CaseInsensitiveOption);
        QVERIFY(image != Painted(QString(written).remove(attributes)));
    }

    void pageBreaker_data() {
        QTest::addColumn<std::vector<Span>>("lines");
        QTest::addColumn<qreal>("start");
        QTest::addColumn<qreal>("limit");
        QTest::addColumn<qreal>("expected");
        const std::vector<Span> stack{{0, 10}, {10, 20}, {20, 30}};
        QTest::newRow("limit inside a line") << stack << 0.0 << 25.0 << 20.0;
        QTest::newRow("limit between lines") << stack << 0.0 << 20.0 << 20.0;
        QTest::newRow("past the last line") << stack << 0.0 << 45.0 << 45.0;
        // Two columns whose lines are offset: the break goes above the whole row.
        const std::vector<Span> columns{{0, 12}, {12, 24}, {6, 18}, {18, 30}, {40, 50}};
        QTest::newRow("offset columns") << columns << -5.0 << 45.0 << 40.0;
        QTest::newRow("offset columns from their top") << columns << 0.0 << 20.0 << 18.0;
        QTest::newRow("one line taller than a page")
            << std::vector<Span>{{0, 100}} << 0.0 << 50.0 << 50.0;
        QTest::newRow("unsorted lines")
            << std::vector<Span>{{20, 30}, {0, 10}, {10, 20}} << 0.0 << 15.0 << 10.0;
    }

    void pageBreaker() {
        QFETCH(std::vector<Span>, lines);
        QFETCH(qreal, start);
        QFETCH(qreal, limit);
        QFETCH(qreal, expected);
        QCOMPARE(PageBreaker(lines).Next(start, limit), expected);
    }

    void capNesting_keepsTextAndBoundsDepth() {
        QString capped;
        const QString deep = QStringLiteral("<div>").repeated(500) + QStringLiteral("DEEP") +
                             QStringLiteral("</div>").repeated(500);
        HtmlCaps caps = CapNesting(deep, 96, 8, capped);
        QCOMPARE(caps.droppedTags, 500 - 96);
        QCOMPARE(capped.count(QStringLiteral("<div>")), 96);
        QCOMPARE(capped.count(QStringLiteral("</div>")), 96);
        QVERIFY(capped.contains(QStringLiteral("DEEP")));

        const QString quotes = QStringLiteral("<blockquote>").repeated(20) + QStringLiteral("Q");
        caps = CapNesting(quotes, 96, 8, capped);
        QCOMPARE(caps.flattenedIndents, 12);
        QCOMPARE(capped.count(QStringLiteral("<blockquote>")), 8);

        QString rows;
        for (int i = 0; i < 2500; ++i) {
            rows += QStringLiteral("<tr><td>%1</td></tr>").arg(i);
        }
        caps = CapNesting(
            QStringLiteral("<table border=\"1\">") + rows + QStringLiteral("</table><p>after</p>"),
            96, 8, capped);
        QCOMPARE(caps.splitTables, 2);
        QCOMPARE(capped.count(QStringLiteral("<table border=\"1\">")), 3);
        QCOMPARE(capped.count(QStringLiteral("</table>")), 3);
        QCOMPARE(capped.count(QStringLiteral("<tr>")), 2500);
        QVERIFY(capped.endsWith(QStringLiteral("<p>after</p>")));
    }

    // Spans as the HTML gives them, resolved to what the table can hold.
    void spans_resolvedToWhatTheTableHolds_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<qint64>("maxGrid");
        QTest::addColumn<QString>("expected");
        const qint64 any = 1'000'000;
        QTest::newRow("rowspan 0 ends with its section")
            << "b:1/0 1/1; b:1/1; f:1/1" << any << "1/2 1/1; 1/1; 1/1";
        QTest::newRow("rowspan past its section") << "h:1/5; b:1/1" << any << "1/1; 1/1";
        QTest::newRow("invalid and negative values")
            << "b:abc/-5 0/+2; b:-1/ 1/1" << any << "1/1 1/2; 1/1 1/1";
        QTest::newRow("colspan of ten million")
            << "b:10000000/1; b:1/1 1/1" << any << "2/1; 1/1 1/1";
        QTest::newRow("colspan of 2^31-1") << "b:2147483647/1; b:1/1" << any << "1/1; 1/1";
        QTest::newRow("spans over real columns kept")
            << "b:3/1; b:1/2 1/1 1/1; b:2/1" << any << "3/1; 1/2 1/1 1/1; 2/1";
        QTest::newRow("staggered columns kept")
            << "b:2/1 1/1; b:1/1 2/1" << any << "2/1 1/1; 1/1 2/1";
        QTest::newRow("too wide a grid loses its colspans")
            << "b:2/1 1/1; b:1/1 2/1" << qint64(4) << "1/1 1/1; 1/1 1/1";
    }

    void spans_resolvedToWhatTheTableHolds() {
        QFETCH(QString, table);
        QFETCH(qint64, maxGrid);
        QFETCH(QString, expected);
        std::vector<TableRowSpans> rows = SpanRows(table);
        const SpanOutcome outcome = ResolveSpans(rows, maxGrid);
        QCOMPARE(SpanText(rows), expected);
        QVERIFY(outcome.grid <= maxGrid);
    }

    // Style sheets keep what is bounded: rules whose selectors fit the caps and whose matches
    // fit the budget, declarations that expand to what they say.
    void styleSheets_cappedAgainstWhatTheyReach_data() {
        QTest::addColumn<QString>("css");
        QTest::addColumn<QString>("census");
        QTest::addColumn<qint64>("cost");  // the budget; -1 for the default
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("droppedSelectors");
        QTest::addColumn<int>("droppedDeclarations");
        const QString doc = "elements=1000 p=100 td=50 .x=2 #y=1";
        QTest::newRow("plain rules, comments gone")
            << "/* c */ p,td{color:red}<!-- .x > p { margin : 0 } -->" << doc << qint64(-1)
            << "p, td { color: red; }\n.x > p { margin: 0; }\n"
            << 0 << 0;
        QTest::newRow("40 child combinators")
            << "td" + QString(" > a").repeated(40) + " { color: red } p { color: blue }" << doc
            << qint64(-1) << "p { color: blue; }\n"
            << 1 << 0;
        QTest::newRow("a 600-character selector") << "." + QString(600, 'x') + ", p { color: red }"
                                                  << doc << qint64(-1) << "p { color: red; }\n"
                                                  << 1 << 0;
        QTest::newRow("var() and custom properties")
            << "p { --a: var(--a); color: VAR(--a); margin: 0 }" << doc << qint64(-1)
            << "p { margin: 0; }\n"
            << 0 << 2;
        QTest::newRow("displays that make tables")
            << "p { display: table-cell !important } td { display: block }" << doc << qint64(-1)
            << "td { display: block; }\n"
            << 0 << 1;
        QTest::newRow("past the budget, by what each selector can match")
            << "* { color: red } p { color: red } .x { color: red } #y { color: red }" << doc
            << qint64(150) << ".x { color: red; }\n#y { color: red; }\n"
            << 2 << 0;
        QTest::newRow("@media kept, other at-rules dropped")
            << "@import url(x.css); @font-face { src: url(x) } @media print { p { color: red } }"
            << doc << qint64(-1) << "@media print {\np { color: red; }\n}\n"
            << 0 << 0;
        QTest::newRow("an unclosed block closed")
            << "p { color: red" << doc << qint64(-1) << "p { color: red; }\n"
            << 0 << 0;
    }

    void styleSheets_cappedAgainstWhatTheyReach() {
        QFETCH(QString, css);
        QFETCH(QString, census);
        QFETCH(qint64, cost);
        QFETCH(QString, expected);
        QFETCH(int, droppedSelectors);
        QFETCH(int, droppedDeclarations);
        StyleBudget budget;
        if (cost >= 0) {
            budget.cost = cost;
        }
        StyleCapCounts counts;
        QCOMPARE(CapStyleSheet(css, Census(census), budget, counts), expected);
        QCOMPARE(counts.selectors, droppedSelectors);
        QCOMPARE(counts.declarations, droppedDeclarations);
        QVERIFY(budget.cost >= 0);
    }

    // Shapes whose elements the HTML parser multiplies or nests where a simpler reading would
    // not: each is counted as the parser makes it, so the caps hold.
    void capNesting_countsElementsAsTheParserMakesThem_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<qint64>("elements");  // budget
        QTest::addColumn<QString>("cap");      // the HtmlCaps field that must be reached
        QTest::newRow("self-closed divs nest")
            << QString("<div/>").repeated(120) + "DEEP" << qint64(100'000) << "droppedTags";
        QTest::newRow("<!--> ends where it starts")
            << "<!-->" + QString("<div>").repeated(120) + "<!-- -->" << qint64(100'000)
            << "droppedTags";
        QTest::newRow("a quote inside a name hides nothing")
            << "<p a\"b>" + QString("<div>").repeated(120) + "\"" << qint64(100'000)
            << "droppedTags";
        QString opened = "<p>";
        for (int i = 0; i < 16; ++i) {
            opened += QStringLiteral("<b id=%1>").arg(i);
        }
        QTest::newRow("formatting made again after each paragraph")
            << opened + QString("</p><p>x</p>").repeated(30) << qint64(300) << "beyondElements";
        QTest::newRow("a wide first row over many rows")
            << "<table><tr>" + QString("<td>x").repeated(60) + QString("<tr><td>y").repeated(60)
            << qint64(100'000) << "ungriddedTags";
    }

    void capNesting_countsElementsAsTheParserMakesThem() {
        QFETCH(QString, html);
        QFETCH(qint64, elements);
        QFETCH(QString, cap);
        HtmlBudget budget;
        budget.elements = elements;
        budget.tagGridCells = 1'000;
        QString out;
        const HtmlCaps caps = CapNesting(html, 96, 8, out, &budget);
        const int reached = cap == "droppedTags"      ? caps.droppedTags
                            : cap == "beyondElements" ? caps.beyondElements
                                                      : caps.ungriddedTags;
        QVERIFY2(reached > 0, qPrintable(cap));
        QVERIFY(budget.elements >= 0);
    }

    // Every paragraph and cell of the HTML, as an independent parser reads it, is in the
    // PDF with its words in order: columns read down each column, table rows across, so
    // one of pdftotext's two readings must hold it.
    void corpus_wordsInReadingOrder_data() {
        QTest::addColumn<QString>("eml");
        const QStringList files =
            QDir(HtmlCorpus(QString())).entryList({QStringLiteral("*.eml")}, QDir::Files);
        QVERIFY(files.size() >= 3);
        for (const QString& file : files) {
            QTest::newRow(qPrintable(file)) << HtmlCorpus(file);
        }
    }

    void corpus_wordsInReadingOrder() {
        QFETCH(QString, eml);
        const QString html = HtmlOf(MailReader().ReadFile(eml));
        QVERIFY(!html.isEmpty());
        const QString pdf = Convert(eml);
        static const QRegularExpression space(QStringLiteral("[\\s\uFFFC]+"));
        QStringList readings;
        for (const QStringList& mode : {QStringList{}, QStringList{QStringLiteral("-layout")}}) {
            readings << PdfText(pdf, mode).remove(space);
        }
        QTextDocument document;
        document.setHtml(html);
        int blocks = 0;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            const QString text =
                block.text().normalized(QString::NormalizationForm_KC).remove(space);
            if (text.isEmpty()) {
                continue;
            }
            ++blocks;
            QVERIFY2(readings[0].contains(text) || readings[1].contains(text),
                     qPrintable(QStringLiteral("missing or out of order: ") + block.text()));
        }
        QVERIFY(blocks >= 5);
    }

    // "right": `word` ends at the right margin; "mono": `word` as wide as "MMMM" beside it;
    // "whole": `word` found unbroken, and no line ends in a hyphen or past the margin.
    void htmlText_asWritten_data() {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("check");
        QTest::newRow("Hebrew paragraph") << QByteArray("<p>שלום עולם</p>") << "ש"
                                          << "right";
        QTest::newRow("Hebrew after a number, in a cell")
            << QByteArray("<table width=100%><tr><td>12 שלום</td></tr></table>") << "ש"
            << "right";
        for (const char* tag : {"code", "pre", "tt", "kbd"}) {
            QTest::newRow(tag) << QByteArray("<") + tag + ">iiii MMMM</" + tag + ">"
                               << "iiii"
                               << "mono";
        }
        const QByteArray links =
            "<p>Write to linuxuser-admin@lists.example-mailing-list-hosting.org about "
            "https://www.example-site.org/very-long-path-name/with-many-hyphenated-parts/"
            "and-more-hyphenated-parts/and-even-more-hyphenated-parts/index-file.html "
            "or linuxuser-admin@lists.example-mailing-list-hosting.org</p>";
        QTest::newRow("address and link in a narrow cell")
            << "<table><tr><td width=300>" + links + "</td></tr></table>"
            << "linuxuser-admin"
            << "whole";
        QTest::newRow("address and link in a paragraph")
            << links << "and-even-more-hyphenated-parts"
            << "whole";
    }

    void htmlText_asWritten() {
        QFETCH(QByteArray, html);
        QFETCH(QString, word);
        QFETCH(QString, check);
        const std::vector<Word> words = WordsOfHtml(html);
        const auto found = Find(words, word);
        if (check == QLatin1String("right")) {
            QCOMPARE(found.size(), size_t(1));
            QVERIFY2(found[0].box.right() > 595.28 - 42 - 12,
                     qPrintable(QString::number(found[0].box.right())));
        } else if (check == QLatin1String("mono")) {
            const auto wide = Find(words, QStringLiteral("MMMM"));
            QCOMPARE(found.size(), size_t(1));
            QCOMPARE(wide.size(), size_t(1));
            QVERIFY2(std::abs(found[0].box.width() - wide[0].box.width()) < 0.5,
                     qPrintable(QStringLiteral("%1 against %2")
                                    .arg(found[0].box.width())
                                    .arg(wide[0].box.width())));
        } else {
            const QString text = PdfText(m_dir.filePath(QStringLiteral("body.pdf")));
            QVERIFY2(text.count(word) >= 1, qPrintable(text));
            QVERIFY(!text.contains(QRegularExpression(QStringLiteral("-\\n"))));
            for (const Word& w : words) {
                QVERIFY2(
                    w.box.right() <= 595.28 - 42 + 1,
                    qPrintable(QStringLiteral("%1 ends at %2").arg(w.text).arg(w.box.right())));
                QVERIFY2(w.box.height() > 8, qPrintable(w.text));
            }
        }
    }

    void newsletter_columnsContainerImagesAndLinks() {
        const QString eml = HtmlCorpus(QStringLiteral("newsletter.eml"));
        const QString pdf = Convert(eml);
        const std::vector<Word> words = PdfWords(pdf);
        const auto left = Find(words, QStringLiteral("Leftcolumn"));
        const auto right = Find(words, QStringLiteral("Rightcolumn"));
        QCOMPARE(left.size(), size_t(1));
        QCOMPARE(right.size(), size_t(1));
        QVERIFY2(std::abs(left[0].box.top() - right[0].box.top()) < 2, "columns side by side");
        QVERIFY(right[0].box.left() > left[0].box.right() + 100);

        // 600 CSS pixels are 450 points.
        const auto edgeLeft = Find(words, QStringLiteral("Edgeleft"));
        const auto edgeRight = Find(words, QStringLiteral("Edgeright"));
        QCOMPARE(edgeLeft.size(), size_t(1));
        QCOMPARE(edgeRight.size(), size_t(1));
        const qreal width = edgeRight[0].box.right() - edgeLeft[0].box.left();
        QVERIFY2(std::abs(width - 450) < 8, qPrintable(QString::number(width)));

        // The cid: logo and the data: dot at their sizes; nothing of the remote banner.
        const QStringList rows =
            QString::fromUtf8(RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}))
                .split('\n', Qt::SkipEmptyParts)
                .mid(2);
        QStringList sizes;
        for (const QString& row : rows) {
            const QStringList columns = row.split(' ', Qt::SkipEmptyParts);
            sizes << columns.value(3) + "x" + columns.value(4);
        }
        sizes.sort();
        QCOMPARE(sizes, (QStringList{"120x40", "16x16"}));
        QVERIFY(PdfText(pdf).contains(QStringLiteral("Remote banner withheld")));

        // The button's link box covers its words where they are painted.
        std::vector<PdfLink> links;
        MailRenderer().Render(MailReader().ReadFile(eml), &links);
        const auto shop = std::find_if(links.begin(), links.end(), [](const PdfLink& link) {
            return link.url == QLatin1String("https://harbour-books.example/shop");
        });
        QVERIFY(shop != links.end());
        QCOMPARE(shop->page, 0);
        const auto visit = Find(words, QStringLiteral("Visit"));
        const auto theShop = Find(words, QStringLiteral("shop"));
        QCOMPARE(visit.size(), size_t(1));
        QCOMPARE(theShop.size(), size_t(1));
        const QRectF painted = visit[0].box.united(theShop[0].box);
        QVERIFY2(shop->rect.adjusted(-3, -3, 3, 3).contains(painted),
                 qPrintable(QStringLiteral("link %1,%2 %3x%4")
                                .arg(shop->rect.x())
                                .arg(shop->rect.y())
                                .arg(shop->rect.width())
                                .arg(shop->rect.height())));
        // ... and is the PDF's one link annotation.
        QStringList annotations;
        for (const QString& row :
             QString::fromUtf8(RunTool(QStringLiteral("pdfinfo"), {QStringLiteral("-url"), pdf}))
                 .split('\n', Qt::SkipEmptyParts)
                 .mid(1)) {
            annotations << row.simplified();
        }
        QCOMPARE(annotations,
                 QStringList{QStringLiteral("1 Annotation https://harbour-books.example/shop")});
    }

    // Only links a reader can follow without running anything become annotations.
    void links_onlyFollowableOnesBecomeAnnotations() {
        const QRectF box(72, 72, 100, 20);
        PdfArchive archive;
        archive.links = {{0, box, QStringLiteral("mailto:orders@shop.example")},
                         {0, box, QStringLiteral("javascript:alert(1)")},
                         {0, box, QStringLiteral("file:///etc/passwd")},
                         {7, box, QStringLiteral("https://beyond.example/")},
                         {0, box, QStringLiteral("https://shop.example/a b")}};
        const QString pdf = m_dir.filePath(QStringLiteral("links.pdf"));
        PdfCanvas canvas(QSizeF(595, 842));
        QPainter painter(&canvas);
        painter.drawText(box, QStringLiteral("links"));
        painter.end();
        QFile out(pdf);
        QVERIFY(out.open(QIODevice::WriteOnly));
        const QByteArray written = canvas.Document(archive);
        QCOMPARE(out.write(written), written.size());
        out.close();
        const QString listed =
            QString::fromUtf8(RunTool(QStringLiteral("pdfinfo"), {QStringLiteral("-url"), pdf}));
        QCOMPARE(listed.count(QStringLiteral("Annotation")), 2);
        QVERIFY(listed.contains(QStringLiteral("mailto:orders@shop.example")));
        QVERIFY(listed.contains(QStringLiteral("https://shop.example/a%20b")));
    }

    // Each row's words stay together on one page and on one line, rows in order.
    void longTable_noLineAcrossPages() {
        const QString pdf = Convert(HtmlCorpus(QStringLiteral("long-table.eml")));
        const std::vector<Word> words = PdfWords(pdf);
        int lastPage = 0;
        int pages = 0;
        for (int n = 1; n <= 160; ++n) {
            const auto row = Find(words, QStringLiteral("Row%1").arg(n, 3, 10, QLatin1Char('0')));
            QCOMPARE(row.size(), size_t(1));
            const Word& head = row[0];
            QVERIFY(head.page >= lastPage);
            lastPage = head.page;
            pages = std::max(pages, head.page + 1);
            QStringList line;
            for (const Word& w : words) {
                if (w.page == head.page && std::abs(w.box.top() - head.box.top()) < 1.5) {
                    line << w.text;
                }
            }
            QVERIFY2(line.contains(QString::number(n)) &&
                         line.contains(QStringLiteral("%1.00").arg(n * 3)),
                     qPrintable(line.join(' ')));
        }
        QVERIFY(pages >= 3);
        QCOMPARE(Find(words, QStringLiteral("Endofthelist.")).size(), size_t(1));
        // No word is cut by a page's edge: all but the footer's lie inside the text area
        // (A4, 42 pt margins, 24 pt for the footer).
        for (const Word& w : words) {
            if (w.box.top() > 841.89 - 42 - 2) {
                continue;  // "Page x of y"
            }
            QVERIFY2(w.box.top() >= 42 - 1 && w.box.bottom() <= 841.89 - 42 - 24 + 1,
                     qPrintable(QStringLiteral("%1 at %2").arg(w.text).arg(w.box.bottom())));
        }
    }

    // Shapes that made layout cost explode; each ends, and the page says what was capped.
    void hostileShapes_endWithNotice_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("kept");
        const QByteArray html = "Content-Type: text/html; charset=utf-8\n\n";
        QTest::newRow("10 MB word") << html + "<p>" + QByteArray(10'000'000, 'x') + "</p>"
                                    << "Words longer than"
                                    << "xxxxxxxxxxxxxxxxxxxx";
        QTest::newRow("100,000 nested div")
            << html + QByteArray("<div>").repeated(100'000) + "DEEPEST" +
                   QByteArray("</div>").repeated(100'000)
            << "nested more than"
            << "DEEPEST";
        QByteArray rows;
        for (int i = 0; i < 100'000; ++i) {
            rows += "<tr><td>r" + QByteArray::number(i) + "</td><td>v</td></tr>";
        }
        QTest::newRow("100,000 table rows") << html + "<table>" + rows + "</table>"
                                            << "Tables of more than"
                                            << "r100";
        QTest::newRow("rowspan 0 and below, colspan 2^31-1")
            << html +
                   "<table><thead><tr><th colspan=2147483647>HEAD</th></tr></thead><tbody>"
                   "<tr><td rowspan=0>A</td><td rowspan=-3>B</td></tr><tr><td>C</td></tr>"
                   "</tbody><tfoot><tr><td colspan=0>FOOT</td></tr></tfoot></table>"
            << ""
            << "FOOT";
        QTest::newRow("var() that names itself")
            << html + "<div style=\"--a: var(--a); color: var(--a)\">SELF</div>"
            << "style sheets were left out"
            << "SELF";
        QByteArray doubling = "--v0: xx;";
        for (int i = 1; i < 40; ++i) {
            doubling += "--v" + QByteArray::number(i) + ": var(--v" + QByteArray::number(i - 1) +
                        ") var(--v" + QByteArray::number(i - 1) + ");";
        }
        QTest::newRow("var() doubling 40 times")
            << html + "<style>p { " + doubling + " color: var(--v39) }</style><p>DOUBLED</p>"
            << "style sheets were left out"
            << "DOUBLED";
        QTest::newRow("selector of 40 child combinators")
            << html + "<style>td" + QByteArray(" > a").repeated(40) +
                   " { color: red }</style><table><tr><td><a>LINKED</a></td></tr></table>"
            << "style sheets were left out"
            << "LINKED";
        QByteArray parts = "Content-Type: multipart/mixed; boundary=b\n\n";
        for (int i = 0; i < 100'000; ++i) {
            parts += "--b\nContent-Type: text/html\n\n<p>part " + QByteArray::number(i) + "</p>\n";
        }
        QTest::newRow("100,000 HTML parts") << parts + "--b--\n"
                                            << "HTML parts after the first"
                                            << "part 100";
    }

    void hostileShapes_endWithNotice() {
        QFETCH(QByteArray, body);
        QFETCH(QString, notice);
        QFETCH(QString, kept);
        const QString eml = m_dir.filePath(QStringLiteral("hostile.eml"));
        QFile file(eml);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("From: a@example.org\nTo: b@example.org\nSubject: hostile\nMIME-Version: 1.0\n" +
                   body);
        file.close();
        const QString pdf = m_dir.filePath(QStringLiteral("hostile.pdf"));
        QFile::remove(pdf);
        int exitCode = 0;
        RunTool(QStringLiteral(VELMORA_EML2PDF), {eml, pdf}, &exitCode);
        QCOMPARE(exitCode, 0);
        // The notice stands before the body; the first pages are enough, and reading all of
        // such a PDF would take pdftotext a minute.
        const QString text = PdfText(pdf, {QStringLiteral("-l"), QStringLiteral("6")});
        QVERIFY2(notice.isEmpty() ? !text.contains("left out") : text.contains(notice),
                 qPrintable(notice));
        QVERIFY2(text.contains(kept), qPrintable(kept));
    }
};

QTEST_MAIN(HtmlLayoutTest)
#include "HtmlLayoutTest.moc"
