#include "Automation.h"

namespace velmora::automation {

namespace {
QString KeyOf(const QString& name) {
    return name.trimmed().toLower();
}
}  // namespace

Registry& Registry::Instance() {
    static Registry registry;
    return registry;
}

void Registry::Register(const QString& nameOrClassId, Factory factory) {
    std::lock_guard lock(m_mutex);
    if (factory) {
        m_factories[KeyOf(nameOrClassId)] = std::move(factory);
    } else {
        m_factories.erase(KeyOf(nameOrClassId));
    }
}

void Registry::Unregister(const QString& nameOrClassId) {
    std::lock_guard lock(m_mutex);
    m_factories.erase(KeyOf(nameOrClassId));
}

bool Registry::IsRegistered(const QString& nameOrClassId) const {
    return static_cast<bool>(Find(KeyOf(nameOrClassId)));
}

Factory Registry::Find(const QString& key) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_factories.find(key);
    return it == m_factories.end() ? Factory{} : it->second;
}

std::shared_ptr<AutomationObject> Registry::Create(const QString& nameOrClassId) const {
    // Called without the lock held so that a factory may itself create objects.
    const Factory factory = Find(KeyOf(nameOrClassId));
    if (!factory) {
        return nullptr;
    }
    try {
        return factory();
    } catch (...) {
        return nullptr;
    }
}

Registry::ScopedOverride::ScopedOverride(const QString& nameOrClassId, Factory factory)
    : m_name(nameOrClassId), m_previous(Instance().Find(KeyOf(nameOrClassId))) {
    Instance().Register(m_name, std::move(factory));
}

Registry::ScopedOverride::~ScopedOverride() {
    Instance().Register(m_name, std::move(m_previous));
}

}  // namespace velmora::automation
