#pragma once

// Files attached to a note: its $FILE items, each a FILEOBJECT naming the file, its size,
// its compression and the object holding its bytes.

#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace velmora::nsf {

class NsfDatabase;

enum class Compression : std::uint16_t { kNone = 0, kHuffman = 1, kLz1 = 2 };

struct FileObject {
    QString name;
    std::uint32_t size = 0;
    std::uint16_t compression = 0;
    std::uint32_t object = 0;  // record-relocation ID of the object
};

// The FILEOBJECT of a $FILE value; nothing when it is too short.
std::optional<FileObject> ParseFileObject(std::span<const std::uint8_t> value);

// Whether the bytes can be written out by this reader, and if not, why.
bool CanExtract(const FileObject& file, QString* why);

// Writes the file's bytes to path. Fails with NotesError when the data cannot be read,
// is compressed in a way this reader does not decode, disagrees with the stored size, or
// the path cannot be written.
void Extract(const NsfDatabase& db, const FileObject& file, const QString& path);

}  // namespace velmora::nsf
