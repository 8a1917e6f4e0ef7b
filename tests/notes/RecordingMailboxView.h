#pragma once

#include "notes/MailboxView.h"

#include <QStringList>

#include <map>
#include <vector>

namespace velmora::testing {

// Holds what the handlers last told the window, plus the rows of the preview list.
class RecordingMailboxView : public notes::MailboxView, public notes::PreviewList {
  public:
    // MailboxView
    void ShowDatabasePath(const QString& p) override { path = p; }
    int SelectedTab() const override { return selectedTab; }
    void SelectTab(int tab) override { selectedTab = tab; }
    void SetTabEnabled(int tab, bool enabled) override { tabEnabled[tab] = enabled; }
    void SetBrowseEnabled(bool enabled) override { browseEnabled = enabled; }
    void SetScanEnabled(bool enabled) override { scanEnabled = enabled; }
    void SetExportEnabled(bool enabled) override { exportEnabled = enabled; }
    void SetScanFrameVisible(bool visible) override { scanFrameVisible = visible; }
    void SetStepMarkerVisible(notes::StepMarker marker, bool visible) override {
        markers[marker] = visible;
    }
    void SetFolderCaption(const QString& caption) override { folderCaptions << caption; }
    void ExpandTree() override { ++expandCount; }

    // PreviewList
    void ClearRows() override {
        rows.clear();
        rowIcons.clear();
        ++clearCount;
    }
    void AddRow(const QStringList& columns) override { rows.push_back(columns); }
    void SetRowIcon(int row, int iconPosition) override { rowIcons[row] = iconPosition; }

    QString FolderCaption() const {
        return folderCaptions.isEmpty() ? QString() : folderCaptions.last();
    }
    bool Marker(notes::StepMarker marker) const {
        auto it = markers.find(marker);
        return it != markers.end() && it->second;
    }

    QString path;
    int selectedTab = 1;
    std::map<int, bool> tabEnabled{{1, true}, {2, true}};
    bool browseEnabled = true;
    bool scanEnabled = false;
    bool exportEnabled = false;
    bool scanFrameVisible = false;
    std::map<notes::StepMarker, bool> markers;
    QStringList folderCaptions;
    int expandCount = 0;

    std::vector<QStringList> rows;
    std::map<int, int> rowIcons;
    int clearCount = 0;
};

}  // namespace velmora::testing
