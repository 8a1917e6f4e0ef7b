#include "notes/FaultyNotes.h"
#include "notes/MemoryNotes.h"

#include <gtest/gtest.h>

using namespace velmora::notes;

namespace {

SessionPtr Inner() {
    auto data = std::make_shared<MemoryDatabaseData>();
    data->title = QStringLiteral("T");
    for (int i = 0; i < 4; ++i) {
        MemoryDocument doc;
        doc.SetText(QStringLiteral("Subject"), {QString::number(i)});
        doc.SetText(QStringLiteral("From"), {QStringLiteral("f")});
        data->AddDocument(doc, {QStringLiteral("F")});
    }
    auto session = std::make_shared<MemorySession>();
    session->AddDatabase(QStringLiteral("p"), data);
    return session;
}

}  // namespace

TEST(FaultyNotes, withoutRulesBehavesLikeTheInnerSession) {
    auto plan = std::make_shared<FaultPlan>();
    auto session = WithFaults(Inner(), plan);
    auto view = session->GetDatabase({}, QStringLiteral("p"))->GetView(QStringLiteral("F"));
    int n = 0;
    for (auto doc = view->GetFirstDocument(); doc; doc = view->GetNextDocument(doc)) {
        EXPECT_EQ(FirstValueText(doc->GetItemValue(QStringLiteral("Subject"))), QString::number(n));
        ++n;
    }
    EXPECT_EQ(n, 4);
    EXPECT_EQ(plan->Calls(QStringLiteral("View.GetNextDocument")), 4);
    EXPECT_EQ(plan->Calls(QStringLiteral("Document.GetItemValue"), QStringLiteral("Subject")), 4);
}

TEST(FaultyNotes, failsOnTheNthCallOnly) {
    auto plan = std::make_shared<FaultPlan>();
    plan->FailOn(QStringLiteral("Database.Title"), 2);
    auto session = WithFaults(Inner(), plan);
    EXPECT_EQ(session->GetDatabase({}, QStringLiteral("p"))->Title(), QStringLiteral("T"));
    auto db = session->GetDatabase({}, QStringLiteral("p"));
    EXPECT_THROW(db->Title(), NotesError);
    EXPECT_EQ(db->Title(), QStringLiteral("T"));
}

TEST(FaultyNotes, alwaysAndPerArgumentRules) {
    auto plan = std::make_shared<FaultPlan>();
    plan->FailOn(QStringLiteral("Document.GetItemValue"), 0, QStringLiteral("From"));
    plan->FailOn(QStringLiteral("Session.GetDatabase"), 0, QStringLiteral("bad.nsf"));
    auto session = WithFaults(Inner(), plan);
    EXPECT_THROW(session->GetDatabase({}, QStringLiteral("bad.nsf")), NotesError);
    auto doc = session->GetDatabase({}, QStringLiteral("p"))
                   ->GetView(QStringLiteral("F"))
                   ->GetFirstDocument();
    EXPECT_NO_THROW(doc->GetItemValue(QStringLiteral("Subject")));
    EXPECT_THROW(doc->GetItemValue(QStringLiteral("From")), NotesError);
    EXPECT_THROW(doc->GetItemValue(QStringLiteral("From")), NotesError);
}
