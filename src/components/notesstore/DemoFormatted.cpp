#include "components/notesstore/DemoFormatted.h"

#include "components/richtext/CdWriter.h"
#include "components/richtext/NotesBitmap.h"

#include <QPainter>

#include <array>
#include <vector>

namespace velmora::notesstore::demo {

using namespace velmora::notes;
using namespace velmora::richtext;

namespace {

QByteArray Base64Lines(const QByteArray& data) {
    const QByteArray encoded = data.toBase64();
    QByteArray out;
    for (qsizetype at = 0; at < encoded.size(); at += 76) {
        out += encoded.mid(at, 76) + "\r\n";
    }
    return out;
}

// Lines joined with CRLF, as mail travels.
QByteArray Crlf(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace("\r\n", "\n");
    bytes.replace("\n", "\r\n");
    return bytes;
}

QByteArray Header(const char* from, const char* to, const QString& subject, const char* date) {
    return "From: " + QByteArray(from) + "\r\nTo: " + QByteArray(to) +
           "\r\nSubject: " + subject.toUtf8() + "\r\nDate: " + QByteArray(date) +
           "\r\nMIME-Version: 1.0\r\n";
}

QByteArray Part(const QByteArray& boundary, const QByteArray& headers, const QByteArray& body) {
    return "--" + boundary + "\r\n" + headers + "\r\n" + body;
}

const RunFont kBody{1, 10, 0, 0};

RunFont With(RunFont font, std::uint8_t attributes, int color = 0, int size = 0) {
    font.attributes = attributes;
    font.color = color;
    if (size > 0) {
        font.size = size;
    }
    return font;
}

}  // namespace

// A one-page PDF with a line of text; offsets in the cross-reference table are exact.
QByteArray PdfFile(const QByteArray& line) {
    const QByteArray content = "BT /F1 18 Tf 72 720 Td (" + line + ") Tj ET";
    const std::array<QByteArray, 5> objects{
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
            "\nendstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    QByteArray pdf = "%PDF-1.4\n";
    std::vector<qsizetype> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += QByteArray::number(static_cast<int>(i + 1)) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(static_cast<int>(objects.size() + 1)) +
           "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets) {
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    }
    pdf += "trailer\n<< /Size " + QByteArray::number(static_cast<int>(objects.size() + 1)) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QByteArray PngFile(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(40 + x * 3 % 200, 90 + y * 2 % 160, 160 + (x + y) % 90));
        }
    }
    return ImageBytes(image);
}

QImage DemoPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(
                x, y, qRgb(30 + 180 * x / width, 110 + 100 * y / height, 200 - 90 * x / width));
        }
    }
    QPainter painter(&image);
    painter.setPen(QPen(QColor(20, 40, 90), 2));
    painter.drawRect(1, 1, width - 3, height - 3);
    painter.setBrush(QColor(240, 200, 60));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(width * 3 / 4, height / 3), height / 6, height / 6);
    return image;
}

void SetRichBody(DocumentData& document, const RichBody& body) {
    ItemData* item = document.Find(QStringLiteral("Body"));
    if (item == nullptr) {
        item = &document.Add(QStringLiteral("Body"), {}, kItemRichText);
    }
    item->type = kItemRichText;
    item->values = {body.plainText};
    item->data = body.records;
    if (!body.fonts.isEmpty()) {
        document.Add(QStringLiteral("$Fonts"), {}, kItemRichText).data = body.fonts;
    }
}

RichBody StatusReport(const QString& attachmentName) {
    CdWriter rt;
    const int plain = rt.DefineStyle({});
    const int centred = rt.DefineStyle({kJustifyCenter, 0, 0, 0, 1});
    const int indented = rt.DefineStyle({kJustifyLeft, 720, 0, 0, 0});
    const int right = rt.DefineStyle({kJustifyRight, 0, 0, 0, 0});
    const int bullet = rt.DefineStyle({kJustifyLeft, 360, 0, kPabBullet, 0});
    const int numbered = rt.DefineStyle({kJustifyLeft, 360, 0, kPabNumbered, 0});
    const RunFont serif{5, 12, 0, 0};  // the font table's first face

    rt.Paragraph(centred);
    rt.Text(QStringLiteral("Project Status: Northern Region"), With(kBody, kBold, 10, 20));
    rt.Paragraph(centred);
    rt.Text(QStringLiteral("Week 14, prepared for the steering group"),
            With(kBody, kItalic, 14, 11));
    rt.Paragraph(plain);
    rt.Paragraph(plain);
    rt.Text(QStringLiteral("Hello all,\nhere is where we stand. Shipping is "), kBody);
    rt.Text(QStringLiteral("back on schedule"), With(kBody, kBold, 9));
    rt.Text(QStringLiteral(", the "), kBody);
    rt.Text(QStringLiteral("training plan"), With(kBody, kItalic));
    rt.Text(QStringLiteral(" is "), kBody);
    rt.Text(QStringLiteral("confirmed"), With(kBody, kUnderline));
    rt.Text(QStringLiteral(", and the "), kBody);
    rt.Text(QStringLiteral("March deadline"), With(kBody, kStrikeOut, 2));
    rt.Text(QStringLiteral(" moves to April."), kBody);
    rt.Paragraph(indented);
    rt.Text(QStringLiteral("Quoted from the minutes: \u201Cthe northern team closes the gap by the "
                           "end of the quarter.\u201D"),
            serif);
    rt.Paragraph(plain);
    rt.Text(QStringLiteral("Done this week"), With(kBody, kBold, 0, 12));
    rt.Paragraph(bullet);
    rt.Text(QStringLiteral("Warehouse scanners replaced"), kBody);
    rt.Paragraph(bullet);
    rt.Text(QStringLiteral("Routes for the islands agreed"), kBody);
    rt.Paragraph(bullet);
    rt.Text(QStringLiteral("Invoices for March sent"), kBody);
    rt.Paragraph(plain);
    rt.Text(QStringLiteral("Next steps"), With(kBody, kBold, 0, 12));
    rt.Paragraph(numbered);
    rt.Text(QStringLiteral("Confirm the workshop room"), kBody);
    rt.Paragraph(numbered);
    rt.Text(QStringLiteral("Send the revised offer"), kBody);
    rt.Paragraph(numbered);
    rt.Text(QStringLiteral("Review the budget on Thursday"), kBody);
    rt.Paragraph(plain);

    rt.BeginTable();
    const QStringList cells{
        QStringLiteral("Region"),  QStringLiteral("Shipments"), QStringLiteral("On time"),
        QStringLiteral("North"),   QStringLiteral("1,240"),     QStringLiteral("96 %"),
        QStringLiteral("Islands"), QStringLiteral("310"),       QStringLiteral("88 %")};
    const int widths[] = {2880, 2160, 1800};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            rt.Cell(row, column, {widths[column], row == 0 ? 2 : 1, row == 0 ? 15 : -1});
            rt.Paragraph(column == 0 ? plain : right);
            rt.Text(cells[row * 3 + column], row == 0 ? With(kBody, kBold) : kBody);
        }
    }
    rt.EndTable();

    rt.Paragraph(plain);
    rt.Text(QStringLiteral("The figures are on the project site: "), kBody);
    rt.BeginLink(QStringLiteral("https://projects.quarnix.example/north"));
    rt.Text(QStringLiteral("projects.quarnix.example/north"), With(kBody, kUnderline, 4));
    rt.EndLink();
    rt.Paragraph(plain);
    rt.Rule(0, 40, 14, true);
    rt.Paragraph(plain);
    rt.Text(QStringLiteral("Shipments per week:\n"), kBody);
    rt.Picture(DemoPicture(240, 90), PictureFormat::Png, 240 * 15, 90 * 15);
    rt.Paragraph(plain);
    rt.Text(QStringLiteral("Our team logo, as pasted: "), kBody);
    rt.Picture(DemoPicture(48, 32), PictureFormat::Bitmap, 48 * 15, 32 * 15);
    rt.Paragraph(plain);
    rt.Text(QStringLiteral("The full report: "), kBody);
    rt.AttachmentIcon(attachmentName);
    rt.Paragraph(plain);
    rt.Text(QStringLiteral("Last week's report: "), kBody);
    rt.DocLink(QStringLiteral("Database 'Demo Mail', View 'Inbox', Document 'Status, week 13'"));
    rt.Paragraph(plain);
    rt.Paragraph(plain);
    rt.Text(QStringLiteral("Regards,\nJonas"), With(serif, 0, 0, 11));

    RichBody body;
    body.records = rt.Records();
    body.fonts = CdWriter::FontTable({QStringLiteral("DejaVu Serif")});
    body.plainText = QStringLiteral(
        "Project Status: Northern Region\nWeek 14, prepared for the steering group\n\n"
        "Hello all,\nhere is where we stand. Shipping is back on schedule, the training plan is "
        "confirmed, and the March deadline moves to April.\n"
        "Quoted from the minutes: \u201Cthe northern team closes the gap by the end of the "
        "quarter.\u201D\nDone this week\nWarehouse scanners replaced\nRoutes for the islands "
        "agreed\nInvoices for March sent\nNext steps\nConfirm the workshop room\nSend the revised "
        "offer\nReview the budget on Thursday\n\nRegion\tShipments\tOn time\nNorth\t1,240\t96 %\n"
        "Islands\t310\t88 %\nThe figures are on the project site: projects.quarnix.example/north\n"
        "\nShipments per week:\n\nOur team logo, as pasted: \nThe full report: \nLast week's "
        "report: \n\nRegards,\nJonas");
    return body;
}

RichBody ShortFormattedMemo(int number) {
    CdWriter rt;
    const int plain = rt.DefineStyle({});
    const int centred = rt.DefineStyle({kJustifyCenter, 0, 0, 0, 0});
    const int bullet = rt.DefineStyle({kJustifyLeft, 360, 0, kPabBullet, 0});
    rt.Paragraph(centred);
    rt.Text(QStringLiteral("Update %1").arg(number), With(kBody, kBold, 4, 16));
    rt.Paragraph(plain);
    rt.Text(QStringLiteral("The numbers for this week are "), kBody);
    rt.Text(QStringLiteral("final"), With(kBody, kBold | kItalic, 8));
    rt.Text(QStringLiteral("; details below."), kBody);
    for (int i = 1; i <= 3; ++i) {
        rt.Paragraph(bullet);
        rt.Text(QStringLiteral("Item %1 of update %2").arg(i).arg(number), kBody);
    }
    rt.BeginTable();
    for (int row = 0; row < 2; ++row) {
        for (int column = 0; column < 2; ++column) {
            rt.Cell(row, column, {2880, 1, -1});
            rt.Paragraph(plain);
            rt.Text(QStringLiteral("Cell %1.%2").arg(row + 1).arg(column + 1), kBody);
        }
    }
    rt.EndTable();
    RichBody body;
    body.records = rt.Records();
    body.plainText = QStringLiteral(
                         "Update %1\nThe numbers for this week are final; details "
                         "below.\nItem 1\nItem 2\nItem 3\n")
                         .arg(number);
    return body;
}

QByteArray NewsletterMessage() {
    const QByteArray related = "=_rel_quarnix_weekly";
    const QByteArray alternative = "=_alt_quarnix_weekly";
    const QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html><head><style>\n"
        "body { margin: 0; background: #eef1f4; font-family: Helvetica, Arial, sans-serif; }\n"
        ".wrap { width: 600px; background: #ffffff; }\n"
        ".hero { background: #1f4f8a; color: #ffffff; padding: 14px; font-size: 22px; }\n"
        ".col { width: 290px; vertical-align: top; padding: 8px; }\n"
        ".tint { background: #f3efe2; }\n"
        "th { background: #dbe4ee; text-align: left; padding: 4px; }\n"
        "td.price { text-align: right; color: #a03020; }\n"
        ".foot { font-size: 11px; color: #6b6b6b; padding: 12px; }\n"
        "</style></head>\n<body>\n"
        "<table class=\"wrap\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\">\n"
        "<tr><td class=\"hero\"><img src=\"cid:logo@news.example\" width=\"120\" height=\"40\" "
        "alt=\"Quarnix Weekly\"> Spring special</td></tr>\n"
        "<tr><td><table cellpadding=\"0\" cellspacing=\"0\" width=\"600\"><tr>\n"
        "<td class=\"col\">The northern region opened two new depots this spring, and "
        "deliveries to the islands now leave twice a week.</td>\n"
        "<td class=\"col tint\">Join the partner day in Z&uuml;rich on 12 May, with "
        "workshops, a harbour tour and dinner.</td>\n"
        "</tr></table></td></tr>\n"
        "<tr><td><table width=\"100%\" cellspacing=\"0\">\n"
        "<tr><th>Offer</th><th>Until</th><th>Price</th></tr>\n"
        "<tr><td>Maintenance plan</td><td>30 April</td><td class=\"price\">&euro; "
        "1&#8239;250</td></tr>\n"
        "<tr><td>Training day</td><td>15 May</td><td class=\"price\">&euro; 480</td></tr>\n"
        "</table></td></tr>\n"
        "<tr><td>Read more on <a href=\"https://news.quarnix.example/spring\">our news "
        "site</a>.</td></tr>\n"
        "<tr><td class=\"foot\">&copy; 2011 Quarnix. You receive this letter because you "
        "subscribed to it.</td></tr>\n"
        "</table>\n</body></html>\n");
    const QString plain = QStringLiteral(
        "Spring special\n\n"
        "The northern region opened two new depots this spring, and deliveries to the islands "
        "now leave twice a week.\n\nJoin the partner day in Zürich on 12 May.\n\n"
        "Maintenance plan until 30 April: EUR 1 250\nTraining day until 15 May: EUR 480\n\n"
        "Read more: https://news.quarnix.example/spring\n");
    QByteArray message = Header("Quarnix Weekly <weekly@news.example>", "demo.user@quarnix.example",
                                QStringLiteral("Quarnix Weekly: spring special (HTML)"),
                                "Mon, 04 Apr 2011 06:00:00 +0000");
    message += "Content-Type: multipart/related; type=\"multipart/alternative\"; boundary=\"" +
               related + "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n";
    message += Part(
        related, "Content-Type: multipart/alternative; boundary=\"" + alternative + "\"\r\n", {});
    message += Part(alternative,
                    "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: "
                    "base64\r\n",
                    Base64Lines(plain.toUtf8()));
    message += Part(alternative,
                    "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: "
                    "base64\r\n",
                    Base64Lines(html.toUtf8()));
    message += "--" + alternative + "--\r\n";
    message += Part(related,
                    "Content-Type: image/png; name=\"logo.png\"\r\nContent-Transfer-Encoding: "
                    "base64\r\nContent-ID: <logo@news.example>\r\nContent-Disposition: inline; "
                    "filename=\"logo.png\"\r\n",
                    Base64Lines(ImageBytes(DemoPicture(120, 40))));
    message += "--" + related + "--\r\n";
    return message;
}

QByteArray ReplyWithPictureMessage() {
    const QByteArray boundary = "=_rel_reply_photo";
    const QString html = QStringLiteral(
        "<html><body style=\"font-family: Arial, sans-serif; font-size: 13px\">\n"
        "<p>Hi,</p>\n<p>here is the photo of the new meter from this morning. The "
        "<b>seal number</b> is readable on the left.</p>\n"
        "<p><img src=\"cid:meter-photo@paris.example\" width=\"320\" height=\"180\" alt=\"Meter "
        "7\"></p>\n<p>Bonne journée,<br>Marie</p>\n"
        "<div style=\"border-left: 3px solid #8aa4c8; padding-left: 10px; color: #555555\">\n"
        "<p><b>From:</b> Demo User<br><b>Sent:</b> 22 March 2011 17:02<br><b>Subject:</b> Site "
        "visit</p>\n<p>Could you send me a picture of the replaced meter?</p>\n</div>\n"
        "</body></html>\n");
    QByteArray message = Header(
        "Marie Dubois <marie.dubois@quarnix.example>", "Demo User <demo.user@quarnix.example>",
        QStringLiteral("Re: Site visit"), "Wed, 23 Mar 2011 09:41:00 +0100");
    message += "Content-Type: multipart/related; boundary=\"" + boundary + "\"\r\n\r\n";
    message += Part(boundary,
                    "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: "
                    "base64\r\n",
                    Base64Lines(Crlf(html)));
    message += Part(boundary,
                    "Content-Type: image/jpeg; name=\"meter.jpg\"\r\nContent-Transfer-Encoding: "
                    "base64\r\nContent-ID: <meter-photo@paris.example>\r\nContent-Disposition: "
                    "inline; filename=\"meter.jpg\"\r\n",
                    Base64Lines(ImageBytes(DemoPicture(320, 180), "JPEG")));
    message += "--" + boundary + "--\r\n";
    return message;
}

QByteArray InvoiceMessage(const QByteArray& pdf) {
    const QByteArray boundary = "=_mixed_invoice_0411";
    const QString html = QStringLiteral(
        "<html><body><h2>Invoice 2011-0411</h2>\n"
        "<p>Dear customer, thank you for your order. Please find the invoice attached.</p>\n"
        "<table border=\"1\" cellpadding=\"4\" cellspacing=\"0\">\n"
        "<tr><th>Item</th><th>Qty</th><th>Amount</th></tr>\n"
        "<tr><td>Caf\u00e9 machine service</td><td>1</td><td>&euro;&nbsp;180,00</td></tr>\n"
        "<tr><td>Filter set</td><td>4</td><td>&euro;&nbsp;36,00</td></tr>\n"
        "<tr><td colspan=\"2\"><b>Total</b></td><td><b>&euro;&nbsp;216,00</b></td></tr>\n"
        "</table>\n<p>M\u00fcller &amp; S\u00f6hne, K\u00f6ln</p></body></html>\n");
    QByteArray message = Header("=?ISO-8859-1?Q?M=FCller_&_S=F6hne?= <billing@mueller.example>",
                                "demo.user@quarnix.example", QStringLiteral("Invoice 2011-0411"),
                                "Mon, 11 Apr 2011 08:30:00 +0200");
    message += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    message += Part(boundary,
                    "Content-Type: text/html; charset=iso-8859-1\r\nContent-Transfer-Encoding: "
                    "8bit\r\n",
                    html.toLatin1().replace("\n", "\r\n"));
    message += Part(boundary,
                    "Content-Type: application/pdf; name=\"invoice-2011-0411.pdf\"\r\n"
                    "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; "
                    "filename=\"invoice-2011-0411.pdf\"\r\n",
                    Base64Lines(pdf));
    message += "--" + boundary + "--\r\n";
    return message;
}

QByteArray ShortHtmlMessage(int number) {
    const QString html =
        QStringLiteral(
            "<html><body><h3>Digest %1</h3><table width=\"100%\"><tr>"
            "<td style=\"width:50%;vertical-align:top\">Left column of digest %1: three short news "
            "items about depots, routes and training.</td>"
            "<td style=\"width:50%;vertical-align:top;background:#f3efe2\">Right column: upcoming "
            "events and a reminder to check the <a href=\"https://news.quarnix.example/%1\">online "
            "calendar</a>.</td></tr></table><p>&copy; Quarnix &euro;</p></body></html>")
            .arg(number);
    QByteArray message =
        Header("Quarnix Digest <digest@news.example>", "demo.user@quarnix.example",
               QStringLiteral("Digest %1").arg(number), "Mon, 03 Jan 2011 06:00:00 +0000");
    message +=
        "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    message += Base64Lines(html.toUtf8());
    return message;
}

}  // namespace velmora::notesstore::demo
