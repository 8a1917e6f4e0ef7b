#pragma once

#include "notes/MailboxView.h"

namespace velmora::notes {

// A main window that shows nothing, for runs of the scan that only look at the core's state:
// the command line's and tests'.
class SilentMailboxView : public MailboxView {
  public:
    void ShowDatabasePath(const QString&) override {}
    int SelectedTab() const override { return 1; }
    void SelectTab(int) override {}
    void SetTabEnabled(int, bool) override {}
    void SetBrowseEnabled(bool) override {}
    void SetScanEnabled(bool) override {}
    void SetExportEnabled(bool) override {}
    void SetScanFrameVisible(bool) override {}
    void SetStepMarkerVisible(StepMarker, bool) override {}
    void SetFolderCaption(const QString&) override {}
    void ExpandTree() override {}
};

}  // namespace velmora::notes
