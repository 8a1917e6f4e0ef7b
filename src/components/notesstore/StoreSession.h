#pragma once

// The Notes object model served from offline store files.

#include "notes/NotesObjects.h"

#include <memory>

namespace velmora::notesstore {

class OpenStores;

// Opens store files by path. Views are found by name exactly first and then without
// regard to case; item names are matched without regard to case, as Notes does.
class StoreSession : public notes::NotesSession {
  public:
    StoreSession();
    notes::DatabasePtr GetDatabase(const QString& server, const QString& path) override;

  private:
    std::shared_ptr<OpenStores> m_open;
};

// What store objects tell beyond the Notes members, for dumps and tests.
class StoredDocumentDetails {
  public:
    virtual ~StoredDocumentDetails() = default;
    // Item names in the document's order (duplicates included).
    virtual QStringList ItemNames() = 0;
};

class StoredEmbeddedDetails {
  public:
    virtual ~StoredEmbeddedDetails() = default;
    virtual std::int64_t Length() = 0;
};

// Registers StoreSession as the reader of offline stores (SQLite files) behind
// "Notes.NotesSession".
void RegisterComponent();

}  // namespace velmora::notesstore
