#include "export/ExportRun.h"

#include "automation/Automation.h"
#include "components/mailconverter/MailConverterX.h"
#include "export/Destination.h"
#include "export/FileNames.h"
#include "export/MessageFile.h"
#include "notes/FolderNames.h"
#include "notes/FolderNamesakes.h"
#include "notes/MailboxScanner.h"
#include "notes/NotesTrap.h"
#include "notes/RequireObject.h"
#include "util/Global.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

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

// How long the reading thread waits for a conversion before it lets the window repaint.
constexpr auto kYieldEvery = std::chrono::milliseconds(50);
// Messages read ahead of the conversions, per worker thread.
constexpr std::size_t kWaitingPerThread = 2;

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

// The universal ID where the document has one, else its note ID.
QString DocumentId(notes::NotesDocument& document) {
    const QString universal = document.UniversalID();
    return universal.isEmpty() ? document.NoteID() : universal;
}

int AttachmentsIn(const MailRecord& record) {
    const auto paths = record.eAttachFileName.count(QLatin1Char('|'));
    return static_cast<int>(std::max<qsizetype>(0, paths - record.missingAttachments.size()));
}

}  // namespace

ExportRun::ExportRun(notes::MailboxState& mailbox, ExportState& state, ExportView& view,
                     UserInterface& ui)
    : m_mailbox(mailbox), m_state(state), m_view(view), m_ui(ui), m_recorder(view) {}

ExportRun::~ExportRun() = default;

void ExportRun::CmdConversion_Click() {
    if (m_running) {
        return;  // a nested run would replace the Notes objects of the one under way
    }
    m_running = true;
    m_stopRequested = false;
    m_recorder.Reset();
    m_manifestPath.clear();
    m_ending = Ending::None;
    notes::NotesContext& context = m_mailbox.context;
    QTemporaryDir spoolFolder(Global::GetTempFolder() + QStringLiteral("velmora-export-XXXXXX"));
    auto end = qScopeGuard([&] {
        m_pool.reset();
        m_writer.reset();
        m_spool.reset();
        m_resume = {};
        m_lock.reset();
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
        m_ending = Ending::NotesUnavailable;
        m_view.CloseWindow();
        return;
    }
    m_manifestPath = m_state.ManifestPath.isEmpty()
                         ? m_state.ExportRoot + QLatin1String(kManifestFileName)
                         : QFileInfo(m_state.ManifestPath).absoluteFilePath();
    if (!CheckDestination()) {
        m_ending = Ending::DestinationRefused;
        m_view.CloseWindow();
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
        // Nothing was written: the database's folder goes again unless it held something.
        QDir().rmdir(m_state.ExportRoot);
        m_ending = Ending::DatabaseUnreadable;
        m_view.CloseWindow();
        return;
    }
    if (!LockManifest()) {
        m_ending = Ending::DestinationRefused;
        m_view.CloseWindow();
        return;
    }

    m_spool =
        std::make_unique<AttachmentSpool>(spoolFolder.isValid() ? spoolFolder.path() : QString());
    const QString selection = m_state.SelectedFolders.join(QLatin1Char(' '));
    m_namesakes.clear();
    const QStringList folders = DiscoverUserFolders(*views, selection);
    views.reset();
    const std::int64_t total = CountSelected(folders, selection);

    const int threads = std::max(1, m_state.Jobs > 0 ? m_state.Jobs : QThread::idealThreadCount());
    m_recorder.Begin(m_manifestPath);
    m_resume = ResumePlan::Load(m_manifestPath, threads, [this] { m_ui.DoEvents(); });
    m_recorder.SetTotal(total);
    StartConversions(threads);

    for (const QString& name : folders) {
        if (Stopping()) {
            break;
        }
        TolerantStep([&] { WalkUserFolder(name); });
    }
    for (const SystemSection& section : kSections) {
        if (Stopping()) {
            break;
        }
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

// A destination that cannot take a file would fail every message, and the list of failures
// with them: it is refused before anything is read.
bool ExportRun::CheckDestination() {
    const QString reason = PrepareDestination(m_state.ExportRoot);
    if (reason.isEmpty()) {
        return true;
    }
    m_ui.MessageBox(QStringLiteral("The export cannot write to the folder\r\n%1\r\n%2.")
                        .arg(QDir::toNativeSeparators(m_state.ExportRoot), reason),
                    QStringLiteral("Destination Not Writable"), MsgIcon::Warning, MsgButtons::Ok);
    return false;
}

bool ExportRun::LockManifest() {
    QString refusal;
    m_lock = LockBeside(m_manifestPath, &refusal);
    if (!m_lock) {
        m_ui.MessageBox(refusal, QStringLiteral("Destination Not Writable"), MsgIcon::Warning,
                        MsgButtons::Ok);
    }
    return m_lock != nullptr;
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

// The messages of every folder the run will walk, for the overall progress; a count that
// cannot be read counts none.
std::int64_t ExportRun::CountSelected(const QStringList& folders, const QString& selection) {
    std::int64_t total = 0;
    auto count = [&total](const notes::ViewPtr& view) {
        TolerantStep([&] { total += RequireObject(view, "view")->AllEntries()->Count(); });
    };
    TolerantStep([&] {
        auto database = RequireObject(m_mailbox.context.session, "session")
                            ->GetDatabase(QString(), m_mailbox.databasePath);
        for (const QString& name : folders) {
            TolerantStep([&] {
                for (const notes::ViewPtr& view : FolderViews(*database, name)) {
                    count(view);
                }
            });
        }
        for (const SystemSection& section : kSections) {
            if (selection.contains(QLatin1String(section.word))) {
                TolerantStep([&] { count(database->GetView(QLatin1String(section.viewName))); });
            }
        }
    });
    return total;
}

void ExportRun::StartConversions(int threads) {
    std::vector<Converter> converters;
    for (int i = 0; i < threads; ++i) {
        Converter converter;
        TolerantStep([&] {
            converter = automation::CreateObject<mailconverter::MailConverterX>(
                QStringLiteral("MailConverter.MailConverterX"));
        });
        converters.push_back(std::move(converter));
    }
    m_writer = std::make_unique<MessageFileWriter>(m_ui, converters.front());
    m_pool = std::make_unique<Pool>(std::move(converters),
                                    static_cast<std::size_t>(threads) * kWaitingPerThread);
}

// The views the walk of a user folder visits: a lookup by name finds only one of the folders
// that answer to it (Notes finds views by name regardless of case), so namesakes are found in
// the view list instead.
notes::ViewList ExportRun::FolderViews(notes::NotesDatabase& database, const QString& name) {
    const QStringList ownNames = m_namesakes.value(name.toCaseFolded());
    if (ownNames.size() < 2) {
        // By the folder's own name: the trimmed one may not find it.
        return {database.GetView(ownNames.isEmpty() ? name : ownNames.front())};
    }
    notes::ViewList walked;
    int namesake = 0;
    for (const notes::ViewPtr& view : database.Views().value_or(notes::ViewList{})) {
        TolerantStep([&] {
            if (view && notes::IsNamesake(*view, name) &&
                m_state.ExportsNamesake(name, namesake++)) {
                walked.push_back(view);
            }
        });
    }
    return walked;
}

void ExportRun::WalkUserFolder(const QString& name) {
    notes::NotesContext& context = m_mailbox.context;
    m_view.SetSaveHeader(QStringLiteral("Saving Emails (Custom Folders)... [") + name +
                         QLatin1Char(']'));
    m_recorder.Reach(SafeFolderName(name));
    context.document.reset();
    context.database =
        RequireObject(context.session, "session")->GetDatabase(QString(), m_mailbox.databasePath);
    const notes::ViewList views = FolderViews(*RequireObject(context.database, "database"), name);
    if (views.size() == 1) {
        WalkFolderView(views.front(), name);
        return;
    }
    for (const notes::ViewPtr& view : views) {
        if (!Stopping()) {
            TolerantStep([&] { WalkFolderView(view, name); });
        }
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
            m_recorder.Reach(folderName);
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
    const std::function<bool(const std::function<void()>&)> step =
        [&strict](const std::function<void()>& body) {
            if (strict) {
                body();
                return true;
            }
            return TolerantStep(body);
        };

    step([&] {
        progress.known = EntryCount();
        m_view.SetFound(QString::number(progress.known));
        m_recorder.Reach(folderName, progress.known);
    });
    while (!Stopping()) {
        std::int64_t count = 0;
        if (!step([&] { count = progress.known = EntryCount(); }) || progress.handled >= count) {
            break;
        }
        const notes::DocumentPtr document = context.document;
        if (!document) {
            break;  // the view ended before its count
        }
        WaitForRoom();  // only a few messages are read ahead of the conversions
        auto showSubject = [&](const QString& text) {
            m_view.SetProcessing(text);
            std::int64_t total = progress.known;
            TolerantStep([&] { total = EntryCount(); });
            m_view.SetCurrent(QString::number(progress.handled) + QLatin1Char('/') +
                              QString::number(total));
        };
        QString id;
        TolerantStep([&] { id = DocumentId(*document); });
        ResumePlan::Decision decision;
        if (Skipped(*document, id, folderName, step, decision)) {
            showSubject(decision.subject);
        } else {
            QString subject;
            std::optional<MailRecord> record;
            try {
                record = ExtractMailRecord(*document, kind, folderName, *m_spool,
                                           [&](const QString& text) {
                                               subject = text;
                                               showSubject(text);
                                           });
            } catch (const std::exception& error) {
                if (strict) {
                    throw;
                }
                Fail(folderName, subject,
                     QStringLiteral("the document could not be read: %1")
                         .arg(QString::fromStdString(error.what())),
                     1, id);
            }
            if (record) {
                Convert(*record, id, decision.baseName);
            }
        }
        strict = false;
        ++progress.handled;
        m_ui.DoEvents();
        Drain(false);
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

// A message an earlier run exported, whose PDF is there as it was written, is not read again.
bool ExportRun::Skipped(notes::NotesDocument& document, const QString& id,
                        const QString& folderName,
                        const std::function<bool(const std::function<void()>&)>& step,
                        ResumePlan::Decision& decision) {
    if (m_resume.IsEmpty() || id.isEmpty()) {
        return false;
    }
    QString subject;
    const QString item = QStringLiteral("Subject");
    if (!step([&] {
            // As the extraction gives it, so that it meets the manifest's.
            subject = TrimBlanks(document.hasitem(item)
                                     ? notes::FirstValueText(document.GetItemValue(item))
                                     : QString());
        })) {
        return false;
    }
    decision = m_resume.Decide(folderName, id, subject);
    if (decision.kind != ResumePlan::Kind::Skip) {
        return false;
    }
    RunOutcome outcome;
    outcome.kind = RunOutcome::Kind::Skipped;
    outcome.entry.folder = folderName;
    Submit(std::move(outcome));
    return true;
}

void ExportRun::Convert(const MailRecord& record, const QString& id, const QString& baseName) {
    ManifestEntry entry;
    entry.folder = record.FolderName;
    entry.id = id;
    entry.subject = record.eSubject;
    entry.date = record.eDate;
    entry.from = record.eFrom;
    entry.attachments = AttachmentsIn(record);
    const PreparedMessage prepared = m_writer->Prepare(m_state.ExportRoot, record, baseName);
    m_recorder.Promise(prepared.pdfPath);
    const QString manifestFolder = QFileInfo(m_manifestPath).absolutePath();
    WaitForRoom();
    m_pool->Submit([prepared, entry, manifestFolder, missing = record.missingAttachments,
                    reasons = record.missingReasons](Converter& converter) mutable {
        RunOutcome outcome =
            ConvertOnWorker(prepared, std::move(entry), manifestFolder, converter.get());
        outcome.missingAttachments = std::move(missing);
        outcome.missingReasons = std::move(reasons);
        return outcome;
    });
}

void ExportRun::WaitForRoom() {
    while (!m_pool->HasRoom()) {
        if (auto outcome = m_pool->TakeNext(kYieldEvery)) {
            Record(std::move(*outcome));
        }
        m_ui.DoEvents();
    }
}

void ExportRun::Fail(const QString& folder, const QString& subject, const QString& reason,
                     std::int64_t messages, const QString& id) {
    RunOutcome outcome;
    outcome.messages = messages;
    outcome.entry.folder = folder;
    outcome.entry.id = id;
    outcome.entry.subject = subject;
    outcome.entry.reason = reason;
    Submit(std::move(outcome));
}

// An outcome known without conversion keeps its place in the order all the same.
void ExportRun::Submit(RunOutcome outcome) {
    if (m_pool) {
        m_pool->SubmitDone(std::move(outcome));
    } else {
        Record(std::move(outcome));
    }
}

void ExportRun::Drain(bool everything) {
    while (m_pool && m_pool->Pending() > 0) {
        auto outcome = m_pool->TakeNext(everything ? kYieldEvery : std::chrono::milliseconds(0));
        if (!outcome) {
            if (!everything) {
                return;
            }
            m_ui.DoEvents();
            continue;
        }
        Record(std::move(*outcome));
        m_ui.DoEvents();
    }
}

void ExportRun::Record(RunOutcome outcome) {
    if (!outcome.pdfPath.isEmpty()) {
        m_writer->Release({nullptr, QString(), outcome.pdfPath});
    }
    m_recorder.Record(std::move(outcome));
}

void ExportRun::Complete() {
    Drain(true);
    m_pool.reset();
    m_recorder.End();
    ExportSummary& summary = m_recorder.Summary();
    // A stop asked for after the last message was read cut nothing short.
    summary.stopped = Stopping() && !m_recorder.AllDone();
    m_mailbox.context.ReleaseCurrent();
    m_writer.reset();
    const QString listError =
        WriteProblemList(m_state.ExportRoot + QLatin1String(kProblemsFileName), summary.problems);
    const CompletionMessage message =
        CompletionFor(summary, m_state.ExportRoot, m_mailbox.databaseTitle, listError);
    m_ending = Ending::Completed;
    m_ui.MessageBox(message.text, message.title, message.icon, MsgButtons::Ok);
    m_view.CloseWindow();
}

}  // namespace velmora::exporting
