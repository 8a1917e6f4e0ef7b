#include "components/mailconverter/MailConverterX.h"
#include "components/mailconverter/MailReader.h"
#include "components/mailconverter/MailRenderer.h"
#include "components/mailconverter/pdf/PdfArchive.h"

#include <QFile>
#include <QTest>

using namespace velmora::mailconverter;

namespace {

QByteArray Corpus(const char* name) {
    QFile file(QStringLiteral(VELMORA_MAIL_CORPUS "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("missing corpus file %s", name);
    }
    return file.readAll();
}

QString Field(const MailContent& mail, const QString& label) {
    for (const auto& field : mail.fields) {
        if (field.label == label) {
            return field.value;
        }
    }
    return QStringLiteral("<absent>");
}

const MailAttachment* FindAttachment(const MailContent& mail, const QString& name) {
    for (const auto& file : mail.attachments) {
        if (file.name == name) {
            return &file;
        }
    }
    return nullptr;
}

QString BodyText(const MailContent& mail) {
    QString all;
    for (const auto& part : mail.body) {
        all += part.text;
    }
    return all;
}

QByteArray Nested(int depth, const QByteArray& innermost) {
    QByteArray text = "From: deep@example.com\r\nSubject: deep\r\nMIME-Version: 1.0\r\n";
    for (int i = 0; i < depth; ++i) {
        text += "Content-Type: multipart/mixed; boundary=\"b" + QByteArray::number(i) +
                "\"\r\n\r\n--b" + QByteArray::number(i) + "\r\n";
    }
    text += "Content-Type: text/plain\r\n\r\n" + innermost + "\r\n";
    for (int i = depth - 1; i >= 0; --i) {
        text += "--b" + QByteArray::number(i) + "--\r\n";
    }
    return text;
}

}  // namespace

class MailReaderTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void headers_decodedInOrder_bccOnlyWhenPresent() {
        const MailContent mail = MailReader().ReadBytes(Corpus("scripts.eml"));
        QStringList labels;
        for (const auto& field : mail.fields) {
            labels << field.label;
        }
        QCOMPARE(labels, (QStringList{"From", "To", "Cc", "Bcc", "Date", "Subject"}));
        QCOMPARE(mail.subject, QStringLiteral("Quarterly report 四半期報告 отчёт"));
        QCOMPARE(Field(mail, "From"), QStringLiteral("Иван Петров <ivan@example.ru>"));
        // A name without Internet form rides on a reserved address and is shown alone.
        QCOMPARE(Field(mail, "To"),
                 QStringLiteral("Jane Roe/Sales/Acme; Renée Müller <renee@example.de>"));
        QCOMPARE(Field(mail, "Bcc"), QStringLiteral("王小明 <wang@example.cn>"));
        QCOMPARE(mail.date.toUTC(), QDateTime(QDate(2026, 12, 8), QTime(13, 43), Qt::UTC));
        QCOMPARE(mail.date.offsetFromUtc(), 3600);

        const MailContent plain = MailReader().ReadBytes(Corpus("nested-rfc822.eml"));
        QCOMPARE(Field(plain, "Cc"), QStringLiteral("<absent>"));
        QCOMPARE(Field(plain, "Bcc"), QStringLiteral("<absent>"));
    }

    void attachments_keepBytes_uniqueNamesLater_pathsStripped() {
        const MailContent mail = MailReader().ReadBytes(Corpus("scripts.eml"));
        QCOMPARE(mail.attachments.size(), size_t(4));
        const MailAttachment* report = FindAttachment(mail, QStringLiteral("отчёт.bin"));
        QVERIFY(report);
        QByteArray expected;
        for (int r = 0; r < 3; ++r) {
            for (int i = 0; i < 256; ++i) {
                expected += static_cast<char>(i);
            }
        }
        QCOMPARE(report->data, expected);
        QVERIFY(FindAttachment(mail, QStringLiteral("evil.sh")));
        const auto names = PdfArchiveWriter::UniqueNames(mail.attachments);
        QCOMPARE(names,
                 (std::vector<QString>{"отчёт.bin", "notes.txt", "notes (2).txt", "evil.sh"}));
    }

    void uniqueNames_skipNamesAlreadyTaken_ignoringCase() {
        const auto file = [](const char* name) { return MailAttachment{name, {}, {}}; };
        const std::vector<MailAttachment> files = {file("a.txt"),  file("a (2).txt"),
                                                   file("A.TXT"),  file("a.txt"),
                                                   file("README"), file("readme")};
        QCOMPARE(PdfArchiveWriter::UniqueNames(files),
                 (std::vector<QString>{"a.txt", "a (2).txt", "A (3).TXT", "a (4).txt", "README",
                                       "readme (2)"}));
    }

    void alternative_picksHtml_relatedImagesResolvedOrAttached() {
        const MailContent mail = MailReader().ReadBytes(Corpus("html-related.eml"));
        QCOMPARE(mail.body.size(), size_t(1));
        QCOMPARE(mail.body[0].kind, MailBodyPart::Kind::Html);
        QVERIFY(mail.body[0].text.contains("HTMLBODY"));
        QVERIFY(!BodyText(mail).contains("PLAINALTERNATIVE"));
        QVERIFY(mail.resources.contains(QStringLiteral("cid:logo@example.com")));
        QVERIFY(mail.resources.value(QStringLiteral("cid:logo@example.com"))
                    .data.startsWith("\x89PNG"));
        // The image nothing refers to is not shown, so it is kept as a file.
        QCOMPARE(mail.attachments.size(), size_t(1));
        QVERIFY(mail.attachments[0].data.startsWith("\x89PNG"));
    }

    void charsets_declaredOrFallback_withNotice() {
        const MailContent mail = MailReader().ReadBytes(Corpus("charsets.eml"));
        const QString body = BodyText(mail);
        QVERIFY(body.contains(QStringLiteral("Grüße aus Köln")));
        QVERIFY(body.contains(QStringLiteral("Привет из Москвы")));
        QVERIFY(body.contains(QStringLiteral("Déjà vu")));
        QVERIFY(body.contains(QStringLiteral("naïve")));
        QVERIFY(body.contains(QStringLiteral("“quoted” €")));
        QCOMPARE(mail.notices.size(), 2);
        QVERIFY(mail.notices.join('\n').contains("x-no-such-charset"));
    }

    void attachedMessage_readWithItsOwnAttachments() {
        const MailContent mail = MailReader().ReadBytes(Corpus("nested-rfc822.eml"));
        QVERIFY(BodyText(mail).contains("OUTERBODY"));
        QCOMPARE(mail.attachedMessages.size(), size_t(1));
        const MailContent& inner = mail.attachedMessages[0];
        QCOMPARE(inner.subject, QStringLiteral("Inner news"));
        QVERIFY(BodyText(inner).contains("INNERBODY"));
        QVERIFY(FindAttachment(inner, "inner.pdf"));
    }

    void longPart_shownInPart_completePartAttached() {
        ReaderLimits limits;
        limits.maxPartChars = 100;
        QByteArray body;
        for (int i = 0; i < 100; ++i) {
            body += "line " + QByteArray::number(i) + "\r\n";
        }
        const MailContent mail = MailReader(limits).ReadBytes(
            "From: a@example.com\r\nSubject: long\r\nContent-Type: text/plain\r\n\r\n" + body);
        QCOMPARE(BodyText(mail).size(), 100);
        const MailAttachment* whole = FindAttachment(mail, QStringLiteral("body-part-1.txt"));
        QVERIFY(whole);
        QCOMPARE(whole->data, body);
        QVERIFY(mail.notices.join('\n').contains("body-part-1.txt"));
    }

    void deepNesting_cappedAndKeptAsFile() {
        ReaderLimits limits;
        limits.maxDepth = 5;
        const MailContent mail = MailReader(limits).ReadBytes(Nested(40, "DEEPEST TEXT"));
        QVERIFY(!BodyText(mail).contains("DEEPEST TEXT"));
        QCOMPARE(mail.attachments.size(), size_t(1));
        QVERIFY(mail.attachments[0].name.endsWith(".eml"));
        QVERIFY(mail.attachments[0].data.contains("DEEPEST TEXT"));
        QVERIFY(mail.notices.join('\n').contains("nested more than 5 levels"));
    }

    void thousandLevels_defaultLimits_noCrash() {
        const MailContent mail = MailReader().ReadBytes(Nested(1000, "BOTTOM"));
        QVERIFY(!mail.attachments.empty());
        QVERIFY(mail.attachments[0].data.contains("BOTTOM"));
    }

    void hugeHeader_capped_completeHeaderAttached() {
        ReaderLimits limits;
        limits.maxFieldChars = 50;
        const QByteArray subject = QByteArray(500, 'S') + "END";
        const MailContent mail = MailReader(limits).ReadBytes(
            "From: a@example.com\r\nSubject: " + subject + "\r\n\r\nbody\r\n");
        QCOMPARE(Field(mail, "Subject").size(), 51);
        const MailAttachment* header = FindAttachment(mail, "message-header.txt");
        QVERIFY(header);
        QVERIFY(header->data.contains(subject));
    }

    void notAMessage_shownAsText_fileKept() {
        QByteArray garbage;
        for (int i = 0; i < 5000; ++i) {
            garbage += static_cast<char>((i * 7919) % 251);
        }
        const MailContent mail = MailReader().ReadBytes(garbage);
        QVERIFY(!mail.body.empty());
        bool kept = false;
        for (const auto& file : mail.attachments) {
            kept = kept || file.data == garbage;
        }
        QVERIFY2(kept || BodyText(mail).size() >= 1000, "garbage neither shown nor kept");
    }

    void formatSize_readableUnits() {
        QCOMPARE(MailRenderer::FormatSize(0), QStringLiteral("0 bytes"));
        QCOMPARE(MailRenderer::FormatSize(1023), QStringLiteral("1023 bytes"));
        QCOMPARE(MailRenderer::FormatSize(2048), QStringLiteral("2.0 KB"));
        QCOMPARE(MailRenderer::FormatSize(3 * 1024 * 1024 + 200 * 1024), QStringLiteral("3.2 MB"));
    }
};

QTEST_MAIN(MailReaderTest)
#include "MailReaderTest.moc"
