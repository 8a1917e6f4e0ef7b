#pragma once

#include <QByteArray>
#include <QString>

namespace velmora {

// A result file written whole or not at all. The bytes go to a temporary file beside the
// destination, are synced once and then take the destination's name in one rename, so a
// crash or a full disk leaves either the old file or the new one, never a part. Every step
// returns "" when it went, else the system's reason ("No space left on device").
class AtomicFile {
  public:
    explicit AtomicFile(QString path);
    // Removes the temporary file unless Commit() put it in place.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Refuses a destination that exists and is not a regular file (a folder, a link, a device).
    QString Open();
    QString Write(const char* data, qint64 size);
    QString Write(const QByteArray& data) { return Write(data.constData(), data.size()); }
    // Syncs and renames. A replaced file's permissions carry over to the new one.
    QString Commit();

  private:
    void Discard();

    QString m_path;
    QString m_temporary;
    int m_fd = -1;
    QString m_failure;
};

// The temporary file beside path: its name, a dot and kTemporaryTagChars letters or digits
// drawn afresh, the name cut first so that the whole stays a valid name. Whoever clears what a
// killed writer left (the export's resume) finds it by TemporaryNameFilter.
inline constexpr int kTemporaryTagChars = 6;
QString TemporaryPathFor(const QString& path);

// A QDir name filter matching every temporary file a writer of fileName may leave, and
// nothing else of that shape: characters of fileName that a filter reads as wildcards are
// matched as themselves.
QString TemporaryNameFilter(const QString& fileName);

// data written to path through an AtomicFile: "" when it went, else the system's reason.
QString WriteFileAtomically(const QString& path, const QByteArray& data);

}  // namespace velmora
