#include "notes/MailboxScanner.h"

#include "automation/Automation.h"
#include "notes/FolderNames.h"
#include "notes/NotesTrap.h"
#include "notes/RequireObject.h"
#include "util/ProductNames.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <limits>
#include <optional>

namespace velmora::notes {

namespace {

// Views whose name starts with this are hidden system views and folders.
constexpr QChar kHiddenViewMark = QLatin1Char('(');

// Past this the folder list's 16-bit indices would overflow; later folders are left out.
constexpr int kMaxFolderNames = std::numeric_limits<std::int16_t>::max();

struct StandardFolder {
    const char* key;
    const char* caption;
    int icon;
    const char* countedView;
};

// In the order the nodes are added.
constexpr StandardFolder kStandardFolders[] = {
    {"Inbox", "Inbox", icons::kInbox, "($Inbox)"},
    {"Drafts", "Drafts", icons::kDrafts, "($Drafts)"},
    {"Sent", "Sent", icons::kOutbox, "($Sent)"},
    {"Follow-Up", "Follow Up", icons::kFollowUp, "($Follow-Up)"},
    {"JunkMail", "Junk Mail", icons::kJunk, "($JunkMail)"},
    {"Trash", "Trash", icons::kTrash, "($Trash)"},
};

const QString kLineBreak = QStringLiteral("\r\n");

QString WithCount(const QString& caption, std::int64_t count) {
    return caption + QStringLiteral(" (") + QString::number(count) + QLatin1Char(')');
}

}  // namespace

QString NotesNotInstalledText() {
    const QStringList lines = {
        QStringLiteral("Lotus Notes NOT INSTALLED or CONFIGURED Properly."),
        QString(),
        QStringLiteral("If Lotus Notes is installed and configured properly and you still get this "
                       "error message"),
        QStringLiteral("then make sure your Lotus Notes Client is configured as stand alone client "
                       "(does not look for Domino)."),
        QStringLiteral(
            "It is RECOMMENDED that you install a Notes Client on a fresh disk to perform "
            "the conversion."),
        QStringLiteral("Please contact our technical team at %1 for further assistance.")
            .arg(QLatin1String(kSupportEmail)),
        QString(),
        QStringLiteral("Make sure you logged in under same user account through which Notes is "
                       "installed."),
    };
    return lines.join(kLineBreak);
}

QString DemoDatabaseFolder(const QString& programFolder) {
    if (programFolder.isEmpty()) {
        return {};
    }
    const QString folder = QDir(programFolder).filePath(QStringLiteral("demo"));
    return QFileInfo(QDir(folder).filePath(QStringLiteral("Demo.nsf"))).isFile() ? folder
                                                                                 : QString();
}

void MailboxScanner::CmdBrowse_Click() {
    const QString path = m_ui.OpenFileDialog(QLatin1String(kDatabaseFilter), m_browseStartFolder);
    m_state.databasePath = path;
    m_view.ShowDatabasePath(path);
    txtNotesDatabaseFile_Change();
    // The tree no longer belongs to the path shown; only a scan of it may export again.
    m_view.SetExportEnabled(false);
    m_view.SetTabEnabled(2, false);
    m_view.SetStepMarkerVisible(StepMarker::Reading, false);
    m_view.SetStepMarkerVisible(StepMarker::Emails, false);
    m_view.SetStepMarkerVisible(StepMarker::MailFolder, false);
    if (path.isEmpty()) {
        m_view.SetScanFrameVisible(false);
    }
}

void MailboxScanner::txtNotesDatabaseFile_Change() {
    m_view.SetScanEnabled(!m_state.databasePath.isEmpty());
}

std::int64_t MailboxScanner::CountEmails(const QString& viewName, int namesake) {
    std::int64_t count = 0;
    TrappedBlock(
        [&] {
            NotesContext& context = m_state.context;
            context.database = RequireObject(context.session, "session")
                                   ->GetDatabase(QString(), m_state.databasePath);
            NotesDatabase& database = *RequireObject(context.database, "database");
            context.view = namesake < 0 ? database.GetView(viewName)
                                        : NamesakeView(database, viewName, namesake);
            auto entries = RequireObject(context.view, "view")->AllEntries();
            const std::int64_t entryCount = RequireObject(entries, "entries")->Count();
            count = qMax<std::int64_t>(entryCount, 0);
        },
        [] {});
    return count;
}

void MailboxScanner::EmailTreeFill() {
    FolderTree& tree = m_state.tree;
    tree.Clear();
    m_view.SetStepMarkerVisible(StepMarker::Emails, true);
    m_ui.Pause(10);

    std::int64_t counts[std::size(kStandardFolders)] = {};
    for (std::size_t i = 0; i < std::size(kStandardFolders); ++i) {
        counts[i] = CountEmails(QLatin1String(kStandardFolders[i].countedView));
    }

    auto add = [&tree](FolderNode node) {
        const QString key = node.key;
        if (!tree.Add(std::move(node))) {
            throw NotesError(QStringLiteral("Cannot add the tree node %1").arg(key));
        }
    };
    add(FolderNode{QLatin1String(kRootKey), QStringLiteral("Notes Email Database"), QString(), -1,
                   true, QString(), false});
    for (std::size_t i = 0; i < std::size(kStandardFolders); ++i) {
        const StandardFolder& folder = kStandardFolders[i];
        add(FolderNode{QLatin1String(folder.key),
                       WithCount(QLatin1String(folder.caption), counts[i]), QLatin1String(kRootKey),
                       folder.icon, counts[i] > 0, QLatin1String(folder.key), false});
    }
    add(FolderNode{QLatin1String(kFoldersKey), QStringLiteral("Folders"), QLatin1String(kRootKey),
                   icons::kEmail, false, QLatin1String(kFoldersKey), false});
    m_view.ExpandTree();
}

void MailboxScanner::CmdScan_Click() {
    if (m_view.SelectedTab() != 1) {
        return;
    }
    if (m_state.databasePath.isEmpty()) {
        m_ui.MessageBox(
            QStringLiteral("Please select a Notes database and click Start Scan to proceed."),
            QStringLiteral("Select Notes Database"), MsgIcon::Information, MsgButtons::Ok);
        m_view.SelectTab(1);
        m_view.SetBrowseEnabled(true);
        return;
    }

    m_view.SetExportEnabled(false);  // until this scan completes
    m_view.SetStepMarkerVisible(StepMarker::Reading, true);
    m_view.SetFolderCaption(QString());
    m_view.SetScanFrameVisible(true);
    m_view.SetStepMarkerVisible(StepMarker::MailFolder, true);
    m_ui.Pause(10);

    QStringList folders;
    FolderNamesakes namesakes;
    switch (OpenAndDiscover(folders, namesakes)) {
        case Outcome::NotInstalled:
            m_ui.MessageBox(NotesNotInstalledText(), QLatin1String(kNotesNotInstalledTitle),
                            MsgIcon::Information, MsgButtons::Ok);
            return;
        case Outcome::NoData:
            // The reason, when the database gave one, on a line of its own.
            m_ui.MessageBox(QStringLiteral("No Data Found in NSF file or NSF file is encrypted") +
                                (m_failure.isEmpty() ? QString() : kLineBreak + m_failure),
                            QString(), MsgIcon::None, MsgButtons::Ok);
            m_view.SetScanFrameVisible(false);
            m_state.context.Clear();
            return;
        case Outcome::Completed:
            break;
    }

    if (!folders.isEmpty()) {
        QuickSort(folders, 0, static_cast<std::int16_t>(folders.size() - 1));
        RemoveDuplicates(folders);
    }
    AddFolderNodes(folders, namesakes);
    Complete();
}

MailboxScanner::Outcome MailboxScanner::OpenAndDiscover(QStringList& folders,
                                                        FolderNamesakes& namesakes) {
    NotesContext& context = m_state.context;
    context.Clear();
    context.session = automation::CreateObject<NotesSession>(QStringLiteral("Domino.NotesSession"));
    const bool tolerant = context.session != nullptr;

    std::optional<ViewList> views;
    auto openDatabase = [&] {
        context.database =
            RequireObject(context.session, "session")->GetDatabase(QString(), m_state.databasePath);
    };
    auto readTitle = [&] {
        m_state.databaseTitle = RequireObject(context.database, "database")->Title();
    };
    auto readViews = [&] { views = RequireObject(context.database, "database")->Views(); };
    // The first failure of the database itself is the reason a later outcome names.
    m_failure.clear();
    const auto noting = [this](auto step) {
        return [this, step] {
            try {
                step();
            } catch (const NotesError& error) {
                if (m_failure.isEmpty()) {
                    m_failure = error.Message();
                }
                throw;
            }
        };
    };

    if (tolerant) {
        TolerantStep([&] { EmailTreeFill(); });
        TolerantStep(noting(openDatabase));
        TolerantStep(noting(readTitle));
        TolerantStep(noting(readViews));
    } else {
        const bool opened = TrappedBlock(
            [&] {
                context.session =
                    automation::CreateObject<NotesSession>(QStringLiteral("Notes.NotesSession"));
                RequireObject(context.session, "Notes session");
                EmailTreeFill();
                openDatabase();
                readTitle();
                readViews();
            },
            [] {});
        if (!opened) {
            return Outcome::NotInstalled;
        }
    }
    if (!views) {
        return Outcome::NoData;
    }

    for (const ViewPtr& view : *views) {
        if (folders.size() >= kMaxFolderNames) {
            break;
        }
        TolerantStep([&] {
            const QString name = RequireObject(view, "view")->Name();
            if (name.isEmpty() || name.front() == kHiddenViewMark) {
                return;
            }
            const bool folder = view->isfolder();
            namesakes.Add(name, folder);
            if (folder) {
                folders.append(name);
                m_view.SetFolderCaption(name);
            }
        });
    }
    return Outcome::Completed;
}

void MailboxScanner::AddFolderNodes(const QStringList& folders, const FolderNamesakes& namesakes) {
    FolderTree& tree = m_state.tree;
    // The node key of every folder path seen so far, so children find their parents.
    QHash<QString, QString> keyOfPath;
    // The key the tree would give the node, or a longer one naming the whole path when that
    // is taken: every folder keeps its node.
    auto uniqueKey = [&tree](const QString& preferred, const QString& path) {
        if (!preferred.isEmpty() && tree.IndexOfKey(preferred) == 0) {
            return preferred;
        }
        QString key = QLatin1String(kFoldersKey) + QLatin1Char('\\') + path;
        while (tree.IndexOfKey(key) != 0) {
            key += QLatin1Char('\\');
        }
        return key;
    };
    for (const QString& name : folders) {
        const QString viewName = TrimBlanks(name);
        const QStringList parts = name.split(QLatin1Char('\\'));
        QStringList segments = parts;
        segments.removeAll(QString());
        if (segments.isEmpty()) {
            continue;
        }
        QString parentKey = QLatin1String(kFoldersKey);
        QString prefix;
        for (qsizetype i = 0; i + 1 < segments.size(); ++i) {
            prefix += (prefix.isEmpty() ? QString() : QStringLiteral("\\")) + segments[i];
            if (!keyOfPath.contains(prefix)) {
                // A parent that is no folder of its own still holds its children.
                FolderNode parent;
                parent.key = uniqueKey(segments[i], prefix);
                parent.caption = segments[i];
                parent.parentKey = parentKey;
                parent.icon = icons::kEmail;
                keyOfPath.insert(prefix, parent.key);
                tree.Add(std::move(parent));
            }
            parentKey = keyOfPath.value(prefix);
        }
        // Folders of one name get a node each, with their own counts; children hang under
        // the first.
        const bool ambiguous = namesakes.Ambiguous(name);
        const QString path = segments.join(QLatin1Char('\\'));
        for (const int namesake : namesakes.Numbers(name)) {
            const std::int64_t count = CountEmails(viewName, ambiguous ? namesake : -1);
            FolderNode node;
            const QString leaf = parts.size() == 1 ? name : parts.constLast();
            node.key = uniqueKey(leaf, name);
            node.parentKey = parentKey;
            node.caption = WithCount(segments.constLast(), count);
            node.icon = icons::kEmail;
            node.hasItems = count > 0;
            node.viewName = viewName;
            node.namesake = ambiguous ? namesake : -1;
            m_view.SetFolderCaption(segments.constLast() + QStringLiteral(" (") +
                                    QString::number(count) + QStringLiteral(" Emails)"));
            if (!keyOfPath.contains(path)) {
                keyOfPath.insert(path, node.key);
            }
            tree.Add(std::move(node));
        }
    }
}

void MailboxScanner::Complete() {
    std::int64_t unreadable = 0;
    TolerantStep([&] {
        unreadable = RequireObject(m_state.context.database, "database")->UnreadableDocuments();
    });
    FolderTree& tree = m_state.tree;
    for (int index = 1; index <= tree.Count(); ++index) {
        tree.SetChecked(index, true);
    }
    m_view.ExpandTree();
    // Documents the database holds but cannot serve are never a silent zero.
    QString text = QStringLiteral("Notes Database Scan Completed Successfully");
    if (unreadable > 0) {
        text +=
            kLineBreak + (unreadable == 1
                              ? QStringLiteral("1 document could not be read.")
                              : QStringLiteral("%1 documents could not be read.").arg(unreadable));
    }
    m_ui.MessageBox(text, QStringLiteral("Scan Completed..."), MsgIcon::Information,
                    MsgButtons::Ok);
    m_view.SetExportEnabled(true);
    m_view.SetTabEnabled(2, true);
    m_view.SelectTab(2);
}

}  // namespace velmora::notes
