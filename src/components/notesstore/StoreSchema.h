#pragma once

// The layout of a store file (documented in README.md beside this file).

#include "util/ProductNames.h"

#include <QString>

namespace velmora::notesstore {

inline constexpr const char* kStoreFormat = "velmora-offline-mail-store";
inline constexpr int kSchemaVersion = 2;
// Version 1 lacks the items' stored bytes and the documents' creation time; it is still read,
// and extending such a store brings it to the current version.
inline constexpr int kOldestReadableVersion = 1;

// The reason given for a file that is not a store at all.
inline QString NotAStore() {
    return QStringLiteral("it is not a %1 offline mail store").arg(QLatin1String(kAppTitle));
}

// Statements that create an empty store of kSchemaVersion.
extern const char* const kCreateSchema;

// Statements that bring a store of version 1 to kSchemaVersion.
extern const char* const kUpgradeFromVersion1;

// Why a file cannot be read as a store, judged from its size, its SQLite header and a
// journal beside it (cheap, no page beyond the first is read); an empty string when it looks
// sound. forWriting checks only that it is a non-empty SQLite file.
QString ProblemWithFile(const QString& path, bool forWriting = false);

}  // namespace velmora::notesstore
