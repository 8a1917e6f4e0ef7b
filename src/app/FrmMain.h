#pragma once

#include "export/ExportLauncher.h"
#include "export/ExportState.h"
#include "notes/MailPreview.h"
#include "notes/MailboxScanner.h"
#include "notes/MailboxState.h"
#include "notes/MailboxView.h"
#include "util/UserInterface.h"

#include <QWidget>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QTableWidget;
class QToolBar;
class QTreeView;

namespace velmora::app {

class FolderTreeModel;
class FrmSave;
class NotesTabControl;
class TitleStrip;

// The main window: layout, start state and the handlers of selection, scan and preview.
// The handlers only forward to the core; the window shows what the core tells it.
class FrmMain : public QWidget, private notes::MailboxView, private notes::PreviewList {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 696;
    static constexpr int kClientHeight = 622;

    FrmMain(notes::MailboxState& state, UserInterface& ui, QWidget* parent = nullptr);
    ~FrmMain() override;

    QString HelpFile() const { return m_helpFile; }

    // Handlers; the menu items and toolbar buttons call the same ones.
    void CmdBrowse_Click();
    void CmdScan_Click();
    void ContactsTreeView_Click();
    void CmdStartConversion_Click();
    // Buttons count from 1, separators included.
    void NotesToolBar_ButtonClick(int buttonIndex);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Form_Load();
    void BuildFrame();
    void BuildMenu();
    void BuildToolBar();
    void BuildSelectFileTab();
    void BuildPreviewTab();
    void BuildStatusBar();

    // MailboxView
    void ShowDatabasePath(const QString& path) override;
    int SelectedTab() const override;
    void SelectTab(int tab) override;
    void SetTabEnabled(int tab, bool enabled) override;
    void SetBrowseEnabled(bool enabled) override;
    void SetScanEnabled(bool enabled) override;
    void SetExportEnabled(bool enabled) override;
    void SetScanFrameVisible(bool visible) override;
    void SetStepMarkerVisible(notes::StepMarker marker, bool visible) override;
    void SetFolderCaption(const QString& caption) override;
    void ExpandTree() override;

    // PreviewList
    void ClearRows() override;
    void AddRow(const QStringList& columns) override;
    void SetRowIcon(int row, int iconPosition) override;

    notes::MailboxState& m_state;
    UserInterface& m_ui;
    notes::MailboxScanner m_scanner;
    notes::MailPreview m_preview;
    exporting::ExportState m_export;
    exporting::ExportLauncher m_launcher;
    FrmSave* m_frmSave = nullptr;  // created on the first launch, shown again later
    QString m_helpFile;
    bool m_centred = false;

    TitleStrip* m_titleStrip = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QAction* m_mnuOpen = nullptr;
    QAction* m_mnuExit = nullptr;
    QAction* m_mnuHelp = nullptr;
    QAction* m_mnuAbout = nullptr;
    QToolBar* m_toolBar = nullptr;
    QAction* m_tbOpen = nullptr;
    QAction* m_tbScan = nullptr;
    QAction* m_tbExport = nullptr;
    QAction* m_tbHelp = nullptr;
    NotesTabControl* m_tab = nullptr;
    QLineEdit* m_txtPath = nullptr;
    QPushButton* m_cmdBrowse = nullptr;
    QPushButton* m_cmdScan = nullptr;
    QGroupBox* m_scanFrame = nullptr;
    QLabel* m_imgReadingArrow = nullptr;
    QLabel* m_imgEmailsArrow = nullptr;
    QLabel* m_imgMailFolderArrow = nullptr;
    QLabel* m_lblFolderName = nullptr;
    QTreeView* m_treeView = nullptr;
    FolderTreeModel* m_treeModel = nullptr;
    QTableWidget* m_mailList = nullptr;
    QPushButton* m_cmdStartConversion = nullptr;
};

}  // namespace velmora::app
