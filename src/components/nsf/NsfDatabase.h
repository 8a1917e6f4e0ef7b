#pragma once

// What can be read of a Notes database file without its bucket table: the file header
// with the database title, the positions of the superblocks and bucket descriptor
// blocks, and the notes held in the summary buckets.

#include "components/nsf/NameTable.h"
#include "components/nsf/NsfFile.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>
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
    // The file size the header records; the real size may differ (see README).
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

    bool IsDocument() const { return (noteClass & ~kClassDefault) == kClassDocument; }
};

// Item flags.
inline constexpr std::uint16_t kItemSummary = 0x0004;
// Set on items whose stored value has no leading type word (seen on the samples).
inline constexpr std::uint16_t kItemBareValue = 0x0008;

// One item of a note, its value still in the file's bytes (mapped, never copied).
struct NoteItem {
    QString name;  // "#<index>" when the name table cannot be read
    std::uint16_t type = 0;
    std::uint16_t flags = 0;
    std::span<const std::uint8_t> value;
};

class NsfDatabase {
  public:
    // Fails with NotesError when the file is not a Notes database or its header is damaged.
    static std::unique_ptr<NsfDatabase> Open(const QString& path);

    const DatabaseHeader& Header() const { return m_header; }
    const NsfFile& File() const { return *m_file; }

    // Every note found in the file's summary buckets, in file order, each note ID once.
    // Damaged buckets are skipped (Damage() tells how many), so a partly damaged file
    // still yields what is intact.
    std::vector<NoteRecord> Notes() const;
    int Damage() const { return m_damaged; }

    // The item-name table; fails with NotesError, with the reason, when no descriptor block
    // yields one.
    const NameTable& Names() const;
    // The note's items in their stored order, summary and non-summary values alike.
    // Fails with NotesError when the note is damaged or its large values cannot be found.
    std::vector<NoteItem> Items(const NoteRecord& note) const;
    // The data of the object with the given record-relocation ID (attachments): the bytes
    // after its 22-byte header. Fails with NotesError when it cannot be found or is damaged.
    std::span<const std::uint8_t> Object(std::uint32_t rrv) const;

  private:
    explicit NsfDatabase(std::unique_ptr<NsfFile> file);
    void ReadHeader();
    void ReadBucket(std::uint64_t offset, std::uint32_t size, std::vector<NoteRecord>& out,
                    std::unordered_set<std::uint32_t>& seen) const;
    std::span<const std::uint8_t> NonSummary(const NoteRecord& note, std::uint32_t needed) const;

    std::unique_ptr<NsfFile> m_file;
    DatabaseHeader m_header;
    mutable int m_damaged = 0;
    mutable std::optional<NameTable> m_names;
    mutable QString m_namesError;
    // Non-summary records in bucket slots, by the note they belong to.
    mutable std::unordered_map<std::uint32_t, FileBlock> m_slotted;
    // Record-relocation buckets by the first ID they map.
    mutable std::unordered_map<std::uint32_t, std::uint64_t> m_rrvBuckets;
};

// Whether the file begins like a Notes database (signature and a plausible header size);
// never throws.
bool LooksLikeNsf(const QString& path);

}  // namespace velmora::nsf
