#include "notes/SessionDispatcher.h"

#include "automation/Automation.h"
#include "notes/NotesError.h"

#include <algorithm>

namespace velmora::notes {

namespace {

struct Providers {
    std::mutex mutex;
    std::map<QString, SessionProvider> byName;
};

Providers& Registered() {
    static Providers providers;
    return providers;
}

}  // namespace

void RegisterSessionProvider(SessionProvider provider, const QStringList& classNames) {
    {
        Providers& providers = Registered();
        std::lock_guard lock(providers.mutex);
        const QString name = provider.name;
        providers.byName[name] = std::move(provider);
    }
    for (const QString& className :
         QStringList{QStringLiteral("Notes.NotesSession")} + classNames) {
        automation::Registry::Instance().Register(
            className, [] { return std::make_shared<DispatchingSession>(); });
    }
}

std::vector<SessionProvider> SessionProviders() {
    Providers& providers = Registered();
    std::lock_guard lock(providers.mutex);
    std::vector<SessionProvider> list;
    for (const auto& [name, provider] : providers.byName) {
        list.push_back(provider);
    }
    return list;
}

DispatchingSession::DispatchingSession() : DispatchingSession(SessionProviders()) {}

DispatchingSession::DispatchingSession(std::vector<SessionProvider> providers)
    : m_providers(std::move(providers)) {
    std::sort(m_providers.begin(), m_providers.end(),
              [](const SessionProvider& a, const SessionProvider& b) { return a.name < b.name; });
}

DatabasePtr DispatchingSession::GetDatabase(const QString& server, const QString& path) {
    const SessionProvider* chosen = nullptr;
    FileClaim surest = FileClaim::None;
    for (const SessionProvider& provider : m_providers) {
        const FileClaim claim = provider.claim(path);
        if (chosen == nullptr || claim > surest) {
            chosen = &provider;
            surest = claim;
        }
    }
    if (chosen == nullptr) {
        throw NotesError(QStringLiteral("No reader of Notes databases is installed"));
    }
    SessionPtr session;
    {
        std::lock_guard lock(m_mutex);
        SessionPtr& made = m_sessions[chosen->name];
        if (!made) {
            made = chosen->create();
        }
        session = made;
    }
    return session->GetDatabase(server, path);
}

}  // namespace velmora::notes
