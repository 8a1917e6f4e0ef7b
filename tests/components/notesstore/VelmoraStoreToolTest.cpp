#include "StoreTestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmora::notesstore::test;

namespace {

struct ToolRun {
    int code = -1;
    QString out, err;
};

ToolRun Tool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(VELMORA_STORE_TOOL), args);
    EXPECT_TRUE(process.waitForFinished(120000));
    return ToolRun{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                   QString::fromUtf8(process.readAllStandardOutput()),
                   QString::fromUtf8(process.readAllStandardError())};
}

TEST(VelmoraStoreTool, generateAndDump_describeTheDemoDatabase) {
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("a.nsf"));
    const QString second = dir.filePath(QStringLiteral("b.nsf"));
    ASSERT_EQ(Tool({QStringLiteral("generate"), first}).code, 0);
    ASSERT_EQ(Tool({QStringLiteral("generate"), second}).code, 0);
    EXPECT_EQ(ReadAll(first), ReadAll(second));

    const ToolRun views = Tool({QStringLiteral("dump"), first});
    EXPECT_EQ(views.code, 0) << views.err.toStdString();
    EXPECT_TRUE(views.out.startsWith(QStringLiteral("Title: Demo Mail")));
    EXPECT_TRUE(views.out.contains(QRegularExpression(QStringLiteral("folder +41  Newsletters\n"))))
        << views.out.toStdString();
    EXPECT_TRUE(
        views.out.contains(QRegularExpression(QStringLiteral("view +\\d+  \\(\\$All\\)\n"))));

    const ToolRun documents =
        Tool({QStringLiteral("dump"), first, QStringLiteral("--view"), QStringLiteral("($Inbox)")});
    EXPECT_EQ(documents.code, 0);
    EXPECT_TRUE(documents.out.contains(QStringLiteral("(no Subject)")));
    EXPECT_TRUE(documents.out.contains(QStringLiteral("\"Отчёт о поставках за март\"")));

    const ToolRun items =
        Tool({QStringLiteral("dump"), first, QStringLiteral("--view"), QStringLiteral("($Drafts)"),
              QStringLiteral("--document"), QStringLiteral("1")});
    EXPECT_EQ(items.code, 0);
    EXPECT_TRUE(items.out.contains(QStringLiteral("$Revisions [date-time]: 2011-")));
    EXPECT_TRUE(items.out.contains(QStringLiteral("Body [rich text]: \"Hello,\\n")));
}

TEST(VelmoraStoreTool, dumpAllJson_printsEveryDocumentOfAStore) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Demo.nsf"));
    ASSERT_EQ(Tool({QStringLiteral("generate"), path}).code, 0);
    const ToolRun all =
        Tool({QStringLiteral("dump"), path, QStringLiteral("--all"), QStringLiteral("--json")});
    ASSERT_EQ(all.code, 0) << all.err.toStdString();
    const QStringList lines = all.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const ToolRun views = Tool({QStringLiteral("dump"), path});
    const QRegularExpressionMatch every =
        QRegularExpression(QStringLiteral("view +(\\d+)  \\(\\$All\\)")).match(views.out);
    ASSERT_TRUE(every.hasMatch());
    EXPECT_EQ(lines.size(), every.captured(1).toInt());
    QSet<QString> ids;
    bool attachmentSeen = false;
    for (const QString& line : lines) {
        const QJsonObject document = QJsonDocument::fromJson(line.toUtf8()).object();
        ASSERT_FALSE(document.isEmpty()) << line.toStdString();
        ids.insert(document.value(QStringLiteral("noteId")).toString());
        EXPECT_FALSE(document.value(QStringLiteral("items")).toArray().isEmpty());
        for (const QJsonValue attachment :
             document.value(QStringLiteral("attachments")).toArray()) {
            attachmentSeen |= attachment.toObject().value(QStringLiteral("name")).toString() ==
                                  QLatin1String("figures-q1.pdf") &&
                              attachment.toObject().value(QStringLiteral("size")).toInt() > 0;
        }
    }
    EXPECT_EQ(ids.size(), lines.size()) << "one line per document";
    EXPECT_TRUE(attachmentSeen);
    EXPECT_TRUE(all.out.contains(QStringLiteral("Quarterly figures for the northern region")));
}

TEST(VelmoraStoreTool, generateWithMessages_scalesFoldersWithTheCount) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.nsf"));
    ASSERT_EQ(Tool({QStringLiteral("generate"), path, QStringLiteral("--messages"),
                    QStringLiteral("1500")})
                  .code,
              0);
    const ToolRun views = Tool({QStringLiteral("dump"), path});
    EXPECT_EQ(views.out.count(QStringLiteral("Area 0")), 15);
    EXPECT_TRUE(views.out.contains(QRegularExpression(QStringLiteral("view +1500  \\(\\$All\\)"))));
}

TEST(VelmoraStoreTool, import_reportsSkippedFilesWithAFailingExitCode) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mail.nsf"));
    const ToolRun run =
        Tool({QStringLiteral("import"), path, QStringLiteral("--folder"), QStringLiteral("Archive"),
              QStringLiteral(VELMORA_TEST_DATA "/archive.mbox"),
              QStringLiteral(VELMORA_TEST_DATA "/not-mail.txt")});
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.out.contains(QStringLiteral("Imported 3 message(s) into Archive")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("not-mail.txt")));
    EXPECT_TRUE(Tool({QStringLiteral("dump"), path}).out.contains(QStringLiteral("3  Archive")));
}

TEST(VelmoraStoreTool, badArgumentsAndFiles_giveUsageOrAReason) {
    QTemporaryDir dir;
    EXPECT_EQ(Tool({}).code, 2);
    EXPECT_EQ(Tool({QStringLiteral("frobnicate"), QStringLiteral("x")}).code, 2);
    EXPECT_EQ(Tool({QStringLiteral("generate"), dir.filePath(QStringLiteral("x.nsf")),
                    QStringLiteral("--messages"), QStringLiteral("many")})
                  .code,
              2);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.nsf"))));
    const ToolRun missing =
        Tool({QStringLiteral("dump"), dir.filePath(QStringLiteral("none.nsf"))});
    EXPECT_EQ(missing.code, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("does not exist")));
    const ToolRun noFolder =
        Tool({QStringLiteral("generate"), dir.filePath(QStringLiteral("no/such/dir/x.nsf"))});
    EXPECT_EQ(noFolder.code, 1);
    EXPECT_TRUE(noFolder.err.contains(QStringLiteral("folder does not exist")));
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a database\n");
    }
    const ToolRun neither =
        Tool({QStringLiteral("dump"), text, QStringLiteral("--all"), QStringLiteral("--json")});
    EXPECT_EQ(neither.code, 1);
    EXPECT_TRUE(neither.out.isEmpty());
    EXPECT_TRUE(neither.err.contains(QStringLiteral("not a Velmora offline mail store")))
        << neither.err.toStdString();
}

TEST(VelmoraStoreTool, importFolderName_isANameNeverAPath) {
    QTemporaryDir dir;
    const QString eml = dir.filePath(QStringLiteral("m.eml"));
    WriteAll(eml, "From: a@example.com\r\nSubject: Hi\r\n\r\nText\r\n");
    const QString store = dir.filePath(QStringLiteral("s.nsf"));
    struct Row {
        const char* folder;
        bool accepted;
    };
    const Row rows[] = {
        {"..", false},
        {"../x", false},
        {"/", false},
        {" .. ", false},
        {"Parent\\..\\x", false},
        {"a\\", false},
        {".", false},
        {"x\ty", false},
        {"Parent\\Child", true},
        {"Clients/Europe: 2011", true},
        {"...", true},
        {".hidden", true},
    };
    for (const Row& row : rows) {
        const QString folder = QString::fromUtf8(row.folder);
        const ToolRun run =
            Tool({QStringLiteral("import"), store, QStringLiteral("--folder"), folder, eml});
        EXPECT_EQ(run.code, row.accepted ? 0 : 1) << row.folder << ": " << run.err.toStdString();
        const ToolRun views = Tool({QStringLiteral("dump"), store});
        EXPECT_EQ(views.out.contains(QStringLiteral("  ") + folder + QLatin1Char('\n')),
                  row.accepted)
            << row.folder;
        if (!row.accepted) {
            EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << run.err.toStdString();
        }
    }
}

}  // namespace
