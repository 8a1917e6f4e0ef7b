#include "components/mailconverter/MailReaderParts.h"

#include "util/FileNames.h"
#include "util/GObjectPtr.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace velmora::mailconverter {

namespace {

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

QByteArray StreamBytes(GMimeStream* stream) {
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream));
    return QByteArray(reinterpret_cast<const char*>(array->data),
                      static_cast<qsizetype>(array->len));
}

}  // namespace

QString FromUtf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

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

// litehtml measures a table's cells again for every table around it, so time grows
// exponentially with depth (30 levels take minutes); deeper ones lose their grid instead.
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

}  // namespace velmora::mailconverter
