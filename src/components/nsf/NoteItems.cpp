// The items of a note: where each value is kept, and of which type it is.

#include "components/nsf/Mime.h"
#include "components/nsf/NsfDatabase.h"
#include "components/nsf/Values.h"
#include "notes/NotesError.h"

#include <algorithm>
#include <numeric>

namespace velmora::nsf {

using notes::NotesError;

namespace {

constexpr std::uint32_t kNoteHeaderSize = 100;
constexpr std::uint32_t kDescriptorSize = 8;
// Large-value records are padded to a few bytes past their values.
constexpr std::uint32_t kMaxPadding = 8;

struct Descriptor {
    std::uint16_t index = 0;
    std::uint16_t flags = 0;
    std::uint16_t size = 0;
};

// Whether the bytes can be a value of the type, as far as its layout tells.
bool Fits(std::uint16_t type, std::span<const std::uint8_t> v) {
    switch (type) {
        case kTypeText:
            // Text never opens with a NUL; a stray type word before it does.
            return v.empty() || v[0] != 0;
        case kTypeTextList:
            return IsExactList(v);
        case kTypeNumber:
        case kTypeTime:
            return v.size() == 8;
        case kTypeNumberRange:
        case kTypeTimeRange:
            return IsExactRange(v, 8);
        case kTypeComposite:
            return v.empty() || LooksLikeRichText(v);
        case kTypeMimePart:
            return ParseMimePart(v).has_value();
        case kTypeObject:
            return v.size() >= 6;
        default:
            return IsKnownType(type);
    }
}

// Items whose flags are wrong about where their values are, moved so that the sizes
// agree with the large-value record: one item of exactly the difference, preferring a
// placeholder. False when no single item makes them agree.
bool Reconcile(const std::vector<Descriptor>& items, std::vector<bool>& apart,
               std::int64_t difference) {
    if (difference == 0) {
        return true;
    }
    const bool toApart = difference > 0;
    const auto wanted = static_cast<std::uint64_t>(toApart ? difference : -difference);
    std::optional<std::size_t> pick;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (apart[i] != toApart && items[i].size == wanted &&
            (!pick || ((items[i].flags & kItemPlaceholder) != 0 &&
                       (items[*pick].flags & kItemPlaceholder) == 0))) {
            pick = i;
        }
    }
    if (!pick) {
        return false;
    }
    apart[*pick] = toApart;
    return true;
}

void Type(NoteItem& item, std::uint16_t nameType) {
    const std::span<const std::uint8_t> v = item.value;
    const std::uint16_t word = v.size() >= 2 ? Le16(v, 0) : 0;
    const auto rest = v.size() >= 2 ? v.subspan(2) : v;
    const bool wordFits = word != 0 && IsKnownType(word) && Fits(word, rest);
    const auto own = [&](Typing typing) {
        item.type = word;
        item.value = rest;
        item.typing = typing;
    };
    item.type = nameType;
    item.typing = Typing::kName;
    if ((item.flags & kItemPlaceholder) != 0) {
        item.type = word != 0 ? word : nameType;
        item.value = {};
        item.typing = Typing::kPlaceholder;
    } else if (nameType == 0) {
        if (wordFits) {
            own(Typing::kOwnWordUntyped);
        } else {
            item.typing = Typing::kUnknown;
        }
    } else if ((item.flags & kItemDefaultType) == 0) {
        // Without the default-type flag the value names its own type (some do not).
        if (wordFits) {
            own(word == nameType ? Typing::kOwnWordSame : Typing::kOwnWord);
        }
    } else if (wordFits && word >= kTypeNumber && !Fits(nameType, v)) {
        // With it, a value that cannot be of its name's type but plainly is a number, time
        // or text of the type its first word names is read so (seen once on the samples).
        own(word == nameType ? Typing::kOwnWordSame : Typing::kOwnWord);
    }
}

}  // namespace

const NoteRecord* NsfDatabase::FindNote(std::uint32_t id) const {
    const auto it = m_noteIndex.find(id);
    return it == m_noteIndex.end() ? nullptr : &m_notes[it->second];
}

std::vector<NoteItem> NsfDatabase::Items(const NoteRecord& note) const {
    const NsfFile& f = *m_file;
    const auto damaged = [&](const QString& what) {
        return NotesError(QStringLiteral("The database %1 is damaged: note %2 %3")
                              .arg(f.Path(), QStringLiteral("0x%1").arg(note.id, 0, 16), what));
    };
    if (!f.Contains(note.offset, note.size)) {
        throw damaged(QStringLiteral("lies outside the file"));
    }
    const auto record = f.Bytes(note.offset, note.size, "a note");
    const std::size_t descriptorsEnd =
        kNoteHeaderSize + std::size_t{kDescriptorSize} * note.itemCount;
    if (descriptorsEnd > record.size()) {
        throw damaged(QStringLiteral("records more items than it holds"));
    }
    std::vector<Descriptor> descriptors(note.itemCount);
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
        const auto d = record.subspan(kNoteHeaderSize + kDescriptorSize * i, kDescriptorSize);
        descriptors[i] = {Le16(d, 0), Le16(d, 2), Le16(d, 4)};
    }
    const std::size_t room = record.size() - descriptorsEnd;
    const auto sum = [&](const std::vector<bool>& apart, bool which) {
        std::uint64_t total = 0;
        for (std::size_t i = 0; i < descriptors.size(); ++i) {
            total += apart[i] == which ? descriptors[i].size : 0;
        }
        return total;
    };

    // Values inside the note follow each other in item order; the others are one
    // large-value record (an object, a bucket slot, or right after the inside ones).
    std::vector<bool> apart(descriptors.size(), false);
    std::span<const std::uint8_t> separate;
    const std::uint32_t position = Le32(record, 56);
    if (position != 0) {
        for (std::size_t i = 0; i < descriptors.size(); ++i) {
            apart[i] = (descriptors[i].flags & kItemSummary) == 0;
        }
        separate = LargeValues(note, position);
        std::uint64_t target = separate.size();
        const bool inline_ = separate.empty();
        if (inline_) {
            // The recorded position is stale; the values follow the summary ones.
            target = Le32(record, 60);
        }
        const std::uint64_t listed = sum(apart, true);
        const auto difference =
            static_cast<std::int64_t>(target) - static_cast<std::int64_t>(listed);
        if (!Reconcile(descriptors, apart, difference) &&
            (inline_ || difference < 0 || difference > kMaxPadding)) {
            throw damaged(QStringLiteral("has %1 bytes of large values where its items list %2")
                              .arg(target)
                              .arg(listed));
        }
        if (inline_) {
            const std::uint64_t inside = sum(apart, false);
            if (inside + sum(apart, true) > room) {
                throw damaged(QStringLiteral("has large values that cannot be found"));
            }
            separate = record.subspan(descriptorsEnd + inside, sum(apart, true));
        }
    }
    if (sum(apart, false) > room || sum(apart, true) > separate.size()) {
        throw damaged(QStringLiteral("has values that run past its end"));
    }

    const NameTable& names = Names();
    std::vector<NoteItem> items(descriptors.size());
    std::size_t insideAt = descriptorsEnd;
    std::size_t apartAt = 0;
    for (std::size_t i = 0; i < descriptors.size(); ++i) {
        const Descriptor& d = descriptors[i];
        NoteItem& item = items[i];
        item.flags = d.flags;
        if (apart[i]) {
            item.value = separate.subspan(apartAt, d.size);
            apartAt += d.size;
        } else {
            item.value = record.subspan(insideAt, d.size);
            insideAt += d.size;
        }
        std::uint16_t nameType = 0;
        if (d.index < names.names.size()) {
            item.name = names.names[d.index].name;
            nameType = names.names[d.index].type;
        } else {
            item.name = QStringLiteral("#%1").arg(d.index);
        }
        Type(item, nameType);
    }
    return items;
}

}  // namespace velmora::nsf
