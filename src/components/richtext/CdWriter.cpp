#include "components/richtext/CdWriter.h"

#include "components/richtext/CdRecords.h"
#include "components/richtext/Lmbcs.h"
#include "components/richtext/NotesBitmap.h"

namespace velmora::richtext {

namespace {

constexpr int kMaxTabs = 20;
constexpr int kFaceNameSize = 32;
constexpr std::uint16_t kHotspotFile = 4;
constexpr std::uint16_t kHotspotLink = 11;
constexpr int kImageSegmentBytes = 10240;

class Body {
  public:
    Body& U8(int value) {
        m_bytes.append(static_cast<char>(value & 0xFF));
        return *this;
    }
    Body& U16(int value) { return U8(value).U8(value >> 8); }
    Body& U32(std::uint32_t value) {
        return U16(static_cast<int>(value & 0xFFFF)).U16(static_cast<int>(value >> 16));
    }
    Body& Bytes(const QByteArray& bytes) {
        m_bytes.append(bytes);
        return *this;
    }
    Body& Zeros(int count) {
        m_bytes.append(QByteArray(count, '\0'));
        return *this;
    }
    const QByteArray& Get() const { return m_bytes; }

  private:
    QByteArray m_bytes;
};

}  // namespace

int CdWriter::DefineStyle(const ParagraphFormat& format) {
    const int id = m_nextStyle++;
    Body body;
    body.U16(id)
        .U16(format.justify)
        .U16(0)
        .U16(0)
        .U16(format.spacingAfter)
        .U16(kOneInch + format.indentTwips)
        .U16(0)
        .U16(kOneInch + format.indentTwips + format.firstLineTwips)
        .U16(0)
        .Zeros(2 * kMaxTabs)
        .U16(format.flags)
        .U32(0)
        .U16(0);
    AppendRecord(m_records, sig::kPabDefinition, LengthForm::Word, body.Get());
    return id;
}

void CdWriter::Paragraph(int style) {
    AppendRecord(m_records, sig::kParagraph, LengthForm::Byte, {});
    AppendRecord(m_records, sig::kPabReference, LengthForm::Byte, Body().U16(style).Get());
}

void CdWriter::Text(const QString& text, const RunFont& font) {
    QByteArray bytes = ToLmbcs(text);
    bytes.replace('\n', '\0');
    AppendRecord(
        m_records, sig::kText, LengthForm::Word,
        Body().U8(font.face).U8(font.attributes).U8(font.color).U8(font.size).Bytes(bytes).Get());
}

void CdWriter::BeginTable(bool autoWidth, int tableWidthTwips) {
    m_cellLeft = 0;
    m_tableWidth = tableWidthTwips;
    AppendRecord(m_records, sig::kTableBegin, LengthForm::Byte,
                 Body().U16(0).U16(0).U16(0).U16(0).U16(0).U16(autoWidth ? 1 : 0).Get());
}

void CdWriter::Cell(int row, int column, const CellFormat& format) {
    if (column == 0) {
        m_cellLeft = 0;
    }
    const int left = m_cellLeft;
    m_cellLeft += format.widthTwips;
    const int side = std::min(format.border, 15);
    const int wide = side | side << 4 | side << 8 | side << 12;
    const int single = format.border > 0 ? 0x55 : 0;
    Body body;
    body.U8(row)
        .U8(column)
        .U16(left)
        .U16(m_cellLeft)
        .U16(m_tableWidth > 0 ? static_cast<int>(20.0 * kOneInch * format.widthTwips / m_tableWidth)
                              : 0)
        .U8(single)
        .U8(0x02 | (format.background >= 0 ? 0x01 : 0))
        .U16(wide)
        .U8(1)
        .U8(1)
        .U16(std::max(format.background, 0));
    AppendRecord(m_records, sig::kTableCell, LengthForm::Byte, body.Get());
}

void CdWriter::EndTable() {
    AppendRecord(m_records, sig::kTableEnd, LengthForm::Byte, Body().U32(0).Get());
}

void CdWriter::Rule(int widthTwips, int heightTwips, int color, bool fitToWindow) {
    const std::uint32_t flags = 0x01 | (fitToWindow ? 0x04 : 0);
    AppendRecord(m_records, sig::kHorizontalRule, LengthForm::Word,
                 Body().U32(flags).U16(widthTwips).U16(heightTwips).U16(color).U16(0).Get());
}

void CdWriter::BeginLink(const QString& url) {
    const QByteArray data = ToLmbcs(url) + '\0';
    AppendRecord(
        m_records, sig::kV4HotspotBegin, LengthForm::Word,
        Body().U16(kHotspotLink).U32(0).U16(static_cast<int>(data.size())).Bytes(data).Get());
}

void CdWriter::EndLink() {
    AppendRecord(m_records, sig::kV4HotspotEnd, LengthForm::Byte, {});
}

void CdWriter::DocLink(const QString& comment) {
    const QByteArray strings = ToLmbcs(comment) + '\0' + '\0';
    AppendRecord(m_records, sig::kLinkExport2, LengthForm::Word,
                 Body().Zeros(40).Bytes(strings).Get());
}

void CdWriter::AttachmentIcon(const QString& fileName) {
    const QByteArray data = ToLmbcs(fileName) + '\0' + ToLmbcs(fileName) + '\0';
    AppendRecord(
        m_records, sig::kHotspotBegin, LengthForm::Word,
        Body().U16(kHotspotFile).U32(0).U16(static_cast<int>(data.size())).Bytes(data).Get());
    QImage icon(32, 32, QImage::Format_RGB32);
    icon.fill(QColor(0x60, 0x80, 0xb0));
    Picture(icon, PictureFormat::Bitmap, 32 * 15, 32 * 15);
    AppendRecord(m_records, sig::kHotspotEnd, LengthForm::Byte, {});
}

void CdWriter::Picture(const QImage& image, PictureFormat format, int widthTwips, int heightTwips) {
    if (format == PictureFormat::Bitmap) {
        Body graphic;
        graphic.U16(widthTwips).U16(heightTwips).Zeros(4 + 8).U16(0).U8(2).U8(0).U16(0);
        AppendRecord(m_records, sig::kGraphic, LengthForm::DoubleWord, graphic.Get());
        const EncodedBitmap bitmap = EncodeBitmap(image);
        AppendRecord(m_records, sig::kBitmapHeader, LengthForm::DoubleWord, bitmap.header);
        for (const QByteArray& segment : bitmap.segments) {
            AppendRecord(m_records, sig::kBitmapSegment, LengthForm::DoubleWord, segment);
        }
        return;
    }
    EncodedPicture(ImageBytes(image, format == PictureFormat::Gif    ? "GIF"
                                     : format == PictureFormat::Jpeg ? "JPEG"
                                                                     : "PNG"),
                   format, image.size(), widthTwips, heightTwips);
}

void CdWriter::EncodedPicture(const QByteArray& data, PictureFormat format, QSize pixels,
                              int widthTwips, int heightTwips) {
    if (format == PictureFormat::Bitmap) {
        Picture(QImage::fromData(data), format, widthTwips, heightTwips);
        return;
    }
    Body graphic;
    graphic.U16(widthTwips).U16(heightTwips).Zeros(4 + 8).U16(0).U8(2).U8(0).U16(0);
    AppendRecord(m_records, sig::kGraphic, LengthForm::DoubleWord, graphic.Get());
    const int type = format == PictureFormat::Gif ? 1 : format == PictureFormat::Jpeg ? 2 : 4;
    const int segments =
        static_cast<int>((data.size() + kImageSegmentBytes - 1) / kImageSegmentBytes);
    AppendRecord(m_records, sig::kImageHeader, LengthForm::DoubleWord,
                 Body()
                     .U16(type)
                     .U16(pixels.width())
                     .U16(pixels.height())
                     .U32(static_cast<std::uint32_t>(data.size()))
                     .U32(static_cast<std::uint32_t>(segments))
                     .U32(0)
                     .U32(0)
                     .Get());
    for (qsizetype at = 0; at < data.size(); at += kImageSegmentBytes) {
        const QByteArray piece = data.mid(at, kImageSegmentBytes);
        const int padded = static_cast<int>(piece.size() + (piece.size() & 1));
        AppendRecord(m_records, sig::kImageSegment, LengthForm::DoubleWord,
                     Body().U16(static_cast<int>(piece.size())).U16(padded).Bytes(piece).Get());
    }
}

QByteArray CdWriter::FontTable(const QStringList& names) {
    Body body;
    body.U16(static_cast<int>(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) {
        QByteArray name = ToLmbcs(names[i]).left(kFaceNameSize - 1);
        name.append(QByteArray(kFaceNameSize - name.size(), '\0'));
        body.U8(static_cast<int>(5 + i)).U8(0x20).Bytes(name);
    }
    QByteArray records;
    AppendRecord(records, sig::kFontTable, LengthForm::Word, body.Get());
    return records;
}

}  // namespace velmora::richtext
