#include "components/htmlhelp/ChmArchive.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <optional>

namespace velmora::htmlhelp {
namespace {

const QString kSample = QStringLiteral(VELMORA_SAMPLE_CHM);
const QString kData = QStringLiteral(VELMORA_TEST_DATA);

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

TEST(ChmArchiveTest, open_compiledSample_givesTitleDefaultTopicAndContents) {
    const ChmArchive archive(kSample);
    EXPECT_EQ(archive.Title(), QStringLiteral("Sample Help"));
    EXPECT_EQ(archive.DefaultTopic(), QStringLiteral("/welcome.html"));

    const std::vector<ContentsEntry>& contents = archive.Contents();
    ASSERT_EQ(contents.size(), 2u);
    EXPECT_EQ(contents[0].title, QStringLiteral("Overview"));
    EXPECT_EQ(contents[0].local, QStringLiteral("/overview.html"));
    ASSERT_EQ(contents[0].children.size(), 1u);
    EXPECT_EQ(contents[0].children[0].title, QStringLiteral("Details & more"));
    EXPECT_EQ(contents[0].children[0].local, QStringLiteral("/sub/details.html"));
    EXPECT_TRUE(contents[0].children[0].children.empty());
    EXPECT_EQ(contents[1].title, QStringLiteral("Welcome"));
    EXPECT_EQ(contents[1].local, QStringLiteral("/welcome.html#top"));
}

TEST(ChmArchiveTest, open_withoutDefaultTopic_fallsBackToFirstContentsEntry) {
    const ChmArchive archive(QStringLiteral(VELMORA_NODEFAULT_CHM));
    EXPECT_EQ(archive.Title(), QStringLiteral("No Default"));
    EXPECT_EQ(archive.DefaultTopic(), QStringLiteral("/overview.html"));
}

TEST(ChmArchiveTest, readFile_everyPage_roundTripsTheSourceBytes) {
    const ChmArchive archive(kSample);
    for (const char* name :
         {"welcome.html", "overview.html", "sub/details.html", "style.css", "dot.png"}) {
        const QString path = QString::fromLatin1(name);
        SCOPED_TRACE(name);
        const QByteArray expected = FileBytes(kData + u'/' + path);
        ASSERT_FALSE(expected.isEmpty());
        EXPECT_TRUE(archive.Contains(u'/' + path));
        EXPECT_EQ(archive.ReadFile(u'/' + path), expected);
        EXPECT_EQ(archive.ReadFile(path), expected);  // relative to the root
    }
    EXPECT_EQ(archive.ReadFile(QStringLiteral("/sub/../welcome.html")),
              FileBytes(kData + QStringLiteral("/welcome.html")));
}

TEST(ChmArchiveTest, readFile_missingOrOutsidePath_throwsChmError) {
    const ChmArchive archive(kSample);
    for (const char* path :
         {"/missing.html", "sub/welcome.html", "../welcome.html", "/sub/../../welcome.html",
          "http://www.velmora.example/", "/sub/", ""}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(archive.Contains(QString::fromLatin1(path)));
        EXPECT_THROW(archive.ReadFile(QString::fromLatin1(path)), ChmError);
    }
}

TEST(ChmArchiveTest, resolvePath_links_resolveInsideTheArchiveOnly) {
    struct Row {
        const char* link;
        const char* from;
        std::optional<QString> expected;
    };
    const Row rows[] = {
        {"b.html", "/sub/a.html", QStringLiteral("/sub/b.html")},
        {"../b.html", "/sub/a.html", QStringLiteral("/b.html")},
        {"./x/./y.html#top", "/a.html", QStringLiteral("/x/y.html")},
        {"/b.html?x=1", "/sub/a.html", QStringLiteral("/b.html")},
        {"#top", "/sub/a.html", QStringLiteral("/sub/a.html")},
        {"sub\\c.html", "/a.html", QStringLiteral("/sub/c.html")},
        {"ms-its:Other.chm::/p.html", "/sub/a.html", QStringLiteral("/p.html")},
        {"mk:@MSITStore:C:\\Help.chm::/q.html", "/a.html", QStringLiteral("/q.html")},
        {"../../b.html", "/sub/a.html", std::nullopt},
        {"..", "/a.html", std::nullopt},
        {"http://www.velmora.example/", "/a.html", std::nullopt},
        {"mailto:support@velmora.example", "/a.html", std::nullopt},
        {"file:///etc/passwd", "/a.html", std::nullopt},
        {"//host/share/x.html", "/a.html", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.link) + " from " + row.from);
        EXPECT_EQ(
            ChmArchive::ResolvePath(QString::fromLatin1(row.link), QString::fromLatin1(row.from)),
            row.expected);
    }
}

TEST(ChmArchiveTest, open_missingFolderOrForeignFile_throwsChmError) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteBytes(dir.filePath(QStringLiteral("empty.chm")), {});
    WriteBytes(dir.filePath(QStringLiteral("text.chm")), QByteArray(4096, 'x'));
    WriteBytes(dir.filePath(QStringLiteral("magic.chm")), QByteArray("ITSF") + QByteArray(200, 0));
    for (const QString& path :
         {dir.filePath(QStringLiteral("absent.chm")), dir.path(), dir.filePath("empty.chm"),
          dir.filePath("text.chm"), dir.filePath("magic.chm")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_THROW(ChmArchive{path}, ChmError);
    }
}

TEST(ChmArchiveTest, open_truncatedCopy_throwsChmError) {
    const QByteArray whole = FileBytes(kSample);
    ASSERT_GT(whole.size(), 1000);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("cut.chm"));
    for (qsizetype length : {qsizetype{0}, qsizetype{0x40}, qsizetype{0x60}, qsizetype{600},
                             whole.size() / 2, whole.size() - 1}) {
        SCOPED_TRACE(length);
        WriteBytes(path, whole.left(length));
        try {
            const ChmArchive archive(path);
            ADD_FAILURE() << "a file cut to " << length << " bytes opened";
        } catch (const ChmError& error) {
            EXPECT_STRNE(error.what(), "");
        }
    }
}

// Damaged bytes anywhere: the archive is refused or each read succeeds or fails cleanly.
TEST(ChmArchiveTest, readFile_corruptedCopies_failCleanly) {
    const QByteArray whole = FileBytes(kSample);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("damaged.chm"));
    QRandomGenerator random(20240611);
    int refused = 0;
    int opened = 0;
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = whole;
        const int flips = 1 + random.bounded(30);
        for (int i = 0; i < flips; ++i) {
            bytes[random.bounded(bytes.size())] = static_cast<char>(random.bounded(256));
        }
        WriteBytes(path, bytes);
        try {
            const ChmArchive archive(path);
            ++opened;
            for (const char* name : {"/welcome.html", "/overview.html", "/sub/details.html",
                                     "/style.css", "/dot.png", "/#SYSTEM"}) {
                try {
                    archive.ReadFile(QString::fromLatin1(name));
                } catch (const ChmError&) {
                }
            }
        } catch (const ChmError&) {
            ++refused;
        }
    }
    EXPECT_EQ(opened + refused, 300);
    EXPECT_GT(opened, 0);
}

}  // namespace
}  // namespace velmora::htmlhelp
