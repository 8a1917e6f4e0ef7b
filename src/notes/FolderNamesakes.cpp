#include "notes/FolderNamesakes.h"

#include "notes/FolderNames.h"
#include "notes/MailPreview.h"
#include "notes/NotesTrap.h"

namespace velmora::notes {

namespace {

bool IsHidden(const QString& name) {
    return name.startsWith(QLatin1Char('('));
}

}  // namespace

void FolderNamesakes::Add(const QString& name, bool folder) {
    if (name.isEmpty() || IsHidden(name)) {
        return;
    }
    const QString trimmed = TrimBlanks(name);
    ++m_viewsByFolded[trimmed.toCaseFolded()];
    if (folder) {
        m_numbers[name].append(m_foldersByTrimmed[trimmed]++);
    }
}

bool FolderNamesakes::Ambiguous(const QString& name) const {
    const QString trimmed = TrimBlanks(name);
    // The preview turns a standard folder's name into its hidden view.
    return m_viewsByFolded.value(trimmed.toCaseFolded()) > 1 || PreviewViewName(trimmed) != trimmed;
}

bool IsNamesake(NotesView& view, const QString& trimmedName) {
    if (!view.isfolder()) {
        return false;
    }
    const QString name = view.Name();
    return !IsHidden(name) && TrimBlanks(name) == trimmedName;
}

ViewPtr NamesakeView(NotesDatabase& database, const QString& trimmedName, int namesake) {
    const std::optional<ViewList> views = database.Views();
    if (!views || namesake < 0) {
        return nullptr;
    }
    int number = 0;
    for (const ViewPtr& view : *views) {
        bool found = false;
        // A view that cannot be read is skipped, as the scan that numbered the folders did.
        TolerantStep(
            [&] { found = view && IsNamesake(*view, trimmedName) && number++ == namesake; });
        if (found) {
            return view;
        }
    }
    return nullptr;
}

}  // namespace velmora::notes
