#include "components/mailconverter/MailReader.h"

#include "components/mailconverter/LibraryMessages.h"
#include "components/mailconverter/MailConverterX.h"
#include "components/mailconverter/base/ImageDecoder.h"
#include "util/FileNames.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTimeZone>
#include <QUrl>

#include "components/mime/GMimeStart.h"
#include "util/GObjectPtr.h"

#include <gmime/gmime.h>

#include <fcntl.h>

#include <memory>
#include <mutex>

namespace velmora::mailconverter {

namespace {

QString FromUtf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

bool IsUtf8OrAscii(const QByteArray& charset) {
    const QByteArray c = charset.toLower();
    return c.isEmpty() || c == "utf-8" || c == "utf8" || c == "us-ascii" || c == "ascii";
}

QString DecodeWindows1252(const QByteArray& bytes) {
    static const char16_t high[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    QString out(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? QChar(high[b - 0x80]) : QChar(b);
    }
    return out;
}

// Text of a part in its declared charset. Text that does not decode in it is tried as
// UTF-8 and then read as Windows-1252, which accepts any byte; `readAs` names the
// fallback used, and stays empty when the declared charset held.
QString DecodeText(const QByteArray& bytes, const QByteArray& charset, QString& readAs) {
    readAs.clear();
    if (!IsUtf8OrAscii(charset)) {
        const char* iconvName = g_mime_charset_iconv_name(charset.constData());
        gsize written = 0;
        GError* error = nullptr;
        gchar* converted = g_convert(bytes.constData(), bytes.size(), "UTF-8", iconvName, nullptr,
                                     &written, &error);
        if (converted && !error) {
            QString text = QString::fromUtf8(converted, static_cast<qsizetype>(written));
            g_free(converted);
            return text;
        }
        g_free(converted);
        if (error) {
            g_error_free(error);
        }
        readAs = QStringLiteral("UTF-8");
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    readAs = QStringLiteral("Windows-1252");
    return DecodeWindows1252(bytes);
}

QByteArray StreamBytes(GMimeStream* stream) {
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    return QByteArray(reinterpret_cast<const char*>(array->data),
                      static_cast<qsizetype>(array->len));
}

QByteArray DecodedContent(GMimePart* part) {
    GMimeDataWrapper* wrapper = g_mime_part_get_content(part);
    if (!wrapper) {
        return {};
    }
    GObjectPtr<GMimeStream> memory(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(wrapper, memory.get());
    return StreamBytes(memory.get());
}

QByteArray SerializedObject(GMimeObject* object) {
    GObjectPtr<GMimeStream> memory(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, nullptr, memory.get());
    return StreamBytes(memory.get());
}

QString MimeTypeOf(GMimeObject* object) {
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (!type) {
        return QStringLiteral("application/octet-stream");
    }
    gchar* text = g_mime_content_type_get_mime_type(type);
    QString result = FromUtf8(text).toLower();
    g_free(text);
    return result;
}

bool IsType(GMimeObject* object, const char* type, const char* subtype) {
    GMimeContentType* ct = g_mime_object_get_content_type(object);
    return ct && g_mime_content_type_is_type(ct, type, subtype);
}

QString FormatAddressList(InternetAddressList* list) {
    QStringList entries;
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        const QString name = FromUtf8(internet_address_get_name(address)).trimmed();
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            const QString members = FormatAddressList(
                internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address)));
            entries << (members.isEmpty() ? name : name + QStringLiteral(": ") + members);
            continue;
        }
        const QString addr =
            FromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
        // A reserved ".invalid" address only carries a name that has no Internet form.
        if (!name.isEmpty() && addr.endsWith(QLatin1String(".invalid"), Qt::CaseInsensitive)) {
            entries << name;
        } else if (name.isEmpty()) {
            entries << addr;
        } else {
            entries << name + QStringLiteral(" <") + addr + QLatin1Char('>');
        }
    }
    entries.removeAll(QString());
    return entries.join(QStringLiteral("; "));
}

QString PlainName(QString name) {
    // Keep the last path component only: a name is never a place to write to.
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = name.section(QLatin1Char('/'), -1);
    const QString clean = filenames::WithoutControls(name).trimmed();
    return filenames::IsNoName(clean) ? QString() : clean;
}

// Qt lays out nested tables in time that grows steeply with depth; deeper ones are
// shown with their cells one after another instead.
QString FlattenDeepTables(const QString& html, int maxDepth, bool& flattened) {
    static const QRegularExpression tag(
        QStringLiteral(
            "<\\s*(/?)\\s*(table|tr|td|th|tbody|thead|tfoot|caption|colgroup|col)\\b[^>]*>"),
        QRegularExpression::CaseInsensitiveOption);
    flattened = false;
    QString out;
    qsizetype copied = 0;
    int depth = 0;
    auto it = tag.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const bool table = m.captured(2).compare(QLatin1String("table"), Qt::CaseInsensitive) == 0;
        if (table && !closing) {
            ++depth;
        }
        if (depth > maxDepth) {
            out += QStringView(html).mid(copied, m.capturedStart() - copied);
            out += QLatin1Char(' ');
            copied = m.capturedEnd();
            flattened = true;
        }
        if (table && closing && depth > 0) {
            --depth;
        }
    }
    if (!flattened) {
        return html;
    }
    out += QStringView(html).mid(copied);
    return out;
}

class Walker {
  public:
    explicit Walker(const ReaderLimits& limits)
        : m_limits(limits), m_charsLeft(limits.maxMessageChars) {}

    MailContent ReadMessage(GMimeMessage* message, int depth) {
        MailContent out;
        GMimeObject* object = GMIME_OBJECT(message);
        out.subject = FromUtf8(g_mime_message_get_subject(message));
        bool longField = false;
        qsizetype headerLeft = m_limits.maxHeaderChars;
        // The address lists share one budget; Date and Subject keep theirs whatever comes
        // before them.
        const auto addField = [&](const QString& label, QString value, bool shared) {
            value.replace(QLatin1String("\r\n"), QLatin1String(" "));
            value.replace(QLatin1Char('\n'), QLatin1Char(' '));
            const qsizetype allowed =
                shared ? std::min(m_limits.maxFieldChars, headerLeft) : m_limits.maxFieldChars;
            if (value.size() > allowed) {
                out.notices << QStringLiteral(
                                   "The %1 field has %2 characters; the first %3 are shown.")
                                   .arg(label)
                                   .arg(value.size())
                                   .arg(allowed);
                value = value.left(allowed) + QChar(0x2026);
                longField = true;
            }
            if (shared) {
                headerLeft -= std::min(headerLeft, value.size());
            }
            out.fields.push_back({label, value});
        };
        const auto addresses = [&](GMimeAddressType type, const char* header) {
            QString text = FormatAddressList(g_mime_message_get_addresses(message, type));
            if (text.isEmpty()) {
                text = FromUtf8(g_mime_object_get_header(object, header)).trimmed();
            }
            return text;
        };
        out.sender = addresses(GMIME_ADDRESS_TYPE_FROM, "From");
        addField(QStringLiteral("From"), out.sender, true);
        addField(QStringLiteral("To"), addresses(GMIME_ADDRESS_TYPE_TO, "To"), true);
        if (g_mime_object_get_header(object, "Cc")) {
            addField(QStringLiteral("Cc"), addresses(GMIME_ADDRESS_TYPE_CC, "Cc"), true);
        }
        if (g_mime_object_get_header(object, "Bcc")) {
            addField(QStringLiteral("Bcc"), addresses(GMIME_ADDRESS_TYPE_BCC, "Bcc"), true);
        }
        // A message without a date says so rather than leaving the field blank.
        const QString date = FromUtf8(g_mime_object_get_header(object, "Date")).trimmed();
        addField(QStringLiteral("Date"), date.isEmpty() ? QStringLiteral("(no date)") : date,
                 false);
        addField(QStringLiteral("Subject"), out.subject, false);
        if (out.subject.size() > m_limits.maxFieldChars) {
            out.subject = out.subject.left(m_limits.maxFieldChars);
        }
        if (out.sender.size() > m_limits.maxFieldChars) {
            out.sender = out.sender.left(m_limits.maxFieldChars);
        }
        if (GDateTime* date = g_mime_message_get_date(message)) {
            const int offset =
                static_cast<int>(g_date_time_get_utc_offset(date) / G_TIME_SPAN_SECOND);
            out.date = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date), QTimeZone(offset));
        }
        if (longField) {
            gchar* headers = g_mime_object_get_headers(object, nullptr);
            Attach(out, QByteArray(headers ? headers : ""), QStringLiteral("message-header.txt"),
                   QStringLiteral("text/plain"));
            g_free(headers);
            out.notices << QStringLiteral(
                "The complete header is attached as \"message-header.txt\".");
        }
        if (GMimeObject* body = g_mime_message_get_mime_part(message)) {
            Walk(body, depth + 1, out);
        }
        return out;
    }

  private:
    void Walk(GMimeObject* object, int depth, MailContent& out) {
        ++m_parts;
        if (depth > m_limits.maxDepth) {
            const QString name = QStringLiteral("nested-parts-%1.eml").arg(++m_nestedDumps);
            Attach(out, SerializedObject(object), name, QStringLiteral("message/rfc822"));
            out.notices << QStringLiteral(
                               "Parts nested more than %1 levels deep are not shown; they are "
                               "attached as \"%2\".")
                               .arg(m_limits.maxDepth)
                               .arg(name);
            return;
        }
        if (GMIME_IS_MULTIPART(object)) {
            WalkMultipart(GMIME_MULTIPART(object), depth, out);
        } else if (GMIME_IS_MESSAGE_PART(object)) {
            GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
            if (inner) {
                ++m_messages;
                out.attachedMessages.push_back(ReadMessage(inner, depth));
            }
        } else if (GMIME_IS_PART(object)) {
            AddLeaf(GMIME_PART(object), out);
        }
    }

    void WalkMultipart(GMimeMultipart* multipart, int depth, MailContent& out) {
        GMimeObject* object = GMIME_OBJECT(multipart);
        const int count = g_mime_multipart_get_count(multipart);
        if (IsType(object, "multipart", "alternative") && count > 0) {
            int best = -1;
            int bestScore = 0;
            for (int i = 0; i < count; ++i) {
                const int score = RenderScore(g_mime_multipart_get_part(multipart, i), depth);
                if (score > 0 && score >= bestScore) {
                    best = i;
                    bestScore = score;
                }
            }
            for (int i = 0; i < count; ++i) {
                GMimeObject* child = g_mime_multipart_get_part(multipart, i);
                if (AttachRestWhenOverParts(multipart, i, out)) {
                    return;
                }
                // Other renderings of the same text are left out; anything else is kept.
                if (i == best || RenderScore(child, depth) == 0) {
                    Walk(child, depth + 1, out);
                }
            }
            return;
        }
        if (IsType(object, "multipart", "related") && count > 0) {
            WalkRelated(multipart, depth, out);
            return;
        }
        for (int i = 0; i < count; ++i) {
            if (AttachRestWhenOverParts(multipart, i, out)) {
                return;
            }
            Walk(g_mime_multipart_get_part(multipart, i), depth + 1, out);
        }
    }

    // Past the part budget, the parts from `first` on are kept together in one file: a
    // message of 100,000 parts costs no more to show than one of a thousand. Attached
    // messages have a budget of their own, as each brings a header block.
    bool AttachRestWhenOverParts(GMimeMultipart* multipart, int first, MailContent& out) {
        const bool tooManyParts = m_parts >= m_limits.maxParts;
        if (!tooManyParts && m_messages < m_limits.maxMessages) {
            return false;
        }
        const int count = g_mime_multipart_get_count(multipart);
        GObjectPtr<GMimeMultipart> rest(g_mime_multipart_new_with_subtype("mixed"));
        for (int i = first; i < count; ++i) {
            g_mime_multipart_add(rest.get(), g_mime_multipart_get_part(multipart, i));
        }
        const QString name = QStringLiteral("more-parts-%1.eml").arg(++m_restDumps);
        Attach(out, SerializedObject(GMIME_OBJECT(rest.get())), name,
               QStringLiteral("message/rfc822"));
        const QString reason =
            tooManyParts
                ? QStringLiteral("The message has more than %1 parts").arg(m_limits.maxParts)
                : QStringLiteral("The message holds more than %1 attached messages")
                      .arg(m_limits.maxMessages);
        out.notices << QStringLiteral(
                           "%1; the last %2 parts are not shown and are attached as "
                           "\"%3\".")
                           .arg(reason)
                           .arg(count - first)
                           .arg(name);
        return true;
    }

    // How well a child of multipart/alternative renders: 0 not at all, higher is richer.
    int RenderScore(GMimeObject* object, int depth) const {
        if (depth > m_limits.maxDepth) {
            return 0;
        }
        if (GMIME_IS_PART(object)) {
            if (g_mime_part_is_attachment(GMIME_PART(object))) {
                return 0;
            }
            if (IsType(object, "text", "html")) {
                return 3;
            }
            return IsType(object, "text", "plain") ? 1 : 0;
        }
        if (GMIME_IS_MULTIPART(object)) {
            GMimeMultipart* multipart = GMIME_MULTIPART(object);
            int best = 0;
            for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
                best =
                    std::max(best, RenderScore(g_mime_multipart_get_part(multipart, i), depth + 1));
            }
            return best;
        }
        return 0;
    }

    void WalkRelated(GMimeMultipart* multipart, int depth, MailContent& out) {
        const int count = g_mime_multipart_get_count(multipart);
        const QString start =
            FromUtf8(g_mime_object_get_content_type_parameter(GMIME_OBJECT(multipart), "start"));
        int root = 0;
        if (!start.isEmpty()) {
            QString wanted = start;
            wanted.remove(QLatin1Char('<')).remove(QLatin1Char('>'));
            for (int i = 0; i < count; ++i) {
                GMimeObject* child = g_mime_multipart_get_part(multipart, i);
                if (FromUtf8(g_mime_object_get_content_id(child)) == wanted) {
                    root = i;
                    break;
                }
            }
        }
        const size_t bodyBefore = out.body.size();
        Walk(g_mime_multipart_get_part(multipart, root), depth + 1, out);
        QString html;
        for (size_t i = bodyBefore; i < out.body.size(); ++i) {
            if (out.body[i].kind == MailBodyPart::Kind::Html) {
                html += out.body[i].text;
            }
        }
        for (int i = 0; i < count; ++i) {
            GMimeObject* child = g_mime_multipart_get_part(multipart, i);
            if (i == root) {
                continue;
            }
            if (AttachRestWhenOverParts(multipart, i, out)) {
                return;
            }
            if (!GMIME_IS_PART(child) || !AddResource(GMIME_PART(child), html, out)) {
                Walk(child, depth + 1, out);
            }
        }
    }

    // Registers a part the HTML shows inline; false when it has to be attached instead.
    bool AddResource(GMimePart* part, const QString& html, MailContent& out) {
        const QString id = FromUtf8(g_mime_part_get_content_id(part));
        const QString location = FromUtf8(g_mime_part_get_content_location(part));
        QStringList keys;
        if (!id.isEmpty() && html.contains(QStringLiteral("cid:") + id, Qt::CaseInsensitive)) {
            keys << QStringLiteral("cid:") + id.toLower();
        }
        if (!location.isEmpty() && html.contains(location)) {
            keys << QStringLiteral("loc:") + location;
        }
        if (keys.isEmpty()) {
            return false;
        }
        MailResource resource;
        resource.mimeType = MimeTypeOf(GMIME_OBJECT(part));
        resource.data = DecodedContent(part);
        resource.name = FromUtf8(g_mime_part_get_filename(part));
        if (!Displayable(resource.data)) {
            return false;
        }
        for (const QString& key : std::as_const(keys)) {
            out.resources.insert(key, resource);
        }
        return true;
    }

    // An image Qt can decode, of a size that is safe to decode.
    bool Displayable(const QByteArray& data) const {
        const QSize size = ImageSize(data);
        return size.isValid() && qint64(size.width()) * size.height() <= m_limits.maxImagePixels;
    }

    void AddLeaf(GMimePart* part, MailContent& out) {
        GMimeObject* object = GMIME_OBJECT(part);
        const bool html = IsType(object, "text", "html");
        const bool shownAsText = html || IsType(object, "text", "plain") ||
                                 IsType(object, "text", "rfc822-headers") ||
                                 IsType(object, "message", "delivery-status");
        if (!shownAsText || g_mime_part_is_attachment(part)) {
            QByteArray data = DecodedContent(part);
            const QString name = FromUtf8(g_mime_part_get_filename(part));
            const char* disposition = g_mime_object_get_disposition(object);
            // An image meant to be seen where it stands (as some mailers send photos
            // between text parts) is shown there, and kept as a file all the same.
            if (IsType(object, "image", "*") && disposition &&
                g_ascii_strcasecmp(disposition, "inline") == 0 && Displayable(data)) {
                const QString key = QStringLiteral("cid:velmora-inline-%1").arg(++m_inlineImages);
                out.resources.insert(key, {MimeTypeOf(object), data, name});
                out.body.push_back(
                    {MailBodyPart::Kind::Html, QStringLiteral("<p><img src=\"%1\"></p>").arg(key)});
            }
            Attach(out, std::move(data), name, MimeTypeOf(object));
            return;
        }
        const QByteArray bytes = DecodedContent(part);
        const QByteArray charset = g_mime_object_get_content_type_parameter(object, "charset");
        QString readAs;
        QString text = DecodeText(bytes, charset, readAs);
        const int index = ++m_bodyParts;
        if (!readAs.isEmpty()) {
            out.notices << QStringLiteral(
                               "Text part %1 is not valid in its declared character set \"%2\"; "
                               "it is shown as %3.")
                               .arg(index)
                               .arg(QString::fromLatin1(charset.isEmpty() ? "us-ascii" : charset),
                                    readAs);
        }
        const qsizetype allowed = std::min(m_limits.maxPartChars, m_charsLeft);
        if (text.size() > allowed) {
            QString name = ShownName(FromUtf8(g_mime_part_get_filename(part)));
            if (name.isEmpty()) {
                name = QStringLiteral("body-part-%1.%2").arg(index).arg(html ? "html" : "txt");
            }
            out.notices << QStringLiteral(
                               "Text part %1 has %2 characters; the first %3 are shown and the "
                               "complete part is attached as \"%4\".")
                               .arg(index)
                               .arg(text.size())
                               .arg(allowed)
                               .arg(name);
            text.truncate(allowed);
            Attach(out, bytes, name, MimeTypeOf(object));
        }
        if (html) {
            bool flattened = false;
            text = FlattenDeepTables(text, m_limits.maxTableDepth, flattened);
            if (flattened) {
                out.notices << QStringLiteral(
                                   "Tables nested more than %1 deep in text part %2 are shown "
                                   "without their grid.")
                                   .arg(m_limits.maxTableDepth)
                                   .arg(index);
            }
        }
        m_charsLeft -= text.size();
        out.body.push_back(
            {html ? MailBodyPart::Kind::Html : MailBodyPart::Kind::PlainText, std::move(text)});
    }

  public:
    // Names cut short for the page and the PDF, each with the name it was given.
    const std::vector<std::pair<QString, QString>>& LongNames() const { return m_longNames; }

  private:
    // The name as shown and embedded: no path, at most 255 bytes; the name it had is
    // remembered when it was longer.
    QString ShownName(const QString& given) {
        const QString plain = PlainName(given);
        QString shown = filenames::CapName(plain);
        if (shown != plain) {
            m_longNames.emplace_back(shown, plain);
        }
        return shown;
    }

    void Attach(MailContent& out, QByteArray data, const QString& name, const QString& mimeType) {
        QString plain = ShownName(name);
        if (plain.isEmpty()) {
            const QString suffix = QMimeDatabase().mimeTypeForName(mimeType).preferredSuffix();
            plain = QStringLiteral("attachment-%1").arg(++m_unnamed);
            if (!suffix.isEmpty()) {
                plain += QLatin1Char('.') + suffix;
            }
        }
        out.attachments.push_back({plain, mimeType, std::move(data)});
    }

    const ReaderLimits& m_limits;
    qsizetype m_charsLeft;
    int m_unnamed = 0;
    int m_bodyParts = 0;
    int m_nestedDumps = 0;
    int m_inlineImages = 0;
    int m_parts = 0;
    int m_messages = 0;
    int m_restDumps = 0;
    std::vector<std::pair<QString, QString>> m_longNames;
};

// Names too long to keep are listed whole in a file of their own.
void AttachLongNames(const std::vector<std::pair<QString, QString>>& longNames,
                     MailContent& content) {
    if (longNames.empty()) {
        return;
    }
    QString list;
    for (const auto& [shown, given] : longNames) {
        list += shown + QLatin1Char('\t') + given + QLatin1Char('\n');
    }
    const QString name = QStringLiteral("long-names.txt");
    content.attachments.push_back({name, QStringLiteral("text/plain"), list.toUtf8()});
    content.notices << QStringLiteral(
                           "%1 attachment names are longer than %2 bytes and are shortened; "
                           "the complete names are attached as \"%3\".")
                           .arg(longNames.size())
                           .arg(filenames::kMaxNameBytes)
                           .arg(name);
}

MailContent ReadStream(GMimeStream* stream, const ReaderLimits& limits,
                       const std::function<QByteArray()>& original) {
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
    GMimeParserOptions* options = g_mime_parser_options_new();
    static const char* fallback[] = {"UTF-8", "windows-1252", nullptr};
    g_mime_parser_options_set_fallback_charsets(options, fallback);
    GObjectPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), options));
    g_mime_parser_options_free(options);
    Walker walker(limits);
    if (message) {
        MailContent content = walker.ReadMessage(message.get(), 0);
        AttachLongNames(walker.LongNames(), content);
        return content;
    }
    // Not a message at all: show what the file holds and keep the file itself.
    MailContent content;
    const QByteArray bytes = original();
    QString readAs;
    QString text = DecodeText(bytes, QByteArray(), readAs);
    content.notices << QStringLiteral(
        "The file is not an Internet message; its content is shown as text and the file is "
        "attached as \"original-message.eml\".");
    if (text.size() > limits.maxPartChars) {
        text.truncate(limits.maxPartChars);
        content.notices
            << QStringLiteral("Only the first %1 characters are shown.").arg(limits.maxPartChars);
    }
    for (const char* label : {"From", "To", "Date", "Subject"}) {
        content.fields.push_back({QString::fromLatin1(label), QString()});
    }
    content.body.push_back({MailBodyPart::Kind::PlainText, std::move(text)});
    content.attachments.push_back(
        {QStringLiteral("original-message.eml"), QStringLiteral("message/rfc822"), bytes});
    return content;
}

}  // namespace

MailReader::MailReader(ReaderLimits limits) : m_limits(limits) {
    RouteLibraryMessages();
    mime::EnsureGMimeStarted();
}

MailContent MailReader::ReadFile(const QString& path) const {
    const QFileInfo info(path);
    if (!info.exists()) {
        throw ConversionError(QStringLiteral("The message file \"%1\" does not exist.").arg(path));
    }
    if (!info.isFile()) {
        throw ConversionError(QStringLiteral("\"%1\" is not a file.").arg(path));
    }
    if (info.size() == 0) {
        throw ConversionError(
            QStringLiteral("The message file \"%1\" is empty; there is no message to convert.")
                .arg(path));
    }
    if (info.size() > m_limits.maxFileBytes) {
        throw ConversionError(QStringLiteral("The message file \"%1\" is larger than %2 MB.")
                                  .arg(path)
                                  .arg(m_limits.maxFileBytes / (1024 * 1024)));
    }
    GError* error = nullptr;
    GObjectPtr<GMimeStream> stream(
        g_mime_stream_fs_open(QFile::encodeName(path).constData(), O_RDONLY, 0, &error));
    if (!stream) {
        const QString reason = error ? FromUtf8(error->message) : QStringLiteral("unknown error");
        if (error) {
            g_error_free(error);
        }
        throw ConversionError(
            QStringLiteral("The message file \"%1\" cannot be read: %2").arg(path, reason));
    }
    return ReadStream(stream.get(), m_limits, [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    });
}

MailContent MailReader::ReadBytes(const QByteArray& bytes) const {
    if (bytes.isEmpty()) {
        throw ConversionError(QStringLiteral("The message is empty; there is nothing to convert."));
    }
    GObjectPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
    return ReadStream(stream.get(), m_limits, [&bytes] { return bytes; });
}

}  // namespace velmora::mailconverter
