#include "app/Artwork.h"

#include <QApplication>
#include <QDirIterator>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <cmath>
#include <functional>

namespace Artwork = velmora::app::Artwork;

namespace {

// Share of pixels that are not fully transparent.
double Coverage(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    qsizetype visible = 0;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            visible += qAlpha(argb.pixel(x, y)) > 0 ? 1 : 0;
        }
    }
    return argb.isNull() ? 0.0 : double(visible) / (double(argb.width()) * argb.height());
}

// Mean grey level of the rows [top, bottom) over all columns, 0 (black) to 255 (white).
double MeanGrey(const QImage& image, int top, int bottom) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    double sum = 0;
    qsizetype count = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            sum += qGray(argb.pixel(x, y));
            ++count;
        }
    }
    return count == 0 ? 0.0 : sum / double(count);
}

// Number of distinct colours: a flat fill has one, artwork has many.
int DistinctColours(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            colours.insert(argb.pixel(x, y));
        }
    }
    return int(colours.size());
}

// Mean difference per channel between a 2x picture shrunk by averaging each 2 x 2 block and the 1x
// picture: small when both show the same drawing.
double MeanDifferenceAfterHalving(const QImage& large, const QImage& small) {
    const QImage a = large.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = small.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    double sum = 0;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            const QRgb block[] = {a.pixel(2 * x, 2 * y), a.pixel(2 * x + 1, 2 * y),
                                  a.pixel(2 * x, 2 * y + 1), a.pixel(2 * x + 1, 2 * y + 1)};
            const QRgb one = b.pixel(x, y);
            int channels[4] = {};
            for (QRgb p : block) {
                channels[0] += qRed(p);
                channels[1] += qGreen(p);
                channels[2] += qBlue(p);
                channels[3] += qAlpha(p);
            }
            sum += std::abs(channels[0] / 4.0 - qRed(one)) +
                   std::abs(channels[1] / 4.0 - qGreen(one)) +
                   std::abs(channels[2] / 4.0 - qBlue(one)) +
                   std::abs(channels[3] / 4.0 - qAlpha(one));
        }
    }
    return sum / (4.0 * b.width() * b.height());
}

// Every SVG file the resource holds, as paths under artwork/.
QStringList ArtworkFiles() {
    const QString root = QStringLiteral(":/velmora/artwork/");
    // Drawing one picture registers the resource.
    Artwork::RenderSvg(QStringLiteral("logo.svg"), QSize(16, 16), 1);
    QStringList files;
    QDirIterator it(root, {QStringLiteral("*.svg")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next().mid(root.size());
    }
    files.sort();
    return files;
}

}  // namespace

class ArtworkTest : public QObject {
    Q_OBJECT

  private slots:
    void pictures_haveTheirSizesAndContent_data() {
        QTest::addColumn<QPixmap>("picture");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("opaque");
        QTest::newRow("splash") << Artwork::Splash() << QSize(347, 180) << true;
        QTest::newRow("banner") << Artwork::Banner() << QSize(947, 87) << true;
        QTest::newRow("rule") << Artwork::Rule() << QSize(497, 2) << true;
        QTest::newRow("about") << Artwork::AboutBackground() << QSize(347, 180) << true;
        QTest::newRow("step arrow") << Artwork::StepArrow() << QSize(10, 16) << false;
        QTest::newRow("folder arrow") << Artwork::FolderArrow() << QSize(16, 16) << false;
        QTest::newRow("support icon") << Artwork::SupportIcon() << QSize(16, 16) << false;
    }

    void pictures_haveTheirSizesAndContent() {
        QFETCH(QPixmap, picture);
        QFETCH(QSize, size);
        QFETCH(bool, opaque);
        QCOMPARE(picture.size(), size);
        const QImage image = picture.toImage();
        const double coverage = Coverage(image);
        if (opaque) {
            // Backgrounds fill their whole area: no holes the window would show through.
            QCOMPARE(coverage, 1.0);
        } else {
            // Marks stand on a transparent ground but are not empty.
            QVERIFY2(coverage > 0.15 && coverage < 1.0, qPrintable(QString::number(coverage)));
        }
        QVERIFY(DistinctColours(image) > 3);
    }

    void aboutBackground_isLightWhereTheTextsSit() {
        const QImage about = Artwork::AboutBackground().toImage();
        // The window writes bold black and dark blue text at rows 144 to 177.
        QVERIFY(MeanGrey(about, 144, 178) > 200);
        QVERIFY(MeanGrey(about, 0, 120) < 140);
    }

    void banner_isLightBelowTheRule() {
        const QImage banner = Artwork::Banner().toImage();
        // Rows 78 to 86 show between the rule and the light menu bar.
        QVERIFY(MeanGrey(banner, 78, 87) > 200);
        QVERIFY(MeanGrey(banner, 6, 76) < 140);
    }

    void smallIcons_are72Of16By16In32Bit() {
        const QList<QPixmap>& icons = Artwork::SmallIcons();
        QCOMPARE(icons.size(), Artwork::kSmallIconCount);
        QCOMPARE(Artwork::kSmallIconCount, 72);
        for (qsizetype i = 0; i < icons.size(); ++i) {
            const QPixmap& icon = icons.at(i);
            QVERIFY2(icon.size() == QSize(16, 16), qPrintable(QString::number(i)));
            QVERIFY2(icon.depth() == 32 && icon.hasAlphaChannel(), qPrintable(QString::number(i)));
            const double coverage = Coverage(icon.toImage());
            QVERIFY2(coverage > 0.1, qPrintable(QStringLiteral("icon %1 is nearly empty").arg(i)));
        }
        // Built once: every caller sees the same list.
        QCOMPARE(&Artwork::SmallIcons(), &icons);
    }

    void smallIcons_usedPositionsAllDiffer() {
        const QList<QPixmap>& icons = Artwork::SmallIcons();
        const QList<int> used = {37, 47, 56, 61, 63, 65, 66, 67, 68, 69, 70, 71};
        for (int a : used) {
            for (int b : used) {
                if (a < b) {
                    QVERIFY2(
                        icons.at(a).toImage() != icons.at(b).toImage(),
                        qPrintable(QStringLiteral("icons %1 and %2 are the same").arg(a).arg(b)));
                }
            }
        }
        // The set as a whole is varied, not one picture repeated.
        QSet<QByteArray> distinct;
        for (const QPixmap& icon : icons) {
            const QImage image = icon.toImage().convertToFormat(QImage::Format_ARGB32);
            distinct.insert(
                QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
        }
        QVERIFY2(distinct.size() >= 60, qPrintable(QString::number(distinct.size())));
    }

    void smallIconPosition_mapsKeys_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("position");
        QTest::newRow("mail") << "mail" << 56;
        QTest::newRow("Load") << "Load" << 61;
        QTest::newRow("Preview") << "Preview" << 63;
        QTest::newRow("drafts") << "drafts" << 65;
        QTest::newRow("trash") << "trash" << 66;
        QTest::newRow("inbox") << "inbox" << 67;
        QTest::newRow("junk") << "junk" << 68;
        QTest::newRow("outbox") << "outbox" << 69;
        QTest::newRow("email") << "email" << 70;
        QTest::newRow("follow-up") << "follow-up" << 71;
        QTest::newRow("case matters") << "Mail" << -1;
        QTest::newRow("load lower case") << "load" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("toolbar caption") << "Export" << -1;
        QTest::newRow("padded") << " inbox" << -1;
    }

    void smallIconPosition_mapsKeys() {
        QFETCH(QString, key);
        QFETCH(int, position);
        QCOMPARE(Artwork::SmallIconPosition(key), position);
        if (position >= 0) {
            QVERIFY(position < Artwork::SmallIcons().size());
        }
    }

    void icons_holdBothSizes_data() {
        QTest::addColumn<QIcon>("icon");
        QTest::newRow("window") << Artwork::WindowIcon();
        QTest::newRow("browse") << Artwork::BrowseIcon();
        QTest::newRow("scan") << Artwork::ScanIcon();
        QTest::newRow("preview tab") << Artwork::PreviewTabIcon();
        QTest::newRow("open menu") << Artwork::OpenMenuIcon();
        QTest::newRow("help menu") << Artwork::HelpMenuIcon();
        QTest::newRow("about menu") << Artwork::AboutMenuIcon();
    }

    void icons_holdBothSizes() {
        QFETCH(QIcon, icon);
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(32, 32)));
        // The large picture is drawn at its size, not an enlarged copy of the small one.
        const QImage small = icon.pixmap(QSize(16, 16)).toImage();
        const QImage large = icon.pixmap(QSize(32, 32)).toImage();
        QCOMPARE(small.size(), QSize(16, 16));
        QCOMPARE(large.size(), QSize(32, 32));
        QVERIFY(large.scaled(16, 16) != small || DistinctColours(large) > DistinctColours(small));
        QVERIFY(Coverage(small) > 0.1);
    }

    void icons_differByPurpose() {
        const QList<QImage> images = {Artwork::WindowIcon().pixmap(16).toImage(),
                                      Artwork::ScanIcon().pixmap(16).toImage(),
                                      Artwork::PreviewTabIcon().pixmap(16).toImage(),
                                      Artwork::OpenMenuIcon().pixmap(16).toImage(),
                                      Artwork::HelpMenuIcon().pixmap(16).toImage(),
                                      Artwork::AboutMenuIcon().pixmap(16).toImage()};
        for (qsizetype a = 0; a < images.size(); ++a) {
            for (qsizetype b = a + 1; b < images.size(); ++b) {
                QVERIFY2(images.at(a) != images.at(b),
                         qPrintable(QStringLiteral("%1 and %2").arg(a).arg(b)));
            }
        }
    }

    void svgFiles_drawSharplyAtTwiceTheRatio_data() {
        QTest::addColumn<QString>("file");
        const QStringList files = ArtworkFiles();
        // The 72 small icons, the backgrounds, markers, window and title-strip icons.
        QVERIFY2(files.size() >= Artwork::kSmallIconCount + 9, qPrintable(files.join(' ')));
        for (const QString& file : files) {
            QTest::newRow(qPrintable(file)) << file;
        }
    }

    void svgFiles_drawSharplyAtTwiceTheRatio() {
        QFETCH(QString, file);
        const QImage one = Artwork::RenderSvg(file, QSize(), 1);
        const QImage two = Artwork::RenderSvg(file, QSize(), 2);
        QVERIFY(!one.isNull() && !two.isNull());
        QVERIFY(Coverage(one) > 0 && Coverage(two) > 0);
        QCOMPARE(two.size(), one.size() * 2);
        QCOMPARE(two.devicePixelRatio(), 2.0);
        QCOMPARE(two.deviceIndependentSize(), QSizeF(one.size()));
        // Drawn at 2x, not enlarged: it differs from either upscale of the 1x picture, yet shrinks
        // back to about the 1x one (fine detail such as gear teeth differs most, by about 7; a
        // cropped or shifted drawing by far more).
        QVERIFY(two != one.scaled(two.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
        QVERIFY(two != one.scaled(two.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        const double difference = MeanDifferenceAfterHalving(two, one);
        QVERIFY2(difference < 10, qPrintable(QString::number(difference)));
    }

    void svgFiles_missingOrForeignFileDrawsNothing() {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("cannot draw")));
        QVERIFY(Artwork::RenderSvg(QStringLiteral("small/no-such-icon.svg"), QSize(16, 16), 1)
                    .isNull());
    }

    void smallIconFiles_eachFileOfSmallServesOnePosition() {
        QSet<QString> table;
        for (int position = 0; position < Artwork::kSmallIconCount; ++position) {
            const QString file = Artwork::SmallIconFile(position);
            QVERIFY2(file.startsWith(QStringLiteral("small/")), qPrintable(file));
            table.insert(file);
        }
        QCOMPARE(table.size(), Artwork::kSmallIconCount);
        QSet<QString> stored;
        for (const QString& file : ArtworkFiles()) {
            if (file.startsWith(QStringLiteral("small/"))) {
                stored.insert(file);
            }
        }
        QCOMPARE(stored, table);
        QVERIFY(Artwork::SmallIconFile(-1).isEmpty());
        QVERIFY(Artwork::SmallIconFile(Artwork::kSmallIconCount).isEmpty());
        // Windows ask by key for the files named after the keys.
        QCOMPARE(Artwork::SmallIconFile(Artwork::SmallIconPosition(QStringLiteral("inbox"))),
                 QStringLiteral("small/inbox.svg"));
        QCOMPARE(Artwork::SmallIconFile(Artwork::SmallIconPosition(QStringLiteral("Load"))),
                 QStringLiteral("small/load.svg"));
    }

    void pictures_atTwiceTheRatioHaveTwiceThePixels_data() {
        QTest::addColumn<QPixmap>("one");
        QTest::addColumn<QPixmap>("two");
        QTest::newRow("splash") << Artwork::Splash(1) << Artwork::Splash(2);
        QTest::newRow("banner") << Artwork::Banner(1) << Artwork::Banner(2);
        QTest::newRow("about") << Artwork::AboutBackground(1) << Artwork::AboutBackground(2);
        QTest::newRow("step arrow") << Artwork::StepArrow(1) << Artwork::StepArrow(2);
        QTest::newRow("folder arrow") << Artwork::FolderArrow(1) << Artwork::FolderArrow(2);
        QTest::newRow("window icon") << Artwork::WindowIcon().pixmap(QSize(16, 16), 1.0)
                                     << Artwork::WindowIcon().pixmap(QSize(16, 16), 2.0);
        QTest::newRow("title close") << Artwork::TitleCloseIcon().pixmap(QSize(16, 16), 1.0)
                                     << Artwork::TitleCloseIcon().pixmap(QSize(16, 16), 2.0);
        QTest::newRow("title minimize") << Artwork::TitleMinimizeIcon().pixmap(QSize(16, 16), 1.0)
                                        << Artwork::TitleMinimizeIcon().pixmap(QSize(16, 16), 2.0);
    }

    void pictures_atTwiceTheRatioHaveTwiceThePixels() {
        QFETCH(QPixmap, one);
        QFETCH(QPixmap, two);
        QCOMPARE(two.size(), one.size() * 2);
        QCOMPARE(two.devicePixelRatio(), 2.0);
        QCOMPARE(two.deviceIndependentSize(), QSizeF(one.size()));
        const QImage large = two.toImage();
        const QImage small = one.toImage();
        QVERIFY(large !=
                small.scaled(large.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        const double difference = MeanDifferenceAfterHalving(large, small);
        QVERIFY2(difference < 6, qPrintable(QString::number(difference)));
    }

    void icons_disabledLookDiffersFromNormal() {
        const QIcon icon = Artwork::ScanIcon();
        const QImage normal = icon.pixmap(QSize(16, 16), QIcon::Normal).toImage();
        const QImage disabled = icon.pixmap(QSize(16, 16), QIcon::Disabled).toImage();
        QCOMPARE(disabled.size(), normal.size());
        QVERIFY(disabled != normal);
        QVERIFY(Coverage(disabled) > 0.1);
    }
};

QTEST_MAIN(ArtworkTest)
#include "ArtworkTest.moc"
