#pragma once

#include <QString>

namespace velmora::exporting {

// The export window as the run sees it: its progress labels and its closing.
class ExportView {
  public:
    virtual ~ExportView() = default;
    virtual void SetSaveHeader(const QString& text) = 0;  // the phase line
    virtual void SetProcessing(const QString& text) = 0;  // the subject being exported
    virtual void SetFound(const QString& text) = 0;
    virtual void SetCurrent(const QString& text) = 0;
    virtual void SetSubjectCaptionVisible(bool visible) = 0;
    virtual void CloseWindow() = 0;
};

}  // namespace velmora::exporting
