#include "Global.h"

#include "UserInterface.h"

#include <QDir>
#include <QFileInfo>

#include <exception>

namespace velmora::Global {

QString GetTempFolder() {
    const QString path = QDir::tempPath();
    if (path.isEmpty()) {
        return {};
    }
    QString native = QDir::toNativeSeparators(path);
    if (!native.endsWith(QDir::separator())) {
        native += QDir::separator();
    }
    return native;
}

bool EnsureDirectory(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    try {
        QDir().mkpath(path);
        return QFileInfo(path).isDir();
    } catch (...) {
        return false;
    }
}

QString BrowseForFolder(UserInterface& ui, const QString& title) {
    try {
        const QString chosen = ui.BrowseFolderDialog(title);
        if (chosen.isEmpty()) {
            return {};
        }
        QString clean = QDir::toNativeSeparators(QDir::cleanPath(chosen));
        if (QDir(clean).isRoot() && !clean.endsWith(QDir::separator())) {
            clean += QDir::separator();
        }
        return clean;
    } catch (...) {
        return {};
    }
}

std::uint64_t RandomSequence::Next() {
    m_state += 0x9E37'79B9'7F4A'7C15ULL;
    std::uint64_t z = m_state;
    z = (z ^ (z >> 30)) * 0xBF58'476D'1CE4'E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D0'49BB'1331'11EBULL;
    return z ^ (z >> 31);
}

// The top 53 bits of one output form r in [0, 1); the result is
// lower + floor((upper - lower + 1) * r), computed exactly in integers so that it can never
// reach upper + 1.
std::int32_t RandomSequence::Between(std::int32_t lower, std::int32_t upper) {
    if (upper < lower) {
        return lower;
    }
    const std::uint64_t r53 = Next() >> 11;
    const auto range = static_cast<std::uint64_t>(static_cast<std::int64_t>(upper) - lower + 1);
    const auto offset =
        static_cast<std::uint64_t>((static_cast<unsigned __int128>(range) * r53) >> 53);
    return static_cast<std::int32_t>(lower + static_cast<std::int64_t>(offset));
}

std::int32_t RandomBetween(std::int32_t lower, std::int32_t upper) {
    static RandomSequence sequence;
    return sequence.Between(lower, upper);
}

}  // namespace velmora::Global
