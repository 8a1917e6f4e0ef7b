#pragma once

// Internet messages (.eml files and mbox files) turned into Notes mail documents.

#include "components/notesstore/StoreWriter.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace velmora::notesstore {

// Every message of file: one for an .eml file, each of them for an mbox file (a file
// that begins with "From "). Items follow a Notes mail file: From/INetFrom,
// SendTo/InetSendTo, CopyTo/InetCopyTo, BlindCopyTo/InetBlindCopyTo, Subject, PostedDate,
// and the whole message as MIME_PART Body items, as Notes keeps MIME mail (MimeItems.h).
// Throws StoreError when the file cannot be read or holds no message.
std::vector<DocumentData> ReadMessages(const QString& file);

// The same, handing each message to take as soon as it is read; answers the count.
int ForEachMessage(const QString& file, const std::function<void(const DocumentData&)>& take);

struct ImportOutcome {
    int imported = 0;
    QStringList problems;  // one line per file that was skipped
};

// Files the messages of files into the folder of the store (each created when missing;
// a new store gets the standard views). Files that cannot be read are skipped and
// reported; the rest is committed in one transaction, so a failure leaves the store as
// it was. Throws StoreError when the store itself cannot be written.
ImportOutcome ImportMail(const QString& storePath, const QString& folder, const QStringList& files);

}  // namespace velmora::notesstore
