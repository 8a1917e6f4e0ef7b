#include "components/notesstore/StoreSchema.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace velmora::notesstore {

const char* const kCreateSchema = R"sql(
CREATE TABLE store_info (
    key   TEXT PRIMARY KEY,
    value TEXT NOT NULL
) WITHOUT ROWID;
CREATE TABLE views (
    id          INTEGER PRIMARY KEY,
    name        TEXT NOT NULL,
    is_folder   INTEGER NOT NULL,
    entry_count INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE documents (
    id             INTEGER PRIMARY KEY,
    size           INTEGER NOT NULL,
    has_embedded   INTEGER NOT NULL,
    created_msecs  INTEGER,
    created_offset INTEGER
);
CREATE TABLE view_entries (
    view_id     INTEGER NOT NULL,
    position    INTEGER NOT NULL,
    document_id INTEGER NOT NULL,
    PRIMARY KEY (view_id, position)
) WITHOUT ROWID;
CREATE INDEX view_entries_by_document ON view_entries (view_id, document_id);
CREATE TABLE items (
    document_id INTEGER NOT NULL,
    position    INTEGER NOT NULL,
    name        TEXT NOT NULL,
    type        INTEGER NOT NULL,
    data        BLOB,
    PRIMARY KEY (document_id, position)
) WITHOUT ROWID;
CREATE TABLE item_values (
    document_id    INTEGER NOT NULL,
    item_position  INTEGER NOT NULL,
    position       INTEGER NOT NULL,
    kind           INTEGER NOT NULL,
    text           TEXT,
    number         REAL,
    msecs          INTEGER,
    offset_seconds INTEGER,
    zone           TEXT,
    PRIMARY KEY (document_id, item_position, position)
) WITHOUT ROWID;
CREATE TABLE embedded_objects (
    id            INTEGER PRIMARY KEY,
    document_id   INTEGER NOT NULL,
    item_position INTEGER NOT NULL,
    position      INTEGER NOT NULL,
    type          INTEGER NOT NULL,
    name          TEXT NOT NULL,
    data          BLOB NOT NULL
);
CREATE INDEX embedded_objects_by_item ON embedded_objects (document_id, item_position, position);
)sql";

const char* const kUpgradeFromVersion1 = R"sql(
ALTER TABLE documents ADD COLUMN created_msecs INTEGER;
ALTER TABLE documents ADD COLUMN created_offset INTEGER;
ALTER TABLE items ADD COLUMN data BLOB;
UPDATE store_info SET value = '2' WHERE key = 'schema_version';
)sql";

namespace {

quint32 BigEndian(const QByteArray& bytes, int offset, int length) {
    quint32 value = 0;
    for (int i = 0; i < length; ++i) {
        value = (value << 8) | static_cast<quint8>(bytes[offset + i]);
    }
    return value;
}

}  // namespace

QString ProblemWithFile(const QString& path, bool forWriting) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return QStringLiteral("the file does not exist");
    }
    if (info.isDir()) {
        return QStringLiteral("it is a folder, not a file");
    }
    // Pipes and devices would block or never end; only regular files are read.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return QStringLiteral("it is not a regular file");
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("the file cannot be read (%1)").arg(file.errorString());
    }
    const qint64 size = file.size();
    if (size == 0) {
        return QStringLiteral("the file is empty");
    }
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0"))) {
        return NotAStore();
    }
    // A journal with a valid header beside the file means a change was interrupted: the
    // file alone is half old, half new, and a read-only reader cannot replay the journal.
    QFile journal(path + QStringLiteral("-journal"));
    if (!forWriting && journal.open(QIODevice::ReadOnly) &&
        journal.read(8) == QByteArray("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8)) {
        return QStringLiteral(
                   "an interrupted change is pending in %1; extending the store "
                   "once (velmora-store import) completes the repair")
            .arg(journal.fileName());
    }
    if (forWriting) {
        return {};  // SQLite replays a pending journal and checks the rest itself
    }
    quint32 pageSize = BigEndian(header, 16, 2);
    if (pageSize == 1) {
        pageSize = 65536;
    }
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0) {
        return QStringLiteral("the file is damaged (bad page size)");
    }
    // The page count in the header is only trustworthy when its "valid-for" stamp
    // matches the change counter; old writers leave it stale.
    const quint32 pages = BigEndian(header, 28, 4);
    const bool pagesValid = pages != 0 && BigEndian(header, 92, 4) == BigEndian(header, 24, 4);
    if (size % pageSize != 0 || (pagesValid && static_cast<qint64>(pages) * pageSize != size)) {
        return QStringLiteral("the file is damaged (truncated or extended)");
    }
    if (header[18] != 1 || header[19] != 1) {
        return QStringLiteral("the file is in a journal mode this reader does not accept");
    }
    return {};
}

}  // namespace velmora::notesstore
