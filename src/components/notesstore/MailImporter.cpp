#include "components/notesstore/MailImporter.h"

#include "components/notesstore/MimeItems.h"
#include "notes/FolderNames.h"
#include "util/FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>

#include <fcntl.h>

// GLib names a struct member "signals", which Qt's keyword macro would rewrite.
#undef signals
#include "components/mime/GMimeStart.h"
#include "util/GObjectPtr.h"

#include <gmime/gmime.h>

#include <functional>
#include <memory>

namespace velmora::notesstore {

using namespace velmora::notes;

namespace {

struct Address {
    QString display;
    QString internet;
};

void CollectAddresses(InternetAddressList* list, std::vector<Address>& out, int depth = 0) {
    if (list == nullptr || depth > 4) {
        return;
    }
    for (int i = 0; i < internet_address_list_length(list); ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            CollectAddresses(internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)),
                             out, depth + 1);
            continue;
        }
        const char* mailbox = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address));
        char* display = internet_address_to_string(address, nullptr, FALSE);
        out.push_back(Address{QString::fromUtf8(display), QString::fromUtf8(mailbox)});
        g_free(display);
    }
}

void AddAddressItems(DocumentData& doc, const QString& notesItem, const QString& internetItem,
                     InternetAddressList* list) {
    std::vector<Address> addresses;
    CollectAddresses(list, addresses);
    if (addresses.empty()) {
        return;
    }
    QStringList display, internet;
    for (const Address& address : addresses) {
        display << address.display;
        internet << (address.internet.isEmpty() ? QStringLiteral(".") : address.internet);
    }
    doc.AddText(notesItem, display);
    doc.AddText(internetItem, internet);
}

DocumentData ToDocument(GMimeMessage* message) {
    DocumentData doc;
    doc.AddText(QStringLiteral("Form"), {QStringLiteral("Memo")});
    std::vector<Address> from;
    CollectAddresses(g_mime_message_get_from(message), from);
    if (!from.empty()) {
        doc.AddText(QStringLiteral("From"), {from.front().display});
        doc.AddText(
            QStringLiteral("INetFrom"),
            {from.front().internet.isEmpty() ? QStringLiteral(".") : from.front().internet});
    }
    AddAddressItems(doc, QStringLiteral("SendTo"), QStringLiteral("InetSendTo"),
                    g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_TO));
    AddAddressItems(doc, QStringLiteral("CopyTo"), QStringLiteral("InetCopyTo"),
                    g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_CC));
    AddAddressItems(doc, QStringLiteral("BlindCopyTo"), QStringLiteral("InetBlindCopyTo"),
                    g_mime_message_get_addresses(message, GMIME_ADDRESS_TYPE_BCC));
    if (const char* subject = g_mime_message_get_subject(message)) {
        doc.AddText(QStringLiteral("Subject"), {QString::fromUtf8(subject)});
    }
    if (GDateTime* date = g_mime_message_get_date(message)) {
        const qint64 seconds = g_date_time_to_unix(date);
        const int offset = static_cast<int>(g_date_time_get_utc_offset(date) / G_TIME_SPAN_SECOND);
        doc.AddDate(QStringLiteral("PostedDate"),
                    QDateTime::fromSecsSinceEpoch(seconds, QTimeZone(offset)));
    }
    // The whole message, as Notes keeps MIME mail: its parts in the Body, nothing flattened.
    char* text = g_mime_object_to_string(GMIME_OBJECT(message), nullptr);
    const QByteArray bytes(text ? text : "");
    g_free(text);
    AddMimeBody(doc, bytes);
    return doc;
}

bool LooksLikeMbox(const QString& file) {
    QFile in(file);
    return in.open(QIODevice::ReadOnly) && in.read(5) == "From ";
}

}  // namespace

int ForEachMessage(const QString& file, const std::function<void(const DocumentData&)>& take) {
    mime::EnsureGMimeStarted();
    // Only regular files: opening a pipe or a device would wait or read forever.
    const QFileInfo info(file);
    if (info.exists() && !info.isFile()) {
        throw StoreError(QStringLiteral("%1 is not a regular file").arg(file));
    }
    GError* error = nullptr;
    GObjectPtr<GMimeStream> stream(
        g_mime_stream_fs_open(QFile::encodeName(file).constData(), O_RDONLY, 0, &error));
    if (!stream) {
        const QString reason = QString::fromUtf8(error ? error->message : "cannot be opened");
        g_clear_error(&error);
        throw StoreError(QStringLiteral("Cannot read %1: %2").arg(file, reason));
    }
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    const bool mbox = LooksLikeMbox(file);
    g_mime_parser_set_format(parser.get(), mbox ? GMIME_FORMAT_MBOX : GMIME_FORMAT_MESSAGE);
    int count = 0;
    do {
        GObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
        if (!message) {
            break;
        }
        DocumentData document = ToDocument(message.get());
        // A text without any header line still parses; it is not a message for us.
        if (!mbox && !document.Find(QStringLiteral("From")) &&
            !document.Find(QStringLiteral("Subject")) && !document.Find(QStringLiteral("SendTo"))) {
            break;
        }
        take(document);
        ++count;
    } while (mbox && !g_mime_parser_eos(parser.get()));
    if (count == 0) {
        throw StoreError(QStringLiteral("%1 holds no message").arg(file));
    }
    return count;
}

std::vector<DocumentData> ReadMessages(const QString& file) {
    std::vector<DocumentData> documents;
    ForEachMessage(file, [&](const DocumentData& document) { documents.push_back(document); });
    return documents;
}

namespace {

// A folder name is a name, never a path: an export puts each folder one level below its
// destination, where a level that is empty, "." or ".." would act as a path.
void CheckFolderName(const QString& folder) {
    if (folder.isEmpty()) {
        throw StoreError(QStringLiteral("The folder name is empty"));
    }
    if (filenames::WithoutControls(folder) != folder) {
        throw StoreError(QStringLiteral("The folder name holds a control character"));
    }
    static const QRegularExpression levels(QStringLiteral("[/\\\\]"));
    for (const QString& level : folder.split(levels)) {
        if (filenames::IsNoName(filenames::TrimBlanks(level))) {
            throw StoreError(QStringLiteral("The folder name \"%1\" is refused: every part of it "
                                            "between / and \\ must be a name, not empty, "
                                            "\".\" or \"..\"")
                                 .arg(folder));
        }
    }
}

}  // namespace

ImportOutcome ImportMail(const QString& storePath, const QString& folder,
                         const QStringList& files) {
    CheckFolderName(folder);
    if (!QFileInfo::exists(storePath)) {
        auto writer = StoreWriter::Create(storePath);
        writer->SetTitle(QFileInfo(storePath).completeBaseName());
        for (const char* name :
             {"($Inbox)", "($Drafts)", "($Sent)", "($Follow-Up)", "($JunkMail)", "($Trash)"}) {
            writer->AddView(QString::fromLatin1(name), true);
        }
        writer->Commit();
    }
    auto writer = StoreWriter::Append(storePath);
    const auto existing = writer->FindView(folder);
    const std::int64_t view = existing ? *existing : writer->AddView(folder, true);
    ImportOutcome outcome;
    for (const QString& file : files) {
        // One message at a time, so that a large mbox never sits in memory whole. A file
        // that cannot be read is skipped; a store that cannot be written ends the import
        // with nothing committed.
        struct WriteFailure {
            StoreError error;
        };
        try {
            outcome.imported += ForEachMessage(file, [&](const DocumentData& document) {
                try {
                    writer->File(view, writer->AddDocument(document));
                } catch (const StoreError& error) {
                    throw WriteFailure{error};
                }
            });
        } catch (const WriteFailure& failure) {
            throw failure.error;
        } catch (const StoreError& error) {
            outcome.problems << error.Message();
        }
    }
    writer->Commit();
    return outcome;
}

}  // namespace velmora::notesstore
