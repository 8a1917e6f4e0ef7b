#pragma once

#include "notes/FolderTree.h"
#include "notes/NotesContext.h"

#include <QString>

namespace velmora::notes {

// What the main window and the export window share for the life of the process: the
// chosen database path, the scanned database's title, the current Notes objects and the
// folder tree.
struct MailboxState {
    QString databasePath;
    QString databaseTitle;
    NotesContext context;
    FolderTree tree;
};

}  // namespace velmora::notes
