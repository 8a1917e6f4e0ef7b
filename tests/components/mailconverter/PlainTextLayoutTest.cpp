#include "PdfTools.h"
#include "components/mailconverter/layout/PlainTextLayout.h"
#include "components/mailconverter/pdf/PdfCanvas.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace velmora::mailconverter;
using velmora::testing::PdfWords;
using velmora::testing::RunTool;

namespace {

constexpr qreal kWidth = 300;
constexpr qreal kLeft = 20;

struct Word {
    qreal xMin, yMin, xMax, yMax;
    QString text;
};
using TextLine = std::vector<Word>;

// The words of each line, top to bottom: pdftotext's lines, joined where they share a
// baseline (it splits lines at tab gaps).
std::vector<TextLine> BoxedLines(const QString& pdf) {
    const QString xml = QString::fromUtf8(RunTool("pdftotext", {"-bbox-layout", pdf, "-"}).out);
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)<"));
    std::vector<TextLine> lines;
    for (const QString& chunk : xml.split(QStringLiteral("<line ")).mid(1)) {
        TextLine line;
        for (auto it = word.globalMatch(chunk.section(QStringLiteral("</line>"), 0, 0));
             it.hasNext();) {
            const auto m = it.next();
            line.push_back({m.captured(1).toDouble(), m.captured(2).toDouble(),
                            m.captured(3).toDouble(), m.captured(4).toDouble(), m.captured(5)});
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const TextLine& a, const TextLine& b) { return a[0].yMin < b[0].yMin; });
    std::vector<TextLine> joined;
    for (const TextLine& line : lines) {
        if (!joined.empty() && qAbs(joined.back()[0].yMin - line[0].yMin) < 0.5) {
            joined.back().insert(joined.back().end(), line.begin(), line.end());
        } else {
            joined.push_back(line);
        }
    }
    return joined;
}

QFont TextFont() {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Noto Naskh Arabic")});
    font.setPointSizeF(10);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

}  // namespace

class PlainTextLayoutTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Render(const QString& text, const QString& name, qreal* height = nullptr) {
        PdfCanvas canvas(QSizeF(kWidth + 2 * kLeft, 4000));
        const PlainTextLayout layout(text, TextFont(), kWidth, &canvas, 5000);
        if (height) {
            *height = layout.Height();
        }
        QPainter painter(&canvas);
        painter.translate(kLeft, kLeft);
        layout.Paint(painter, 0, layout.Height());
        painter.end();
        const QString path = m_dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(canvas.Document());
        return path;
    }

  private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Lines break at spaces as late as the column allows, so no line could have taken the
    // next word; a word longer than the column is broken inside; nothing is lost.
    void prose_brokenGreedilyAtSpacesWithinTheColumn() {
        QString text;
        for (int i = 0; i < 400; ++i) {
            text += QString(1 + (i * 7) % 11, QChar(u'a' + i % 26)) + QString::number(i) + ' ';
        }
        text += QString(700, QLatin1Char('W')) + QStringLiteral(" tail");
        const QString pdf = Render(text, "prose.pdf");
        const std::vector<TextLine> lines = BoxedLines(pdf);
        QVERIFY(lines.size() > 20);
        const qreal space = lines[0].size() > 1 ? lines[0][1].xMin - lines[0][0].xMax : 0;
        QVERIFY(space > 2 && space < 4);
        for (size_t i = 0; i < lines.size(); ++i) {
            const TextLine& line = lines[i];
            QVERIFY2(line.back().xMax <= kLeft + kWidth + 0.01,
                     qPrintable(QString("line %1 ends at %2").arg(i).arg(line.back().xMax)));
            QCOMPARE(qRound(line.front().xMin * 100), qRound(kLeft * 100));
            const bool brokenWord = line.size() == 1 && line.back().text.startsWith("WWW");
            if (i + 1 < lines.size() && !brokenWord && !lines[i + 1][0].text.startsWith("WWW")) {
                const qreal next = lines[i + 1][0].xMax - lines[i + 1][0].xMin;
                QVERIFY2(line.back().xMax + space + next > kLeft + kWidth,
                         qPrintable(
                             QString("line %1 had room for %2").arg(i).arg(lines[i + 1][0].text)));
            }
        }
        QVERIFY(PdfWords(pdf).remove(' ').contains(QString(700, QLatin1Char('W'))));
        QString expected = text;
        QCOMPARE(PdfWords(pdf).remove(' '), expected.remove(' '));
    }

    // A hyphenated word may end a line after its hyphen.
    void hyphenatedWord_breaksAfterItsHyphen() {
        // As many groups as leave room for "self-" but not for "self-evident".
        PdfCanvas probe(QSizeF(100, 100));
        const QFontMetricsF metrics(TextFont(), &probe);
        const int groups =
            int((kWidth - metrics.horizontalAdvance("self-")) / metrics.horizontalAdvance("xxxx "));
        QVERIFY(groups * metrics.horizontalAdvance("xxxx ") +
                    metrics.horizontalAdvance("self-evident") >
                kWidth);
        const QString text = QString("xxxx ").repeated(groups) + QStringLiteral("self-evident");
        const std::vector<TextLine> lines = BoxedLines(Render(text, "hyphen.pdf"));
        QCOMPARE(lines.size(), size_t(2));
        QCOMPARE(lines[0].back().text, QStringLiteral("self-"));
        QCOMPARE(lines[1].front().text, QStringLiteral("evident"));
    }

    // Paragraphs that Qt lays out (tabs, other scripts, marks) and the ones broken here
    // share one line pitch and keep their text.
    void mixedParagraphs_onePitchAndEveryWordKept() {
        const QStringList paragraphs = {
            QStringLiteral("Plain Latin paragraph one"),
            QStringLiteral("Tabbed\tcolumns\there"),
            QStringLiteral("Latin again with \u00E9t\u00E9 and \u0416\u0443\u043A"),
            QStringLiteral("Combining cafe\u0301 mark"),
            QStringLiteral("Latin last"),
        };
        qreal height = 0;
        const QString pdf = Render(paragraphs.join('\n'), "mixed.pdf", &height);
        const std::vector<TextLine> lines = BoxedLines(pdf);
        QCOMPARE(lines.size(), size_t(paragraphs.size()));
        const qreal pitch = lines[1][0].yMin - lines[0][0].yMin;
        QVERIFY(pitch > 11 && pitch < 12.3);
        for (size_t i = 1; i < lines.size(); ++i) {
            QVERIFY2(qAbs(lines[i][0].yMin - lines[i - 1][0].yMin - pitch) < 0.01,
                     qPrintable(QString("line %1").arg(i)));
        }
        QVERIFY(qAbs(height - paragraphs.size() * pitch) < 0.01);
        const QString words = PdfWords(pdf);
        for (const QString& paragraph : paragraphs) {
            QVERIFY2(
                words.contains(paragraph.simplified().normalized(QString::NormalizationForm_KC)),
                qPrintable(paragraph + " not in " + words));
        }
    }

    // Words are kerned by the face's pair table, as a shaped layout kerns them.
    void kerning_asAShapedLayoutKerns() {
        const QStringList words = {QStringLiteral("AVAT"), QStringLiteral("WAVY"),
                                   QStringLiteral("Today")};
        const std::vector<TextLine> lines = BoxedLines(Render(words.join(' '), "kerning.pdf"));
        QCOMPARE(lines.size(), size_t(1));
        QCOMPARE(lines[0].size(), size_t(3));
        PdfCanvas probe(QSizeF(100, 100));
        QFont shaped = TextFont();
        shaped.setStyleStrategy(QFont::PreferDefault);
        QFont unkerned = shaped;
        unkerned.setKerning(false);
        for (size_t i = 0; i < 3; ++i) {
            const qreal ours = lines[0][i].xMax - lines[0][i].xMin;
            const qreal kerned = QFontMetricsF(shaped, &probe).horizontalAdvance(words[int(i)]);
            const qreal plain = QFontMetricsF(unkerned, &probe).horizontalAdvance(words[int(i)]);
            QVERIFY2(plain - kerned > 0.5, qPrintable(words[int(i)]));
            QVERIFY2(
                qAbs(ours - kerned) < 0.3,
                qPrintable(QString("%1: %2 against %3").arg(words[int(i)]).arg(ours).arg(kerned)));
        }
    }

    // A long paragraph that Qt lays out stays one paragraph, every line full but its last;
    // only a run Qt cannot break is cut, and then nothing of it is lost.
    void longParagraphs_cutOnlyWhereQtCannotBreak() {
        const QString cjk =  // longer than the piece this test asks for
            QStringLiteral("\u65E5\u672C\u8A9E\u306E\u6587\u7AE0\u3067\u3059\u3002").repeated(700);
        const std::vector<TextLine> lines = BoxedLines(Render(cjk, "cjk.pdf"));
        QVERIFY(lines.size() > 20);
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            QVERIFY2(lines[i].back().xMax > kLeft + kWidth - 12,
                     qPrintable(QString("line %1 ends at %2").arg(i).arg(lines[i].back().xMax)));
        }
        // Twice the piece this test asks for.
        const QString run = QStringLiteral("\t") + QString(10'000, QLatin1Char('x'));
        QCOMPARE(PdfWords(Render(run, "run.pdf")).remove(' ').size(), qsizetype(10'000));
    }

    // An address or URL never breaks after one of its hyphens (a search for its words must
    // find them), only after "/" or "." or before "@"; a right-to-left paragraph reads from
    // the right margin.
    void addressesAndDirection_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("whole");  // on one line
        QTest::addColumn<bool>("rightAligned");
        PdfCanvas probe(QSizeF(100, 100));
        const QFontMetricsF metrics(TextFont(), &probe);
        // Room on the first line for the address up to its hyphen, not beyond it.
        const QString lead = QStringLiteral("xxxx ").repeated(
            int((kWidth - metrics.horizontalAdvance("linuxuser-")) /
                metrics.horizontalAdvance("xxxx ")));
        QTest::newRow("e-mail address") << lead + "linuxuser-admin@harbour-books.example"
                                        << "linuxuser-admin" << false;
        QTest::newRow("URL longer than the column")
            << "https://harbour-books.example" +
                   QStringLiteral("/lighthouse-keepers-diary").repeated(6) + "/page-two.html"
            << "lighthouse-keepers-diary" << false;
        QTest::newRow("Hebrew")  // read back letter by letter: no word to find whole
            << QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD") << QString()
            << true;
    }

    void addressesAndDirection() {
        QFETCH(QString, text);
        QFETCH(QString, whole);
        QFETCH(bool, rightAligned);
        const QString pdf = Render(text, "address.pdf");
        const std::vector<TextLine> lines = BoxedLines(pdf);
        QVERIFY(!lines.empty());
        // Right-to-left words may come back in visual order.
        QString reversed = whole;
        std::reverse(reversed.begin(), reversed.end());
        QString joined;
        bool found = false;
        for (const TextLine& line : lines) {
            QVERIFY2(!line.back().text.endsWith('-'), qPrintable(line.back().text));
            for (const Word& word : line) {
                joined += word.text;
                found = found || word.text.contains(whole) || word.text.contains(reversed);
            }
        }
        QVERIFY2(found, qPrintable(whole));
        // Nothing lost, in whatever order a reader gives right-to-left words.
        QString expected = QString(text).remove(' ');
        std::sort(joined.begin(), joined.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(joined, expected);
        if (rightAligned) {
            QVERIFY(lines[0].back().xMax > kLeft + kWidth - 2);
            QVERIFY(lines[0].front().xMin > kLeft + kWidth / 2);
        }
    }

    // Only the lines that start on the stretch asked for are painted.
    void paint_drawsTheLinesOfItsStretchOnly() {
        PdfCanvas canvas(QSizeF(kWidth + 2 * kLeft, 200));
        const PlainTextLayout layout(QStringLiteral("first\nsecond\n\u65E5\u672C\nfourth"),
                                     TextFont(), kWidth, &canvas, 5000);
        QCOMPARE(layout.Lines().size(), size_t(4));
        QPainter painter(&canvas);
        layout.Paint(painter, layout.Lines()[1].top, layout.Lines()[3].top);
        painter.end();
        const QString path = m_dir.filePath("stretch.pdf");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(canvas.Document());
        file.close();
        QCOMPARE(PdfWords(path), QStringLiteral("second \u65E5\u672C"));
    }
};

QTEST_MAIN(PlainTextLayoutTest)
#include "PlainTextLayoutTest.moc"
