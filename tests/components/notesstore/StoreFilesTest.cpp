#include "StoreTestSupport.h"

#include "components/notesstore/StoreSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <functional>

using namespace velmora::notes;
using namespace velmora::notesstore;
using namespace velmora::notesstore::test;

namespace {

// Touches every member on every view and document, extracting every object.
int ReadEverything(NotesDatabase& db, const QString& extractTo) {
    int documents = 0;
    db.Title();
    const auto views = db.Views();
    for (const ViewPtr& view : views.value()) {
        view->Name();
        view->isfolder();
        view->AllEntries()->Count();
        for (DocumentPtr doc = view->GetFirstDocument(); doc; doc = view->GetNextDocument(doc)) {
            ++documents;
            doc->Size();
            doc->GetItemValue(QStringLiteral("Subject"));
            if (doc->HasEmbedded()) {
                if (auto body = doc->GetFirstItem(QStringLiteral("Body"))) {
                    for (const auto& object :
                         body->EmbeddedObjects().value_or(EmbeddedObjectList{})) {
                        object->ExtractFile(extractTo + QLatin1Char('/') + object->Name());
                    }
                }
            }
        }
    }
    return documents;
}

class StoreFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("store")));
        ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("out")));
        m_store = m_dir.filePath(QStringLiteral("store/mail.nsf"));
        WriteStore(m_store, SampleData());
        m_bytes = ReadAll(m_store);
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    void ExpectMembersFail(const QString& path, const QString& reason) {
        StoreSession session;
        auto db = session.GetDatabase(QString(), path);
        ASSERT_NE(db, nullptr);
        for (const auto& call :
             std::vector<std::function<void()>>{[&] { db->Title(); }, [&] { db->Views(); },
                                                [&] { db->GetView(QStringLiteral("($Inbox)")); }}) {
            try {
                call();
                ADD_FAILURE() << "no failure for " << path.toStdString();
            } catch (const NotesError& error) {
                EXPECT_TRUE(error.Message().contains(reason))
                    << error.Message().toStdString() << " lacks " << reason.toStdString();
            }
        }
    }

    QTemporaryDir m_dir;
    QString m_store;
    QByteArray m_bytes;
};

TEST_F(StoreFilesTest, aSession_leavesBytesModificationTimeAndFolderUnchanged) {
    const qint64 modified = ModifiedNs(m_store);
    QFile::setPermissions(m_store, QFile::ReadOwner | QFile::ReadGroup);
    {
        StoreSession session;
        auto db = session.GetDatabase(QString(), m_store);
        EXPECT_GT(ReadEverything(*db, Path(QStringLiteral("out"))), 0);
        // Opened again while open, as the counts and previews do.
        EXPECT_GT(
            ReadEverything(*session.GetDatabase(QString(), m_store), Path(QStringLiteral("out"))),
            0);
    }
    EXPECT_EQ(ReadAll(m_store), m_bytes);
    EXPECT_EQ(ModifiedNs(m_store), modified);
    EXPECT_EQ(QDir(Path(QStringLiteral("store"))).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("mail.nsf")});
}

TEST_F(StoreFilesTest, aStrayJournalBesideTheStore_isNeitherReadNorRemoved) {
    // A journal left by someone else must not be rolled back into (or deleted beside) a
    // file that we only read.
    const QString journal = m_store + QStringLiteral("-journal");
    WriteAll(journal, QByteArray(2048, 'j'));
    StoreSession session;
    EXPECT_EQ(session.GetDatabase(QString(), m_store)->Title(),
              QStringLiteral("Sample – Überblick"));
    EXPECT_EQ(ReadAll(m_store), m_bytes);
    EXPECT_EQ(ReadAll(journal), QByteArray(2048, 'j'));
}

TEST_F(StoreFilesTest, anInterruptedChange_isRefusedUntilAWriterRepairsIt) {
    // Freeze a store in the middle of a transaction that has spilled into the file: a
    // copy of the file and its journal is what a crash leaves behind.
    const QString crashed = Path(QStringLiteral("crashed.nsf"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(m_store).constData(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "PRAGMA cache_size = 1; BEGIN; UPDATE store_info SET value = "
                           "'Changed' WHERE key = 'title'; INSERT INTO item_values "
                           "SELECT document_id + 1000, item_position, position, kind, text, "
                           "number, msecs, offset_seconds, zone FROM item_values;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_TRUE(QFile::exists(m_store + QStringLiteral("-journal")));
    WriteAll(crashed, ReadAll(m_store));
    WriteAll(crashed + QStringLiteral("-journal"), ReadAll(m_store + QStringLiteral("-journal")));
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(ReadAll(m_store), m_bytes);

    ExpectMembersFail(crashed, QStringLiteral("interrupted change"));
    StoreWriter::Append(crashed).reset();  // opening for writing replays the journal
    EXPECT_FALSE(QFile::exists(crashed + QStringLiteral("-journal")));
    StoreSession session;
    EXPECT_EQ(session.GetDatabase(QString(), crashed)->Title(),
              QStringLiteral("Sample – Überblick"));
}

TEST_F(StoreFilesTest, filesThatAreNotStores_makeEveryDatabaseMemberFail) {
    ExpectMembersFail(Path(QStringLiteral("missing.nsf")), QStringLiteral("does not exist"));
    ExpectMembersFail(Path(QStringLiteral("store")), QStringLiteral("folder"));

    // A named pipe with no writer would block a reader forever.
    const QString pipe = Path(QStringLiteral("pipe.nsf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ExpectMembersFail(pipe, QStringLiteral("not a regular file"));

    WriteAll(Path(QStringLiteral("empty.nsf")), {});
    ExpectMembersFail(Path(QStringLiteral("empty.nsf")), QStringLiteral("empty"));

    QByteArray noise(64 * 1024, Qt::Uninitialized);
    quint32 state = 7;
    for (char& c : noise) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    WriteAll(Path(QStringLiteral("noise.nsf")), noise);
    ExpectMembersFail(Path(QStringLiteral("noise.nsf")), QStringLiteral("not a Velmora"));

    // What a real Notes database starts with is not ours either.
    WriteAll(Path(QStringLiteral("real.nsf")), QByteArray("\x1a\x00\x00\x04\x00\x00", 6) + noise);
    ExpectMembersFail(Path(QStringLiteral("real.nsf")), QStringLiteral("not a Velmora"));

    WriteAll(Path(QStringLiteral("truncated.nsf")), m_bytes.left(m_bytes.size() / 2));
    ExpectMembersFail(Path(QStringLiteral("truncated.nsf")), QStringLiteral("damaged"));
    WriteAll(Path(QStringLiteral("cut.nsf")), m_bytes.left(m_bytes.size() - 100));
    ExpectMembersFail(Path(QStringLiteral("cut.nsf")), QStringLiteral("damaged"));
}

TEST_F(StoreFilesTest, otherSqliteFilesAndVersions_areRefusedWithTheReason) {
    const QString foreign = Path(QStringLiteral("foreign.nsf"));
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(foreign).constData(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE t (x); INSERT INTO t VALUES (1);", nullptr, nullptr,
                     nullptr);
        sqlite3_close(db);
    }
    ExpectMembersFail(foreign, QStringLiteral("not a Velmora"));

    const QString future = Path(QStringLiteral("future.nsf"));
    {
        auto writer = StoreWriter::Create(future);
        writer->SetSchemaVersion(QStringLiteral("3"));
        writer->AddView(QStringLiteral("($Inbox)"), true);
        writer->Commit();
    }
    ExpectMembersFail(future, QStringLiteral("version 3"));
    EXPECT_THROW(StoreWriter::Append(future), StoreError);
}

TEST_F(StoreFilesTest, damagedPages_failWithNotesErrorAndNeverCrash) {
    // Overwrite one page at a time beyond the header and read everything: each member
    // either answers or throws NotesError.
    const int pageSize = 4096;
    const int pages = static_cast<int>(m_bytes.size() / pageSize);
    int failures = 0;
    for (int page = 1; page < pages; ++page) {
        QByteArray damaged = m_bytes;
        for (int i = 0; i < pageSize; i += 7) {
            damaged[page * pageSize + i] = static_cast<char>(0xA5 ^ i);
        }
        const QString path = Path(QStringLiteral("damaged-%1.nsf").arg(page));
        WriteAll(path, damaged);
        StoreSession session;
        try {
            ReadEverything(*session.GetDatabase(QString(), path), Path(QStringLiteral("out")));
        } catch (const NotesError&) {
            ++failures;
        }
    }
    EXPECT_GT(failures, 0);
}

}  // namespace
