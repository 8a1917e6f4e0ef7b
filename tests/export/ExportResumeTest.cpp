// The run's books: manifest, resume, stop, refusals, failures and the pool's order and bound.

#include "ExportRunFixture.h"
#include "export/Manifest.h"
#include "util/AtomicFile.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QRegularExpression>

#include <sys/resource.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <thread>

using namespace velmora;
using namespace velmora::exporting;
using velmora::testing::AddMails;
using velmora::testing::Counts;
using velmora::testing::ExportRunTest;
using velmora::testing::FilesBelow;
using velmora::testing::PdfsPerFolder;

namespace {

std::vector<ManifestEntry> Manifest(const QString& root) {
    return ReadManifest(root + QStringLiteral("Mail/manifest.jsonl"));
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Overwrite(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Lowers the largest file this process may write, as a nearly full disk would refuse.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_before);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_before;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_handler);
    }

  private:
    rlimit m_before{};
    void (*m_handler)(int) = nullptr;
};

class ExportBooksTest : public ExportRunTest {
  protected:
    void RunAgain() {
        state.ExportRoot = destination.path();
        run.CmdConversion_Click();
    }
    const QString& LastMessage() const { return ui.messages.back().text; }
};

}  // namespace

TEST_F(ExportBooksTest, manifest_listsEveryMessageWithItsIdentityAndTheHashOfItsPdf) {
    notes::MemoryDocument mail = velmora::testing::Mail("With files");
    mail.universalId = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");
    mail.Set("Body", {QStringLiteral("see attached")}, notes::kItemRichText);
    mail.items.back().embedded = {{notes::kEmbedAttachment, "a.txt", "one"},
                                  {notes::kEmbedAttachment, "b.txt", "two"}};
    mail.SetText("PostedDate", {"2011-03-04T05:06:07Z"});
    data->AddDocument(mail, {"($Inbox)"});
    AddMails(*data, "($Inbox)", 2, "In");
    Select({"Inbox"});
    run.CmdConversion_Click();

    QFile file(Root() + "Mail/manifest.jsonl");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 4);  // three lines and the end of the last
    QStringList ids;
    for (const QByteArray& line : lines.mid(0, 3)) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        EXPECT_EQ(object.keys(),
                  (QStringList{"attachments", "bytes", "date", "folder", "from", "id", "outcome",
                               "pdf", "reason", "sha256", "subject"}));
        const ManifestEntry entry = *ManifestEntry::FromJsonLine(line);
        const auto hash = HashFile(Root() + "Mail/" + entry.pdf);
        ASSERT_TRUE(hash) << entry.pdf.toStdString();
        EXPECT_EQ(entry.sha256, hash->sha256);
        EXPECT_EQ(entry.bytes, hash->bytes);
        EXPECT_EQ(entry.folder, "Inbox");
        EXPECT_TRUE(entry.written);
        EXPECT_EQ(entry.from, "Ann Lee/Acme");
        ids << entry.id;
    }
    const ManifestEntry first = *ManifestEntry::FromJsonLine(lines[0]);
    EXPECT_EQ(first.subject, "With files");
    EXPECT_EQ(first.attachments, 2);
    EXPECT_TRUE(first.date.startsWith("2011-03-04T05:06:07")) << first.date.toStdString();
    EXPECT_TRUE(first.pdf.startsWith("Inbox/With files")) << first.pdf.toStdString();
    // The universal ID where there is one, else the note ID.
    EXPECT_EQ(ids, (QStringList{"0123456789ABCDEF0123456789ABCDEF", "8", "C"}));
}

TEST_F(ExportBooksTest, secondRun_skipsEverythingAndChangesNothing) {
    AddMails(*data, "($Inbox)", 2, "In");
    data->AddDocument(velmora::testing::Mail("  blanks around  "), {"($Inbox)"});
    AddMails(*data, "Projects", 2, "P");
    Select({"Inbox", "Projects"});
    run.CmdConversion_Click();
    const QStringList files = FilesBelow(Root());
    const QByteArray manifest = ReadAll(Root() + "Mail/manifest.jsonl");
    const qsizetype conversions = converter->calls.size();

    RunAgain();
    EXPECT_EQ(FilesBelow(Root()), files);
    EXPECT_EQ(ReadAll(Root() + "Mail/manifest.jsonl"), manifest);
    EXPECT_EQ(converter->calls.size(), conversions);
    EXPECT_EQ(run.Summary().skipped, 5);
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::Information);
    EXPECT_EQ(LastMessage(), "Migration Completed Successfully !\r\n" + Root() +
                                 "Mail/\r\nMail\r\n5 already exported, skipped");
    EXPECT_EQ(view.overall.back(), std::make_pair(std::int64_t{5}, std::int64_t{5}));
}

TEST_F(ExportBooksTest, damagedAndMissingPdfs_areWrittenAgainUnderTheirOwnNames) {
    AddMails(*data, "($Inbox)", 4, "In");
    Select({"Inbox"});
    run.CmdConversion_Click();
    const QStringList files = FilesBelow(Root());
    const QStringList pdfs = files.filter(".pdf");
    ASSERT_EQ(pdfs.size(), 4);
    QFile::remove(Root() + pdfs[0]);
    Overwrite(Root() + pdfs[1], "damaged");

    RunAgain();
    EXPECT_EQ(run.Summary().skipped, 2);
    EXPECT_EQ(run.Summary().written, 2);
    EXPECT_EQ(FilesBelow(Root()), files);
    EXPECT_TRUE(ReadAll(Root() + pdfs[1]).startsWith("From:")) << "the message, not the damage";
    const VerifyReport report = VerifyManifest(Root() + "Mail/manifest.jsonl", 1);
    EXPECT_TRUE(report.Clean())
        << (report.missing + report.changed + report.extra).join(' ').toStdString();
    EXPECT_EQ(report.checked, 4);
}

TEST_F(ExportBooksTest, leftoversOfAKilledRun_areRemovedAndNothingIsDoubled) {
    AddMails(*data, "($Inbox)", 3, "In");
    Select({"Inbox"});
    run.CmdConversion_Click();
    // As if killed after the last PDF was put in place but before the manifest took it in,
    // with its line cut short, a message file and a half-written PDF beside it.
    const QString manifest = Root() + "Mail/manifest.jsonl";
    QList<QByteArray> lines = ReadAll(manifest).split('\n');
    const ManifestEntry last = *ManifestEntry::FromJsonLine(lines[2]);
    Overwrite(manifest, lines[0] + '\n' + lines[1] + '\n' + lines[2].left(20));
    Overwrite(Root() + "Mail/.manifest.jsonl.pending", last.pdf.toUtf8() + '\n');
    const QString base = Root() + "Mail/" + last.pdf.chopped(4);
    Overwrite(base + ".eml", "half");
    Overwrite(base + ".pdf.Ab12Cd", "half");
    Overwrite(TemporaryPathFor(base + ".pdf"), "half");  // the writer's own shape

    RunAgain();
    EXPECT_EQ(run.Summary().skipped, 2);
    EXPECT_EQ(run.Summary().written, 1);
    EXPECT_EQ(PdfsPerFolder(Root()), (Counts{{"Mail/Inbox", 3}}));
    EXPECT_EQ(FilesBelow(Root()).filter(QRegularExpression("\\.eml$|\\.pdf\\.|pending")),
              QStringList());
    EXPECT_TRUE(VerifyManifest(manifest, 1).Clean());
    EXPECT_EQ(ReadManifest(manifest).size(), 3u) << "the cut line is passed over";
}

TEST_F(ExportBooksTest, stop_endsAfterTheMessagesInHandKeepsEveryPdfAndRemovesTemporaries) {
    AddMails(*data, "($Inbox)", 40, "In");
    Select({"Inbox"});
    ui.onEvents = [&] {
        if (!view.overall.empty() && view.overall.back().first >= 2) {
            run.RequestStop();
        }
    };
    run.CmdConversion_Click();
    const qsizetype pdfs = FilesBelow(Root()).filter(".pdf").size();
    EXPECT_GE(pdfs, 2);
    EXPECT_LT(pdfs, 40);
    EXPECT_TRUE(run.Summary().stopped);
    EXPECT_EQ(run.Summary().written, pdfs);
    EXPECT_EQ(ui.messages.back().title, "Export Stopped");
    EXPECT_TRUE(LastMessage().startsWith(
        QStringLiteral("The export was stopped.\r\n%1 messages were exported before it stopped.")
            .arg(pdfs)))
        << LastMessage().toStdString();
    EXPECT_EQ(qsizetype(Manifest(Root()).size()), pdfs);
    EXPECT_EQ(FilesBelow(Root()).filter(QRegularExpression("\\.eml$|pending")), QStringList());
    EXPECT_EQ(view.closed, 1);

    // The next run completes it.
    ui.onEvents = {};
    RunAgain();
    EXPECT_EQ(run.Summary().skipped, pdfs);
    EXPECT_EQ(PdfsPerFolder(Root()), (Counts{{"Mail/Inbox", 40}}));
}

TEST_F(ExportBooksTest, unusableDestination_isRefusedWithTheSystemsReasonBeforeAnythingIsRead) {
    AddMails(*data, "($Inbox)", 1, "In");
    QFile file(destination.filePath("a file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct Row {
        QString root;
        rlim_t limit;
        QString reason;
    };
    const Row rows[] = {
        {destination.filePath("a file"), RLIM_INFINITY, "Not a directory"},
        {destination.filePath("full"), 1000, "File too large"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason.toStdString());
        ui.messages.clear();
        view.closed = 0;
        state.ExportRoot = row.root;
        Select({"Inbox"});
        {
            const FileSizeLimit limit(row.limit);
            run.CmdConversion_Click();
        }
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].title, "Destination Not Writable");
        EXPECT_EQ(ui.messages[0].text, "The export cannot write to the folder\r\n" + row.root +
                                           "/Mail/\r\n" + row.reason + ".");
        EXPECT_EQ(view.closed, 1);
        EXPECT_EQ(plan->Calls("Session.GetDatabase"), 0);
        EXPECT_TRUE(converter->calls.isEmpty());
    }
}

TEST_F(ExportBooksTest, secondExportIntoTheSameManifest_isRefusedWhileTheFirstRuns) {
    AddMails(*data, "($Inbox)", 2, "In");
    QDir().mkpath(Root() + "Mail");
    QLockFile other(LockPathFor(Root() + "Mail/manifest.jsonl"));
    ASSERT_TRUE(other.tryLock(0));
    Select({"Inbox"});
    run.CmdConversion_Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              QStringLiteral("Another export (process %1) is writing into\r\n%2Mail\r\nWait for it "
                             "to end, or choose another folder.")
                  .arg(QCoreApplication::applicationPid())
                  .arg(Root()));
    EXPECT_EQ(view.closed, 1);
    EXPECT_TRUE(converter->calls.isEmpty());

    other.unlock();
    RunAgain();
    EXPECT_EQ(run.Summary().written, 2);
}

TEST_F(ExportBooksTest, failures_warnNameTheFirstReasonAndListControlCharactersVisibly) {
    data->View("($Inbox)");
    for (const char* subject : {"tab\there", "two\nlines\r", "bell\a and \x1b[31mred", "plain"}) {
        data->AddDocument(velmora::testing::Mail(QString::fromLatin1(subject)), {"($Inbox)"});
    }
    converter->fail = true;
    Select({"Inbox"});
    run.CmdConversion_Click();

    EXPECT_EQ(ui.messages.back().icon, MsgIcon::Warning);
    const QStringList lines = LastMessage().split("\r\n");
    EXPECT_EQ(lines.mid(0, 3),
              (QStringList{"The export ended with failures.",
                           "4 of 4 messages could not be converted.", "First failure: refused"}));
    const QString list = QString::fromUtf8(ReadAll(Root() + "Mail/Not converted.txt"));
    EXPECT_EQ(list,
              "Folder\tSubject\tWhat went wrong\n"
              "Inbox\ttab\\there\trefused\n"
              "Inbox\ttwo\\nlines\\r\trefused\n"
              "Inbox\tbell\\x07 and \\x1B[31mred\trefused\n"
              "Inbox\tplain\trefused\n");
    for (const ManifestEntry& entry : Manifest(Root())) {
        EXPECT_FALSE(entry.written);
        EXPECT_EQ(entry.reason, "refused");
        EXPECT_TRUE(entry.pdf.isEmpty());
    }
}

namespace {

// Holds each conversion until jobs of them are under way at once (or a while has passed), and
// lets earlier messages finish later than the ones after them.
class CrowdingConverter : public mailconverter::MailConverterX {
  public:
    CrowdingConverter(int jobs, std::function<int()> read)
        : m_jobs(jobs), m_read(std::move(read)) {}
    void Convert(const QString& eml, const QString& pdf, const QString&) override {
        int index = 0;
        {
            std::unique_lock lock(m_mutex);
            index = m_started++;
            maxAhead = std::max(maxAhead, m_read() - index);
            ++m_inside;
            maxInside = std::max(maxInside, m_inside);
            m_crowded.notify_all();
            m_crowded.wait_for(lock, std::chrono::milliseconds(500),
                               [this] { return m_inside >= m_jobs; });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(index % m_jobs == 0 ? 15 : 0));
        QFile::copy(eml, pdf);
        std::lock_guard lock(m_mutex);
        --m_inside;
    }
    int maxInside = 0;
    int maxAhead = 0;  // documents read beyond those whose conversion began

  private:
    const int m_jobs;
    std::function<int()> m_read;
    std::mutex m_mutex;
    std::condition_variable m_crowded;
    int m_started = 0;
    int m_inside = 0;
};

}  // namespace

TEST_F(ExportBooksTest, conversions_runSideBySideAreRecordedInOrderAndReadOnlyAFewAhead) {
    constexpr int kJobs = 3;
    constexpr int kMessages = 24;
    AddMails(*data, "($Inbox)", kMessages, "In");
    auto crowding = std::make_shared<CrowdingConverter>(
        kJobs, [this] { return plan->Calls("Document.GetItemValue", "Subject"); });
    automation::Registry::ScopedOverride converterClass{"MailConverter.MailConverterX",
                                                        [crowding] { return crowding; }};
    state.Jobs = kJobs;
    Select({"Inbox"});
    run.CmdConversion_Click();

    EXPECT_EQ(run.Summary().written, kMessages);
    EXPECT_EQ(crowding->maxInside, kJobs);
    // Read, waiting to be converted, being converted: at most two per thread.
    EXPECT_LE(crowding->maxAhead, 2 * kJobs);
    QStringList subjects;
    for (const ManifestEntry& entry : Manifest(Root())) {
        subjects << entry.subject;
    }
    QStringList expected;
    for (int i = 0; i < kMessages; ++i) {
        expected << QStringLiteral("In %1").arg(i);
    }
    EXPECT_EQ(subjects, expected);
    std::vector<std::int64_t> done;
    for (const auto& [count, total] : view.overall) {
        EXPECT_EQ(total, kMessages);
        done.push_back(count);
    }
    EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
    EXPECT_EQ(done.back(), kMessages);
}
