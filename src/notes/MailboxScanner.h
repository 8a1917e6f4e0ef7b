#pragma once

#include "notes/FolderNamesakes.h"
#include "notes/MailboxState.h"
#include "notes/MailboxView.h"
#include "util/UserInterface.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace velmora::notes {

// Small-icon positions used by the tree, the preview and the toolbar.
namespace icons {
inline constexpr int kExport = 37;
inline constexpr int kHelp = 47;
inline constexpr int kMail = 56;
inline constexpr int kLoad = 61;
inline constexpr int kPreview = 63;
inline constexpr int kDrafts = 65;
inline constexpr int kTrash = 66;
inline constexpr int kInbox = 67;
inline constexpr int kJunk = 68;
inline constexpr int kOutbox = 69;
inline constexpr int kEmail = 70;
inline constexpr int kFollowUp = 71;
}  // namespace icons

inline constexpr const char* kDatabaseFilter = "Lotus Notes Email (*.nsf)|*.nsf";
inline constexpr const char* kRootKey = "Lotus Notes Address Book";
inline constexpr const char* kFoldersKey = "Folders";

// The eight lines of the message shown when no Notes session can be used, joined by CR LF.
QString NotesNotInstalledText();
inline constexpr const char* kNotesNotInstalledTitle = "Notes Not Installed/Configured";

// The folder of the bundled demo database when programFolder/demo/Demo.nsf exists, else "".
QString DemoDatabaseFolder(const QString& programFolder);

// Choosing the database and scanning it into the folder tree.
class MailboxScanner {
  public:
    MailboxScanner(MailboxState& state, MailboxView& view, UserInterface& ui)
        : m_state(state), m_view(view), m_ui(ui) {}

    // Where the open-file dialog starts; "" lets the dialog choose.
    void SetBrowseStartFolder(const QString& folder) { m_browseStartFolder = folder; }

    void CmdBrowse_Click();
    void txtNotesDatabaseFile_Change();
    void CmdScan_Click();

    // Rebuilds the standard part of the tree. Throws when the tree cannot be filled.
    void EmailTreeFill();
    // The view's entry count; 0 on any failure. namesake, when not -1, picks one of the
    // folders that carry viewName (FolderNamesakes).
    std::int64_t CountEmails(const QString& viewName, int namesake = -1);

  private:
    enum class Outcome { Completed, NoData, NotInstalled };
    Outcome OpenAndDiscover(QStringList& folders, FolderNamesakes& namesakes);
    void AddFolderNodes(const QStringList& folders, const FolderNamesakes& namesakes);
    void Complete();

    MailboxState& m_state;
    MailboxView& m_view;
    UserInterface& m_ui;
    QString m_browseStartFolder;
    // Why the database could not be read, for the "no data" outcome.
    QString m_failure;
};

}  // namespace velmora::notes
