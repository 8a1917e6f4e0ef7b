#pragma once

#include <QString>

namespace velmora::exporting {

// Creates folder with every missing level and proves that it takes a file: a probe file is
// created, written, flushed to the disk and removed again. "" when the folder can be used,
// else the system's reason ("Permission denied", "No space left on device").
QString PrepareDestination(const QString& folder);

// The system's reason for the last failed call of this thread.
QString SystemReason();

}  // namespace velmora::exporting
