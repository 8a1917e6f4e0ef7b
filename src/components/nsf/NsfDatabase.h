#pragma once

// A Notes database file as its structures lay it out: the file header with the title,
// the bucket descriptor block with the item-name table, the superblock that lists the
// buckets, the notes in the summary buckets and their items.

#include "components/nsf/Blocks.h"
#include "components/nsf/NameTable.h"
#include "components/nsf/NsfFile.h"
#include "components/nsf/TimeDate.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

namespace velmora::nsf {

// Note classes.
inline constexpr std::uint16_t kClassDocument = 0x0001;
inline constexpr std::uint16_t kClassForm = 0x0004;
inline constexpr std::uint16_t kClassView = 0x0008;
inline constexpr std::uint16_t kClassAcl = 0x0040;
inline constexpr std::uint16_t kClassDefault = 0x8000;

struct FileBlock {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
};

struct DatabaseHeader {
    std::uint32_t headerSize = 0;
    std::uint32_t odsVersion = 0;
    // The file size the header records; a shorter file is cut short.
    std::uint64_t recordedSize = 0;
    // The database info text: its first line is the title.
    QStringList infoLines;
    std::vector<FileBlock> superblocks;
    std::vector<FileBlock> descriptorBlocks;

    QString Title() const { return infoLines.isEmpty() ? QString() : infoLines.front(); }
};

struct NoteRecord {
    std::uint64_t offset = 0;  // of the note's signature in the file
    std::uint32_t size = 0;
    std::uint32_t id = 0;
    std::uint16_t noteClass = 0;
    std::uint16_t itemCount = 0;
    // The note part of its universal ID: when its first copy was stored, in whatever database.
    TimeDate created;
    // The file part of its universal ID, which with created makes the ID.
    std::array<std::uint32_t, 2> fileId{};

    bool IsDocument() const { return (noteClass & ~kClassDefault) == kClassDocument; }
};

// Item flags.
inline constexpr std::uint16_t kItemSummary = 0x0004;
// The value has no type word of its own: it is of its name's registered type.
inline constexpr std::uint16_t kItemDefaultType = 0x0008;
// The value is enciphered for its recipients (a sealed document).
inline constexpr std::uint16_t kItemSealed = 0x0010;
// Only the name is registered; the value is its type word alone.
inline constexpr std::uint16_t kItemPlaceholder = 0x0100;
// The value lives in an object store outside the file.
inline constexpr std::uint16_t kItemLinked = 0x4000;

// How an item's type was found (counted for the README and the tests).
enum class Typing : std::uint8_t {
    kName,            // the name's registered type; the value has no type word
    kOwnWord,         // the value's own type word, differing from the name's
    kOwnWordSame,     // the value's own type word, the same as the name's
    kOwnWordUntyped,  // the value's own type word; the name registers none
    kPlaceholder,     // no value stored
    kUnknown,         // the name registers none and the value carries none
};

// One item of a note, its value still in the file's bytes (mapped, never copied).
struct NoteItem {
    QString name;
    std::uint16_t type = 0;
    std::uint16_t flags = 0;
    std::span<const std::uint8_t> value;
    Typing typing = Typing::kName;
};

// What could not be read of the notes, so that it is reported, never silently dropped.
struct ReadDamage {
    int buckets = 0;  // summary buckets that could not be read
    int records = 0;  // note records whose slot is damaged
    // Documents the relocation buckets place in what could not be read (at least one for
    // each unreadable bucket or slot they are silent about).
    std::size_t documents = 0;
    QStringList reasons;
};

class NsfDatabase {
  public:
    // Fails with NotesError, its message naming the reason, when the file cannot be read,
    // is not a Notes database, is locally encrypted, or has no intact descriptor block.
    static std::unique_ptr<NsfDatabase> Open(const QString& path);
    ~NsfDatabase();

    const DatabaseHeader& Header() const { return m_header; }
    const NsfFile& File() const { return *m_file; }
    const NameTable& Names() const { return m_descriptor.names; }
    // Whether the buckets came from an intact superblock (else from a walk of the file).
    bool UsesSuperblock() const { return m_superblock.has_value(); }

    // Every note found in the summary buckets, each note ID once.
    const std::vector<NoteRecord>& Notes() const { return m_notes; }
    // The note with that ID, or nullptr.
    const NoteRecord* FindNote(std::uint32_t id) const;
    const ReadDamage& Damage() const { return m_damage; }

    // The note's items in their stored order. Fails with NotesError when the note is
    // damaged or its large values cannot be found.
    std::vector<NoteItem> Items(const NoteRecord& note) const;
    // The data of the object with the given record-relocation ID (attachments, folder
    // objects): the bytes after its header (22 bytes, or 115 in newer files). Fails with NotesError
    // when it cannot be found or is damaged.
    std::span<const std::uint8_t> Object(std::uint32_t rrv) const;

  private:
    struct Bucket;
    explicit NsfDatabase(std::unique_ptr<NsfFile> file);
    void ReadHeader();
    void ReadBlocks();
    void ListNotes();
    void WalkBuckets();
    void ReadSummaryBucket(std::uint64_t offset, std::uint16_t index);
    void CountLostDocuments(const std::vector<std::uint16_t>& lost);
    std::optional<std::pair<std::uint32_t, std::uint32_t>> Relocation(std::uint32_t id) const;
    // The payload of the note's large-value record at `position` (an object, or a slot of
    // a non-summary bucket); empty when no record of this note is there.
    std::span<const std::uint8_t> LargeValues(const NoteRecord& note, std::uint32_t position) const;
    [[noreturn]] void Damaged(const QString& what) const;

    std::unique_ptr<NsfFile> m_file;
    DatabaseHeader m_header;
    DescriptorBlock m_descriptor;
    std::optional<Superblock> m_superblock;
    std::vector<NoteRecord> m_notes;
    std::unordered_map<std::uint32_t, std::size_t> m_noteIndex;
    ReadDamage m_damage;
    // Without a superblock: every bucket the walk found, for large values kept in slots.
    std::vector<std::uint64_t> m_walkedBuckets;
};

// Whether the file begins like a Notes database (signature and a plausible header size);
// never throws.
bool LooksLikeNsf(const QString& path);

}  // namespace velmora::nsf
