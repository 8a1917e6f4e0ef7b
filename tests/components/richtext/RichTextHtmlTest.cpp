#include "components/nsf/NsfDatabase.h"
#include "components/nsf/Values.h"
#include "components/richtext/CdRecords.h"
#include "components/richtext/CdWriter.h"
#include "components/richtext/RichTextHtml.h"
#include "components/richtext/RichTextMime.h"

#include "NsfTestSupport.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>

#include <functional>

#include <gtest/gtest.h>

using namespace velmora::richtext;

namespace {

RichHtml Html(const CdWriter& writer, const QByteArray& fonts = {}) {
    return RichTextToHtml(AsBytes(writer.Records()), AsBytes(fonts));
}

QByteArray Words(std::initializer_list<int> words) {
    QByteArray bytes;
    for (int word : words) {
        bytes.append(static_cast<char>(word & 0xFF));
        bytes.append(static_cast<char>(word >> 8 & 0xFF));
    }
    return bytes;
}

// The body between <body> and </body>.
QString Body(const RichHtml& html) {
    const qsizetype start = html.html.indexOf(QLatin1String("<body>")) + 6;
    return html.html.mid(start, html.html.lastIndexOf(QLatin1String("</body>")) - start);
}

}  // namespace

TEST(RichTextHtml, formatting_becomesTheMatchingHtml) {
    struct Row {
        const char* what;
        std::function<void(CdWriter&)> write;
        QStringList expected;  // regular expressions the body matches, in order
        QStringList absent;
    };
    const QByteArray fonts = CdWriter::FontTable({QStringLiteral("DejaVu Serif")});
    const Row rows[] = {
        {"styles of a run",
         [](CdWriter& w) {
             w.Paragraph(w.DefineStyle({}));
             w.Text("styled", {1, 18, 2, kBold | kItalic | kUnderline | kStrikeOut});
         },
         {"font-size:18pt;font-weight:bold;font-style:italic;text-decoration:underline "
          "line-through;color:#ff0000;\">styled<"},
         {}},
        {"faces: standard ones and the font table's",
         [](CdWriter& w) {
             w.Paragraph(w.DefineStyle({}));
             w.Text("roman", {0, 10, 0, 0});
             w.Text("typewriter", {4, 10, 0, 0});
             w.Text("tabled", {5, 10, 0, 0});
         },
         {"'Times New Roman',Times,serif;[^>]*>roman<", "monospace;[^>]*>typewriter<",
          "font-family:'DejaVu Serif',sans-serif;[^>]*>tabled<"},
         {}},
        {"superscript, not when the bits mean a relief effect",
         [](CdWriter& w) {
             w.Paragraph(w.DefineStyle({}));
             w.Text("up", {1, 10, 0, kSuper});
             w.Text("emboss", {1, 10, 0, 0x90});
         },
         {"vertical-align:super;[^>]*>up<"},
         {"super;[^>]*>emboss<"}},
        {"alignment and indents",
         [](CdWriter& w) {
             w.Paragraph(w.DefineStyle({kJustifyCenter}));
             w.Text("middle");
             w.Paragraph(w.DefineStyle({kJustifyRight}));
             w.Text("right");
             w.Paragraph(w.DefineStyle({kJustifyLeft, 720, -360}));
             w.Text("indented");
         },
         {"<div style=\"text-align:center;\"><span[^>]*>middle<",
          "<div style=\"text-align:right;\"><span[^>]*>right<",
          "<div style=\"margin-left:36pt;text-indent:-18pt;\"><span[^>]*>indented<"},
         {}},
        {"line ends, empty paragraphs and markup characters",
         [](CdWriter& w) {
             const int style = w.DefineStyle({});
             w.Paragraph(style);
             w.Text("one\ntwo <b> & \"x\"");
             w.Paragraph(style);
             w.Paragraph(style);
             w.Text("three");
         },
         {">one<br>two &lt;b&gt; &amp; &quot;x&quot;<", "<div style=\"\">&nbsp;</div>", ">three<"},
         {"<b>"}},
        {"bullets and numbering, nested by indent",
         [](CdWriter& w) {
             const int bullet = w.DefineStyle({kJustifyLeft, 360, 0, kPabBullet});
             const int deeper = w.DefineStyle({kJustifyLeft, 720, 0, kPabBullet});
             const int number = w.DefineStyle({kJustifyLeft, 360, 0, kPabNumbered});
             for (const char* item : {"a", "b"}) {
                 w.Paragraph(bullet);
                 w.Text(item);
             }
             w.Paragraph(deeper);
             w.Text("a1");
             w.Paragraph(number);
             w.Text("n1");
             w.Paragraph(number);
             w.Text("n2");
             w.Paragraph(w.DefineStyle({}));
             w.Text("after");
         },
         {"<ul[^>]*><li[^>]*><span[^>]*>a</span></li><li[^>]*><span[^>]*>b</span></li>"
          "<ul[^>]*><li[^>]*><span[^>]*>a1</span></li></ul></ul>"
          "<ol style=\"list-style-type:decimal;\"><li[^>]*><span[^>]*>n1</span></li>"
          "<li[^>]*><span[^>]*>n2</span></li></ol><div[^>]*><span[^>]*>after<"},
         {}},
        {"links: web addresses only",
         [](CdWriter& w) {
             w.Paragraph(w.DefineStyle({}));
             w.BeginLink("https://example.com/a?b=1&c=2");
             w.Text("site");
             w.EndLink();
             w.BeginLink("javascript:alert(1)");
             w.Text("script");
             w.EndLink();
         },
         {"<a href=\"https://example.com/a\\?b=1&amp;c=2\"><span[^>]*>site</span></a>",
          "<span[^>]*>script</span>"},
         {"javascript"}},
        {"a rule, an attachment's icon, a document link",
         [](CdWriter& w) {
             w.Paragraph(w.DefineStyle({}));
             w.Rule(0, 40, 2, true);
             w.AttachmentIcon("report.pdf");
             w.DocLink("Database 'Mail', Document 'Plan'");
         },
         {"width:100%;height:0;border-top:2pt solid #ff0000",
          "class=\"attachment\">Attachment: report.pdf<",
          "class=\"doclink\">Database 'Mail', Document 'Plan'<"},
         {"<img"}},
    };
    for (const Row& row : rows) {
        CdWriter writer;
        row.write(writer);
        const QString body = Body(Html(writer, fonts));
        qsizetype from = 0;
        for (const QString& pattern : row.expected) {
            const auto match = QRegularExpression(pattern).match(body, from);
            ASSERT_TRUE(match.hasMatch())
                << row.what << ": " << pattern.toStdString() << "\nin " << body.toStdString();
            from = match.capturedEnd();
        }
        for (const QString& pattern : row.absent) {
            EXPECT_FALSE(QRegularExpression(pattern).match(body).hasMatch())
                << row.what << ": " << pattern.toStdString();
        }
    }
}

TEST(RichTextHtml, recordsWrittenByHand_readAsTheirLayoutSays) {
    // CDPABDEFINITION (id 7, centred), CDPARAGRAPH, CDPABREFERENCE, CDTEXT (Courier, bold,
    // blue, 14 pt), byte by byte as the C API lays them out.
    QByteArray records;
    QByteArray pab = Words({7, 3, 0, 0, 0, 1440, 0, 1440, 0});
    pab += QByteArray(40, '\0') + Words({0, 0, 0, 0});
    AppendRecord(records, 130, LengthForm::Word, pab);
    records += QByteArray("\x81\x02", 2);
    records += QByteArray("\x83\x04\x07\x00", 4);
    records += QByteArray("\x85\xff\x0d\x00\x04\x01\x04\x0eHello", 13) + '\0';
    const QString body = Body(RichTextToHtml(AsBytes(records)));
    EXPECT_TRUE(body.contains(QLatin1String(
        "<div style=\"text-align:center;\"><span style=\"font-family:'Courier New',Courier,"
        "monospace;font-size:14pt;font-weight:bold;color:#0000ff;\">Hello</span></div>")))
        << body.toStdString();
}

TEST(RichTextHtml, tables_cellsSideBySideWithWidthsBordersAndSpans) {
    CdWriter writer;
    const int style = writer.DefineStyle({});
    writer.BeginTable();
    writer.Cell(0, 0, {2880, 2, 15});
    writer.Paragraph(style);
    writer.Text("A");
    writer.Cell(0, 1, {1440, 0, -1});
    writer.Paragraph(style);
    writer.Text("B");
    writer.EndTable();
    writer.Paragraph(style);
    writer.Text("after");
    const QString body = Body(Html(writer));
    EXPECT_TRUE(QRegularExpression(
                    "<table[^>]*><tr><td style=\"width:144pt;border-left:2px solid #000;[^\"]*"
                    "background-color:#c0c0c0;\"><div[^>]*><span[^>]*>A</span></div></td>"
                    "<td style=\"width:72pt;border-left:none;[^\"]*\"><div[^>]*><span[^>]*>B"
                    "</span></div></td></tr></table><div[^>]*><span[^>]*>after<")
                    .match(body)
                    .hasMatch())
        << body.toStdString();

    // Notes gives a merged cell at the bottom-right of what it covers; the cells above are
    // hidden. 2 x 2: the left column merged.
    QByteArray records;
    const auto cell = [&](int row, int column, int flags, int rowSpan, const char* text) {
        QByteArray body;
        body += static_cast<char>(row);
        body += static_cast<char>(column);
        body += Words({0, 1440, 0});
        body += '\x55';
        body += static_cast<char>(flags);
        body += Words({0});
        body += static_cast<char>(rowSpan);
        body += '\x01';
        body += Words({0});
        AppendRecord(records, 164, LengthForm::Byte, body);
        QByteArray run = QByteArray(4, '\0') + text;
        run[0] = 1;
        AppendRecord(records, 133, LengthForm::Word, run);
    };
    AppendRecord(records, 163, LengthForm::Byte, QByteArray(12, '\0'));
    cell(0, 0, 0x08, 1, "");
    cell(0, 1, 0, 1, "top right");
    cell(1, 0, 0, 2, "merged");
    cell(1, 1, 0, 1, "bottom right");
    AppendRecord(records, 165, LengthForm::Byte, QByteArray(4, '\0'));
    const QString merged = Body(RichTextToHtml(AsBytes(records)));
    EXPECT_TRUE(QRegularExpression("<tr><td[^>]*rowspan=\"2\"><div[^>]*><span[^>]*>merged</span>"
                                   "</div></td><td[^>]*>.*top right.*</td></tr><tr><td[^>]*>"
                                   ".*bottom right.*</td></tr>")
                    .match(merged)
                    .hasMatch())
        << merged.toStdString();
}

TEST(RichTextHtml, pictures_travelAsInlineImagesOfTheirSize) {
    QImage image(300, 40, QImage::Format_RGB32);
    image.fill(QColor(10, 120, 200));
    const auto encoded = [&](const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes;
    };
    // Qt writes no GIF: one of a single pixel, by hand.
    const QByteArray gif(
        "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01"
        "\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;",
        43);
    struct Row {
        PictureFormat format;
        QByteArray data;
        QSize size;
        QByteArray mediaType;
    };
    const Row rows[] = {{PictureFormat::Png, encoded("PNG"), {300, 40}, "image/png"},
                        {PictureFormat::Jpeg, encoded("JPEG"), {300, 40}, "image/jpeg"},
                        {PictureFormat::Gif, gif, {1, 1}, "image/gif"},
                        {PictureFormat::Bitmap, encoded("PNG"), {300, 40}, "image/png"}};
    for (const Row& row : rows) {
        CdWriter writer;
        writer.Paragraph(writer.DefineStyle({}));
        writer.EncodedPicture(row.data, row.format, row.size, 300 * 20, 40 * 20);
        const RichHtml html = Html(writer);
        ASSERT_EQ(html.pictures.size(), 1u) << row.mediaType.constData();
        const InlinePicture& picture = html.pictures.front();
        EXPECT_EQ(picture.mediaType, row.mediaType);
        EXPECT_EQ(QImage::fromData(picture.data).size(), row.size) << row.mediaType.constData();
        EXPECT_TRUE(Body(html).contains("<img src=\"cid:" + picture.contentId +
                                        "\" alt=\"\" style=\"width:300.0pt;height:40.0pt\">"))
            << Body(html).toStdString();
    }
}

TEST(RichTextHtml, mimeEntity_relatesThePicturesToTheHtml) {
    CdWriter writer;
    writer.Paragraph(writer.DefineStyle({}));
    writer.Text("Chart: ");
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    writer.Picture(image, PictureFormat::Png, 300, 150);
    const RichHtml html = Html(writer);
    const QByteArray entity = HtmlAsMimeEntity(html);
    EXPECT_TRUE(entity.startsWith("Content-Type: multipart/related; type=\"text/html\""));
    EXPECT_TRUE(entity.contains("Content-ID: <" + html.pictures.front().contentId.toUtf8() + ">"));
    for (char c : entity) {
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
    }
    CdWriter textOnly;
    textOnly.Text("plain");
    EXPECT_TRUE(
        HtmlAsMimeEntity(Html(textOnly)).startsWith("Content-Type: text/html; charset=utf-8"));
}

TEST(RichTextHtml, damagedRecords_keepTheTextBeforeTheDamage) {
    CdWriter writer;
    const int style = writer.DefineStyle({kJustifyCenter});
    writer.Paragraph(style);
    writer.Text("kept text");
    writer.BeginTable();
    writer.Cell(0, 0);
    writer.Text("in a cell");
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::blue);
    writer.Picture(image, PictureFormat::Bitmap, 160, 160);
    writer.EndTable();
    const QByteArray whole = writer.Records();
    const qsizetype textEnd = whole.indexOf("kept text") + 9;
    // Cut anywhere, and with a length that claims more than there is: never a crash, never
    // the text before the cut lost.
    for (qsizetype cut = 0; cut <= whole.size(); ++cut) {
        QByteArray damaged = whole.left(cut);
        const QString body = Body(RichTextToHtml(AsBytes(damaged)));
        if (cut >= textEnd) {
            EXPECT_TRUE(body.contains(QLatin1String("kept text"))) << cut;
        }
        damaged += QByteArray("\x85\xff\xff\x7f", 4);
        RichTextToHtml(AsBytes(damaged));
    }
    // A bitmap whose header asks for more pixels than allowed is left out, said to be missing.
    QByteArray huge;
    AppendRecord(huge, 153, LengthForm::DoubleWord, QByteArray(22, '\0'));
    AppendRecord(huge, 149, LengthForm::DoubleWord,
                 Words({0, 0, 0, 0, 0, 0, 0, 0, 60000, 60000, 16, 3, 5, 1, 0, 0}));
    const RichHtml html = RichTextToHtml(AsBytes(huge));
    EXPECT_TRUE(html.pictures.empty());
    EXPECT_TRUE(html.html.contains(QLatin1String("[picture not shown]")));
}

TEST(RichTextHtml, realRichText_keepsFontsColoursAndTheCentredParagraph) {
    const QString path = velmora::nsf::test::Sample(QStringLiteral("richtext.nsf"));
    const auto database = velmora::nsf::NsfDatabase::Open(path);
    QString body;
    for (const auto& note : database->Notes()) {
        if (note.id != 0x212A) {
            continue;
        }
        QByteArray records, fonts;
        for (const auto& item : database->Items(note)) {
            const QByteArray bytes(reinterpret_cast<const char*>(item.value.data()),
                                   static_cast<qsizetype>(item.value.size()));
            if (item.name.compare(QLatin1String("$Fonts"), Qt::CaseInsensitive) == 0) {
                fonts += bytes;
            } else if (item.name.compare(QLatin1String("rich_text"), Qt::CaseInsensitive) == 0) {
                records += bytes;
            }
        }
        body = Body(RichTextToHtml(AsBytes(records), AsBytes(fonts)));
    }
    // What the sample's readme says it shows, now with its formatting.
    for (const char* expected :
         {"font-size:24pt;font-weight:bold;color:#0000ff;\">This is some rich text.<",
          "<div style=\"text-align:center;\"><span style=\"font-family:'Courier New'",
          "font-weight:bold;font-style:italic;color:#008080;\">This is a centered paragraph<",
          "'Times New Roman',Times,serif;font-size:18pt;font-style:italic;color:#ff0000;",
          "font-family:'MS Sans Serif',sans-serif;font-size:14pt;",
          "font-family:'Symbol',sans-serif;", "font-family:'System',sans-serif;"}) {
        EXPECT_TRUE(body.contains(QLatin1String(expected))) << expected << "\n"
                                                            << body.toStdString();
    }
}
