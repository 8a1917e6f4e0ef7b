#include "components/nsf/NsfDatabase.h"

#include "components/richtext/Lmbcs.h"
#include "notes/NotesError.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <unordered_map>
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
constexpr std::uint8_t kLargeSignature = 0x10;
constexpr std::uint8_t kRrvSignature = 0x06;
constexpr std::uint8_t kRrvHeaderSize = 0x20;
constexpr std::uint32_t kRrvBucketSize = 4096;
constexpr std::uint32_t kRrvEntries = (kRrvBucketSize - kRrvHeaderSize) / 8;
// Objects of on-disk structure 43 and before, and of the newer ones.
constexpr std::uint16_t kObjectSignature = 0x0007;
constexpr std::uint32_t kObjectHeaderSize = 22;
constexpr std::uint16_t kLongObjectSignature = 0x001B;
constexpr std::uint32_t kLongObjectHeaderSize = 115;
constexpr std::uint32_t kNoteHeaderSize = 100;
// Buckets are 4 to 32 KB in every sample; anything far beyond is damage.
constexpr std::uint32_t kMaxBucketSize = 1u << 20;
// An entry of a relocation bucket in a summary bucket: bucket index, then slot.
constexpr std::uint32_t kInBucket = 0x80000000u;
constexpr std::uint32_t kSlotMask = 0x07FF;

bool PlausibleHeaderSize(std::uint32_t size) {
    return size == 0x400 || size == 0x800;
}

QString Hex(std::uint64_t value) {
    return QStringLiteral("0x%1").arg(value, 0, 16);
}

// Ciphertext spreads its bytes evenly; the file's own structures (and the zeros or fill
// of a damaged region) never do. A chi-square test over 256 byte values.
bool LooksEnciphered(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 1024) {
        return false;
    }
    std::array<std::size_t, 256> counts{};
    for (const std::uint8_t b : bytes) {
        ++counts[b];
    }
    const double expected = static_cast<double>(bytes.size()) / 256;
    double chi = 0;
    for (const std::size_t c : counts) {
        chi += (static_cast<double>(c) - expected) * (static_cast<double>(c) - expected) / expected;
    }
    // Uniform bytes give about 255 (deviation 23); text and tables give thousands.
    return chi < 400;
}

}  // namespace

// A bucket's slot index, read backwards from just before its footer.
struct NsfDatabase::Bucket {
    std::span<const std::uint8_t> bytes;
    std::uint32_t slotCount = 0;
    std::uint32_t indexStart = 0;
    std::uint32_t footer = 0;

    // Reads the header at `offset`; nothing when it is no bucket or its index is damaged.
    static std::optional<Bucket> At(const NsfFile& f, std::uint64_t offset) {
        if (!f.Contains(offset, kBucketHeaderSize)) {
            return std::nullopt;
        }
        const auto head = f.Bytes(offset, kBucketHeaderSize, "a bucket header");
        const std::uint32_t size = Le32(head, 6);
        if (head[0] != kBucketSignature || head[1] != kBucketHeaderSize ||
            size <= kBucketHeaderSize || size > kMaxBucketSize || !f.Contains(offset, size)) {
            return std::nullopt;
        }
        Bucket b;
        b.bytes = f.Bytes(offset, size, "a bucket");
        b.slotCount = Le32(b.bytes, 44);
        b.footer = Le32(b.bytes, 50);
        if (b.footer > size || b.slotCount > (size - kBucketHeaderSize) / 4 ||
            std::uint64_t{b.slotCount} * 4 + b.footer > size - kBucketHeaderSize) {
            return std::nullopt;
        }
        b.indexStart = size - b.footer - b.slotCount * 4;
        return b;
    }
    std::uint16_t Index() const { return Le16(bytes, 2); }
    // The record in slot `slot` (0-based): empty for a free slot, nothing when damaged.
    std::optional<std::span<const std::uint8_t>> Slot(std::uint32_t slot) const {
        const std::size_t entry = bytes.size() - footer - 4 * (slot + 1);
        const std::uint32_t start = Le16(bytes, entry);
        const std::uint32_t length = Le16(bytes, entry + 2);
        if (start == 0 && length == 0) {
            return std::span<const std::uint8_t>();
        }
        if (start < kBucketHeaderSize || start > indexStart || length > indexStart - start) {
            return std::nullopt;
        }
        // Slot lengths are recorded to a multiple of four below the record's own size.
        return bytes.subspan(start, std::min<std::size_t>(length + 3, indexStart - start));
    }
};

bool LooksLikeNsf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(6);
    if (head.size() < 6) {
        return false;
    }
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(head.data()),
                                              6);
    return Le16(bytes, 0) == kFileSignature && PlausibleHeaderSize(Le32(bytes, 2));
}

std::unique_ptr<NsfDatabase> NsfDatabase::Open(const QString& path) {
    auto database = std::unique_ptr<NsfDatabase>(new NsfDatabase(NsfFile::Open(path)));
    database->ReadHeader();
    database->ReadBlocks();
    database->ListNotes();
    return database;
}

NsfDatabase::NsfDatabase(std::unique_ptr<NsfFile> file) : m_file(std::move(file)) {}
NsfDatabase::~NsfDatabase() = default;

void NsfDatabase::Damaged(const QString& what) const {
    QString reason = what;
    if (m_file->Size() < m_header.recordedSize) {
        reason += QStringLiteral(" (the file is cut short: %1 of its %2 bytes)")
                      .arg(m_file->Size())
                      .arg(m_header.recordedSize);
    }
    throw NotesError(QStringLiteral("The database %1 is damaged: %2").arg(m_file->Path(), reason));
}

void NsfDatabase::ReadHeader() {
    const NsfFile& f = *m_file;
    if (f.Size() < 6 || f.U16(0, "the file signature") != kFileSignature) {
        throw NotesError(QStringLiteral("%1 is not a Notes database").arg(f.Path()));
    }
    m_header.headerSize = f.U32(2, "the header size");
    if (!PlausibleHeaderSize(m_header.headerSize)) {
        throw NotesError(QStringLiteral("%1 is not a Notes database: header size %2 is not valid")
                             .arg(f.Path())
                             .arg(m_header.headerSize));
    }
    if (!f.Contains(0, m_header.headerSize)) {
        Damaged(QStringLiteral("its header is cut short at %1 bytes").arg(f.Size()));
    }
    m_header.odsVersion = f.U32(6, "the on-disk structure version");
    m_header.recordedSize = std::uint64_t{f.U32(88, "the recorded file size")} * kUnit;

    const auto info = f.Bytes(kInfoOffset, kInfoSize, "the database info");
    const auto end = std::find(info.begin(), info.end(), std::uint8_t{0});
    const QString text =
        richtext::FromLmbcs(info.first(static_cast<std::size_t>(end - info.begin())));
    m_header.infoLines = text.split(QLatin1Char('\n'));

    for (int i = 0; i < 4; ++i) {
        const std::uint64_t at = kInfo2Offset + 40 + 8 * i;
        const std::uint32_t position = f.U32(at, "a superblock position");
        if (position != 0) {
            m_header.superblocks.push_back({position * kUnit, f.U32(at + 4, "a superblock size")});
        }
    }
    for (int i = 0; i < 2; ++i) {
        const std::uint64_t at = kInfo2Offset + 104 + 8 * i;
        const std::uint32_t position = f.U32(at + 4, "a bucket descriptor block position");
        if (position != 0) {
            m_header.descriptorBlocks.push_back(
                {position * kUnit, f.U32(at, "a bucket descriptor block size")});
        }
    }
}

void NsfDatabase::ReadBlocks() {
    const NsfFile& f = *m_file;
    const auto stored = [&](const FileBlock& block) -> std::span<const std::uint8_t> {
        if (block.offset >= f.Size()) {
            return {};
        }
        return f.Bytes(block.offset, std::min<std::uint64_t>(block.size, f.Size() - block.offset),
                       "a compressed block");
    };
    // The copy its header calls the latest is read first; the other only when it fails.
    const auto latestFirst = [&](std::vector<FileBlock> blocks, auto key) {
        std::stable_sort(blocks.begin(), blocks.end(), [&](const FileBlock& a, const FileBlock& b) {
            return key(stored(a)) > key(stored(b));
        });
        return blocks;
    };
    const auto field = [](std::size_t at, std::size_t length) {
        return [at, length](std::span<const std::uint8_t> b) -> std::uint64_t {
            if (b.size() < at + length) {
                return 0;
            }
            return length == 4 ? Le32(b, at)
                               : (std::uint64_t{Le32(b, at + 4) & 0x00FFFFFFu} << 32) | Le32(b, at);
        };
    };
    QStringList reasons;
    bool unsupported = false;
    bool enciphered = !m_header.descriptorBlocks.empty();
    for (const FileBlock& block : latestFirst(m_header.descriptorBlocks, field(10, 4))) {
        CxFailure failure;
        auto read = ReadDescriptorBlock(stored(block), failure);
        if (read) {
            m_descriptor = std::move(*read);
            enciphered = false;
            reasons.clear();
            break;
        }
        reasons << QStringLiteral("its bucket descriptor block at %1: %2")
                       .arg(Hex(block.offset), failure.reason);
        unsupported = unsupported || failure.unsupported;
        enciphered = enciphered && LooksEnciphered(stored(block));
    }
    if (!reasons.isEmpty() || m_header.descriptorBlocks.empty()) {
        if (enciphered) {
            throw NotesError(QStringLiteral("The database %1 is locally encrypted: its structures "
                                            "are enciphered for its owner's Notes ID")
                                 .arg(f.Path()));
        }
        if (unsupported) {
            throw NotesError(QStringLiteral("The database %1 uses a form of compression (%2) "
                                            "which Velmora cannot read yet")
                                 .arg(f.Path(), reasons.join(QStringLiteral("; "))));
        }
        Damaged(reasons.isEmpty() ? QStringLiteral("it records no bucket descriptor block")
                                  : reasons.join(QStringLiteral("; ")));
    }

    for (const FileBlock& block : latestFirst(m_header.superblocks, field(2, 8))) {
        CxFailure failure;
        if (auto read = ReadSuperblock(stored(block), failure)) {
            m_superblock = std::move(read);
            break;
        }
        // The third slot holds no superblock on any file; only real ones are reported.
        if (stored(block).size() >= 2 && Le16(stored(block), 0) == 0x000E) {
            m_damage.reasons << QStringLiteral("its superblock at %1: %2")
                                    .arg(Hex(block.offset), failure.reason);
        }
    }
}

void NsfDatabase::ListNotes() {
    const NsfFile& f = *m_file;
    if (m_superblock) {
        // Each descriptor must lead to a bucket that counts itself at that place; if one
        // does not, the list cannot be trusted and the walk decides.
        for (std::size_t i = 0; i < m_superblock->summaryBuckets.size(); ++i) {
            const std::uint64_t at = m_superblock->summaryBuckets[i];
            const auto bucket = Bucket::At(f, at);
            if (bucket && bucket->Index() != i) {
                m_damage.reasons << QStringLiteral(
                                        "its superblock lists a bucket at %1 that "
                                        "is not its bucket %2")
                                        .arg(Hex(at))
                                        .arg(i);
                m_superblock.reset();
                break;
            }
        }
    }
    if (!m_superblock) {
        WalkBuckets();
    } else {
        std::vector<std::uint16_t> lost;
        for (std::size_t i = 0; i < m_superblock->summaryBuckets.size(); ++i) {
            const std::uint64_t at = m_superblock->summaryBuckets[i];
            if (!Bucket::At(f, at)) {
                ++m_damage.buckets;
                m_damage.reasons
                    << QStringLiteral("its summary bucket at %1 cannot be read").arg(Hex(at));
                lost.push_back(static_cast<std::uint16_t>(i + 1));
                continue;
            }
            const int before = m_damage.records;
            ReadSummaryBucket(at, static_cast<std::uint16_t>(i + 1));
            if (m_damage.records != before) {
                m_damage.reasons << QStringLiteral(
                                        "its summary bucket at %1 holds %2 damaged "
                                        "records")
                                        .arg(Hex(at))
                                        .arg(m_damage.records - before);
            }
        }
        // A damaged record may have been any note: each is counted as a document.
        m_damage.documents += static_cast<std::size_t>(m_damage.records);
        if (!lost.empty()) {
            CountLostDocuments(lost);
        }
    }
    if (m_notes.empty() && m_superblock && !m_superblock->summaryBuckets.empty()) {
        // Intact maps over buckets of noise: the notes are enciphered.
        const std::uint64_t at = m_superblock->summaryBuckets.front();
        if (f.Contains(at, 4096) && LooksEnciphered(f.Bytes(at, 4096, "a bucket"))) {
            throw NotesError(QStringLiteral("The database %1 is locally encrypted: its notes are "
                                            "enciphered for its owner's Notes ID")
                                 .arg(f.Path()));
        }
    }
}

void NsfDatabase::ReadSummaryBucket(std::uint64_t offset, std::uint16_t index) {
    const auto bucket = Bucket::At(*m_file, offset);
    for (std::uint32_t slot = 0; slot < bucket->slotCount; ++slot) {
        const auto record = bucket->Slot(slot);
        if (!record) {
            ++m_damage.records;
            continue;
        }
        if (record->empty() ||
            (record->size() >= 2 && (*record)[0] == kLargeSignature && (*record)[1] == 0)) {
            continue;  // free, or large values kept in a bucket slot
        }
        if (record->size() < 6 || (*record)[0] != kNoteSignature || (*record)[1] != 0) {
            ++m_damage.records;
            continue;
        }
        const std::uint32_t recorded = Le32(*record, 2);
        if (recorded < kNoteHeaderSize) {
            continue;  // a stub shorter than any note's header (seen on jnx-sample.nsf)
        }
        if (recorded > record->size()) {
            ++m_damage.records;
            continue;
        }
        NoteRecord note;
        note.offset = offset + static_cast<std::uint64_t>(record->data() - bucket->bytes.data());
        note.size = recorded;
        note.id = Le32(*record, 6);
        note.noteClass = Le16(*record, 40);
        note.itemCount = Le16(*record, 50);
        // The originator ID follows the note ID: the file's number, then this time.
        note.created = {Le32(*record, 18), Le32(*record, 22)};
        note.fileId = {Le32(*record, 10), Le32(*record, 14)};
        const auto [same, added] = m_noteIndex.emplace(note.id, m_notes.size());
        if (added) {
            m_notes.push_back(note);
        } else if (index != 0) {
            // An older copy left in place: the relocation entry names the current one.
            const auto where = Relocation(note.id);
            if (where && where->first == (kInBucket | index) &&
                (where->second & kSlotMask) == slot + 1) {
                m_notes[same->second] = note;
            }
        }
    }
}

void NsfDatabase::WalkBuckets() {
    const NsfFile& f = *m_file;
    // Buckets start on 256-byte boundaries after the header; the walk steps over each
    // bucket it reads and over every other unit, so it ends after Size()/256 steps at most.
    std::uint64_t at = m_header.headerSize;
    while (f.Contains(at, kBucketHeaderSize)) {
        const auto head = f.Bytes(at, kBucketHeaderSize, "a bucket header");
        if (head[0] == kRrvSignature && head[1] == kRrvHeaderSize &&
            f.Contains(at, kRrvBucketSize)) {
            at += kRrvBucketSize;
            continue;
        }
        if (head[0] == kBucketSignature && head[1] == kBucketHeaderSize) {
            if (const auto bucket = Bucket::At(f, at)) {
                m_walkedBuckets.push_back(at);
                ReadSummaryBucket(at, 0);
                at += (bucket->bytes.size() + kUnit - 1) / kUnit * kUnit;
                continue;
            }
            ++m_damage.buckets;
            ++m_damage.documents;
            m_damage.reasons << QStringLiteral("a bucket at %1 cannot be read").arg(Hex(at));
        }
        at += kUnit;
    }
    m_damage.documents += static_cast<std::size_t>(m_damage.records);
}

std::optional<std::pair<std::uint32_t, std::uint32_t>> NsfDatabase::Relocation(
    std::uint32_t id) const {
    for (const RrvBucketRef& ref : m_descriptor.rrvBuckets) {
        if (id < ref.firstId || (id - ref.firstId) % 4 != 0 ||
            (id - ref.firstId) / 4 >= kRrvEntries) {
            continue;
        }
        const std::uint64_t entry =
            ref.offset + kRrvHeaderSize + std::uint64_t{(id - ref.firstId) / 4} * 8;
        if (!m_file->Contains(entry, 8)) {
            return std::nullopt;
        }
        return std::make_pair(m_file->U32(entry, "a relocation entry"),
                              m_file->U32(entry + 4, "a relocation entry"));
    }
    return std::nullopt;
}

void NsfDatabase::CountLostDocuments(const std::vector<std::uint16_t>& lost) {
    const NsfFile& f = *m_file;
    // Per bucket: how many notes the relocation buckets place there, and how many of them
    // are documents not listed.
    std::unordered_map<std::uint16_t, std::pair<std::size_t, std::size_t>> placed;
    // Each bucket once, however often a damaged block names it: the work stays within
    // the file's size.
    std::unordered_set<std::uint64_t> seen;
    for (const RrvBucketRef& ref : m_descriptor.rrvBuckets) {
        if (!f.Contains(ref.offset, kRrvBucketSize) || !seen.insert(ref.offset).second) {
            continue;
        }
        const auto entries = f.Bytes(ref.offset + kRrvHeaderSize, kRrvEntries * 8, "relocations");
        for (std::uint32_t i = 0; i < kRrvEntries; ++i) {
            const std::uint32_t where = Le32(entries, 8 * i);
            if ((where & kInBucket) == 0 || where == 0xFFFFFFFFu) {
                continue;
            }
            auto& [notes, documents] = placed[static_cast<std::uint16_t>(where & 0xFFFF)];
            ++notes;
            if (!ref.nonData && !m_noteIndex.contains(ref.firstId + 4 * i)) {
                ++documents;
            }
        }
    }
    for (const std::uint16_t bucket : lost) {
        const auto it = placed.find(bucket);
        // A bucket the relocation buckets say nothing of still held at least one.
        m_damage.documents += it == placed.end() ? 1 : it->second.second;
    }
}

std::span<const std::uint8_t> NsfDatabase::LargeValues(const NoteRecord& note,
                                                       std::uint32_t position) const {
    const NsfFile& f = *m_file;
    constexpr std::uint32_t kRecordHeader = 68;
    const auto matches = [&](std::span<const std::uint8_t> r) {
        return r.size() >= kRecordHeader && r[0] == kLargeSignature && r[1] == 0 &&
               Le32(r, 6) == note.id && Le32(r, 2) >= kRecordHeader && Le32(r, 2) <= r.size();
    };
    const auto payload = [&](std::span<const std::uint8_t> r) {
        return r.subspan(kRecordHeader, Le32(r, 2) - kRecordHeader);
    };
    if ((position & kInBucket) == 0) {
        const std::uint64_t at = std::uint64_t{position} * kUnit;
        if (f.Contains(at, kRecordHeader)) {
            const std::uint32_t size = f.U32(at + 2, "a large-value record");
            if (f.Contains(at, size) && matches(f.Bytes(at, size, "a large-value record"))) {
                return payload(f.Bytes(at, size, "a large-value record"));
            }
        }
        return {};
    }
    // In a non-summary bucket: its number in the low word, the slot in the high byte.
    std::vector<std::uint64_t> candidates;
    const std::uint32_t index = position & 0xFFFF;
    if (m_superblock) {
        if (index >= 1 && index <= m_superblock->nonSummaryBuckets.size()) {
            candidates.push_back(m_superblock->nonSummaryBuckets[index - 1]);
        }
    } else {
        candidates = m_walkedBuckets;
    }
    const std::uint32_t hint = (position >> 24) & 0x7F;
    for (const std::uint64_t at : candidates) {
        const auto bucket = Bucket::At(f, at);
        if (!bucket) {
            continue;
        }
        if (hint >= 1 && hint <= bucket->slotCount) {
            if (const auto r = bucket->Slot(hint - 1); r && matches(*r)) {
                return payload(*r);
            }
        }
        for (std::uint32_t slot = 0; slot < bucket->slotCount; ++slot) {
            if (const auto r = bucket->Slot(slot); r && matches(*r)) {
                return payload(*r);
            }
        }
    }
    return {};
}

std::span<const std::uint8_t> NsfDatabase::Object(std::uint32_t rrv) const {
    const NsfFile& f = *m_file;
    const auto missing = [&](const QString& why) {
        return NotesError(
            QStringLiteral("Object %1 of %2 cannot be read: %3").arg(Hex(rrv), f.Path(), why));
    };
    const auto where = Relocation(rrv);
    if (!where) {
        throw missing(QStringLiteral("no relocation bucket maps it"));
    }
    const std::uint32_t position = where->first;
    if (position == 0xFFFFFFFFu || position == 0) {
        throw missing(QStringLiteral("it is not in use"));
    }
    if ((position & kInBucket) != 0) {
        throw missing(QStringLiteral("it is kept in a bucket slot, which Velmora cannot read yet"));
    }
    const std::uint64_t at = std::uint64_t{position} * kUnit;
    if (!f.Contains(at, kObjectHeaderSize)) {
        throw missing(QStringLiteral("it lies outside the file"));
    }
    const auto header = f.Bytes(at, kObjectHeaderSize, "an object header");
    const std::uint32_t size = Le32(header, 2);
    const std::uint16_t signature = Le16(header, 0);
    const std::uint32_t headerSize = signature == kObjectSignature       ? kObjectHeaderSize
                                     : signature == kLongObjectSignature ? kLongObjectHeaderSize
                                                                         : 0;
    if (headerSize == 0 || size < headerSize || !f.Contains(at, size)) {
        throw missing(QStringLiteral("its header is damaged"));
    }
    return f.Bytes(at + headerSize, size - headerSize, "an object");
}

}  // namespace velmora::nsf
