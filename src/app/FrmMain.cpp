#include "app/FrmMain.h"

#include "app/Artwork.h"
#include "app/FolderTreeModel.h"
#include "app/FrmSave.h"
#include "app/NotesTabControl.h"
#include "app/Theme.h"
#include "app/TitleStrip.h"

#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
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

}  // namespace

FrmMain::FrmMain(notes::MailboxState& state, UserInterface& ui, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint),
      m_state(state),
      m_ui(ui),
      m_scanner(state, *this, ui),
      m_preview(state, *this, *this, ui),
      m_launcher(state.tree, m_export, ui) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(
        QStringLiteral("%1 %2 v2.0").arg(QLatin1String(kVendorName), QLatin1String(kAppTitle)));
    setWindowIcon(Artwork::WindowIcon());
    setFixedSize(kClientWidth, kClientHeight);

    BuildFrame();
    BuildMenu();
    BuildToolBar();
    BuildSelectFileTab();
    BuildPreviewTab();
    BuildStatusBar();
    m_titleStrip->raise();
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

void FrmMain::BuildMenu() {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("MenuTop"));
    m_menuBar->setNativeMenuBar(false);
    m_menuBar->setGeometry(0, 112, 713, 25);
    // A menu bar on a plain window follows the window's width unless held to its size.
    m_menuBar->setFixedSize(713, 25);

    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFileTop"));
    m_mnuOpen = file->addAction(Artwork::OpenMenuIcon(), QStringLiteral("&Open..."));
    m_mnuOpen->setObjectName(QStringLiteral("mnuOpen"));
    m_mnuOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_mnuOpen->setShortcutContext(Qt::WindowShortcut);
    addAction(m_mnuOpen);  // the shortcut works wherever the focus is in the window
    QAction* separator = file->addSeparator();
    separator->setObjectName(QStringLiteral("mnuSep1"));
    m_mnuExit = file->addAction(QStringLiteral("E&xit"));
    m_mnuExit->setObjectName(QStringLiteral("mnuExit"));

    QMenu* help = m_menuBar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelpTop"));
    m_mnuHelp = help->addAction(Artwork::HelpMenuIcon(), QStringLiteral("Contents"));
    m_mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    m_mnuAbout = help->addAction(Artwork::AboutMenuIcon(), QStringLiteral("&About..."));
    m_mnuAbout->setObjectName(QStringLiteral("mnuAbout"));

    connect(m_mnuOpen, &QAction::triggered, this, [this] { CmdBrowse_Click(); });
}

void FrmMain::BuildToolBar() {
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("NotesToolBar"));
    m_toolBar->setGeometry(0, 136, 713, 41);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(Artwork::kSmallIconSize, Artwork::kSmallIconSize));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    auto button = [this](const char* name, const QString& caption, int icon) {
        QAction* action = m_toolBar->addAction(SmallIcon(icon), caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    m_tbOpen = button("tbOpen", QStringLiteral("Open"), notes::icons::kLoad);
    m_tbScan = button("tbScan", QStringLiteral("Scan"), notes::icons::kPreview);
    m_toolBar->addSeparator()->setObjectName(QStringLiteral("tbSeparator1"));
    m_tbExport = button("tbExport", QStringLiteral("Export"), notes::icons::kExport);
    m_toolBar->addSeparator()->setObjectName(QStringLiteral("tbSeparator2"));
    m_tbHelp = button("tbHelp", QStringLiteral("Help"), notes::icons::kHelp);
    m_tbScan->setEnabled(false);
    m_tbExport->setEnabled(false);

    connect(m_toolBar, &QToolBar::actionTriggered, this, [this](QAction* action) {
        NotesToolBar_ButtonClick(static_cast<int>(m_toolBar->actions().indexOf(action)) + 1);
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
    m_cmdScan->setEnabled(false);

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

    connect(m_cmdBrowse, &QPushButton::clicked, this, [this] { CmdBrowse_Click(); });
    connect(m_cmdScan, &QPushButton::clicked, this, [this] { CmdScan_Click(); });
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
    m_treeView->header()->setStretchLastSection(true);
    connect(m_treeView, &QTreeView::clicked, this, [this] { ContactsTreeView_Click(); });

    m_mailList = new QTableWidget(0, 4, page);
    m_mailList->setObjectName(QStringLiteral("MailList"));
    m_mailList->setGeometry(OnTab(208, 32, 457, 329));
    m_mailList->setFont(Theme::ListFont());
    m_mailList->horizontalHeader()->setFont(Theme::ListFont());
    const QStringList headers = {QStringLiteral("From/To"), QStringLiteral("Subject"),
                                 QStringLiteral("Size"), QStringLiteral("Date")};
    const int widths[] = {150, 240, 52, 150};
    for (int column = 0; column < headers.size(); ++column) {
        auto* header = new QTableWidgetItem(headers[column]);
        header->setTextAlignment(column == 2 ? Qt::AlignRight | Qt::AlignVCenter
                                             : Qt::AlignLeft | Qt::AlignVCenter);
        m_mailList->setHorizontalHeaderItem(column, header);
        m_mailList->setColumnWidth(column, widths[column]);
    }
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
    connect(m_cmdStartConversion, &QPushButton::clicked, this,
            [this] { CmdStartConversion_Click(); });
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
        {"StatusPanel1", QStringLiteral("Quarnix Software"), 0, 150, "font-weight: bold;"},
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
    }
    m_frmSave->ShowModal();
}

void FrmMain::NotesToolBar_ButtonClick(int buttonIndex) {
    const QList<QAction*> actions = m_toolBar->actions();
    if (buttonIndex < 1 || buttonIndex > actions.size() || !actions[buttonIndex - 1]->isEnabled()) {
        return;
    }
    switch (buttonIndex) {
        case 1:
            CmdBrowse_Click();
            break;
        case 2:
            CmdScan_Click();
            break;
        case 4:
            CmdStartConversion_Click();
            break;
        default:
            // Help (6) is wired with the help viewer.
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
    m_cmdBrowse->setEnabled(enabled);
}

void FrmMain::SetScanEnabled(bool enabled) {
    m_cmdScan->setEnabled(enabled);
    m_tbScan->setEnabled(enabled);
}

void FrmMain::SetExportEnabled(bool enabled) {
    m_tbExport->setEnabled(enabled);
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
    for (int column = 0; column < 4; ++column) {
        auto* item = new QTableWidgetItem(columns.value(column));
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
