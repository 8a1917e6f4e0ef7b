#include "NsfTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

namespace {

QString RunTool(const QStringList& args, int* exitCode) {
    QProcess tool;
    tool.start(QStringLiteral(VELMORA_STORE_TOOL), args);
    EXPECT_TRUE(tool.waitForFinished(60000));
    *exitCode = tool.exitCode();
    return QString::fromUtf8(tool.readAllStandardOutput());
}

TEST(nsf_Tool, DumpsViewsAndEveryDocumentAsJson) {
    const QString path = velmora::nsf::test::Sample("hfinn.nsf");
    int code = -1;
    const QString views = RunTool({QStringLiteral("dump"), path}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(views.startsWith(QStringLiteral("Title: Huckleberry Finn\n")))
        << views.toStdString();
    EXPECT_TRUE(views.contains(QRegularExpression(QStringLiteral("folder +1 +All Mail\n"))))
        << views.toStdString();

    const QString json = RunTool(
        {QStringLiteral("dump"), path, QStringLiteral("--all"), QStringLiteral("--json")}, &code);
    EXPECT_EQ(code, 0);
    const QStringList lines = json.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    const QJsonObject memo = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    EXPECT_EQ(memo.value(QStringLiteral("noteId")).toString(), QStringLiteral("0x20FA"));
    QStringList subject;
    for (const QJsonValue item : memo.value(QStringLiteral("items")).toArray()) {
        if (item.toObject().value(QStringLiteral("name")).toString() ==
            QLatin1String("PostedDate")) {
            subject << item.toObject().value(QStringLiteral("values")).toArray().at(0).toString();
        }
    }
    EXPECT_EQ(subject, QStringList{QStringLiteral("1992-04-12T16:31:17-04:00")});
    const QJsonArray attachments = memo.value(QStringLiteral("attachments")).toArray();
    ASSERT_EQ(attachments.size(), 1);
    const QJsonObject apisupp = attachments.at(0).toObject();
    EXPECT_EQ(apisupp.value(QStringLiteral("name")).toString(), QStringLiteral("APISUPP.NSF"));
    EXPECT_EQ(apisupp.value(QStringLiteral("size")).toInt(), 32768);
    EXPECT_TRUE(apisupp.value(QStringLiteral("extractable")).toBool());
    EXPECT_FALSE(apisupp.contains(QStringLiteral("reason")));
}

// Every sample dumps without the tool failing; notes it cannot read say why.
TEST(nsf_Tool, EverySampleDumps) {
    const QDir dir(velmora::nsf::test::SampleDir());
    const QStringList files = dir.entryList({QStringLiteral("*.nsf")}, QDir::Files);
    EXPECT_EQ(files.size(), 18);
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        int code = -1;
        const QString json = RunTool({QStringLiteral("dump"), dir.filePath(file),
                                      QStringLiteral("--all"), QStringLiteral("--json")},
                                     &code);
        EXPECT_EQ(code, 0);
        for (const QString& line : json.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QJsonObject note = QJsonDocument::fromJson(line.toUtf8()).object();
            EXPECT_TRUE(note.contains(QStringLiteral("noteId"))) << line.toStdString();
            EXPECT_TRUE(note.contains(QStringLiteral("items")) ||
                        !note.value(QStringLiteral("error")).toString().isEmpty());
        }
    }
}

}  // namespace
