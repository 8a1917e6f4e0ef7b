#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdio>

namespace velmora::exporting {

// Exit statuses of velmora-export.
inline constexpr int kExitAllWritten = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUnusable = 2;  // a database or destination that cannot be used

struct CommandOptions {
    QString database;
    QString destination;
    QStringList folders;  // names as the folder tree shows them; none: every folder
    int jobs = 0;         // 0: one per core
    QString manifest;     // "" : manifest.jsonl in the database's output folder
    bool quiet = false;
};

// One database exported as velmora-export does it: the scan of the windows, the chosen
// folders ticked in its tree, the run of the windows shown on err, every failure listed on
// err and the totals of each folder on out. Returns the exit status.
int ExportFromCommandLine(const CommandOptions& options, std::FILE* out, std::FILE* err,
                          bool interactive, const std::atomic<bool>& stop);

// Re-hashes every PDF the manifest lists (folderOrManifest is the folder that holds it, or the
// file) and lists what is missing, changed or extra on out. Returns the exit status.
int VerifyFromCommandLine(const QString& folderOrManifest, int threads, std::FILE* out,
                          std::FILE* err);

}  // namespace velmora::exporting
