#pragma once

#include "util/UserInterface.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

namespace velmora::exporting {

// What became of the messages of one output folder. found is what its views said they hold.
struct FolderTotals {
    std::int64_t found = 0;
    std::int64_t written = 0;
    std::int64_t failed = 0;
    std::int64_t skipped = 0;
};

// How a run went, message by message, for the completion message.
struct ExportSummary {
    std::int64_t written = 0;
    std::int64_t failed = 0;   // messages that produced no PDF
    std::int64_t skipped = 0;  // already exported by an earlier run
    std::int64_t missingAttachments = 0;
    bool stopped = false;
    // One line per problem: folder, subject and reason, separated by tabs, each with its
    // control characters made visible.
    QStringList problems;
    QString firstReason;    // why the first message failed
    QString manifestError;  // why the manifest could not be written, if it could not
    // Output folders in the order the run reached them.
    std::vector<std::pair<QString, FolderTotals>> folders;

    FolderTotals& Folder(const QString& name);
    void AddProblem(const QString& folder, const QString& subject, const QString& reason,
                    std::int64_t messages = 1);
};

// text with every control character written as a visible escape (\t, \n, \r, \x1B, \u0085):
// a list of subjects keeps its columns, and a terminal that shows it does not obey it.
QString VisibleControls(const QString& text);

// Writes the list of problems, one per line under a heading, or removes an earlier run's list
// when there are none. "" when that went well, else the system's reason.
QString WriteProblemList(const QString& path, const QStringList& problems);

struct CompletionMessage {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::Information;
};

// The message that ends a run. listError is why the problem list could not be written ("" when
// it was, or when there was nothing to list).
CompletionMessage CompletionFor(const ExportSummary& summary, const QString& exportRoot,
                                const QString& databaseTitle, const QString& listError);

}  // namespace velmora::exporting
