#include "components/mime/GMimeMailMessage.h"

#include "components/mime/GMimeStart.h"
#include "components/mime/HeaderFormat.h"
#include "components/mime/MailError.h"
#include "components/mime/MediaTypes.h"
#include "components/mime/MimeBody.h"

#include <QFile>
#include <QFileInfo>

#include <mutex>

namespace velmora::mime {

void EnsureGMimeStarted() {
    static std::once_flag started;
    std::call_once(started, [] { g_mime_init(); });
}

namespace {

void Append(std::vector<Mailbox>& list, std::vector<Mailbox> added) {
    list.insert(list.end(), std::make_move_iterator(added.begin()),
                std::make_move_iterator(added.end()));
}

}  // namespace

void SetRawHeader(GMimeObject* object, const char* name, const QByteArray& rawValue) {
    // GMime parses the value into its own model, but would write it re-encoded its own way;
    // the raw value is written as it is.
    const QByteArray unfolded = QByteArray(rawValue).replace("\n ", " ").trimmed();
    g_mime_object_set_header(object, name, unfolded.constData(), nullptr);
    GMimeHeader* header =
        g_mime_header_list_get_header(g_mime_object_get_header_list(object), name);
    if (!header) {
        throw MailError(QStringLiteral("The header %1 could not be set.").arg(QLatin1String(name)));
    }
    g_mime_header_set_raw_value(header, rawValue.constData());
}

GMimeMailMessage::GMimeMailMessage() {
    EnsureGMimeStarted();
}

void GMimeMailMessage::AddTo(const QString& addresses, const QString& names) {
    Append(m_to, ParseAddressText(addresses, names));
}

void GMimeMailMessage::AddCc(const QString& addresses, const QString& names) {
    Append(m_cc, ParseAddressText(addresses, names));
}

void GMimeMailMessage::AddBcc(const QString& addresses, const QString& names) {
    Append(m_bcc, ParseAddressText(addresses, names));
}

void GMimeMailMessage::SetFrom(const QString& addresses) {
    m_from = ParseAddressText(addresses, addresses);
}

void GMimeMailMessage::SetSubject(const QString& subject) {
    m_subject = subject;
}

void GMimeMailMessage::SetBody(const QString& plainText) {
    m_body = plainText;
}

void GMimeMailMessage::SetMimeBody(const QByteArray& entity) {
    if (!ParseEntity(entity)) {
        throw MailError(QStringLiteral("The body is not a MIME entity."));
    }
    m_mimeBody = entity;
}

void GMimeMailMessage::SetDate(const QDateTime& date) {
    header::FormatDate(date);  // refuses what cannot be written before anything changes
    m_date = date;
}

QString GMimeMailMessage::AddAttachment(const QString& path) {
    const QFileInfo info(path);
    // Only regular files: a pipe or a device would never end or never stop growing.
    if (path.isEmpty() || !info.isFile()) {
        throw MailError(QStringLiteral("The attachment \"%1\" is not a readable file.").arg(path));
    }
    if (info.size() > kMaxAttachmentBytes) {
        throw MailError(QStringLiteral("The attachment \"%1\" is too large to attach (%2 bytes).")
                            .arg(path)
                            .arg(info.size()));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw MailError(QStringLiteral("The attachment \"%1\" cannot be read: %2")
                            .arg(path, file.errorString()));
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError || data.size() > kMaxAttachmentBytes) {
        throw MailError(QStringLiteral("The attachment \"%1\" cannot be read: %2")
                            .arg(path, file.errorString()));
    }
    const QString fileName = QFileInfo(path).fileName();
    const QByteArray mediaType = MediaTypeForFileName(fileName);
    const qsizetype slash = mediaType.indexOf('/');

    auto part = Adopt(g_mime_part_new_with_type(mediaType.left(slash).constData(),
                                                mediaType.mid(slash + 1).constData()));
    auto stream = Adopt(g_mime_stream_mem_new_with_buffer(data.constData(), data.size()));
    auto content =
        Adopt(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part.get(), content.get());
    g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
    auto* object = GMIME_OBJECT(part.get());
    SetRawHeader(object, "Content-Type",
                 header::FormatContentType("Content-Type", mediaType, fileName));
    SetRawHeader(object, "Content-Disposition",
                 header::FormatDisposition("Content-Disposition", fileName));
    m_attachments.push_back(std::move(part));
    m_attachmentBytes += data.size();
    return fileName;
}

}  // namespace velmora::mime
