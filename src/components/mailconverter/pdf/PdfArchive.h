#pragma once

#include "components/mailconverter/base/MailContent.h"

#include <QByteArray>
#include <QDateTime>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

namespace velmora::mailconverter {

class PdfObjects;

struct PdfMetadata {
    QString title;
    QString author;
    QDateTime created;  // the message's date; the conversion time when invalid
};

// A link's box on a page, for a link annotation.
struct PdfLink {
    int page = 0;  // zero-based
    QRectF rect;   // top-left origin, as painted
    QString url;
};

// What an archival document (PDF/A-3u) carries beside its pages: metadata for the document
// information and XMP, the message's files and the message itself (`source`) as associated
// files, and the links of the pages.
struct PdfArchive {
    PdfMetadata metadata;
    std::vector<MailAttachment> files;
    std::optional<MailAttachment> source;
    std::vector<PdfLink> links;
};

// Writes the parts of an archival document that are not pages into `objects`.
class PdfArchiveWriter {
  public:
    PdfArchiveWriter(PdfObjects& objects, const PdfArchive& archive);

    // The catalog's entries for metadata, output intent and associated files; written once.
    QByteArray CatalogEntries();
    // The document information dictionary's object number.
    int Info() const { return m_info; }
    // The file identifier: a digest of what tells this document from others.
    QByteArray FileId() const;
    // "/Annots[...]" for the page at `index` of `height` points, or nothing.
    QByteArray Annotations(int index, double height);

    // Names unique within the document, in order: "a.txt", "a (2).txt", ...
    static std::vector<QString> UniqueNames(const std::vector<MailAttachment>& files);
    // Whether a reader may follow the link without running anything.
    static bool FollowableLink(const QString& url);

  private:
    QByteArray EmbedFiles();
    QByteArray OutputIntent();
    QByteArray WriteMetadata();

    PdfObjects& m_objects;
    const PdfArchive& m_archive;
    QDateTime m_now;
    QDateTime m_created;
    int m_info = 0;
};

}  // namespace velmora::mailconverter
