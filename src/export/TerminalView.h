#pragma once

#include "export/ExportView.h"
#include "util/UserInterface.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <cstdio>

namespace velmora::exporting {

// "1234/10000 messages, 85.2/s, 1:43 left": done of total, the rate so far and the time the
// rest takes at that rate.
QString ProgressLine(std::int64_t done, std::int64_t total, qint64 elapsedMs);

// The export run shown in a terminal: on a terminal one progress line rewritten in place, else
// a line per phase and per thousand messages, so that a log stays readable.
class TerminalView : public ExportView {
  public:
    TerminalView(std::FILE* out, bool interactive, bool quiet);

    void SetSaveHeader(const QString& text) override;
    void SetProcessing(const QString&) override {}
    void SetFound(const QString&) override {}
    void SetCurrent(const QString&) override {}
    void SetSubjectCaptionVisible(bool) override {}
    void SetOverallProgress(std::int64_t done, std::int64_t total) override;
    void CloseWindow() override;

  private:
    void Print(const QString& text);

    std::FILE* m_out;
    bool m_interactive;
    bool m_quiet;
    QString m_header;
    QElapsedTimer m_clock;
    qint64 m_lastDrawn = -1;
    std::int64_t m_lastLogged = 0;
    bool m_lineOpen = false;
};

// Message boxes as lines; questions are answered No and dialogs cancelled.
class TerminalUserInterface : public UserInterface {
  public:
    MsgAnswer MessageBox(const QString& text, const QString& title, MsgIcon icon,
                         MsgButtons buttons) override;
    QString OpenFileDialog(const QString&, const QString&) override { return {}; }
    QString BrowseFolderDialog(const QString&) override { return {}; }
    void Pause(int) override {}
    void DoEvents() override {}

    QString lastText;
    QString lastTitle;
    MsgIcon lastIcon = MsgIcon::None;
};

}  // namespace velmora::exporting
