#pragma once

// One open store file, read-only, shared by every database object opened on the same
// path while the file stays unchanged.

#include "components/notesstore/Sqlite.h"
#include "notes/NotesValue.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace velmora::notesstore {

struct StoredView {
    std::int64_t id = 0;
    QString name;
    bool isFolder = false;
    std::int64_t entryCount = 0;
};

struct StoredEntry {
    std::int64_t documentId = 0;
    std::int64_t position = 0;  // position in the view it was read from
    std::int64_t size = 0;
    bool hasEmbedded = false;
    std::optional<QDateTime> created;
};

struct StoredItem {
    int position = 0;
    QString name;
    int type = 0;
    notes::NotesValues values;
    bool hasData = false;  // the item keeps stored bytes (rich-text records, a MIME part)
};

struct StoredEmbedded {
    std::int64_t id = 0;
    int type = 0;
    QString name;
    std::int64_t length = 0;
};

class StoreConnection {
  public:
    // The shared connection for path, opened when needed. Throws notes::NotesError with
    // the reason when the file is missing, not a store, damaged or of another version.
    static std::shared_ptr<StoreConnection> Open(const QString& path);

    // Reads an identity that changes when the file is replaced or rewritten.
    struct FileIdentity {
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = 0, mtimeNs = 0;
        bool operator==(const FileIdentity&) const = default;
    };

    const QString& Path() const { return m_path; }
    const QString& Title() const { return m_title; }
    bool Encrypted() const { return m_encrypted; }
    const std::vector<StoredView>& Views() const { return m_views; }

    // Every document in the order it was stored; position is its place in that order.
    std::vector<StoredEntry> Documents();
    // The first entry of the view at position or after it.
    std::optional<StoredEntry> EntryFrom(std::int64_t viewId, std::int64_t position);
    std::optional<std::int64_t> PositionOf(std::int64_t viewId, std::int64_t documentId);
    std::vector<StoredItem> Items(std::int64_t documentId);
    std::vector<StoredEmbedded> Embedded(std::int64_t documentId, int itemPosition);
    // The stored bytes of one item; read only when asked for, as they can be large.
    QByteArray ItemData(std::int64_t documentId, int itemPosition);
    // Streams the object's bytes to path, replacing it only when everything was written.
    void Extract(std::int64_t embeddedId, const QString& path);

    StoreConnection(const QString& path, const FileIdentity& identity);
    ~StoreConnection();

  private:
    QString m_path;
    FileIdentity m_identity;
    std::mutex m_mutex;
    std::unique_ptr<SqliteConnection> m_db;
    QString m_title;
    bool m_encrypted = false;
    bool m_versionTwo = true;  // items keep their bytes, documents their creation time
    std::vector<StoredView> m_views;
    std::optional<SqliteStatement> m_entryFrom, m_positionOf, m_items, m_embedded, m_itemData;

    friend class StoreConnectionCache;
};

}  // namespace velmora::notesstore
