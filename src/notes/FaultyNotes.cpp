#include "notes/FaultyNotes.h"

namespace velmora::notes {

namespace {

QString KeyOf(const QString& member, const QString& argument) {
    return argument.isEmpty() ? member : member + QLatin1Char(':') + argument;
}

using PlanPtr = std::shared_ptr<FaultPlan>;

class FaultyEmbedded : public NotesEmbeddedObject {
  public:
    FaultyEmbedded(std::shared_ptr<NotesEmbeddedObject> inner, PlanPtr plan)
        : m_inner(std::move(inner)), m_plan(std::move(plan)) {}
    int Type() override {
        m_plan->Check(QStringLiteral("Embedded.Type"));
        return m_inner->Type();
    }
    QString Name() override {
        m_plan->Check(QStringLiteral("Embedded.Name"));
        return m_inner->Name();
    }
    void ExtractFile(const QString& path) override {
        m_plan->Check(QStringLiteral("Embedded.ExtractFile"), path);
        m_inner->ExtractFile(path);
    }

  private:
    std::shared_ptr<NotesEmbeddedObject> m_inner;
    PlanPtr m_plan;
};

class FaultyItem : public NotesItem {
  public:
    FaultyItem(std::shared_ptr<NotesItem> inner, PlanPtr plan)
        : m_inner(std::move(inner)), m_plan(std::move(plan)) {}
    int Type() override {
        m_plan->Check(QStringLiteral("Item.Type"));
        return m_inner->Type();
    }
    std::optional<EmbeddedObjectList> EmbeddedObjects() override {
        m_plan->Check(QStringLiteral("Item.EmbeddedObjects"));
        auto list = m_inner->EmbeddedObjects();
        if (list) {
            for (auto& object : *list) {
                object = std::make_shared<FaultyEmbedded>(object, m_plan);
            }
        }
        return list;
    }

  private:
    std::shared_ptr<NotesItem> m_inner;
    PlanPtr m_plan;
};

class FaultyDocument : public NotesDocument {
  public:
    FaultyDocument(DocumentPtr inner, PlanPtr plan)
        : m_inner(std::move(inner)), m_plan(std::move(plan)) {}
    bool hasitem(const QString& name) override {
        m_plan->Check(QStringLiteral("Document.hasitem"), name);
        return m_inner->hasitem(name);
    }
    NotesValues GetItemValue(const QString& name) override {
        m_plan->Check(QStringLiteral("Document.GetItemValue"), name);
        return m_inner->GetItemValue(name);
    }
    std::int64_t Size() override {
        m_plan->Check(QStringLiteral("Document.Size"));
        return m_inner->Size();
    }
    bool HasEmbedded() override {
        m_plan->Check(QStringLiteral("Document.HasEmbedded"));
        return m_inner->HasEmbedded();
    }
    std::shared_ptr<NotesItem> GetFirstItem(const QString& name) override {
        m_plan->Check(QStringLiteral("Document.GetFirstItem"), name);
        auto item = m_inner->GetFirstItem(name);
        return item ? std::make_shared<FaultyItem>(item, m_plan) : nullptr;
    }
    QString UniversalID() override {
        m_plan->Check(QStringLiteral("Document.UniversalID"));
        return m_inner->UniversalID();
    }
    QString NoteID() override {
        m_plan->Check(QStringLiteral("Document.NoteID"));
        return m_inner->NoteID();
    }
    std::optional<QByteArray> GetMIMEEntity(const QString& itemName) override {
        m_plan->Check(QStringLiteral("Document.GetMIMEEntity"), itemName);
        return m_inner->GetMIMEEntity(itemName);
    }
    std::optional<QDateTime> Created() override {
        m_plan->Check(QStringLiteral("Document.Created"));
        return m_inner->Created();
    }
    QStringList ItemNames() override {
        m_plan->Check(QStringLiteral("Document.ItemNames"));
        return m_inner->ItemNames();
    }
    const DocumentPtr& Inner() const { return m_inner; }

  private:
    DocumentPtr m_inner;
    PlanPtr m_plan;
};

class FaultyEntries : public NotesViewEntryCollection {
  public:
    FaultyEntries(std::shared_ptr<NotesViewEntryCollection> inner, PlanPtr plan)
        : m_inner(std::move(inner)), m_plan(std::move(plan)) {}
    std::int64_t Count() override {
        m_plan->Check(QStringLiteral("Entries.Count"));
        return m_inner->Count();
    }

  private:
    std::shared_ptr<NotesViewEntryCollection> m_inner;
    PlanPtr m_plan;
};

DocumentPtr WrapDocument(DocumentPtr document, const PlanPtr& plan) {
    return document ? std::make_shared<FaultyDocument>(std::move(document), plan) : nullptr;
}

class FaultyView : public NotesView {
  public:
    FaultyView(ViewPtr inner, PlanPtr plan) : m_inner(std::move(inner)), m_plan(std::move(plan)) {}
    QString Name() override {
        m_plan->Check(QStringLiteral("View.Name"));
        return m_inner->Name();
    }
    bool isfolder() override {
        m_plan->Check(QStringLiteral("View.isfolder"));
        return m_inner->isfolder();
    }
    std::shared_ptr<NotesViewEntryCollection> AllEntries() override {
        m_plan->Check(QStringLiteral("View.AllEntries"));
        auto entries = m_inner->AllEntries();
        return entries ? std::make_shared<FaultyEntries>(entries, m_plan) : nullptr;
    }
    DocumentPtr GetFirstDocument() override {
        m_plan->Check(QStringLiteral("View.GetFirstDocument"));
        return WrapDocument(m_inner->GetFirstDocument(), m_plan);
    }
    DocumentPtr GetNextDocument(const DocumentPtr& current) override {
        m_plan->Check(QStringLiteral("View.GetNextDocument"));
        const auto* faulty = dynamic_cast<const FaultyDocument*>(current.get());
        return WrapDocument(m_inner->GetNextDocument(faulty ? faulty->Inner() : current), m_plan);
    }

  private:
    ViewPtr m_inner;
    PlanPtr m_plan;
};

ViewPtr WrapView(ViewPtr view, const PlanPtr& plan) {
    return view ? std::make_shared<FaultyView>(std::move(view), plan) : nullptr;
}

class FaultyDatabase : public NotesDatabase {
  public:
    FaultyDatabase(DatabasePtr inner, PlanPtr plan)
        : m_inner(std::move(inner)), m_plan(std::move(plan)) {}
    QString Title() override {
        m_plan->Check(QStringLiteral("Database.Title"));
        return m_inner->Title();
    }
    std::optional<ViewList> Views() override {
        m_plan->Check(QStringLiteral("Database.Views"));
        auto views = m_inner->Views();
        if (views) {
            for (auto& view : *views) {
                view = WrapView(view, m_plan);
            }
        }
        return views;
    }
    ViewPtr GetView(const QString& name) override {
        m_plan->Check(QStringLiteral("Database.GetView"), name);
        return WrapView(m_inner->GetView(name), m_plan);
    }

  private:
    DatabasePtr m_inner;
    PlanPtr m_plan;
};

class FaultySession : public NotesSession {
  public:
    FaultySession(SessionPtr inner, PlanPtr plan)
        : m_inner(std::move(inner)), m_plan(std::move(plan)) {}
    DatabasePtr GetDatabase(const QString& server, const QString& path) override {
        m_plan->Check(QStringLiteral("Session.GetDatabase"), path);
        auto database = m_inner->GetDatabase(server, path);
        return database ? std::make_shared<FaultyDatabase>(database, m_plan) : nullptr;
    }

  private:
    SessionPtr m_inner;
    PlanPtr m_plan;
};

}  // namespace

void FaultPlan::FailOn(const QString& member, int nth, const QString& argument) {
    std::lock_guard lock(m_mutex);
    m_rules.push_back(Rule{KeyOf(member, argument), nth});
}

int FaultPlan::Calls(const QString& member, const QString& argument) const {
    std::lock_guard lock(m_mutex);
    return m_calls.value(KeyOf(member, argument));
}

void FaultPlan::Check(const QString& member, const QString& argument) {
    std::lock_guard lock(m_mutex);
    const int plain = ++m_calls[member];
    const int withArgument = argument.isEmpty() ? 0 : ++m_calls[KeyOf(member, argument)];
    for (const Rule& rule : m_rules) {
        int count = 0;
        if (rule.key == member) {
            count = plain;
        } else if (!argument.isEmpty() && rule.key == KeyOf(member, argument)) {
            count = withArgument;
        } else {
            continue;
        }
        if (rule.nth == 0 || rule.nth == count) {
            throw NotesError(
                QStringLiteral("Injected failure of %1 (call %2)").arg(rule.key).arg(count));
        }
    }
}

SessionPtr WithFaults(SessionPtr inner, std::shared_ptr<FaultPlan> plan) {
    return std::make_shared<FaultySession>(std::move(inner), std::move(plan));
}

}  // namespace velmora::notes
