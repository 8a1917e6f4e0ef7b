#include "components/nsf/NsfFile.h"

#include "notes/NotesError.h"

#include <sys/stat.h>

#include <cerrno>

namespace velmora::nsf {

using notes::NotesError;

std::unique_ptr<NsfFile> NsfFile::Open(const QString& path) {
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly)) {
        // Only a missing file is said not to exist; a folder it may not enter is denied.
        struct stat st {};
        if (::stat(QFile::encodeName(path).constData(), &st) != 0 && errno == ENOENT) {
            throw NotesError(QStringLiteral("The database %1 does not exist").arg(path));
        }
        throw NotesError(
            QStringLiteral("The database %1 cannot be opened: %2").arg(path, file->errorString()));
    }
    const qint64 size = file->size();
    if (size <= 0) {
        throw NotesError(QStringLiteral("%1 is empty: it is not a Notes database").arg(path));
    }
    // A read-only private mapping: pages are loaded as they are touched and the file is
    // never written.
    const uchar* data = file->map(0, size);
    if (data == nullptr) {
        throw NotesError(
            QStringLiteral("The database %1 cannot be mapped: %2").arg(path, file->errorString()));
    }
    return std::unique_ptr<NsfFile>(
        new NsfFile(path, std::move(file), data, static_cast<std::uint64_t>(size)));
}

NsfFile::NsfFile(QString path, std::unique_ptr<QFile> file, const std::uint8_t* data,
                 std::uint64_t size)
    : m_path(std::move(path)), m_file(std::move(file)), m_data(data), m_size(size) {}

NsfFile::~NsfFile() {
    m_file->unmap(const_cast<uchar*>(m_data));
}

std::span<const std::uint8_t> NsfFile::Bytes(std::uint64_t offset, std::uint64_t length,
                                             const char* what) const {
    if (!Contains(offset, length)) {
        throw NotesError(QStringLiteral("The database %1 is damaged: %2 (%3 bytes at offset %4) "
                                        "lies outside the file of %5 bytes")
                             .arg(m_path, QLatin1String(what))
                             .arg(length)
                             .arg(offset)
                             .arg(m_size));
    }
    return {m_data + offset, static_cast<std::size_t>(length)};
}

std::uint8_t NsfFile::U8(std::uint64_t offset, const char* what) const {
    return Bytes(offset, 1, what)[0];
}

std::uint16_t NsfFile::U16(std::uint64_t offset, const char* what) const {
    return Le16(Bytes(offset, 2, what), 0);
}

std::uint32_t NsfFile::U32(std::uint64_t offset, const char* what) const {
    return Le32(Bytes(offset, 4, what), 0);
}

}  // namespace velmora::nsf
