#include "StoreTestSupport.h"

#include "components/notesstore/DemoGenerator.h"
#include "components/notesstore/StoreSession.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace velmora::notes;
using namespace velmora::notesstore;
using namespace velmora::notesstore::test;

namespace {

class DemoTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        s_path = s_dir->filePath(QStringLiteral("Demo.nsf"));
        auto writer = StoreWriter::Create(s_path);
        GenerateDemo(*writer);
        writer->Commit();
    }
    static void TearDownTestSuite() { delete s_dir; }

    void SetUp() override { m_db = m_session.GetDatabase(QString(), s_path); }

    // Every document of every view, keyed by view name (duplicates get "#2").
    std::map<QString, std::vector<DocumentPtr>> Documents() {
        std::map<QString, std::vector<DocumentPtr>> result;
        const ViewList views = m_db->Views().value();
        for (const ViewPtr& view : views) {
            QString key = view->Name();
            while (result.count(key)) {
                key += QStringLiteral("#2");
            }
            auto& docs = result[key];
            for (DocumentPtr doc = view->GetFirstDocument(); doc;
                 doc = view->GetNextDocument(doc)) {
                docs.push_back(doc);
            }
        }
        return result;
    }
    std::vector<DocumentPtr> In(const QString& view) {
        std::vector<DocumentPtr> docs;
        auto v = m_db->GetView(view);
        for (DocumentPtr doc = v->GetFirstDocument(); doc; doc = v->GetNextDocument(doc)) {
            docs.push_back(doc);
        }
        return docs;
    }
    static QString Text(const DocumentPtr& doc, const QString& item) {
        return FirstValueText(doc->GetItemValue(item));
    }
    static QStringList All(const DocumentPtr& doc, const QString& item) {
        QStringList values;
        for (const NotesValue& value : doc->GetItemValue(item)) {
            values << ValueToText(value);
        }
        return values;
    }

    static QTemporaryDir* s_dir;
    static QString s_path;
    StoreSession m_session;
    DatabasePtr m_db;
};

QTemporaryDir* DemoTest::s_dir = nullptr;
QString DemoTest::s_path;

TEST_F(DemoTest, generatingTwice_givesIdenticalBytes) {
    const QString again = s_dir->filePath(QStringLiteral("Again.nsf"));
    auto writer = StoreWriter::Create(again);
    GenerateDemo(*writer);
    writer->Commit();
    EXPECT_EQ(ReadAll(again), ReadAll(s_path));
}

TEST_F(DemoTest, views_coverHiddenNonFolderDuplicateCaseVariantAndHostileNames) {
    std::map<QString, int> folders, views;
    const ViewList all = m_db->Views().value();
    for (const ViewPtr& view : all) {
        ++(view->isfolder() ? folders : views)[view->Name()];
    }
    for (const char* name : {"($Inbox)", "($Follow-Up)", "($JunkMail)", "($Trash)", "Projects",
                             "Projects\\2010", "Archive\\Old", "receipts", "Receipts",
                             "Clients/Europe: 2011", "Q&A <draft>", "Trash", "Empty Folder"}) {
        EXPECT_EQ(folders[QString::fromUtf8(name)], 1) << name;
    }
    for (const char* name : {"($Drafts)", "($Sent)", "($All)", "($Calendar)", "Meetings"}) {
        EXPECT_EQ(views[QString::fromUtf8(name)], 1) << name;
    }
    EXPECT_EQ(folders[QStringLiteral("Customers")], 2);
    EXPECT_EQ(folders.count(QStringLiteral("Archive")), 0u);
    EXPECT_EQ(m_db->GetView(QStringLiteral("Empty Folder"))->AllEntries()->Count(), 0);
    EXPECT_GT(m_db->GetView(QStringLiteral("Newsletters"))->AllEntries()->Count(), 16);
    for (const QString& name : {QStringLiteral("($Inbox)"), QStringLiteral("($Drafts)"),
                                QStringLiteral("($Sent)"), QStringLiteral("($JunkMail)"),
                                QStringLiteral("($Trash)"), QStringLiteral("($Follow-Up)")}) {
        EXPECT_GT(m_db->GetView(name)->AllEntries()->Count(), 0) << name.toStdString();
    }
}

TEST_F(DemoTest, someDocuments_areFiledInTwoFolders) {
    std::map<QString, std::set<QString>> foldersOfSubject;
    for (const auto& [view, docs] : Documents()) {
        if (view.startsWith(QLatin1Char('('))) {
            continue;
        }
        for (const DocumentPtr& doc : docs) {
            foldersOfSubject[Text(doc, QStringLiteral("Subject"))].insert(view);
        }
    }
    int twice = 0;
    for (const auto& [subject, folders] : foldersOfSubject) {
        twice += folders.size() >= 2 && !subject.isEmpty() ? 1 : 0;
    }
    EXPECT_GE(twice, 2);
}

TEST_F(DemoTest, subjects_coverScriptsHostileCharactersBlanksAndAbsence) {
    QString subjects;
    int withoutSubject = 0;
    bool leadingBlanks = false;
    for (const DocumentPtr& doc : In(QStringLiteral("($All)"))) {
        if (!doc->hasitem(QStringLiteral("Subject"))) {
            ++withoutSubject;
            continue;
        }
        const QString subject = Text(doc, QStringLiteral("Subject"));
        subjects += subject;
        leadingBlanks = leadingBlanks || subject.startsWith(QStringLiteral("  "));
    }
    EXPECT_EQ(withoutSubject, 1);
    EXPECT_TRUE(leadingBlanks);
    for (QChar c : QStringLiteral(":?/\\*<>|\"")) {
        EXPECT_TRUE(subjects.contains(c)) << int(c.unicode());
    }
    std::set<QChar::Script> scripts;
    for (QChar c : subjects) {
        scripts.insert(c.script());
    }
    for (QChar::Script script : {QChar::Script_Latin, QChar::Script_Cyrillic, QChar::Script_Greek,
                                 QChar::Script_Han, QChar::Script_Arabic}) {
        EXPECT_TRUE(scripts.count(script)) << script;
    }
    EXPECT_TRUE(subjects.contains(QStringLiteral("é")));
}

TEST_F(DemoTest, addresses_useNotesNamesInternetFormsAndPlaceholders) {
    bool placeholder[3] = {false, false, false};
    bool internetFromPlaceholder = false, bcc = false;
    for (const DocumentPtr& doc : In(QStringLiteral("($All)"))) {
        EXPECT_TRUE(Text(doc, QStringLiteral("From")).startsWith(QStringLiteral("CN=")) ||
                    Text(doc, QStringLiteral("From")).contains(QLatin1Char('<')));
        const QStringList items{QStringLiteral("InetSendTo"), QStringLiteral("InetCopyTo"),
                                QStringLiteral("InetBlindCopyTo")};
        for (int i = 0; i < 3; ++i) {
            placeholder[i] = placeholder[i] || All(doc, items[i]).contains(QStringLiteral("."));
        }
        internetFromPlaceholder =
            internetFromPlaceholder || Text(doc, QStringLiteral("INetFrom")) == QLatin1String(".");
        bcc = bcc || doc->hasitem(QStringLiteral("BlindCopyTo"));
        if (doc->hasitem(QStringLiteral("InetCopyTo"))) {
            EXPECT_EQ(All(doc, QStringLiteral("InetCopyTo")).size(),
                      All(doc, QStringLiteral("CopyTo")).size());
        }
    }
    EXPECT_TRUE(placeholder[0] && placeholder[1] && placeholder[2]);
    EXPECT_TRUE(internetFromPlaceholder);
    EXPECT_TRUE(bcc);
}

TEST_F(DemoTest, draftsAndJunk_carryTheirOwnDateItems) {
    for (const DocumentPtr& doc : In(QStringLiteral("($Drafts)"))) {
        EXPECT_FALSE(doc->hasitem(QStringLiteral("PostedDate")));
        const NotesValues revisions = doc->GetItemValue(QStringLiteral("$Revisions"));
        ASSERT_FALSE(revisions.empty());
        EXPECT_TRUE(std::holds_alternative<QDateTime>(revisions.front()));
    }
    for (const DocumentPtr& doc : In(QStringLiteral("($JunkMail)"))) {
        EXPECT_TRUE(std::holds_alternative<QDateTime>(
            doc->GetItemValue(QStringLiteral("DeliveredDate")).front()));
    }
}

TEST_F(DemoTest, attachments_coverKindsSizesSameNamesOleAndPlainBodies) {
    std::map<int, int> types;
    bool pdf = false, png = false, large = false, sameName = false, plainBodyWithObjects = false;
    for (const DocumentPtr& doc : In(QStringLiteral("($All)"))) {
        auto body = doc->GetFirstItem(QStringLiteral("Body"));
        ASSERT_NE(body, nullptr);
        if (body->Type() != kItemRichText) {
            plainBodyWithObjects = plainBodyWithObjects || doc->HasEmbedded();
            continue;
        }
        QStringList names;
        const EmbeddedObjectList objects = body->EmbeddedObjects().value();
        for (const auto& object : objects) {
            ++types[object->Type()];
            sameName = sameName || names.contains(object->Name());
            names << object->Name();
            if (object->Type() != kEmbedAttachment) {
                continue;
            }
            const QString path = s_dir->filePath(QStringLiteral("extracted"));
            object->ExtractFile(path);
            const QByteArray bytes = ReadAll(path);
            pdf = pdf || (bytes.startsWith("%PDF-") && bytes.trimmed().endsWith("%%EOF"));
            png = png || bytes.startsWith("\x89PNG\r\n\x1a\n");
            large = large || bytes.size() >= kDemoLargeAttachmentBytes;
        }
        EXPECT_EQ(doc->HasEmbedded(), !names.isEmpty());
    }
    EXPECT_TRUE(pdf);
    EXPECT_TRUE(png);
    EXPECT_TRUE(large);
    EXPECT_TRUE(sameName);
    EXPECT_TRUE(plainBodyWithObjects);
    EXPECT_GT(types[kEmbedObject], 0);
    EXPECT_GT(types[kEmbedObjectLink], 0);
}

TEST_F(DemoTest, bodies_includeHtmlMailAndFormattedRichText) {
    QStringList html, formatted;
    for (const DocumentPtr& doc : In(QStringLiteral("($All)"))) {
        const auto entity = doc->GetMIMEEntity(QStringLiteral("Body"));
        if (!entity) {
            continue;
        }
        const QString subject = Text(doc, QStringLiteral("Subject"));
        (doc->GetFirstItem(QStringLiteral("Body"))->Type() == kItemMimePart ? html : formatted)
            << subject;
        EXPECT_TRUE(entity->contains("Content-Type:")) << subject.toStdString();
    }
    html.sort();
    EXPECT_EQ(html, (QStringList{QStringLiteral("Invoice 2011-0411"),
                                 QStringLiteral("Quarnix Weekly: spring special (HTML)"),
                                 QStringLiteral("Re: Site visit")}));
    EXPECT_EQ(formatted, QStringList{QStringLiteral("Project status, week 14 (formatted)")});
    for (const DocumentPtr& doc : In(QStringLiteral("($Drafts)"))) {
        EXPECT_EQ(doc->Created(),
                  std::get<QDateTime>(doc->GetItemValue(QStringLiteral("$Revisions")).front()));
    }
}

TEST(ScaledDemo, formattedMix_givesAThirdEachOfPlainHtmlAndRichText) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mixed.nsf"));
    {
        auto writer = StoreWriter::Create(path);
        GenerateScaled(*writer, 300, ScaledMix::Formatted);
        writer->Commit();
    }
    StoreSession session;
    auto all = session.GetDatabase(QString(), path)->GetView(QStringLiteral("($All)"));
    std::map<int, int> kinds;  // 0 plain, 1 HTML, 2 rich text
    for (DocumentPtr doc = all->GetFirstDocument(); doc; doc = all->GetNextDocument(doc)) {
        const auto entity = doc->GetMIMEEntity(QStringLiteral("Body"));
        ++kinds[!entity                                                              ? 0
                : doc->GetFirstItem(QStringLiteral("Body"))->Type() == kItemMimePart ? 1
                                                                                     : 2];
    }
    EXPECT_EQ(kinds, (std::map<int, int>{{0, 100}, {1, 100}, {2, 100}}));
}

TEST(ScaledDemo, spreadsMessagesOverViewsAndOneFolderPerHundred) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("scaled.nsf"));
    {
        auto writer = StoreWriter::Create(path);
        GenerateScaled(*writer, 2000);
        writer->Commit();
    }
    StoreSession session;
    auto db = session.GetDatabase(QString(), path);
    int userFolders = 0, nested = 0;
    std::int64_t filed = 0;
    const ViewList views = db->Views().value();
    for (const ViewPtr& view : views) {
        if (view->Name() == QLatin1String("($All)")) {
            EXPECT_EQ(view->AllEntries()->Count(), 2000);
            continue;
        }
        if (!view->Name().startsWith(QLatin1Char('('))) {
            ++userFolders;
            nested += view->Name().contains(QLatin1Char('\\')) ? 1 : 0;
            EXPECT_GT(view->AllEntries()->Count(), 0) << view->Name().toStdString();
        }
        if (view->Name() != QLatin1String("($Follow-Up)")) {
            filed += view->AllEntries()->Count();
        }
    }
    EXPECT_EQ(userFolders, 20);
    EXPECT_EQ(nested, 18);
    EXPECT_EQ(filed, 2000);  // every message in exactly one place besides ($All)
}

}  // namespace
