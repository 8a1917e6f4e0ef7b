#pragma once

// The formatted mail of the demo and of generated stores (HTML mail as Notes keeps MIME mail,
// memos whose rich text is stored as CD records) and the files attached to demo mail.

#include "components/notesstore/StoreWriter.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace velmora::notesstore::demo {

// A rich-text Body as Notes stores it.
struct RichBody {
    QByteArray records;  // the Body's CD records
    QByteArray fonts;    // the "$Fonts" item naming faces beyond the standard five
    QString plainText;   // what reading the Body as text gives
};

// Replaces the document's Body by the rich text (records and plain text) and adds its font
// table; the Body's embedded objects stay.
void SetRichBody(DocumentData& document, const RichBody& body);

// A status report with every kind of formatting: fonts, sizes, styles, colours, centred and
// indented paragraphs, bullets and numbering, a table with widths and borders, a link, a rule,
// a PNG picture and a bitmap, an icon for the attached file attachmentName, a document link.
RichBody StatusReport(const QString& attachmentName);

// A short formatted memo (a heading, styled words, a list and a small table), for mixes of
// generated mail.
RichBody ShortFormattedMemo(int number);

// Whole messages (header and MIME body) as they would arrive.
QByteArray NewsletterMessage();        // HTML in columns, a logo inline, a plain alternative
QByteArray ReplyWithPictureMessage();  // an HTML reply quoting the earlier mail, a photo inline
QByteArray InvoiceMessage(const QByteArray& pdf);  // HTML only, ISO-8859-1, the PDF attached
QByteArray ShortHtmlMessage(int number);

// A one-page PDF showing line, and a PNG picture of the given size.
QByteArray PdfFile(const QByteArray& line);
QByteArray PngFile(int width, int height);

// A deterministic picture of the given size (a colour gradient with a frame).
QImage DemoPicture(int width, int height);

}  // namespace velmora::notesstore::demo
