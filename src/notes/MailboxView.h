#pragma once

#include <QString>
#include <QStringList>

namespace velmora::notes {

enum class StepMarker { Reading, Emails, MailFolder };

// The parts of the main window that selection, scan and preview drive: the path box,
// tabs, buttons, toolbar and the scan status frame.
class MailboxView {
  public:
    virtual ~MailboxView() = default;

    virtual void ShowDatabasePath(const QString& path) = 0;
    // Tabs are numbered from 1.
    virtual int SelectedTab() const = 0;
    virtual void SelectTab(int tab) = 0;
    virtual void SetTabEnabled(int tab, bool enabled) = 0;
    virtual void SetBrowseEnabled(bool enabled) = 0;
    // The "Start Scan" button and the toolbar's "Scan" together.
    virtual void SetScanEnabled(bool enabled) = 0;
    virtual void SetExportEnabled(bool enabled) = 0;
    virtual void SetScanFrameVisible(bool visible) = 0;
    virtual void SetStepMarkerVisible(StepMarker marker, bool visible) = 0;
    virtual void SetFolderCaption(const QString& caption) = 0;
    virtual void ExpandTree() = 0;
};

// The preview list's rows.
class PreviewList {
  public:
    virtual ~PreviewList() = default;
    virtual void ClearRows() = 0;
    // Four columns: From/To, Subject, Size, Date.
    virtual void AddRow(const QStringList& columns) = 0;
    virtual void SetRowIcon(int row, int iconPosition) = 0;
};

}  // namespace velmora::notes
