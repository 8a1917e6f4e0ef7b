#include "components/mailconverter/MailReaderWalker.h"

#include "components/mailconverter/MailReaderParts.h"
#include "components/mailconverter/base/ImageDecoder.h"
#include "util/FileNames.h"
#include "util/GObjectPtr.h"

#include <QMimeDatabase>
#include <QTimeZone>

namespace velmora::mailconverter {

namespace {

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

}  // namespace

MailContent ReadParsedMessage(GMimeMessage* message, const ReaderLimits& limits) {
    Walker walker(limits);
    MailContent content = walker.ReadMessage(message, 0);
    AttachLongNames(walker.LongNames(), content);
    return content;
}

}  // namespace velmora::mailconverter
