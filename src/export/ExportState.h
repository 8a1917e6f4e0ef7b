#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace velmora::exporting {

// What one export launch hands to the export run, kept for the life of the process.
struct ExportState {
    // View names of the ticked folder-tree nodes from node 2 on, then empty entries.
    QStringList SelectedFolders;
    // The destination; the run extends it by the database title and a separator.
    QString ExportRoot;
    // Conversions side by side; 0 gives one per core.
    int Jobs = 0;
    // Where the manifest goes; "" puts it in the database's output folder.
    QString ManifestPath;
    // For each view name that several folders carry: the namesake numbers of its ticked
    // nodes (notes::FolderNamesakes). A name not listed has every folder of it exported.
    QHash<QString, QList<int>> SelectedNamesakes;

    bool ExportsNamesake(const QString& viewName, int namesake) const {
        const auto chosen = SelectedNamesakes.constFind(viewName);
        return chosen == SelectedNamesakes.cend() || chosen->contains(namesake);
    }
};

}  // namespace velmora::exporting
