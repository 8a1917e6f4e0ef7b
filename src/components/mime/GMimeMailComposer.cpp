#include "components/mime/GMimeMailComposer.h"

#include "components/mime/GMimeMailMessage.h"
#include "components/mime/GMimeStart.h"
#include "components/mime/HeaderFormat.h"
#include "components/mime/MailError.h"
#include "components/mime/MimeBody.h"
#include "components/mime/QuotedPrintable.h"

#include <QUuid>

#include <algorithm>
#include <limits>

namespace velmora::mime {

namespace {

// Text bodies are canonical with one kind of line end; the writer turns it into CRLF.
QByteArray BodyBytes(const QString& text) {
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalized.replace(u'\r', u'\n');
    return normalized.toUtf8();
}

GObjectPtr<GMimePart> MakeBodyPart(const QString& text) {
    auto part = Adopt(g_mime_part_new_with_type("text", "plain"));
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(part.get()), "charset", "utf-8");
    const QByteArray bytes = BodyBytes(text);
    auto stream = Adopt(g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
    auto content =
        Adopt(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part.get(), content.get());
    // 7bit when every line is short ASCII, else quoted-printable or base64, whichever is
    // smaller: the text stays 7-bit whatever it holds.
    GMimeContentEncoding encoding =
        g_mime_part_get_best_content_encoding(part.get(), GMIME_ENCODING_CONSTRAINT_7BIT);
    // Written last, 7bit text and GMime's quoted-printable both gain a line end the text did
    // not have; our quoted-printable ends such a text with a soft break instead.
    if (encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE ||
        ((encoding == GMIME_CONTENT_ENCODING_7BIT || encoding == GMIME_CONTENT_ENCODING_DEFAULT) &&
         !bytes.isEmpty() && !bytes.endsWith('\n'))) {
        const QByteArray encoded = EncodeQuotedPrintable(bytes);
        auto encodedStream =
            Adopt(g_mime_stream_mem_new_with_buffer(encoded.constData(), encoded.size()));
        auto encodedContent = Adopt(g_mime_data_wrapper_new_with_stream(
            encodedStream.get(), GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE));
        g_mime_part_set_content(part.get(), encodedContent.get());
        encoding = GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE;
    }
    if (encoding == GMIME_CONTENT_ENCODING_DEFAULT) {
        encoding = GMIME_CONTENT_ENCODING_7BIT;
    }
    g_mime_part_set_content_encoding(part.get(), encoding);
    return part;
}

void AddMailboxHeader(GMimeObject* object, const char* name, const std::vector<Mailbox>& list) {
    if (!list.empty()) {
        SetRawHeader(object, name, header::FormatMailboxes(name, list));
    }
}

}  // namespace

GMimeMailComposer::GMimeMailComposer() {
    EnsureGMimeStarted();
}

QString GMimeMailComposer::ComposeText(MailMessage& message) {
    const auto* source = dynamic_cast<const GMimeMailMessage*>(&message);
    if (!source) {
        throw MailError(QStringLiteral("The message was not made by this mail component."));
    }

    auto mime = Adopt(g_mime_message_new(FALSE));
    auto* object = GMIME_OBJECT(mime.get());
    AddMailboxHeader(object, "From", source->From());
    if (source->From().size() > 1) {
        // Several authors need one sender (RFC 5322 3.6.2): the first of them.
        AddMailboxHeader(object, "Sender", {source->From().front()});
    }
    AddMailboxHeader(object, "To", source->To());
    AddMailboxHeader(object, "Cc", source->Cc());
    AddMailboxHeader(object, "Bcc", source->Bcc());
    if (!source->Subject().isEmpty()) {
        SetRawHeader(object, "Subject", header::FormatUnstructured("Subject", source->Subject()));
    }
    if (source->Date()) {
        SetRawHeader(object, "Date", header::FormatDate(*source->Date()));
    }
    const QByteArray id =
        QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + "@velmora.invalid";
    g_mime_message_set_message_id(mime.get(), id.constData());

    auto body = MakeBodyPart(source->Body());
    if (!source->MimeBody().isEmpty()) {
        auto own = PrepareBody(source->MimeBody(),
                               source->Body().trimmed().isEmpty() ? nullptr : body.get(),
                               source->Attachments());
        if (!own) {
            throw MailError(QStringLiteral("The message body could not be read as MIME."));
        }
        g_mime_message_set_mime_part(mime.get(), own.get());
    } else if (source->Attachments().empty()) {
        g_mime_message_set_mime_part(mime.get(), GMIME_OBJECT(body.get()));
    } else {
        auto mixed = Adopt(g_mime_multipart_new_with_subtype("mixed"));
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(body.get()));
        for (const auto& attachment : source->Attachments()) {
            g_mime_multipart_add(mixed.get(), GMIME_OBJECT(attachment.get()));
        }
        g_mime_message_set_mime_part(mime.get(), GMIME_OBJECT(mixed.get()));
    }

    auto options = std::unique_ptr<GMimeFormatOptions, decltype(&g_mime_format_options_free)>(
        g_mime_format_options_new(), &g_mime_format_options_free);
    g_mime_format_options_set_newline_format(options.get(), GMIME_NEWLINE_FORMAT_DOS);
    // Sized up front: growing a buffer of megabytes step by step costs more than the encoding.
    const qsizetype expected = source->Body().size() * 3 + source->MimeBody().size() * 2 +
                               source->AttachmentBytes() / 3 * 4 * 78 / 76 + 16384;
    auto output = Adopt(g_mime_stream_mem_new_with_byte_array(g_byte_array_sized_new(
        guint(std::min<qsizetype>(expected, std::numeric_limits<guint>::max() / 2)))));
    if (g_mime_object_write_to_stream(object, options.get(), output.get()) < 0) {
        throw MailError(QStringLiteral("The message could not be written."));
    }
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(output.get()));
    const auto* data = reinterpret_cast<const char*>(bytes->data);
    for (guint i = 0; i < bytes->len; ++i) {
        if (static_cast<unsigned char>(data[i]) >= 0x80) {
            throw MailError(QStringLiteral("The message text would not be pure ASCII."));
        }
    }
    return QString::fromLatin1(data, qsizetype(bytes->len));
}

}  // namespace velmora::mime
