#include "ExportTestSupport.h"
#include "RecordingUserInterface.h"
#include "automation/Automation.h"
#include "components/mime/MailComposer.h"
#include "components/mime/MailError.h"
#include "components/mime/MimeComponent.h"
#include "export/FileNames.h"
#include "export/MessageFile.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::exporting;
using automation::Registry;
using velmora::testing::CopyingConverter;
using velmora::testing::FilesBelow;

namespace {

// Records the calls made on it; composes them as the message text.
class RecordingMessage : public mime::MailMessage {
  public:
    explicit RecordingMessage(QStringList& log) : m_log(log) {}
    void AddTo(const QString& a, const QString& n) override { m_log << "AddTo:" + a + "," + n; }
    void AddCc(const QString& a, const QString& n) override { m_log << "AddCc:" + a + "," + n; }
    void AddBcc(const QString& a, const QString& n) override { m_log << "AddBcc:" + a + "," + n; }
    void SetFrom(const QString& a) override {
        m_log << "SetFrom:" + a;
        if (a == QLatin1String("reject")) {
            throw mime::MailError(QStringLiteral("rejected"));
        }
    }
    void SetSubject(const QString& s) override { m_log << "SetSubject:" + s; }
    void SetBody(const QString& b) override { m_log << "SetBody:" + b; }
    void SetMimeBody(const QByteArray& e) override {
        m_log << "SetMimeBody:" + QString::fromUtf8(e);
    }
    void SetDate(const QDateTime& d) override { m_log << "SetDate:" + d.toString(Qt::ISODate); }
    QString AddAttachment(const QString& path) override {
        QFile file(path);
        m_log << "AddAttachment:" + QFileInfo(path).fileName() +
                     (file.open(QIODevice::ReadOnly) ? "=" + file.readAll() : QString("(none)"));
        return QFileInfo(path).fileName();
    }

  private:
    QStringList& m_log;
};

class RecordingComposer : public mime::MailComposer {
  public:
    explicit RecordingComposer(QStringList& log) : m_log(log) {}
    QString ComposeText(mime::MailMessage&) override { return m_log.join('\n'); }

  private:
    QStringList& m_log;
};

class MessageFileTest : public ::testing::Test {
  protected:
    MailRecord Record(const QString& subject) {
        MailRecord record;
        record.FolderName = QStringLiteral("Inbox");
        record.eSubject = subject;
        record.eFrom = QStringLiteral("Ann/Acme");
        record.eTo = QStringLiteral("a@x.example;b@x.example");
        record.eCC = QStringLiteral(" c@x.example");
        record.eDate = QStringLiteral("2011-03-04T10:20:30+01:00");
        record.eBody = QStringLiteral("Hello");
        return record;
    }
    MessageOutcome Create(const MailRecord& record) { return writer.CreateEmailItem(root, record); }

    QStringList log;
    Registry::ScopedOverride message{mime::kMailMessageClassId,
                                     [this] { return std::make_shared<RecordingMessage>(log); }};
    Registry::ScopedOverride composer{mime::kMailComposerClassId,
                                      [this] { return std::make_shared<RecordingComposer>(log); }};
    QTemporaryDir destination;
    QString root = destination.path() + "/";
    std::shared_ptr<CopyingConverter> converter = std::make_shared<CopyingConverter>();
    std::vector<int> draws;
    velmora::testing::RecordingUserInterface ui;
    MessageFileWriter writer{ui, converter, [this] {
                                 const int n = draws.empty() ? 7 : draws.front();
                                 if (!draws.empty())
                                     draws.erase(draws.begin());
                                 return n;
                             }};

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(root + "Inbox")); }
};

}  // namespace

TEST_F(MessageFileTest, message_builtInOrderConvertedBesideAndEmlRemoved) {
    QTemporaryDir spool;
    const QString a = spool.filePath("a.txt"), b = spool.filePath("b.txt");
    for (const auto& [path, text] : {std::pair{a, "AAA"}, std::pair{b, "BBB"}}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    MailRecord record = Record(QStringLiteral("Re: offer?"));
    record.eAttachFileName = "|" + a + "|" + b;
    const MessageOutcome outcome = Create(record);

    EXPECT_TRUE(outcome.written) << outcome.reason.toStdString();
    EXPECT_EQ(log, (QStringList{"AddTo:a@x.example;b@x.example,a@x.example;b@x.example",
                                "SetSubject:Re: offer?", "SetBody:Hello", "SetFrom:Ann/Acme",
                                "AddCc: c@x.example, c@x.example", "AddBcc:,",
                                "SetDate:2011-03-04T10:20:30+01:00", "AddAttachment:a.txt=AAA",
                                "AddAttachment:b.txt=BBB"}));
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_FALSE(QFileInfo::exists(b));
    EXPECT_EQ(FilesBelow(root), QStringList{"Inbox/Re offer7.pdf"});
    EXPECT_EQ(converter->calls,
              QStringList{root + "Inbox/Re offer7.eml|" + root + "Inbox/Re offer7.pdf|-c PDF"});
    EXPECT_EQ(ui.calls.count("DoEvents"), 2);
}

TEST_F(MessageFileTest, dates_emptyOrUnparsableGiveAMessageWithoutDate) {
    // The export day is no date the message ever had.
    for (const QString& date : {QString(), QStringLiteral("not a date")}) {
        log.clear();
        MailRecord record = Record("x");
        record.eDate = date;
        Create(record);
        EXPECT_TRUE(log.filter("SetDate").isEmpty()) << date.toStdString();
        EXPECT_TRUE(log.contains("SetBody:Hello")) << "the rest of the message still goes";
    }
}

TEST_F(MessageFileTest, mimeBody_followsThePlainBodyWhenTheDocumentHasOne) {
    MailRecord record = Record("x");
    Create(record);
    EXPECT_TRUE(log.filter("SetMimeBody").isEmpty());
    log.clear();
    record.mimeBody = "Content-Type: text/html\r\n\r\n<p>Hi</p>";
    Create(record);
    const qsizetype body = log.indexOf("SetBody:Hello");
    ASSERT_GE(body, 0);
    EXPECT_EQ(log.value(body + 1),
              QStringLiteral("SetMimeBody:") + QString::fromUtf8(record.mimeBody));
}

TEST_F(MessageFileTest, sameSubject_neverOverwritesDrawsAgainThenCounts) {
    draws = {7, 7, 9, 7, 7, 7, 7, 7, 7, 7, 7, 7};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(Create(Record("status")).written);
    }
    EXPECT_EQ(FilesBelow(root), (QStringList{"Inbox/status7 (2).pdf", "Inbox/status7 (3).pdf",
                                             "Inbox/status7.pdf", "Inbox/status9.pdf"}));
}

TEST_F(MessageFileTest, awkwardSubjects_stillGiveAPdfWithNumberAndExtension) {
    const QString longSubject = QString(300, QChar(0xFC));
    for (const QString& subject :
         {longSubject, QStringLiteral("a|b<c>d"), QString(), QStringLiteral("bell\x07tab\t")}) {
        ASSERT_TRUE(Create(Record(subject)).written);
    }
    const QStringList files = FilesBelow(root);
    ASSERT_EQ(files.size(), 4);
    EXPECT_TRUE(files.contains("Inbox/abcd7.pdf"));
    EXPECT_TRUE(files.contains("Inbox/7.pdf"));
    EXPECT_TRUE(files.contains("Inbox/belltab7.pdf"));
    for (const QString& file : files) {
        EXPECT_LE(velmora::filenames::EncodedLength(QFileInfo(file).fileName()),
                  velmora::filenames::kMaxNameBytes);
        EXPECT_TRUE(file.endsWith("7.pdf"));
    }
}

TEST_F(MessageFileTest, failures_giveAReasonAndLeaveNoMessageFile) {
    converter->fail = true;
    MessageOutcome outcome = Create(Record("refused"));
    EXPECT_FALSE(outcome.written);
    EXPECT_FALSE(outcome.reason.isEmpty());
    EXPECT_TRUE(FilesBelow(root).isEmpty());

    MessageFileWriter without(ui, nullptr);
    outcome = without.CreateEmailItem(root, Record("no converter"));
    EXPECT_FALSE(outcome.written);
    EXPECT_TRUE(FilesBelow(root).isEmpty());

    MailRecord record = Record("missing folder");
    record.FolderName = QStringLiteral("Not created");
    EXPECT_FALSE(Create(record).written);

    converter->fail = false;
    record = Record("rejected sender");
    record.eFrom = QStringLiteral("reject");
    EXPECT_TRUE(Create(record).written) << "a refused part is left out, the message goes";
}
