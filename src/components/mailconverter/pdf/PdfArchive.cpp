#include "components/mailconverter/pdf/PdfArchive.h"

#include "components/mailconverter/pdf/PdfObjects.h"
#include "util/FileNames.h"
#include "util/ProductNames.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QUrl>
#include <QtEndian>

#include <algorithm>

namespace velmora::mailconverter {

namespace {

QByteArray Ref(int id) {
    return QByteArray::number(id) + " 0 R";
}

// A string of bytes (ASCII names, URIs) as a hex string: nothing in it needs escaping.
QByteArray HexString(const QByteArray& bytes) {
    return '<' + bytes.toHex().toUpper() + '>';
}

// XML 1.0 and PDF text strings both do badly with control characters.
QString Printable(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        out += (c.unicode() < 0x20 || c.unicode() == 0x7F) ? QChar(u' ') : c;
    }
    return out;
}

QString XmlEscaped(const QString& text) {
    return Printable(text).toHtmlEscaped();
}

QByteArray PdfDate(const QDateTime& when) {
    const int offset = when.offsetFromUtc();
    const int hours = std::abs(offset) / 3600;
    const int minutes = (std::abs(offset) % 3600) / 60;
    const QString zone = offset == 0 ? QStringLiteral("Z")
                                     : QStringLiteral("%1%2'%3'")
                                           .arg(offset < 0 ? '-' : '+')
                                           .arg(hours, 2, 10, QLatin1Char('0'))
                                           .arg(minutes, 2, 10, QLatin1Char('0'));
    return '(' +
           (QStringLiteral("D:") + when.toString(QStringLiteral("yyyyMMddHHmmss")) + zone)
               .toLatin1() +
           ')';
}

QString XmpDate(const QDateTime& when) {
    return when.toString(Qt::ISODate);
}

QByteArray XmpPacket(const PdfMetadata& metadata, const QDateTime& created,
                     const QDateTime& modified, const QString& producer) {
    QString xmp = QStringLiteral(
        "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
        "<rdf:Description rdf:about=\"\"\n"
        " xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
        " xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
        " xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\"\n"
        " xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n"
        "<dc:format>application/pdf</dc:format>\n"
        "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:title>\n"
        "<dc:creator><rdf:Seq><rdf:li>%2</rdf:li></rdf:Seq></dc:creator>\n"
        "<xmp:CreateDate>%3</xmp:CreateDate>\n"
        "<xmp:ModifyDate>%4</xmp:ModifyDate>\n"
        "<xmp:MetadataDate>%4</xmp:MetadataDate>\n"
        "<xmp:CreatorTool>%6</xmp:CreatorTool>\n"
        "<pdf:Producer>%5</pdf:Producer>\n"
        "<pdfaid:part>3</pdfaid:part>\n"
        "<pdfaid:conformance>U</pdfaid:conformance>\n"
        "</rdf:Description>\n"
        "</rdf:RDF>\n"
        "</x:xmpmeta>\n"
        "<?xpacket end=\"w\"?>");
    return xmp
        .arg(XmlEscaped(metadata.title), XmlEscaped(metadata.author), XmpDate(created),
             XmpDate(modified), XmlEscaped(producer), QLatin1String(kAppTitle))
        .toUtf8();
}

// Compressed only when that pays: most attachments (images, archives, office files) are
// compressed already and deflating them again only costs time. A message file is mostly
// base64, where run-length deflate saves as much as the full search in a quarter of the time.
void WriteEmbeddedFile(PdfObjects& objects, int id, const MailAttachment& file, bool runLength,
                       const QByteArray& date) {
    const QByteArray& data = file.data;
    const QByteArray sample = data.left(16 * 1024);
    const bool worthIt =
        data.size() >= 512 && qCompress(sample, 1).size() - 4 < sample.size() * 9 / 10;
    const QByteArray deflated = !worthIt    ? QByteArray()
                                : runLength ? PdfObjects::Deflate(data, 1, true)
                                            : PdfObjects::Deflate(data, 6);
    const QByteArray mime =
        file.mimeType.isEmpty() ? QByteArray("application/octet-stream") : file.mimeType.toUtf8();
    QByteArray dictionary = "/Type/EmbeddedFile/Subtype" + pdf::Name(mime) + "/Params<</Size " +
                            QByteArray::number(data.size()) + "/ModDate" + date + ">>";
    if (deflated.isEmpty()) {
        objects.WriteEncodedStream(id, dictionary, data);
    } else {
        objects.WriteEncodedStream(id, dictionary + "/Filter/FlateDecode", deflated);
    }
}

// An ICC display profile in RGB whose header agrees with its size.
bool IsRgbProfile(const QByteArray& icc) {
    return icc.size() >= 132 && icc.mid(36, 4) == "acsp" && icc.mid(16, 4) == "RGB " &&
           qFromBigEndian<quint32>(icc.constData()) == quint32(icc.size());
}

// sRGB as Debian ships it (icc-profiles-free, else colord), read once. Empty when none is
// installed; the PDF then has no output intent and is not archival.
const QByteArray& SrgbProfile() {
    static const QByteArray profile = [] {
        QStringList candidates;
#ifdef VELMORA_SRGB_ICC
        candidates << QStringLiteral(VELMORA_SRGB_ICC);
#endif
        candidates << QStringLiteral("/usr/share/color/icc/sRGB.icc")
                   << QStringLiteral("/usr/share/color/icc/colord/sRGB.icc");
        for (const QString& path : std::as_const(candidates)) {
            QFile file(path);
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray icc = file.readAll();
                if (IsRgbProfile(icc)) {
                    return icc;
                }
            }
        }
        qWarning(
            "No sRGB ICC profile is installed (package icc-profiles-free); PDFs get no "
            "output intent.");
        return QByteArray();
    }();
    return profile;
}

}  // namespace

PdfArchiveWriter::PdfArchiveWriter(PdfObjects& objects, const PdfArchive& archive)
    : m_objects(objects),
      m_archive(archive),
      m_now(QDateTime::currentDateTime()),
      m_created(archive.metadata.created.isValid() ? archive.metadata.created : m_now) {}

QByteArray PdfArchiveWriter::CatalogEntries() {
    return WriteMetadata() + EmbedFiles() + OutputIntent();
}

// Every file is an associated file of the document: the message's own files as
// /Unspecified, the message it was made from as /Source.
QByteArray PdfArchiveWriter::EmbedFiles() {
    std::vector<MailAttachment> all = m_archive.files;
    if (m_archive.source) {
        all.push_back(*m_archive.source);  // last, so that the message's own files keep their names
    }
    if (all.empty()) {
        return {};
    }
    const std::vector<QString> names = UniqueNames(all);
    const QByteArray date = PdfDate(m_created);
    std::vector<std::pair<QString, int>> tree;  // a name tree lists its keys in order
    QByteArray associated;
    for (size_t i = 0; i < all.size(); ++i) {
        const bool isSource = m_archive.source && i + 1 == all.size();
        const int stream = m_objects.Reserve();
        WriteEmbeddedFile(m_objects, stream, all[i], isSource, date);
        // /F is read by older readers as PDFDocEncoding: give them a plain ASCII name.
        QByteArray compat;
        for (const QChar c : names[i]) {
            compat += (c.unicode() >= 0x20 && c.unicode() < 0x7F) ? char(c.unicode()) : '_';
        }
        const int entry = m_objects.Reserve();
        m_objects.Write(
            entry, "<</Type/Filespec/F" + HexString(compat) + "/UF" + pdf::TextString(names[i]) +
                       "/EF<</F " + Ref(stream) + "/UF " + Ref(stream) + ">>/Desc" +
                       pdf::TextString(isSource ? QStringLiteral("The message as it was received")
                                                : all[i].name) +
                       "/AFRelationship" + (isSource ? "/Source" : "/Unspecified") + ">>");
        tree.emplace_back(names[i], entry);
        associated += Ref(entry) + ' ';
    }
    std::sort(tree.begin(), tree.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QByteArray keys;
    for (const auto& [name, entry] : tree) {
        keys += pdf::TextString(name) + ' ' + Ref(entry) + ' ';
    }
    return "/Names<</EmbeddedFiles<</Names[" + keys.trimmed() + "]>>>>/AF[" + associated.trimmed() +
           "]/PageMode/UseAttachments";
}

QByteArray PdfArchiveWriter::OutputIntent() {
    const QByteArray& icc = SrgbProfile();
    if (icc.isEmpty()) {
        return {};
    }
    // The same profile goes into every PDF: deflated once.
    static const QByteArray deflated = PdfObjects::Deflate(icc, 9);
    const int profile = m_objects.Reserve();
    if (deflated.isEmpty()) {
        m_objects.WriteEncodedStream(profile, "/N 3", icc);
    } else {
        m_objects.WriteEncodedStream(profile, "/N 3/Filter/FlateDecode", deflated);
    }
    const int intent = m_objects.Reserve();
    m_objects.Write(
        intent,
        "<</Type/OutputIntent/S/GTS_PDFA1/OutputConditionIdentifier(sRGB IEC61966-2.1)"
        "/RegistryName(http://www.color.org)/Info(sRGB IEC61966-2.1)/DestOutputProfile " +
            Ref(profile) + ">>");
    return "/OutputIntents[" + Ref(intent) + ']';
}

QByteArray PdfArchiveWriter::WriteMetadata() {
    const PdfMetadata& metadata = m_archive.metadata;
    const QString producer = QLatin1String(kAppTitle);
    m_info = m_objects.Reserve();
    m_objects.Write(m_info, "<</Title" + pdf::TextString(Printable(metadata.title)) + "/Author" +
                                pdf::TextString(Printable(metadata.author)) + "/Creator" +
                                pdf::TextString(producer) + "/Producer" +
                                pdf::TextString(producer) + "/CreationDate" + PdfDate(m_created) +
                                "/ModDate" + PdfDate(m_now) + ">>");
    const int xmp = m_objects.Reserve();
    m_objects.WriteStream(xmp, "/Type/Metadata/Subtype/XML",
                          XmpPacket(metadata, m_created, m_now, producer), false);
    return "/Metadata " + Ref(xmp);
}

QByteArray PdfArchiveWriter::FileId() const {
    QCryptographicHash digest(QCryptographicHash::Md5);
    digest.addData(m_archive.metadata.title.toUtf8());
    digest.addData(m_archive.metadata.author.toUtf8());
    digest.addData(m_created.toString(Qt::ISODateWithMs).toUtf8());
    digest.addData(m_now.toString(Qt::ISODateWithMs).toUtf8());
    const quint64 nonce = QRandomGenerator::global()->generate64();
    digest.addData(QByteArrayView(reinterpret_cast<const char*>(&nonce), sizeof nonce));
    return digest.result();
}

QByteArray PdfArchiveWriter::Annotations(int index, double height) {
    QByteArray refs;
    for (const PdfLink& link : m_archive.links) {
        if (link.page != index || link.rect.isEmpty() || !FollowableLink(link.url)) {
            continue;
        }
        const QRectF& r = link.rect;
        const int annotation = m_objects.Reserve();
        m_objects.Write(annotation,
                        "<</Type/Annot/Subtype/Link/Rect[" + pdf::Number(r.left()) + ' ' +
                            pdf::Number(height - r.bottom()) + ' ' + pdf::Number(r.right()) + ' ' +
                            pdf::Number(height - r.top()) + "]/Border[0 0 0]/F 4/A<</S/URI/URI" +
                            HexString(QUrl(link.url).toEncoded()) + ">>>>");
        refs += Ref(annotation) + ' ';
    }
    return refs.isEmpty() ? QByteArray() : "/Annots[" + refs.trimmed() + ']';
}

std::vector<QString> PdfArchiveWriter::UniqueNames(const std::vector<MailAttachment>& files) {
    std::vector<QString> names;
    QSet<QString> taken;
    QHash<QString, int> nextNumber;  // per repeated name, where to go on counting
    const auto isTaken = [&taken](const QString& name) { return taken.contains(name.toLower()); };
    for (const MailAttachment& file : files) {
        const QString capped = filenames::CapName(file.name);
        const auto [stem, extension] = filenames::SplitExtension(capped);
        int& next = nextNumber[capped.toLower()];
        int used = 0;
        const QString name = filenames::FirstFreeName(stem, extension, isTaken, next,
                                                      filenames::kMaxNameBytes, &used);
        if (used != 0) {
            next = used + 1;
        }
        taken.insert(name.toLower());
        names.push_back(name);
    }
    return names;
}

bool PdfArchiveWriter::FollowableLink(const QString& text) {
    const QUrl url(text);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                             scheme == QLatin1String("mailto"));
}

}  // namespace velmora::mailconverter
