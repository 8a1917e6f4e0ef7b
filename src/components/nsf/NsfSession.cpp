#include "components/nsf/NsfSession.h"

#include "components/nsf/Attachments.h"
#include "components/nsf/Folders.h"
#include "components/nsf/Mime.h"
#include "components/nsf/NsfDatabase.h"
#include "components/nsf/TimeDate.h"
#include "components/nsf/Values.h"
#include "components/richtext/RichTextMime.h"
#include "notes/SessionDispatcher.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <mutex>

namespace velmora::nsf {

using namespace velmora::notes;

namespace {

// Where a value's item lives and how it reads.
struct ItemRef {
    NoteItem item;
    bool richText = false;
};

class Model;
using ModelPtr = std::shared_ptr<const Model>;

struct ViewRow {
    QString name;
    bool isFolder = false;
    std::vector<std::size_t> documents;  // indices into Model::notes
};

// Everything the members need of one open file, read once when it is first used.
class Model {
  public:
    explicit Model(const QString& path) : db(NsfDatabase::Open(path)), notes(db->Notes()) {
        std::vector<std::size_t> mail;
        std::vector<std::size_t> other;
        for (std::size_t i = 0; i < notes.size(); ++i) {
            const NoteRecord& note = notes[i];
            if ((note.noteClass & kClassView) != 0) {
                AddView(note);
            } else if (note.IsDocument()) {
                switch (Classify(note)) {
                    case Kind::kMail:
                        mail.push_back(i);
                        break;
                    case Kind::kOther:
                        other.push_back(i);
                        break;
                    case Kind::kProfile:
                        break;
                }
            }
        }
        unreadable += static_cast<std::int64_t>(db->Damage().documents);
        AddCatchAll(QString::fromLatin1(kAllMailFolder), std::move(mail));
        // Documents no folder lists (data documents of any form) are not lost either.
        std::vector<bool> filed(notes.size(), false);
        for (const ViewRow& view : views) {
            for (const std::size_t i : view.documents) {
                filed[i] = true;
            }
        }
        std::erase_if(other, [&](std::size_t i) { return filed[i]; });
        if (!other.empty()) {
            AddCatchAll(QString::fromLatin1(kOtherDocumentsFolder), std::move(other));
        }
    }

    std::vector<NoteItem> ItemsOf(std::size_t index) const { return db->Items(notes[index]); }

    std::unique_ptr<NsfDatabase> db;
    const std::vector<NoteRecord>& notes;
    std::vector<ViewRow> views;
    // Documents whose items cannot be read, and those lost with damaged buckets.
    std::int64_t unreadable = 0;

  private:
    static const NoteItem* Find(const std::vector<NoteItem>& items, const char* name) {
        for (const NoteItem& item : items) {
            if (item.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
                return &item;
            }
        }
        return nullptr;
    }
    static QString FirstText(const NoteItem* item) {
        if (item == nullptr) {
            return {};
        }
        const NotesValues values = DecodeValues(item->type, item->value);
        return values.empty() ? QString() : ValueToText(values.front());
    }

    void AddView(const NoteRecord& note) {
        try {
            const auto items = db->Items(note);
            QString title = FirstText(Find(items, "$TITLE"));
            // "Name|alias": the view is known by its name.
            title = title.section(QLatin1Char('|'), 0, 0);
            if (title.isEmpty()) {
                return;
            }
            const bool folder = FirstText(Find(items, "$Flags")).contains(QLatin1Char('F'));
            std::vector<std::size_t> documents;
            QString why;
            if (folder) {
                // Best effort: a folder that cannot be read is listed empty, and "All Mail"
                // still holds its mail.
                for (const std::uint32_t id :
                     FolderNoteIds(*db, items, &why).value_or(std::vector<std::uint32_t>{})) {
                    const NoteRecord* member = db->FindNote(id);
                    if (member != nullptr && member->IsDocument()) {
                        documents.push_back(static_cast<std::size_t>(member - notes.data()));
                    }
                }
            }
            views.push_back({title, folder, std::move(documents)});
        } catch (const NotesError&) {
            // A design note that cannot be read leaves its view out; the mail stays reachable.
        }
    }

    // A folder the reader adds, named apart from the database's own views.
    void AddCatchAll(QString name, std::vector<std::size_t> documents) {
        while (std::any_of(views.begin(), views.end(),
                           [&](const ViewRow& v) { return v.name == name; })) {
            name += QLatin1Char('+');
        }
        views.push_back({name, true, std::move(documents)});
    }

    enum class Kind { kMail, kProfile, kOther };

    Kind Classify(const NoteRecord& note) {
        try {
            const auto items = db->Items(note);
            const QString form = FirstText(Find(items, "Form")).trimmed();
            if (form.compare(QLatin1String("Memo"), Qt::CaseInsensitive) == 0 ||
                form.startsWith(QLatin1String("Reply"), Qt::CaseInsensitive) ||
                Find(items, "PostedDate") != nullptr || Find(items, "SendTo") != nullptr ||
                Find(items, "$MessageID") != nullptr) {
                return Kind::kMail;
            }
            // Settings kept by the database's design, not content of its own.
            if (FirstText(Find(items, "$Name"))
                    .startsWith(QLatin1String("$profile"), Qt::CaseInsensitive)) {
                return Kind::kProfile;
            }
            return Kind::kOther;
        } catch (const NotesError&) {
            // Unreadable, but not to be lost: counted, and listed so that the export
            // reports it with its reason.
            ++unreadable;
            return Kind::kMail;
        }
    }
};

class NsfEmbeddedObject : public NotesEmbeddedObject, public NsfAttachmentDetails {
  public:
    NsfEmbeddedObject(ModelPtr model, FileObject file)
        : m_model(std::move(model)), m_file(std::move(file)) {}
    int Type() override { return EmbedType(m_file); }
    QString Name() override { return m_file.name; }
    void ExtractFile(const QString& path) override { Extract(*m_model->db, m_file, path); }
    std::int64_t Length() override { return m_file.size; }
    bool Extractable(QString* why) override { return CanExtract(m_file, why); }

  private:
    ModelPtr m_model;
    FileObject m_file;
};

class NsfItem : public NotesItem {
  public:
    NsfItem(int type, EmbeddedObjectList objects) : m_type(type), m_objects(std::move(objects)) {}
    int Type() override { return m_type; }
    std::optional<EmbeddedObjectList> EmbeddedObjects() override {
        // Only rich text holds embedded objects; anything else answers "not a list".
        if (m_type != kItemRichText) {
            return std::nullopt;
        }
        return m_objects;
    }

  private:
    int m_type;
    EmbeddedObjectList m_objects;
};

int ModelType(const NoteItem& item) {
    switch (item.type) {
        case kTypeComposite:
        // A MIME body reads as rich text, as a Notes session converting MIME serves it.
        case kTypeMimePart:
            return kItemRichText;
        case kTypeNumber:
        case kTypeNumberRange:
            return kItemNumber;
        case kTypeTime:
        case kTypeTimeRange:
            return kItemDateTime;
        case kTypeText:
        case kTypeTextList:
            return kItemText;
        default:
            return item.type;
    }
}

bool Named(const NoteItem& item, QLatin1String name) {
    return item.name.compare(name, Qt::CaseInsensitive) == 0;
}

// Items of a sealed document: enciphered for its recipients.
bool IsSealed(const NoteItem& item) {
    return (item.flags & kItemSealed) != 0;
}

class NsfDocument : public NotesDocument, public NsfDocumentDetails {
  public:
    NsfDocument(ModelPtr model, std::size_t view, std::size_t position)
        : m_model(std::move(model)), m_view(view), m_position(position) {}

    bool hasitem(const QString& name) override { return Find(name) != nullptr; }
    NotesValues GetItemValue(const QString& name) override {
        const NoteItem* item = Find(name);
        if (item == nullptr) {
            return {QString()};
        }
        if (IsSealed(*item)) {
            return {QString::fromLatin1(kSealedBodyText)};
        }
        if (item->type == kTypeMimePart) {
            // A MIME mail's body reads as its plain-text part, as a Notes client shows it.
            return {MimePlainText(MimeMessage(name))};
        }
        NotesValues values = DecodeValues(item->type, item->value);
        if (values.empty()) {
            values.emplace_back(QString());
        }
        return values;
    }
    std::int64_t Size() override {
        Load();
        std::int64_t size = Note().size;
        for (const NoteItem& item : *m_items) {
            if ((item.flags & kItemSummary) == 0) {
                size += static_cast<std::int64_t>(item.value.size());
            }
        }
        return size;
    }
    bool HasEmbedded() override { return Find(QStringLiteral("$FILE")) != nullptr; }
    std::shared_ptr<NotesItem> GetFirstItem(const QString& name) override {
        const NoteItem* item = Find(name);
        if (item == nullptr) {
            return nullptr;
        }
        const int type = ModelType(*item);
        EmbeddedObjectList objects;
        if (type == kItemRichText) {
            // The note's attached files, as the rich text it carries them in lists them.
            for (FileObject& file : Files()) {
                objects.push_back(std::make_shared<NsfEmbeddedObject>(m_model, std::move(file)));
            }
        }
        return std::make_shared<NsfItem>(type, std::move(objects));
    }
    // Written as Notes writes it: each half's second word first.
    QString UniversalID() override {
        const NoteRecord& note = Note();
        const std::array<std::uint32_t, 4> words{note.fileId[1], note.fileId[0], note.created.date,
                                                 note.created.time};
        if (std::all_of(words.begin(), words.end(), [](std::uint32_t w) { return w == 0; })) {
            return {};  // a damaged header: the note ID stands in
        }
        QString text;
        for (const std::uint32_t word : words) {
            text += QStringLiteral("%1").arg(word, 8, 16, QLatin1Char('0')).toUpper();
        }
        return text;
    }
    QString NoteID() override { return QString::number(Note().id, 16).toUpper(); }
    std::optional<QByteArray> GetMIMEEntity(const QString& itemName) override {
        const NoteItem* first = Find(itemName);
        // A sealed body is enciphered: only its notice, read as text, can go out.
        if (first == nullptr || IsSealed(*first)) {
            return std::nullopt;
        }
        if (first->type == kTypeMimePart) {
            return MimeMessage(itemName);
        }
        if (ModelType(*first) != kItemRichText) {
            return std::nullopt;
        }
        // Rich text longer than one item goes on in the next items of its name.
        QByteArray records;
        QByteArray fonts;
        for (const NoteItem& item : *m_items) {
            const auto bytes =
                QByteArray::fromRawData(reinterpret_cast<const char*>(item.value.data()),
                                        static_cast<qsizetype>(item.value.size()));
            if (item.name.compare(itemName, Qt::CaseInsensitive) == 0 &&
                ModelType(item) == kItemRichText) {
                records += bytes;
            } else if (item.name.compare(QLatin1String("$Fonts"), Qt::CaseInsensitive) == 0) {
                fonts += bytes;
            }
        }
        return richtext::RichTextToMimeEntity(
            {reinterpret_cast<const std::uint8_t*>(records.constData()),
             static_cast<std::size_t>(records.size())},
            {reinterpret_cast<const std::uint8_t*>(fonts.constData()),
             static_cast<std::size_t>(fonts.size())});
    }
    // A $Created item overrides the time the note's universal ID records, as in Notes.
    std::optional<QDateTime> Created() override {
        if (const NoteItem* item = Find(QStringLiteral("$Created"));
            item != nullptr && !IsSealed(*item) && ModelType(*item) == kItemDateTime) {
            try {
                const NotesValues values = DecodeValues(item->type, item->value);
                if (!values.empty()) {
                    if (const auto* time = std::get_if<QDateTime>(&values.front());
                        time != nullptr && time->isValid()) {
                        return *time;
                    }
                }
            } catch (const NotesError&) {
                // A damaged item: the universal ID still tells.
            }
        }
        return ToDateTime(Note().created);
    }
    QStringList ItemNames() override {
        Load();
        QStringList names;
        for (const NoteItem& item : *m_items) {
            if (!names.contains(item.name, Qt::CaseInsensitive)) {
                names << item.name;
            }
        }
        return names;
    }
    std::uint32_t NoteId() override { return Note().id; }
    std::uint16_t NoteClass() override { return Note().noteClass; }
    QByteArray MimeMessage(const QString& name) override {
        Load();
        std::vector<MimePart> parts;
        std::vector<FileObject> files;
        for (const NoteItem& item : *m_items) {
            if (item.type == kTypeMimePart && item.name.compare(name, Qt::CaseInsensitive) == 0) {
                if (auto part = ParseMimePart(item.value)) {
                    parts.push_back(std::move(*part));
                }
            }
        }
        // A part names one of the note's files, whose bytes take the name's place. A file
        // that cannot be read leaves the message whole: its part goes, never its name as
        // content, and the attachment itself reports why it is missing.
        std::erase_if(parts, [&](MimePart& part) {
            if ((part.flags & kMimeBodyInObject) == 0) {
                return false;
            }
            if (files.empty()) {
                files = Files();
            }
            const QString stored = QString::fromUtf8(part.body).trimmed();
            const auto file = std::find_if(files.begin(), files.end(),
                                           [&](const FileObject& f) { return f.name == stored; });
            if (file == files.end()) {
                return true;
            }
            try {
                FillFromAttachment(part, FileBytes(*m_model->db, *file));
                return false;
            } catch (const NotesError&) {
                return true;
            }
        });
        return AssembleMime(parts);
    }

    const ModelPtr& Model() const { return m_model; }
    std::size_t View() const { return m_view; }
    std::size_t Position() const { return m_position; }
    std::size_t NoteIndex() const { return m_model->views[m_view].documents[m_position]; }

  private:
    const NoteRecord& Note() const { return m_model->notes[NoteIndex()]; }
    // Read once, on first use: a walk touches each document once.
    void Load() {
        if (!m_items) {
            m_items = m_model->ItemsOf(NoteIndex());
        }
    }
    std::vector<FileObject> Files() {
        Load();
        std::vector<FileObject> files;
        for (const NoteItem& item : *m_items) {
            if (!Named(item, QLatin1String("$FILE"))) {
                continue;
            }
            if (IsSealed(item)) {
                // Even its name is enciphered: listed, and refused with why.
                FileObject file;
                file.name = QStringLiteral("encrypted attachment %1").arg(files.size() + 1);
                file.sealed = true;
                files.push_back(std::move(file));
            } else if (auto parsed = ParseFileObject(item.value)) {
                files.push_back(std::move(*parsed));
            }
        }
        return files;
    }
    const NoteItem* Find(const QString& name) {
        Load();
        for (const NoteItem& item : *m_items) {
            if (item.name.compare(name, Qt::CaseInsensitive) == 0) {
                return &item;
            }
        }
        return nullptr;
    }

    ModelPtr m_model;
    std::size_t m_view;
    std::size_t m_position;
    std::optional<std::vector<NoteItem>> m_items;
};

class NsfView : public NotesView {
  public:
    NsfView(ModelPtr model, std::size_t index) : m_model(std::move(model)), m_index(index) {}
    QString Name() override { return Row().name; }
    bool isfolder() override { return Row().isFolder; }
    std::shared_ptr<NotesViewEntryCollection> AllEntries() override {
        return std::make_shared<CountedEntries>(static_cast<std::int64_t>(Row().documents.size()));
    }
    DocumentPtr GetFirstDocument() override { return At(0); }
    DocumentPtr GetNextDocument(const DocumentPtr& current) override {
        const auto* document = dynamic_cast<const NsfDocument*>(current.get());
        if (document == nullptr || document->Model() != m_model) {
            throw NotesError(
                QStringLiteral("GetNextDocument: the document is not from this database"));
        }
        if (document->View() == m_index) {
            return At(document->Position() + 1);
        }
        const auto& documents = Row().documents;
        const auto it = std::find(documents.begin(), documents.end(), document->NoteIndex());
        if (it == documents.end()) {
            throw NotesError(QStringLiteral("GetNextDocument: the document is not in the view %1")
                                 .arg(Row().name));
        }
        return At(static_cast<std::size_t>(it - documents.begin()) + 1);
    }

  private:
    const ViewRow& Row() const { return m_model->views[m_index]; }
    DocumentPtr At(std::size_t position) {
        return position < Row().documents.size()
                   ? std::make_shared<NsfDocument>(m_model, m_index, position)
                   : nullptr;
    }

    ModelPtr m_model;
    std::size_t m_index;
};

class NsfNotesDatabase : public NotesDatabase {
  public:
    explicit NsfNotesDatabase(QString path) : m_path(std::move(path)) {}
    QString Title() override { return Readable()->db->Header().Title(); }
    std::optional<ViewList> Views() override {
        const ModelPtr& model = Readable();
        ViewList views;
        for (std::size_t i = 0; i < model->views.size(); ++i) {
            views.push_back(std::make_shared<NsfView>(model, i));
        }
        return views;
    }
    ViewPtr GetView(const QString& name) override {
        const ModelPtr& model = Readable();
        for (const bool exact : {true, false}) {
            for (std::size_t i = 0; i < model->views.size(); ++i) {
                const QString& candidate = model->views[i].name;
                if (exact ? candidate == name : candidate.compare(name, Qt::CaseInsensitive) == 0) {
                    return std::make_shared<NsfView>(model, i);
                }
            }
        }
        return nullptr;
    }
    std::int64_t UnreadableDocuments() override { return Readable()->unreadable; }

  private:
    // Opened on first use and retried on every call until it succeeds, as a Notes
    // database handle reports an unopenable file on each member call.
    const ModelPtr& Readable() {
        std::lock_guard lock(m_mutex);
        if (!m_model) {
            m_model = std::make_shared<const Model>(m_path);
        }
        return m_model;
    }

    QString m_path;
    std::mutex m_mutex;
    ModelPtr m_model;
};

}  // namespace

DatabasePtr FileSession::GetDatabase(const QString& /*server*/, const QString& path) {
    // The scan asks for the database once per folder it counts: one reading serves them
    // all while the file stays as it was.
    const QFileInfo info(path);
    const QString identity = QStringLiteral("%1|%2|%3")
                                 .arg(info.absoluteFilePath())
                                 .arg(info.size())
                                 .arg(info.lastModified().toMSecsSinceEpoch());
    std::lock_guard lock(m_mutex);
    auto& database = m_databases[identity];
    if (!database) {
        database = std::make_shared<NsfNotesDatabase>(path);
    }
    return database;
}

void RegisterComponent() {
    notes::RegisterSessionProvider({QStringLiteral("nsf"),
                                    [](const QString& path) {
                                        return LooksLikeNsf(path) ? notes::FileClaim::Signature
                                                                  : notes::FileClaim::Possible;
                                    },
                                    [] { return std::make_shared<FileSession>(); }},
                                   {QStringLiteral("Domino.NotesSession")});
}

}  // namespace velmora::nsf
