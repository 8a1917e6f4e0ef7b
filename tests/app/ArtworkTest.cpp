#include "app/Artwork.h"

#include <QApplication>
#include <QImage>
#include <QSet>
#include <QtTest>

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
};

QTEST_MAIN(ArtworkTest)
#include "ArtworkTest.moc"
