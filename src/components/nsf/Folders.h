#pragma once

// What a folder holds. A folder's design note carries $FolderObject, an object (type 9)
// that lists its documents: signature f5 f5, version 1, the entry count at +84, and the
// entries packed at its end, 36 bytes each (the document's universal ID, its note ID at
// +16, two dates).

#include "components/nsf/NsfDatabase.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace velmora::nsf {

// The note IDs the folder lists, in its order; nothing, with the reason in why, when the
// folder has no folder object or it cannot be read.
std::optional<std::vector<std::uint32_t>> FolderNoteIds(const NsfDatabase& db,
                                                        const std::vector<NoteItem>& folder,
                                                        QString* why);

}  // namespace velmora::nsf
