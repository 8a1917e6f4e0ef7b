#include "app/HelpTopics.h"
#include "app/HelpViewer.h"
#include "app/HtmlHelp.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

using velmora::app::HelpViewer;
using velmora::app::HtmlHelp;

namespace {

const QString kHelpFile = QStringLiteral(VELMORA_HELP_CHM);

QTextBrowser* Topic(HelpViewer* viewer) {
    return viewer->findChild<QTextBrowser*>(QStringLiteral("HelpTopic"));
}

QTreeWidget* Contents(HelpViewer* viewer) {
    return viewer->findChild<QTreeWidget*>(QStringLiteral("HelpContents"));
}

QStringList Titles(const QTreeWidget* tree) {
    QStringList titles;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        titles << tree->topLevelItem(i)->text(0);
    }
    return titles;
}

QTreeWidgetItem* FindEntry(QTreeWidget* tree, const QString& title) {
    const QList<QTreeWidgetItem*> found =
        tree->findItems(title, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
}

int MessageBoxesShown() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMessageBox*>(widget)) {
            ++count;
        }
    }
    return count;
}

}  // namespace

class HelpViewerTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        m_owner = new QWidget;
        m_owner->setObjectName(QStringLiteral("frmMain"));
        m_owner->show();
    }
    void cleanup() { delete m_owner; }

    void htmlHelp_helpFile_opensDefaultTopicInOwnedNonModalWindow() {
        HtmlHelp(m_owner, kHelpFile);
        HelpViewer* viewer = HelpViewer::ForOwner(m_owner);
        QVERIFY(viewer);
        QVERIFY(viewer->isVisible());
        QVERIFY(viewer->isWindow());
        QCOMPARE(viewer->parentWidget(), m_owner);
        QVERIFY(!viewer->isModal());
        QCOMPARE(viewer->windowModality(), Qt::NonModal);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(viewer->windowTitle(), QStringLiteral("Velmora Help"));
        QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/index.html"));
        QVERIFY(Topic(viewer)->toPlainText().contains(QStringLiteral("Welcome to Velmora")));
        QCOMPARE(Contents(viewer)->currentItem()->text(0), QStringLiteral("Welcome to Velmora"));

        // The window goes with its owner.
        QPointer<HelpViewer> watched(viewer);
        delete m_owner;
        m_owner = nullptr;
        QVERIFY(watched.isNull());
    }

    void htmlHelp_topicOfAWindow_opensThatPageInAViewerTheWindowOwns_data() {
        using namespace velmora::app::help_topics;
        QTest::addColumn<QString>("topic");
        for (const char* topic : {kWelcome, kChoosing, kPreview, kExporting}) {
            QTest::newRow(topic) << QString::fromLatin1(topic);
        }
    }

    void htmlHelp_topicOfAWindow_opensThatPageInAViewerTheWindowOwns() {
        QFETCH(QString, topic);
        // A modal window owning the viewer: Qt lets a modal window's own windows take input.
        QDialog modal(m_owner);
        modal.setModal(true);
        modal.show();
        QCOMPARE(QApplication::activeModalWidget(), &modal);

        HtmlHelp(&modal, kHelpFile, topic);
        HelpViewer* viewer = HelpViewer::ForOwner(&modal);
        QVERIFY(viewer);
        QCOMPARE(viewer->parentWidget(), &modal);
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->CurrentTopic(), topic);
        QVERIFY(!Topic(viewer)->toPlainText().contains(QStringLiteral("not in this help file")));

        // Still there to read once the modal window is closed.
        modal.hide();
        QVERIFY(viewer->isVisible());
    }

    void contents_helpFile_listsTheTopics() {
        HtmlHelp(m_owner, kHelpFile);
        QTreeWidget* tree = Contents(HelpViewer::ForOwner(m_owner));
        QCOMPARE(Titles(tree),
                 QStringList({"Welcome to Velmora", "Using Velmora", "Messages and what to do",
                              "Notes files and the offline mail store", "Command-line tools",
                              "Support"}));
        QTreeWidgetItem* using_ = tree->topLevelItem(1);
        QStringList steps;
        for (int i = 0; i < using_->childCount(); ++i) {
            steps << using_->child(i)->text(0);
        }
        QCOMPARE(steps, QStringList({"Choosing a database", "Scanning the database",
                                     "Previewing and choosing folders", "Exporting to PDF",
                                     "The PDF files"}));
        QCOMPARE(tree->topLevelItem(2)->childCount(), 4);
    }

    void navigation_linksAndContents_changeTheTopicAndTheSelection() {
        HtmlHelp(m_owner, kHelpFile);
        HelpViewer* viewer = HelpViewer::ForOwner(m_owner);
        QTextBrowser* topic = Topic(viewer);
        QTreeWidget* tree = Contents(viewer);

        topic->setSource(QUrl(QStringLiteral("exporting.html")));  // relative to the topic
        QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/exporting.html"));
        QVERIFY(topic->toPlainText().contains(QStringLiteral("Export to PDF Documents")));
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("Exporting to PDF"));

        emit topic->anchorClicked(QUrl(QStringLiteral("messages.html#conversion")));
        QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/messages.html"));
        QVERIFY(topic->toPlainText().contains(QStringLiteral("Error in Conversion")));
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("Error in Conversion"));

        tree->setCurrentItem(FindEntry(tree, QStringLiteral("The PDF files")));
        QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/output.html"));
        QVERIFY(topic->toPlainText().contains(QStringLiteral("Re offer12345.pdf")));

        topic->backward();
        QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/messages.html"));
    }

    void loadResource_readsTheArchiveAndNothingOutside() {
        HtmlHelp(m_owner, kHelpFile);
        QTextBrowser* topic = Topic(HelpViewer::ForOwner(m_owner));
        const QVariant css = topic->loadResource(QTextDocument::StyleSheetResource,
                                                 QUrl(QStringLiteral("velmora.css")));
        QVERIFY(css.toByteArray().contains("font-family"));
        const QVariant image = topic->loadResource(QTextDocument::ImageResource,
                                                   QUrl(QStringLiteral("preview-tab.png")));
        QVERIFY(image.toByteArray().startsWith("\x89PNG"));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString outside = dir.filePath(QStringLiteral("secret.html"));
        {
            QFile file(outside);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<p>TOP-SECRET-CONTENT</p>");
        }
        const QVariant page =
            topic->loadResource(QTextDocument::HtmlResource, QUrl::fromLocalFile(outside));
        QVERIFY(!page.toString().contains(QStringLiteral("TOP-SECRET-CONTENT")));
        QVERIFY(page.toString().contains(QStringLiteral("not in this help file")));
        QVERIFY(topic->loadResource(QTextDocument::ImageResource, QUrl::fromLocalFile(outside))
                    .isNull());
        QVERIFY(topic
                    ->loadResource(QTextDocument::ImageResource,
                                   QUrl(QStringLiteral("http://www.velmora.example/x.png")))
                    .isNull());
    }

    void htmlHelp_secondCall_bringsBackTheSameWindowAtTheDefaultTopic() {
        HtmlHelp(m_owner, kHelpFile);
        HelpViewer* first = HelpViewer::ForOwner(m_owner);
        Topic(first)->setSource(QUrl(QStringLiteral("tools.html")));
        QCOMPARE(first->CurrentTopic(), QStringLiteral("/tools.html"));
        first->close();
        QVERIFY(!first->isVisible());

        HtmlHelp(m_owner, kHelpFile);
        QCOMPARE(HelpViewer::ForOwner(m_owner), first);
        QCOMPARE(m_owner->findChildren<HelpViewer*>().size(), 1);
        QVERIFY(first->isVisible());
        QCOMPARE(first->CurrentTopic(), QStringLiteral("/index.html"));
    }

    void htmlHelp_missingOrDamagedFile_reportsInTheViewerWithoutMessageBox() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("Help.chm"));

        // A message box would block HtmlHelp; one shown is recorded and closed, so that the
        // test fails instead of hanging.
        int boxesSeen = 0;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, [&boxesSeen] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                    ++boxesSeen;
                    box->done(0);
                }
            }
        });
        watcher.start(50);

        QElapsedTimer clock;
        clock.start();
        HtmlHelp(m_owner, path);
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(boxesSeen, 0);
        QCOMPARE(MessageBoxesShown(), 0);
        HelpViewer* viewer = HelpViewer::ForOwner(m_owner);
        QVERIFY(viewer && viewer->isVisible());
        QVERIFY(!viewer->IsOpen());
        QVERIFY(Topic(viewer)->toPlainText().contains(QStringLiteral("cannot be opened")));
        QCOMPARE(Contents(viewer)->topLevelItemCount(), 0);

        QFile good(kHelpFile);
        QVERIFY(good.open(QIODevice::ReadOnly));
        const QByteArray bytes = good.readAll();
        {
            QFile cut(path);
            QVERIFY(cut.open(QIODevice::WriteOnly));
            cut.write(bytes.left(bytes.size() / 2));
        }
        HtmlHelp(m_owner, path);
        QVERIFY(Topic(viewer)->toPlainText().contains(QStringLiteral("truncated")));
        QCOMPARE(MessageBoxesShown(), 0);

        {
            QFile whole(path);
            QVERIFY(whole.open(QIODevice::WriteOnly));
            whole.write(bytes);
        }
        HtmlHelp(m_owner, path);  // the file is there now: the viewer opens it
        QCOMPARE(HelpViewer::ForOwner(m_owner), viewer);
        QVERIFY(viewer->IsOpen());
        QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/index.html"));
        QCOMPARE(boxesSeen, 0);
    }

  private:
    QWidget* m_owner = nullptr;
};

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
