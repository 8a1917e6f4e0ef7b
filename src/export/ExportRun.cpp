#include "export/ExportRun.h"

#include "automation/Automation.h"
#include "components/mailconverter/MailConverterX.h"
#include "export/FileNames.h"
#include "export/MessageFile.h"
#include "notes/FolderNames.h"
#include "notes/FolderNamesakes.h"
#include "notes/MailboxScanner.h"
#include "notes/NotesTrap.h"
#include "notes/RequireObject.h"
#include "util/Global.h"

#include <QDir>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <algorithm>
#include <limits>

namespace velmora::exporting {

using notes::RequireObject;
using notes::TolerantStep;
using notes::TrimBlanks;

struct SystemSection {
    const char* word;  // selects the section when the selection text holds it
    ViewKind kind;
    const char* viewName;
    const char* header;
    bool needsEntries;  // the inbox also wants a positive entry count
};

namespace {

QString Separator() {
    return QString(QDir::separator());
}

// In the order they run, after the user folders.
const SystemSection kSections[] = {
    {"Inbox", ViewKind::Inbox, "($Inbox)", "Saving Emails (Inbox)...", true},
    {"Sent", ViewKind::Sent, "($Sent)", "Saving Emails (Sent Items)...", false},
    {"Drafts", ViewKind::Drafts, "($Drafts)", "Saving Emails (Drafts)...", false},
    {"Trash", ViewKind::Trash, "($Trash)", "Saving Emails (Deleted Items)...", false},
    {"Follow-Up", ViewKind::FollowUp, "($Follow-Up)", "Saving Emails (Follow Up)...", false},
    {"JunkMail", ViewKind::JunkMail, "($JunkMail)", "Saving Emails (Junk Mail)...", false},
};

}  // namespace

ExportRun::ExportRun(notes::MailboxState& mailbox, ExportState& state, ExportView& view,
                     UserInterface& ui)
    : m_mailbox(mailbox), m_state(state), m_view(view), m_ui(ui) {}

ExportRun::~ExportRun() = default;

void ExportRun::CmdConversion_Click() {
    if (m_running) {
        return;  // a nested run would replace the Notes objects of the one under way
    }
    m_running = true;
    m_summary = {};
    notes::NotesContext& context = m_mailbox.context;
    QTemporaryDir spoolFolder(Global::GetTempFolder() + QStringLiteral("velmora-export-XXXXXX"));
    auto end = qScopeGuard([&] {
        m_writer.reset();
        m_spool.reset();
        m_running = false;
    });

    m_view.SetSaveHeader(QStringLiteral("Checking Configuration..."));
    m_view.SetProcessing(QStringLiteral("Processing..."));
    m_view.SetFound(QString());
    m_view.SetCurrent(QString());
    m_view.SetSubjectCaptionVisible(false);

    const bool setUp = notes::TrappedBlock(
        [&] {
            auto session =
                automation::CreateObject<notes::NotesSession>(QStringLiteral("Notes.NotesSession"));
            context.session = RequireObject(session, "Notes session");
            m_view.SetSubjectCaptionVisible(true);
            RewriteExportRoot();
        },
        [&] {
            m_ui.MessageBox(notes::NotesNotInstalledText(),
                            QLatin1String(notes::kNotesNotInstalledTitle), MsgIcon::Information,
                            MsgButtons::Ok);
        });
    if (!setUp) {
        return;
    }

    std::optional<notes::ViewList> views;
    const bool opened = notes::TrappedBlock(
        [&] {
            context.database = RequireObject(context.session, "session")
                                   ->GetDatabase(QString(), m_mailbox.databasePath);
            m_view.SetSaveHeader(QStringLiteral("Saving Emails (Custom Folders)..."));
            views = RequireObject(context.database, "database")->Views();
            if (!views) {
                throw notes::NotesError(QStringLiteral("The view list is not a list"));
            }
        },
        [&] {
            m_ui.MessageBox(QStringLiteral("Error occured during conversion..."),
                            QStringLiteral("Error in Conversion"), MsgIcon::Information,
                            MsgButtons::Ok);
        });
    if (!opened) {
        return;
    }

    m_spool =
        std::make_unique<AttachmentSpool>(spoolFolder.isValid() ? spoolFolder.path() : QString());
    const QString selection = m_state.SelectedFolders.join(QLatin1Char(' '));
    m_namesakes.clear();
    const QStringList folders = DiscoverUserFolders(*views, selection);
    views.reset();

    std::shared_ptr<mailconverter::MailConverterX> converter;
    TolerantStep([&] {
        converter = automation::CreateObject<mailconverter::MailConverterX>(
            QStringLiteral("MailConverter.MailConverterX"));
    });
    m_writer = std::make_unique<MessageFileWriter>(m_ui, std::move(converter));
    for (const QString& name : folders) {
        TolerantStep([&] { WalkUserFolder(name); });
    }
    for (const SystemSection& section : kSections) {
        RunSection(section, selection);
    }
    Complete();
}

void ExportRun::RewriteExportRoot() {
    const QString separator = Separator();
    QString root = m_state.ExportRoot;
    if (!root.endsWith(separator)) {
        root += separator;
    }
    // The title names one folder below the destination and nothing else.
    root = TrimBlanks(root) +
           SafeFolderName(TrimBlanks(m_mailbox.databaseTitle), QStringLiteral("Untitled"));
    Global::EnsureDirectory(root);
    m_state.ExportRoot = TrimBlanks(root) + separator;
}

QStringList ExportRun::DiscoverUserFolders(const notes::ViewList& views, const QString& selection) {
    QStringList folders;
    folders.reserve(static_cast<qsizetype>(views.size()));
    for (const notes::ViewPtr& view : views) {
        TolerantStep([&] {
            const QString name = RequireObject(view, "view")->Name();
            if (name.isEmpty() || name.front() == QLatin1Char('(') || !view->isfolder()) {
                return;
            }
            const QString trimmed = TrimBlanks(name);
            if (!selection.contains(QLatin1Char(' ') + trimmed) && !selection.startsWith(trimmed)) {
                return;
            }
            // Trimmed here already: names that differ only in blanks are one folder.
            folders.append(trimmed);
            m_namesakes[trimmed.toCaseFolded()].append(name);
            Global::EnsureDirectory(m_state.ExportRoot + SafeFolderName(trimmed));
        });
    }
    if (folders.size() > 1) {
        if (folders.size() <= std::numeric_limits<std::int16_t>::max()) {
            notes::QuickSort(folders, 0, static_cast<std::int16_t>(folders.size() - 1));
        } else {
            std::sort(folders.begin(), folders.end(), notes::OrdinalLess);
        }
    }
    notes::RemoveDuplicates(folders);
    return folders;
}

void ExportRun::WalkUserFolder(const QString& name) {
    notes::NotesContext& context = m_mailbox.context;
    m_view.SetSaveHeader(QStringLiteral("Saving Emails (Custom Folders)... [") + name +
                         QLatin1Char(']'));
    context.document.reset();
    context.database =
        RequireObject(context.session, "session")->GetDatabase(QString(), m_mailbox.databasePath);
    // Notes finds views by name regardless of case.
    const QStringList ownNames = m_namesakes.value(name.toCaseFolded());
    if (ownNames.size() < 2) {
        // By the folder's own name: the trimmed one may not find it.
        WalkFolderView(RequireObject(context.database, "database")
                           ->GetView(ownNames.isEmpty() ? name : ownNames.front()),
                       name);
        return;
    }
    // A lookup by name finds only one of the folders that answer to it; walk each that carries
    // this name.
    const notes::ViewList views = context.database->Views().value_or(notes::ViewList{});
    int namesake = 0;
    for (const notes::ViewPtr& view : views) {
        TolerantStep([&] {
            if (view && notes::IsNamesake(*view, name) &&
                m_state.ExportsNamesake(name, namesake++)) {
                WalkFolderView(view, name);
            }
        });
    }
}

void ExportRun::WalkFolderView(notes::ViewPtr view, const QString& name) {
    notes::NotesContext& context = m_mailbox.context;
    context.view = std::move(view);
    notes::DocumentPtr first = RequireObject(context.view, "view")->GetFirstDocument();
    if (!first) {
        return;
    }
    context.document = std::move(first);
    Progress progress;
    DocumentLoop(ViewKind::UserFolder, SafeFolderName(name), false, progress);
}

void ExportRun::RunSection(const SystemSection& section, const QString& selection) {
    notes::NotesContext& context = m_mailbox.context;
    const QString folderName = SystemFolderName(section.kind);
    Progress progress;
    try {
        if (selection.contains(QLatin1String(section.word))) {
            Global::EnsureDirectory(m_state.ExportRoot + folderName);
            m_view.SetSaveHeader(QLatin1String(section.header));
            context.database = RequireObject(context.session, "session")
                                   ->GetDatabase(QString(), m_mailbox.databasePath);
            context.view = RequireObject(context.database, "database")
                               ->GetView(QLatin1String(section.viewName));
            notes::DocumentPtr first = RequireObject(context.view, "view")->GetFirstDocument();
            if (first && (!section.needsEntries || EntryCount() > 0)) {
                context.document = std::move(first);
                DocumentLoop(section.kind, folderName, true, progress);
            }
        }
    } catch (const std::exception& error) {
        // The section is one unit until its first message has been read.
        if (progress.known > progress.handled) {
            Fail(folderName, QString(),
                 QStringLiteral("the folder could not be read: %1")
                     .arg(QString::fromStdString(error.what())),
                 progress.known - progress.handled);
        }
    }
    context.ReleaseCurrent();
}

std::int64_t ExportRun::EntryCount() {
    auto entries = RequireObject(m_mailbox.context.view, "view")->AllEntries();
    return RequireObject(entries, "entries")->Count();
}

void ExportRun::DocumentLoop(ViewKind kind, const QString& folderName, bool strictUntilFirstRead,
                             Progress& progress) {
    notes::NotesContext& context = m_mailbox.context;
    bool strict = strictUntilFirstRead;
    auto step = [&](auto&& body) {
        if (strict) {
            body();
            return true;
        }
        return TolerantStep(body);
    };

    step([&] {
        progress.known = EntryCount();
        m_view.SetFound(QString::number(progress.known));
    });
    while (true) {
        std::int64_t count = 0;
        if (!step([&] { count = progress.known = EntryCount(); }) || progress.handled >= count) {
            break;
        }
        const notes::DocumentPtr document = context.document;
        if (!document) {
            break;  // the view ended before its count
        }
        QString subject;
        std::optional<MailRecord> record;
        try {
            record =
                ExtractMailRecord(*document, kind, folderName, *m_spool, [&](const QString& text) {
                    subject = text;
                    m_view.SetProcessing(text);
                    std::int64_t total = progress.known;
                    TolerantStep([&] { total = EntryCount(); });
                    m_view.SetCurrent(QString::number(progress.handled) + QLatin1Char('/') +
                                      QString::number(total));
                });
        } catch (const std::exception& error) {
            if (strict) {
                throw;
            }
            Fail(folderName, subject,
                 QStringLiteral("the document could not be read: %1")
                     .arg(QString::fromStdString(error.what())));
        }
        strict = false;
        if (record) {
            for (const QString& name : record->missingAttachments) {
                ++m_summary.missingAttachments;
                m_summary.problems.append(folderName + QLatin1Char('\t') + record->eSubject +
                                          QStringLiteral("\tthe attachment \"") + name +
                                          QStringLiteral("\" could not be saved"));
            }
            const MessageOutcome outcome = m_writer->CreateEmailItem(m_state.ExportRoot, *record);
            if (outcome.written) {
                ++m_summary.written;
            } else {
                Fail(folderName, record->eSubject, outcome.reason);
            }
        }
        ++progress.handled;
        if (!TolerantStep([&] {
                context.document = RequireObject(context.view, "view")->GetNextDocument(document);
            })) {
            if (progress.known > progress.handled) {
                Fail(folderName, QString(),
                     QStringLiteral("the rest of the folder could not be read"),
                     progress.known - progress.handled);
            }
            break;
        }
    }
}

void ExportRun::Fail(const QString& folder, const QString& subject, const QString& reason,
                     std::int64_t messages) {
    m_summary.failed += messages;
    QString line = folder + QLatin1Char('\t') + subject + QLatin1Char('\t') + reason;
    if (messages != 1) {
        line += QStringLiteral(" (%1 messages)").arg(messages);
    }
    m_summary.problems.append(line);
}

bool ExportRun::WriteProblems() const {
    QSaveFile file(m_state.ExportRoot + QLatin1String(kProblemsFileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        return false;
    }
    QByteArray text = "Folder\tSubject\tWhat went wrong\n";
    for (const QString& line : m_summary.problems) {
        text += line.toUtf8() + '\n';
    }
    return file.write(text) == text.size() && file.commit();
}

void ExportRun::Complete() {
    m_mailbox.context.ReleaseCurrent();
    m_writer.reset();
    QStringList lines = {QStringLiteral("Migration Completed Successfully !"), m_state.ExportRoot,
                         m_mailbox.databaseTitle};
    if (m_summary.failed > 0 || m_summary.missingAttachments > 0) {
        const bool listed = WriteProblems();
        QString line;
        if (m_summary.failed > 0) {
            line = m_summary.failed == 1
                       ? QStringLiteral("1 message could not be converted")
                       : QStringLiteral("%1 messages could not be converted").arg(m_summary.failed);
        }
        if (m_summary.missingAttachments > 0) {
            line += line.isEmpty() ? QString() : QStringLiteral("; ");
            line += QStringLiteral("%1 attachment(s) could not be saved")
                        .arg(m_summary.missingAttachments);
        }
        line += listed ? QStringLiteral(" (their folders are listed in \"%1\" in the destination).")
                             .arg(QLatin1String(kProblemsFileName))
                       : QStringLiteral(".");
        lines.append(line);
    }
    m_ui.MessageBox(lines.join(QStringLiteral("\r\n")), QStringLiteral("Export Complete"),
                    MsgIcon::Information, MsgButtons::Ok);
    m_view.CloseWindow();
}

}  // namespace velmora::exporting
