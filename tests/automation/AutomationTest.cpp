#include "automation/Automation.h"

#include <gtest/gtest.h>

#include <stdexcept>

using velmora::automation::AutomationObject;
using velmora::automation::CreateObject;
using velmora::automation::Registry;

namespace {

struct Greeter : AutomationObject {
    int id = 0;
};
struct Other : AutomationObject {};

}  // namespace

TEST(Registry, unknownName_yieldsNothing) {
    EXPECT_EQ(Registry::Instance().Create(QStringLiteral("No.SuchClass")), nullptr);
    EXPECT_EQ(CreateObject<Greeter>(QStringLiteral("No.SuchClass")), nullptr);
}

TEST(Registry, registeredName_createsNewObjectEachTime_caseInsensitive) {
    int made = 0;
    Registry::ScopedOverride guard(QStringLiteral("Test.Greeter"), [&made] {
        auto g = std::make_shared<Greeter>();
        g->id = ++made;
        return g;
    });
    auto first = CreateObject<Greeter>(QStringLiteral("test.greeter"));
    auto second = CreateObject<Greeter>(QStringLiteral("TEST.GREETER"));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->id, 1);
    EXPECT_EQ(second->id, 2);
}

TEST(Registry, classIdentifier_worksLikeAName) {
    const QString clsid = QStringLiteral("{D54033AB-E017-44DA-B67E-02DE4B36EA54}");
    Registry::ScopedOverride guard(clsid, [] { return std::make_shared<Greeter>(); });
    EXPECT_NE(CreateObject<Greeter>(clsid.toLower()), nullptr);
}

TEST(Registry, wrongInterface_yieldsNothing) {
    Registry::ScopedOverride guard(QStringLiteral("Test.Other"),
                                   [] { return std::make_shared<Other>(); });
    EXPECT_EQ(CreateObject<Greeter>(QStringLiteral("Test.Other")), nullptr);
    EXPECT_NE(CreateObject<Other>(QStringLiteral("Test.Other")), nullptr);
}

TEST(Registry, failingFactory_yieldsNothing) {
    Registry::ScopedOverride guard(
        QStringLiteral("Test.Broken"),
        []() -> std::shared_ptr<AutomationObject> { throw std::runtime_error("not installed"); });
    EXPECT_EQ(Registry::Instance().Create(QStringLiteral("Test.Broken")), nullptr);
}

TEST(Registry, scopedOverride_restoresPreviousFactoryAndRemovesNewOnes) {
    Registry::Instance().Register(QStringLiteral("Test.Kept"), [] {
        auto g = std::make_shared<Greeter>();
        g->id = 7;
        return g;
    });
    {
        Registry::ScopedOverride guard(QStringLiteral("Test.Kept"),
                                       [] { return std::make_shared<Greeter>(); });
        Registry::ScopedOverride added(QStringLiteral("Test.Added"),
                                       [] { return std::make_shared<Greeter>(); });
        EXPECT_EQ(CreateObject<Greeter>(QStringLiteral("Test.Kept"))->id, 0);
    }
    EXPECT_EQ(CreateObject<Greeter>(QStringLiteral("Test.Kept"))->id, 7);
    EXPECT_FALSE(Registry::Instance().IsRegistered(QStringLiteral("Test.Added")));
    Registry::Instance().Unregister(QStringLiteral("Test.Kept"));
    EXPECT_FALSE(Registry::Instance().IsRegistered(QStringLiteral("Test.Kept")));
}
