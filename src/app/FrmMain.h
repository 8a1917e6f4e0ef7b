#pragma once

#include "export/ExportLauncher.h"
#include "export/ExportState.h"
#include "notes/MailPreview.h"
#include "notes/MailboxScanner.h"
#include "notes/MailboxState.h"
#include "notes/MailboxView.h"
#include "util/UserInterface.h"

#include <QWidget>

#include <cstdint>
#include <functional>

class QAbstractButton;
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
class FrmAbout;
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

    // What "E&xit" does after the user said Yes. By default every window closes and the
    // event loop ends; tests put a recorder here.
    void SetEndProgram(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }
    static void EndProgram();

    // What the help commands and F1 call; by default the help viewer (HtmlHelp). topic is
    // empty for the default topic.
    using HelpViewer =
        std::function<void(QWidget* owner, const QString& helpFile, const QString& topic)>;
    void SetHelpViewer(HelpViewer viewer) { m_helpViewer = std::move(viewer); }

    // Handlers. Each command is one action (see BuildCommands); the menu items, toolbar
    // buttons and tab buttons that share a command run its action.
    void CmdBrowse_Click();
    void CmdScan_Click();
    void ContactsTreeView_Click();
    void CmdStartConversion_Click();
    void mnuOpen_Click();
    void mnuExit_Click();
    void mnuHelp_Click();
    void mnuAbout_Click();
    // Buttons count from 1, separators included; sText is not looked at.
    void NotesToolBar_ButtonClick(std::int16_t BtnIndex, const QString& sText = QString());

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // F1: the topic of window (or of its tab in front), in a viewer window owns, so that a
    // modal window does not block it.
    void ContextHelp(QWidget* window, const char* topic);
    void Form_Load();
    void BuildFrame();
    void BuildCommands();
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

    std::function<void()> m_endProgram = &FrmMain::EndProgram;
    HelpViewer m_helpViewer;
    FrmAbout* m_about = nullptr;

    // The commands: the one place their handlers hang and their enabling is kept.
    QAction* m_openCommand = nullptr;
    QAction* m_scanCommand = nullptr;
    QAction* m_exportCommand = nullptr;
    QAction* m_helpCommand = nullptr;
    QAction* m_aboutCommand = nullptr;
    QAction* m_exitCommand = nullptr;

    TitleStrip* m_titleStrip = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QToolBar* m_toolBar = nullptr;
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
