#pragma once

// Thin RAII wrappers over the SQLite C API, for the store's own use.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_blob;

namespace velmora::notesstore {

// A failed SQLite call; the message carries SQLite's own text.
class SqliteError : public std::runtime_error {
  public:
    SqliteError(int code, const QString& message)
        : std::runtime_error(message.toStdString()), m_code(code) {}
    int Code() const { return m_code; }
    QString Message() const { return QString::fromStdString(what()); }

  private:
    int m_code;
};

class SqliteStatement;

class SqliteConnection {
  public:
    // flags are sqlite3_open_v2 flags; uri may be a "file:" URI when SQLITE_OPEN_URI is set.
    SqliteConnection(const QByteArray& uri, int flags);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    void Execute(const char* sql);
    SqliteStatement Prepare(const char* sql);
    std::int64_t LastInsertRowId() const;
    sqlite3* Handle() const { return m_db; }

    [[noreturn]] void Fail(int code, const char* what) const;

  private:
    sqlite3* m_db = nullptr;
};

class SqliteStatement {
  public:
    SqliteStatement(SqliteConnection& connection, const char* sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&&) = delete;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Binding indexes count from 1, column indexes from 0, as in SQLite.
    SqliteStatement& Bind(int index, std::int64_t value);
    SqliteStatement& Bind(int index, int value) { return Bind(index, std::int64_t{value}); }
    SqliteStatement& Bind(int index, long long value) {
        return Bind(index, static_cast<std::int64_t>(value));
    }
    SqliteStatement& Bind(int index, double value);
    SqliteStatement& Bind(int index, const QString& value);
    SqliteStatement& BindBlob(int index, const QByteArray& value);
    SqliteStatement& BindZeroBlob(int index, std::int64_t size);

    // Advances to the next row; false when there is none.
    bool Step();
    // Runs a statement that returns no rows.
    void Run();
    // Makes the statement ready for new bindings.
    void Reset();

    bool IsNull(int column) const;
    std::int64_t Int(int column) const;
    double Real(int column) const;
    QString Text(int column) const;
    QByteArray Blob(int column) const;

  private:
    SqliteConnection* m_connection;
    sqlite3_stmt* m_statement = nullptr;
};

// Incremental access to one blob, so that large attachments never sit in memory whole.
class SqliteBlob {
  public:
    SqliteBlob(SqliteConnection& connection, const char* table, const char* column,
               std::int64_t rowid, bool writable);
    ~SqliteBlob();
    SqliteBlob(const SqliteBlob&) = delete;
    SqliteBlob& operator=(const SqliteBlob&) = delete;

    std::int64_t Size() const;
    void Read(char* buffer, int length, std::int64_t offset);
    void Write(const char* buffer, int length, std::int64_t offset);

  private:
    SqliteConnection* m_connection;
    sqlite3_blob* m_blob = nullptr;
};

}  // namespace velmora::notesstore
