#include "components/nsf/Attachments.h"

#include "components/nsf/Huffman.h"
#include "components/nsf/NsfDatabase.h"
#include "components/richtext/Lmbcs.h"
#include "notes/NotesError.h"
#include "notes/NotesObjects.h"
#include "util/AtomicFile.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace velmora::nsf {

using notes::NotesError;

namespace {

constexpr std::size_t kFileObjectSize = 36;  // object descriptor, file fields

constexpr std::uint16_t kHostMask = 0x0F00;
constexpr std::uint16_t kHostLink = 0x0A00;
// Plain files: MS-DOS, Macintosh, through a gateway, HPFS.
constexpr std::uint16_t kHostPlainFiles[] = {0x0000, 0x0200, 0x0300, 0x0400};

}  // namespace

std::optional<FileObject> ParseFileObject(std::span<const std::uint8_t> v) {
    if (v.size() < kFileObjectSize) {
        return std::nullopt;
    }
    const std::size_t nameLength = Le16(v, 6);
    if (v.size() - kFileObjectSize < nameLength) {
        return std::nullopt;
    }
    FileObject file;
    file.object = Le32(v, 2);
    file.host = Le16(v, 8);
    file.compression = Le16(v, 10);
    file.size = Le32(v, 16);
    file.name = richtext::FromLmbcs(v.subspan(kFileObjectSize, nameLength));
    return file;
}

int EmbedType(const FileObject& file) {
    const std::uint16_t host = file.host & kHostMask;
    if (host == kHostLink) {
        return notes::kEmbedObjectLink;
    }
    return std::find(std::begin(kHostPlainFiles), std::end(kHostPlainFiles), host) !=
                   std::end(kHostPlainFiles)
               ? notes::kEmbedAttachment
               : notes::kEmbedObject;
}

bool CanExtract(const FileObject& file, QString* why) {
    if (file.sealed) {
        if (why != nullptr) {
            *why = QStringLiteral("it is encrypted for the recipients of its document");
        }
        return false;
    }
    switch (static_cast<Compression>(file.compression)) {
        case Compression::kNone:
            return true;
        case Compression::kHuffman:
            return true;
        case Compression::kLz1:
            if (why != nullptr) {
                *why = QStringLiteral(
                    "it is LZ1-compressed, a compression with no public "
                    "description");
            }
            return false;
    }
    if (why != nullptr) {
        *why = QStringLiteral("its compression %1 is unknown").arg(file.compression);
    }
    return false;
}

QByteArray FileBytes(const NsfDatabase& db, const FileObject& file) {
    QString why;
    if (!CanExtract(file, &why)) {
        throw NotesError(
            QStringLiteral("The attachment %1 cannot be extracted: %2").arg(file.name, why));
    }
    const auto stored = db.Object(file.object);
    if (static_cast<Compression>(file.compression) == Compression::kHuffman) {
        auto plain = HuffmanDecode(stored, file.size, &why);
        if (!plain) {
            throw NotesError(
                QStringLiteral("The attachment %1 is damaged: %2").arg(file.name, why));
        }
        if (plain->size() != file.size) {
            throw NotesError(QStringLiteral("The attachment %1 is damaged: it decodes to %2 "
                                            "bytes, %3 recorded")
                                 .arg(file.name)
                                 .arg(plain->size())
                                 .arg(file.size));
        }
        return QByteArray(reinterpret_cast<const char*>(plain->data()),
                          static_cast<qsizetype>(plain->size()));
    }
    if (stored.size() < file.size) {
        throw NotesError(QStringLiteral("The attachment %1 is damaged: %2 bytes stored, %3 "
                                        "recorded")
                             .arg(file.name)
                             .arg(stored.size())
                             .arg(file.size));
    }
    return QByteArray(reinterpret_cast<const char*>(stored.data()),
                      static_cast<qsizetype>(file.size));
}

void Extract(const NsfDatabase& db, const FileObject& file, const QString& path) {
    const QByteArray data = FileBytes(db, file);
    if (const QString reason = WriteFileAtomically(path, data); !reason.isEmpty()) {
        throw NotesError(QStringLiteral("The attachment %1 cannot be written to %2: %3")
                             .arg(file.name, path, reason));
    }
}

}  // namespace velmora::nsf
