// Builds a sample window with every themed part and saves pictures of it, for looking at the
// theme and artwork by eye: theme_sample OUTPUT_FOLDER. Not a test; nothing is checked.
#include "app/Artwork.h"
#include "app/FrmAbout.h"
#include "app/Theme.h"
#include "app/TitleStrip.h"
#include "util/ProductNames.h"
#include "util/UserInterface.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>

namespace Artwork = velmora::app::Artwork;
namespace Theme = velmora::app::Theme;

namespace {

QLabel* Picture(QWidget* parent, const QPixmap& pixmap, const QRect& at, bool scaled = false) {
    auto* label = new QLabel(parent);
    label->setPixmap(pixmap);
    label->setScaledContents(scaled);
    label->setGeometry(at);
    return label;
}

QLabel* Text(QWidget* parent, const QString& text, const QPoint& at) {
    auto* label = new QLabel(text, parent);
    label->move(at);
    label->adjustSize();
    return label;
}

QImage IconSheet() {
    const QList<QPixmap>& icons = Artwork::SmallIcons();
    const int zoom = 3;
    const int cell = 16 * zoom + 12;
    QImage sheet(12 * cell, 6 * cell, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    for (int i = 0; i < icons.size(); ++i) {
        const QPoint at((i % 12) * cell + 6, (i / 12) * cell + 2);
        p.drawPixmap(QRect(at, QSize(16 * zoom, 16 * zoom)), icons.at(i));
        p.drawPixmap(at + QPoint(16 * zoom - 16, 16 * zoom + 0), icons.at(i));
        p.setPen(Qt::gray);
        p.drawText(at + QPoint(0, 16 * zoom + 10), QString::number(i));
    }
    return sheet;
}

QImage NamedSheet() {
    const QList<QIcon> icons = {Artwork::WindowIcon(),   Artwork::BrowseIcon(),
                                Artwork::ScanIcon(),     Artwork::PreviewTabIcon(),
                                Artwork::OpenMenuIcon(), Artwork::HelpMenuIcon(),
                                Artwork::AboutMenuIcon()};
    const QList<QPixmap> marks = {Artwork::StepArrow(), Artwork::FolderArrow(),
                                  Artwork::SupportIcon()};
    QImage sheet(60 * (icons.size() + marks.size()), 60, QImage::Format_ARGB32);
    sheet.fill(QColor(0xee, 0xf3, 0xf8));
    QPainter p(&sheet);
    int x = 6;
    for (const QIcon& icon : icons) {
        p.drawPixmap(x, 4, icon.pixmap(32));
        p.drawPixmap(x + 8, 40, icon.pixmap(16));
        x += 60;
    }
    for (const QPixmap& mark : marks) {
        p.drawPixmap(QRect(QPoint(x, 4), mark.size() * 2), mark);
        p.drawPixmap(x + 8, 40, mark);
        x += 60;
    }
    return sheet;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());

    QWidget window;
    window.setObjectName(QStringLiteral("frmMain"));
    window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window.setWindowTitle(
        QStringLiteral("%1 v%2").arg(velmora::ProductName(), QLatin1String(velmora::kVersion)));
    window.setWindowIcon(Artwork::WindowIcon());
    window.setFixedSize(696, 622);
    Theme::Apply(&window);

    auto* strip = new velmora::app::TitleStrip(&window);
    strip->setGeometry(0, 0, 696, 30);
    Picture(&window, Artwork::Banner(), QRect(-8, 24, 947, 87));
    Picture(&window, Artwork::Rule(), QRect(-8, 100, 713, 2), true);
    strip->raise();

    auto* menu = new QMenuBar(&window);
    menu->setGeometry(0, 112, 713, 25);
    QMenu* file = menu->addMenu(QStringLiteral("&File"));
    file->addAction(Artwork::OpenMenuIcon(), QStringLiteral("&Open..."));
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"));
    QMenu* help = menu->addMenu(QStringLiteral("&Help"));
    help->addAction(Artwork::HelpMenuIcon(), QStringLiteral("Contents"));
    help->addAction(Artwork::AboutMenuIcon(), QStringLiteral("&About..."));

    auto* tools = new QToolBar(&window);
    tools->setGeometry(0, 136, 713, 41);
    tools->setIconSize(QSize(16, 16));
    const QList<QPixmap>& icons = Artwork::SmallIcons();
    tools->addAction(QIcon(icons.at(61)), QStringLiteral("Open"));
    tools->addAction(QIcon(icons.at(63)), QStringLiteral("Scan"))->setEnabled(false);
    tools->addSeparator();
    tools->addAction(QIcon(icons.at(37)), QStringLiteral("Export"));
    tools->addSeparator();
    tools->addAction(QIcon(icons.at(47)), QStringLiteral("Help"));

    auto* tabs = new QTabWidget(&window);
    tabs->setGeometry(8, 184, 681, 409);
    auto* select = new QWidget;
    auto* preview = new QWidget;
    tabs->addTab(select, QStringLiteral(" Select File"));
    tabs->addTab(preview, Artwork::PreviewTabIcon(), QStringLiteral(" Emails Preview"));

    Text(select, QStringLiteral("Select Lotus Notes Database (.nsf)"), QPoint(16, 26));
    auto* path = new QLineEdit(QStringLiteral("/home/demo/mail/archive.nsf"), select);
    path->setReadOnly(true);
    path->setGeometry(16, 42, 417, 25);
    auto* browse = new QPushButton(Artwork::BrowseIcon(), QStringLiteral("Browse..."), select);
    browse->setGeometry(440, 42, 105, 25);
    auto* scan = new QPushButton(Artwork::ScanIcon(), QStringLiteral("Start Scan"), select);
    scan->setGeometry(560, 42, 105, 25);
    auto* frame = new QGroupBox(QStringLiteral(" Scan Details"), select);
    frame->setGeometry(16, 98, 649, 233);
    Picture(frame, Artwork::StepArrow(), QRect(16, 24, 10, 16));
    Text(frame, QStringLiteral("Reading Lotus Notes Mailbox..."), QPoint(40, 26));
    Picture(frame, Artwork::StepArrow(), QRect(16, 48, 10, 16));
    Text(frame, QStringLiteral("Scanning Mails..."), QPoint(40, 50));
    Picture(frame, Artwork::FolderArrow(), QRect(48, 77, 16, 16));
    Text(frame, QStringLiteral("Scanning Folder..."), QPoint(72, 79));
    Text(frame, QStringLiteral("Projects\\2024"), QPoint(72, 104));
    Picture(select, Artwork::SupportIcon(), QRect(16, 363, 16, 16));
    Text(select, QStringLiteral("Supports Lotus Notes Database 8.5, 8.0, 7.0, 6.5, 6.0, 5.0"),
         QPoint(33, 364));

    auto* tree = new QTreeWidget(preview);
    tree->setGeometry(16, 10, 185, 329);
    tree->setHeaderLabel(QStringLiteral("Notes Database"));
    auto* root = new QTreeWidgetItem(tree, {QStringLiteral("Notes Email Database")});
    const QList<std::pair<QString, int>> standard = {
        {QStringLiteral("Inbox (12)"), 67},    {QStringLiteral("Drafts (2)"), 65},
        {QStringLiteral("Sent (40)"), 69},     {QStringLiteral("Follow Up (0)"), 71},
        {QStringLiteral("Junk Mail (3)"), 68}, {QStringLiteral("Trash (5)"), 66},
        {QStringLiteral("Folders"), 70}};
    QTreeWidgetItem* folders = nullptr;
    for (const auto& [caption, icon] : standard) {
        folders = new QTreeWidgetItem(root, {caption});
        folders->setIcon(0, QIcon(icons.at(icon)));
        folders->setCheckState(0, Qt::Checked);
    }
    root->setCheckState(0, Qt::Checked);
    for (int i = 0; i < 14; ++i) {
        auto* item =
            new QTreeWidgetItem(folders, {QStringLiteral("Project %1 (%2)").arg(i).arg(i * 3)});
        item->setIcon(0, QIcon(icons.at(70)));
        item->setCheckState(0, i % 4 == 1 ? Qt::Unchecked : Qt::Checked);
        if (i % 3 == 0) {
            QFont font = item->font(0);
            font.setBold(true);
            item->setFont(0, font);
        }
    }
    tree->expandAll();
    tree->setCurrentItem(root->child(0));

    auto* list = new QTreeWidget(preview);
    list->setGeometry(208, 10, 457, 329);
    list->setRootIsDecorated(false);
    list->setAlternatingRowColors(true);
    list->setFont(Theme::ListFont());
    list->setHeaderLabels({QStringLiteral("From"), QStringLiteral("Subject"),
                           QStringLiteral("Size"), QStringLiteral("Date")});
    list->setColumnWidth(0, 120);
    list->setColumnWidth(1, 170);
    list->setColumnWidth(2, 52);
    for (int i = 0; i < 16; ++i) {
        auto* row = new QTreeWidgetItem(
            list,
            {QStringLiteral("Person %1").arg(i + 1), QStringLiteral("Subject line %1").arg(i),
             QStringLiteral("%1 KB").arg(i * 3), QStringLiteral("12/0%1/2009").arg(i % 9 + 1)});
        row->setIcon(0, QIcon(icons.at(56)));
        row->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    list->setCurrentItem(list->topLevelItem(2));
    auto* convert = new QPushButton(QStringLiteral("Start Conversion"), preview);
    convert->setGeometry(280, 357, 121, 25);

    auto* status = new QStatusBar(&window);
    status->setGeometry(0, 595, 696, 27);
    auto* vendor = new QLabel(QLatin1String(velmora::kVendorName) + QStringLiteral(" Software"));
    QFont bold = Theme::WindowFont();
    bold.setBold(true);
    vendor->setFont(bold);
    vendor->setFixedWidth(150);
    auto* mail = new QLabel(QStringLiteral("Email: ") + QLatin1String(velmora::kSupportEmail));
    mail->setFixedWidth(200);
    auto* web = new QLabel(QLatin1String(velmora::kWebAddress));
    web->setFont(bold);
    web->setStyleSheet(QStringLiteral("color: #1f4fbf;"));
    web->setFixedWidth(400);
    status->addWidget(vendor);
    status->addWidget(mail);
    status->addWidget(web);

    window.show();
    window.activateWindow();
    app.processEvents();
    for (int i = 0; i < tabs->count(); ++i) {
        qInfo() << "tab" << i << tabs->tabBar()->tabRect(i);
    }
    qInfo() << "tree row" << tree->visualItemRect(root).height() << "list row"
            << list->visualItemRect(list->topLevelItem(0)).height();
    window.grab().save(out.filePath(QStringLiteral("sample-select.png")));
    frame->hide();
    tabs->setCurrentIndex(1);
    app.processEvents();
    window.grab().save(out.filePath(QStringLiteral("sample-preview.png")));
    scan->setEnabled(false);
    tabs->setCurrentIndex(0);
    tabs->setTabEnabled(1, false);
    app.processEvents();
    window.grab().save(out.filePath(QStringLiteral("sample-start.png")));
    help->popup(window.mapToGlobal(QPoint(40, 137)));
    help->setActiveAction(help->actions().constFirst());
    app.processEvents();
    help->grab().save(out.filePath(QStringLiteral("sample-menu.png")));
    velmora::app::FrmAbout about(&window);
    about.show();
    app.processEvents();
    about.grab().save(out.filePath(QStringLiteral("sample-about-window.png")));
    Artwork::Splash().save(out.filePath(QStringLiteral("sample-splash.png")));
    Artwork::AboutBackground().save(out.filePath(QStringLiteral("sample-about.png")));
    NamedSheet().save(out.filePath(QStringLiteral("sample-named.png")));
    IconSheet().save(out.filePath(QStringLiteral("sample-icons.png")));
    return 0;
}
