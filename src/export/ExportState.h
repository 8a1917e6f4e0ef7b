#pragma once

#include <QString>
#include <QStringList>

namespace velmora::exporting {

// What one export launch hands to the export run, kept for the life of the process.
struct ExportState {
    // View names of the ticked folder-tree nodes from node 2 on, then empty entries.
    QStringList SelectedFolders;
    // The destination; the run extends it by the database title and a separator.
    QString ExportRoot;
};

}  // namespace velmora::exporting
