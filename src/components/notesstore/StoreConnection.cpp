#include "components/notesstore/StoreConnection.h"

#include "components/notesstore/StoreSchema.h"
#include "notes/NotesError.h"
#include "util/AtomicFile.h"

#include <QFileInfo>
#include <QTimeZone>
#include <QUrl>

#include <sqlite3.h>
#include <sys/stat.h>

#include <map>

namespace velmora::notesstore {

using notes::NotesError;

namespace {

constexpr int kChunk = 1 << 20;

StoreConnection::FileIdentity IdentityOf(const QString& path) {
    struct stat st {};
    StoreConnection::FileIdentity identity;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
        identity.device = st.st_dev;
        identity.inode = st.st_ino;
        identity.size = st.st_size;
        identity.mtimeNs = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    }
    return identity;
}

NotesError OpenError(const QString& path, const QString& reason) {
    return NotesError(QStringLiteral("Cannot open the database %1: %2").arg(path, reason));
}

QString Describe(const SqliteError& error) {
    switch (error.Code() & 0xff) {
        case SQLITE_NOTADB:
            return NotAStore();
        case SQLITE_CORRUPT:
            return QStringLiteral("the file is damaged (%1)").arg(error.Message());
        default:
            return error.Message();
    }
}

notes::NotesValue ReadValue(const SqliteStatement& row, int first) {
    switch (row.Int(first)) {
        case 1:
            return row.Real(first + 2);
        case 2: {
            const qint64 msecs = row.Int(first + 3);
            if (!row.IsNull(first + 5)) {
                const QTimeZone zone(row.Text(first + 5).toUtf8());
                if (zone.isValid()) {
                    return QDateTime::fromMSecsSinceEpoch(msecs, zone);
                }
            }
            return QDateTime::fromMSecsSinceEpoch(msecs, Qt::OffsetFromUTC,
                                                  static_cast<int>(row.Int(first + 4)));
        }
        default:
            return row.Text(first + 1);
    }
}

// A creation time stored as milliseconds and offset, or nothing.
std::optional<QDateTime> CreatedAt(const SqliteStatement& row, int first) {
    if (row.IsNull(first)) {
        return std::nullopt;
    }
    return QDateTime::fromMSecsSinceEpoch(row.Int(first),
                                          QTimeZone(static_cast<int>(row.Int(first + 1))));
}

}  // namespace

class StoreConnectionCache {
  public:
    static std::shared_ptr<StoreConnection> Get(const QString& path) {
        const QString key = QFileInfo(path).absoluteFilePath();
        const StoreConnection::FileIdentity identity = IdentityOf(path);
        static std::mutex mutex;
        static std::map<QString, std::weak_ptr<StoreConnection>> connections;
        std::lock_guard lock(mutex);
        if (auto existing = connections[key].lock(); existing && existing->m_identity == identity) {
            return existing;
        }
        auto fresh = std::make_shared<StoreConnection>(path, identity);
        connections[key] = fresh;
        return fresh;
    }
};

std::shared_ptr<StoreConnection> StoreConnection::Open(const QString& path) {
    if (const QString problem = ProblemWithFile(path); !problem.isEmpty()) {
        throw OpenError(path, problem);
    }
    return StoreConnectionCache::Get(path);
}

StoreConnection::StoreConnection(const QString& path, const FileIdentity& identity)
    : m_path(path), m_identity(identity) {
    // immutable: no lock, no journal, nothing written beside or into the file.
    const QByteArray uri =
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + "?immutable=1";
    try {
        m_db = std::make_unique<SqliteConnection>(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
        {
            SqliteStatement tables = m_db->Prepare(
                "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'store_info'");
            if (!tables.Step() || tables.Int(0) != 1) {
                throw OpenError(path, NotAStore());
            }
        }
        std::map<QString, QString> info;
        {
            SqliteStatement query = m_db->Prepare("SELECT key, value FROM store_info");
            while (query.Step()) {
                info[query.Text(0)] = query.Text(1);
            }
        }
        if (info[QStringLiteral("format")] != QLatin1String(kStoreFormat)) {
            throw OpenError(path, NotAStore());
        }
        const QString version = info[QStringLiteral("schema_version")];
        bool numeric = false;
        const int versionNumber = version.toInt(&numeric);
        if (!numeric || versionNumber < kOldestReadableVersion || versionNumber > kSchemaVersion) {
            throw OpenError(path, QStringLiteral("it is a store of format version %1; this "
                                                 "program reads version %2")
                                      .arg(version.isEmpty() ? QStringLiteral("?") : version)
                                      .arg(kSchemaVersion));
        }
        m_title = info[QStringLiteral("title")];
        m_encrypted = info[QStringLiteral("encrypted")] == QLatin1String("1");
        SqliteStatement views =
            m_db->Prepare("SELECT id, name, is_folder, entry_count FROM views ORDER BY id");
        while (views.Step()) {
            m_views.push_back(
                StoredView{views.Int(0), views.Text(1), views.Int(2) != 0, views.Int(3)});
        }
        m_versionTwo = versionNumber >= 2;
        const bool current = m_versionTwo;
        m_entryFrom.emplace(
            *m_db, current ? "SELECT e.document_id, e.position, d.size, d.has_embedded, "
                             "d.created_msecs, d.created_offset "
                             "FROM view_entries e JOIN documents d ON d.id = e.document_id "
                             "WHERE e.view_id = ? AND e.position >= ? "
                             "ORDER BY e.position LIMIT 1"
                           : "SELECT e.document_id, e.position, d.size, d.has_embedded, "
                             "NULL, NULL "
                             "FROM view_entries e JOIN documents d ON d.id = e.document_id "
                             "WHERE e.view_id = ? AND e.position >= ? "
                             "ORDER BY e.position LIMIT 1");
        m_positionOf.emplace(*m_db,
                             "SELECT position FROM view_entries WHERE view_id = ? AND "
                             "document_id = ? ORDER BY position LIMIT 1");
        // length() of a blob reads its size, not its pages.
        m_items.emplace(*m_db,
                        current ? "SELECT i.position, i.name, i.type, v.kind, v.text, v.number, "
                                  "v.msecs, v.offset_seconds, v.zone, length(i.data) FROM items i "
                                  "LEFT JOIN item_values v ON v.document_id = i.document_id AND "
                                  "v.item_position = i.position WHERE i.document_id = ? "
                                  "ORDER BY i.position, v.position"
                                : "SELECT i.position, i.name, i.type, v.kind, v.text, v.number, "
                                  "v.msecs, v.offset_seconds, v.zone, NULL FROM items i "
                                  "LEFT JOIN item_values v ON v.document_id = i.document_id AND "
                                  "v.item_position = i.position WHERE i.document_id = ? "
                                  "ORDER BY i.position, v.position");
        m_itemData.emplace(*m_db, current ? "SELECT data FROM items WHERE document_id = ? AND "
                                            "position = ?"
                                          : "SELECT NULL FROM items WHERE document_id = ? AND "
                                            "position = ?");
        m_embedded.emplace(*m_db,
                           "SELECT id, type, name, length(data) FROM embedded_objects "
                           "WHERE document_id = ? AND item_position = ? ORDER BY position");
    } catch (const SqliteError& error) {
        throw OpenError(path, Describe(error));
    }
}

StoreConnection::~StoreConnection() {
    // Statements must go before the connection.
    m_entryFrom.reset();
    m_positionOf.reset();
    m_items.reset();
    m_embedded.reset();
    m_itemData.reset();
}

std::vector<StoredEntry> StoreConnection::Documents() {
    std::lock_guard lock(m_mutex);
    try {
        SqliteStatement query = m_db->Prepare(
            m_versionTwo
                ? "SELECT id, size, has_embedded, created_msecs, created_offset FROM documents "
                  "ORDER BY id"
                : "SELECT id, size, has_embedded, NULL, NULL FROM documents ORDER BY id");
        std::vector<StoredEntry> documents;
        while (query.Step()) {
            documents.push_back(StoredEntry{query.Int(0),
                                            static_cast<std::int64_t>(documents.size()),
                                            query.Int(1), query.Int(2) != 0, CreatedAt(query, 3)});
        }
        return documents;
    } catch (const SqliteError& error) {
        throw NotesError(
            QStringLiteral("Cannot list the documents of %1: %2").arg(m_path, Describe(error)));
    }
}

std::optional<StoredEntry> StoreConnection::EntryFrom(std::int64_t viewId, std::int64_t position) {
    std::lock_guard lock(m_mutex);
    try {
        SqliteStatement& query = *m_entryFrom;
        query.Bind(1, viewId).Bind(2, position);
        std::optional<StoredEntry> entry;
        if (query.Step()) {
            entry = StoredEntry{query.Int(0), query.Int(1), query.Int(2), query.Int(3) != 0,
                                CreatedAt(query, 4)};
        }
        query.Reset();
        return entry;
    } catch (const SqliteError& error) {
        throw NotesError(
            QStringLiteral("Cannot read a view of %1: %2").arg(m_path, Describe(error)));
    }
}

std::optional<std::int64_t> StoreConnection::PositionOf(std::int64_t viewId,
                                                        std::int64_t documentId) {
    std::lock_guard lock(m_mutex);
    try {
        SqliteStatement& query = *m_positionOf;
        query.Bind(1, viewId).Bind(2, documentId);
        std::optional<std::int64_t> position;
        if (query.Step()) {
            position = query.Int(0);
        }
        query.Reset();
        return position;
    } catch (const SqliteError& error) {
        throw NotesError(
            QStringLiteral("Cannot read a view of %1: %2").arg(m_path, Describe(error)));
    }
}

std::vector<StoredItem> StoreConnection::Items(std::int64_t documentId) {
    std::lock_guard lock(m_mutex);
    try {
        SqliteStatement& query = *m_items;
        query.Bind(1, documentId);
        std::vector<StoredItem> items;
        while (query.Step()) {
            const int position = static_cast<int>(query.Int(0));
            if (items.empty() || items.back().position != position) {
                items.push_back(StoredItem{position,
                                           query.Text(1),
                                           static_cast<int>(query.Int(2)),
                                           {},
                                           !query.IsNull(9) && query.Int(9) > 0});
            }
            if (!query.IsNull(3)) {
                items.back().values.push_back(ReadValue(query, 3));
            }
        }
        query.Reset();
        return items;
    } catch (const SqliteError& error) {
        throw NotesError(
            QStringLiteral("Cannot read a document of %1: %2").arg(m_path, Describe(error)));
    }
}

std::vector<StoredEmbedded> StoreConnection::Embedded(std::int64_t documentId, int itemPosition) {
    std::lock_guard lock(m_mutex);
    try {
        SqliteStatement& query = *m_embedded;
        query.Bind(1, documentId).Bind(2, itemPosition);
        std::vector<StoredEmbedded> objects;
        while (query.Step()) {
            objects.push_back(StoredEmbedded{query.Int(0), static_cast<int>(query.Int(1)),
                                             query.Text(2), query.Int(3)});
        }
        query.Reset();
        return objects;
    } catch (const SqliteError& error) {
        throw NotesError(QStringLiteral("Cannot read the embedded objects of %1: %2")
                             .arg(m_path, Describe(error)));
    }
}

QByteArray StoreConnection::ItemData(std::int64_t documentId, int itemPosition) {
    std::lock_guard lock(m_mutex);
    try {
        SqliteStatement& query = *m_itemData;
        query.Bind(1, documentId).Bind(2, itemPosition);
        QByteArray data;
        if (query.Step()) {
            data = query.Blob(0);
        }
        query.Reset();
        return data;
    } catch (const SqliteError& error) {
        throw NotesError(
            QStringLiteral("Cannot read a document of %1: %2").arg(m_path, Describe(error)));
    }
}

void StoreConnection::Extract(std::int64_t embeddedId, const QString& path) {
    AtomicFile file(path);
    if (const QString reason = file.Open(); !reason.isEmpty()) {
        throw NotesError(QStringLiteral("Cannot write the attachment to %1: %2").arg(path, reason));
    }
    std::lock_guard lock(m_mutex);
    try {
        SqliteBlob blob(*m_db, "embedded_objects", "data", embeddedId, false);
        std::vector<char> buffer(kChunk);
        const std::int64_t size = blob.Size();
        for (std::int64_t offset = 0; offset < size; offset += kChunk) {
            const int length = static_cast<int>(std::min<std::int64_t>(kChunk, size - offset));
            blob.Read(buffer.data(), length, offset);
            if (const QString reason = file.Write(buffer.data(), length); !reason.isEmpty()) {
                throw NotesError(
                    QStringLiteral("Cannot write the attachment to %1: %2").arg(path, reason));
            }
        }
    } catch (const SqliteError& error) {
        throw NotesError(
            QStringLiteral("Cannot read an attachment of %1: %2").arg(m_path, Describe(error)));
    }
    if (const QString reason = file.Commit(); !reason.isEmpty()) {
        throw NotesError(QStringLiteral("Cannot write the attachment to %1: %2").arg(path, reason));
    }
}

}  // namespace velmora::notesstore
