#include "ModalDriver.h"
#include "RecordingUserInterface.h"
#include "app/Artwork.h"
#include "app/FrmAbout.h"
#include "app/FrmMain.h"
#include "app/TitleStrip.h"
#include "automation/Automation.h"
#include "notes/MailboxState.h"
#include "notes/MemoryNotes.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QtTest>

#include <memory>
#include <optional>

using namespace velmora;
using velmora::MsgAnswer;
using velmora::MsgButtons;
using velmora::MsgIcon;
using velmora::app::FrmMain;
using velmora::automation::Registry;
using velmora::testing::OnNextModal;
using velmora::testing::RecordingUserInterface;

namespace {

const QString kPath = QStringLiteral("/mail/demo.nsf");
const QString kLongFolder = QStringLiteral("Clients\\Europe, the Middle East and Africa: 2011");

std::shared_ptr<notes::MemoryDatabaseData> Mailbox(const QStringList& moreFolders = {}) {
    auto data = std::make_shared<notes::MemoryDatabaseData>();
    data->title = QStringLiteral("Demo");
    auto add = [&](const QString& view, int count) {
        data->View(view);
        for (int i = 0; i < count; ++i) {
            notes::MemoryDocument document;
            document.SetText(QStringLiteral("From"), {QStringLiteral("Sender %1").arg(i)});
            document.SetText(QStringLiteral("Subject"), {QStringLiteral("Mail %1").arg(i)});
            document.Set(QStringLiteral("PostedDate"),
                         {QDateTime(QDate(2011, 12, 28), QTime(20, 58, 8 + i))},
                         notes::kItemDateTime);
            document.size = 1536;
            data->AddDocument(document, {view});
        }
    };
    add(QStringLiteral("($Inbox)"), 20);
    add(QStringLiteral("($Sent)"), 0);
    add(QStringLiteral("Projects"), 2);
    add(QStringLiteral("Projects\\2010"), 1);
    for (const QString& folder : moreFolders) {
        add(folder, 1);
    }
    return data;
}

QImage ImageOf(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

}  // namespace

class FrmMainTest : public QObject {
    Q_OBJECT

  private:
    // A fresh window over a fresh mailbox for every test.
    struct Fixture {
        notes::MailboxState state;
        RecordingUserInterface ui;
        FrmMain window{state, ui};

        template <class T>
        T* Find(const char* name) {
            T* found = window.findChild<T*>(QLatin1String(name));
            if (found == nullptr) {
                qWarning("no %s", name);
            }
            return found;
        }
        QAction* Action(const char* name) { return Find<QAction>(name); }
        QTabBar* Tabs() { return Find<QTabBar>("NotesTabBar"); }
        void Browse(const QString& path) {
            ui.openFileResults.push_back(path);
            Find<QPushButton>("CmdBrowse")->click();
        }
        // Shows the window and scans the served mailbox; true when the scan completed.
        bool ShowScanned() {
            window.show();
            if (!QTest::qWaitForWindowExposed(&window)) {
                return false;
            }
            Browse(kPath);
            Find<QPushButton>("CmdScan")->click();
            return !ui.messages.empty() &&
                   ui.messages.back().title == QLatin1String("Scan Completed...");
        }
    };

    std::optional<Registry::ScopedOverride> m_notes;
    std::optional<Registry::ScopedOverride> m_domino;

    void ServeMailbox(const QStringList& moreFolders = {},
                      const std::function<void(notes::MemoryDatabaseData&)>& more = {}) {
        auto session = std::make_shared<notes::MemorySession>();
        auto data = Mailbox(moreFolders);
        if (more) {
            more(*data);
        }
        session->AddDatabase(kPath, data);
        m_notes.emplace(QStringLiteral("Notes.NotesSession"), [session] { return session; });
        m_domino.emplace(QStringLiteral("Domino.NotesSession"),
                         [] { return std::shared_ptr<automation::AutomationObject>(); });
    }

  private slots:
    void cleanup() {
        m_notes.reset();
        m_domino.reset();
    }

    void frame_fixedSizeMinimizeOnlyAndCaption() {
        Fixture f;
        QCOMPARE(f.window.size(), QSize(696, 622));
        QCOMPARE(f.window.minimumSize(), f.window.maximumSize());
        QVERIFY(f.window.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(f.window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(f.window.windowTitle(), QStringLiteral("Quarnix Velmora v2.0"));
        auto* strip = f.Find<app::TitleStrip>("TitleStrip");
        QVERIFY(strip);
        QCOMPARE(strip->Caption(), QStringLiteral("Quarnix Velmora v2.0"));
        QCOMPARE(f.window.HelpFile(), QCoreApplication::applicationDirPath() + "/Help.chm");
    }

    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");  // in the window's client area
        QTest::newRow("title") << "TitleStrip" << QRect(0, 0, 696, 30);
        QTest::newRow("banner") << "Image3" << QRect(-8, 24, 947, 87);
        QTest::newRow("rule") << "Image2" << QRect(-8, 100, 713, 2);
        QTest::newRow("menu") << "MenuTop" << QRect(0, 112, 713, 25);
        QTest::newRow("toolbar") << "NotesToolBar" << QRect(0, 136, 713, 41);
        QTest::newRow("tabs") << "NotesTab" << QRect(8, 184, 681, 409);
        QTest::newRow("status") << "StatusBar" << QRect(0, 595, 696, 27);
        // Tab controls sit relative to the tab control at (8, 184).
        QTest::newRow("path") << "txtNotesDatabaseFile" << QRect(8 + 16, 184 + 64, 417, 25);
        QTest::newRow("browse") << "CmdBrowse" << QRect(8 + 440, 184 + 64, 105, 25);
        QTest::newRow("scan") << "CmdScan" << QRect(8 + 560, 184 + 64, 105, 25);
        QTest::newRow("frame") << "ScanFrame" << QRect(8 + 16, 184 + 120, 649, 233);
        QTest::newRow("Image1") << "Image1" << QRect(8 + 16, 184 + 385, 16, 16);
        QTest::newRow("versions") << "LblSupportedVersions" << QRect(8 + 33, 184 + 384, 296, 17);
        QTest::newRow("tree") << "ContactsTreeView" << QRect(8 + 16, 184 + 32, 185, 329);
        QTest::newRow("list") << "MailList" << QRect(8 + 208, 184 + 32, 457, 329);
        QTest::newRow("convert") << "CmdStartConversion" << QRect(8 + 280, 184 + 379, 121, 25);
        // Scan frame contents sit relative to the frame at (24, 304).
        QTest::newRow("reading arrow") << "ImgReadingArrow" << QRect(24 + 16, 304 + 24, 10, 16);
        QTest::newRow("emails arrow") << "ImgEmailsArrow" << QRect(24 + 16, 304 + 48, 10, 16);
        QTest::newRow("folder arrow") << "ImgMailFolderArrow" << QRect(24 + 48, 304 + 77, 16, 16);
    }

    void layout() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        Fixture f;
        auto* widget = f.window.findChild<QWidget*>(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(QRect(widget->mapTo(&f.window, QPoint(0, 0)), widget->size()), geometry);
    }

    void scanFrameLabels_atTheirPositionsWithTheirTexts() {
        Fixture f;
        auto* frame = f.Find<QGroupBox>("ScanFrame");
        QCOMPARE(frame->title(), QStringLiteral(" Scan Details"));
        const struct {
            const char* name;
            QPoint position;
            const char* text;
        } labels[] = {
            {"Label10", {40, 24}, "Reading Lotus Notes Mailbox..."},
            {"Label1", {40, 48}, "Scanning Mails..."},
            {"Label2", {72, 77}, "Scanning Folder..."},
            {"LblFolderName", {72, 104}, ""},
        };
        for (const auto& expected : labels) {
            auto* label = f.Find<QLabel>(expected.name);
            QVERIFY(label);
            QCOMPARE(label->parentWidget(), frame);
            QCOMPARE(label->pos(), expected.position);
            QCOMPARE(label->text(), QLatin1String(expected.text));
        }
        auto* label3 = f.Find<QLabel>("Label3");
        QCOMPARE(label3->mapTo(&f.window, QPoint(0, 0)), QPoint(8 + 16, 184 + 48));
        QCOMPARE(label3->height(), 13);
        QVERIFY(label3->width() >= 168);
        QVERIFY(label3->width() >= label3->fontMetrics().horizontalAdvance(label3->text()));
        QCOMPARE(f.Find<QLabel>("Label3")->text(),
                 QStringLiteral("Select Lotus Notes Database (.nsf)"));
        QCOMPARE(f.Find<QLabel>("LblSupportedVersions")->text(),
                 QStringLiteral("Supports Lotus Notes Database 8.5, 8.0, 7.0, 6.5, 6.0, 5.0"));
    }

    void menus_captionsOrderAndShortcut() {
        Fixture f;
        auto* bar = f.Find<QMenuBar>("MenuTop");
        const QList<QAction*> top = bar->actions();
        QCOMPARE(top.size(), 2);
        QCOMPARE(top[0]->text(), QStringLiteral("&File"));
        QCOMPARE(top[1]->text(), QStringLiteral("&Help"));
        const QList<QAction*> file = top[0]->menu()->actions();
        QCOMPARE(file.size(), 3);
        QCOMPARE(file[0]->objectName(), QStringLiteral("mnuOpen"));
        QCOMPARE(file[0]->text(), QStringLiteral("&Open..."));
        QCOMPARE(file[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        QVERIFY(!file[0]->icon().isNull());
        QVERIFY(file[1]->isSeparator());
        QCOMPARE(file[1]->objectName(), QStringLiteral("mnuSep1"));
        QCOMPARE(file[2]->objectName(), QStringLiteral("mnuExit"));
        QCOMPARE(file[2]->text(), QStringLiteral("E&xit"));
        const QList<QAction*> help = top[1]->menu()->actions();
        QCOMPARE(help.size(), 2);
        QCOMPARE(help[0]->objectName(), QStringLiteral("mnuHelp"));
        QCOMPARE(help[0]->text(), QStringLiteral("Contents"));
        QCOMPARE(help[1]->objectName(), QStringLiteral("mnuAbout"));
        QCOMPARE(help[1]->text(), QStringLiteral("&About..."));
        QVERIFY(!help[0]->icon().isNull());
        QVERIFY(!help[1]->icon().isNull());
        for (QAction* action : file + help) {
            QVERIFY(action->isEnabled());
            QVERIFY(action->isVisible());
        }
    }

    void toolbar_buttonsIconsAndStartEnabling() {
        Fixture f;
        const QList<QAction*> actions = f.Find<QToolBar>("NotesToolBar")->actions();
        QCOMPARE(actions.size(), 6);
        const struct {
            const char* caption;
            int icon;
            bool enabled;
        } expected[] = {{"Open", 61, true},    {"Scan", 63, false},  {nullptr, -1, false},
                        {"Export", 37, false}, {nullptr, -1, false}, {"Help", 47, true}};
        for (int i = 0; i < 6; ++i) {
            if (expected[i].caption == nullptr) {
                QVERIFY(actions[i]->isSeparator());
                continue;
            }
            QCOMPARE(actions[i]->text(), QLatin1String(expected[i].caption));
            QCOMPARE(actions[i]->isEnabled(), expected[i].enabled);
            QCOMPARE(ImageOf(actions[i]->icon()),
                     app::Artwork::SmallIcons()[expected[i].icon].toImage().convertToFormat(
                         QImage::Format_ARGB32));
        }
    }

    void tabs_captionsSizesAndPicture() {
        Fixture f;
        QTabBar* tabs = f.Tabs();
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QStringLiteral(" Select File"));
        QCOMPARE(tabs->tabText(1), QStringLiteral(" Emails Preview"));
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QCOMPARE(tabs->tabRect(0).size(), QSize(64, 22));
        QCOMPARE(tabs->tabRect(1).size(), QSize(106, 22));
        QVERIFY(tabs->tabIcon(0).isNull());
        QVERIFY(!tabs->tabIcon(1).isNull());
        // A page's controls show only while their tab is selected.
        QVERIFY(f.Find<QWidget>("CmdBrowse")->isVisible());
        QVERIFY(!f.Find<QWidget>("ContactsTreeView")->isVisible());
        tabs->setCurrentIndex(1);
        QVERIFY(!f.Find<QWidget>("CmdBrowse")->isVisible());
        QVERIFY(f.Find<QWidget>("ContactsTreeView")->isVisible());
    }

    void statusBar_panels() {
        Fixture f;
        const struct {
            const char* name;
            int x;
            int width;
            const char* text;
        } panels[] = {{"StatusPanel1", 0, 150, "Quarnix Software"},
                      {"StatusPanel2", 150, 200, "Email: support@velmora.example"},
                      {"StatusPanel3", 350, 400, "www.velmora.example"}};
        for (const auto& panel : panels) {
            auto* label = f.Find<QLabel>(panel.name);
            QVERIFY(label);
            QCOMPARE(label->x(), panel.x);
            QCOMPARE(label->width(), panel.width);
            QCOMPARE(label->text(), QLatin1String(panel.text));
        }
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QVERIFY(f.Find<QLabel>("StatusPanel1")->font().bold());
        QVERIFY(!f.Find<QLabel>("StatusPanel2")->font().bold());
        QVERIFY(f.Find<QLabel>("StatusPanel3")->font().bold());
        const QColor blue = f.Find<QLabel>("StatusPanel3")->palette().color(QPalette::WindowText);
        QVERIFY2(blue.blue() > 150 && blue.red() < 80 && blue.green() < 80,
                 qPrintable(blue.name()));
    }

    void previewControls_columnsAndHeader() {
        Fixture f;
        auto* tree = f.Find<QTreeView>("ContactsTreeView");
        QCOMPARE(tree->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Notes Database"));
        auto* list = f.Find<QTableWidget>("MailList");
        QCOMPARE(list->columnCount(), 4);
        const QStringList headers = {"From/To", "Subject", "Size", "Date"};
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(list->horizontalHeaderItem(column)->text(), headers[column]);
            const bool right = list->horizontalHeaderItem(column)->textAlignment() & Qt::AlignRight;
            QCOMPARE(right, column == 2);
        }
        QVERIFY(list->columnWidth(1) > list->columnWidth(0));
        QVERIFY(list->showGrid());
        QVERIFY(list->alternatingRowColors());
        QCOMPARE(f.Find<QPushButton>("CmdStartConversion")->text(),
                 QStringLiteral("Start Conversion"));
    }

    void startState() {
        Fixture f;
        QCOMPARE(f.Tabs()->currentIndex(), 0);
        QVERIFY(f.Tabs()->isTabEnabled(0));
        QVERIFY(f.Tabs()->isTabEnabled(1));
        auto* path = f.Find<QLineEdit>("txtNotesDatabaseFile");
        QVERIFY(path->text().isEmpty());
        QVERIFY(path->isReadOnly());
        QCOMPARE(path->palette().color(QPalette::Base), QColor(Qt::white));
        QVERIFY(f.Find<QPushButton>("CmdBrowse")->isEnabled());
        QCOMPARE(f.Find<QPushButton>("CmdBrowse")->text(), QStringLiteral("Browse..."));
        QVERIFY(!f.Find<QPushButton>("CmdScan")->isEnabled());
        QCOMPARE(f.Find<QPushButton>("CmdScan")->text(), QStringLiteral("Start Scan"));
        QVERIFY(!f.Find<QPushButton>("CmdBrowse")->icon().isNull());
        QVERIFY(!f.Find<QPushButton>("CmdScan")->icon().isNull());
        QVERIFY(f.Find<QGroupBox>("ScanFrame")->isHidden());
        QCOMPARE(f.Find<QTreeView>("ContactsTreeView")->model()->rowCount(), 0);
        QCOMPARE(f.Find<QTableWidget>("MailList")->rowCount(), 0);
        QVERIFY(!f.Find<QPushButton>("CmdStartConversion")->isEnabled());  // nothing scanned
        QVERIFY(f.ui.calls.isEmpty());
    }

    void browse_fillsPathEnablesScanAndLocksPreviewTab() {
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.Browse(kPath);
        QCOMPARE(f.ui.calls, QStringList{"OpenFileDialog:Lotus Notes Email (*.nsf)|*.nsf"});
        QCOMPARE(f.Find<QLineEdit>("txtNotesDatabaseFile")->text(), kPath);
        QCOMPARE(f.state.databasePath, kPath);
        QVERIFY(f.Find<QPushButton>("CmdScan")->isEnabled());
        QVERIFY(f.Action("tbScan")->isEnabled());
        QVERIFY(!f.Tabs()->isTabEnabled(1));
        // The user cannot select the locked tab.
        QTest::mouseClick(f.Tabs(), Qt::LeftButton, {}, f.Tabs()->tabRect(1).center());
        QCOMPARE(f.Tabs()->currentIndex(), 0);

        f.Browse(QString());  // cancelled
        QVERIFY(f.Find<QLineEdit>("txtNotesDatabaseFile")->text().isEmpty());
        QVERIFY(!f.Find<QPushButton>("CmdScan")->isEnabled());
        QVERIFY(!f.Action("tbScan")->isEnabled());
    }

    void browse_startsBesideTheBundledDemoDatabase() {
        // The demo database sits in "demo" beside the program; here, beside the test.
        const QDir program(QCoreApplication::applicationDirPath());
        const QString demoFolder = program.filePath(QStringLiteral("demo"));
        if (QFile::exists(QDir(demoFolder).filePath(QStringLiteral("Demo.nsf")))) {
            QSKIP("a demo database already sits beside the test");
        }
        const bool made = !QDir(demoFolder).exists();
        QVERIFY(program.mkpath(QStringLiteral("demo")));
        const auto cleanup = qScopeGuard([&] {
            QFile::remove(QDir(demoFolder).filePath(QStringLiteral("Demo.nsf")));
            if (made) {
                QDir(demoFolder).removeRecursively();
            }
        });
        Fixture f;
        f.Browse(QString());
        QFile demo(QDir(demoFolder).filePath(QStringLiteral("Demo.nsf")));
        QVERIFY(demo.open(QIODevice::WriteOnly));
        demo.close();
        f.Browse(QString());
        QCOMPARE(f.ui.openFileStartFolders, (QStringList{QString(), demoFolder}));
    }

    void openCommands_allRunBrowse() {
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.window.activateWindow();
        QTRY_VERIFY(f.window.isActiveWindow());
        f.Action("mnuOpen")->trigger();
        qobject_cast<QToolButton*>(
            f.Find<QToolBar>("NotesToolBar")->widgetForAction(f.Action("tbOpen")))
            ->click();
        QTest::keyClick(&f.window, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(f.ui.calls.filter("OpenFileDialog:").size(), 3);
        // A disabled toolbar button does nothing.
        f.window.NotesToolBar_ButtonClick(2);
        f.window.NotesToolBar_ButtonClick(4);
        QCOMPARE(f.ui.calls.size(), 3);
    }

    void scan_endState() {
        ServeMailbox();
        Fixture f;
        QAbstractItemModelTester tester(f.Find<QTreeView>("ContactsTreeView")->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.Browse(kPath);
        f.Find<QPushButton>("CmdScan")->click();

        QCOMPARE(f.ui.messages.size(), std::size_t{1});
        QCOMPARE(f.ui.messages[0].title, QStringLiteral("Scan Completed..."));
        QCOMPARE(f.Tabs()->currentIndex(), 1);
        QVERIFY(f.Tabs()->isTabEnabled(1));
        QVERIFY(f.Action("tbExport")->isEnabled());
        QVERIFY(!f.Find<QGroupBox>("ScanFrame")->isHidden());
        QCOMPARE(f.Find<QLabel>("LblFolderName")->text(), QStringLiteral("2010 (1 Emails)"));

        auto* tree = f.Find<QTreeView>("ContactsTreeView");
        const QAbstractItemModel& model = *tree->model();
        QCOMPARE(model.rowCount(), 1);
        const QModelIndex root = model.index(0, 0);
        QCOMPARE(root.data().toString(), QStringLiteral("Notes Email Database"));
        QCOMPARE(model.rowCount(root), 7);
        const QModelIndex inbox = model.index(0, 0, root);
        const QModelIndex sent = model.index(2, 0, root);
        QCOMPARE(inbox.data().toString(), QStringLiteral("Inbox (20)"));
        QVERIFY(inbox.data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(!sent.data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(!inbox.data(Qt::DecorationRole).value<QPixmap>().isNull());
        const QModelIndex folders = model.index(6, 0, root);
        QCOMPARE(folders.data().toString(), QStringLiteral("Folders"));
        const QModelIndex projects = model.index(0, 0, folders);
        QCOMPARE(model.index(0, 0, projects).data().toString(), QStringLiteral("2010 (1)"));
        QVERIFY(tree->isExpanded(projects));
        for (const QModelIndex& index : {root, inbox, sent, folders, projects}) {
            QCOMPARE(index.data(Qt::CheckStateRole).value<int>(), int(Qt::Checked));
        }
        // Unticking goes to the core's tree.
        QVERIFY(tree->model()->setData(sent, Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!f.state.tree.Node(f.state.tree.IndexOfKey("Sent")).checked);

        // A scan asked for on the preview tab does nothing.
        qobject_cast<QToolButton*>(
            f.Find<QToolBar>("NotesToolBar")->widgetForAction(f.Action("tbScan")))
            ->click();
        QCOMPARE(f.ui.messages.size(), std::size_t{1});

        // Choosing another file from the preview tab locks that tab and goes back to the first,
        // where the scan can be started; the tree stays as it was.
        f.window.NotesToolBar_ButtonClick(1);
        QVERIFY(!f.Tabs()->isTabEnabled(1));
        QCOMPARE(f.Tabs()->currentIndex(), 0);
        QCOMPARE(model.rowCount(root), 7);
        QVERIFY(!f.Action("tbExport")->isEnabled());
    }

    void treeClick_fillsTheMailList() {
        ServeMailbox();
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.Browse(kPath);
        // The toolbar's "Scan" runs the same scan as the button.
        qobject_cast<QToolButton*>(
            f.Find<QToolBar>("NotesToolBar")->widgetForAction(f.Action("tbScan")))
            ->click();
        QCOMPARE(f.ui.messages.size(), std::size_t{1});
        QCOMPARE(f.ui.messages[0].title, QStringLiteral("Scan Completed..."));
        auto* tree = f.Find<QTreeView>("ContactsTreeView");
        const QModelIndex root = tree->model()->index(0, 0);
        const QModelIndex inbox = tree->model()->index(0, 0, root);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(inbox).center());

        auto* list = f.Find<QTableWidget>("MailList");
        QTRY_COMPARE(list->rowCount(), 16);
        QCOMPARE(list->item(0, 0)->text(), QStringLiteral("Sender 0"));
        QCOMPARE(list->item(0, 1)->text(), QStringLiteral("Mail 0"));
        QCOMPARE(list->item(15, 2)->text(), QStringLiteral("2 KB"));
        QVERIFY(list->item(15, 2)->textAlignment() & Qt::AlignRight);
        for (int row = 0; row < list->rowCount(); ++row) {
            QVERIFY(!list->item(row, 0)->icon().isNull());
        }
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(root).center());
        QTRY_COMPARE(list->rowCount(), 0);
    }

    // ---- commands ----

    void openCommands_doWhatBrowseDoes_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Browse... button") << "button";
        QTest::newRow("&Open... item") << "menu";
        QTest::newRow("Ctrl+O") << "shortcut";
        QTest::newRow("toolbar 1") << "toolbar";
        QTest::newRow("mnuOpen_Click") << "handler";
    }

    void openCommands_doWhatBrowseDoes() {
        QFETCH(QString, how);
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.window.activateWindow();
        QTRY_VERIFY(f.window.isActiveWindow());
        auto* toolBar = f.Find<QToolBar>("NotesToolBar");
        const std::function<void()> open = [&] {
            if (how == "button") {
                f.Find<QPushButton>("CmdBrowse")->click();
            } else if (how == "menu") {
                f.Action("mnuOpen")->trigger();
            } else if (how == "shortcut") {
                QTest::keyClick(&f.window, Qt::Key_O, Qt::ControlModifier);
            } else if (how == "toolbar") {
                QTest::mouseClick(toolBar->widgetForAction(f.Action("tbOpen")), Qt::LeftButton);
            } else {
                f.window.mnuOpen_Click();
            }
        };

        f.ui.openFileResults.push_back(kPath);
        open();
        QCOMPARE(f.ui.calls, QStringList{"OpenFileDialog:Lotus Notes Email (*.nsf)|*.nsf"});
        QCOMPARE(f.Find<QLineEdit>("txtNotesDatabaseFile")->text(), kPath);
        QVERIFY(f.Find<QPushButton>("CmdScan")->isEnabled());
        QVERIFY(f.Action("tbScan")->isEnabled());
        QVERIFY(!f.Tabs()->isTabEnabled(1));

        open();  // cancelled
        QCOMPARE(f.ui.calls.size(), 2);
        QVERIFY(f.Find<QLineEdit>("txtNotesDatabaseFile")->text().isEmpty());
        QVERIFY(!f.Find<QPushButton>("CmdScan")->isEnabled());
        QVERIFY(!f.Action("tbScan")->isEnabled());
    }

    void toolbar_scanFollowsThePathAndExportWaitsForAScan() {
        ServeMailbox();
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        auto* toolBar = f.Find<QToolBar>("NotesToolBar");
        auto* exportCommand = f.Action("ExportCommand");
        QVERIFY(exportCommand);
        QSignalSpy exports(exportCommand, &QAction::triggered);
        // The toolbar button and the command it stands for, always together.
        auto exportState = [&] {
            return QPair<bool, bool>(f.Action("tbExport")->isEnabled(), exportCommand->isEnabled());
        };
        const QPair<bool, bool> off(false, false);
        const QPair<bool, bool> on(true, true);

        // Path empty: "Scan" refuses every way in, and so does "Export" before a scan.
        QTest::mouseClick(toolBar->widgetForAction(f.Action("tbScan")), Qt::LeftButton);
        f.window.NotesToolBar_ButtonClick(2, QStringLiteral("Scan"));
        f.window.NotesToolBar_ButtonClick(4, QStringLiteral("Export"));
        QVERIFY(f.ui.calls.isEmpty());
        QCOMPARE(exports.count(), 0);
        QCOMPARE(exportState(), off);

        f.Browse(kPath);
        QVERIFY(f.Action("tbScan")->isEnabled());
        QCOMPARE(exportState(), off);
        f.Browse(QString());
        QVERIFY(!f.Action("tbScan")->isEnabled());
        QVERIFY(!f.Find<QPushButton>("CmdScan")->isEnabled());

        f.Browse(kPath);
        f.window.NotesToolBar_ButtonClick(2, QStringLiteral("Scan"));
        QCOMPARE(f.ui.messages.back().title, QStringLiteral("Scan Completed..."));
        QCOMPARE(exportState(), on);
        // The number decides, not the text.
        f.window.NotesToolBar_ButtonClick(4, QStringLiteral("Scan"));
        QCOMPARE(exports.count(), 1);
        for (int separator : {0, 3, 5, 7}) {
            f.window.NotesToolBar_ButtonClick(static_cast<std::int16_t>(separator),
                                              QStringLiteral("Export"));
        }
        QCOMPARE(exports.count(), 1);
    }

    void exit_asksAndEndsOnlyOnYes_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("No") << false;
        QTest::newRow("Yes") << true;
    }

    void exit_asksAndEndsOnlyOnYes() {
        QFETCH(bool, yes);
        ServeMailbox();
        Fixture f;
        int ends = 0;
        f.window.SetEndProgram([&] { ++ends; });
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.Browse(kPath);
        f.Find<QPushButton>("CmdScan")->click();
        auto* tree = f.Find<QTreeView>("ContactsTreeView");
        const QModelIndex inbox = tree->model()->index(0, 0, tree->model()->index(0, 0));
        tree->setCurrentIndex(inbox);
        f.window.ContactsTreeView_Click();
        const int nodes = f.state.tree.Count();
        const int rows = f.Find<QTableWidget>("MailList")->rowCount();
        const notes::SessionPtr session = f.state.context.session;
        QVERIFY(session);
        QVERIFY(rows > 0);
        f.ui.calls.clear();
        f.ui.messages.clear();

        f.ui.answers.push_back(yes ? MsgAnswer::Yes : MsgAnswer::No);
        f.Action("mnuExit")->trigger();

        QCOMPARE(f.ui.calls, QStringList{"MessageBox:Quarnix Velmora"});
        QCOMPARE(f.ui.messages[0].text,
                 QStringLiteral("Are you sure you want to close the software"));
        QCOMPARE(f.ui.messages[0].icon, MsgIcon::Information);
        QCOMPARE(f.ui.messages[0].buttons, MsgButtons::YesNo);
        QCOMPARE(ends, yes ? 1 : 0);
        // Nothing else happened: the window, its tree and list, and the session are as they were.
        QVERIFY(f.window.isVisible());
        QCOMPARE(f.state.tree.Count(), nodes);
        QCOMPARE(tree->model()->rowCount(tree->model()->index(0, 0)), 7);
        QCOMPARE(f.Find<QTableWidget>("MailList")->rowCount(), rows);
        QCOMPARE(f.state.context.session, session);
        QCOMPARE(f.Tabs()->currentIndex(), 1);
    }

    void exit_yesClosesEveryWindowAndEndsTheEventLoop() {
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QWidget other;
        other.show();
        f.ui.answers.push_back(MsgAnswer::Yes);
        bool handlerRanAfterwards = false;
        QTimer::singleShot(0, &f.window, [&] {
            f.window.mnuExit_Click();
            // Queued behind the end: must never run.
            QTimer::singleShot(0, &f.window, [&] { handlerRanAfterwards = true; });
        });
        QTimer failSafe;
        failSafe.setSingleShot(true);
        connect(&failSafe, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        failSafe.start(5000);
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!f.window.isVisible());
        QVERIFY(!other.isVisible());
        QVERIFY(!handlerRanAfterwards);
    }

    void closeThroughTheFrame_asksNothing() {
        Fixture f;
        int ends = 0;
        f.window.SetEndProgram([&] { ++ends; });
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QVERIFY(f.window.close());
        QVERIFY(!f.window.isVisible());
        QVERIFY(f.ui.calls.isEmpty());
        QCOMPARE(ends, 0);
    }

    // ---- help ----

    void help_everyWayInOpensTheHelpFile_F1AtTheTopicOfTheWindowInFront_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("topic");
        QTest::newRow("Contents") << "menu"
                                  << "frmMain"
                                  << "";
        QTest::newRow("mnuHelp_Click") << "handler"
                                       << "frmMain"
                                       << "";
        QTest::newRow("toolbar 6") << "toolbar"
                                   << "frmMain"
                                   << "";
        QTest::newRow("F1 on Select File") << "F1"
                                           << "frmMain"
                                           << "/choosing.html";
        QTest::newRow("F1 on Emails Preview") << "F1 preview"
                                              << "frmMain"
                                              << "/preview.html";
        // Owned by the modal window, so that the modal window does not block it.
        QTest::newRow("F1 in the About window") << "F1 about"
                                                << "frmAbout"
                                                << "/index.html";
        QTest::newRow("F1 in the export window") << "F1 export"
                                                 << "frmSave"
                                                 << "/exporting.html";
    }

    void help_everyWayInOpensTheHelpFile_F1AtTheTopicOfTheWindowInFront() {
        QFETCH(QString, how);
        QFETCH(QString, owner);
        QFETCH(QString, topic);
        QTemporaryDir destination;
        if (how == "F1 export") {
            ServeMailbox();
        }
        Fixture f;
        QList<QPair<QWidget*, QString>> opened;
        QStringList topics;
        f.window.SetHelpViewer([&](QWidget* window, const QString& file, const QString& shown) {
            opened.append({window, file});
            topics.append(shown);
        });
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        f.window.activateWindow();
        QTRY_VERIFY(f.window.isActiveWindow());

        if (how == "menu") {
            f.Action("mnuHelp")->trigger();
        } else if (how == "handler") {
            f.window.mnuHelp_Click();
        } else if (how == "toolbar") {
            auto* toolBar = f.Find<QToolBar>("NotesToolBar");
            QTest::mouseClick(toolBar->widgetForAction(f.Action("tbHelp")), Qt::LeftButton);
        } else if (how == "F1") {
            QTest::keyClick(f.Find<QWidget>("txtNotesDatabaseFile"), Qt::Key_F1);
        } else if (how == "F1 preview") {
            f.Tabs()->setCurrentIndex(1);
            QTest::keyClick(f.Find<QWidget>("ContactsTreeView"), Qt::Key_F1);
        } else {
            bool pressed = false;
            OnNextModal([&](QWidget* modal) {
                if (modal == nullptr) {
                    return;
                }
                // Shortcuts go to the application's active window; under load the modal
                // becomes it a little after its own window reports active.
                if (QTest::qWaitForWindowActive(modal) &&
                    QTest::qWaitFor([&] { return QApplication::activeWindow() == modal; })) {
                    QCoreApplication::processEvents();
                    QTest::keyClick(modal, Qt::Key_F1);
                    pressed = true;
                }
                modal->close();
            });
            if (how == "F1 about") {
                f.window.mnuAbout_Click();
            } else {
                f.Browse(kPath);
                f.Find<QPushButton>("CmdScan")->click();
                f.ui.folderResults.push_back(destination.path());
                f.ui.calls.clear();
                f.Find<QPushButton>("CmdStartConversion")->click();
                QCOMPARE(f.ui.calls.takeFirst(),
                         QStringLiteral("BrowseFolderDialog:Select Path to Save PST File"));
            }
            QVERIFY(pressed);
        }
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened[0].first);
        QCOMPARE(opened[0].first->objectName(), owner);
        QCOMPARE(topics[0], topic);
        QCOMPARE(opened[0].second, QCoreApplication::applicationDirPath() + "/Help.chm");
        QCOMPARE(opened[0].second, f.window.HelpFile());
        QVERIFY(f.ui.calls.isEmpty());
    }

    void help_withOrWithoutTheFile_showsNoMessageOfOurs_data() {
        QTest::addColumn<bool>("present");
        QTest::newRow("Help.chm beside the program") << true;
        QTest::newRow("no Help.chm") << false;
    }

    void help_withOrWithoutTheFile_showsNoMessageOfOurs() {
        QFETCH(bool, present);
        Fixture f;
        const QString file = f.window.HelpFile();
        const bool existed = QFile::exists(file);
        if (existed != present) {
            if (present) {
                QFile help(file);
                QVERIFY(help.open(QIODevice::WriteOnly));
            } else {
                QSKIP("a Help.chm already sits beside the test");
            }
        }
        const auto cleanup = qScopeGuard([&] {
            if (!existed) {
                QFile::remove(file);
            }
        });
        QCOMPARE(QFile::exists(file), present);
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const QWidgetList before = QApplication::topLevelWidgets();

        f.window.mnuHelp_Click();  // the real viewer; returns at once
        f.window.NotesToolBar_ButtonClick(6, QStringLiteral("Help"));
        QCoreApplication::processEvents();

        QVERIFY(f.ui.calls.isEmpty());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            QVERIFY(qobject_cast<QMessageBox*>(widget) == nullptr);
            if (!before.contains(widget)) {
                widget->close();  // the viewer's own window
            }
        }
    }

    void about_isModalOverTheMainWindowAndShownAgain() {
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        QList<QWidget*> shown;
        for (int showing = 0; showing < 2; ++showing) {
            bool checked = false;
            OnNextModal([&](QWidget* modal) {
                shown.append(modal);
                if (modal == nullptr) {
                    return;
                }
                checked =
                    modal->isVisible() && modal->isModal() &&
                    modal->windowModality() == Qt::ApplicationModal &&
                    modal->parentWidget() == &f.window &&
                    (modal->geometry().center() - f.window.geometry().center()).manhattanLength() <=
                        2;
                modal->close();
            });
            f.Action("mnuAbout")->trigger();
            QVERIFY2(checked, "the About window is not modal, owned by and centred on frmMain");
        }
        QCOMPARE(shown.size(), 2);
        QVERIFY(qobject_cast<app::FrmAbout*>(shown[0]));
        QCOMPARE(shown[0]->objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(shown[1], shown[0]);
        QCOMPARE(f.window.findChildren<app::FrmAbout*>().size(), 1);
        QVERIFY(f.ui.calls.isEmpty());
    }

    // ---- stale state ----

    void staleState_exportOnlyWithTheScannedDatabase_data() {
        QTest::addColumn<QString>("after");
        QTest::newRow("Open cancelled") << "cancel";
        QTest::newRow("another file chosen") << "other";
        QTest::newRow("a failed scan") << "failed";
    }

    void staleState_exportOnlyWithTheScannedDatabase() {
        QFETCH(QString, after);
        ServeMailbox();
        Fixture f;
        QVERIFY(f.ShowScanned());
        auto* startConversion = f.Find<QPushButton>("CmdStartConversion");
        QVERIFY(f.Action("tbExport")->isEnabled());
        QVERIFY(startConversion->isEnabled());

        if (after == "cancel") {
            f.Browse(QString());
        } else {
            f.Browse(QStringLiteral("/mail/other.nsf"));
            if (after == "failed") {
                f.Find<QPushButton>("CmdScan")->click();
                QVERIFY(f.ui.messages.back().title != QLatin1String("Scan Completed..."));
            }
        }
        QVERIFY(!f.Action("tbExport")->isEnabled());
        QVERIFY(!startConversion->isEnabled());
        f.ui.calls.clear();
        f.window.NotesToolBar_ButtonClick(4);
        startConversion->click();
        QVERIFY2(f.ui.calls.isEmpty(), qPrintable(f.ui.calls.join(',')));
    }

    void staleState_aNewScanEmptiesThePreview_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("the same database again") << kPath << true;
        QTest::newRow("a database that cannot be read") << "/mail/other.nsf" << false;
    }

    void staleState_aNewScanEmptiesThePreview() {
        QFETCH(QString, path);
        QFETCH(bool, succeeds);
        ServeMailbox();
        Fixture f;
        QVERIFY(f.ShowScanned());
        auto* tree = f.Find<QTreeView>("ContactsTreeView");
        tree->setCurrentIndex(tree->model()->index(0, 0, tree->model()->index(0, 0)));
        auto* list = f.Find<QTableWidget>("MailList");
        QCOMPARE(list->rowCount(), 16);

        f.Browse(path);
        f.Find<QPushButton>("CmdScan")->click();
        QCOMPARE(f.ui.messages.back().title == QLatin1String("Scan Completed..."), succeeds);
        QCOMPARE(list->rowCount(), 0);
    }

    void staleState_keyboardPreviewsAsTheMouseDoes_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Down from the root to Inbox") << int(Qt::Key_Down);
        QTest::newRow("Enter on Inbox") << int(Qt::Key_Return);
    }

    void staleState_keyboardPreviewsAsTheMouseDoes() {
        QFETCH(int, key);
        ServeMailbox();
        Fixture f;
        QVERIFY(f.ShowScanned());
        auto* tree = f.Find<QTreeView>("ContactsTreeView");
        auto* list = f.Find<QTableWidget>("MailList");
        const QModelIndex root = tree->model()->index(0, 0);
        const QModelIndex inbox = tree->model()->index(0, 0, root);
        tree->setCurrentIndex(key == Qt::Key_Down ? root : inbox);
        list->setRowCount(0);  // whatever the selection previewed, the key must fill it again
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key(key));
        QCOMPARE(tree->currentIndex(), inbox);
        QTRY_COMPARE(list->rowCount(), 16);
        QCOMPARE(list->item(0, 1)->text(), QStringLiteral("Mail 0"));
    }

    // ---- tree ----

    void tree_foldersSharingANameHaveTheirOwnNodesCountsAndPreviews() {
        // A second "Projects" with three mails of its own, and a user folder named "Trash".
        ServeMailbox({QStringLiteral("Trash")}, [](notes::MemoryDatabaseData& data) {
            notes::MemoryView second{QStringLiteral("Projects"), true, {}};
            for (int i = 0; i < 3; ++i) {
                notes::MemoryDocument document;
                document.SetText(QStringLiteral("Subject"), {QStringLiteral("Other %1").arg(i)});
                second.documents.push_back(data.AddDocument(document, {}));
            }
            data.views.push_back(second);
        });
        Fixture f;
        QVERIFY(f.ShowScanned());
        auto* tree = f.Find<QTreeView>("ContactsTreeView");
        auto* list = f.Find<QTableWidget>("MailList");
        const QAbstractItemModel& model = *tree->model();
        const QModelIndex folders = model.index(6, 0, model.index(0, 0));
        QStringList captions;
        for (int row = 0; row < model.rowCount(folders); ++row) {
            captions << model.index(row, 0, folders).data().toString();
        }
        QCOMPARE(captions, (QStringList{"Projects (2)", "Projects (3)", "Trash (1)"}));

        const struct {
            int row;
            int rows;
            const char* firstSubject;
        } previews[] = {{0, 2, "Mail 0"}, {1, 3, "Other 0"}, {2, 1, "Mail 0"}};
        for (const auto& preview : previews) {
            const QModelIndex node = model.index(preview.row, 0, folders);
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                              tree->visualRect(node).center());
            QCOMPARE(tree->currentIndex(), node);
            QTRY_COMPARE(list->rowCount(), preview.rows);
            QCOMPARE(list->item(0, 1)->text(), QLatin1String(preview.firstSubject));
        }
    }

    void tree_theCurrentNodeShowsItsWholeCaption() {
        ServeMailbox({QStringLiteral("Clients"), QStringLiteral("Clients\\Europe: 2011 Q1")});
        Fixture f;
        QVERIFY(f.ShowScanned());
        auto* tree = f.Find<QTreeView>("ContactsTreeView");
        const QAbstractItemModel& model = *tree->model();
        const QModelIndex clients = model.index(0, 0, model.index(6, 0, model.index(0, 0)));
        const QModelIndex leaf = model.index(0, 0, clients);
        QCOMPARE(leaf.data().toString(), QStringLiteral("Europe: 2011 Q1 (1)"));
        tree->setCurrentIndex(clients);
        tree->horizontalScrollBar()->setValue(0);
        // Cut at the edge while the tree is scrolled to its left, yet narrower than the tree.
        const int width = tree->sizeHintForIndex(leaf).width();
        QVERIFY(width <= tree->viewport()->width());
        QVERIFY(tree->visualRect(leaf).left() + width > tree->viewport()->width());

        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->currentIndex(), leaf);
        const QRect cell = tree->visualRect(leaf);
        QVERIFY2(cell.left() >= 0 && cell.left() + tree->sizeHintForIndex(leaf).width() <=
                                         tree->viewport()->width(),
                 "the caption of the current node is cut at the tree's edge");
    }

    void list_everyColumnInViewAtTheWindowsSize() {
        ServeMailbox();
        Fixture f;
        QVERIFY(f.ShowScanned());
        auto* tree = f.Find<QTreeView>("ContactsTreeView");
        tree->setCurrentIndex(tree->model()->index(0, 0, tree->model()->index(0, 0)));
        auto* list = f.Find<QTableWidget>("MailList");
        QCOMPARE(list->rowCount(), 16);
        QHeaderView* header = list->horizontalHeader();
        QCOMPARE(list->horizontalScrollBar()->value(), 0);
        for (int column = 0; column < 4; ++column) {
            QVERIFY2(header->sectionViewportPosition(column) + header->sectionSize(column) <=
                         list->viewport()->width(),
                     qPrintable(list->horizontalHeaderItem(column)->text()));
        }
        // The size and the date show whole; a cut subject shows whole as its tip.
        const QFontMetrics metrics(list->font());
        for (int row = 0; row < list->rowCount(); ++row) {
            for (int column : {2, 3}) {
                QVERIFY(metrics.horizontalAdvance(list->item(row, column)->text()) <
                        list->columnWidth(column));
            }
            QCOMPARE(list->item(row, 1)->toolTip(), list->item(row, 1)->text());
        }
    }

    void tree_showsWholeCaptions() {
        ServeMailbox({QStringLiteral("Clients"), kLongFolder});
        Fixture f;
        QVERIFY(f.ShowScanned());
        QCOMPARE(f.ui.messages.back().title, QStringLiteral("Scan Completed..."));
        auto* tree = f.Find<QTreeView>("ContactsTreeView");
        const QAbstractItemModel& model = *tree->model();
        const QModelIndex folders = model.index(6, 0, model.index(0, 0));
        const QModelIndex clients = model.index(0, 0, folders);
        const QModelIndex leaf = model.index(0, 0, clients);
        const QString caption = leaf.data().toString();
        QCOMPARE(caption, QStringLiteral("Europe, the Middle East and Africa: 2011 (1)"));
        QCOMPARE(leaf.data(Qt::ToolTipRole).toString(), caption);
        QCOMPARE(tree->textElideMode(), Qt::ElideNone);

        tree->scrollTo(leaf);
        QFont font = tree->font();
        if (leaf.data(Qt::FontRole).isValid()) {
            font = leaf.data(Qt::FontRole).value<QFont>();
        }
        const int textWidth = QFontMetrics(font).horizontalAdvance(caption);
        QVERIFY2(tree->visualRect(leaf).width() >= textWidth,
                 qPrintable(
                     QStringLiteral("%1 < %2").arg(tree->visualRect(leaf).width()).arg(textWidth)));
        QVERIFY(tree->header()->sectionSize(0) >= textWidth);
        // Wider than the tree: it scrolls sideways instead of cutting the caption.
        QVERIFY(tree->header()->sectionSize(0) > tree->viewport()->width());
        QVERIFY(tree->horizontalScrollBar()->maximum() > 0);
    }
};

QTEST_MAIN(FrmMainTest)
#include "FrmMainTest.moc"
