#include "components/notesstore/StoreSession.h"

#include "components/notesstore/StoreConnection.h"
#include "components/richtext/CdRecords.h"
#include "components/richtext/RichTextMime.h"
#include "notes/SessionDispatcher.h"

#include <QFile>

#include <map>
#include <mutex>

namespace velmora::notesstore {

using namespace velmora::notes;

using StorePtr = std::shared_ptr<StoreConnection>;

// Keeps the connections a session has opened alive, so that reopening a database (done
// for every count, preview and folder) costs a look-up, not an open.
class OpenStores {
  public:
    void Hold(const StorePtr& store) {
        std::lock_guard lock(m_mutex);
        m_stores[store->Path()] = store;
    }

  private:
    std::mutex m_mutex;
    std::map<QString, StorePtr> m_stores;
};

namespace {

class StoreEmbeddedObject : public NotesEmbeddedObject, public StoredEmbeddedDetails {
  public:
    StoreEmbeddedObject(StorePtr store, StoredEmbedded object)
        : m_store(std::move(store)), m_object(std::move(object)) {}
    int Type() override { return m_object.type; }
    QString Name() override { return m_object.name; }
    void ExtractFile(const QString& path) override { m_store->Extract(m_object.id, path); }
    std::int64_t Length() override { return m_object.length; }

  private:
    StorePtr m_store;
    StoredEmbedded m_object;
};

class StoreItem : public NotesItem {
  public:
    StoreItem(StorePtr store, std::int64_t documentId, int position, int type)
        : m_store(std::move(store)), m_documentId(documentId), m_position(position), m_type(type) {}
    int Type() override { return m_type; }
    std::optional<EmbeddedObjectList> EmbeddedObjects() override {
        // Only rich text holds embedded objects; anything else answers "not a list".
        if (m_type != kItemRichText) {
            return std::nullopt;
        }
        EmbeddedObjectList list;
        for (StoredEmbedded& object : m_store->Embedded(m_documentId, m_position)) {
            list.push_back(std::make_shared<StoreEmbeddedObject>(m_store, std::move(object)));
        }
        return list;
    }

  private:
    StorePtr m_store;
    std::int64_t m_documentId;
    int m_position;
    int m_type;
};

class StoreDocument : public NotesDocument, public StoredDocumentDetails {
  public:
    StoreDocument(StorePtr store, std::int64_t viewId, const StoredEntry& entry)
        : m_store(std::move(store)), m_viewId(viewId), m_entry(entry) {}
    bool hasitem(const QString& name) override { return Find(name) != nullptr; }
    NotesValues GetItemValue(const QString& name) override {
        const StoredItem* item = Find(name);
        if (item == nullptr || item->values.empty()) {
            return {QString()};
        }
        return item->values;
    }
    std::int64_t Size() override { return m_entry.size; }
    bool HasEmbedded() override { return m_entry.hasEmbedded; }
    std::shared_ptr<NotesItem> GetFirstItem(const QString& name) override {
        const StoredItem* item = Find(name);
        return item ? std::make_shared<StoreItem>(m_store, m_entry.documentId, item->position,
                                                  item->type)
                    : nullptr;
    }
    QString UniversalID() override { return {}; }
    QString NoteID() override { return QString::number(m_entry.documentId, 16).toUpper(); }

    std::optional<QByteArray> GetMIMEEntity(const QString& itemName) override {
        const StoredItem* first = Find(itemName);
        if (first == nullptr || !first->hasData ||
            (first->type != kItemMimePart && first->type != kItemRichText)) {
            return std::nullopt;
        }
        // Both MIME mail and rich text may be spread over several items of one name.
        QByteArray bytes;
        for (const StoredItem& item : *m_items) {
            if (item.type == first->type && item.hasData &&
                item.name.compare(itemName, Qt::CaseInsensitive) == 0) {
                bytes += m_store->ItemData(m_entry.documentId, item.position);
            }
        }
        if (first->type == kItemMimePart) {
            return bytes;
        }
        const StoredItem* fonts = Find(QStringLiteral("$Fonts"));
        const QByteArray fontTable = fonts && fonts->hasData
                                         ? m_store->ItemData(m_entry.documentId, fonts->position)
                                         : QByteArray();
        return richtext::RichTextToMimeEntity(richtext::AsBytes(bytes),
                                              richtext::AsBytes(fontTable));
    }
    std::optional<QDateTime> Created() override { return m_entry.created; }

    QStringList ItemNames() override {
        Load();
        QStringList names;
        for (const StoredItem& item : *m_items) {
            names << item.name;
        }
        return names;
    }

    const StorePtr& Store() const { return m_store; }
    std::int64_t ViewId() const { return m_viewId; }
    const StoredEntry& Entry() const { return m_entry; }

  private:
    // Items are read once, all together, on first use: a walk touches each document once.
    void Load() {
        if (!m_items) {
            m_items = m_store->Items(m_entry.documentId);
        }
    }
    const StoredItem* Find(const QString& name) {
        Load();
        for (const StoredItem& item : *m_items) {
            if (item.name.compare(name, Qt::CaseInsensitive) == 0) {
                return &item;
            }
        }
        return nullptr;
    }

    StorePtr m_store;
    std::int64_t m_viewId;
    StoredEntry m_entry;
    std::optional<std::vector<StoredItem>> m_items;
};

class StoreView : public NotesView {
  public:
    StoreView(StorePtr store, std::size_t index) : m_store(std::move(store)), m_index(index) {}
    QString Name() override { return Row().name; }
    bool isfolder() override { return Row().isFolder; }
    std::shared_ptr<NotesViewEntryCollection> AllEntries() override {
        return std::make_shared<CountedEntries>(Row().entryCount);
    }
    DocumentPtr GetFirstDocument() override { return From(0); }
    DocumentPtr GetNextDocument(const DocumentPtr& current) override {
        const auto* document = dynamic_cast<const StoreDocument*>(current.get());
        if (document == nullptr || document->Store()->Path() != m_store->Path()) {
            throw NotesError(
                QStringLiteral("GetNextDocument: the document is not from this database"));
        }
        if (document->Store() == m_store && document->ViewId() == Row().id) {
            return From(document->Entry().position + 1);
        }
        // A document reached through another view: find where it stands in this one.
        const auto position = m_store->PositionOf(Row().id, document->Entry().documentId);
        if (!position) {
            throw NotesError(QStringLiteral("GetNextDocument: the document is not in the view %1")
                                 .arg(Row().name));
        }
        return From(*position + 1);
    }

  private:
    const StoredView& Row() const { return m_store->Views()[m_index]; }
    DocumentPtr From(std::int64_t position) {
        const auto entry = m_store->EntryFrom(Row().id, position);
        return entry ? std::make_shared<StoreDocument>(m_store, Row().id, *entry) : nullptr;
    }

    StorePtr m_store;
    std::size_t m_index;
};

class StoreDatabase : public NotesDatabase {
  public:
    StoreDatabase(QString path, std::shared_ptr<OpenStores> open)
        : m_path(std::move(path)), m_open(std::move(open)) {}
    QString Title() override { return Readable()->Title(); }
    std::optional<ViewList> Views() override {
        const StorePtr& store = Readable();
        ViewList views;
        views.reserve(store->Views().size());
        for (std::size_t i = 0; i < store->Views().size(); ++i) {
            views.push_back(std::make_shared<StoreView>(store, i));
        }
        return views;
    }
    ViewPtr GetView(const QString& name) override {
        const StorePtr& store = Readable();
        const auto& rows = store->Views();
        // An exact match wins, so that folders whose names differ only in case stay apart.
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].name == name) {
                return std::make_shared<StoreView>(store, i);
            }
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].name.compare(name, Qt::CaseInsensitive) == 0) {
                return std::make_shared<StoreView>(store, i);
            }
        }
        return nullptr;
    }

  private:
    // Opened on first use and retried on every call until it succeeds, as a Notes
    // database handle reports an unopenable file on each member call.
    const StorePtr& Readable() {
        if (!m_store) {
            m_store = StoreConnection::Open(m_path);
            m_open->Hold(m_store);
        }
        if (m_store->Encrypted()) {
            throw NotesError(
                QStringLiteral("The database %1 is encrypted and cannot be read").arg(m_path));
        }
        return m_store;
    }

    QString m_path;
    std::shared_ptr<OpenStores> m_open;
    StorePtr m_store;
};

}  // namespace

StoreSession::StoreSession() : m_open(std::make_shared<OpenStores>()) {}

DatabasePtr StoreSession::GetDatabase(const QString& /*server*/, const QString& path) {
    return std::make_shared<StoreDatabase>(path, m_open);
}

void RegisterComponent() {
    notes::RegisterSessionProvider({QStringLiteral("store"),
                                    [](const QString& path) {
                                        QFile file(path);
                                        return file.open(QIODevice::ReadOnly) &&
                                                       file.read(16) ==
                                                           QByteArray("SQLite format 3\0", 16)
                                                   ? notes::FileClaim::Signature
                                                   : notes::FileClaim::None;
                                    },
                                    [] { return std::make_shared<StoreSession>(); }});
}

}  // namespace velmora::notesstore
