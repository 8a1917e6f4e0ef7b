#pragma once

#include "export/ExportState.h"
#include "notes/FolderTree.h"
#include "util/UserInterface.h"

#include <QStringList>

namespace velmora::exporting {

// node count + 1 entries: the view names of the ticked nodes from node 2 on, in node
// order, then empty entries. ticked receives how many were ticked.
QStringList CollectSelectedFolders(const notes::FolderTree& tree, int& ticked);

// For every view name of a node with a namesake number, the numbers of its ticked nodes.
QHash<QString, QList<int>> CollectSelectedNamesakes(const notes::FolderTree& tree);

// The step from the ticked folder tree to the open export window.
class ExportLauncher {
  public:
    ExportLauncher(const notes::FolderTree& tree, ExportState& state, UserInterface& ui)
        : m_tree(tree), m_state(state), m_ui(ui) {}

    // Fills SelectedFolders and ExportRoot; true when the export window is to be shown.
    bool CmdStartConversion_Click();

  private:
    const notes::FolderTree& m_tree;
    ExportState& m_state;
    UserInterface& m_ui;
};

}  // namespace velmora::exporting
