#include "util/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>

using velmora::AtomicFile;
using velmora::TemporaryNameFilter;
using velmora::WriteFileAtomically;

namespace {

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Only the named entries, no temporary file left behind.
QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

TEST(AtomicFile, writesWholeOrLeavesTheDestinationAsItWas) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("result.txt"));
    const QString folder = dir.filePath(QStringLiteral("folder"));
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(QFile::link(file, link));
    const struct {
        QString path;
        const char* reason;  // "" when the write goes through
    } rows[] = {
        {file, ""},
        {file, ""},  // replaces what the first row wrote
        {folder, "Is a directory"},
        {link, "Not a regular file"},
        {dir.filePath(QStringLiteral("missing/x.txt")), "No such file or directory"},
        {QString(), "No such file or directory"},
    };
    int n = 0;
    for (const auto& row : rows) {
        const QByteArray data = "contents " + QByteArray::number(++n);
        EXPECT_EQ(WriteFileAtomically(row.path, data), QString::fromLatin1(row.reason))
            << row.path.toStdString();
        if (*row.reason == 0) {
            EXPECT_EQ(Read(row.path), data);
        }
        EXPECT_EQ(Entries(dir.path()),
                  QStringList({QStringLiteral("folder"), QStringLiteral("link"),
                               QStringLiteral("result.txt")}));
    }
    EXPECT_EQ(Read(file), "contents 2");
}

TEST(AtomicFile, keepsTheReplacedFilesPermissionsAndDropsAnUncommittedWrite) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("kept.txt"));
    ASSERT_EQ(WriteFileAtomically(path, "old"), QString());
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, mode));
    {
        AtomicFile file(path);
        ASSERT_EQ(file.Open(), QString());
        ASSERT_EQ(file.Write("never committed"), QString());
    }
    EXPECT_EQ(Read(path), "old");
    EXPECT_EQ(Entries(dir.path()), QStringList(QStringLiteral("kept.txt")));
    ASSERT_EQ(WriteFileAtomically(path, "new"), QString());
    EXPECT_EQ(Read(path), "new");
    EXPECT_EQ(QFile::permissions(path) & 0x7077, mode & 0x7077);
}

TEST(AtomicFile, aWriteTheSystemRefusesGivesItsReasonAndKeepsTheOldFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("big.bin"));
    ASSERT_EQ(WriteFileAtomically(path, "old"), QString());
    // A file size limit fails a write the way a full disk does, with the system's reason.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit low = old;
    low.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    const QString reason = WriteFileAtomically(path, QByteArray(64 * 1024, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(reason, QStringLiteral("File too large"));
    EXPECT_EQ(Read(path), "old");
    EXPECT_EQ(Entries(dir.path()), QStringList(QStringLiteral("big.bin")));
}

// What a writer killed before its commit leaves is found by the filter, for any name, and the
// filter finds nothing else.
TEST(AtomicFile, aTemporaryLeftBehindMatchesTheFilterOfItsNameOnly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString rows[] = {
        QStringLiteral("report.pdf"),
        QStringLiteral("[list] a*b?.pdf"),  // wildcard characters match as themselves
        QString(251, QLatin1Char('n')) + QStringLiteral(".pdf"),  // the longest name there is
        QString(84, QChar(0x00E9)) + QStringLiteral(".pdf"),      // two bytes a letter
    };
    for (const QString& name : rows) {
        const QString path = dir.filePath(name);
        AtomicFile file(path);
        ASSERT_EQ(file.Open(), QString()) << name.toStdString();
        ASSERT_EQ(file.Write("half"), QString());
        const QStringList left =
            QDir(dir.path()).entryList({TemporaryNameFilter(name)}, QDir::Files | QDir::Hidden);
        EXPECT_EQ(left.size(), 1) << name.toStdString();
        EXPECT_EQ(QDir(dir.path())
                      .entryList({TemporaryNameFilter(QStringLiteral("other.pdf"))},
                                 QDir::Files | QDir::Hidden),
                  QStringList());
        ASSERT_EQ(file.Commit(), QString());
        EXPECT_EQ(Read(path), "half");
        EXPECT_EQ(
            QDir(dir.path()).entryList({TemporaryNameFilter(name)}, QDir::Files | QDir::Hidden),
            QStringList());
    }
}
