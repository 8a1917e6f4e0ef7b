#pragma once

// Bounded, read-only access to the bytes of a Notes database file. The file is mapped,
// never read whole; every read names what it reads, so that a damaged file fails with a
// reason instead of reading past its end.

#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <span>

namespace velmora::nsf {

class NsfFile {
  public:
    // Fails with NotesError when the file cannot be opened or mapped.
    static std::unique_ptr<NsfFile> Open(const QString& path);
    ~NsfFile();
    NsfFile(const NsfFile&) = delete;
    NsfFile& operator=(const NsfFile&) = delete;

    const QString& Path() const { return m_path; }
    std::uint64_t Size() const { return m_size; }
    bool Contains(std::uint64_t offset, std::uint64_t length) const {
        return offset <= m_size && length <= m_size - offset;
    }
    // The bytes [offset, offset + length); fails with NotesError naming what when they
    // are not all inside the file.
    std::span<const std::uint8_t> Bytes(std::uint64_t offset, std::uint64_t length,
                                        const char* what) const;
    std::uint8_t U8(std::uint64_t offset, const char* what) const;
    std::uint16_t U16(std::uint64_t offset, const char* what) const;
    std::uint32_t U32(std::uint64_t offset, const char* what) const;

  private:
    NsfFile(QString path, std::unique_ptr<QFile> file, const std::uint8_t* data,
            std::uint64_t size);

    QString m_path;
    std::unique_ptr<QFile> m_file;
    const std::uint8_t* m_data;
    std::uint64_t m_size;
};

// Little-endian reads from a span already checked by the caller.
inline std::uint16_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

}  // namespace velmora::nsf
