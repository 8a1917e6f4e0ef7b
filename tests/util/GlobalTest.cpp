#include "RecordingUserInterface.h"
#include "util/Global.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <stdexcept>

using namespace velmora::Global;
using velmora::testing::RecordingUserInterface;

TEST(GetTempFolder, followsTmpdir_withTrailingSeparator) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray old = qgetenv("TMPDIR");
    qputenv("TMPDIR", dir.path().toUtf8());
    const QString folder = GetTempFolder();
    qputenv("TMPDIR", old);
    EXPECT_EQ(folder, dir.path() + QLatin1Char('/'));
}

TEST(GetTempFolder, alwaysEndsWithSeparator) {
    const QString folder = GetTempFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(folder.endsWith(QLatin1Char('/')));
    EXPECT_FALSE(folder.endsWith(QLatin1String("//")));
}

TEST(EnsureDirectory, createsEveryMissingLevel_withOrWithoutTrailingSeparator) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString deep = root.filePath(QStringLiteral("a/b/c d/é"));
    EXPECT_TRUE(EnsureDirectory(deep));
    EXPECT_TRUE(QDir(deep).exists());

    const QString withSlash = root.filePath(QStringLiteral("x/y/"));
    EXPECT_TRUE(EnsureDirectory(withSlash));
    EXPECT_TRUE(QDir(root.filePath(QStringLiteral("x/y"))).exists());

    // Existing: true again and nothing changes inside.
    QFile keep(deep + QStringLiteral("/keep.txt"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.close();
    EXPECT_TRUE(EnsureDirectory(deep));
    EXPECT_TRUE(EnsureDirectory(deep + QLatin1Char('/')));
    EXPECT_TRUE(QFile::exists(deep + QStringLiteral("/keep.txt")));
}

TEST(EnsureDirectory, fileInTheWay_givesFalseWithoutThrowing) {
    QTemporaryDir root;
    QFile file(root.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(EnsureDirectory(file.fileName()));
    EXPECT_FALSE(EnsureDirectory(file.fileName() + QStringLiteral("/below")));
    EXPECT_FALSE(EnsureDirectory(QString()));
}

TEST(EnsureDirectory, unwritableLocation_givesFalse) {
    // Nobody, root included, may create folders in /proc.
    EXPECT_FALSE(EnsureDirectory(QStringLiteral("/proc/velmora-test/inner")));
    EXPECT_FALSE(QDir(QStringLiteral("/proc/velmora-test")).exists());
}

TEST(BrowseForFolder, cancelRootAndFolder) {
    RecordingUserInterface ui;
    ui.folderResults = {QString(), QStringLiteral("/"), QStringLiteral("/srv/mail/")};
    EXPECT_EQ(BrowseForFolder(ui, QStringLiteral("Pick")), QString());
    EXPECT_EQ(BrowseForFolder(ui, QStringLiteral("Pick")), QStringLiteral("/"));
    EXPECT_EQ(BrowseForFolder(ui, QStringLiteral("Pick")), QStringLiteral("/srv/mail"));
    ASSERT_EQ(ui.calls.size(), 3);
    EXPECT_EQ(ui.calls.front(), QStringLiteral("BrowseFolderDialog:Pick"));
}

TEST(BrowseForFolder, failingDialog_givesEmpty) {
    struct Throwing : RecordingUserInterface {
        QString BrowseFolderDialog(const QString&) override {
            throw std::runtime_error("no shell");
        }
    } ui;
    EXPECT_EQ(BrowseForFolder(ui, QStringLiteral("Pick")), QString());
}

TEST(RandomBetween, staysWithinBoundsAndReachesBoth) {
    RandomSequence sequence;
    bool sawLower = false;
    bool sawUpper = false;
    for (int i = 0; i < 2'000'000; ++i) {
        const int n = sequence.Between(1, 40000);
        ASSERT_GE(n, 1);
        ASSERT_LE(n, 40000);
        sawLower |= n == 1;
        sawUpper |= n == 40000;
    }
    EXPECT_TRUE(sawLower);
    EXPECT_TRUE(sawUpper);
}

TEST(RandomBetween, isRoughlyUniform) {
    RandomSequence sequence;
    std::map<int, int> counts;
    const int draws = 600'000;
    for (int i = 0; i < draws; ++i) {
        ++counts[sequence.Between(-2, 3)];
    }
    ASSERT_EQ(counts.size(), 6u);
    EXPECT_EQ(counts.begin()->first, -2);
    EXPECT_EQ(counts.rbegin()->first, 3);
    for (const auto& [value, count] : counts) {
        EXPECT_NEAR(count, draws / 6, draws / 6 / 20) << "value " << value;
    }
}

TEST(RandomBetween, widestRangeAndDegenerateBounds) {
    RandomSequence sequence;
    const int32_t max = std::numeric_limits<int32_t>::max();
    for (int i = 0; i < 100'000; ++i) {
        const int32_t n = sequence.Between(0, max - 1);
        ASSERT_GE(n, 0);
        ASSERT_LE(n, max - 1);
        const int32_t m = sequence.Between(-1000, max - 1001);
        ASSERT_GE(m, -1000);
        ASSERT_LE(m, max - 1001);
    }
    EXPECT_EQ(sequence.Between(5, 5), 5);
    EXPECT_EQ(sequence.Between(9, 2), 9);
}

TEST(RandomBetween, freshSequencesRepeatEachOther) {
    RandomSequence a;
    RandomSequence b;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(a.Between(1, 40000), b.Between(1, 40000));
    }
}

TEST(RandomSequence, seedChoosesTheSequence_defaultSeedIsRandomBetweens) {
    RandomSequence byDefault;
    RandomSequence explicitDefault(RandomSequence::kDefaultSeed);
    RandomSequence other(2011);
    RandomSequence otherAgain(2011);
    RandomSequence neighbour(2012);
    int differing = 0;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(byDefault.Next(), explicitDefault.Next());
        const std::uint64_t raw = other.Next();
        ASSERT_EQ(raw, otherAgain.Next());
        differing += raw != neighbour.Next() ? 1 : 0;
    }
    EXPECT_EQ(differing, 100);
    // SplitMix64's published first output for seed 0.
    EXPECT_EQ(RandomSequence(0).Next(), 0xE220A8397B1DCDAFULL);
}

TEST(TestEnvironment, isHermetic) {
    // Guards the test harness itself: a fixed zone, no home, a private temporary folder.
    EXPECT_EQ(qgetenv("TZ"), QByteArray("UTC"));
    EXPECT_TRUE(qgetenv("HOME").endsWith("no-home"));
    EXPECT_TRUE(GetTempFolder().contains(QStringLiteral("test-tmp/global_test")));
}
