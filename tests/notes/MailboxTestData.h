#pragma once

#include "notes/MemoryNotes.h"

#include <QDateTime>
#include <QStringList>

#include <memory>

namespace velmora::testing {

inline constexpr const char* kMailboxPath = "/mail/alice.nsf";

// A mailbox with the standard views (no junk-mail view), hidden views, a plain view and
// user folders that exercise ordering, duplicates, nesting, orphans and key clashes.
inline std::shared_ptr<notes::MemoryDatabaseData> SampleMailbox() {
    using namespace velmora::notes;
    auto data = std::make_shared<MemoryDatabaseData>();
    data->title = QStringLiteral("Alice Mail");
    auto fill = [&](const QString& view, int documents) {
        data->View(view);
        for (int i = 0; i < documents; ++i) {
            MemoryDocument document;
            document.SetText(QStringLiteral("Subject"),
                             {QStringLiteral("%1 #%2").arg(view).arg(i)});
            document.size = 1024 * (i + 1);
            data->AddDocument(document, {view});
        }
    };
    fill(QStringLiteral("($Inbox)"), 5);
    fill(QStringLiteral("($Drafts)"), 2);
    fill(QStringLiteral("($Sent)"), 3);
    fill(QStringLiteral("($Follow-Up)"), 0);
    fill(QStringLiteral("($Trash)"), 1);
    fill(QStringLiteral("(Hidden Folder)"), 1);
    data->View(QStringLiteral("All Documents"), false);
    fill(QStringLiteral("zeta"), 1);
    fill(QStringLiteral("Projects\\2010"), 4);
    fill(QStringLiteral("Projects"), 2);
    fill(QStringLiteral("Zeta"), 1);
    fill(QStringLiteral("Archive\\Old"), 1);
    fill(QStringLiteral("Trash"), 1);
    fill(QStringLiteral("Inbox"), 1);
    // A second view of an existing folder name.
    data->views.push_back(MemoryView{QStringLiteral("Projects"), true, {}});
    return data;
}

inline std::shared_ptr<notes::MemorySession> SessionWith(
    std::shared_ptr<notes::MemoryDatabaseData> data,
    const QString& path = QLatin1String(kMailboxPath)) {
    auto session = std::make_shared<notes::MemorySession>();
    session->AddDatabase(path, std::move(data));
    return session;
}

}  // namespace velmora::testing
