#pragma once

#include "export/ExportRun.h"
#include "export/ExportState.h"
#include "export/ExportView.h"
#include "notes/MailboxState.h"
#include "util/UserInterface.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace velmora::app {

// The export window: shows what the export run tells it. Closing it while the run is under
// way (close box or Escape) asks whether to stop; the run then ends after the messages in hand
// and closes the window itself.
class FrmSave : public QDialog, private exporting::ExportView {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 489;
    static constexpr int kClientHeight = 173;

    FrmSave(notes::MailboxState& mailbox, exporting::ExportState& state, UserInterface& ui,
            QWidget* owner);

    // Opens modally over the owner, every time from the design state.
    void ShowModal();

    void CmdConversion_Click();
    const exporting::ExportRun& Run() const { return m_run; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void ResetToDesignState();
    void AskToStop();

    // ExportView
    void SetSaveHeader(const QString& text) override;
    void SetProcessing(const QString& text) override;
    void SetFound(const QString& text) override;
    void SetCurrent(const QString& text) override;
    void SetSubjectCaptionVisible(bool visible) override;
    void SetOverallProgress(std::int64_t done, std::int64_t total) override;
    void CloseWindow() override;

    UserInterface& m_ui;
    exporting::ExportRun m_run;
    bool m_asking = false;
    QGroupBox* m_frame = nullptr;
    QLabel* m_lblSaveHeader = nullptr;
    QLabel* m_lblSubject = nullptr;
    QLabel* m_lblProcessing = nullptr;
    QLabel* m_lblFound = nullptr;
    QLabel* m_lblCurrent = nullptr;
    QProgressBar* m_prgOverall = nullptr;
    QPushButton* m_cmdConversion = nullptr;
};

}  // namespace velmora::app
