#pragma once

// Builds store files. Every change is written into a private file beside the target (a new
// store, or a copy of the store being extended) that replaces the target on Commit.

#include "notes/NotesObjects.h"

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace velmora::notesstore {

class SqliteConnection;
class SqliteStatement;

class StoreError : public std::runtime_error {
  public:
    explicit StoreError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

struct EmbeddedData {
    int type = notes::kEmbedAttachment;
    QString name;
    QByteArray data;
    // When set, the bytes are streamed from this file instead of data.
    QString sourceFile;
};

struct ItemData {
    QString name;
    int type = notes::kItemText;
    notes::NotesValues values;
    std::vector<EmbeddedData> embedded;
    // The item's stored bytes: the records of rich text, one part of MIME mail.
    QByteArray data;
};

struct DocumentData {
    std::vector<ItemData> items;
    // Size in bytes; estimated from the items and embedded objects when not given.
    std::optional<std::int64_t> size;
    std::optional<QDateTime> created;

    ItemData& Add(const QString& name, notes::NotesValues values, int type = notes::kItemText);
    ItemData& AddText(const QString& name, const QStringList& values);
    ItemData& AddDate(const QString& name, const QDateTime& value);
    ItemData* Find(const QString& name);
};

class StoreWriter {
  public:
    // A new store at path; nothing appears at path until Commit succeeds.
    static std::unique_ptr<StoreWriter> Create(const QString& path);
    // An existing store, extended in a copy; nothing changes in it unless Commit succeeds.
    static std::unique_ptr<StoreWriter> Append(const QString& path);

    ~StoreWriter();
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;

    void SetTitle(const QString& title);
    void SetEncrypted(bool encrypted);
    // Rewrites the schema version (to build stores that readers must refuse).
    void SetSchemaVersion(const QString& version);

    // Views keep the order in which they are added; names need not be unique.
    std::int64_t AddView(const QString& name, bool isFolder);
    // The first view with exactly this name, if any.
    std::optional<std::int64_t> FindView(const QString& name) const;
    std::int64_t AddDocument(const DocumentData& document);
    // Appends the document at the end of the view (a document may be in several views).
    void File(std::int64_t viewId, std::int64_t documentId);

    void Commit();

    static std::int64_t EstimateSize(const DocumentData& document);

  private:
    StoreWriter(std::unique_ptr<SqliteConnection> db, QString path, QString temporary);
    void Prepare();
    void Close();
    void SetInfo(const QString& key, const QString& value);
    void WriteEmbedded(std::int64_t documentId, int itemPosition, int position,
                       const EmbeddedData& object);

    std::unique_ptr<SqliteConnection> m_db;
    QString m_path;
    QString m_temporary;  // written here, renamed to m_path on Commit
    std::optional<QFileDevice::Permissions> m_permissions;  // of the store being extended
    bool m_committed = false;
    struct ViewState {
        QString name;
        std::int64_t count = 0;
    };
    std::map<std::int64_t, ViewState> m_views;
    std::unique_ptr<SqliteStatement> m_insertDocument, m_insertItem, m_insertValue,
        m_insertEmbedded, m_insertEntry, m_insertView;
};

}  // namespace velmora::notesstore
