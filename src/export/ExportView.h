#pragma once

#include <QString>

#include <cstdint>

namespace velmora::exporting {

// The export window as the run sees it: its progress labels and its closing. The command
// line shows the same run in a terminal.
class ExportView {
  public:
    virtual ~ExportView() = default;
    virtual void SetSaveHeader(const QString& text) = 0;  // the phase line
    virtual void SetProcessing(const QString& text) = 0;  // the subject being exported
    virtual void SetFound(const QString& text) = 0;
    virtual void SetCurrent(const QString& text) = 0;
    virtual void SetSubjectCaptionVisible(bool visible) = 0;
    // Messages done (written, failed or skipped) of those in every folder the run walks.
    virtual void SetOverallProgress(std::int64_t done, std::int64_t total) = 0;
    virtual void CloseWindow() = 0;
};

}  // namespace velmora::exporting
