#include "components/StandardComponents.h"
#include "components/mime/MailComposer.h"
#include "components/mime/MailError.h"
#include "components/mime/MailMessage.h"
#include "components/mime/MimeComponent.h"
#include "util/GObjectPtr.h"

#include <QFile>
#include <QTemporaryDir>

#include <gmime/gmime.h>
#include <gtest/gtest.h>

using namespace velmora;
using mime::MailComposer;
using mime::MailError;
using mime::MailMessage;

namespace {

// The tree of a part as "type/subtype(child,child)".
QString Shape(GMimeObject* object) {
    char* type = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(object));
    QString shape = QString::fromUtf8(type);
    g_free(type);
    if (GMIME_IS_MULTIPART(object)) {
        QStringList children;
        for (int i = 0; i < g_mime_multipart_get_count(GMIME_MULTIPART(object)); ++i) {
            children << Shape(g_mime_multipart_get_part(GMIME_MULTIPART(object), i));
        }
        shape += u'(' + children.join(u',') + u')';
    }
    return shape;
}

struct Composed {
    QString text;
    GObjectPtr<GMimeMessage> message;
    QString Shape() const { return ::Shape(g_mime_message_get_mime_part(message.get())); }
    // The decoded content of the first part of the given type.
    QByteArray Content(const char* type, const char* subtype) const {
        GMimeObject* found = nullptr;
        const auto find = [&](auto&& self, GMimeObject* object) -> void {
            if (found == nullptr && GMIME_IS_MULTIPART(object)) {
                for (int i = 0; i < g_mime_multipart_get_count(GMIME_MULTIPART(object)); ++i) {
                    self(self, g_mime_multipart_get_part(GMIME_MULTIPART(object), i));
                }
            } else if (found == nullptr && GMIME_IS_PART(object) &&
                       g_mime_content_type_is_type(g_mime_object_get_content_type(object), type,
                                                   subtype)) {
                found = object;
            }
        };
        find(find, g_mime_message_get_mime_part(message.get()));
        if (found == nullptr) {
            return {};
        }
        auto stream = Adopt(g_mime_stream_mem_new());
        g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(GMIME_PART(found)),
                                            stream.get());
        const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
        return QByteArray(reinterpret_cast<const char*>(bytes->data), qsizetype(bytes->len));
    }
};

class MimeBodyTest : public ::testing::Test {
  protected:
    void SetUp() override { RegisterStandardComponents(); }

    Composed Compose(const QByteArray& entity, const QString& plain, int attachments = 0) {
        auto message = automation::CreateObject<MailMessage>(mime::kMailMessageClassId);
        message->SetFrom(QStringLiteral("Ann <ann@example.org>"));
        message->SetSubject(QStringLiteral("Subject of the record"));
        message->SetBody(plain);
        message->SetMimeBody(entity);
        for (int i = 0; i < attachments; ++i) {
            const QString path = m_dir.filePath(QStringLiteral("extra%1.txt").arg(i));
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("extra");
            file.close();
            message->AddAttachment(path);
        }
        Composed composed;
        composed.text = automation::CreateObject<MailComposer>(mime::kMailComposerClassId)
                            ->ComposeText(*message);
        const QByteArray bytes = composed.text.toLatin1();
        auto stream = Adopt(g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
        auto parser = Adopt(g_mime_parser_new_with_stream(stream.get()));
        composed.message.reset(g_mime_parser_construct_message(parser.get(), nullptr));
        EXPECT_NE(composed.message, nullptr);
        return composed;
    }

    QTemporaryDir m_dir;
};

const QByteArray kHtml = "Content-Type: text/html; charset=utf-8\r\n\r\n<p>Rich</p>\r\n";
const QByteArray kAlternative =
    "Content-Type: multipart/alternative; boundary=\"a\"\r\n\r\n"
    "--a\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nOwn plain\r\n"
    "--a\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>Rich</p>\r\n--a--\r\n";
const QByteArray kRelated =
    "Content-Type: multipart/related; boundary=\"r\"\r\n\r\n"
    "--r\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<img src=\"cid:p@x\">\r\n"
    "--r\r\nContent-Type: image/png\r\nContent-ID: <p@x>\r\nContent-Transfer-Encoding: "
    "base64\r\n\r\niVBORw0KGgo=\r\n--r--\r\n";
const QByteArray kMixed =
    "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n--m\r\n" + kAlternative +
    "--m\r\nContent-Type: application/pdf; name=\"a.pdf\"\r\nContent-Disposition: attachment; "
    "filename=\"a.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\nJVBERi0=\r\n--m--\r\n";

}  // namespace

TEST_F(MimeBodyTest, ownBody_keepsItsPartsWithThePlainTextAsTheTextAlternative) {
    struct Row {
        const char* what;
        QByteArray entity;
        QString plain;
        int attachments;
        QString shape;
    };
    const Row rows[] = {
        {"HTML alone gains the plain alternative", kHtml, "Plain", 0,
         "multipart/alternative(text/plain,text/html)"},
        {"HTML alone without plain text stays alone", kHtml, "", 0, "text/html"},
        {"an alternative with its own plain part stays as it is", kAlternative, "Plain", 0,
         "multipart/alternative(text/plain,text/html)"},
        {"HTML with its pictures", kRelated, "Plain", 0,
         "multipart/alternative(text/plain,multipart/related(text/html,image/png))"},
        {"attachments of the body and of the document", kMixed, "Plain", 2,
         "multipart/mixed(multipart/alternative(text/plain,text/html),application/pdf,text/plain,"
         "text/plain)"},
        {"pictures and the document's attachments", kRelated, "Plain", 1,
         "multipart/mixed(multipart/alternative(text/plain,multipart/related(text/html,image/"
         "png)),text/plain)"},
    };
    for (const Row& row : rows) {
        const Composed composed = Compose(row.entity, row.plain, row.attachments);
        EXPECT_EQ(composed.Shape(), row.shape) << row.what;
    }
    EXPECT_EQ(Compose(kAlternative, "Plain").Content("text", "plain"), "Own plain")
        << "the body's own plain part wins";
}

TEST_F(MimeBodyTest, eightBitBody_travelsSevenBitWithItsCharset) {
    const QByteArray latin =
        "From: Someone <s@example.org>\r\nReceived: from relay\r\nSubject: Old subject\r\n"
        "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
        "--m\r\nContent-Type: text/html; charset=iso-8859-1\r\nContent-Transfer-Encoding: 8bit\r\n"
        "\r\n<p>Caf\xe9 \xe0 M\xfcnchen</p>\r\n"
        "--m\r\nContent-Type: text/plain; name=\"r\xe9sum\xe9.txt\"\r\nContent-Disposition: "
        "attachment; filename=\"r\xe9sum\xe9.txt\"\r\n\r\nx\r\n--m--\r\n";
    const Composed composed = Compose(latin, "Caf\u00e9");
    for (const QChar c : composed.text) {
        ASSERT_LT(c.unicode(), 0x80) << "the message text is 7-bit";
    }
    EXPECT_EQ(composed.Content("text", "html"), "<p>Caf\xe9 \xe0 M\xfcnchen</p>");
    EXPECT_TRUE(composed.text.contains(QLatin1String("charset=iso-8859-1")));
    // The mail's own header fields come from the record, never from the stored body.
    EXPECT_FALSE(composed.text.contains(QLatin1String("Received:")));
    EXPECT_FALSE(composed.text.contains(QLatin1String("Old subject")));
    EXPECT_TRUE(composed.text.contains(QLatin1String("Subject: Subject of the record")));
    EXPECT_TRUE(composed.text.contains(QLatin1String("r%C3%A9sum%C3%A9.txt")))
        << composed.text.toStdString();
}

TEST_F(MimeBodyTest, attachedFiles_keepTheirBytes) {
    // Unix line ends in a text file, and raw bytes of any value, stored unencoded.
    const QByteArray text = "line one\nline two\n";
    const QByteArray binary("\x00\x01\xff\r\n\x80tail", 10);
    const QByteArray entity =
        "Content-Type: multipart/mixed; boundary=\"m\"\r\n\r\n"
        "--m\r\nContent-Type: text/plain\r\n\r\nBody\r\n"
        "--m\r\nContent-Type: text/plain; name=\"notes.txt\"\r\nContent-Disposition: "
        "attachment; filename=\"notes.txt\"\r\nContent-Transfer-Encoding: binary\r\n\r\n" +
        text +
        "\r\n--m\r\nContent-Type: application/octet-stream; name=\"raw.bin\"\r\n"
        "Content-Transfer-Encoding: binary\r\n\r\n" +
        binary + "\r\n--m--\r\n";
    const Composed composed = Compose(entity, "Body");
    EXPECT_EQ(composed.Content("text", "plain"), "Body");
    EXPECT_EQ(composed.Content("application", "octet-stream"), binary);
    // The second text/plain part is the file.
    EXPECT_TRUE(composed.text.contains(QString::fromLatin1(text.toBase64())))
        << composed.text.toStdString();
}

TEST_F(MimeBodyTest, emptyEntity_isRefusedAndThePlainBodyStays) {
    auto message = automation::CreateObject<MailMessage>(mime::kMailMessageClassId);
    message->SetBody(QStringLiteral("Plain"));
    EXPECT_THROW(message->SetMimeBody(" \r\n"), MailError);
    const QString text =
        automation::CreateObject<MailComposer>(mime::kMailComposerClassId)->ComposeText(*message);
    EXPECT_TRUE(text.contains(QLatin1String("Content-Type: text/plain")));
}
