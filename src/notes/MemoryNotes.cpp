#include "notes/MemoryNotes.h"

#include "util/AtomicFile.h"

#include <QFile>

namespace velmora::notes {

namespace {

using DataPtr = std::shared_ptr<const MemoryDatabaseData>;

class MemEmbedded : public NotesEmbeddedObject {
  public:
    explicit MemEmbedded(MemoryEmbedded object) : m_object(std::move(object)) {}
    int Type() override { return m_object.type; }
    QString Name() override { return m_object.name; }
    void ExtractFile(const QString& path) override {
        if (const QString reason = WriteFileAtomically(path, m_object.data); !reason.isEmpty()) {
            throw NotesError(
                QStringLiteral("Cannot write the attachment to %1: %2").arg(path, reason));
        }
    }

  private:
    MemoryEmbedded m_object;
};

class MemItem : public NotesItem {
  public:
    explicit MemItem(const MemoryItem& item) : m_item(item) {}
    int Type() override { return m_item.type; }
    std::optional<EmbeddedObjectList> EmbeddedObjects() override {
        if (m_item.type != kItemRichText) {
            return std::nullopt;
        }
        EmbeddedObjectList list;
        for (const MemoryEmbedded& object : m_item.embedded) {
            list.push_back(std::make_shared<MemEmbedded>(object));
        }
        return list;
    }

  private:
    MemoryItem m_item;
};

class MemDocument : public NotesDocument {
  public:
    MemDocument(DataPtr data, int index, std::size_t position)
        : m_data(std::move(data)), m_index(index), m_position(position) {}
    bool hasitem(const QString& name) override { return Find(name) != nullptr; }
    QStringList ItemNames() override {
        QStringList names;
        for (const MemoryItem& item : Doc().items) {
            names << item.name;
        }
        return names;
    }
    NotesValues GetItemValue(const QString& name) override {
        const MemoryItem* item = Find(name);
        if (item == nullptr || item->values.empty()) {
            return {QString()};
        }
        return item->values;
    }
    std::int64_t Size() override { return Doc().size; }
    bool HasEmbedded() override {
        for (const MemoryItem& item : Doc().items) {
            if (!item.embedded.empty()) {
                return true;
            }
        }
        return false;
    }
    std::shared_ptr<NotesItem> GetFirstItem(const QString& name) override {
        const MemoryItem* item = Find(name);
        return item ? std::make_shared<MemItem>(*item) : nullptr;
    }
    QString UniversalID() override { return Doc().universalId; }
    // Notes numbers notes in steps of four.
    QString NoteID() override { return QString::number((m_index + 1) * 4, 16).toUpper(); }
    std::optional<QByteArray> GetMIMEEntity(const QString& itemName) override {
        const MemoryItem* item = Find(itemName);
        if (item == nullptr || item->entity.isEmpty()) {
            return std::nullopt;
        }
        return item->entity;
    }
    std::optional<QDateTime> Created() override { return Doc().created; }
    std::size_t Position() const { return m_position; }

  private:
    const MemoryDocument& Doc() const { return m_data->documents.at(m_index); }
    const MemoryItem* Find(const QString& name) const {
        for (const MemoryItem& item : Doc().items) {
            if (item.name.compare(name, Qt::CaseInsensitive) == 0) {
                return &item;
            }
        }
        return nullptr;
    }

    DataPtr m_data;
    int m_index;
    std::size_t m_position;  // position in the view it was reached through
};

class MemView : public NotesView {
  public:
    MemView(DataPtr data, std::size_t viewIndex)
        : m_data(std::move(data)), m_viewIndex(viewIndex) {}
    QString Name() override { return View().name; }
    bool isfolder() override { return View().isFolder; }
    std::shared_ptr<NotesViewEntryCollection> AllEntries() override {
        return std::make_shared<CountedEntries>(static_cast<std::int64_t>(View().documents.size()));
    }
    DocumentPtr GetFirstDocument() override { return At(0); }
    DocumentPtr GetNextDocument(const DocumentPtr& current) override {
        const auto* doc = dynamic_cast<const MemDocument*>(current.get());
        if (doc == nullptr) {
            throw NotesError(QStringLiteral("GetNextDocument: not a document of this view"));
        }
        return At(doc->Position() + 1);
    }

  private:
    const MemoryView& View() const { return m_data->views.at(m_viewIndex); }
    DocumentPtr At(std::size_t position) {
        const auto& docs = View().documents;
        if (position >= docs.size()) {
            return nullptr;
        }
        return std::make_shared<MemDocument>(m_data, docs[position], position);
    }

    DataPtr m_data;
    std::size_t m_viewIndex;
};

class MemDatabase : public NotesDatabase {
  public:
    MemDatabase(DataPtr data, QString path) : m_data(std::move(data)), m_path(std::move(path)) {}
    QString Title() override { return Open().title; }
    std::optional<ViewList> Views() override {
        const MemoryDatabaseData& data = Open();
        ViewList views;
        for (std::size_t i = 0; i < data.views.size(); ++i) {
            views.push_back(std::make_shared<MemView>(m_data, i));
        }
        return views;
    }
    ViewPtr GetView(const QString& name) override {
        const MemoryDatabaseData& data = Open();
        for (std::size_t i = 0; i < data.views.size(); ++i) {
            if (data.views[i].name.compare(name, Qt::CaseInsensitive) == 0) {
                return std::make_shared<MemView>(m_data, i);
            }
        }
        return nullptr;
    }

  private:
    const MemoryDatabaseData& Open() const {
        if (!m_data) {
            throw NotesError(
                QStringLiteral("File does not exist or cannot be opened: %1").arg(m_path));
        }
        if (m_data->encrypted) {
            throw NotesError(QStringLiteral("The database is encrypted: %1").arg(m_path));
        }
        return *m_data;
    }

    DataPtr m_data;
    QString m_path;
};

}  // namespace

MemoryDocument& MemoryDocument::Set(const QString& name, NotesValues values, int type) {
    for (MemoryItem& item : items) {
        if (item.name.compare(name, Qt::CaseInsensitive) == 0) {
            item.values = std::move(values);
            item.type = type;
            return *this;
        }
    }
    items.push_back(MemoryItem{name, type, std::move(values), {}, {}});
    return *this;
}

MemoryDocument& MemoryDocument::SetText(const QString& name, const QStringList& values) {
    NotesValues converted;
    for (const QString& value : values) {
        converted.emplace_back(value);
    }
    return Set(name, std::move(converted), kItemText);
}

MemoryView& MemoryDatabaseData::View(const QString& name, bool isFolder) {
    for (MemoryView& view : views) {
        if (view.name == name) {
            return view;
        }
    }
    views.push_back(MemoryView{name, isFolder, {}});
    return views.back();
}

int MemoryDatabaseData::AddDocument(MemoryDocument document, const QStringList& viewNames) {
    documents.push_back(std::move(document));
    const int index = static_cast<int>(documents.size()) - 1;
    for (const QString& name : viewNames) {
        View(name).documents.push_back(index);
    }
    return index;
}

void MemorySession::AddDatabase(const QString& path, std::shared_ptr<MemoryDatabaseData> data) {
    m_databases.insert(path, std::move(data));
}

DatabasePtr MemorySession::GetDatabase(const QString& /*server*/, const QString& path) {
    return std::make_shared<MemDatabase>(m_databases.value(path), path);
}

}  // namespace velmora::notes
