#pragma once

// Files attached to a note: its $FILE items, each a FILEOBJECT naming the file, its size,
// its compression and the object holding its bytes.

#include <QByteArray>
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
    std::uint16_t host = 0;    // how the bytes are to be taken (HOST_xxx in the high byte)
    bool sealed = false;       // enciphered with its document for the document's recipients
};

// The embedded-object type the file stands for: an attachment (1454), an OLE object or
// one of its storage parts (1453), or a link to an object (1452), as its host type says.
int EmbedType(const FileObject& file);

// The FILEOBJECT of a $FILE value; nothing when it is too short.
std::optional<FileObject> ParseFileObject(std::span<const std::uint8_t> value);

// Whether the bytes can be written out by this reader, and if not, why.
bool CanExtract(const FileObject& file, QString* why);

// The file's bytes; fails with NotesError as Extract does.
QByteArray FileBytes(const NsfDatabase& db, const FileObject& file);

// Writes the file's bytes to path. Fails with NotesError when the data cannot be read,
// is compressed in a way this reader does not decode, disagrees with the stored size, or
// the path cannot be written.
void Extract(const NsfDatabase& db, const FileObject& file, const QString& path);

}  // namespace velmora::nsf
