#pragma once

#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace velmora::automation {

// Base of every object created by class name, as an automation server's objects are.
class AutomationObject {
  public:
    virtual ~AutomationObject() = default;
};

using Factory = std::function<std::shared_ptr<AutomationObject>()>;

// Maps class names ("Notes.NotesSession") and class identifiers ("{D54033AB-...}") to
// factories. Names are matched without regard to case, as class names are.
class Registry {
  public:
    static Registry& Instance();

    void Register(const QString& nameOrClassId, Factory factory);
    void Unregister(const QString& nameOrClassId);
    bool IsRegistered(const QString& nameOrClassId) const;

    // The new object, or nullptr when the name is unknown or its factory fails.
    std::shared_ptr<AutomationObject> Create(const QString& nameOrClassId) const;

    // Replaces the factory for the lifetime of the guard, then puts back what was there.
    class ScopedOverride {
      public:
        ScopedOverride(const QString& nameOrClassId, Factory factory);
        ~ScopedOverride();
        ScopedOverride(const ScopedOverride&) = delete;
        ScopedOverride& operator=(const ScopedOverride&) = delete;

      private:
        QString m_name;
        Factory m_previous;
    };

  private:
    Factory Find(const QString& key) const;

    mutable std::mutex m_mutex;
    std::map<QString, Factory> m_factories;  // keyed by lower-case name
};

// Creates the object and casts it to the interface the caller needs; nullptr when the
// class is unknown or does not offer that interface.
template <class Interface>
std::shared_ptr<Interface> CreateObject(const QString& nameOrClassId) {
    return std::dynamic_pointer_cast<Interface>(Registry::Instance().Create(nameOrClassId));
}

}  // namespace velmora::automation
