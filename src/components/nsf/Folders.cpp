#include "components/nsf/Folders.h"

#include "notes/NotesError.h"

namespace velmora::nsf {

namespace {

constexpr std::uint16_t kFolderSignature = 0xF5F5;
constexpr std::uint16_t kFolderObjectType = 9;
constexpr std::size_t kCountAt = 84;
constexpr std::size_t kEntrySize = 36;
constexpr std::size_t kNoteIdAt = 16;

}  // namespace

std::optional<std::vector<std::uint32_t>> FolderNoteIds(const NsfDatabase& db,
                                                        const std::vector<NoteItem>& folder,
                                                        QString* why) {
    const auto fail = [&](const QString& reason) {
        *why = reason;
        return std::nullopt;
    };
    const NoteItem* object = nullptr;
    for (const NoteItem& item : folder) {
        if (item.name.compare(QLatin1String("$FolderObject"), Qt::CaseInsensitive) == 0) {
            object = &item;
            break;
        }
    }
    // The item holds an object descriptor: its object type, then its relocation ID.
    if (object == nullptr || object->value.size() < 6 ||
        Le16(object->value, 0) != kFolderObjectType) {
        return fail(QStringLiteral("it has no folder object"));
    }
    std::span<const std::uint8_t> data;
    try {
        data = db.Object(Le32(object->value, 2));
    } catch (const notes::NotesError& e) {
        return fail(e.Message());
    }
    if (data.size() < kCountAt + 4 || Le16(data, 0) != kFolderSignature) {
        return fail(QStringLiteral("its folder object is damaged"));
    }
    const std::uint64_t count = Le32(data, kCountAt);
    if (count > (data.size() - kCountAt - 4) / kEntrySize) {
        return fail(QStringLiteral("its folder object lists more entries than it holds"));
    }
    std::vector<std::uint32_t> ids;
    ids.reserve(count);
    const std::size_t first = data.size() - count * kEntrySize;
    for (std::size_t i = 0; i < count; ++i) {
        ids.push_back(Le32(data, first + i * kEntrySize + kNoteIdAt));
    }
    return ids;
}

}  // namespace velmora::nsf
