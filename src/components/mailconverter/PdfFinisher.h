#pragma once

#include "components/mailconverter/HtmlLayout.h"
#include "components/mailconverter/MailContent.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

class QIODevice;

#include <vector>

namespace velmora::mailconverter {

struct PdfMetadata {
    QString title;
    QString author;
    QDateTime created;  // the message's date; the conversion time when invalid
};

// Turns the painted PDF into the archival document (PDF/A-3u): an sRGB output intent, the message's
// files and the message itself (`source`, when given) embedded as associated files, metadata in the
// document information and in XMP, and the links of the page as link annotations, written to `out`.
// Throws ConversionError.
class PdfFinisher {
  public:
    static void Finish(const QByteArray& painted, const PdfMetadata& metadata,
                       const std::vector<MailAttachment>& files, QIODevice& out,
                       const MailAttachment* source = nullptr,
                       const std::vector<PdfLink>& links = {});

    // Names unique within the document, in order: "a.txt", "a (2).txt", ...
    static std::vector<QString> UniqueNames(const std::vector<MailAttachment>& files);
};

}  // namespace velmora::mailconverter
