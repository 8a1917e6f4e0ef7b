#include "ArchivalCheck.h"
#include "PdfTools.h"
#include "components/mailconverter/MailConverter.h"
#include "components/mailconverter/pdf/PdfCanvas.h"
#include "components/mailconverter/pdf/PdfObjects.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>

#include <utility>

using namespace velmora::mailconverter;

namespace {

QString CorpusPath(const char* name) {
    return QStringLiteral(VELMORA_MAIL_CORPUS "/") + QLatin1String(name);
}

using velmora::testing::ToolResult;
constexpr auto Run = [](const QString& program, const QStringList& args,
                        const std::function<void()>& inChild = {}) {
    return velmora::testing::RunTool(program, args, inChild);
};

// pdftotext output as a reader would search it: compatibility forms folded and
// direction marks dropped.
QString PdfText(const QString& pdf) {
    const ToolResult r =
        Run(QStringLiteral("pdftotext"),
            {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    QString text = QString::fromUtf8(r.out).normalized(QString::NormalizationForm_KC);
    static const QRegularExpression marks(
        QStringLiteral("[\u200E\u200F\u202A-\u202E\u2066-\u2069]"));
    return text.remove(marks);
}

QString PdfInfo(const QString& pdf, const QStringList& extra = {}) {
    return QString::fromUtf8(Run(QStringLiteral("pdfinfo"), extra + QStringList{pdf}).out);
}

QStringList AttachmentNames(const QString& pdf) {
    QStringList names;
    const QStringList lines =
        QString::fromUtf8(
            Run(QStringLiteral("pdfdetach"),
                {QStringLiteral("-enc"), QStringLiteral("UTF-8"), QStringLiteral("-list"), pdf})
                .out)
            .split('\n');
    static const QRegularExpression entry(QStringLiteral("^\\d+: (.*)$"));
    for (const QString& line : lines) {
        const auto m = entry.match(line);
        if (m.hasMatch()) {
            names << m.captured(1);
        }
    }
    names.sort();
    return names;
}

// pdfimages -list rows as "width x height", placeholders for what was not loaded left out.
QStringList ImageSizes(const QString& pdf) {
    QStringList sizes;
    const QStringList rows =
        QString::fromUtf8(Run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf}).out)
            .split('\n', Qt::SkipEmptyParts)
            .mid(2);
    for (const QString& row : rows) {
        const QStringList columns = row.split(' ', Qt::SkipEmptyParts);
        if (columns.size() > 4 && !(columns[3] == "1" && columns[4] == "1")) {
            sizes << columns[3] + "x" + columns[4];
        }
    }
    return sizes;
}

// Every font of the document is embedded, as pdffonts reports it.
bool FontsEmbedded(const QString& pdf, QString& problem) {
    const QStringList fonts =
        QString::fromUtf8(Run("pdffonts", {pdf}).out).split('\n', Qt::SkipEmptyParts).mid(2);
    if (fonts.isEmpty()) {
        problem = "no fonts";
        return false;
    }
    for (const QString& line : fonts) {
        const QStringList columns = line.split(' ', Qt::SkipEmptyParts);
        if (columns.size() < 5 || columns[columns.size() - 5] != "yes") {
            problem = "not embedded: " + line;
            return false;
        }
    }
    return true;
}

QStringList FilesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray NestedMessages(int depth) {
    QByteArray text;
    for (int i = 0; i < depth; ++i) {
        text += "From: level" + QByteArray::number(i) +
                "@example.com\r\nSubject: level\r\nMIME-Version: 1.0\r\nContent-Type: "
                "message/rfc822\r\n\r\n";
    }
    return text + "From: bottom@example.com\r\nSubject: bottom\r\n\r\nBOTTOM\r\n";
}

QByteArray NestedMultiparts(int depth) {
    QByteArray text = "From: deep@example.com\r\nSubject: deep\r\nMIME-Version: 1.0\r\n";
    for (int i = 0; i < depth; ++i) {
        text += "Content-Type: multipart/mixed; boundary=\"b" + QByteArray::number(i) +
                "\"\r\n\r\n--b" + QByteArray::number(i) + "\r\n";
    }
    return text + "Content-Type: text/plain\r\n\r\nDEEPEST\r\n";  // closing boundaries missing too
}

}  // namespace

class MailConverterTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_dir;
    QStringList m_written;  // PDFs of the current test, for the archival check

    QString Convert(const QString& eml, MailConverter& converter) {
        const QString pdf = m_dir.filePath(QFileInfo(eml).completeBaseName() + ".pdf");
        converter.Convert(eml, pdf, QStringLiteral("-c PDF"));
        m_written << pdf;
        return pdf;
    }
    QString Convert(const char* corpusName) {
        MailConverter converter;
        return Convert(CorpusPath(corpusName), converter);
    }
    QString WriteMessage(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }

  private Q_SLOTS:
    // Every PDF a test made passes the archival check as well.
    void cleanup() {
        const QStringList written = std::exchange(m_written, {});
        for (const QString& pdf : written) {
            const QStringList problems = velmora::mailconverter::testing::ArchivalProblems(pdf);
            QVERIFY2(problems.isEmpty(), qPrintable(pdf + ":\n" + problems.join('\n')));
        }
    }

    void initTestCase() {
        QVERIFY(m_dir.isValid());
        for (const char* tool : {"pdftotext", "pdfinfo", "pdffonts", "pdfdetach", "pdfimages"}) {
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
        }
    }

    void scripts_everySampleSearchable_fontsEmbedded() {
        const QString pdf = Convert("scripts.eml");
        const QString text = PdfText(pdf);
        const QStringList needles = {"Quarterly report",
                                     "四半期報告",
                                     "отчёт",
                                     "Иван Петров",
                                     "ivan@example.ru",
                                     "Jane Roe/Sales/Acme",
                                     "Renée Müller",
                                     "Γιώργος Παπαδόπουλος",
                                     "王小明",
                                     "wang@example.cn",
                                     "The office efficiently finished the café reconciliation.",
                                     "Съешь же ещё этих мягких французских булок.",
                                     "ξεσκεπάζω την ψυχοφθόρα βδελυγμία",
                                     "我们今天讨论预算问题，一二三人大文",
                                     "いろはにほへと ちりぬるを カタカナ 日本語の文章です",
                                     "مرحبا بالعالم",
                                     "שלום עולם",
                                     "Page 1 of 1"};
        for (const QString& needle : needles) {
            QVERIFY2(text.contains(needle.normalized(QString::NormalizationForm_KC)),
                     qPrintable("missing: " + needle));
        }
        const QString raw = QString::fromUtf8(Run("pdftotext", {"-enc", "UTF-8", pdf, "-"}).out);
        for (char32_t c = 0x2F00; c <= 0x2FDF; ++c) {
            QVERIFY2(!raw.contains(QString::fromUcs4(&c, 1)), "Kangxi radical in text");
        }
        QString problem;
        QVERIFY2(FontsEmbedded(pdf, problem), qPrintable(problem));
    }

    void cffCjkFace_textSearchableAndArchival() {
        if (!QFontDatabase::families().contains(QStringLiteral("Noto Sans CJK SC"))) {
            QSKIP("Noto Sans CJK SC is not installed (scripts/install-deps installs it)");
        }
        RenderOptions options;
        options.textFamilies = {QStringLiteral("Noto Sans CJK SC")};
        MailConverter converter({}, options);
        const QString pdf = Convert(CorpusPath("scripts.eml"), converter);
        QVERIFY(QString::fromUtf8(Run("pdffonts", {pdf}).out).contains("NotoSansCJK"));
        // This face maps 一二人大文 onto glyphs shared with Kangxi radicals.
        const QString raw = QString::fromUtf8(Run("pdftotext", {"-enc", "UTF-8", pdf, "-"}).out);
        QVERIFY2(raw.contains(QStringLiteral("一二三人大文")), qPrintable(raw));
        QVERIFY(raw.contains(QStringLiteral("日本語の文章")));
        QVERIFY(raw.contains(QStringLiteral("2026")));
        // The archival check runs on every PDF the tests write, this CFF one included.
    }

    void attachments_embeddedWithExactNamesAndBytes() {
        const QString pdf = Convert("scripts.eml");
        QCOMPARE(AttachmentNames(pdf), (QStringList{"evil.sh", "notes (2).txt", "notes.txt",
                                                    "scripts.eml", "отчёт.bin"}));
        const QString out = m_dir.filePath("detached");
        QVERIFY(QDir().mkpath(out));
        QCOMPARE(Run("pdfdetach", {"-enc", "UTF-8", "-saveall", "-o", out, pdf}).exitCode, 0);
        QFile report(out + QStringLiteral("/отчёт.bin"));
        QVERIFY(report.open(QIODevice::ReadOnly));
        QByteArray expected;
        for (int r = 0; r < 3; ++r) {
            for (int i = 0; i < 256; ++i) {
                expected += static_cast<char>(i);
            }
        }
        QCOMPARE(report.readAll(), expected);
        QFile second(out + "/notes (2).txt");
        QVERIFY(second.open(QIODevice::ReadOnly));
        QCOMPARE(second.readAll().trimmed(), QByteArray("second notes file"));
        QFile first(out + "/notes.txt");
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll().trimmed(), QByteArray("first notes file \xE2\x9C\x93"));
    }

    void metadata_titleAuthorDate_archivalIdentification() {
        const QString pdf = Convert("scripts.eml");
        const QString info = PdfInfo(pdf, {"-isodates"});
        QVERIFY2(
            info.contains(QStringLiteral("Title:           Quarterly report 四半期報告 отчёт")),
            qPrintable(info));
        QVERIFY(info.contains(QStringLiteral("Author:          Иван Петров <ivan@example.ru>")));
        QVERIFY2(info.contains("CreationDate:    2026-12-08T14:43:00+01"), qPrintable(info));
        QVERIFY(info.contains("PDF version:     1.7"));
        const QString xmp = PdfInfo(pdf, {"-meta"});
        QVERIFY(xmp.contains("<pdfaid:part>3</pdfaid:part>"));
        QVERIFY(xmp.contains("<pdfaid:conformance>U</pdfaid:conformance>"));
        QVERIFY(xmp.contains(QStringLiteral("Quarterly report 四半期報告 отчёт")));
        // Each document has a file identifier of its own, even from the same message.
        const auto fileId = [](const QString& path) {
            QPDF read;
            read.processFile(path.toLocal8Bit().constData());
            QPDFObjectHandle id = read.getTrailer().getKey("/ID");
            return id.isArray() && id.getArrayNItems() == 2 && id.getArrayItem(0).isString()
                       ? id.getArrayItem(0).getStringValue()
                       : std::string();
        };
        const std::string first = fileId(pdf);
        QCOMPARE(first.size(), size_t(16));
        QVERIFY(first != fileId(Convert("scripts.eml")));
    }

    void longMessage_pagesNumberedXofY() {
        QByteArray body;
        for (int i = 0; i < 400; ++i) {
            body += "Line number " + QByteArray::number(i) + " of the long message.\r\n";
        }
        const QString eml =
            WriteMessage("pages.eml", "From: a@example.com\r\nSubject: pages\r\n\r\n" + body);
        MailConverter converter;
        const QString pdf = Convert(eml, converter);
        const QRegularExpression pagesLine(QStringLiteral("Pages:\\s+(\\d+)"));
        const int pages = pagesLine.match(PdfInfo(pdf)).captured(1).toInt();
        QVERIFY(pages > 3);
        const QString text = PdfText(pdf);
        for (int page = 1; page <= pages; ++page) {
            QVERIFY(text.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages)));
        }
        QVERIFY(text.contains("Line number 0 of") && text.contains("Line number 399 of"));
    }

    // Short and long plain messages print their text at one size, inside the same margin.
    void plainText_oneSizeWhateverTheLength_data() {
        QTest::addColumn<int>("lines");
        for (const int lines : {3, 60, 120, 400}) {
            QTest::newRow(qPrintable(QString::number(lines))) << lines;
        }
    }

    void plainText_oneSizeWhateverTheLength() {
        QFETCH(int, lines);
        QByteArray body = "Marker line\r\n";
        for (int i = 0; i < lines; ++i) {
            body += "Line " + QByteArray::number(i) + " of the message.\r\n";
        }
        const QString eml = WriteMessage(QStringLiteral("size-%1.eml").arg(lines),
                                         "From: a@example.com\r\nSubject: size\r\n\r\n" + body);
        MailConverter converter;
        const QString pdf = Convert(eml, converter);
        const QString boxes = QString::fromUtf8(Run("pdftotext", {"-bbox", pdf, "-"}).out);
        static const QRegularExpression marker(QStringLiteral(
            "xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\">Marker<"));
        const auto m = marker.match(boxes);
        QVERIFY(m.hasMatch());
        // 10 pt text: DejaVu Sans boxes are ascent plus descent, 1.16 of the size.
        const double height = m.captured(3).toDouble() - m.captured(2).toDouble();
        QVERIFY2(height > 11 && height < 12.3, qPrintable(QString::number(height)));
        QCOMPARE(qRound(m.captured(1).toDouble()), 42);
    }

    void longLine_wrappedWithoutLosingACharacter() {
        const QString pdf = Convert("long-lines.eml");
        QString text = PdfText(pdf);
        text.remove(QRegularExpression(QStringLiteral("Page \\d+ of \\d+")));
        text.remove(QRegularExpression(QStringLiteral("\\s")));
        QString line = QStringLiteral("LONGSTART");
        for (int i = 0; i < 4000; ++i) {
            line += QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        }
        line += QStringLiteral("LONGEND");
        QVERIFY(text.contains(line));
        // Control characters stay visible instead of vanishing.
        QVERIFY(text.contains(QStringLiteral("\u240C")));
        QVERIFY(text.contains(QStringLiteral("\u2407")));
    }

    void html_renderedWithInlineImage_nothingFetched() {
        const QString pdf = Convert("html-related.eml");
        const QString text = PdfText(pdf);
        QVERIFY(text.contains("HTMLBODY bold words"));
        QVERIFY(text.contains("CellOne") && text.contains("CellTwo"));
        QVERIFY(text.contains("REMOTEAFTER"));
        QVERIFY(!text.contains("PLAINALTERNATIVE"));
        QCOMPARE(ImageSizes(pdf), QStringList{"40x30"});
        QCOMPARE(AttachmentNames(pdf).size(), 2);  // the unused part and the message
    }

    void inlineImageBetweenTextParts_shownAndKept() {
        const QString pdf = Convert("inline-photo.eml");
        const QString text = PdfText(pdf);
        QVERIFY(text.indexOf("BEFOREPHOTO") >= 0);
        QVERIFY(text.indexOf("AFTERPHOTO") > text.indexOf("BEFOREPHOTO"));
        QCOMPARE(ImageSizes(pdf), QStringList{"64x48"});
        const QString list = QString::fromUtf8(Run("pdfimages", {"-list", pdf}).out);
        QVERIFY2(!list.contains(" jpeg "), qPrintable(list));
        QCOMPARE(AttachmentNames(pdf), (QStringList{"inline-photo.eml", "photo.png"}));
    }

    void html_localAndRemoteReferences_neverLoaded() {
        // A real image beside the message and by absolute path: neither may appear.
        QImage image(20, 20, QImage::Format_RGB32);
        image.fill(Qt::green);
        const QString local = m_dir.filePath("local.png");
        QVERIFY(image.save(local));
        const QByteArray html = "<p>LOCALREFS</p><img src=\"local.png\"><img src=\"" +
                                local.toUtf8() + "\"><img src=\"file://" + local.toUtf8() +
                                "\"><img src=\"http://127.0.0.1:9/x.png\">";
        const QString eml = WriteMessage("local.eml",
                                         "From: a@example.com\r\nSubject: refs\r\n"
                                         "Content-Type: text/html\r\n\r\n" +
                                             html);
        MailConverter converter;
        const QString pdf = Convert(eml, converter);
        QVERIFY(PdfText(pdf).contains("LOCALREFS"));
        QCOMPARE(ImageSizes(pdf), QStringList{});
    }

    void corpus_contentOfEveryMessageShown_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("needles");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("charsets") << "charsets.eml"
                                  << QStringList{"Grüße aus Köln",   "Привет из Москвы",
                                                 "Déjà vu",          "naïve",
                                                 "“quoted” € price", "x-no-such-charset"}
                                  << QStringList{"charsets.eml"};
        QTest::newRow("attached message") << "nested-rfc822.eml"
                                          << QStringList{"OUTERBODY", "Attached message",
                                                         "Inner news", "Inner Author", "INNERBODY"}
                                          << QStringList{"inner.pdf", "nested-rfc822.eml"};
        QTest::newRow("malformed headers")
            << "malformed-headers.eml"
            << QStringList{"MALFORMEDBODY survives.", "Raw 8-bit subject été"}
            << QStringList{"original-message.eml"};
        QTest::newRow("empty parts")
            << "empty-parts.eml" << QStringList{"AFTEREMPTY text.", "empty.dat (0 bytes)"}
            << QStringList{"empty-parts.eml", "empty.dat"};
        QTest::newRow("truncated")
            << "truncated.eml" << QStringList{"TRUNCATEDBODY before the cut.", "cut.bin"}
            << QStringList{"cut.bin", "truncated.eml"};
    }

    void corpus_contentOfEveryMessageShown() {
        QFETCH(QString, file);
        QFETCH(QStringList, needles);
        QFETCH(QStringList, files);
        MailConverter converter;
        const QString pdf = Convert(CorpusPath(file.toLatin1().constData()), converter);
        const QString text = PdfText(pdf);
        for (const QString& needle : needles) {
            QVERIFY2(text.contains(needle), qPrintable("missing: " + needle + "\n" + text));
        }
        QCOMPARE(AttachmentNames(pdf), files);
        QString problem;
        QVERIFY2(FontsEmbedded(pdf, problem), qPrintable(problem));
    }

    void failures_throwAndLeaveNoFile_data() {
        QTest::addColumn<QString>("eml");
        QTest::addColumn<QString>("pdf");
        QTest::addColumn<QString>("switches");
        const QString good = CorpusPath("charsets.eml");
        QTest::newRow("unknown switch") << good << "out.pdf"
                                        << "-c HTML";
        QTest::newRow("empty switch") << good << "out.pdf"
                                      << "";
        QTest::newRow("missing message") << m_dir.filePath("nope.eml") << "out.pdf"
                                         << "-c PDF";
        QTest::newRow("message is a folder") << m_dir.path() << "out.pdf"
                                             << "-c PDF";
        QTest::newRow("destination under a file") << good << "blocker/out.pdf"
                                                  << "-c PDF";
        QTest::newRow("destination is a folder") << good << "."
                                                 << "-c PDF";
    }

    void failures_throwAndLeaveNoFile() {
        QFETCH(QString, eml);
        QFETCH(QString, pdf);
        QFETCH(QString, switches);
        QTemporaryDir target;
        QFile blocker(target.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QStringList before = FilesIn(target.path());
        MailConverter converter;
        QVERIFY_THROWS_EXCEPTION(ConversionError,
                                 converter.Convert(eml, target.filePath(pdf), switches));
        QCOMPARE(FilesIn(target.path()), before);
    }

    void success_replacesExistingFile() {
        QTemporaryDir target;
        const QString pdf = target.filePath("same.pdf");
        MailConverter converter;
        converter.Convert(CorpusPath("charsets.eml"), pdf, "-c PDF");
        converter.Convert(CorpusPath("truncated.eml"), pdf, "-c PDF");
        QCOMPARE(velmora::mailconverter::testing::ArchivalProblems(pdf), QStringList{});
        const QString text = PdfText(pdf);
        QVERIFY(text.contains("TRUNCATEDBODY"));
        QVERIFY(!text.contains("Latin1Part"));
        QCOMPARE(FilesIn(target.path()), QStringList{"same.pdf"});
    }

    void failure_keepsExistingFileUntouched() {
        QTemporaryDir target;
        const QString pdf = target.filePath("same.pdf");
        QFile existing(pdf);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("earlier document");
        existing.close();
        MailConverter converter;
        QVERIFY_THROWS_EXCEPTION(ConversionError,
                                 converter.Convert(target.filePath("missing.eml"), pdf, "-c PDF"));
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("earlier document"));
        QCOMPARE(FilesIn(target.path()), QStringList{"same.pdf"});
    }

    void hostileInput_endsInPdfOrCleanError_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");  // text the PDF must show
        QByteArray garbage;
        quint32 seed = 12345;
        for (int i = 0; i < 200'000; ++i) {
            seed = seed * 1103515245u + 12345u;
            garbage += static_cast<char>(seed >> 24);
        }
        QTest::newRow("binary garbage") << garbage << "";
        QTest::newRow("empty file") << QByteArray() << "Page 1 of 1";
        QTest::newRow("1000 nested multiparts") << NestedMultiparts(1000) << "nested more than";
        QTest::newRow("1000 nested messages") << NestedMessages(1000) << "nested more than";
        QTest::newRow("1 MB header")
            << "From: a@example.com\r\nSubject: " + QByteArray(1 << 20, 'h') +
                   "\r\n\r\nBODYAFTERHEADER\r\n"
            << "message-header.txt";
        QByteArray bigLine = "From: a@example.com\r\nSubject: big\r\n\r\n";
        bigLine += QByteArray(50 << 20, 'z');
        QTest::newRow("50 MB body on one line") << bigLine << "body-part-1.txt";
        QTest::newRow("bad boundary")
            << QByteArray("Content-Type: multipart/mixed; boundary=\r\n\r\n--\r\nx\r\n") << "";
        QTest::newRow("2000 nested tables")
            << "Content-Type: text/html\r\n\r\n" +
                   QByteArray("<div><table><tr><td>").repeated(2000) + "INNERMOSTCELL"
            << "without their grid";
        QTest::newRow("2000 nested lists")
            << "Content-Type: text/html\r\n\r\n" + QByteArray("<ul><li>").repeated(2000) +
                   "INNERMOSTITEM"
            << "INNERMOSTITEM";
        QTest::newRow("huge indent")
            << "Content-Type: text/html\r\n\r\n" +
                   QByteArray("<div style='margin-left:300px'>").repeated(2000) + "FARRIGHT"
            << "FARRIGHT";
    }

    void hostileInput_endsInPdfOrCleanError() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        const QString eml = WriteMessage("hostile.eml", bytes);
        const QString pdf = m_dir.filePath("hostile.pdf");
        QFile::remove(pdf);
        MailConverter converter;
        try {
            converter.Convert(eml, pdf, "-c PDF");
        } catch (const ConversionError& e) {
            QVERIFY2(!QFile::exists(pdf), e.what());
            QVERIFY(QString::fromUtf8(e.what()).size() > 10);
            return;
        }
        QCOMPARE(Run("pdfinfo", {pdf}).exitCode, 0);
        m_written << pdf;
        if (!expected.isEmpty()) {
            const QString text = PdfText(pdf);
            QVERIFY2(text.contains(expected) || AttachmentNames(pdf).contains(expected),
                     qPrintable("missing: " + expected));
        }
    }

    // Any text made a name, by the canvas or by the finisher, reads back as that text: "#",
    // the delimiters, blanks, controls and bytes beyond ASCII all escaped.
    void pdfNames_anyTextEscapedAndReadBack_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("number sign") << QByteArray("application/x#y");
        QTest::newRow("escape lookalike") << QByteArray("application/x#2Fy#");
        QTest::newRow("delimiters") << QByteArray("a/b(c)d<e>f[g]h{i}j%k");
        QTest::newRow("blanks and controls") << QByteArray("a b\tc\x01d\x7F");
        QTest::newRow("beyond ASCII") << QByteArray("application/x\xC3\xA9y");
    }

    void pdfNames_anyTextEscapedAndReadBack() {
        QFETCH(QByteArray, text);
        const QByteArray name = "/" + text;
        const QByteArray canvasName = pdf::Name(text);
        QCOMPARE(
            QByteArray::fromStdString(QPDFObjectHandle::parse(canvasName.toStdString()).getName()),
            name);

        PdfCanvas canvas(QSizeF(100, 100));
        QPainter(&canvas).end();
        PdfArchive archive;
        archive.files = {{"file.bin", QString::fromUtf8(text), "data"}};
        const QByteArray written = canvas.Document(archive);
        QPDF read;
        read.setSuppressWarnings(true);
        read.processMemoryFile("finished", written.constData(), size_t(written.size()));
        const auto files = QPDFEmbeddedFileDocumentHelper(read).getEmbeddedFiles();
        QCOMPARE(int(files.size()), 1);
        QPDFObjectHandle subtype =
            files.begin()->second->getEmbeddedFileStream().getDict().getKey("/Subtype");
        QCOMPARE(QByteArray::fromStdString(subtype.getName()), name);
        QVERIFY(!read.anyWarnings());
        m_written << WriteMessage("names.pdf", written);
    }

    void registry_createsConverterByName() {
        RegisterComponent();
        auto converter =
            velmora::automation::CreateObject<MailConverterX>("MailConverter.MailConverterX");
        QVERIFY(converter);
        const QString pdf = m_dir.filePath("registry.pdf");
        converter->Convert(CorpusPath("charsets.eml"), pdf, "-c PDF");
        m_written << pdf;
        QVERIFY(PdfText(pdf).contains("Grüße aus Köln"));
    }

    void commandLine_manyFiles_exitStatusAndOneLinePerFailure() {
        const QString out = m_dir.filePath("cli");
        QVERIFY(QDir().mkpath(out));
        const ToolResult r =
            Run(VELMORA_EML2PDF, {"-o", out, CorpusPath("charsets.eml"),
                                  m_dir.filePath("absent.eml"), CorpusPath("truncated.eml")});
        QCOMPARE(r.exitCode, 1);
        const QStringList errors = QString::fromUtf8(r.err).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].contains("absent.eml"));
        QCOMPARE(FilesIn(out), (QStringList{"charsets.pdf", "truncated.pdf"}));

        const QString single = m_dir.filePath("single.pdf");
        const ToolResult one = Run(VELMORA_EML2PDF, {CorpusPath("nested-rfc822.eml"), single});
        QCOMPARE(one.exitCode, 0);
        QCOMPARE(one.err, QByteArray());
        QVERIFY(PdfText(single).contains("INNERBODY"));
        m_written << single << out + "/charsets.pdf" << out + "/truncated.pdf";
        QCOMPARE(Run(VELMORA_EML2PDF, {"only-one-argument"}).exitCode, 2);
    }
};

QTEST_MAIN(MailConverterTest)
#include "MailConverterTest.moc"
