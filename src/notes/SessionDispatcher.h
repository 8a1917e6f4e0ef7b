#pragma once

// One "Notes.NotesSession" over every kind of database file we read. Each reader registers
// as a provider that says how surely a file is of its kind; the session hands each file to
// the surest, so which reader answers never depends on the order they were registered in.

#include "notes/NotesObjects.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace velmora::notes {

// How surely a file is of a provider's kind.
enum class FileClaim {
    None,       // not this kind
    Possible,   // may be: the provider reads it or says why it cannot
    Signature,  // its content says so
};

struct SessionProvider {
    QString name;  // one provider per name, e.g. "store", "nsf"
    std::function<FileClaim(const QString& path)> claim;
    std::function<SessionPtr()> create;
};

// Adds provider (replacing one of the same name) and makes "Notes.NotesSession" and each of
// the further classNames create a DispatchingSession.
void RegisterSessionProvider(SessionProvider provider, const QStringList& classNames = {});

// The providers now registered, in name order.
std::vector<SessionProvider> SessionProviders();

class DispatchingSession : public NotesSession {
  public:
    // Over the providers registered now.
    DispatchingSession();
    explicit DispatchingSession(std::vector<SessionProvider> providers);

    // The database by the provider with the surest claim; on a tie, or when none claims
    // the file, the first by name, which reads it or says why not.
    DatabasePtr GetDatabase(const QString& server, const QString& path) override;

  private:
    std::vector<SessionProvider> m_providers;
    std::mutex m_mutex;
    std::map<QString, SessionPtr> m_sessions;  // one per provider, made when first needed
};

}  // namespace velmora::notes
