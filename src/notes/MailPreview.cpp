#include "notes/MailPreview.h"

#include "notes/FolderNames.h"
#include "notes/FolderNamesakes.h"
#include "notes/MailboxScanner.h"
#include "notes/NotesTrap.h"
#include "notes/RequireObject.h"

namespace velmora::notes {

namespace {

struct PreviewItems {
    QString person;
    QString date;
};

PreviewItems ItemsFor(const QString& viewName) {
    if (viewName == QLatin1String("($Inbox)")) {
        return {QStringLiteral("From"), QStringLiteral("PostedDate")};
    }
    if (viewName == QLatin1String("($Drafts)")) {
        return {QStringLiteral("SendTo"), QStringLiteral("$Revisions")};
    }
    if (viewName == QLatin1String("($JunkMail)")) {
        return {QStringLiteral("From"), QStringLiteral("DeliveredDate")};
    }
    return {QStringLiteral("SendTo"), QStringLiteral("PostedDate")};
}

}  // namespace

QString PreviewViewName(const QString& nodeViewName) {
    static const QStringList kStandard = {
        QStringLiteral("Sent"),   QStringLiteral("Inbox"),     QStringLiteral("JunkMail"),
        QStringLiteral("Drafts"), QStringLiteral("Follow-Up"), QStringLiteral("Trash"),
    };
    if (kStandard.contains(nodeViewName, Qt::CaseSensitive)) {
        return QStringLiteral("($") + nodeViewName + QLatin1Char(')');
    }
    return nodeViewName;
}

QString SizeText(std::int64_t bytes) {
    std::int64_t quotient = bytes / 1024;
    std::int64_t remainder = bytes % 1024;
    if (remainder < 0) {
        remainder += 1024;
        --quotient;
    }
    if (remainder > 512 || (remainder == 512 && quotient % 2 != 0)) {
        ++quotient;
    }
    return QString::number(quotient) + QStringLiteral(" KB");
}

void MailPreview::ContactsTreeView_Click(int node) {
    if (!m_state.tree.IsValidIndex(node)) {
        return;
    }
    const FolderNode& folder = m_state.tree.Node(node);
    m_list.ClearRows();
    if (folder.namesake >= 0) {
        EnumerateEmails(folder.viewName, folder.namesake);  // that folder, not a namesake
    } else {
        EnumerateEmails(PreviewViewName(folder.viewName));
    }
}

void MailPreview::EnumerateEmails(const QString& viewName, int namesake) {
    // The first failure ends the fill; rows already shown stay.
    TrappedBlock(
        [&] {
            m_view.SetStepMarkerVisible(StepMarker::Emails, true);
            m_ui.Pause(10);
            m_list.ClearRows();

            NotesContext& context = m_state.context;
            context.database = RequireObject(context.session, "session")
                                   ->GetDatabase(QString(), m_state.databasePath);
            NotesDatabase& database = *RequireObject(context.database, "database");
            context.view = namesake < 0 ? database.GetView(viewName)
                                        : NamesakeView(database, viewName, namesake);
            NotesView& view = *RequireObject(context.view, "view");
            DocumentPtr first = view.GetFirstDocument();
            if (!first) {
                return;
            }
            context.document = std::move(first);
            const PreviewItems items = ItemsFor(viewName);
            for (int row = 0; row < RequireObject(view.AllEntries(), "entries")->Count(); ++row) {
                NotesDocument& document = *RequireObject(context.document, "document");
                const QStringList columns = {
                    TrimBlanks(FirstValueText(document.GetItemValue(items.person))),
                    TrimBlanks(FirstValueText(document.GetItemValue(QStringLiteral("Subject")))),
                    SizeText(document.Size()),
                    FirstValueText(document.GetItemValue(items.date)),
                };
                m_list.AddRow(columns);
                m_list.SetRowIcon(row, icons::kMail);
                context.document = view.GetNextDocument(context.document);
                if (row == kMaxRows - 1) {
                    break;
                }
            }
        },
        [] {});
    m_ui.DoEvents();
}

}  // namespace velmora::notes
