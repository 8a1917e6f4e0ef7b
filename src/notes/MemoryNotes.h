#pragma once

// Notes objects over plain data held in memory: the fake that tests and demos share.

#include "notes/NotesObjects.h"

#include <QByteArray>
#include <QHash>

#include <memory>
#include <vector>

namespace velmora::notes {

struct MemoryEmbedded {
    int type = kEmbedAttachment;
    QString name;
    QByteArray data;
};

struct MemoryItem {
    QString name;
    int type = kItemText;
    NotesValues values;
    std::vector<MemoryEmbedded> embedded;  // only meaningful on a rich-text item
    QByteArray entity;                     // what GetMIMEEntity answers; empty: nothing
};

struct MemoryDocument {
    std::vector<MemoryItem> items;
    std::int64_t size = 0;
    QString universalId;  // none unless a test gives one
    std::optional<QDateTime> created;

    // Convenience for building test data: adds or replaces an item.
    MemoryDocument& Set(const QString& name, NotesValues values, int type = kItemText);
    MemoryDocument& SetText(const QString& name, const QStringList& values);
};

struct MemoryView {
    QString name;
    bool isFolder = true;
    std::vector<int> documents;  // indices into MemoryDatabaseData::documents, in view order
};

struct MemoryDatabaseData {
    QString title;
    std::vector<MemoryView> views;
    std::vector<MemoryDocument> documents;
    bool encrypted = false;  // Title and Views fail, as an encrypted database's do

    // Appends a document and files it in the named views (created as folders if missing).
    int AddDocument(MemoryDocument document, const QStringList& viewNames);
    MemoryView& View(const QString& name, bool isFolder = true);
};

// A session that knows databases by path. An unknown path gives a database whose
// members fail, as the Notes client's does for a file it cannot open.
class MemorySession : public NotesSession {
  public:
    void AddDatabase(const QString& path, std::shared_ptr<MemoryDatabaseData> data);
    DatabasePtr GetDatabase(const QString& server, const QString& path) override;

  private:
    QHash<QString, std::shared_ptr<MemoryDatabaseData>> m_databases;
};

}  // namespace velmora::notes
