// velmora-export as a migration runs it: a child process on a real store, its exit status,
// its totals against the store's own counts, its manifest, a kill, a full disk, the README's
// GNU parallel example.

#include "ExportTestSupport.h"
#include "PdfTools.h"
#include "components/notesstore/DemoGenerator.h"
#include "components/notesstore/StoreSession.h"
#include "components/notesstore/StoreWriter.h"
#include "export/FileNames.h"
#include "export/Manifest.h"
#include "export/MessageExtractor.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace velmora;
using velmora::testing::PdfsPerFolder;
using velmora::testing::RunTool;
using velmora::testing::ToolResult;

namespace {

const QString kTool = QStringLiteral(VELMORA_EXPORT_TOOL);
const QString kDemoTitle = QStringLiteral("Demo Mail (Demo User)");

QString MakeStore(const QString& path, int messages) {
    auto writer = notesstore::StoreWriter::Create(path);
    if (messages == 0) {
        notesstore::GenerateDemo(*writer);
    } else {
        notesstore::GenerateScaled(*writer, messages);
    }
    writer->Commit();
    return path;
}

// What each output folder must hold, read from the store itself: every view the export walks
// (all user folders and the system views) with its entry count.
QMap<QString, int> StoreCounts(const QString& path) {
    static const QMap<QString, exporting::ViewKind> kSystem{
        {"($Inbox)", exporting::ViewKind::Inbox},
        {"($Sent)", exporting::ViewKind::Sent},
        {"($Drafts)", exporting::ViewKind::Drafts},
        {"($Trash)", exporting::ViewKind::Trash},
        {"($Follow-Up)", exporting::ViewKind::FollowUp},
        {"($JunkMail)", exporting::ViewKind::JunkMail}};
    notesstore::StoreSession session;
    QMap<QString, int> counts;
    for (const auto& view : session.GetDatabase({}, path)->Views().value_or(notes::ViewList{})) {
        QString folder;
        if (kSystem.contains(view->Name())) {
            folder = exporting::SystemFolderName(kSystem.value(view->Name()));
        } else if (view->isfolder() && !view->Name().startsWith('(')) {
            folder = exporting::SafeFolderName(view->Name().trimmed());
        } else {
            continue;
        }
        counts[folder] += int(view->AllEntries()->Count());
    }
    return counts;
}

struct Totals {
    int messages = 0, written = 0, failed = 0, skipped = 0;
    bool operator==(const Totals&) const = default;
};

// The table velmora-export prints: the folder, then four numbers.
QMap<QString, Totals> ParseTotals(const QByteArray& out) {
    QMap<QString, Totals> totals;
    static const QRegularExpression row(
        QStringLiteral("^(.*\\S)\\s+(\\d+)\\s+(\\d+)\\s+(\\d+)\\s+(\\d+)$"));
    for (const QString& line : QString::fromUtf8(out).split('\n')) {
        const auto match = row.match(line);
        if (match.hasMatch() && match.captured(1) != QLatin1String("Total")) {
            totals[match.captured(1)] = {match.captured(2).toInt(), match.captured(3).toInt(),
                                         match.captured(4).toInt(), match.captured(5).toInt()};
        }
    }
    return totals;
}

std::string Shown(const ToolResult& result) {
    return ("exit " + QByteArray::number(result.exitCode) + "\n" + result.out + result.err)
        .toStdString();
}

void Overwrite(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class ExportToolTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString Path(const QString& name) const { return dir.filePath(name); }
};

}  // namespace

TEST_F(ExportToolTest, demo_countsEqualTheStoresManifestHashesTheFilesSecondRunSkipsVerifyFinds) {
    const QString store = MakeStore(Path("Demo.nsf"), 0);
    const QString out = Path("out");
    const QString root = out + "/" + kDemoTitle;
    const ToolResult first = RunTool(kTool, {store, out, "--quiet"});
    ASSERT_EQ(first.exitCode, 0) << Shown(first);
    EXPECT_TRUE(first.err.isEmpty()) << Shown(first);

    const QMap<QString, int> expected = StoreCounts(store);
    const QMap<QString, Totals> totals = ParseTotals(first.out);
    ASSERT_EQ(totals.keys(), expected.keys()) << Shown(first);
    QMap<QString, int> onDisk;
    for (auto [folder, pdfs] : PdfsPerFolder(root).asKeyValueRange()) {
        onDisk[folder] = pdfs;
    }
    for (const QString& folder : expected.keys()) {
        EXPECT_EQ(totals[folder], (Totals{expected[folder], expected[folder], 0, 0}))
            << folder.toStdString();
        EXPECT_EQ(onDisk.value(folder), expected[folder]) << folder.toStdString();
    }
    const auto entries = exporting::ReadManifest(root + "/manifest.jsonl");
    int total = 0;
    for (int count : expected) {
        total += count;
    }
    ASSERT_EQ(int(entries.size()), total);
    for (const auto& entry : entries) {
        const auto hash = exporting::HashFile(root + "/" + entry.pdf);
        ASSERT_TRUE(hash) << entry.pdf.toStdString();
        EXPECT_EQ(hash->sha256, entry.sha256) << entry.pdf.toStdString();
    }

    const ToolResult second = RunTool(kTool, {store, out, "--quiet"});
    ASSERT_EQ(second.exitCode, 0) << Shown(second);
    for (const auto& [folder, row] : ParseTotals(second.out).asKeyValueRange()) {
        EXPECT_EQ(row, (Totals{expected[folder], 0, 0, expected[folder]})) << folder.toStdString();
    }
    EXPECT_EQ(exporting::ReadManifest(root + "/manifest.jsonl").size(), entries.size());
    EXPECT_EQ(RunTool(kTool, {"--verify", root}).exitCode, 0);

    QFile::remove(root + "/" + entries[0].pdf);
    Overwrite(root + "/" + entries[1].pdf, "changed");
    Overwrite(root + "/Inbox/stray.pdf", "stray");
    const ToolResult verify = RunTool(kTool, {"--verify", root});
    EXPECT_EQ(verify.exitCode, 1) << Shown(verify);
    const QStringList lines = QString::fromUtf8(verify.out).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(
        lines,
        (QStringList{"missing: " + entries[0].pdf, "changed: " + entries[1].pdf,
                     "extra: Inbox/stray.pdf",
                     QStringLiteral("%1 PDFs checked: 1 missing, 1 changed, 1 extra").arg(total)}));
}

TEST_F(ExportToolTest, killedMidRun_leavesNoPartialPdfAndTheNextRunCompletesIt) {
    constexpr int kMessages = 200;
    const QString store = MakeStore(Path("big.nsf"), kMessages);
    const QString out = Path("out");
    QProcess run;
    run.start(kTool, {store, out, "--jobs", "2", "--quiet"});
    ASSERT_TRUE(run.waitForStarted());
    // Killed once a good part is written: the manifest grows as messages are recorded.
    QString root;
    const QDeadlineTimer deadline(120'000);
    qsizetype recorded = 0;
    while (recorded < 40 && run.state() == QProcess::Running && !deadline.hasExpired()) {
        run.waitForFinished(20);
        const QStringList titles = QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (!titles.isEmpty()) {
            root = out + "/" + titles.front();
            recorded = qsizetype(exporting::ReadManifest(root + "/manifest.jsonl").size());
        }
    }
    ASSERT_EQ(run.state(), QProcess::Running) << "finished before it could be killed";
    run.kill();
    ASSERT_TRUE(run.waitForFinished());
    int pdfs = 0;
    for (const QString& pdf :
         velmora::testing::FilesBelow(root).filter(QRegularExpression("\\.pdf$"))) {
        QFile file(root + "/" + pdf);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        file.seek(std::max<qint64>(0, file.size() - 16));
        EXPECT_TRUE(file.readAll().contains("%%EOF")) << "a whole PDF: " << pdf.toStdString();
        ++pdfs;
    }
    EXPECT_GE(pdfs, 40);
    EXPECT_LT(pdfs, kMessages);

    const ToolResult again = RunTool(kTool, {store, out, "--quiet"});
    ASSERT_EQ(again.exitCode, 0) << Shown(again);
    QMap<QString, int> onDisk;
    for (auto [folder, count] : PdfsPerFolder(root).asKeyValueRange()) {
        onDisk[folder] = count;
    }
    EXPECT_EQ(onDisk, StoreCounts(store));
    EXPECT_EQ(
        velmora::testing::FilesBelow(root).filter(QRegularExpression("\\.eml$|\\.pdf\\.|pending")),
        QStringList());
    const ToolResult verify = RunTool(kTool, {"--verify", root});
    EXPECT_EQ(verify.exitCode, 0) << Shown(verify);
}

TEST_F(ExportToolTest, writesThatFail_nameTheSystemsReason) {
    const QString store = MakeStore(Path("Demo.nsf"), 0);
    // Past 64 KiB every file is refused, as a nearly full disk refuses it.
    const ToolResult full = RunTool(kTool, {store, Path("out"), "--quiet"}, [] {
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(full.exitCode, 1) << Shown(full);
    EXPECT_TRUE(full.err.contains("File too large")) << Shown(full);
    EXPECT_FALSE(full.err.contains("Unknown error")) << Shown(full);
}

TEST_F(ExportToolTest, unusableInput_exitsWithTwoAndSaysWhy) {
    const QString store = MakeStore(Path("Demo.nsf"), 0);
    Overwrite(Path("a file"), "x");
    struct Row {
        QStringList args;
        QString said;
    };
    const Row rows[] = {
        {{Path("missing.nsf"), Path("out")}, "no such file"},
        {{Path("a file"), Path("out")}, "No Data Found"},
        {{store, Path("a file")}, "Not a directory"},
        {{store, Path("out"), "--folder", "Nowhere"}, "no folder named \"Nowhere\""},
        {{store, Path("out"), "--jobs", "0"}, "--jobs wants a whole number above 0"},
        {{store}, "a database and a destination are needed"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.said.toStdString());
        const ToolResult result = RunTool(kTool, row.args);
        EXPECT_EQ(result.exitCode, 2) << Shown(result);
        EXPECT_TRUE(QString::fromUtf8(result.err).contains(row.said)) << Shown(result);
    }
    EXPECT_FALSE(QFileInfo::exists(Path("out/") + kDemoTitle + "/manifest.jsonl"));
}

TEST_F(ExportToolTest, folderOption_exportsTheFoldersTheTreeNames) {
    const QString store = MakeStore(Path("Demo.nsf"), 0);
    const ToolResult result =
        RunTool(kTool, {store, Path("out"), "--folder", "Projects", "--folder", "Sent", "--quiet"});
    ASSERT_EQ(result.exitCode, 0) << Shown(result);
    const QMap<QString, int> expected = StoreCounts(store);
    EXPECT_EQ(ParseTotals(result.out).keys(), (QStringList{"Projects", "Sent Items"}));
    QMap<QString, int> onDisk;
    for (auto [folder, count] : PdfsPerFolder(Path("out/") + kDemoTitle).asKeyValueRange()) {
        onDisk[folder] = count;
    }
    EXPECT_EQ(onDisk, (QMap<QString, int>{{"Projects", expected["Projects"]},
                                          {"Sent Items", expected["Sent Items"]}}));
}

// The README's own example, run as it is written there.
TEST_F(ExportToolTest, readmeParallelExample_exportsEveryMailFileAndVerifiesIt) {
    QFile readme(QStringLiteral(VELMORA_README));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    const qsizetype section = text.indexOf("\n## Many mail files\n");
    ASSERT_GE(section, 0);
    const qsizetype start = text.indexOf("```sh\n", section) + 6;
    const QString example = text.mid(start, text.indexOf("```", start) - start);
    ASSERT_TRUE(example.contains("parallel")) << example.toStdString();

    QDir().mkpath(Path("mail"));
    const int sizes[] = {30, 50, 20};
    for (int i = 0; i < 3; ++i) {
        MakeStore(Path(QStringLiteral("mail/user%1.nsf").arg(i)), sizes[i]);
    }
    auto runExample = [&] {
        QProcess shell;
        shell.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", QFileInfo(kTool).absolutePath() + ":" + env.value("PATH"));
        shell.setProcessEnvironment(env);
        shell.start("bash", {"-euo", "pipefail", "-c", example});
        shell.waitForFinished(300'000);
        return std::make_pair(shell.exitCode(), shell.readAllStandardError());
    };
    const auto [status, err] = runExample();
    ASSERT_EQ(status, 0) << err.toStdString();
    std::size_t messages[3] = {};
    for (int i = 0; i < 3; ++i) {
        const QString name = QStringLiteral("user%1").arg(i);
        for (int count : StoreCounts(Path("mail/" + name + ".nsf"))) {
            messages[i] += std::size_t(count);
        }
        const auto entries = exporting::ReadManifest(Path("manifests/" + name + ".jsonl"));
        EXPECT_EQ(entries.size(), messages[i]) << name.toStdString();
    }
    // Run again, as a scheduler retrying the whole list would: every file is done already.
    const auto [again, againErr] = runExample();
    EXPECT_EQ(again, 0) << againErr.toStdString();
    EXPECT_EQ(exporting::ReadManifest(Path("manifests/user1.jsonl")).size(), messages[1]);
}
