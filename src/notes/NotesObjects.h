#pragma once

// The Notes automation classes the program calls, as abstract interfaces.
// A member that fails throws NotesError; "nothing" is a null pointer; a value that is
// "not a list" is an empty optional. Implementations: the offline store
// (components/notesstore), MemoryNotes for tests and demos, and the fault-injecting
// decorator (FaultyNotes).

#include "automation/Automation.h"
#include "notes/NotesError.h"
#include "notes/NotesValue.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace velmora::notes {

// Item types.
inline constexpr int kItemRichText = 1;
inline constexpr int kItemMimePart = 25;
inline constexpr int kItemNumber = 768;
inline constexpr int kItemDateTime = 1024;
inline constexpr int kItemText = 1280;

// Embedded object types.
inline constexpr int kEmbedObjectLink = 1452;
inline constexpr int kEmbedObject = 1453;
inline constexpr int kEmbedAttachment = 1454;

class NotesEmbeddedObject {
  public:
    virtual ~NotesEmbeddedObject() = default;
    virtual int Type() = 0;
    virtual QString Name() = 0;
    // Writes the object's bytes to path; fails when the path cannot be written.
    virtual void ExtractFile(const QString& path) = 0;
};
using EmbeddedObjectList = std::vector<std::shared_ptr<NotesEmbeddedObject>>;

class NotesItem {
  public:
    virtual ~NotesItem() = default;
    virtual int Type() = 0;
    virtual std::optional<EmbeddedObjectList> EmbeddedObjects() = 0;
};

class NotesDocument {
  public:
    virtual ~NotesDocument() = default;
    virtual bool hasitem(const QString& name) = 0;
    // All values, indexed from 0. A missing item gives one empty text value, as the
    // Notes client answers. A rich-text item gives its plain text as one value.
    virtual NotesValues GetItemValue(const QString& name) = 0;
    virtual std::int64_t Size() = 0;
    virtual bool HasEmbedded() = 0;
    virtual std::shared_ptr<NotesItem> GetFirstItem(const QString& name) = 0;
    // The document's identity: its universal ID (32 hex digits; "" where the file keeps
    // none) and its note ID (hex, unique within the database).
    virtual QString UniversalID() = 0;
    virtual QString NoteID() = 0;
    // The item as one MIME entity (its headers, then its content with any child parts), as
    // the Notes client offers the MIME entity of an item: MIME mail as it was stored, rich
    // text as its HTML rendering with its pictures. Nothing when the item is missing or
    // holds neither.
    virtual std::optional<QByteArray> GetMIMEEntity(const QString& itemName) = 0;
    // When the document was created; nothing when the database does not tell.
    virtual std::optional<QDateTime> Created() = 0;
    // The names of its items in their stored order, each once, as the Notes client lists its
    // Items; empty where the provider does not tell.
    virtual QStringList ItemNames() { return {}; }
};
using DocumentPtr = std::shared_ptr<NotesDocument>;

class NotesViewEntryCollection {
  public:
    virtual ~NotesViewEntryCollection() = default;
    virtual std::int64_t Count() = 0;
};

// The collection of a view whose entry count is known when the view is read.
class CountedEntries : public NotesViewEntryCollection {
  public:
    explicit CountedEntries(std::int64_t count) : m_count(count) {}
    std::int64_t Count() override { return m_count; }

  private:
    std::int64_t m_count;
};

class NotesView {
  public:
    virtual ~NotesView() = default;
    virtual QString Name() = 0;
    virtual bool isfolder() = 0;
    virtual std::shared_ptr<NotesViewEntryCollection> AllEntries() = 0;
    virtual DocumentPtr GetFirstDocument() = 0;
    // The document after current in this view, or nothing.
    virtual DocumentPtr GetNextDocument(const DocumentPtr& current) = 0;
};
using ViewPtr = std::shared_ptr<NotesView>;
using ViewList = std::vector<ViewPtr>;

class NotesDatabase {
  public:
    virtual ~NotesDatabase() = default;
    virtual QString Title() = 0;
    // Every view and folder in the database's order, hidden ones included.
    virtual std::optional<ViewList> Views() = 0;
    virtual ViewPtr GetView(const QString& name) = 0;
    // Documents the database holds but cannot serve (damaged or unreadable), so that a
    // scan reports them instead of a silent zero. 0 for databases read whole.
    virtual std::int64_t UnreadableDocuments() { return 0; }
};
using DatabasePtr = std::shared_ptr<NotesDatabase>;

class NotesSession : public automation::AutomationObject {
  public:
    // The database; its members fail when the file cannot be opened.
    virtual DatabasePtr GetDatabase(const QString& server, const QString& path) = 0;
};
using SessionPtr = std::shared_ptr<NotesSession>;

}  // namespace velmora::notes
