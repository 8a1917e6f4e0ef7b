#include "StoreTestSupport.h"

#include "components/notesstore/StoreSession.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace velmora::notes;
using namespace velmora::notesstore;
using namespace velmora::notesstore::test;

namespace {

QString Extracted(NotesEmbeddedObject& object, const QString& folder) {
    const QString path = folder + QStringLiteral("/extracted");
    object.ExtractFile(path);
    return QString::fromLatin1(ReadAll(path).toHex());
}

// Everything a reader can observe of one document, item by item.
QStringList Observe(NotesDocument& doc, const QStringList& names, const QString& folder) {
    QStringList seen{QStringLiteral("embedded=%1").arg(doc.HasEmbedded())};
    for (const QString& name : names) {
        seen << name + QLatin1Char('=') + Describe(doc.GetItemValue(name));
        auto item = doc.GetFirstItem(name);
        seen << QStringLiteral("type=%1").arg(item ? item->Type() : -1);
        if (!item) {
            continue;
        }
        const auto objects = item->EmbeddedObjects();
        if (!objects) {
            seen << QStringLiteral("not a list");
            continue;
        }
        for (const auto& object : *objects) {
            seen << QStringLiteral("%1:%2:%3")
                        .arg(object->Type())
                        .arg(object->Name(), Extracted(*object, folder));
        }
    }
    return seen;
}

TEST(StoreWriter, roundTrip_readsBackWhatTheMemoryDatabaseHolds) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const MemoryDatabaseData data = SampleData();
    const QString path = dir.filePath(QStringLiteral("round.nsf"));
    WriteStore(path, data);

    MemorySession memory;
    memory.AddDatabase(QStringLiteral("m"), std::make_shared<MemoryDatabaseData>(data));
    StoreSession store;
    auto expected = memory.GetDatabase(QString(), QStringLiteral("m"));
    auto actual = store.GetDatabase(QString(), path);
    EXPECT_EQ(actual->Title(), expected->Title());
    const ViewList expectedViews = *expected->Views();
    const ViewList actualViews = *actual->Views();
    ASSERT_EQ(actualViews.size(), expectedViews.size());
    int documents = 0;
    for (std::size_t v = 0; v < expectedViews.size(); ++v) {
        SCOPED_TRACE(expectedViews[v]->Name().toStdString());
        EXPECT_EQ(actualViews[v]->Name(), expectedViews[v]->Name());
        EXPECT_EQ(actualViews[v]->isfolder(), expectedViews[v]->isfolder());
        EXPECT_EQ(actualViews[v]->AllEntries()->Count(), expectedViews[v]->AllEntries()->Count());
        auto e = expectedViews[v]->GetFirstDocument();
        auto a = actualViews[v]->GetFirstDocument();
        for (std::size_t position = 0; e; ++position) {
            ASSERT_NE(a, nullptr);
            const int index = data.views[v].documents[position];
            QStringList names;
            for (const MemoryItem& item : data.documents[static_cast<std::size_t>(index)].items) {
                names << item.name;
            }
            names << QStringLiteral("NotThere");
            EXPECT_EQ(Observe(*a, names, dir.path()), Observe(*e, names, dir.path()));
            if (data.documents[static_cast<std::size_t>(index)].size != 0) {
                EXPECT_EQ(a->Size(), e->Size());
            }
            ++documents;
            e = expectedViews[v]->GetNextDocument(e);
            a = actualViews[v]->GetNextDocument(a);
        }
        EXPECT_EQ(a, nullptr);
    }
    EXPECT_EQ(documents, 11);
}

TEST(StoreWriter, sizeEstimate_growsWithTextAndAttachments) {
    DocumentData small;
    small.AddText(QStringLiteral("Subject"), {QStringLiteral("Hi")});
    DocumentData larger = small;
    larger.AddText(QStringLiteral("Body"), {QString(3000, QLatin1Char('x'))});
    DocumentData attached = larger;
    attached.items.back().embedded.push_back(
        EmbeddedData{kEmbedAttachment, QStringLiteral("a"), QByteArray(10000, 'a'), {}});
    EXPECT_LT(StoreWriter::EstimateSize(small) + 3000, StoreWriter::EstimateSize(larger) + 1);
    EXPECT_LT(StoreWriter::EstimateSize(larger) + 10000, StoreWriter::EstimateSize(attached) + 1);
}

TEST(StoreWriter, append_addsViewsAndDocumentsAndKeepsWhatWasThere) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("append.nsf"));
    WriteStore(path, SampleData());
    {
        auto writer = StoreWriter::Append(path);
        ASSERT_TRUE(writer->FindView(QStringLiteral("Receipts")).has_value());
        EXPECT_FALSE(writer->FindView(QStringLiteral("RECEIPTS")).has_value());
        DocumentData doc;
        doc.AddText(QStringLiteral("Subject"), {QStringLiteral("Appended")});
        const std::int64_t id = writer->AddDocument(doc);
        writer->File(*writer->FindView(QStringLiteral("Receipts")), id);
        writer->File(writer->AddView(QStringLiteral("New"), true), id);
        writer->Commit();
    }
    StoreSession session;
    auto db = session.GetDatabase(QString(), path);
    auto receipts = db->GetView(QStringLiteral("Receipts"));
    ASSERT_EQ(receipts->AllEntries()->Count(), 2);
    auto second = receipts->GetNextDocument(receipts->GetFirstDocument());
    EXPECT_EQ(FirstValueText(second->GetItemValue(QStringLiteral("Subject"))),
              QStringLiteral("Appended"));
    EXPECT_EQ(db->GetView(QStringLiteral("New"))->AllEntries()->Count(), 1);
    EXPECT_EQ(db->GetView(QStringLiteral("($Inbox)"))->AllEntries()->Count(), 3);
    EXPECT_EQ(db->Views()->size(), 8u);
}

TEST(StoreWriter, append_replacesTheFileSoOpenReadersKeepTheirSnapshot) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("open.nsf"));
    WriteStore(path, SampleData());
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path, permissions));
    StoreSession session;
    auto before = session.GetDatabase(QString(), path);
    auto inbox = before->GetView(QStringLiteral("($Inbox)"));
    auto first = inbox->GetFirstDocument();
    {
        auto writer = StoreWriter::Append(path);
        DocumentData doc;
        doc.AddText(QStringLiteral("Subject"), {QStringLiteral("Late")});
        writer->File(*writer->FindView(QStringLiteral("($Inbox)")), writer->AddDocument(doc));
        writer->Commit();
    }
    EXPECT_EQ(QFile::permissions(path) & 0x7077, permissions);  // owner, group, other
    // The walk that was under way goes on in the file it started in.
    EXPECT_EQ(inbox->AllEntries()->Count(), 3);
    auto second = inbox->GetNextDocument(first);
    EXPECT_EQ(FirstValueText(second->GetItemValue(QStringLiteral("Subject"))),
              QStringLiteral("Второй"));
    EXPECT_EQ(session.GetDatabase(QString(), path)
                  ->GetView(QStringLiteral("($Inbox)"))
                  ->AllEntries()
                  ->Count(),
              4);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("open.nsf")});
}

TEST(StoreWriter, withoutCommit_nothingChangesAndNoFileIsLeft) {
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("existing.nsf"));
    WriteStore(existing, SampleData());
    const QByteArray before = ReadAll(existing);
    {
        auto writer = StoreWriter::Append(existing);
        writer->AddView(QStringLiteral("Abandoned"), true);
        writer->AddDocument(DocumentData{});
    }
    EXPECT_EQ(ReadAll(existing), before);
    {
        auto writer = StoreWriter::Create(existing);  // would replace it on Commit
        writer->SetTitle(QStringLiteral("Never"));
    }
    EXPECT_EQ(ReadAll(existing), before);
    {
        auto writer = StoreWriter::Create(dir.filePath(QStringLiteral("new.nsf")));
        writer->AddView(QStringLiteral("V"), true);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("existing.nsf")});
}

TEST(StoreWriter, unwritableTargets_failWithStoreError) {
    QTemporaryDir dir;
    EXPECT_THROW(StoreWriter::Create(dir.filePath(QStringLiteral("no/folder/x.nsf"))), StoreError);
    EXPECT_THROW(StoreWriter::Create(dir.path()), StoreError);
    EXPECT_THROW(StoreWriter::Append(dir.filePath(QStringLiteral("missing.nsf"))), StoreError);
    WriteAll(dir.filePath(QStringLiteral("text.nsf")), "not a store at all");
    EXPECT_THROW(StoreWriter::Append(dir.filePath(QStringLiteral("text.nsf"))), StoreError);
    EXPECT_EQ(ReadAll(dir.filePath(QStringLiteral("text.nsf"))), QByteArray("not a store at all"));

    auto writer = StoreWriter::Create(dir.filePath(QStringLiteral("ok.nsf")));
    EXPECT_THROW(writer->File(999, 1), StoreError);
    DocumentData doc;
    doc.Add(QStringLiteral("Body"), {QString()}, kItemRichText)
        .embedded.push_back(EmbeddedData{kEmbedAttachment,
                                         QStringLiteral("gone"),
                                         {},
                                         dir.filePath(QStringLiteral("gone.bin"))});
    EXPECT_THROW(writer->AddDocument(doc), StoreError);
}

TEST(StoreWriter, localAndZonedTimes_keepTheirMoment) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("times.nsf"));
    const QDateTime local(QDate(2011, 7, 1), QTime(12, 30), Qt::LocalTime);
    const QDateTime utc(QDate(2011, 7, 1), QTime(12, 30), QTimeZone::utc());
    {
        auto writer = StoreWriter::Create(path);
        DocumentData doc;
        doc.Add(QStringLiteral("Times"), {local, utc}, kItemDateTime);
        writer->File(writer->AddView(QStringLiteral("V"), true), writer->AddDocument(doc));
        writer->Commit();
    }
    StoreSession session;
    const NotesValues values = session.GetDatabase(QString(), path)
                                   ->GetView(QStringLiteral("V"))
                                   ->GetFirstDocument()
                                   ->GetItemValue(QStringLiteral("times"));
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(std::get<QDateTime>(values[0]), local);
    EXPECT_EQ(std::get<QDateTime>(values[0]).offsetFromUtc(), local.offsetFromUtc());
    EXPECT_EQ(std::get<QDateTime>(values[1]), utc);
}

}  // namespace
