#include "components/notesstore/Sqlite.h"

#include <sqlite3.h>

#include <utility>

namespace velmora::notesstore {

SqliteConnection::SqliteConnection(const QByteArray& uri, int flags) {
    const int rc = sqlite3_open_v2(uri.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message =
            m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw SqliteError(rc, message);
    }
    sqlite3_extended_result_codes(m_db, 1);
}

SqliteConnection::~SqliteConnection() {
    sqlite3_close_v2(m_db);
}

void SqliteConnection::Fail(int code, const char* what) const {
    throw SqliteError(code, QStringLiteral("%1: %2").arg(QString::fromUtf8(what),
                                                         QString::fromUtf8(sqlite3_errmsg(m_db))));
}

void SqliteConnection::Execute(const char* sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : sqlite3_errstr(rc));
        sqlite3_free(error);
        throw SqliteError(rc, message);
    }
}

SqliteStatement SqliteConnection::Prepare(const char* sql) {
    return SqliteStatement(*this, sql);
}

std::int64_t SqliteConnection::LastInsertRowId() const {
    return sqlite3_last_insert_rowid(m_db);
}

SqliteStatement::SqliteStatement(SqliteConnection& connection, const char* sql)
    : m_connection(&connection) {
    const int rc = sqlite3_prepare_v3(connection.Handle(), sql, -1, SQLITE_PREPARE_PERSISTENT,
                                      &m_statement, nullptr);
    if (rc != SQLITE_OK) {
        connection.Fail(rc, "prepare");
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_statement);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_connection(other.m_connection), m_statement(std::exchange(other.m_statement, nullptr)) {}

SqliteStatement& SqliteStatement::Bind(int index, std::int64_t value) {
    if (const int rc = sqlite3_bind_int64(m_statement, index, value); rc != SQLITE_OK) {
        m_connection->Fail(rc, "bind");
    }
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, double value) {
    if (const int rc = sqlite3_bind_double(m_statement, index, value); rc != SQLITE_OK) {
        m_connection->Fail(rc, "bind");
    }
    return *this;
}

SqliteStatement& SqliteStatement::Bind(int index, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    if (const int rc = sqlite3_bind_text64(m_statement, index, utf8.constData(),
                                           static_cast<sqlite3_uint64>(utf8.size()),
                                           SQLITE_TRANSIENT, SQLITE_UTF8);
        rc != SQLITE_OK) {
        m_connection->Fail(rc, "bind");
    }
    return *this;
}

SqliteStatement& SqliteStatement::BindBlob(int index, const QByteArray& value) {
    if (const int rc =
            sqlite3_bind_blob64(m_statement, index, value.constData(),
                                static_cast<sqlite3_uint64>(value.size()), SQLITE_TRANSIENT);
        rc != SQLITE_OK) {
        m_connection->Fail(rc, "bind");
    }
    return *this;
}

SqliteStatement& SqliteStatement::BindZeroBlob(int index, std::int64_t size) {
    if (const int rc =
            sqlite3_bind_zeroblob64(m_statement, index, static_cast<sqlite3_uint64>(size));
        rc != SQLITE_OK) {
        m_connection->Fail(rc, "bind");
    }
    return *this;
}

bool SqliteStatement::Step() {
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    sqlite3_reset(m_statement);
    m_connection->Fail(rc, "step");
}

void SqliteStatement::Run() {
    Step();
    Reset();
}

void SqliteStatement::Reset() {
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

bool SqliteStatement::IsNull(int column) const {
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

std::int64_t SqliteStatement::Int(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

double SqliteStatement::Real(int column) const {
    return sqlite3_column_double(m_statement, column);
}

QString SqliteStatement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    const int length = sqlite3_column_bytes(m_statement, column);
    return text ? QString::fromUtf8(text, length) : QString();
}

QByteArray SqliteStatement::Blob(int column) const {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
    const int length = sqlite3_column_bytes(m_statement, column);
    return data ? QByteArray(data, length) : QByteArray();
}

SqliteBlob::SqliteBlob(SqliteConnection& connection, const char* table, const char* column,
                       std::int64_t rowid, bool writable)
    : m_connection(&connection) {
    const int rc = sqlite3_blob_open(connection.Handle(), "main", table, column, rowid,
                                     writable ? 1 : 0, &m_blob);
    if (rc != SQLITE_OK) {
        sqlite3_blob_close(m_blob);
        m_blob = nullptr;
        connection.Fail(rc, "open blob");
    }
}

SqliteBlob::~SqliteBlob() {
    sqlite3_blob_close(m_blob);
}

std::int64_t SqliteBlob::Size() const {
    return sqlite3_blob_bytes(m_blob);
}

void SqliteBlob::Read(char* buffer, int length, std::int64_t offset) {
    if (const int rc = sqlite3_blob_read(m_blob, buffer, length, static_cast<int>(offset));
        rc != SQLITE_OK) {
        m_connection->Fail(rc, "read blob");
    }
}

void SqliteBlob::Write(const char* buffer, int length, std::int64_t offset) {
    if (const int rc = sqlite3_blob_write(m_blob, buffer, length, static_cast<int>(offset));
        rc != SQLITE_OK) {
        m_connection->Fail(rc, "write blob");
    }
}

}  // namespace velmora::notesstore
