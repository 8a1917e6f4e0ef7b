#include "components/mailconverter/PdfFinisher.h"

#include "components/mailconverter/FileName.h"
#include "components/mailconverter/MailConverterX.h"
#include "components/mailconverter/PdfObjects.h"
#include "util/UserInterface.h"

#include <QFile>
#include <QFileDevice>
#include <QHash>
#include <QIODevice>
#include <QSet>
#include <QTimeZone>
#include <QUrl>
#include <QtEndian>

#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cerrno>
#include <exception>
#include <optional>
#include <string>

#include <unistd.h>

namespace velmora::mailconverter {

namespace {

// A name object for any text. qpdf 11.3 writes every other delimiter of a name escaped but
// "#" as it is, which a reader takes for the start of an escape; where it does, "#" is handed
// over escaped already. A NUL has no escape in a name and is left out.
QPDFObjectHandle NameObject(const std::string& text) {
    static const bool hashWrittenRaw = QPDFObjectHandle::newName("/#").unparse() == "/#";
    std::string name = "/";
    for (const char c : text) {
        if (c == '#' && hashWrittenRaw) {
            name += "#23";
        } else if (c != '\0') {
            name += c;
        }
    }
    return QPDFObjectHandle::newName(name);
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

std::string PdfDate(const QDateTime& when) {
    const int offset = when.offsetFromUtc();
    const int hours = std::abs(offset) / 3600;
    const int minutes = (std::abs(offset) % 3600) / 60;
    const QString zone = offset == 0 ? QStringLiteral("Z")
                                     : QStringLiteral("%1%2'%3'")
                                           .arg(offset < 0 ? '-' : '+')
                                           .arg(hours, 2, 10, QLatin1Char('0'))
                                           .arg(minutes, 2, 10, QLatin1Char('0'));
    return (QStringLiteral("D:") + when.toString(QStringLiteral("yyyyMMddHHmmss")) + zone)
        .toStdString();
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

// How an embedded file is compressed. A message file is mostly base64, where run-length
// deflate saves as much as the full search in a quarter of the time.
enum class Packing { Full, RunLength };

// Compressed only when that pays: most attachments (images, archives, office files)
// are compressed already and deflating them again only costs time.
// The stream reads the bytes where they are; `keepAlive` holds them until qpdf has
// written the document, so that a large attachment is not copied again.
QPDFObjectHandle EmbeddedFileStream(QPDF& pdf, const QByteArray& data,
                                    std::vector<QByteArray>& keepAlive,
                                    Packing packing = Packing::Full) {
    const auto borrowed = [&keepAlive](const QByteArray& bytes) {
        keepAlive.push_back(bytes);
        auto* raw =
            reinterpret_cast<unsigned char*>(const_cast<char*>(keepAlive.back().constData()));
        return std::make_shared<Buffer>(raw, static_cast<size_t>(keepAlive.back().size()));
    };
    QPDFObjectHandle stream = pdf.newStream();
    const QByteArray sample = data.left(16 * 1024);
    const bool worthIt =
        data.size() >= 512 && qCompress(sample, 1).size() - 4 < sample.size() * 9 / 10;
    const QByteArray deflated = !worthIt                        ? QByteArray()
                                : packing == Packing::RunLength ? PdfObjects::Deflate(data, 1, true)
                                                                : PdfObjects::Deflate(data, 6);
    if (!deflated.isEmpty()) {
        stream.replaceStreamData(borrowed(deflated), QPDFObjectHandle::newName("/FlateDecode"),
                                 QPDFObjectHandle::newNull());
    } else {
        stream.replaceStreamData(borrowed(data), QPDFObjectHandle::newNull(),
                                 QPDFObjectHandle::newNull());
    }
    QPDFObjectHandle dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/EmbeddedFile"));
    QPDFObjectHandle params = QPDFObjectHandle::newDictionary();
    params.replaceKey("/Size", QPDFObjectHandle::newInteger(data.size()));
    dict.replaceKey("/Params", params);
    return stream;
}

// Every file is an associated file of the document: the message's own files as
// /Unspecified, the message it was made from as /Source.
void EmbedFiles(QPDF& pdf, const std::vector<MailAttachment>& files, const MailAttachment* source,
                const std::string& date, std::vector<QByteArray>& keepAlive) {
    std::vector<MailAttachment> all = files;
    if (source) {
        all.push_back(*source);  // last, so that the message's own files keep their names
    }
    if (all.empty()) {
        return;
    }
    QPDFEmbeddedFileDocumentHelper embedded(pdf);
    QPDFObjectHandle associated = QPDFObjectHandle::newArray();
    const std::vector<QString> names = PdfFinisher::UniqueNames(all);
    for (size_t i = 0; i < all.size(); ++i) {
        const MailAttachment& file = all[i];
        const bool isSource = source && i + 1 == all.size();
        QPDFEFStreamObjectHelper stream(EmbeddedFileStream(
            pdf, file.data, keepAlive, isSource ? Packing::RunLength : Packing::Full));
        stream.setModDate(date);
        stream.getObjectHandle().getDict().replaceKey(
            "/Subtype", NameObject(file.mimeType.isEmpty() ? std::string("application/octet-stream")
                                                           : file.mimeType.toStdString()));
        const std::string name = names[i].toStdString();
        auto entry = QPDFFileSpecObjectHelper::createFileSpec(pdf, name, stream);
        // /F is read by older readers as PDFDocEncoding: give them a plain ASCII name.
        QString compat;
        for (const QChar c : names[i]) {
            compat += (c.unicode() >= 0x20 && c.unicode() < 0x7F) ? c : QChar(u'_');
        }
        entry.setFilename(name, compat.toStdString());
        entry.setDescription(isSource ? std::string("The message as it was received")
                                      : file.name.toStdString());
        QPDFObjectHandle entryObject = entry.getObjectHandle();
        entryObject.replaceKey("/AFRelationship",
                               QPDFObjectHandle::newName(isSource ? "/Source" : "/Unspecified"));
        embedded.replaceEmbeddedFile(name, entry);
        associated.appendItem(entryObject);
    }
    QPDFObjectHandle root = pdf.getRoot();
    root.replaceKey("/AF", associated);
    root.replaceKey("/PageMode", QPDFObjectHandle::newName("/UseAttachments"));
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

void SetOutputIntent(QPDF& pdf, std::vector<QByteArray>& keepAlive) {
    const QByteArray& icc = SrgbProfile();
    if (icc.isEmpty()) {
        return;
    }
    // The same profile goes into every PDF: deflated once.
    static const QByteArray deflated = PdfObjects::Deflate(icc, 9);
    QPDFObjectHandle profile = pdf.newStream();
    keepAlive.push_back(deflated.isEmpty() ? icc : deflated);
    auto* raw = reinterpret_cast<unsigned char*>(const_cast<char*>(keepAlive.back().constData()));
    profile.replaceStreamData(
        std::make_shared<Buffer>(raw, static_cast<size_t>(keepAlive.back().size())),
        deflated.isEmpty() ? QPDFObjectHandle::newNull()
                           : QPDFObjectHandle::newName("/FlateDecode"),
        QPDFObjectHandle::newNull());
    profile.getDict().replaceKey("/N", QPDFObjectHandle::newInteger(3));
    QPDFObjectHandle intent = QPDFObjectHandle::newDictionary();
    intent.replaceKey("/Type", QPDFObjectHandle::newName("/OutputIntent"));
    intent.replaceKey("/S", QPDFObjectHandle::newName("/GTS_PDFA1"));
    intent.replaceKey("/OutputConditionIdentifier",
                      QPDFObjectHandle::newString("sRGB IEC61966-2.1"));
    intent.replaceKey("/RegistryName", QPDFObjectHandle::newString("http://www.color.org"));
    intent.replaceKey("/Info", QPDFObjectHandle::newString("sRGB IEC61966-2.1"));
    intent.replaceKey("/DestOutputProfile", profile);
    QPDFObjectHandle intents = QPDFObjectHandle::newArray();
    intents.appendItem(pdf.makeIndirectObject(intent));
    pdf.getRoot().replaceKey("/OutputIntents", intents);
}

void SetMetadata(QPDF& pdf, const PdfMetadata& metadata) {
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime created = metadata.created.isValid() ? metadata.created : now;
    QPDFObjectHandle trailer = pdf.getTrailer();
    QString producer = QLatin1String(kAppTitle);
    QPDFObjectHandle oldInfo = trailer.getKey("/Info");
    if (oldInfo.isDictionary() && oldInfo.getKey("/Producer").isString()) {
        producer = QString::fromStdString(oldInfo.getKey("/Producer").getUTF8Value()) +
                   QStringLiteral("; ") + QLatin1String(kAppTitle);
    }
    QPDFObjectHandle info = QPDFObjectHandle::newDictionary();
    info.replaceKey("/Title",
                    QPDFObjectHandle::newUnicodeString(Printable(metadata.title).toStdString()));
    info.replaceKey("/Author",
                    QPDFObjectHandle::newUnicodeString(Printable(metadata.author).toStdString()));
    info.replaceKey("/Creator", QPDFObjectHandle::newUnicodeString(kAppTitle));
    info.replaceKey("/Producer", QPDFObjectHandle::newUnicodeString(producer.toStdString()));
    info.replaceKey("/CreationDate", QPDFObjectHandle::newString(PdfDate(created)));
    info.replaceKey("/ModDate", QPDFObjectHandle::newString(PdfDate(now)));
    trailer.replaceKey("/Info", pdf.makeIndirectObject(info));

    QPDFObjectHandle stream =
        pdf.newStream(XmpPacket(metadata, created, now, producer).toStdString());
    QPDFObjectHandle dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
    pdf.getRoot().replaceKey("/Metadata", stream);
}

// Streams qpdf's output into the destination device. A file is written through its
// descriptor: after a short write Qt reports "Unknown error", the descriptor tells the reason
// ("No space left on device", "File too large").
class DevicePipeline : public Pipeline {
  public:
    explicit DevicePipeline(QIODevice& device)
        : Pipeline("output device", nullptr), m_device(device) {
        auto* file = qobject_cast<QFileDevice*>(&device);
        if (file && file->handle() >= 0 && file->flush()) {
            m_fd = file->handle();
        }
        m_buffer.reserve(kChunk);
    }
    void write(unsigned char const* data, size_t length) override {
        m_buffer.append(reinterpret_cast<const char*>(data), length);
        if (m_buffer.size() >= kChunk) {
            Drain();
        }
    }
    // qpdf may call this while it unwinds, where nothing may be thrown: Close() reports.
    void finish() override {
        try {
            Drain();
        } catch (const ConversionError& error) {
            m_failure = error;
        }
    }
    void Close() {
        finish();
        if (m_failure) {
            throw *m_failure;
        }
    }

  private:
    static constexpr size_t kChunk = 256 * 1024;

    void Drain() {
        if (m_fd < 0) {
            const auto size = static_cast<qint64>(m_buffer.size());
            if (m_device.write(m_buffer.data(), size) != size) {
                throw ConversionError(
                    QStringLiteral("The PDF cannot be written: %1").arg(m_device.errorString()));
            }
        }
        for (size_t done = 0; m_fd >= 0 && done < m_buffer.size();) {
            const ssize_t written = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                // A regular file that takes nothing without an error is full.
                throw ConversionError(QStringLiteral("The PDF cannot be written: %1")
                                          .arg(qt_error_string(written < 0 ? errno : ENOSPC)));
            }
            done += static_cast<size_t>(written);
        }
        m_buffer.clear();
    }

    QIODevice& m_device;
    int m_fd = -1;
    std::string m_buffer;
    std::optional<ConversionError> m_failure;
};

}  // namespace

std::vector<QString> PdfFinisher::UniqueNames(const std::vector<MailAttachment>& files) {
    std::vector<QString> names;
    QSet<QString> taken;
    QHash<QString, int> nextNumber;  // per repeated name, where to go on counting
    for (const MailAttachment& file : files) {
        QString name = CapFileName(file.name);
        if (taken.contains(name.toLower())) {
            const auto [stem, ext] = SplitExtension(name);
            int& n = nextNumber[name.toLower()];
            n = std::max(n, 2);
            do {
                name = FitFileName(stem, QStringLiteral(" (%1)").arg(n) + ext);
                ++n;
            } while (taken.contains(name.toLower()));
        }
        taken.insert(name.toLower());
        names.push_back(name);
    }
    return names;
}

namespace {

// Only links a reader can follow without running anything; a mail's javascript: or file:
// link stays text.
bool FollowableLink(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                             scheme == QLatin1String("mailto"));
}

void AddLinks(QPDF& pdf, const std::vector<PdfLink>& links) {
    if (links.empty()) {
        return;
    }
    const std::vector<QPDFObjectHandle> pages = pdf.getAllPages();
    for (const PdfLink& link : links) {
        const QUrl url(link.url);
        if (link.page < 0 || static_cast<std::size_t>(link.page) >= pages.size() ||
            !FollowableLink(url) || link.rect.isEmpty()) {
            continue;
        }
        QPDFObjectHandle page = pages[static_cast<std::size_t>(link.page)];
        const QPDFObjectHandle::Rectangle box = page.getKey("/MediaBox").getArrayAsRectangle();
        const double height = box.ury - box.lly;
        QPDFObjectHandle action = QPDFObjectHandle::newDictionary();
        action.replaceKey("/S", QPDFObjectHandle::newName("/URI"));
        action.replaceKey("/URI", QPDFObjectHandle::newString(url.toEncoded().toStdString()));
        QPDFObjectHandle annotation = QPDFObjectHandle::newDictionary();
        annotation.replaceKey("/Type", QPDFObjectHandle::newName("/Annot"));
        annotation.replaceKey("/Subtype", QPDFObjectHandle::newName("/Link"));
        annotation.replaceKey(
            "/Rect", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(
                         box.llx + link.rect.left(), box.lly + height - link.rect.bottom(),
                         box.llx + link.rect.right(), box.lly + height - link.rect.top())));
        annotation.replaceKey("/Border", QPDFObjectHandle::parse("[0 0 0]"));
        annotation.replaceKey("/F", QPDFObjectHandle::newInteger(4));  // printed
        annotation.replaceKey("/A", action);
        if (!page.hasKey("/Annots") || !page.getKey("/Annots").isArray()) {
            page.replaceKey("/Annots", QPDFObjectHandle::newArray());
        }
        page.getKey("/Annots").appendItem(pdf.makeIndirectObject(annotation));
    }
}

}  // namespace

void PdfFinisher::Finish(const QByteArray& painted, const PdfMetadata& metadata,
                         const std::vector<MailAttachment>& files, QIODevice& out,
                         const MailAttachment* source, const std::vector<PdfLink>& links) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("painted message", painted.constData(),
                              static_cast<size_t>(painted.size()));
        const QDateTime created =
            metadata.created.isValid() ? metadata.created : QDateTime::currentDateTime();
        std::vector<QByteArray> keepAlive;
        keepAlive.reserve(files.size() + 2);
        EmbedFiles(pdf, files, source, PdfDate(created), keepAlive);
        SetOutputIntent(pdf, keepAlive);
        SetMetadata(pdf, metadata);
        AddLinks(pdf, links);

        QPDFWriter writer(pdf);
        DevicePipeline pipeline(out);
        writer.setOutputPipeline(&pipeline);
        writer.setMinimumPDFVersion("1.7");
        // The canvas compressed its streams already: pass every stream through as it is.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(false);
        writer.write();
        pipeline.Close();
    } catch (const ConversionError&) {
        throw;
    } catch (const std::exception& e) {
        throw ConversionError(QStringLiteral("The PDF could not be finished: %1")
                                  .arg(QString::fromLocal8Bit(e.what())));
    }
}

}  // namespace velmora::mailconverter
