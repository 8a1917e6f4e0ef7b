#pragma once

#include "export/MailRecord.h"
#include "notes/NotesObjects.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace velmora::exporting {

// The kind of view a document is exported from; the system folders have fixed names.
enum class ViewKind { UserFolder, Inbox, Sent, Drafts, Trash, FollowUp, JunkMail };

// The output folder name of a system view; "" for a user folder.
QString SystemFolderName(ViewKind kind);

// The date text handed from a document to its message file: ISO 8601 with the value's own
// offset, so that it reads back to the same instant and zone in every locale.
QString MessageDateText(const notes::NotesValue& value);
std::optional<QDateTime> ParseMessageDate(const QString& text);

// Writes attachments into a folder of their own: every attachment gets a fresh
// sub-folder, so two attachments of one name never meet.
class AttachmentSpool {
  public:
    explicit AttachmentSpool(QString folder) : m_folder(std::move(folder)) {}
    // Where the next attachment named name goes; "" when there is no folder.
    QString NextPath(const QString& name);

  private:
    QString m_folder;
    std::int64_t m_next = 0;
};

// Reads one document into a record, extracting the rich-text Body's file attachments, OLE
// objects and object links into spool. Addresses keep their display names; a Notes name
// stands where an Internet address is missing. The date is the first of posted, delivered,
// composed and created. A document without a Body has its fields listed as its body text,
// and the attachments of its first rich-text field. onSubject is told the subject as soon as
// it is read. A failing Notes read throws NotesError; a failing extraction does not: it lands
// in missingAttachments.
MailRecord ExtractMailRecord(notes::NotesDocument& document, ViewKind kind,
                             const QString& userFolderName, AttachmentSpool& spool,
                             const std::function<void(const QString& subject)>& onSubject = {});

}  // namespace velmora::exporting
