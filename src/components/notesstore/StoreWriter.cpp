#include "components/notesstore/StoreWriter.h"

#include "components/notesstore/Sqlite.h"
#include "components/notesstore/StoreSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTimeZone>

#include <sqlite3.h>

#include <filesystem>

#include <unistd.h>

namespace velmora::notesstore {

using namespace velmora::notes;

namespace {

constexpr int kChunk = 1 << 20;

StoreError Failure(const QString& path, const QString& what) {
    return StoreError(QStringLiteral("Cannot write the store %1: %2").arg(path, what));
}

}  // namespace

ItemData& DocumentData::Add(const QString& name, NotesValues values, int type) {
    items.push_back(ItemData{name, type, std::move(values), {}, {}});
    return items.back();
}

ItemData& DocumentData::AddText(const QString& name, const QStringList& values) {
    NotesValues converted;
    converted.reserve(values.size());
    for (const QString& value : values) {
        converted.emplace_back(value);
    }
    return Add(name, std::move(converted), kItemText);
}

ItemData& DocumentData::AddDate(const QString& name, const QDateTime& value) {
    return Add(name, {value}, kItemDateTime);
}

ItemData* DocumentData::Find(const QString& name) {
    for (ItemData& item : items) {
        if (item.name.compare(name, Qt::CaseInsensitive) == 0) {
            return &item;
        }
    }
    return nullptr;
}

namespace {

// A hidden, unique file name beside path, so that the final rename stays on one file system.
QString TemporaryBeside(const QString& path) {
    const QFileInfo target(path);
    if (target.isDir()) {
        throw Failure(path, QStringLiteral("it is a folder"));
    }
    if (!target.absoluteDir().exists()) {
        throw Failure(path, QStringLiteral("its folder does not exist"));
    }
    QTemporaryFile temporary(target.absoluteDir().filePath(QLatin1Char('.') + target.fileName() +
                                                           QStringLiteral(".XXXXXX")));
    temporary.setAutoRemove(false);
    if (!temporary.open()) {
        throw Failure(path, temporary.errorString());
    }
    return temporary.fileName();
}

// The file is private until Commit renames it, so no journal is needed.
std::unique_ptr<SqliteConnection> OpenPrivate(const QString& temporaryPath) {
    auto db = std::make_unique<SqliteConnection>(QFile::encodeName(temporaryPath),
                                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    db->Execute("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA cache_size = -16384;");
    return db;
}

}  // namespace

std::unique_ptr<StoreWriter> StoreWriter::Create(const QString& path) {
    const QString temporaryPath = TemporaryBeside(path);
    std::unique_ptr<SqliteConnection> db;
    try {
        db = OpenPrivate(temporaryPath);
        db->Execute("PRAGMA page_size = 4096;");
        db->Execute(kCreateSchema);
        db->Execute("BEGIN");
    } catch (const SqliteError& error) {
        db.reset();
        QFile::remove(temporaryPath);
        throw Failure(path, error.Message());
    }
    std::unique_ptr<StoreWriter> writer(new StoreWriter(std::move(db), path, temporaryPath));
    writer->SetInfo(QStringLiteral("format"), QString::fromLatin1(kStoreFormat));
    writer->SetInfo(QStringLiteral("schema_version"), QString::number(kSchemaVersion));
    writer->SetInfo(QStringLiteral("title"), QString());
    writer->SetInfo(QStringLiteral("encrypted"), QStringLiteral("0"));
    return writer;
}

std::unique_ptr<StoreWriter> StoreWriter::Append(const QString& path) {
    if (const QString problem = ProblemWithFile(path, true); !problem.isEmpty()) {
        throw Failure(path, problem);
    }
    if (QFile::exists(path + QStringLiteral("-journal"))) {
        // A write interrupted earlier: an ordinary connection replays its journal.
        try {
            SqliteConnection recovery(QFile::encodeName(path), SQLITE_OPEN_READWRITE);
            recovery.Execute("SELECT count(*) FROM sqlite_master");
        } catch (const SqliteError& error) {
            throw Failure(path, error.Message());
        }
    }
    // The changes go into a copy that replaces the store on Commit: whoever has the store
    // open keeps reading the file they opened, and a failure leaves the store untouched.
    const QString temporaryPath = TemporaryBeside(path);
    std::error_code copyError;
    std::filesystem::copy_file(QFile::encodeName(path).toStdString(),
                               QFile::encodeName(temporaryPath).toStdString(),
                               std::filesystem::copy_options::overwrite_existing, copyError);
    if (copyError) {
        QFile::remove(temporaryPath);
        throw Failure(path, QString::fromStdString(copyError.message()));
    }
    std::unique_ptr<SqliteConnection> db;
    std::map<std::int64_t, ViewState> views;
    try {
        db = OpenPrivate(temporaryPath);
        db->Execute("BEGIN");
        QString format, version;
        {
            SqliteStatement info = db->Prepare("SELECT key, value FROM store_info");
            while (info.Step()) {
                if (info.Text(0) == QLatin1String("format")) {
                    format = info.Text(1);
                } else if (info.Text(0) == QLatin1String("schema_version")) {
                    version = info.Text(1);
                }
            }
        }
        if (format != QLatin1String(kStoreFormat) ||
            (version != QString::number(kSchemaVersion) &&
             version != QString::number(kOldestReadableVersion))) {
            throw SqliteError(
                SQLITE_NOTADB,
                NotAStore() + QStringLiteral(" of format version %1").arg(kSchemaVersion));
        }
        if (version != QString::number(kSchemaVersion)) {
            db->Execute(kUpgradeFromVersion1);
        }
        SqliteStatement rows = db->Prepare("SELECT id, name, entry_count FROM views");
        while (rows.Step()) {
            views[rows.Int(0)] = ViewState{rows.Text(1), rows.Int(2)};
        }
    } catch (const SqliteError& error) {
        db.reset();
        QFile::remove(temporaryPath);
        throw Failure(path, error.Message());
    }
    std::unique_ptr<StoreWriter> writer(new StoreWriter(std::move(db), path, temporaryPath));
    writer->m_views = std::move(views);
    writer->m_permissions = QFile::permissions(path);
    return writer;
}

StoreWriter::StoreWriter(std::unique_ptr<SqliteConnection> db, QString path, QString temporary)
    : m_db(std::move(db)), m_path(std::move(path)), m_temporary(std::move(temporary)) {
    Prepare();
}

StoreWriter::~StoreWriter() {
    Close();
    if (!m_committed) {
        QFile::remove(m_temporary);  // the target was never touched
    }
}

// Statements go before the connection they were prepared on.
void StoreWriter::Close() {
    m_insertDocument.reset();
    m_insertItem.reset();
    m_insertValue.reset();
    m_insertEmbedded.reset();
    m_insertEntry.reset();
    m_insertView.reset();
    m_db.reset();
}

void StoreWriter::Prepare() {
    auto prepare = [this](const char* sql) {
        return std::make_unique<SqliteStatement>(*m_db, sql);
    };
    m_insertDocument = prepare(
        "INSERT INTO documents (size, has_embedded, created_msecs, created_offset) "
        "VALUES (?, ?, ?, ?)");
    m_insertItem = prepare(
        "INSERT INTO items (document_id, position, name, type, data) VALUES (?, ?, ?, ?, ?)");
    m_insertValue = prepare(
        "INSERT INTO item_values (document_id, item_position, position, kind, text, number, "
        "msecs, offset_seconds, zone) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    m_insertEmbedded = prepare(
        "INSERT INTO embedded_objects (document_id, item_position, position, type, name, data) "
        "VALUES (?, ?, ?, ?, ?, ?)");
    m_insertEntry =
        prepare("INSERT INTO view_entries (view_id, position, document_id) VALUES (?, ?, ?)");
    m_insertView = prepare("INSERT INTO views (name, is_folder, entry_count) VALUES (?, ?, 0)");
}

void StoreWriter::SetInfo(const QString& key, const QString& value) {
    try {
        m_db->Prepare("INSERT OR REPLACE INTO store_info (key, value) VALUES (?, ?)")
            .Bind(1, key)
            .Bind(2, value)
            .Run();
    } catch (const SqliteError& error) {
        throw Failure(m_path, error.Message());
    }
}

void StoreWriter::SetTitle(const QString& title) {
    SetInfo(QStringLiteral("title"), title);
}

void StoreWriter::SetEncrypted(bool encrypted) {
    SetInfo(QStringLiteral("encrypted"), encrypted ? QStringLiteral("1") : QStringLiteral("0"));
}

void StoreWriter::SetSchemaVersion(const QString& version) {
    SetInfo(QStringLiteral("schema_version"), version);
}

std::int64_t StoreWriter::AddView(const QString& name, bool isFolder) {
    try {
        m_insertView->Bind(1, name).Bind(2, isFolder ? 1 : 0).Run();
    } catch (const SqliteError& error) {
        throw Failure(m_path, error.Message());
    }
    const std::int64_t id = m_db->LastInsertRowId();
    m_views[id] = ViewState{name, 0};
    return id;
}

std::optional<std::int64_t> StoreWriter::FindView(const QString& name) const {
    for (const auto& [id, view] : m_views) {
        if (view.name == name) {
            return id;
        }
    }
    return std::nullopt;
}

std::int64_t StoreWriter::EstimateSize(const DocumentData& document) {
    std::int64_t size = 512;
    for (const ItemData& item : document.items) {
        size += 16 + item.name.toUtf8().size();
        for (const NotesValue& value : item.values) {
            if (const auto* text = std::get_if<QString>(&value)) {
                size += 2 + text->toUtf8().size();
            } else {
                size += 8;
            }
        }
        size += item.data.size();
        for (const EmbeddedData& object : item.embedded) {
            size += 64 + object.name.toUtf8().size() +
                    (object.sourceFile.isEmpty() ? object.data.size()
                                                 : QFileInfo(object.sourceFile).size());
        }
    }
    return size;
}

std::int64_t StoreWriter::AddDocument(const DocumentData& document) {
    bool hasEmbedded = false;
    for (const ItemData& item : document.items) {
        hasEmbedded = hasEmbedded || !item.embedded.empty();
    }
    try {
        m_insertDocument->Bind(1, document.size.value_or(EstimateSize(document)))
            .Bind(2, hasEmbedded ? 1 : 0);
        if (document.created && document.created->isValid()) {
            m_insertDocument->Bind(3, document.created->toMSecsSinceEpoch())
                .Bind(4, document.created->offsetFromUtc());
        }
        m_insertDocument->Run();
        const std::int64_t id = m_db->LastInsertRowId();
        for (std::size_t i = 0; i < document.items.size(); ++i) {
            const ItemData& item = document.items[i];
            const int itemPosition = static_cast<int>(i);
            m_insertItem->Bind(1, id).Bind(2, itemPosition).Bind(3, item.name).Bind(4, item.type);
            if (!item.data.isNull()) {
                m_insertItem->BindBlob(5, item.data);
            }
            m_insertItem->Run();
            for (std::size_t v = 0; v < item.values.size(); ++v) {
                SqliteStatement& insert = *m_insertValue;
                insert.Bind(1, id).Bind(2, itemPosition).Bind(3, static_cast<std::int64_t>(v));
                const NotesValue& value = item.values[v];
                if (const auto* text = std::get_if<QString>(&value)) {
                    insert.Bind(4, 0).Bind(5, *text);
                } else if (const auto* number = std::get_if<double>(&value)) {
                    insert.Bind(4, 1).Bind(6, *number);
                } else {
                    const QDateTime& moment = std::get<QDateTime>(value);
                    insert.Bind(4, 2)
                        .Bind(7, moment.toMSecsSinceEpoch())
                        .Bind(8, moment.offsetFromUtc());
                    if (moment.timeSpec() == Qt::TimeZone) {
                        insert.Bind(9, QString::fromUtf8(moment.timeZone().id()));
                    }
                }
                insert.Run();
            }
            for (std::size_t e = 0; e < item.embedded.size(); ++e) {
                WriteEmbedded(id, itemPosition, static_cast<int>(e), item.embedded[e]);
            }
        }
        return id;
    } catch (const SqliteError& error) {
        throw Failure(m_path, error.Message());
    }
}

void StoreWriter::WriteEmbedded(std::int64_t documentId, int itemPosition, int position,
                                const EmbeddedData& object) {
    SqliteStatement& insert = *m_insertEmbedded;
    insert.Bind(1, documentId)
        .Bind(2, itemPosition)
        .Bind(3, position)
        .Bind(4, object.type)
        .Bind(5, object.name);
    if (object.sourceFile.isEmpty()) {
        insert.BindBlob(6, object.data).Run();
        return;
    }
    QFile source(object.sourceFile);
    if (!source.open(QIODevice::ReadOnly)) {
        throw Failure(
            m_path,
            QStringLiteral("cannot read %1: %2").arg(object.sourceFile, source.errorString()));
    }
    const qint64 size = source.size();
    insert.BindZeroBlob(6, size).Run();
    SqliteBlob blob(*m_db, "embedded_objects", "data", m_db->LastInsertRowId(), true);
    std::vector<char> buffer(kChunk);
    for (qint64 offset = 0; offset < size;) {
        const qint64 read = source.read(buffer.data(), std::min<qint64>(kChunk, size - offset));
        if (read <= 0) {
            throw Failure(
                m_path,
                QStringLiteral("cannot read %1: %2").arg(object.sourceFile, source.errorString()));
        }
        blob.Write(buffer.data(), static_cast<int>(read), offset);
        offset += read;
    }
}

void StoreWriter::File(std::int64_t viewId, std::int64_t documentId) {
    auto view = m_views.find(viewId);
    if (view == m_views.end()) {
        throw Failure(m_path, QStringLiteral("there is no view %1").arg(viewId));
    }
    try {
        m_insertEntry->Bind(1, viewId).Bind(2, view->second.count).Bind(3, documentId).Run();
    } catch (const SqliteError& error) {
        throw Failure(m_path, error.Message());
    }
    ++view->second.count;
}

void StoreWriter::Commit() {
    if (m_committed) {
        return;
    }
    try {
        SqliteStatement update = m_db->Prepare("UPDATE views SET entry_count = ? WHERE id = ?");
        for (const auto& [id, view] : m_views) {
            update.Bind(1, view.count).Bind(2, id).Run();
        }
        m_db->Execute("COMMIT");
    } catch (const SqliteError& error) {
        throw Failure(m_path, error.Message());
    }
    Close();
    m_committed = true;
    {
        // The writes skipped syncing for speed; make the bytes durable before they
        // replace anything under the final name.
        QFile written(m_temporary);
        if (!written.open(QIODevice::ReadWrite) || ::fsync(written.handle()) != 0) {
            QFile::remove(m_temporary);
            throw Failure(m_path, QStringLiteral("the new store could not be saved to disk"));
        }
        written.close();
        written.setPermissions(m_permissions.value_or(QFile::ReadOwner | QFile::WriteOwner |
                                                      QFile::ReadGroup | QFile::ReadOther));
        std::error_code error;
        std::filesystem::rename(QFile::encodeName(m_temporary).toStdString(),
                                QFile::encodeName(m_path).toStdString(), error);
        if (error) {
            QFile::remove(m_temporary);
            throw Failure(m_path, QString::fromStdString(error.message()));
        }
    }
}

}  // namespace velmora::notesstore
