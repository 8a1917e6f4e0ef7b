#pragma once

#include "notes/NotesObjects.h"

#include <QHash>
#include <QList>
#include <QString>

namespace velmora::notes {

// Folders that a lookup by name cannot tell apart: several carrying one name, names that
// differ only in letter case or surrounding blanks, a folder named like another view or like
// a standard folder. Each folder is numbered among the folders of its trimmed name, from 0 in
// the database's view order, so that it can be found again as itself.
class FolderNamesakes {
  public:
    // Every view that is not hidden, in the database's order, with its name as found.
    void Add(const QString& name, bool folder);

    // The numbers of the folders carrying exactly this name as found.
    QList<int> Numbers(const QString& name) const { return m_numbers.value(name); }
    // Whether a lookup by the trimmed name could give another view or folder.
    bool Ambiguous(const QString& name) const;

  private:
    QHash<QString, int> m_foldersByTrimmed;
    QHash<QString, int> m_viewsByFolded;
    QHash<QString, QList<int>> m_numbers;
};

// Whether view is a user folder whose name, trimmed, is trimmedName.
bool IsNamesake(NotesView& view, const QString& trimmedName);

// The folder numbered namesake among those of trimmedName; nothing when there is none.
ViewPtr NamesakeView(NotesDatabase& database, const QString& trimmedName, int namesake);

}  // namespace velmora::notes
