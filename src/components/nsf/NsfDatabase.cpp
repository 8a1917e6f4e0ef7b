#include "components/nsf/NsfDatabase.h"

#include "components/nsf/Cx.h"
#include "components/nsf/Lmbcs.h"
#include "components/nsf/TimeDate.h"
#include "notes/NotesError.h"

#include <algorithm>
#include <unordered_set>

namespace velmora::nsf {

using notes::NotesError;

namespace {

constexpr std::uint16_t kFileSignature = 0x001A;
constexpr std::uint64_t kInfoOffset = 200;
constexpr std::uint64_t kInfoSize = 128;
constexpr std::uint64_t kInfo2Offset = 520;
constexpr std::uint64_t kUnit = 256;
constexpr std::uint8_t kBucketSignature = 0x02;
constexpr std::uint8_t kBucketHeaderSize = 0x42;
constexpr std::uint8_t kNoteSignature = 0x04;
constexpr std::uint8_t kNonSummarySignature = 0x10;
constexpr std::uint8_t kRrvSignature = 0x06;
constexpr std::uint8_t kRrvHeaderSize = 0x20;
constexpr std::uint32_t kRrvBucketSize = 4096;
constexpr std::uint32_t kRrvEntries = (kRrvBucketSize - kRrvHeaderSize) / 8;
constexpr std::uint16_t kObjectSignature = 0x0007;
constexpr std::uint32_t kObjectHeaderSize = 22;
constexpr std::uint32_t kNonSummaryHeaderSize = 68;
constexpr std::uint32_t kDescriptorBlockHeaderSize = 66;
// The samples' blocks decode to under 5 KB; far more is damage.
constexpr std::size_t kMaxDescriptorBlock = 1u << 20;
constexpr std::uint32_t kNoteHeaderSize = 100;
// Buckets are 4 to 32 KB in every sample; anything far beyond is damage.
constexpr std::uint32_t kMaxBucketSize = 1u << 20;

bool PlausibleHeaderSize(std::uint32_t size) {
    return size == 0x400 || size == 0x800;
}

}  // namespace

bool LooksLikeNsf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(6);
    if (head.size() < 6) {
        return false;
    }
    const auto* b = reinterpret_cast<const std::uint8_t*>(head.constData());
    const std::span<const std::uint8_t> bytes(b, 6);
    return Le16(bytes, 0) == kFileSignature && PlausibleHeaderSize(Le32(bytes, 2));
}

std::unique_ptr<NsfDatabase> NsfDatabase::Open(const QString& path) {
    auto database = std::unique_ptr<NsfDatabase>(new NsfDatabase(NsfFile::Open(path)));
    database->ReadHeader();
    return database;
}

NsfDatabase::NsfDatabase(std::unique_ptr<NsfFile> file) : m_file(std::move(file)) {}

void NsfDatabase::ReadHeader() {
    const NsfFile& f = *m_file;
    if (f.Size() < 6 || f.U16(0, "the file signature") != kFileSignature) {
        throw NotesError(QStringLiteral("%1 is not a Notes database").arg(f.Path()));
    }
    m_header.headerSize = f.U32(2, "the header size");
    if (!PlausibleHeaderSize(m_header.headerSize)) {
        throw NotesError(QStringLiteral("The database %1 is damaged: header size %2 is not valid")
                             .arg(f.Path())
                             .arg(m_header.headerSize));
    }
    // Everything below lies inside the header; a file shorter than it is truncated.
    f.Bytes(0, m_header.headerSize, "the file header");
    m_header.odsVersion = f.U32(6, "the on-disk structure version");
    m_header.recordedSize = std::uint64_t{f.U32(88, "the recorded file size")} * kUnit;

    const auto info = f.Bytes(kInfoOffset, kInfoSize, "the database info");
    const auto end = std::find(info.begin(), info.end(), std::uint8_t{0});
    const QString text = FromLmbcs(info.first(static_cast<std::size_t>(end - info.begin())));
    m_header.infoLines = text.split(QLatin1Char('\n'));

    for (int i = 0; i < 4; ++i) {
        const std::uint64_t at = kInfo2Offset + 40 + 8 * i;
        const std::uint32_t position = f.U32(at, "a superblock position");
        const std::uint32_t size = f.U32(at + 4, "a superblock size");
        if (position != 0) {
            m_header.superblocks.push_back({position * kUnit, size});
        }
    }
    for (int i = 0; i < 2; ++i) {
        const std::uint64_t at = kInfo2Offset + 104 + 8 * i;
        const std::uint32_t size = f.U32(at, "a bucket descriptor block size");
        const std::uint32_t position = f.U32(at + 4, "a bucket descriptor block position");
        if (position != 0) {
            m_header.descriptorBlocks.push_back({position * kUnit, size});
        }
    }
    if (m_header.descriptorBlocks.empty()) {
        throw NotesError(
            QStringLiteral("The database %1 is damaged: it records no bucket descriptor block")
                .arg(f.Path()));
    }
    for (const FileBlock& block : m_header.descriptorBlocks) {
        if (!f.Contains(block.offset, block.size)) {
            throw NotesError(QStringLiteral("The database %1 is damaged or truncated: its bucket "
                                            "descriptor block at %2 lies outside the file")
                                 .arg(f.Path())
                                 .arg(block.offset));
        }
    }
}

std::vector<NoteRecord> NsfDatabase::Notes() const {
    std::vector<NoteRecord> notes;
    std::unordered_set<std::uint32_t> seen;
    m_damaged = 0;
    m_slotted.clear();
    m_rrvBuckets.clear();
    const NsfFile& f = *m_file;
    // Buckets start on 256-byte boundaries after the header; the walk steps over each
    // bucket it reads and over every other unit, so it ends after Size()/256 steps at most.
    std::uint64_t at = m_header.headerSize;
    while (f.Contains(at, kBucketHeaderSize)) {
        const auto head = f.Bytes(at, kBucketHeaderSize, "a bucket header");
        if (head[0] == kRrvSignature && head[1] == kRrvHeaderSize &&
            f.Contains(at, kRrvBucketSize)) {
            m_rrvBuckets.emplace(Le32(head, 6), at);
            at += kRrvBucketSize;
            continue;
        }
        if (head[0] == kBucketSignature && head[1] == kBucketHeaderSize) {
            const std::uint32_t size = Le32(head, 6);
            if (size > kBucketHeaderSize && size <= kMaxBucketSize && f.Contains(at, size)) {
                ReadBucket(at, size, notes, seen);
                at += (std::uint64_t{size} + kUnit - 1) / kUnit * kUnit;
                continue;
            }
            ++m_damaged;
        }
        at += kUnit;
    }
    return notes;
}

void NsfDatabase::ReadBucket(std::uint64_t offset, std::uint32_t size, std::vector<NoteRecord>& out,
                             std::unordered_set<std::uint32_t>& seen) const {
    const auto bucket = m_file->Bytes(offset, size, "a bucket");
    const std::uint32_t slotCount = Le32(bucket, 44);
    const std::uint32_t footer = Le32(bucket, 50);
    // The slot index runs backwards from just before the footer.
    if (footer > size || slotCount > (size - kBucketHeaderSize) / 4 ||
        std::uint64_t{slotCount} * 4 + footer > size - kBucketHeaderSize) {
        ++m_damaged;
        return;
    }
    const std::uint32_t indexStart = size - footer - slotCount * 4;
    for (std::uint32_t slot = 0; slot < slotCount; ++slot) {
        const std::size_t entry = size - footer - 4 * (slot + 1);
        const std::uint32_t start = Le16(bucket, entry);
        const std::uint32_t length = Le16(bucket, entry + 2);
        if (start == 0 && length == 0) {
            continue;  // a free slot
        }
        if (start < kBucketHeaderSize || start > indexStart || length > indexStart - start) {
            ++m_damaged;
            continue;
        }
        if (length >= kNonSummaryHeaderSize && bucket[start] == kNonSummarySignature &&
            bucket[start + 1] == 0) {
            // Large values of a note, kept in a slot of their own.
            const std::uint32_t recorded = Le32(bucket, start + 2);
            if (recorded >= kNonSummaryHeaderSize && recorded <= indexStart - start) {
                m_slotted.emplace(Le32(bucket, start + 6), FileBlock{offset + start, recorded});
            }
            continue;
        }
        if (length < kNoteHeaderSize || bucket[start] != kNoteSignature || bucket[start + 1] != 0) {
            continue;  // a record of another kind
        }
        const std::uint32_t recorded = Le32(bucket, start + 2);
        if (recorded < kNoteHeaderSize) {
            continue;  // a small record of another kind
        }
        // Slot lengths are recorded to a multiple of four below the note's own size.
        if (recorded > length + 3 || recorded > indexStart - start) {
            ++m_damaged;
            continue;
        }
        NoteRecord note;
        note.offset = offset + start;
        note.size = recorded;
        note.id = Le32(bucket, start + 6);
        note.noteClass = Le16(bucket, start + 40);
        note.itemCount = Le16(bucket, start + 50);
        if (!seen.insert(note.id).second) {
            continue;
        }
        out.push_back(note);
    }
}

const NameTable& NsfDatabase::Names() const {
    if (m_names) {
        return *m_names;
    }
    if (!m_namesError.isEmpty()) {
        throw NotesError(m_namesError);
    }
    const NsfFile& f = *m_file;
    // The newer of the two copies first: its modification time is in its header.
    std::vector<FileBlock> blocks = m_header.descriptorBlocks;
    const auto modified = [&](const FileBlock& b) {
        const auto head = f.Bytes(b.offset, kDescriptorBlockHeaderSize, "a descriptor block");
        return (std::uint64_t{Le32(head, 22) & 0x00FFFFFFu} << 32) | Le32(head, 18);
    };
    std::stable_sort(blocks.begin(), blocks.end(), [&](const FileBlock& a, const FileBlock& b) {
        return modified(a) > modified(b);
    });
    QStringList reasons;
    for (const FileBlock& block : blocks) {
        const auto bytes = f.Bytes(block.offset, block.size, "a descriptor block");
        if (bytes.size() < kDescriptorBlockHeaderSize + 8) {
            reasons << QStringLiteral("a descriptor block is too small");
            continue;
        }
        DescriptorCounts counts{Le32(bytes, 26), Le32(bytes, 34)};
        const std::uint32_t packed = Le32(bytes, kDescriptorBlockHeaderSize);
        if (packed > bytes.size() - kDescriptorBlockHeaderSize - 8) {
            reasons << QStringLiteral("a descriptor block's data runs past its end");
            continue;
        }
        QString why;
        const auto plain = CxDecompress(bytes.subspan(kDescriptorBlockHeaderSize + 8, packed),
                                        kMaxDescriptorBlock, &why);
        if (!plain) {
            reasons << why;
            continue;
        }
        if (auto table = FindNameTable(plain->bytes, counts, &why)) {
            m_names = std::move(table);
            return *m_names;
        }
        reasons << why;
    }
    m_namesError = QStringLiteral("The item names of %1 cannot be read: %2")
                       .arg(f.Path(), reasons.join(QStringLiteral("; ")));
    throw NotesError(m_namesError);
}

std::span<const std::uint8_t> NsfDatabase::NonSummary(const NoteRecord& note,
                                                      std::uint32_t needed) const {
    const NsfFile& f = *m_file;
    const std::uint32_t position = f.U32(note.offset + 56, "a non-summary position");
    const auto fromRecord = [&](const FileBlock& block) -> std::span<const std::uint8_t> {
        const auto record = f.Bytes(block.offset, block.size, "non-summary data");
        if (record.size() < kNonSummaryHeaderSize || record[0] != kNonSummarySignature ||
            Le32(record, 6) != note.id || record.size() - kNonSummaryHeaderSize < needed) {
            throw NotesError(QStringLiteral("The database %1 is damaged: the large values of "
                                            "note %2 do not match their record")
                                 .arg(f.Path())
                                 .arg(note.id, 0, 16));
        }
        return record.subspan(kNonSummaryHeaderSize, needed);
    };
    if ((position & 0x80000000u) == 0 && position != 0 &&
        f.Contains(std::uint64_t{position} * kUnit, kNonSummaryHeaderSize)) {
        const std::uint64_t at = std::uint64_t{position} * kUnit;
        if (f.U8(at, "a non-summary object") == kNonSummarySignature) {
            return fromRecord({at, f.U32(at + 2, "a non-summary object size")});
        }
    }
    if (m_slotted.empty()) {
        Notes();
    }
    const auto slot = m_slotted.find(note.id);
    if (slot == m_slotted.end()) {
        throw NotesError(QStringLiteral("The large values of note %1 in %2 cannot be found")
                             .arg(note.id, 0, 16)
                             .arg(f.Path()));
    }
    return fromRecord(slot->second);
}

std::vector<NoteItem> NsfDatabase::Items(const NoteRecord& note) const {
    const NsfFile& f = *m_file;
    const auto record = f.Bytes(note.offset, note.size, "a note");
    const std::size_t descriptors = kNoteHeaderSize + std::size_t{8} * note.itemCount;
    if (descriptors > record.size()) {
        throw NotesError(QStringLiteral("The database %1 is damaged: note %2 records more "
                                        "items than it holds")
                             .arg(f.Path())
                             .arg(note.id, 0, 16));
    }
    const NameTable* names = nullptr;
    try {
        names = &Names();
    } catch (const NotesError&) {
        names = nullptr;  // items stay reachable by index
    }
    std::vector<NoteItem> items(note.itemCount);
    std::uint64_t summary = 0;
    std::uint64_t large = 0;
    for (std::uint16_t i = 0; i < note.itemCount; ++i) {
        const auto d = record.subspan(kNoteHeaderSize + std::size_t{8} * i, 8);
        const std::uint16_t index = Le16(d, 0);
        NoteItem& item = items[i];
        item.flags = Le16(d, 2);
        if (names != nullptr && index < names->names.size()) {
            item.name = names->names[index].name;
            item.type = names->names[index].type;
        } else {
            item.name = QStringLiteral("#%1").arg(index);
        }
        ((item.flags & kItemSummary) != 0 ? summary : large) += Le16(d, 4);
    }
    if (summary > record.size() - descriptors) {
        throw NotesError(QStringLiteral("The database %1 is damaged: the values of note %2 "
                                        "run past its end")
                             .arg(f.Path())
                             .arg(note.id, 0, 16));
    }
    // Large values follow the summary ones inside the note while they fit there, in item
    // order; the others are a record of their own (its size tells which went where).
    const std::size_t room = record.size() - descriptors - static_cast<std::size_t>(summary);
    std::vector<bool> inside(note.itemCount, false);
    std::uint64_t inlined = 0;
    std::uint64_t apart = 0;
    for (std::uint16_t i = 0; i < note.itemCount; ++i) {
        if ((items[i].flags & kItemSummary) != 0) {
            continue;
        }
        const std::uint16_t size = Le16(record.subspan(kNoteHeaderSize + std::size_t{8} * i, 8), 4);
        if (apart == 0 && inlined + size <= room) {
            inside[i] = true;
            inlined += size;
        } else {
            apart += size;
        }
    }
    const std::span<const std::uint8_t> separate =
        apart > 0 ? NonSummary(note, static_cast<std::uint32_t>(apart))
                  : std::span<const std::uint8_t>();
    std::size_t summaryAt = descriptors;
    std::size_t inlineAt = descriptors + static_cast<std::size_t>(summary);
    std::size_t separateAt = 0;
    for (std::uint16_t i = 0; i < note.itemCount; ++i) {
        const std::uint16_t size = Le16(record.subspan(kNoteHeaderSize + std::size_t{8} * i, 8), 4);
        if ((items[i].flags & kItemSummary) != 0) {
            items[i].value = record.subspan(summaryAt, size);
            summaryAt += size;
        } else if (inside[i]) {
            items[i].value = record.subspan(inlineAt, size);
            inlineAt += size;
        } else {
            items[i].value = separate.subspan(separateAt, size);
            separateAt += size;
        }
    }
    // Without this flag a value starts with its own type word, which then is the item's
    // type (the name table's may differ). Some notes store bare values all the same, so
    // only a word that names a type counts as one: classes 0 to 7, small subtypes.
    const auto isType = [](std::uint16_t t) { return (t >> 8) <= 7 && (t & 0xFF) < 0x40; };
    for (NoteItem& item : items) {
        if ((item.flags & kItemBareValue) == 0 && item.value.size() >= 2 &&
            isType(Le16(item.value, 0))) {
            item.type = Le16(item.value, 0);
            item.value = item.value.subspan(2);
        }
    }
    return items;
}

std::span<const std::uint8_t> NsfDatabase::Object(std::uint32_t rrv) const {
    const NsfFile& f = *m_file;
    if (m_rrvBuckets.empty()) {
        Notes();
    }
    const auto missing = [&](const char* why) {
        return NotesError(QStringLiteral("Object %1 of %2 cannot be read: %3")
                              .arg(rrv, 0, 16)
                              .arg(f.Path(), QLatin1String(why)));
    };
    // IDs step by four; each bucket maps kRrvEntries of them from its first.
    for (const auto& [first, bucket] : m_rrvBuckets) {
        if (rrv < first || (rrv - first) % 4 != 0 || (rrv - first) / 4 >= kRrvEntries) {
            continue;
        }
        const std::uint64_t entry = bucket + kRrvHeaderSize + std::uint64_t{(rrv - first) / 4} * 8;
        const std::uint32_t position = f.U32(entry, "a relocation entry");
        if (position == 0xFFFFFFFFu || position == 0) {
            throw missing("it is not in use");
        }
        if ((position & 0x80000000u) != 0) {
            throw missing("it is kept in a bucket slot, which is not read yet");
        }
        const std::uint64_t at = std::uint64_t{position} * kUnit;
        const auto header = f.Bytes(at, kObjectHeaderSize, "an object header");
        const std::uint32_t size = Le32(header, 2);
        if (Le16(header, 0) != kObjectSignature || size < kObjectHeaderSize) {
            throw missing("its header is damaged");
        }
        return f.Bytes(at + kObjectHeaderSize, size - kObjectHeaderSize, "an object");
    }
    throw missing("no relocation bucket maps it");
}

}  // namespace velmora::nsf
