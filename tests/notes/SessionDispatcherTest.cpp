#include "automation/Automation.h"
#include "components/StandardComponents.h"
#include "notes/SessionDispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace velmora::notes;

namespace {

// Says which provider it belongs to through the path it was asked for.
class NamedSession : public NotesSession {
  public:
    NamedSession(QString name, QStringList& log) : m_name(std::move(name)), m_log(log) {}
    DatabasePtr GetDatabase(const QString& /*server*/, const QString& path) override {
        m_log << m_name + QLatin1Char(':') + path;
        return nullptr;
    }

  private:
    QString m_name;
    QStringList& m_log;
};

SessionProvider Provider(const QString& name, FileClaim onSuffix, FileClaim otherwise,
                         QStringList& log) {
    return {name,
            [=](const QString& path) {
                return path.endsWith(QLatin1Char('.') + name) ? onSuffix : otherwise;
            },
            [name, &log] { return std::make_shared<NamedSession>(name, log); }};
}

}  // namespace

TEST(SessionDispatcher, theSurestClaimWinsWhateverTheRegistrationOrder) {
    QStringList log;
    std::vector<SessionProvider> providers = {
        Provider(QStringLiteral("b"), FileClaim::Signature, FileClaim::Possible, log),
        Provider(QStringLiteral("a"), FileClaim::Signature, FileClaim::None, log),
        Provider(QStringLiteral("c"), FileClaim::Signature, FileClaim::None, log),
    };
    const struct {
        const char* path;
        const char* answeredBy;
    } rows[] = {{"x.a", "a"}, {"x.c", "c"}, {"x.b", "b"}, {"x.zip", "b"}, {"", "b"}};
    std::sort(providers.begin(), providers.end(),
              [](const auto& l, const auto& r) { return l.name < r.name; });
    int orders = 0;
    do {
        DispatchingSession session(providers);
        for (const auto& row : rows) {
            log.clear();
            session.GetDatabase(QString(), QString::fromLatin1(row.path));
            EXPECT_EQ(log, QStringList(QStringLiteral("%1:%2").arg(row.answeredBy, row.path)))
                << "order " << orders;
        }
        ++orders;
    } while (std::next_permutation(providers.begin(), providers.end(),
                                   [](const auto& l, const auto& r) { return l.name < r.name; }));
    EXPECT_EQ(orders, 6);

    // Nobody claims it: the first by name reads it or says why not, in either order.
    for (const auto& pair :
         {std::vector{providers[0], providers[2]}, std::vector{providers[2], providers[0]}}) {
        log.clear();
        DispatchingSession(pair).GetDatabase(QString(), QStringLiteral("x.zip"));
        EXPECT_EQ(log, QStringList(QStringLiteral("a:x.zip")));
    }
    EXPECT_THROW(DispatchingSession(std::vector<SessionProvider>())
                     .GetDatabase(QString(), QStringLiteral("x")),
                 NotesError);
}

TEST(SessionDispatcher, standardComponents_answerBothSessionNamesWithTheDispatcher) {
    velmora::RegisterStandardComponents();
    QStringList names;
    for (const SessionProvider& provider : SessionProviders()) {
        names << provider.name;
    }
    EXPECT_EQ(names, QStringList({QStringLiteral("nsf"), QStringLiteral("store")}));
    for (const char* name : {"Notes.NotesSession", "Domino.NotesSession"}) {
        EXPECT_NE(std::dynamic_pointer_cast<DispatchingSession>(
                      velmora::automation::Registry::Instance().Create(QString::fromLatin1(name))),
                  nullptr)
            << name;
    }
}
