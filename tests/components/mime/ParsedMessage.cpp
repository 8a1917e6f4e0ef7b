#include "ParsedMessage.h"

#include "util/GObjectPtr.h"

#include <gmime/gmime.h>

namespace velmora::mime::test {

namespace {

std::vector<Mailbox> Mailboxes(InternetAddressList* list) {
    std::vector<Mailbox> result;
    for (int i = 0; list && i < internet_address_list_length(list); ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        Mailbox mailbox;
        mailbox.name = QString::fromUtf8(internet_address_get_name(address));
        if (INTERNET_ADDRESS_IS_MAILBOX(address)) {
            mailbox.address = QString::fromUtf8(
                internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
        }
        result.push_back(mailbox);
    }
    return result;
}

QByteArray DecodedContent(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content) {
        return {};
    }
    auto stream = Adopt(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.get());
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len));
}

void ReadPart(GMimeObject* object, ParsedMessage& message, bool& haveBody) {
    if (GMIME_IS_MULTIPART(object)) {
        auto* multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            ReadPart(g_mime_multipart_get_part(multipart, i), message, haveBody);
        }
        return;
    }
    if (!GMIME_IS_PART(object)) {
        return;
    }
    auto* part = GMIME_PART(object);
    const bool attachment = g_mime_part_is_attachment(part);
    if (!attachment && !haveBody && GMIME_IS_TEXT_PART(object)) {
        char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(object));
        // Text travels with CRLF line ends; the caller's text had one "\n" per line end.
        message.body =
            QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        g_free(text);
        haveBody = true;
        return;
    }
    ParsedAttachment parsed;
    parsed.fileName = QString::fromUtf8(g_mime_part_get_filename(part));
    char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(object));
    parsed.mediaType = QString::fromUtf8(type);
    g_free(type);
    parsed.bytes = DecodedContent(part);
    message.attachments.push_back(std::move(parsed));
}

}  // namespace

ParsedMessage ParseMessage(const QString& text) {
    g_mime_init();
    ParsedMessage message;
    const QByteArray bytes = text.toLatin1();
    auto stream = Adopt(g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
    auto parser = Adopt(g_mime_parser_new_with_stream(stream.get()));
    auto mime = Adopt(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!mime) {
        return message;
    }
    message.parsed = true;
    message.from = Mailboxes(g_mime_message_get_from(mime.get()));
    message.to = Mailboxes(g_mime_message_get_to(mime.get()));
    message.cc = Mailboxes(g_mime_message_get_cc(mime.get()));
    message.bcc = Mailboxes(g_mime_message_get_bcc(mime.get()));
    message.subject = QString::fromUtf8(g_mime_message_get_subject(mime.get()));
    message.messageId = QString::fromUtf8(g_mime_message_get_message_id(mime.get()));
    auto* object = GMIME_OBJECT(mime.get());
    message.mimeVersion = QString::fromUtf8(g_mime_object_get_header(object, "MIME-Version"));
    message.dateHeader = QString::fromUtf8(g_mime_object_get_header(object, "Date"));
    if (GDateTime* date = g_mime_message_get_date(mime.get())) {
        const int offset = int(g_date_time_get_utc_offset(date) / G_TIME_SPAN_SECOND);
        message.date =
            QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date), Qt::OffsetFromUTC, offset);
    }
    bool haveBody = false;
    if (GMimeObject* part = g_mime_message_get_mime_part(mime.get())) {
        ReadPart(part, message, haveBody);
    }
    return message;
}

}  // namespace velmora::mime::test
