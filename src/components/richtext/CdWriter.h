#pragma once

// Writes rich text as CD records, the way Notes stores it: paragraph styles, styled text
// runs, tables, links, rules, pictures, attachment icons and document links. The demo
// database and the tests build their rich-text mail with it.

#include "components/richtext/RichTextStyle.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

namespace velmora::richtext {

struct RunFont {
    int face = 1;  // 0 Roman, 1 Swiss, 4 Typewriter, 5 and up from the font table
    int size = 10;
    int color = 0;                // one of the 16 standard colours
    std::uint8_t attributes = 0;  // kBold, kItalic, kUnderline, kStrikeOut, kSuper, kSub
};

struct ParagraphFormat {
    int justify = kJustifyLeft;
    int indentTwips = 0;      // beyond the default left margin
    int firstLineTwips = 0;   // relative to the indent
    std::uint16_t flags = 0;  // kPabBullet, kPabNumbered
    int spacingAfter = 0;     // in half lines
};

struct CellFormat {
    int widthTwips = 2880;
    int border = 1;       // width of every side, 0 for none
    int background = -1;  // standard colour, -1 for none
};

enum class PictureFormat { Png, Jpeg, Gif, Bitmap };

class CdWriter {
  public:
    // A paragraph style; the id to give Paragraph().
    int DefineStyle(const ParagraphFormat& format);
    void Paragraph(int style);
    // "\n" in text ends a line inside the paragraph.
    void Text(const QString& text, const RunFont& font = {});

    // tableWidthTwips lets an auto-width table give each cell its share of the width.
    void BeginTable(bool autoWidth = false, int tableWidthTwips = 0);
    void Cell(int row, int column, const CellFormat& format = {});
    void EndTable();

    void Rule(int widthTwips, int heightTwips, int color, bool fitToWindow);
    void BeginLink(const QString& url);
    void EndLink();
    void DocLink(const QString& comment);
    // A file attachment's icon in the text, referring to the attachment by name.
    void AttachmentIcon(const QString& fileName);
    void Picture(const QImage& image, PictureFormat format, int widthTwips, int heightTwips);
    // A picture already encoded as PNG, JPEG or GIF.
    void EncodedPicture(const QByteArray& data, PictureFormat format, QSize pixels, int widthTwips,
                        int heightTwips);

    const QByteArray& Records() const { return m_records; }

    // A "$Fonts" item naming faces from 5 up: names[0] is face 5.
    static QByteArray FontTable(const QStringList& names);

  private:
    QByteArray m_records;
    int m_nextStyle = 1;
    int m_cellLeft = 0;
    int m_tableWidth = 0;
};

}  // namespace velmora::richtext
