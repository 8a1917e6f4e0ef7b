#include "PdfTools.h"
#include "components/mailconverter/MailConverterX.h"
#include "components/mailconverter/pdf/FontFace.h"
#include "components/mailconverter/pdf/PdfCanvas.h"
#include "components/mailconverter/pdf/PdfFont.h"
#include "components/mailconverter/pdf/PdfObjects.h"
#include "components/mailconverter/pdf/TextRecorder.h"

#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace velmora::mailconverter;
using velmora::testing::RunTool;

namespace {

constexpr QSize kPage(200, 160);

// The same drawing on the canvas and on a raster image, to hold one against the other.
using Drawing = std::function<void(QPainter&)>;

}  // namespace

Q_DECLARE_METATYPE(Drawing)

namespace {

QImage Raster(const Drawing& draw) {
    QImage image(kPage, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    draw(painter);
    return image;
}

QByteArray Pdf(const Drawing& draw, int pages = 1) {
    PdfCanvas canvas(kPage);
    QPainter painter(&canvas);
    for (int i = 0; i < pages; ++i) {
        if (i > 0) {
            canvas.NewPage();
        }
        draw(painter);
    }
    painter.end();
    return canvas.Document();
}

// How far two images of one size differ: the share of pixels whose channels differ by more
// than a quarter, which edge smoothing alone never reaches over a whole shape.
double Mismatch(const QImage& a, const QImage& b) {
    int off = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > 64 || std::abs(qGreen(p) - qGreen(q)) > 64 ||
                std::abs(qBlue(p) - qBlue(q)) > 64) {
                ++off;
            }
        }
    }
    return double(off) / (a.width() * a.height());
}

}  // namespace

class PdfCanvasTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Save(const QByteArray& pdf, const QString& name) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size()) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }

    QImage Rasterised(const QString& pdf, int page = 1) {
        const QString prefix = m_dir.filePath(QFileInfo(pdf).baseName() + "-page");
        const auto r =
            RunTool("pdftoppm", {"-r", "72", "-png", "-singlefile", "-f", QString::number(page),
                                 "-l", QString::number(page), pdf, prefix});
        if (r.exitCode != 0) {
            return {};
        }
        return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
    }

  private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Every glyph copies as the text it was shaped from: ligatures as their letters, marks
    // with their base, look-alike letters of other scripts as themselves.
    void text_copiesAsTheCharactersItWasShapedFrom() {
        const QStringList lines = {QStringLiteral("office affinity fjord"),
                                   QStringLiteral("\u03A9\u2126|\u00B5\u03BC|K\u212A|\u00C5\u212B"),
                                   QStringLiteral("cafe\u0301"),
                                   QStringLiteral("\u0645\u0631\u062D\u0628\u0627"),
                                   QStringLiteral("\u65E5\u672C\u8A9E \u0416\u0443\u043A")};
        const QString pdf = Save(Pdf([&](QPainter& p) {
                                     QFont font(QStringLiteral("DejaVu Serif"));
                                     font.setPixelSize(12);
                                     p.setFont(font);
                                     for (int i = 0; i < lines.size(); ++i) {
                                         p.drawText(QPointF(10, 20 + 20 * i), lines[i]);
                                     }
                                 }),
                                 "text.pdf");
        const auto check = RunTool("qpdf", {"--check", pdf});
        QVERIFY2(check.exitCode == 0, check.out + check.err);
        const QString text =
            QString::fromUtf8(RunTool("pdftotext", {"-enc", "UTF-8", pdf, "-"}).out);
        for (const QString& line : lines) {
            if (line.startsWith(QChar(0x0645))) {
                continue;  // pdftotext puts right-to-left words in its own order
            }
            QVERIFY2(text.contains(line), qPrintable(line + " not in:\n" + text));
        }
        QVERIFY(text.contains(QStringLiteral("\u0627\u0628\u062D\u0631\u0645")) ||
                text.contains(lines[3]));
        const QString fonts = QString::fromUtf8(RunTool("pdffonts", {pdf}).out);
        for (const QString& row : fonts.split('\n', Qt::SkipEmptyParts).mid(2)) {
            QVERIFY2(row.contains(QRegularExpression(" yes +yes +yes ")), qPrintable(row));
        }
    }

    // One glyph shown for two texts gets two codes, each copying as its own text; a font
    // out of codes says so instead of reusing one.
    void font_oneGlyphTwoTexts_twoCodes() {
        const QByteArray file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
        if (!QFile::exists(QString::fromLatin1(file))) {
            QSKIP("DejaVu Sans is not installed (scripts/install-deps installs it)");
        }
        const auto face = LoadFontFace(file, 0);
        QVERIFY(face);
        PdfObjects objects;
        PdfFont font(face, objects.Reserve());
        const QString omega = QStringLiteral("\u03A9"), ohm = QStringLiteral("\u2126");
        const auto a = font.Code(42, omega.constData(), 1);
        const auto b = font.Code(42, ohm.constData(), 1);
        const auto again = font.Code(42, omega.constData(), 1);
        QVERIFY(a.code != 0 && b.code != 0 && a.code != b.code);
        QCOMPARE(again.code, a.code);
        QCOMPARE(a.width, b.width);
        QVERIFY(a.width > 0);
        const QString letters = QStringLiteral("xy");
        for (int i = 0; i < 70000; ++i) {
            const QChar c(char16_t(0x4E00 + i % 20000));
            const auto shown = font.Code(uint32_t(100 + i / 20000), &c, 1);
            if (shown.code == 0) {
                QVERIFY(i > 65000);
                break;
            }
        }
        QCOMPARE(font.Code(43, letters.constData(), 2).code, uint16_t(0));
        font.Write(objects);
        const QByteArray pdf = objects.Finish(objects.Reserve());
        QVERIFY(pdf.contains("/CIDToGIDMap") && pdf.contains("/FontFile2"));
    }

    // A face's first subset is planned from a copy of its kept tables, later ones from that
    // copy prepared: both must come out the same.
    void font_firstAndLaterSubsets_sameOutlines_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("index");
        QTest::newRow("TrueType") << QByteArray("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf")
                                  << 0;
        QTest::newRow("collection, second face")
            << QByteArray("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc") << 1;
        QTest::newRow("CFF collection")
            << QByteArray("/usr/share/fonts/opentype/noto/NotoSerifCJK-Bold.ttc") << 2;
    }
    void font_firstAndLaterSubsets_sameOutlines() {
        QFETCH(QByteArray, file);
        QFETCH(int, index);
        if (!QFile::exists(QString::fromLatin1(file))) {
            QSKIP("face not installed (scripts/install-deps installs it)");
        }
        const auto face = LoadFontFace(file, index);
        QVERIFY(face);
        const QString text = QStringLiteral("Ag\u00E9\u4E2D");
        QList<QByteArray> tables[2];
        for (auto& found : tables) {
            PdfObjects objects;
            PdfFont font(face, objects.Reserve());
            for (const QChar c : text) {
                font.Code(FaceGlyph(*face, c.unicode()), &c, 1);
            }
            font.Write(objects);
            const QByteArray pdf = objects.Finish(objects.Reserve());
            const qsizetype dict = pdf.indexOf(face->cff ? "/Subtype/OpenType" : "/Length1 ");
            QVERIFY(dict > 0);
            const qsizetype start = pdf.indexOf("stream\n", dict) + 7;
            const QByteArray deflated = pdf.mid(start, pdf.indexOf("\nendstream", start) - start);
            QByteArray sized(4, '\0');
            sized[0] = char(0x7F);  // qUncompress's size hint, an upper bound
            sized[1] = sized[2] = sized[3] = char(0xFF);
            const QByteArray program = qUncompress(sized + deflated);
            QVERIFY(!program.isEmpty());
            found << program;
            BlobPtr blob(hb_blob_create(program.constData(), uint(program.size()),
                                        HB_MEMORY_MODE_READONLY, nullptr, nullptr));
            FacePtr subset(hb_face_create(blob.get(), 0));
            QVERIFY(hb_face_get_glyph_count(subset.get()) > 1);
            for (const char* tag : {"glyf", "loca", "CFF ", "hmtx", "head"}) {
                BlobPtr table(
                    hb_face_reference_table(subset.get(), HB_TAG(tag[0], tag[1], tag[2], tag[3])));
                unsigned int length = 0;
                const char* data = hb_blob_get_data(table.get(), &length);
                found << QByteArray(data, int(length));
            }
        }
        // The program, then glyf, loca, CFF, hmtx and head: a PDF must not depend on which
        // conversion subset a face first.
        QVERIFY(!tables[0][1].isEmpty() || !tables[0][3].isEmpty());
        QCOMPARE(tables[0].size(), tables[1].size());
        for (qsizetype i = 0; i < tables[0].size(); ++i) {
            QCOMPARE(tables[0][i], tables[1][i]);
        }
    }

    // Images keep every pixel and their transparency.
    void images_keptLosslessWithTheirAlpha() {
        QImage image(7, 5, QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                image.setPixel(x, y, qRgba(x * 37, y * 51, (x * y * 13) % 256, 40 + x * 30));
            }
        }
        const QString pdf = Save(Pdf([&](QPainter& p) {
                                     p.drawImage(QRectF(10, 10, 70, 50), image);
                                     p.drawImage(QRectF(100, 10, 70, 50), image);  // reused
                                 }),
                                 "image.pdf");
        // Drawn twice, stored once: each row names the same object.
        const QStringList rows = QString::fromUtf8(RunTool("pdfimages", {"-list", pdf}).out)
                                     .split('\n', Qt::SkipEmptyParts)
                                     .mid(2);
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0].section(' ', 10, 10, QString::SectionSkipEmpty),
                 rows[2].section(' ', 10, 10, QString::SectionSkipEmpty));
        const QString prefix = m_dir.filePath("img");
        QCOMPARE(RunTool("pdfimages", {"-png", pdf, prefix}).exitCode, 0);
        const QImage pixels = QImage(prefix + "-000.png").convertToFormat(QImage::Format_RGB32);
        const QImage alpha = QImage(prefix + "-001.png").convertToFormat(QImage::Format_Grayscale8);
        QCOMPARE(pixels.size(), image.size());
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                QCOMPARE(pixels.pixel(x, y) & 0xFFFFFF, image.pixel(x, y) & 0xFFFFFF);
                QCOMPARE(qGray(alpha.pixel(x, y)), qAlpha(image.pixel(x, y)));
            }
        }
    }

    // Transforms, clips (set, intersected, restored), transparency, strokes and paths come
    // out as Qt's own raster engine paints them.
    void drawing_matchesQtsRasterEngine_data() {
        QTest::addColumn<Drawing>("draw");
        QTest::newRow("fills and strokes") << Drawing([](QPainter& p) {
            p.fillRect(QRectF(10, 10, 80, 40), QColor(200, 30, 30));
            p.setPen(QPen(QColor(20, 20, 160), 4));
            p.drawLine(QPointF(10, 80), QPointF(190, 140));
            p.setBrush(QColor(30, 160, 30));
            p.drawEllipse(QRectF(110, 20, 70, 50));
        });
        QTest::newRow("transform") << Drawing([](QPainter& p) {
            p.translate(100, 80);
            p.rotate(30);
            p.scale(1.5, 0.75);
            p.fillRect(QRectF(-30, -30, 60, 60), QColor(40, 40, 200));
        });
        QTest::newRow("clip set, intersected, restored") << Drawing([](QPainter& p) {
            p.setClipRect(QRectF(0, 0, 120, 160));
            p.save();
            p.setClipRect(QRectF(40, 0, 200, 80), Qt::IntersectClip);
            p.fillRect(QRectF(0, 0, 200, 160), QColor(220, 120, 0));
            p.restore();
            p.fillRect(QRectF(0, 100, 200, 40), QColor(0, 120, 220));
            p.setClipping(false);
            p.fillRect(QRectF(150, 140, 50, 20), Qt::black);
        });
        QTest::newRow("round clip and transparency") << Drawing([](QPainter& p) {
            QPainterPath round;
            round.addEllipse(QRectF(20, 20, 120, 120));
            p.setClipPath(round);
            p.fillRect(QRectF(0, 0, 200, 160), QColor(0, 0, 0, 128));
            p.setClipping(false);
            p.setOpacity(0.5);
            p.fillRect(QRectF(120, 10, 70, 70), QColor(255, 0, 0));
        });
        QTest::newRow("dashes and text") << Drawing([](QPainter& p) {
            p.setPen(QPen(Qt::darkGreen, 3, Qt::DashLine));
            p.drawRect(QRectF(20, 20, 160, 120));
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPixelSize(28);
            p.setFont(font);
            p.setPen(Qt::darkRed);
            p.drawText(QPointF(30, 95), QStringLiteral("Hamburg"));
        });
    }

    void drawing_matchesQtsRasterEngine() {
        QFETCH(Drawing, draw);
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const QString pdf = Save(Pdf(draw), "drawing-" + tag.split(' ').join('-') + ".pdf");
        const QImage page = Rasterised(pdf);
        QCOMPARE(page.size(), kPage);
        const double mismatch = Mismatch(page, Raster(draw));
        QVERIFY2(mismatch < 0.01, qPrintable(QString("%1 % of pixels differ").arg(mismatch * 100)));
    }

    // Each page starts from the painter's state, whatever the one before set in its content.
    void pages_carryThePaintersStateOnly() {
        const QString pdf = Save(Pdf(
                                     [](QPainter& p) {
                                         p.setClipRect(QRectF(0, 0, 100, 160));
                                         p.fillRect(QRectF(0, 0, 200, 160), QColor(0, 150, 0));
                                     },
                                     3),
                                 "pages.pdf");
        QVERIFY(QString::fromUtf8(RunTool("pdfinfo", {pdf}).out)
                    .contains(QRegularExpression("Pages:\\s+3\\n")));
        for (int page = 1; page <= 3; ++page) {
            const QImage image = Rasterised(pdf, page);
            QCOMPARE(image.pixel(50, 80), qRgb(0, 150, 0));
            QCOMPARE(image.pixel(150, 80), qRgb(255, 255, 255));
        }
    }

    // A text shown again from what the recorder kept is the same PDF as Qt's own drawing of
    // it (glyphs, places, faces, copied text, the painter's colour before and after it), and
    // its width is the one Qt measures.
    void recordedText_showsAsQtDrawsIt_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("kerning, ligatures") << QStringLiteral("AVAWAY office Tj");
        QTest::newRow("marks") << QStringLiteral("cafe\u0301 n\u0303o");
        QTest::newRow("right to left, digits")
            << QStringLiteral("\u0645\u0631\u062D\u0628\u0627 123 \u05E9\u05DC\u05D5\u05DD");
        QTest::newRow("fallback faces")
            << QStringLiteral("\u65E5\u672C\u8A9E \u0416\u0443\u043A abc");
    }

    void recordedText_showsAsQtDrawsIt() {
        QFETCH(QString, text);
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPixelSize(16);
        TextRecorder recorder;
        const std::unique_ptr<RecordedText> recorded = recorder.Record(font, text);
        QVERIFY(recorded);
        QVERIFY(!recorded->runs.empty());
        // Lines are laid out by this width: it must be the one Qt measures.
        QCOMPARE(recorded->width, QFontMetricsF(font).horizontalAdvance(text));
        auto pdf = [&](bool replay) {
            PdfCanvas canvas(kPage);
            QPainter p(&canvas);
            p.scale(0.75, 0.75);
            p.setClipRect(QRectF(0, 0, 240, 200));
            p.setFont(font);
            p.setPen(QColor(128, 128, 128));
            p.drawText(QPointF(8, 30), QStringLiteral("before"));
            p.save();
            p.setPen(QColor(200, 0, 0));
            const QPointF origin(8.5, 60.25);
            if (!replay) {
                p.drawText(origin, text);
            } else if (!canvas.ShowRecorded(p, *recorded, origin)) {
                return QByteArray();
            }
            p.restore();
            p.drawText(QPointF(8, 90), QStringLiteral("after"));
            p.end();
            const QString tag = QString::number(replay) + QTest::currentDataTag();
            const auto r = RunTool("qpdf", {"--qdf", "--object-streams=disable",
                                            Save(canvas.Document(), tag + ".pdf"), "-"});
            // The write time and the identifier it goes into are all that may differ.
            return QString::fromLatin1(r.out)
                .replace(QRegularExpression("D:\\d{14}|\\d{4}-\\d\\d-\\d\\dT[\\d:]{8}"), "T")
                .replace(QRegularExpression("/ID \\[.*\\]"), "ID")
                .toLatin1();
        };
        const QByteArray drawn = pdf(false);
        const QByteArray replayed = pdf(true);
        QVERIFY(drawn.contains("0.502 0.502 0.502 rg"));
        QCOMPARE(replayed, drawn);
    }

    void document_whilePainting_refusedAndNoSecondCopy() {
        PdfCanvas canvas(kPage);
        QPainter painter(&canvas);
        QVERIFY_THROWS_EXCEPTION(ConversionError, canvas.Document());
        painter.end();
        QVERIFY(canvas.Document().startsWith("%PDF-1.7"));
        QVERIFY_THROWS_EXCEPTION(ConversionError, canvas.Document());
    }
};

QTEST_MAIN(PdfCanvasTest)
#include "PdfCanvasTest.moc"
