#include "app/Artwork.h"
#include "app/FrmAbout.h"
#include "app/Theme.h"

#include <QAbstractButton>
#include <QLabel>
#include <QtTest>

using velmora::app::FrmAbout;

class FrmAboutTest : public QObject {
    Q_OBJECT

  private slots:
    void frame_fixedDialogWithCloseButtonOnly() {
        QWidget owner;
        FrmAbout about(&owner);
        QCOMPARE(about.objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.parentWidget(), &owner);
        QVERIFY(about.isModal());
        QCOMPARE(about.size(), QSize(346, 183));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        const Qt::WindowFlags flags = about.windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));
        // No buttons of its own.
        QVERIFY(about.findChildren<QAbstractButton*>().isEmpty());
    }

    void background_fillsTheWindow() {
        FrmAbout about(nullptr);
        auto* background = about.findChild<QLabel*>(QStringLiteral("ImgBackground"));
        QVERIFY(background);
        QCOMPARE(background->geometry(), about.rect());
        QVERIFY(background->hasScaledContents());
        QCOMPARE(background->pixmap().size(), QSize(347, 180));
        QCOMPARE(background->pixmap().toImage(),
                 velmora::app::Artwork::AboutBackground().toImage());
    }

    void labels_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("darkBlue");
        QTest::newRow("version") << "Label2" << QRect(8, 144, 329, 17) << "Version : 2.0 Build 1102"
                                 << true << false;
        QTest::newRow("website") << "Label1" << QRect(8, 160, 329, 17)
                                 << "Website : www.velmora.example" << false << true;
    }

    void labels() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(bool, bold);
        QFETCH(bool, darkBlue);
        FrmAbout about(nullptr);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        auto* label = about.findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->geometry(), geometry);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->alignment(), Qt::AlignCenter);
        QCOMPARE(label->font().bold(), bold);
        QCOMPARE(label->font().family(), velmora::app::Theme::WindowFont().family());
        QCOMPARE(label->font().pointSizeF(), 8.25);
        const QColor colour = label->palette().color(QPalette::WindowText);
        QCOMPARE(colour == QColor(0x00, 0x00, 0x80), darkBlue);
        if (!darkBlue) {
            QVERIFY2(colour.lightness() < 80, qPrintable(colour.name()));
        }
        // Transparent: away from its centred text the label shows the picture behind it.
        auto* background = about.findChild<QLabel*>(QStringLiteral("ImgBackground"));
        const QImage window = about.grab().toImage();
        const QImage picture = background->grab().toImage();
        for (const QPoint corner :
             {geometry.topLeft() + QPoint(1, 1), geometry.bottomRight() - QPoint(1, 1)}) {
            QCOMPARE(window.pixelColor(corner), picture.pixelColor(corner));
        }
    }
};

QTEST_MAIN(FrmAboutTest)
#include "FrmAboutTest.moc"
