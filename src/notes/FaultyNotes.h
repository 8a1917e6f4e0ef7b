#pragma once

// A decorator over any Notes session that makes chosen members fail, so that every
// tolerant and strict path can be driven in tests.

#include "notes/NotesObjects.h"

#include <QHash>
#include <QString>

#include <memory>
#include <mutex>

namespace velmora::notes {

// Members are named "Class.Member": "Session.GetDatabase", "Database.Title",
// "Database.Views", "Database.GetView", "View.Name", "View.isfolder", "View.AllEntries",
// "Entries.Count", "View.GetFirstDocument", "View.GetNextDocument", "Document.hasitem",
// "Document.GetItemValue", "Document.Size", "Document.HasEmbedded",
// "Document.GetFirstItem", "Document.UniversalID", "Document.NoteID",
// "Document.GetMIMEEntity", "Document.Created", "Item.Type",
// "Item.EmbeddedObjects", "Embedded.Type", "Embedded.Name", "Embedded.ExtractFile".
class FaultPlan {
  public:
    // The member fails on its nth call (counted from 1 over every object of the session);
    // nth = 0 makes it fail always. With an argument, only calls with that argument
    // (an item or view name, a path) count and fail.
    void FailOn(const QString& member, int nth = 0, const QString& argument = {});

    // Calls made so far to member (with argument, when given).
    int Calls(const QString& member, const QString& argument = {}) const;

    // Counts one call and throws NotesError when the plan says so.
    void Check(const QString& member, const QString& argument = {});

  private:
    struct Rule {
        QString key;
        int nth;
    };
    mutable std::mutex m_mutex;
    QHash<QString, int> m_calls;
    std::vector<Rule> m_rules;
};

SessionPtr WithFaults(SessionPtr inner, std::shared_ptr<FaultPlan> plan);

}  // namespace velmora::notes
