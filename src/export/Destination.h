#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace velmora::exporting {

// Creates folder with every missing level and proves that it takes a file: a probe file is
// created, written, flushed to the disk and removed again. "" when the folder can be used,
// else the system's reason ("Permission denied", "No space left on device").
QString PrepareDestination(const QString& folder);

// The lock an export holds beside its manifest: two exports into one manifest would take each
// other's names for leftovers of a killed run. A lock left by a process that no longer runs is
// taken over. Nothing, and the text of the refusal, when another export holds it.
std::unique_ptr<QLockFile> LockBeside(const QString& manifestPath, QString* refusal);

// The system's reason for the last failed call of this thread.
QString SystemReason();

}  // namespace velmora::exporting
