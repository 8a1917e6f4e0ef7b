#pragma once

// The layout of a store file (documented in README.md beside this file).

#include <QString>

namespace velmora::notesstore {

inline constexpr const char* kStoreFormat = "velmora-offline-mail-store";
inline constexpr int kSchemaVersion = 1;

// Statements that create an empty store of kSchemaVersion.
extern const char* const kCreateSchema;

// Why a file cannot be read as a store, judged from its size, its SQLite header and a
// journal beside it (cheap, no page beyond the first is read); an empty string when it looks
// sound. forWriting checks only that it is a non-empty SQLite file.
QString ProblemWithFile(const QString& path, bool forWriting = false);

}  // namespace velmora::notesstore
