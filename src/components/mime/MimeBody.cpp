#include "components/mime/MimeBody.h"

#include "components/mime/GMimeMailMessage.h"
#include "components/mime/GMimeStart.h"
#include "components/mime/HeaderFormat.h"

#include <QStringDecoder>

#include <algorithm>

namespace velmora::mime {

namespace {

// A mail nests its parts a few levels deep; anything deeper is left as it stands.
constexpr int kMaxDepth = 48;

bool IsMultipart(GMimeObject* object, const char* subtype) {
    return GMIME_IS_MULTIPART(object) &&
           g_mime_content_type_is_type(g_mime_object_get_content_type(object), "multipart",
                                       subtype);
}

bool IsPlainText(GMimeObject* object) {
    return GMIME_IS_PART(object) && !g_mime_part_is_attachment(GMIME_PART(object)) &&
           g_mime_content_type_is_type(g_mime_object_get_content_type(object), "text", "plain");
}

bool HasEightBit(const char* text) {
    for (const char* c = text; c && *c; ++c) {
        if (static_cast<unsigned char>(*c) >= 0x80) {
            return true;
        }
    }
    return false;
}

QString DecodeHeaderBytes(const QByteArray& raw) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(raw);
    return utf8.hasError() ? QString::fromLatin1(raw) : text;
}

QByteArray DecodedContent(GMimePart* part) {
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (content == nullptr) {
        return {};
    }
    auto stream = Adopt(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.get());
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len));
}

void EncodeBase64(GMimePart* part) {
    const QByteArray encoded = DecodedContent(part).toBase64();
    QByteArray lines;
    lines.reserve(encoded.size() + encoded.size() / 76 + 1);
    for (qsizetype at = 0; at < encoded.size(); at += 76) {
        lines += encoded.mid(at, 76) + '\n';
    }
    auto stream = Adopt(g_mime_stream_mem_new_with_buffer(lines.constData(), lines.size()));
    auto content =
        Adopt(g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_BASE64));
    g_mime_part_set_content(part, content.get());
    g_mime_part_set_content_encoding(part, GMIME_CONTENT_ENCODING_BASE64);
}

// Header values written raw in 8-bit (a file name, a subject) are written again in 7-bit.
void MakeHeadersSevenBit(GMimeObject* object) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(object);
    for (int i = 0; i < g_mime_header_list_get_count(headers); ++i) {
        GMimeHeader* header = g_mime_header_list_get_header_at(headers, i);
        const char* raw = g_mime_header_get_raw_value(header);
        if (!HasEightBit(raw)) {
            continue;
        }
        const QByteArray name = g_mime_header_get_name(header);
        const QString value = DecodeHeaderBytes(QByteArray(raw).replace("\n ", " ").trimmed());
        if (name.compare("Content-Type", Qt::CaseInsensitive) == 0 && GMIME_IS_PART(object)) {
            const char* fileName = g_mime_part_get_filename(GMIME_PART(object));
            char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(object));
            SetRawHeader(object, name.constData(),
                         header::FormatContentType(name, type, DecodeHeaderBytes(fileName)));
            g_free(type);
        } else if (name.compare("Content-Disposition", Qt::CaseInsensitive) == 0 &&
                   GMIME_IS_PART(object)) {
            const char* fileName = g_mime_part_get_filename(GMIME_PART(object));
            SetRawHeader(object, name.constData(),
                         header::FormatDisposition(name, DecodeHeaderBytes(fileName)));
        } else {
            SetRawHeader(object, name.constData(), header::FormatUnstructured(name, value));
        }
        headers = g_mime_object_get_header_list(object);
        i = -1;  // setting a header may reorder the list: look again from the start
    }
}

void MakeSevenBit(GMimeObject* object, int depth) {
    if (depth > kMaxDepth || object == nullptr) {
        return;
    }
    MakeHeadersSevenBit(object);
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            MakeSevenBit(g_mime_multipart_get_part(multipart, i), depth + 1);
        }
    } else if (GMIME_IS_MESSAGE_PART(object)) {
        if (GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object))) {
            MakeHeadersSevenBit(GMIME_OBJECT(inner));
            MakeSevenBit(g_mime_message_get_mime_part(inner), depth + 1);
        }
    } else if (GMIME_IS_PART(object)) {
        GMimePart* part = GMIME_PART(object);
        const GMimeContentEncoding encoding = g_mime_part_get_content_encoding(part);
        if (encoding == GMIME_CONTENT_ENCODING_BASE64 ||
            encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE ||
            encoding == GMIME_CONTENT_ENCODING_UUENCODE) {
            return;  // already 7-bit, and kept byte for byte
        }
        if (g_mime_part_get_filename(part) != nullptr || g_mime_part_is_attachment(part)) {
            // A file keeps its bytes: encoded here, since GMime would give text files CRLF.
            EncodeBase64(part);
        } else {
            // GMime decodes the stored content and writes it in the encoding set here.
            g_mime_part_set_content_encoding(
                part, g_mime_part_get_best_content_encoding(part, GMIME_ENCODING_CONSTRAINT_7BIT));
        }
    }
}

// Only the entity's own description stays; the mail's fields come from the message.
void KeepContentHeaders(GMimeObject* object) {
    GMimeHeaderList* headers = g_mime_object_get_header_list(object);
    for (int i = g_mime_header_list_get_count(headers) - 1; i >= 0; --i) {
        const char* name = g_mime_header_get_name(g_mime_header_list_get_header_at(headers, i));
        if (g_ascii_strncasecmp(name, "Content-", 8) != 0) {
            g_mime_header_list_remove_at(headers, i);
        }
    }
}

}  // namespace

GObjectPtr<GMimeObject> ParseEntity(const QByteArray& entity) {
    EnsureGMimeStarted();
    if (entity.trimmed().isEmpty()) {
        return nullptr;
    }
    auto stream = Adopt(g_mime_stream_mem_new_with_buffer(entity.constData(), entity.size()));
    auto parser = Adopt(g_mime_parser_new_with_stream(stream.get()));
    GMimeParserOptions* options = g_mime_parser_options_new();
    static const char* fallback[] = {"UTF-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(options, fallback);
    GObjectPtr<GMimeObject> object(g_mime_parser_construct_part(parser.get(), options));
    g_mime_parser_options_free(options);
    return object;
}

QStringList AttachedFileNames(const QByteArray& entity) {
    QStringList names;
    const auto collect = [&names](auto&& self, GMimeObject* object, int depth) -> void {
        if (object == nullptr || depth > kMaxDepth) {
            return;
        }
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
                self(self, g_mime_multipart_get_part(multipart, i), depth + 1);
            }
        } else if (GMIME_IS_PART(object)) {
            if (const char* name = g_mime_part_get_filename(GMIME_PART(object))) {
                names << QString::fromUtf8(name);
            }
        }
    };
    const GObjectPtr<GMimeObject> root = ParseEntity(entity);
    collect(collect, root.get(), 0);
    return names;
}

GObjectPtr<GMimeObject> PrepareBody(const QByteArray& entity, GMimePart* plainText,
                                    const std::vector<GObjectPtr<GMimePart>>& attachments) {
    GObjectPtr<GMimeObject> root = ParseEntity(entity);
    if (!root) {
        return nullptr;
    }
    KeepContentHeaders(root.get());
    MakeSevenBit(root.get(), 0);
    if (plainText != nullptr) {
        // The part the mail opens with: past the containers, down the first parts.
        GMimeMultipart* parent = nullptr;
        GMimeObject* main = root.get();
        for (int depth = 0;
             depth < kMaxDepth && GMIME_IS_MULTIPART(main) && !IsMultipart(main, "alternative") &&
             !IsMultipart(main, "related") && g_mime_multipart_get_count(GMIME_MULTIPART(main)) > 0;
             ++depth) {
            parent = GMIME_MULTIPART(main);
            main = g_mime_multipart_get_part(parent, 0);
        }
        if (IsMultipart(main, "alternative")) {
            GMimeMultipart* alternative = GMIME_MULTIPART(main);
            bool hasPlain = false;
            for (int i = 0; i < g_mime_multipart_get_count(alternative); ++i) {
                hasPlain = hasPlain || IsPlainText(g_mime_multipart_get_part(alternative, i));
            }
            if (!hasPlain) {
                g_mime_multipart_insert(alternative, 0, GMIME_OBJECT(plainText));
            }
        } else if (!IsPlainText(main)) {
            auto alternative = Adopt(g_mime_multipart_new_with_subtype("alternative"));
            g_mime_multipart_add(alternative.get(), GMIME_OBJECT(plainText));
            g_mime_multipart_add(alternative.get(), main);
            if (parent != nullptr) {
                // The replaced part comes back with the reference the parent held.
                Adopt(g_mime_multipart_replace(parent, 0, GMIME_OBJECT(alternative.get())));
            } else {
                root.reset(GMIME_OBJECT(alternative.release()));
            }
        }
    }
    if (attachments.empty()) {
        return root;
    }
    if (!IsMultipart(root.get(), "mixed")) {
        auto mixed = Adopt(g_mime_multipart_new_with_subtype("mixed"));
        g_mime_multipart_add(mixed.get(), root.get());
        root.reset(GMIME_OBJECT(mixed.release()));
    }
    for (const auto& attachment : attachments) {
        g_mime_multipart_add(GMIME_MULTIPART(root.get()), GMIME_OBJECT(attachment.get()));
    }
    return root;
}

}  // namespace velmora::mime
