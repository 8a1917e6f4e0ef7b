#include "NullMailMessage.h"
#include "ParsedMessage.h"
#include "components/StandardComponents.h"
#include "components/mime/GMimeMailMessage.h"
#include "components/mime/MailComposer.h"
#include "components/mime/MailError.h"
#include "components/mime/MailMessage.h"
#include "components/mime/MimeComponent.h"

#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace velmora;
using mime::kNotesNameAddress;
using mime::Mailbox;
using mime::MailComposer;
using mime::MailError;
using mime::MailMessage;
using mime::test::ParsedMessage;
using mime::test::ParseMessage;

namespace {

class MailComposerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RegisterStandardComponents();
        ASSERT_TRUE(m_dir.isValid());
        m_message = automation::CreateObject<MailMessage>(mime::kMailMessageClassId);
        m_composer = automation::CreateObject<MailComposer>(mime::kMailComposerClassId);
        ASSERT_NE(m_message, nullptr);
        ASSERT_NE(m_composer, nullptr);
    }

    QString WriteFile(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QString Compose() { return m_composer->ComposeText(*m_message); }
    ParsedMessage ComposeAndParse() {
        const ParsedMessage parsed = ParseMessage(Compose());
        EXPECT_TRUE(parsed.parsed);
        return parsed;
    }

    QTemporaryDir m_dir;
    std::shared_ptr<MailMessage> m_message;
    std::shared_ptr<MailComposer> m_composer;
};

QByteArray RandomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char& byte : bytes) {
        byte = char(generator.bounded(256));
    }
    return bytes;
}

// Header field of the raw text, unfolded; empty when absent.
QString RawHeader(const QString& text, const QString& name) {
    const QString head = text.left(text.indexOf(QStringLiteral("\r\n\r\n")));
    const QRegularExpression field(
        QStringLiteral("(?:^|\\r\\n)%1:((?:[^\\r]|\\r\\n[ \\t])*)").arg(name),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = field.match(head);
    return match.hasMatch() ? match.captured(1).replace(QStringLiteral("\r\n"), QString()).trimmed()
                            : QString();
}

struct ScriptSample {
    const char* script;
    QString text;
};

const std::vector<ScriptSample>& Samples() {
    static const std::vector<ScriptSample> samples = {
        {"latin", QStringLiteral("Réunion à l'école: Ærøskøbing, Straße, Łódź, São Paulo")},
        {"cyrillic", QStringLiteral("Отчёт о продажах за третий квартал")},
        {"greek", QStringLiteral("Συνάντηση για τον προϋπολογισμό")},
        {"chinese", QStringLiteral("季度销售报告和会议纪要")},
        {"japanese", QStringLiteral("会議の議事録を送ります。よろしくお願いします")},
        {"arabic", QStringLiteral("تقرير المبيعات الفصلي")},
        {"hebrew", QStringLiteral("דוח מכירות רבעוני")},
        {"emoji", QStringLiteral("Party 🎉 tonight 😀👍🏽 👩‍👩‍👧")},
    };
    return samples;
}

}  // namespace

TEST_F(MailComposerTest, registry_createsNewObjectsUnderTheClassIdentifiers) {
    EXPECT_NE(automation::CreateObject<MailMessage>(mime::kMailMessageClassId), m_message);
    EXPECT_EQ(automation::CreateObject<MailComposer>(mime::kMailMessageClassId), nullptr);
}

TEST_F(MailComposerTest, roundTrip_everyFieldInEveryScript) {
    for (const ScriptSample& sample : Samples()) {
        SCOPED_TRACE(sample.script);
        auto message = automation::CreateObject<MailMessage>(mime::kMailMessageClassId);
        const QString& t = sample.text;
        const QString to = QStringLiteral("%1 <to@x.example>;plain@y.example;%1/Sales/Acme").arg(t);
        message->AddTo(to, to);
        message->SetSubject(t);
        message->SetBody(t + QStringLiteral("\nsecond line ") + t + QStringLiteral("\n"));
        message->SetFrom(QStringLiteral("\"%1\" <from@x.example>").arg(t));
        message->AddCc(QStringLiteral("CN=%1/OU=Sales/O=Acme").arg(t), QString());
        message->AddBcc(QStringLiteral("%1 <bcc@x.example>").arg(t), QString());
        const QDateTime date(QDate(2024, 3, 1), QTime(9, 30, 5), QTimeZone(3600));
        message->SetDate(date);
        const QByteArray bytes = RandomBytes(1000, 7);
        message->AddAttachment(WriteFile(t + QStringLiteral(".pdf"), bytes));

        const QString text = m_composer->ComposeText(*message);
        const ParsedMessage parsed = ParseMessage(text);
        ASSERT_TRUE(parsed.parsed);
        EXPECT_EQ(parsed.subject, t);
        EXPECT_EQ(parsed.from, std::vector<Mailbox>({{t, QStringLiteral("from@x.example")}}));
        EXPECT_EQ(parsed.to,
                  std::vector<Mailbox>({{t, QStringLiteral("to@x.example")},
                                        {QString(), QStringLiteral("plain@y.example")},
                                        {t + QStringLiteral("/Sales/Acme"), kNotesNameAddress}}));
        EXPECT_EQ(parsed.cc, std::vector<Mailbox>({{QStringLiteral("CN=%1/OU=Sales/O=Acme").arg(t),
                                                    kNotesNameAddress}}));
        EXPECT_EQ(parsed.bcc, std::vector<Mailbox>({{t, QStringLiteral("bcc@x.example")}}));
        EXPECT_EQ(parsed.body, t + QStringLiteral("\nsecond line ") + t + QStringLiteral("\n"));
        EXPECT_EQ(parsed.date, date);
        EXPECT_EQ(parsed.date.offsetFromUtc(), 3600);
        ASSERT_EQ(parsed.attachments.size(), 1u);
        EXPECT_EQ(parsed.attachments[0].fileName, t + QStringLiteral(".pdf"));
        EXPECT_EQ(parsed.attachments[0].mediaType, QStringLiteral("application/pdf"));
        EXPECT_EQ(parsed.attachments[0].bytes, bytes);
        // UTF-8 everywhere, never a legacy charset picked per word.
        EXPECT_FALSE(text.contains(QStringLiteral("iso-"), Qt::CaseInsensitive));
        EXPECT_FALSE(text.contains(QStringLiteral("koi8"), Qt::CaseInsensitive));
        EXPECT_FALSE(text.contains(QStringLiteral("shift_jis"), Qt::CaseInsensitive));
        EXPECT_FALSE(text.contains(QStringLiteral("gb2312"), Qt::CaseInsensitive));
    }
}

TEST_F(MailComposerTest, roundTrip_longAndAwkwardSubjects) {
    QString longUnicode;
    for (const ScriptSample& sample : Samples()) {
        longUnicode += sample.text + u' ';
    }
    const QStringList subjects = {
        longUnicode.repeated(3),
        QStringLiteral("A rather long plain subject line that keeps going ").repeated(8).trimmed(),
        QString(300, u'x'),
        QStringLiteral("  leading and trailing blanks  "),
        QStringLiteral("double  blank and\ttab"),
        QStringLiteral("=?UTF-8?B?w6k=?= is not an encoded word here"),
        QStringLiteral("under_score, \"quotes\", (parens), <angles>, a=b?c; d: e"),
        QStringLiteral("Re: offer?"),
    };
    for (const QString& subject : subjects) {
        m_message->SetSubject(subject);
        const QString text = Compose();
        EXPECT_EQ(ParseMessage(text).subject, subject);
        const QString head = text.left(text.indexOf(QStringLiteral("\r\n\r\n")));
        for (const QString& line : head.split(QStringLiteral("\r\n"))) {
            EXPECT_LE(line.size(), 78) << line.toStdString();
        }
    }
}

TEST_F(MailComposerTest, notesNames_comeBackExactlyAsWrittenBehindAReservedAddress) {
    const QStringList names = {
        QStringLiteral("Jane Roe/Sales/Acme"),
        QStringLiteral("CN=Jane Roe/OU=Sales/O=Acme"),
        QStringLiteral("Jane \"JR\" Roe/Acme"),
        QStringLiteral("Roe, Jane/Sales/Acme@AcmeMail"),
        QStringLiteral("Jürgen Groß/Vertrieb/Acme"),
        QStringLiteral("A Very Long Notes Name With Many Parts/Department Of Things/Region/Acme "
                       "International Holdings"),
    };
    m_message->SetFrom(names[0]);
    const QString list = names.join(u';');
    m_message->AddTo(list, list);
    const QString text = Compose();
    const ParsedMessage parsed = ParseMessage(text);
    ASSERT_EQ(parsed.to.size(), size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) {
        EXPECT_EQ(parsed.to[i], (Mailbox{names[i], kNotesNameAddress}));
    }
    EXPECT_EQ(parsed.from, std::vector<Mailbox>({{names[0], kNotesNameAddress}}));
    EXPECT_TRUE(kNotesNameAddress.endsWith(QStringLiteral(".invalid")));
    EXPECT_EQ(RawHeader(text, QStringLiteral("From")),
              QStringLiteral("\"Jane Roe/Sales/Acme\" <notes-name@notes.invalid>"));
}

TEST_F(MailComposerTest, emptyAddressTexts_addNoHeader) {
    for (const QString& empty :
         {QString(), QStringLiteral(";;"), QStringLiteral(" ; ;"), QStringLiteral(".")}) {
        m_message->AddTo(empty, empty);
        m_message->AddCc(empty, empty);
        m_message->AddBcc(empty, empty);
        m_message->SetFrom(empty);
    }
    const QString text = Compose();
    for (const QString& name : {QStringLiteral("To"), QStringLiteral("Cc"), QStringLiteral("Bcc"),
                                QStringLiteral("From")}) {
        EXPECT_FALSE(text.contains(QStringLiteral("\r\n%1:").arg(name), Qt::CaseInsensitive) ||
                     text.startsWith(name + u':', Qt::CaseInsensitive))
            << name.toStdString();
    }
    const ParsedMessage parsed = ParseMessage(text);
    EXPECT_TRUE(parsed.to.empty());
    EXPECT_TRUE(parsed.cc.empty());
}

TEST_F(MailComposerTest, addressCalls_accumulateAndKeepOrder) {
    m_message->AddTo(QStringLiteral("a@x.example;;b@x.example"), QStringLiteral("Ann;;Ben"));
    m_message->AddTo(QStringLiteral("c@x.example"), QStringLiteral("c@x.example"));
    m_message->SetFrom(QStringLiteral("old@x.example"));
    const QString text = Compose();
    EXPECT_FALSE(text.contains(QStringLiteral("\r\nSender:")));
    m_message->SetFrom(QStringLiteral("two@x.example;Ann Roe/Acme"));
    EXPECT_EQ(RawHeader(Compose(), QStringLiteral("Sender")), QStringLiteral("two@x.example"));
    m_message->SetFrom(QStringLiteral("new@x.example"));
    const ParsedMessage parsed = ComposeAndParse();
    EXPECT_EQ(parsed.to,
              std::vector<Mailbox>({{QStringLiteral("Ann"), QStringLiteral("a@x.example")},
                                    {QStringLiteral("Ben"), QStringLiteral("b@x.example")},
                                    {QString(), QStringLiteral("c@x.example")}}));
    EXPECT_EQ(parsed.from, std::vector<Mailbox>({{QString(), QStringLiteral("new@x.example")}}));
}

TEST_F(MailComposerTest, attachments_bytesSurviveExactly) {
    QByteArray everyByte;
    for (int i = 0; i < 256; ++i) {
        everyByte += char(i);
    }
    const QByteArray large = RandomBytes(5 * 1024 * 1024, 42);
    const QByteArray text = "line one\nline two\r\nno final newline";
    EXPECT_EQ(m_message->AddAttachment(WriteFile(QStringLiteral("all.bin"), everyByte)),
              QStringLiteral("all.bin"));
    m_message->AddAttachment(WriteFile(QStringLiteral("empty.txt"), QByteArray()));
    m_message->AddAttachment(WriteFile(QStringLiteral("large.zip"), large));
    m_message->AddAttachment(WriteFile(QStringLiteral("notes.txt"), text));
    m_message->SetBody(QStringLiteral("see attached"));

    const ParsedMessage parsed = ComposeAndParse();
    EXPECT_EQ(parsed.body, QStringLiteral("see attached"));
    ASSERT_EQ(parsed.attachments.size(), 4u);
    EXPECT_EQ(parsed.attachments[0].bytes, everyByte);
    EXPECT_EQ(parsed.attachments[0].mediaType, QStringLiteral("application/octet-stream"));
    EXPECT_EQ(parsed.attachments[1].fileName, QStringLiteral("empty.txt"));
    EXPECT_TRUE(parsed.attachments[1].bytes.isEmpty());
    EXPECT_EQ(parsed.attachments[2].bytes, large);
    EXPECT_EQ(parsed.attachments[2].mediaType, QStringLiteral("application/zip"));
    EXPECT_EQ(parsed.attachments[3].bytes, text);  // line ends of a text file are its own
    EXPECT_EQ(parsed.attachments[3].mediaType, QStringLiteral("text/plain"));
}

TEST_F(MailComposerTest, attachments_readDuringTheCallSameNamesBothKept) {
    const QString first = WriteFile(QStringLiteral("same.doc"), "first");
    m_message->AddAttachment(first);
    ASSERT_TRUE(QFile::remove(first));
    m_message->AddAttachment(WriteFile(QStringLiteral("same.doc"), "second"));
    ASSERT_TRUE(QFile::remove(m_dir.filePath(QStringLiteral("same.doc"))));

    // Composing twice gives the same attachments both times.
    ASSERT_EQ(ComposeAndParse().attachments.size(), 2u);
    const ParsedMessage parsed = ComposeAndParse();
    ASSERT_EQ(parsed.attachments.size(), 2u);
    EXPECT_EQ(parsed.attachments[0].fileName, QStringLiteral("same.doc"));
    EXPECT_EQ(parsed.attachments[0].bytes, QByteArray("first"));
    EXPECT_EQ(parsed.attachments[1].fileName, QStringLiteral("same.doc"));
    EXPECT_EQ(parsed.attachments[1].bytes, QByteArray("second"));
}

TEST_F(MailComposerTest, attachments_unreadablePathFailsThatCallOnly) {
    m_message->AddAttachment(WriteFile(QStringLiteral("kept.pdf"), "kept"));
    EXPECT_THROW(m_message->AddAttachment(m_dir.filePath(QStringLiteral("missing.pdf"))),
                 MailError);
    EXPECT_THROW(m_message->AddAttachment(m_dir.path()), MailError);
    EXPECT_THROW(m_message->AddAttachment(QString()), MailError);
    EXPECT_THROW(m_message->AddAttachment(QStringLiteral("/dev/zero")), MailError);
    {
        QFile huge(m_dir.filePath(QStringLiteral("huge.bin")));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        ASSERT_TRUE(huge.resize(mime::GMimeMailMessage::kMaxAttachmentBytes + 1));  // sparse
    }
    EXPECT_THROW(m_message->AddAttachment(m_dir.filePath(QStringLiteral("huge.bin"))), MailError);
    m_message->SetSubject(QStringLiteral("still usable"));

    const ParsedMessage parsed = ComposeAndParse();
    EXPECT_EQ(parsed.subject, QStringLiteral("still usable"));
    ASSERT_EQ(parsed.attachments.size(), 1u);
    EXPECT_EQ(parsed.attachments[0].fileName, QStringLiteral("kept.pdf"));
}

TEST_F(MailComposerTest, attachments_awkwardNamesRoundTrip) {
    const QStringList names = {
        QStringLiteral("Отчёт 2024 — 日本語 😀 and a long tail that needs several segments.xlsx"),
        QStringLiteral("quote\"and\\backslash;semi=eq.txt"),
        QStringLiteral("=?UTF-8?Q?not_encoded?=.txt"),
        QStringLiteral("line\nbreak\ttab.txt"),
        QStringLiteral("no extension"),
    };
    for (const QString& name : names) {
        m_message->AddAttachment(WriteFile(name, name.toUtf8()));
    }
    const ParsedMessage parsed = ComposeAndParse();
    ASSERT_EQ(parsed.attachments.size(), size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) {
        EXPECT_EQ(parsed.attachments[i].fileName, names[i]);
        EXPECT_EQ(parsed.attachments[i].bytes, names[i].toUtf8());
    }
    EXPECT_EQ(parsed.attachments[4].mediaType, QStringLiteral("application/octet-stream"));
}

TEST_F(MailComposerTest, date_keepsTheOffsetOfTheValue) {
    const QDate day(2023, 10, 29);
    const QTime time(1, 59, 59);
    for (const int offset : {0, 3600, -8 * 3600, 5 * 3600 + 1800, -(3 * 3600 + 1800),
                             12 * 3600 + 45 * 60, 14 * 3600}) {
        const QDateTime value(day, time, QTimeZone(offset));
        m_message->SetDate(value);
        const QString text = Compose();
        const ParsedMessage parsed = ParseMessage(text);
        EXPECT_EQ(parsed.date, value) << offset;
        EXPECT_EQ(parsed.date.offsetFromUtc(), offset);
        EXPECT_TRUE(RawHeader(text, QStringLiteral("Date"))
                        .startsWith(QStringLiteral("Sun, 29 Oct 2023 01:59:59")))
            << RawHeader(text, QStringLiteral("Date")).toStdString();
    }
    // A named zone writes the offset in force at that moment.
    const QDateTime berlin(QDate(2024, 7, 1), QTime(12, 0), QTimeZone("Europe/Berlin"));
    m_message->SetDate(berlin);
    EXPECT_TRUE(
        RawHeader(Compose(), QStringLiteral("Date")).endsWith(QStringLiteral("12:00:00 +0200")));
}

TEST_F(MailComposerTest, date_invalidValueFailsAndKeepsTheEarlierDate) {
    const QDateTime value(QDate(2020, 2, 29), QTime(23, 0), QTimeZone::utc());
    m_message->SetDate(value);
    EXPECT_THROW(m_message->SetDate(QDateTime()), MailError);
    EXPECT_EQ(ComposeAndParse().date, value);
}

TEST_F(MailComposerTest, output_isSevenBitWithCrlfAndShortLines) {
    m_message->SetSubject(Samples()[3].text);
    m_message->AddTo(QStringLiteral("Jane Roe/Sales/Acme;a@x.example"), QString());
    m_message->SetBody(QStringLiteral("x\r\ny\rz\n") + Samples()[5].text + QString(2000, u'é'));
    m_message->AddAttachment(WriteFile(QStringLiteral("b.bin"), RandomBytes(5000, 3)));
    const QString text = Compose();
    for (const QChar c : text) {
        ASSERT_LT(c.unicode(), 0x80);
        ASSERT_NE(c.unicode(), 0);
    }
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[^\\r]\\n|\\r[^\\n]"))));
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        EXPECT_LE(line.size(), 998);
    }
    EXPECT_EQ(ParseMessage(text).body,
              QStringLiteral("x\ny\nz\n") + Samples()[5].text + QString(2000, u'é'));
}

TEST_F(MailComposerTest, output_carriesMessageIdAndMimeVersion) {
    const ParsedMessage first = ComposeAndParse();
    const ParsedMessage second = ComposeAndParse();
    EXPECT_EQ(first.mimeVersion, QStringLiteral("1.0"));
    EXPECT_EQ(first.body, QString());
    EXPECT_TRUE(first.messageId.contains(u'@'));
    EXPECT_NE(first.messageId, second.messageId);
}

TEST_F(MailComposerTest, body_longLinesDotsAndControlCharactersSurvive) {
    const QString body = QString(3000, u'a') + QStringLiteral("\n.\n..\nFrom here\n.\n") +
                         QStringLiteral(
                             "trailing blanks   \n\ttab\x0c"
                             "form feed\n") +
                         QString(1200, QChar(0x0416)) + QStringLiteral("\n.");
    m_message->SetBody(body);
    const QString text = Compose();
    EXPECT_EQ(ParseMessage(text).body, body);
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        EXPECT_LE(line.size(), 998);
    }
}

TEST_F(MailComposerTest, body_withoutFinalLineEndGainsNone) {
    for (const QString& body : {QStringLiteral("no line end"), QStringLiteral("two\nlines"),
                                QStringLiteral("x"), QStringLiteral("\n")}) {
        m_message->SetBody(body);
        EXPECT_EQ(ComposeAndParse().body, body);
    }
}

TEST_F(MailComposerTest, body_plainAsciiStaysReadable) {
    m_message->SetBody(QStringLiteral("Hello,\nsee you at noon.\n"));
    const QString text = Compose();
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n\r\nHello,\r\nsee you at noon.\r\n")));
    EXPECT_EQ(ParseMessage(text).body, QStringLiteral("Hello,\nsee you at noon.\n"));
}

TEST_F(MailComposerTest, composer_refusesAMessageItDidNotMake) {
    velmora::testing::NullMailMessage foreign;
    EXPECT_THROW(m_composer->ComposeText(foreign), MailError);
}

TEST_F(MailComposerTest, headers_lineBreaksInValuesCannotAddHeaders) {
    const QString subject = QStringLiteral("hello\r\nBcc: evil@x.example\r\n\r\nbody?");
    const QString name = QStringLiteral("Jane\nBcc: evil@x.example");
    m_message->SetSubject(subject);
    const QString to =
        QStringLiteral("\"%1\" <jane@x.example>;Roe\r\nCc: evil@x.example/Acme").arg(name);
    m_message->AddTo(to, to);
    m_message->SetBody(QStringLiteral("real body"));

    const ParsedMessage parsed = ComposeAndParse();
    EXPECT_TRUE(parsed.bcc.empty());
    EXPECT_TRUE(parsed.cc.empty());
    EXPECT_EQ(parsed.subject, subject);
    ASSERT_EQ(parsed.to.size(), 2u);
    EXPECT_EQ(parsed.to[0], (Mailbox{name, QStringLiteral("jane@x.example")}));
    EXPECT_EQ(parsed.to[1],
              (Mailbox{QStringLiteral("Roe\r\nCc: evil@x.example/Acme"), kNotesNameAddress}));
    EXPECT_EQ(parsed.body, QStringLiteral("real body"));
}

TEST_F(MailComposerTest, headers_hugeValuesStayFoldedAndWhole) {
    const QString subject = QStringLiteral("Ünïcödé ").repeated(12000);  // about 100 000 characters
    const QString name = QString(5000, u'N') + QStringLiteral("/Sales/Acme");
    m_message->SetSubject(subject);
    m_message->AddCc(name, name);
    const QString text = Compose();
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        ASSERT_LE(line.size(), 78);
    }
    const ParsedMessage parsed = ParseMessage(text);
    EXPECT_EQ(parsed.subject, subject);
    EXPECT_EQ(parsed.cc, std::vector<Mailbox>({{name, kNotesNameAddress}}));
}

TEST_F(MailComposerTest, addresses_longListsKeepEveryEntryInOrder) {
    QStringList entries;
    for (int i = 0; i < 3000; ++i) {
        entries << (i % 3 == 0   ? QStringLiteral("user%1@x.example").arg(i)
                    : i % 3 == 1 ? QStringLiteral("Person %1/Dept/Acme").arg(i)
                                 : QStringLiteral("Zoë %1 <z%1@y.example>").arg(i));
    }
    const QString list = entries.join(u';');
    m_message->AddTo(list, list);
    const ParsedMessage parsed = ComposeAndParse();
    ASSERT_EQ(parsed.to.size(), size_t(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        const Mailbox& got = parsed.to[size_t(i)];
        if (i % 3 == 0) {
            EXPECT_EQ(got.address, entries[i]);
        } else if (i % 3 == 1) {
            EXPECT_EQ(got, (Mailbox{entries[i], kNotesNameAddress}));
        } else {
            EXPECT_EQ(got, (Mailbox{QStringLiteral("Zoë %1").arg(i),
                                    QStringLiteral("z%1@y.example").arg(i)}));
        }
    }
}
