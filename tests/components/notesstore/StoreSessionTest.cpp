#include "StoreTestSupport.h"

#include "automation/Automation.h"
#include "components/StandardComponents.h"
#include "components/notesstore/StoreSession.h"
#include "notes/FaultyNotes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

using namespace velmora::notes;
using namespace velmora::notesstore;
using namespace velmora::notesstore::test;

namespace {

class StoreSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("sample.nsf"));
        WriteStore(m_path, SampleData());
        m_db = m_session.GetDatabase(QString(), m_path);
    }
    ViewPtr View(const QString& name) { return m_db->GetView(name); }
    DocumentPtr First(const QString& view) { return View(view)->GetFirstDocument(); }
    QString Subject(const DocumentPtr& doc) {
        return FirstValueText(doc->GetItemValue(QStringLiteral("Subject")));
    }

    QTemporaryDir m_dir;
    QString m_path;
    StoreSession m_session;
    DatabasePtr m_db;
};

TEST_F(StoreSessionTest, titleAndViews_comeInStoredOrderWithFlagsAndCounts) {
    EXPECT_EQ(m_db->Title(), QStringLiteral("Sample – Überblick"));
    const auto views = m_db->Views();
    ASSERT_TRUE(views.has_value());
    QStringList seen;
    for (const ViewPtr& view : *views) {
        seen << QStringLiteral("%1/%2/%3")
                    .arg(view->Name())
                    .arg(view->isfolder() ? 1 : 0)
                    .arg(view->AllEntries()->Count());
    }
    EXPECT_EQ(seen.join(QLatin1Char(',')),
              QStringLiteral("($Inbox)/1/3,($All)/0/3,Receipts/1/1,receipts/1/1,Twice/1/1,"
                             "Twice/1/2,Empty/1/0"));
}

TEST_F(StoreSessionTest, getView_prefersExactNameThenIgnoresCase) {
    EXPECT_EQ(Subject(First(QStringLiteral("Receipts"))), QStringLiteral("Второй"));
    EXPECT_EQ(Subject(First(QStringLiteral("receipts"))), QStringLiteral("Third"));
    EXPECT_EQ(Subject(First(QStringLiteral("RECEIPTS"))), QStringLiteral("Второй"));
    EXPECT_EQ(View(QStringLiteral("($inbox)"))->Name(), QStringLiteral("($Inbox)"));
    EXPECT_EQ(View(QStringLiteral("Twice"))->AllEntries()->Count(), 1);  // the first of two
    EXPECT_EQ(View(QStringLiteral("Missing")), nullptr);
    EXPECT_EQ(View(QString()), nullptr);
}

TEST_F(StoreSessionTest, documents_walkInViewOrderAndEndWithNothing) {
    for (const auto& [view, expected] :
         {std::pair{QStringLiteral("($Inbox)"), QStringLiteral("First,Второй,Third")},
          std::pair{QStringLiteral("($All)"), QStringLiteral("Third,Второй,First")}}) {
        auto v = View(view);
        QStringList subjects;
        for (DocumentPtr doc = v->GetFirstDocument(); doc; doc = v->GetNextDocument(doc)) {
            subjects << Subject(doc);
        }
        EXPECT_EQ(subjects.join(QLatin1Char(',')), expected) << view.toStdString();
    }
    EXPECT_EQ(First(QStringLiteral("Empty")), nullptr);
}

TEST_F(StoreSessionTest, getNextDocument_acceptsDocumentsOfOtherViewsAndObjects) {
    // Reached through ($All) (last there), continued in ($Inbox) (first there).
    auto inbox = View(QStringLiteral("($Inbox)"));
    auto fromAll = View(QStringLiteral("($All)"))->GetFirstDocument();  // Third
    EXPECT_EQ(inbox->GetNextDocument(fromAll), nullptr);
    auto first = m_session.GetDatabase(QString(), m_path)
                     ->GetView(QStringLiteral("($Inbox)"))
                     ->GetFirstDocument();
    EXPECT_EQ(Subject(inbox->GetNextDocument(first)), QStringLiteral("Второй"));

    auto notInView = First(QStringLiteral("receipts"));  // Third is not in "Receipts"
    EXPECT_THROW(View(QStringLiteral("Receipts"))->GetNextDocument(notInView), NotesError);
    EXPECT_THROW(inbox->GetNextDocument(nullptr), NotesError);
}

TEST_F(StoreSessionTest, itemValues_keepTypesOrderAndOffsets) {
    auto doc = First(QStringLiteral("($Inbox)"));
    EXPECT_TRUE(doc->hasitem(QStringLiteral("subject")));
    EXPECT_TRUE(doc->hasitem(QStringLiteral("POSTEDDATE")));
    EXPECT_FALSE(doc->hasitem(QStringLiteral("CopyTo")));
    EXPECT_EQ(Describe(doc->GetItemValue(QStringLiteral("sendto"))),
              QStringLiteral("text:CN=A/O=X|text:|text:CN=C/O=X"));
    EXPECT_EQ(Describe(doc->GetItemValue(QStringLiteral("Count"))),
              QStringLiteral("number:42|number:3.5|number:-0.25|number:1e+20"));
    const NotesValues dates = doc->GetItemValue(QStringLiteral("PostedDate"));
    ASSERT_EQ(dates.size(), 3u);
    const auto& posted = std::get<QDateTime>(dates[0]);
    EXPECT_EQ(posted, QDateTime(QDate(2011, 3, 14), QTime(8, 12, 5), QTimeZone::utc()));
    EXPECT_EQ(posted.offsetFromUtc(), 3600);
    EXPECT_EQ(std::get<QDateTime>(dates[1]).offsetFromUtc(), -5 * 3600);
    EXPECT_EQ(std::get<QDateTime>(dates[1]).time(), QTime(23, 59, 59));
    EXPECT_EQ(std::get<QDateTime>(dates[2]).offsetFromUtc(), 0);
}

TEST_F(StoreSessionTest, missingAndValuelessItems_giveOneEmptyText) {
    auto doc = First(QStringLiteral("($Inbox)"));
    for (const QString& name : {QStringLiteral("NoSuchItem"), QStringLiteral("Empty")}) {
        const NotesValues values = doc->GetItemValue(name);
        ASSERT_EQ(values.size(), 1u) << name.toStdString();
        EXPECT_EQ(std::get<QString>(values[0]), QString());
    }
    EXPECT_EQ(doc->GetFirstItem(QStringLiteral("NoSuchItem")), nullptr);
}

TEST_F(StoreSessionTest, richTextBody_givesPlainTextAndEmbeddedObjectsInOrder) {
    auto doc = First(QStringLiteral("($Inbox)"));
    EXPECT_EQ(Describe(doc->GetItemValue(QStringLiteral("Body"))),
              QStringLiteral("text:Line one\nLine two"));
    EXPECT_EQ(doc->Size(), 12345);
    EXPECT_TRUE(doc->HasEmbedded());
    auto body = doc->GetFirstItem(QStringLiteral("body"));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->Type(), kItemRichText);
    const auto objects = body->EmbeddedObjects();
    ASSERT_TRUE(objects.has_value());
    QStringList seen;
    for (const auto& object : *objects) {
        seen << QStringLiteral("%1:%2").arg(object->Type()).arg(object->Name());
    }
    EXPECT_EQ(seen.join(QLatin1Char(',')),
              QStringLiteral("1454:a.txt,1453:Sheet,1452:Link,1454:a.txt"));

    // Same name twice: the second extraction replaces the first, as the export expects.
    const QString target = m_dir.filePath(QStringLiteral("a.txt"));
    (*objects)[0]->ExtractFile(target);
    EXPECT_EQ(ReadAll(target), QByteArray("alpha"));
    (*objects)[3]->ExtractFile(target);
    EXPECT_EQ(ReadAll(target), QByteArray("second"));
}

TEST_F(StoreSessionTest, plainTextBody_isNotAListOfObjects) {
    auto doc = View(QStringLiteral("($Inbox)"))->GetNextDocument(First(QStringLiteral("($Inbox)")));
    EXPECT_FALSE(doc->HasEmbedded());
    EXPECT_GT(doc->Size(), 0);
    auto body = doc->GetFirstItem(QStringLiteral("Body"));
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->Type(), kItemText);
    EXPECT_FALSE(body->EmbeddedObjects().has_value());
}

TEST_F(StoreSessionTest, extractFile_failsCleanlyWhenTheDestinationCannotBeWritten) {
    auto objects =
        *First(QStringLiteral("($Inbox)"))->GetFirstItem(QStringLiteral("Body"))->EmbeddedObjects();
    const QString missingFolder = m_dir.filePath(QStringLiteral("no/such/folder/a.txt"));
    EXPECT_THROW(objects[0]->ExtractFile(missingFolder), NotesError);
    EXPECT_FALSE(QFile::exists(missingFolder));
    EXPECT_THROW(objects[0]->ExtractFile(m_dir.path()), NotesError);  // a folder
    EXPECT_THROW(objects[0]->ExtractFile(QString()), NotesError);

    // A full disk (here: a file size limit) fails the extraction and leaves an existing
    // file as it was, with no temporary file beside it.
    const QString kept = m_dir.filePath(QStringLiteral("kept/a.txt"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(kept).path()));
    WriteAll(kept, "keep");
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit tiny = previous;
    tiny.rlim_cur = 3;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    bool failed = false;
    try {
        objects[0]->ExtractFile(kept);  // five bytes
    } catch (const NotesError&) {
        failed = true;
    }
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_TRUE(failed);
    EXPECT_EQ(ReadAll(kept), QByteArray("keep"));
    EXPECT_EQ(QDir(QFileInfo(kept).path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(StoreSessionTest, encryptedStore_opensButTitleAndViewsFail) {
    MemoryDatabaseData data = SampleData();
    data.encrypted = true;
    const QString path = m_dir.filePath(QStringLiteral("encrypted.nsf"));
    WriteStore(path, data);
    auto db = m_session.GetDatabase(QString(), path);
    ASSERT_NE(db, nullptr);
    EXPECT_THROW(db->Title(), NotesError);
    EXPECT_THROW(db->Views(), NotesError);
    EXPECT_THROW(db->GetView(QStringLiteral("($Inbox)")), NotesError);
}

TEST_F(StoreSessionTest, reopening_seesAStoreThatWasReplacedOnDisk) {
    EXPECT_EQ(View(QStringLiteral("($Inbox)"))->AllEntries()->Count(), 3);
    MemoryDatabaseData data = SampleData();
    data.title = QStringLiteral("Replaced");
    data.views.resize(1);
    data.views[0].documents = {0};
    WriteStore(m_path, data);  // renamed over the old file
    auto reopened = m_session.GetDatabase(QString(), m_path);
    EXPECT_EQ(reopened->Title(), QStringLiteral("Replaced"));
    EXPECT_EQ(reopened->GetView(QStringLiteral("($Inbox)"))->AllEntries()->Count(), 1);
    // The object opened before keeps reading the file it opened.
    EXPECT_EQ(m_db->Title(), QStringLiteral("Sample – Überblick"));
}

TEST_F(StoreSessionTest, registry_createsTheStoreAsNotesSession) {
    velmora::RegisterStandardComponents();
    auto session =
        velmora::automation::CreateObject<NotesSession>(QStringLiteral("notes.notessession"));
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->GetDatabase(QString(), m_path)->Title(),
              QStringLiteral("Sample – Überblick"));
}

TEST_F(StoreSessionTest, faultyDecorator_overTheStoreFailsOnlyWherePlanned) {
    auto plan = std::make_shared<FaultPlan>();
    plan->FailOn(QStringLiteral("Document.GetItemValue"), 2, QStringLiteral("Subject"));
    auto session = WithFaults(std::make_shared<StoreSession>(), plan);
    auto view = session->GetDatabase(QString(), m_path)->GetView(QStringLiteral("($Inbox)"));
    QStringList subjects;
    for (DocumentPtr doc = view->GetFirstDocument(); doc; doc = view->GetNextDocument(doc)) {
        try {
            subjects << FirstValueText(doc->GetItemValue(QStringLiteral("Subject")));
        } catch (const NotesError&) {
            subjects << QStringLiteral("<failed>");
        }
    }
    EXPECT_EQ(subjects.join(QLatin1Char(',')), QStringLiteral("First,<failed>,Third"));
    EXPECT_EQ(plan->Calls(QStringLiteral("View.GetNextDocument")), 3);
}

TEST(StoreExtraction, largeAttachment_isStreamedWithoutHoldingItInMemory) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    constexpr qint64 kSize = 96 * 1024 * 1024 + 12345;
    const QString source = dir.filePath(QStringLiteral("big.bin"));
    QCryptographicHash expected(QCryptographicHash::Sha256);
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        quint32 state = 12345;
        for (qint64 written = 0; written < kSize;) {
            for (char& c : chunk) {
                state = state * 1664525u + 1013904223u;
                c = static_cast<char>(state >> 24);
            }
            const qint64 length = std::min<qint64>(chunk.size(), kSize - written);
            ASSERT_EQ(file.write(chunk.constData(), length), length);
            expected.addData(QByteArrayView(chunk.constData(), length));
            written += length;
        }
    }
    const QString store = dir.filePath(QStringLiteral("big.nsf"));
    {
        auto writer = StoreWriter::Create(store);
        DocumentData doc;
        doc.Add(QStringLiteral("Body"), {QStringLiteral("see attachment")}, kItemRichText)
            .embedded.push_back(
                EmbeddedData{kEmbedAttachment, QStringLiteral("big.bin"), {}, source});
        writer->File(writer->AddView(QStringLiteral("F"), true), writer->AddDocument(doc));
        writer->Commit();
    }
    QFile::remove(source);

    StoreSession session;
    auto objects = *session.GetDatabase(QString(), store)
                        ->GetView(QStringLiteral("F"))
                        ->GetFirstDocument()
                        ->GetFirstItem(QStringLiteral("Body"))
                        ->EmbeddedObjects();
    ASSERT_EQ(objects.size(), 1u);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const QString target = dir.filePath(QStringLiteral("out.bin"));
    objects[0]->ExtractFile(target);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 48 * 1024) << "peak grew by kilobytes";

    QFile out(target);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.size(), kSize);
    QCryptographicHash actual(QCryptographicHash::Sha256);
    ASSERT_TRUE(actual.addData(&out));
    EXPECT_EQ(actual.result(), expected.result());
}

}  // namespace
