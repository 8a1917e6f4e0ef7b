#include "export/ExportLauncher.h"

#include "util/Global.h"

namespace velmora::exporting {

QStringList CollectSelectedFolders(const notes::FolderTree& tree, int& ticked) {
    QStringList selected(tree.Count() + 1);
    ticked = 0;
    for (int index = 2; index <= tree.Count(); ++index) {
        const notes::FolderNode& node = tree.Node(index);
        if (node.checked) {
            selected[ticked++] = node.viewName;
        }
    }
    return selected;
}

QHash<QString, QList<int>> CollectSelectedNamesakes(const notes::FolderTree& tree) {
    QHash<QString, QList<int>> selected;
    for (int index = 2; index <= tree.Count(); ++index) {
        const notes::FolderNode& node = tree.Node(index);
        if (node.namesake < 0) {
            continue;
        }
        QList<int>& numbers = selected[node.viewName];  // listed even when none is ticked
        if (node.checked) {
            numbers.append(node.namesake);
        }
    }
    return selected;
}

bool ExportLauncher::CmdStartConversion_Click() {
    int ticked = 0;
    m_state.SelectedFolders = CollectSelectedFolders(m_tree, ticked);
    m_state.SelectedNamesakes = CollectSelectedNamesakes(m_tree);
    if (ticked < 1) {
        m_ui.MessageBox(QStringLiteral("Please Select Folders to Export"),
                        QStringLiteral("Export to Outlook Express"), MsgIcon::Information,
                        MsgButtons::Ok);
        return false;
    }
    m_state.ExportRoot =
        Global::BrowseForFolder(m_ui, QStringLiteral("Select Path to Save PST File"));
    return !m_state.ExportRoot.isEmpty();
}

}  // namespace velmora::exporting
