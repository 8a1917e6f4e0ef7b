#include "app/FrmMain.h"

#include "app/Artwork.h"
#include "app/FolderTreeModel.h"
#include "app/FrmAbout.h"
#include "app/FrmSave.h"
#include "app/HelpKey.h"
#include "app/HelpTopics.h"
#include "app/HtmlHelp.h"
#include "app/NotesTabControl.h"
#include "app/Theme.h"
#include "app/TitleStrip.h"
#include "notes/NotesValue.h"
#include "util/ProductNames.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeView>

namespace velmora::app {

namespace {

QLabel* Picture(QWidget* parent, const char* name, const QPixmap& pixmap, const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setPixmap(pixmap);
    label->setGeometry(geometry);
    return label;
}

QLabel* Caption(QWidget* parent, const char* name, const QString& text, QPoint position) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(position);
    label->adjustSize();
    return label;
}

// Controls on a tab page are placed relative to the whole tab control.
QRect OnTab(int x, int y, int width, int height) {
    return {x, y - NotesTabControl::kTabHeight, width, height};
}

QIcon SmallIcon(int position) {
    const QList<QPixmap>& icons = Artwork::SmallIcons();
    return position >= 0 && position < icons.size() ? QIcon(icons[position]) : QIcon();
}

// Keeps the tree's one column at least as wide as the tree, so that selections and the
// header reach its right edge while the captions are short.
class FillViewportWidth : public QObject {
  public:
    explicit FillViewportWidth(QTreeView* tree) : QObject(tree), m_tree(tree) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && watched == m_tree->viewport()) {
            m_tree->header()->setMinimumSectionSize(m_tree->viewport()->width());
        }
        return false;
    }

  private:
    QTreeView* m_tree;
};

// Brings the whole caption of the current node into view when it fits, scrolling sideways
// as little as needed, and never past the node's own start.
void ShowWholeCaption(QTreeView* tree, const QModelIndex& index) {
    if (!index.isValid()) {
        return;
    }
    const QRect cell = tree->visualRect(index);
    const int contentRight = cell.left() + tree->sizeHintForIndex(index).width();
    const int overRight = contentRight - tree->viewport()->width();
    int shift = 0;
    if (cell.left() < 0) {
        shift = cell.left();
    } else if (overRight > 0) {
        shift = qMin(overRight, cell.left());
    }
    QScrollBar* bar = tree->horizontalScrollBar();
    bar->setValue(bar->value() + shift);
}

// The four columns in the list's width: "Size" as designed, "Date" as wide as a date, and
// the rest shared by "From/To" and "Subject" as their designed widths are.
void FitColumns(QTableWidget* list, int dateTextWidth) {
    constexpr int kSizeWidth = 52;
    constexpr int kFromWidth = 150;
    constexpr int kSubjectWidth = 240;
    constexpr int kPadding = 12;
    const QFontMetrics metrics(list->font());
    const int dateWidth =
        qMax(dateTextWidth, metrics.horizontalAdvance(QStringLiteral("Date"))) + kPadding;
    const int room = list->width() - 2 * list->frameWidth() - kSizeWidth - dateWidth;
    const int fromWidth = qMax(60, room * kFromWidth / (kFromWidth + kSubjectWidth));
    list->setColumnWidth(0, fromWidth);
    list->setColumnWidth(1, qMax(60, room - fromWidth));
    list->setColumnWidth(2, kSizeWidth);
    list->setColumnWidth(3, dateWidth);
}

QAction* Command(QObject* owner, const char* name) {
    auto* command = new QAction(owner);
    command->setObjectName(QLatin1String(name));
    return command;
}

// Menu items, toolbar buttons and tab buttons show their own captions and pictures but
// take their enabling from the command they stand for.
template <class Surface>
void FollowEnabling(Surface* surface, QAction* command) {
    surface->setEnabled(command->isEnabled());
    QObject::connect(command, &QAction::enabledChanged, surface, &Surface::setEnabled);
}

void Run(QAction* command) {
    // A disabled command never runs, whoever asks for it.
    if (command != nullptr && command->isEnabled()) {
        command->trigger();
    }
}

QAction* MenuItem(QMenu* menu, const char* name, const QIcon& icon, const QString& caption,
                  QAction* command) {
    QAction* item = menu->addAction(icon, caption);
    item->setObjectName(QLatin1String(name));
    FollowEnabling(item, command);
    QObject::connect(item, &QAction::triggered, command, [command] { Run(command); });
    return item;
}

void RunsCommand(QAbstractButton* button, QAction* command) {
    FollowEnabling(button, command);
    QObject::connect(button, &QAbstractButton::clicked, command, [command] { Run(command); });
}

}  // namespace

FrmMain::FrmMain(notes::MailboxState& state, UserInterface& ui, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint),
      m_state(state),
      m_ui(ui),
      m_scanner(state, *this, ui),
      m_preview(state, *this, *this, ui),
      m_launcher(state.tree, m_export, ui),
      m_helpViewer(&HtmlHelp) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("%1 v%2").arg(ProductName(), QLatin1String(kVersion)));
    setWindowIcon(Artwork::WindowIcon());
    setFixedSize(kClientWidth, kClientHeight);

    BuildFrame();
    BuildCommands();
    BuildMenu();
    BuildToolBar();
    BuildSelectFileTab();
    BuildPreviewTab();
    BuildStatusBar();
    m_titleStrip->raise();
    InstallHelpKey(this, [this] {
        ContextHelp(this,
                    m_tab->SelectedTab() == 2 ? help_topics::kPreview : help_topics::kChoosing);
    });
    Form_Load();
}

FrmMain::~FrmMain() {
    // The tree outlives the window; its model must not follow it any longer.
    if (m_treeView != nullptr) {
        m_treeView->setModel(nullptr);
    }
    delete m_treeModel;
    m_treeModel = nullptr;
}

void FrmMain::Form_Load() {
    Theme::Apply(this);
    SelectTab(1);
    m_helpFile = QCoreApplication::applicationDirPath() + QStringLiteral("/Help.chm");
}

void FrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        if (const QScreen* screen = this->screen()) {
            const QRect available = screen->availableGeometry();
            move(available.center() - rect().center());
        }
    }
}

void FrmMain::BuildFrame() {
    m_titleStrip = new TitleStrip(this);
    m_titleStrip->setObjectName(QStringLiteral("TitleStrip"));
    m_titleStrip->setGeometry(0, 0, kClientWidth, TitleStrip::kHeight);
    m_titleStrip->SetCaption(windowTitle());

    Picture(this, "Image3", Artwork::Banner(), QRect(-8, 24, 947, 87));
    QLabel* rule = Picture(this, "Image2", Artwork::Rule(), QRect(-8, 100, 713, 2));
    rule->setScaledContents(true);
}

void FrmMain::BuildCommands() {
    m_openCommand = Command(this, "OpenCommand");
    m_scanCommand = Command(this, "ScanCommand");
    m_exportCommand = Command(this, "ExportCommand");
    m_helpCommand = Command(this, "HelpCommand");
    m_aboutCommand = Command(this, "AboutCommand");
    m_exitCommand = Command(this, "ExitCommand");
    m_scanCommand->setEnabled(false);
    m_exportCommand->setEnabled(false);

    connect(m_openCommand, &QAction::triggered, this, [this] { CmdBrowse_Click(); });
    connect(m_scanCommand, &QAction::triggered, this, [this] { CmdScan_Click(); });
    connect(m_exportCommand, &QAction::triggered, this, [this] { CmdStartConversion_Click(); });
    connect(m_helpCommand, &QAction::triggered, this, [this] { mnuHelp_Click(); });
    connect(m_aboutCommand, &QAction::triggered, this, [this] { mnuAbout_Click(); });
    connect(m_exitCommand, &QAction::triggered, this, [this] { mnuExit_Click(); });
}

void FrmMain::BuildMenu() {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("MenuTop"));
    m_menuBar->setNativeMenuBar(false);
    m_menuBar->setGeometry(0, 112, 713, 25);
    // A menu bar on a plain window follows the window's width unless held to its size.
    m_menuBar->setFixedSize(713, 25);

    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFileTop"));
    QAction* open = MenuItem(file, "mnuOpen", Artwork::OpenMenuIcon(), QStringLiteral("&Open..."),
                             m_openCommand);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    open->setShortcutContext(Qt::WindowShortcut);
    addAction(open);  // the shortcut works wherever the focus is in the window
    file->addSeparator()->setObjectName(QStringLiteral("mnuSep1"));
    MenuItem(file, "mnuExit", QIcon(), QStringLiteral("E&xit"), m_exitCommand);

    QMenu* help = m_menuBar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelpTop"));
    MenuItem(help, "mnuHelp", Artwork::HelpMenuIcon(), QStringLiteral("Contents"), m_helpCommand);
    MenuItem(help, "mnuAbout", Artwork::AboutMenuIcon(), QStringLiteral("&About..."),
             m_aboutCommand);
}

void FrmMain::BuildToolBar() {
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("NotesToolBar"));
    m_toolBar->setGeometry(0, 136, 713, 41);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(Artwork::kSmallIconSize, Artwork::kSmallIconSize));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    // The buttons only follow their commands' enabling; a click goes through
    // NotesToolBar_ButtonClick, which picks the command by the button's number.
    auto button = [this](const char* name, const QString& caption, int icon, QAction* command) {
        QAction* action = m_toolBar->addAction(SmallIcon(icon), caption);
        action->setObjectName(QLatin1String(name));
        FollowEnabling(action, command);
    };
    button("tbOpen", QStringLiteral("Open"), notes::icons::kLoad, m_openCommand);
    button("tbScan", QStringLiteral("Scan"), notes::icons::kPreview, m_scanCommand);
    m_toolBar->addSeparator()->setObjectName(QStringLiteral("tbSeparator1"));
    button("tbExport", QStringLiteral("Export"), notes::icons::kExport, m_exportCommand);
    m_toolBar->addSeparator()->setObjectName(QStringLiteral("tbSeparator2"));
    button("tbHelp", QStringLiteral("Help"), notes::icons::kHelp, m_helpCommand);

    connect(m_toolBar, &QToolBar::actionTriggered, this, [this](QAction* action) {
        const auto number = static_cast<std::int16_t>(m_toolBar->actions().indexOf(action) + 1);
        NotesToolBar_ButtonClick(number, action->text());
    });
}

void FrmMain::BuildSelectFileTab() {
    m_tab = new NotesTabControl(QRect(8, 184, 681, 409), QStringLiteral(" Select File"), 64,
                                QStringLiteral(" Emails Preview"), 106, this);
    m_tab->setObjectName(QStringLiteral("NotesTab"));
    m_tab->SetTabIcon(2, Artwork::PreviewTabIcon());
    QWidget* page = m_tab->Page(1);

    auto* label3 = new QLabel(QStringLiteral("Select Lotus Notes Database (.nsf)"), page);
    label3->setObjectName(QStringLiteral("Label3"));
    label3->setGeometry(OnTab(16, 48, 168, 13));
    label3->ensurePolished();
    // The free fonts that stand in for Tahoma run wider; the caption must not lose its end.
    label3->resize(qMax(168, label3->sizeHint().width()), 13);

    m_txtPath = new QLineEdit(page);
    m_txtPath->setObjectName(QStringLiteral("txtNotesDatabaseFile"));
    m_txtPath->setGeometry(OnTab(16, 64, 417, 25));
    m_txtPath->setReadOnly(true);
    m_txtPath->setStyleSheet(QStringLiteral("QLineEdit { background: white; }"));

    m_cmdBrowse = new QPushButton(Artwork::BrowseIcon(), QStringLiteral("Browse..."), page);
    m_cmdBrowse->setObjectName(QStringLiteral("CmdBrowse"));
    m_cmdBrowse->setGeometry(OnTab(440, 64, 105, 25));

    m_cmdScan = new QPushButton(Artwork::ScanIcon(), QStringLiteral("Start Scan"), page);
    m_cmdScan->setObjectName(QStringLiteral("CmdScan"));
    m_cmdScan->setGeometry(OnTab(560, 64, 105, 25));

    m_scanFrame = new QGroupBox(QStringLiteral(" Scan Details"), page);
    m_scanFrame->setObjectName(QStringLiteral("ScanFrame"));
    m_scanFrame->setGeometry(OnTab(16, 120, 649, 233));
    m_imgReadingArrow =
        Picture(m_scanFrame, "ImgReadingArrow", Artwork::StepArrow(), QRect(16, 24, 10, 16));
    Caption(m_scanFrame, "Label10", QStringLiteral("Reading Lotus Notes Mailbox..."), {40, 24});
    m_imgEmailsArrow =
        Picture(m_scanFrame, "ImgEmailsArrow", Artwork::StepArrow(), QRect(16, 48, 10, 16));
    Caption(m_scanFrame, "Label1", QStringLiteral("Scanning Mails..."), {40, 48});
    m_imgMailFolderArrow =
        Picture(m_scanFrame, "ImgMailFolderArrow", Artwork::FolderArrow(), QRect(48, 77, 16, 16));
    Caption(m_scanFrame, "Label2", QStringLiteral("Scanning Folder..."), {72, 77});
    m_lblFolderName = Caption(m_scanFrame, "LblFolderName", QString(), {72, 104});
    m_imgReadingArrow->hide();
    m_imgEmailsArrow->hide();
    m_imgMailFolderArrow->hide();
    m_scanFrame->hide();

    Picture(page, "Image1", Artwork::SupportIcon(), OnTab(16, 385, 16, 16));
    auto* versions = new QLabel(
        QStringLiteral("Supports Lotus Notes Database 8.5, 8.0, 7.0, 6.5, 6.0, 5.0"), page);
    versions->setObjectName(QStringLiteral("LblSupportedVersions"));
    versions->setGeometry(OnTab(33, 384, 296, 17));

    RunsCommand(m_cmdBrowse, m_openCommand);
    RunsCommand(m_cmdScan, m_scanCommand);
}

void FrmMain::BuildPreviewTab() {
    QWidget* page = m_tab->Page(2);

    m_treeView = new QTreeView(page);
    m_treeView->setObjectName(QStringLiteral("ContactsTreeView"));
    m_treeView->setGeometry(OnTab(16, 32, 185, 329));
    m_treeModel = new FolderTreeModel(m_state.tree, Artwork::SmallIcons());
    m_treeView->setModel(m_treeModel);
    m_treeView->setIconSize(QSize(Artwork::kSmallIconSize, Artwork::kSmallIconSize));
    m_treeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_treeView->setSelectionMode(QAbstractItemView::SingleSelection);
    // Whole captions, as a classic tree control shows them: the column grows with its
    // widest caption and the tree scrolls sideways; it never cuts a caption short.
    m_treeView->setTextElideMode(Qt::ElideNone);
    m_treeView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_treeView->header()->setStretchLastSection(false);
    m_treeView->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_treeView->viewport()->installEventFilter(new FillViewportWidth(m_treeView));
    // Deep folders keep more of their captions in the tree's narrow width.
    m_treeView->setIndentation(12);
    // The keyboard previews as the mouse does: a new current node (click or arrow keys), or
    // Enter on the current one.
    connect(m_treeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                ShowWholeCaption(m_treeView, current);
                ContactsTreeView_Click();
            });
    connect(m_treeView, &QTreeView::activated, this, [this] { ContactsTreeView_Click(); });
    // Rows of a folder of the tree a scan replaces are stale.
    connect(&m_state.tree, &notes::FolderTree::cleared, this, [this] { ClearRows(); });

    m_mailList = new QTableWidget(0, 4, page);
    m_mailList->setObjectName(QStringLiteral("MailList"));
    m_mailList->setGeometry(OnTab(208, 32, 457, 329));
    m_mailList->setFont(Theme::ListFont());
    m_mailList->horizontalHeader()->setFont(Theme::ListFont());
    const QStringList headers = {QStringLiteral("From/To"), QStringLiteral("Subject"),
                                 QStringLiteral("Size"), QStringLiteral("Date")};
    for (int column = 0; column < headers.size(); ++column) {
        auto* header = new QTableWidgetItem(headers[column]);
        header->setTextAlignment(column == 2 ? Qt::AlignRight | Qt::AlignVCenter
                                             : Qt::AlignLeft | Qt::AlignVCenter);
        m_mailList->setHorizontalHeaderItem(column, header);
    }
    // Every column in view at the window's fixed size; wider texts show whole as tips.
    const QString lateDate =
        notes::FormatGeneralDate(QDateTime(QDate(2000, 12, 28), QTime(20, 58, 58)));
    FitColumns(m_mailList, QFontMetrics(m_mailList->font()).horizontalAdvance(lateDate));
    m_mailList->horizontalHeader()->setStretchLastSection(false);
    m_mailList->horizontalHeader()->setHighlightSections(false);
    m_mailList->verticalHeader()->hide();
    m_mailList->verticalHeader()->setDefaultSectionSize(18);
    m_mailList->setShowGrid(true);
    m_mailList->setAlternatingRowColors(true);
    m_mailList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_mailList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_mailList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_mailList->setWordWrap(false);
    m_mailList->setIconSize(QSize(Artwork::kSmallIconSize, Artwork::kSmallIconSize));

    m_cmdStartConversion = new QPushButton(QStringLiteral("Start Conversion"), page);
    m_cmdStartConversion->setObjectName(QStringLiteral("CmdStartConversion"));
    m_cmdStartConversion->setGeometry(OnTab(280, 379, 121, 25));
    // Exporting needs a scanned database, whichever way it is asked for.
    RunsCommand(m_cmdStartConversion, m_exportCommand);
}

void FrmMain::BuildStatusBar() {
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setGeometry(0, 595, kClientWidth, 27);
    bar->setSizeGripEnabled(true);

    struct Panel {
        const char* name;
        QString text;
        int x;
        int width;
        const char* style;
    };
    const Panel panels[] = {
        {"StatusPanel1", QLatin1String(kVendorName) + QStringLiteral(" Software"), 0, 150,
         "font-weight: bold;"},
        {"StatusPanel2", QStringLiteral("Email: ") + QLatin1String(kSupportEmail), 150, 200, ""},
        {"StatusPanel3", QLatin1String(kWebAddress), 350, 400,
         "font-weight: bold; color: #0000c0;"},
    };
    for (const Panel& panel : panels) {
        auto* label = new QLabel(panel.text, bar);
        label->setObjectName(QLatin1String(panel.name));
        label->setGeometry(panel.x, 1, panel.width, 26);
        label->setStyleSheet(QStringLiteral("QLabel { padding: 0px 4px; border-right: 1px solid "
                                            "#b8c9d9; %1 }")
                                 .arg(QLatin1String(panel.style)));
    }
}

// ---- handlers ----

void FrmMain::CmdBrowse_Click() {
    m_scanner.SetBrowseStartFolder(
        notes::DemoDatabaseFolder(QCoreApplication::applicationDirPath()));
    m_scanner.CmdBrowse_Click();
}

void FrmMain::CmdScan_Click() {
    m_scanner.CmdScan_Click();
}

void FrmMain::ContactsTreeView_Click() {
    m_preview.ContactsTreeView_Click(FolderTreeModel::NodeOf(m_treeView->currentIndex()));
}

void FrmMain::CmdStartConversion_Click() {
    if (!m_launcher.CmdStartConversion_Click()) {
        return;
    }
    if (m_frmSave == nullptr) {
        m_frmSave = new FrmSave(m_state, m_export, m_ui, this);
        InstallHelpKey(m_frmSave, [this] { ContextHelp(m_frmSave, help_topics::kExporting); });
    }
    m_frmSave->ShowModal();
}

void FrmMain::mnuOpen_Click() {
    CmdBrowse_Click();
}

void FrmMain::mnuExit_Click() {
    const MsgAnswer answer =
        m_ui.MessageBox(QStringLiteral("Are you sure you want to close the software"),
                        ProductName(), MsgIcon::Information, MsgButtons::YesNo);
    if (answer == MsgAnswer::Yes && m_endProgram) {
        m_endProgram();
    }
}

void FrmMain::EndProgram() {
    // Every window goes, without asking, and nothing queued runs after the loop ends.
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

void FrmMain::mnuHelp_Click() {
    // The viewer reports a missing or unreadable file itself; there is no message of ours.
    if (m_helpViewer) {
        m_helpViewer(this, HelpFile(), QString());
    }
}

void FrmMain::ContextHelp(QWidget* window, const char* topic) {
    if (m_helpViewer) {
        m_helpViewer(window, HelpFile(), QLatin1String(topic));
    }
}

void FrmMain::mnuAbout_Click() {
    if (m_about == nullptr) {
        m_about = new FrmAbout(this);
        InstallHelpKey(m_about, [this] { ContextHelp(m_about, help_topics::kWelcome); });
    }
    m_about->exec();
}

void FrmMain::NotesToolBar_ButtonClick(std::int16_t BtnIndex, const QString& sText) {
    (void)sText;
    switch (BtnIndex) {
        case 1:
            Run(m_openCommand);
            break;
        case 2:
            Run(m_scanCommand);
            break;
        case 4:
            Run(m_exportCommand);
            break;
        case 6:
            Run(m_helpCommand);
            break;
        default:
            break;
    }
}

// ---- what the core shows ----

void FrmMain::ShowDatabasePath(const QString& path) {
    m_txtPath->setText(path);
}

int FrmMain::SelectedTab() const {
    return m_tab->SelectedTab();
}

void FrmMain::SelectTab(int tab) {
    m_tab->SelectTab(tab);
}

void FrmMain::SetTabEnabled(int tab, bool enabled) {
    m_tab->SetTabEnabled(tab, enabled);
}

void FrmMain::SetBrowseEnabled(bool enabled) {
    m_openCommand->setEnabled(enabled);
}

void FrmMain::SetScanEnabled(bool enabled) {
    m_scanCommand->setEnabled(enabled);
}

void FrmMain::SetExportEnabled(bool enabled) {
    m_exportCommand->setEnabled(enabled);
}

void FrmMain::SetScanFrameVisible(bool visible) {
    m_scanFrame->setVisible(visible);
}

void FrmMain::SetStepMarkerVisible(notes::StepMarker marker, bool visible) {
    switch (marker) {
        case notes::StepMarker::Reading:
            m_imgReadingArrow->setVisible(visible);
            break;
        case notes::StepMarker::Emails:
            m_imgEmailsArrow->setVisible(visible);
            break;
        case notes::StepMarker::MailFolder:
            m_imgMailFolderArrow->setVisible(visible);
            break;
    }
}

void FrmMain::SetFolderCaption(const QString& caption) {
    m_lblFolderName->setText(caption);
    m_lblFolderName->adjustSize();
}

void FrmMain::ExpandTree() {
    m_treeView->expandAll();
    m_treeView->viewport()->update();
}

void FrmMain::ClearRows() {
    m_mailList->setRowCount(0);
}

void FrmMain::AddRow(const QStringList& columns) {
    const int row = m_mailList->rowCount();
    m_mailList->insertRow(row);
    const int dateWidth = QFontMetrics(m_mailList->font()).horizontalAdvance(columns.value(3));
    if (dateWidth > m_mailList->columnWidth(3)) {
        FitColumns(m_mailList, dateWidth);  // a date form longer than the usual one
    }
    for (int column = 0; column < 4; ++column) {
        auto* item = new QTableWidgetItem(columns.value(column));
        item->setToolTip(columns.value(column));
        if (column == 2) {
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        }
        m_mailList->setItem(row, column, item);
    }
}

void FrmMain::SetRowIcon(int row, int iconPosition) {
    if (QTableWidgetItem* item = m_mailList->item(row, 0)) {
        item->setIcon(SmallIcon(iconPosition));
    }
}

}  // namespace velmora::app
