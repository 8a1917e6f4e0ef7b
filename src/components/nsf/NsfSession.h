#pragma once

// The Notes object model over real Notes databases (.nsf), read natively.

#include "notes/NotesObjects.h"

#include <QByteArray>

#include <map>
#include <memory>
#include <mutex>

namespace velmora::nsf {

// The name of the folder view that lists every mail document of a real database, so that
// mail no readable folder lists still reaches the scan and the export.
inline constexpr const char* kAllMailFolder = "All Mail";
// The folder view of the documents that are neither mail nor listed by any folder, such as
// the data documents of an application database; there only when it has such documents.
inline constexpr const char* kOtherDocumentsFolder = "Other Documents";

// What a sealed (encrypted) item reads as: the document is listed and exported, and its
// PDF says why its body is missing.
inline constexpr const char* kSealedBodyText =
    "[This message is encrypted. Its body can be read only with the recipient's Notes ID; "
    "Velmora cannot read it.]";

class FileSession : public notes::NotesSession {
  public:
    notes::DatabasePtr GetDatabase(const QString& server, const QString& path) override;

  private:
    std::mutex m_mutex;
    std::map<QString, notes::DatabasePtr> m_databases;
};

// What a real database's documents tell beyond the Notes members, for dumps and tests.
class NsfDocumentDetails {
  public:
    virtual ~NsfDocumentDetails() = default;
    virtual std::uint32_t NoteId() = 0;
    virtual std::uint16_t NoteClass() = 0;
    // The whole Internet message of a MIME item ("Body"), reassembled from its parts in
    // item order; empty when the note holds no MIME parts of that name.
    virtual QByteArray MimeMessage(const QString& name) = 0;
};

class NsfAttachmentDetails {
  public:
    virtual ~NsfAttachmentDetails() = default;
    virtual std::int64_t Length() = 0;
    // Whether ExtractFile can write the bytes; if not, why.
    virtual bool Extractable(QString* why) = 0;
};

// Registers FileSession as the reader of every file no other reader claims behind
// "Notes.NotesSession" and "Domino.NotesSession" (the latter lets the scan run tolerantly,
// so an unreadable file reads as having no data).
void RegisterComponent();

}  // namespace velmora::nsf
