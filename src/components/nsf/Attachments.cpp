#include "components/nsf/Attachments.h"

#include "components/nsf/Huffman.h"
#include "components/nsf/Lmbcs.h"
#include "components/nsf/NsfDatabase.h"
#include "notes/NotesError.h"
#include "util/WriteAll.h"

#include <QSaveFile>

#include <vector>

namespace velmora::nsf {

using notes::NotesError;

namespace {

constexpr std::size_t kFileObjectSize = 36;  // object descriptor, file fields

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
    file.compression = Le16(v, 10);
    file.size = Le32(v, 16);
    file.name = FromLmbcs(v.subspan(kFileObjectSize, nameLength));
    return file;
}

bool CanExtract(const FileObject& file, QString* why) {
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

void Extract(const NsfDatabase& db, const FileObject& file, const QString& path) {
    QString why;
    if (!CanExtract(file, &why)) {
        throw NotesError(
            QStringLiteral("The attachment %1 cannot be extracted: %2").arg(file.name, why));
    }
    const auto stored = db.Object(file.object);
    std::span<const std::uint8_t> data = stored;
    std::vector<std::uint8_t> decoded;
    if (static_cast<Compression>(file.compression) == Compression::kHuffman) {
        auto plain = HuffmanDecode(stored, file.size, &why);
        if (!plain) {
            throw NotesError(
                QStringLiteral("The attachment %1 is damaged: %2").arg(file.name, why));
        }
        decoded = std::move(*plain);
        data = decoded;
        if (data.size() != file.size) {
            throw NotesError(QStringLiteral("The attachment %1 is damaged: it decodes to %2 "
                                            "bytes, %3 recorded")
                                 .arg(file.name)
                                 .arg(data.size())
                                 .arg(file.size));
        }
    }
    if (data.size() < file.size) {
        throw NotesError(QStringLiteral("The attachment %1 is damaged: %2 bytes stored, %3 "
                                        "recorded")
                             .arg(file.name)
                             .arg(data.size())
                             .arg(file.size));
    }
    QSaveFile out(path);
    // Unbuffered: a full disk shows at the write, with its reason.
    QString reason =
        out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)
            ? WriteAll(out, reinterpret_cast<const char*>(data.data()), qint64(file.size))
            : out.errorString();
    if (reason.isEmpty() && !out.commit()) {
        reason = out.errorString();
    }
    if (!reason.isEmpty()) {
        throw NotesError(QStringLiteral("The attachment %1 cannot be written to %2: %3")
                             .arg(file.name, path, reason));
    }
}

}  // namespace velmora::nsf
