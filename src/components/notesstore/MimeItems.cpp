#include "components/notesstore/MimeItems.h"

#include "util/HtmlText.h"

#include <QList>

// GLib names a struct member "signals", which Qt's keyword macro would rewrite.
#undef signals
#include "components/mime/MimeBody.h"
#include "util/GObjectPtr.h"

#include <gmime/gmime.h>

namespace velmora::notesstore {

using namespace velmora::notes;

namespace {

constexpr int kMaxDepth = 48;

void CollectBoundaries(GMimeObject* object, QList<QByteArray>& out, int depth) {
    if (object == nullptr || depth > kMaxDepth) {
        return;
    }
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        if (const char* boundary = g_mime_multipart_get_boundary(multipart)) {
            out << "--" + QByteArray(boundary);
        }
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            CollectBoundaries(g_mime_multipart_get_part(multipart, i), out, depth + 1);
        }
    }
}

struct TextParts {
    QString plain;
    QString html;
    bool hasPlain = false;
    bool hasHtml = false;
};

void FindText(GMimeObject* object, TextParts& found, int depth) {
    if (object == nullptr || depth > kMaxDepth || found.hasPlain) {
        return;
    }
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            FindText(g_mime_multipart_get_part(multipart, i), found, depth + 1);
        }
        return;
    }
    if (!GMIME_IS_TEXT_PART(object) || g_mime_part_is_attachment(GMIME_PART(object))) {
        return;
    }
    GMimeContentType* type = g_mime_object_get_content_type(object);
    const bool plain = g_mime_content_type_is_type(type, "text", "plain");
    const bool html = g_mime_content_type_is_type(type, "text", "html");
    if ((!plain || found.hasPlain) && (!html || found.hasHtml)) {
        return;
    }
    char* text = g_mime_text_part_get_text(GMIME_TEXT_PART(object));
    const QString decoded = QString::fromUtf8(text ? text : "");
    g_free(text);
    if (plain) {
        found.plain = decoded;
        found.hasPlain = true;
    } else {
        found.html = decoded;
        found.hasHtml = true;
    }
}

}  // namespace

QString MimePlainText(const QByteArray& message) {
    auto entity = mime::ParseEntity(message);
    TextParts found;
    FindText(entity.get(), found, 0);
    if (found.hasPlain) {
        return found.plain;
    }
    return found.hasHtml ? HtmlToText(found.html) : QString();
}

void AddMimeBody(DocumentData& document, const QByteArray& message, const QString& plainText) {
    QList<QByteArray> boundaries;
    auto entity = mime::ParseEntity(message);
    CollectBoundaries(entity.get(), boundaries, 0);
    // A new part begins at every boundary line.
    std::vector<QByteArray> parts;
    qsizetype start = 0;
    qsizetype line = 0;
    while (line < message.size()) {
        qsizetype next = message.indexOf('\n', line);
        next = next < 0 ? message.size() : next + 1;
        if (line > start && message.at(line) == '-') {
            for (const QByteArray& boundary : boundaries) {
                if (QByteArrayView(message).sliced(line).startsWith(boundary)) {
                    parts.push_back(message.mid(start, line - start));
                    start = line;
                    break;
                }
            }
        }
        line = next;
    }
    parts.push_back(message.mid(start));
    const QString text = plainText.isNull() ? MimePlainText(message) : plainText;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        ItemData& item = document.Add(QStringLiteral("Body"),
                                      i == 0 ? NotesValues{text} : NotesValues{}, kItemMimePart);
        item.data = parts[i];
    }
    document.AddText(QStringLiteral("MIME_Version"), {QStringLiteral("1.0")});
    document.AddText(QStringLiteral("$NoteHasNativeMIME"), {QStringLiteral("1")});
}

}  // namespace velmora::notesstore
