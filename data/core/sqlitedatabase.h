#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace kelvor {

// A failure of the table storage engine; the message is the database engine's own words.
class TableError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class SqliteStatement;

// One connection to an SQLite file, closed on destruction. Every failure throws TableError
// carrying SQLite's message.
class SqliteDatabase {
public:
  SqliteDatabase() = default;
  explicit SqliteDatabase(const std::filesystem::path& file);
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;
  SqliteDatabase(SqliteDatabase&& other) noexcept;
  SqliteDatabase& operator=(SqliteDatabase&& other) noexcept;
  ~SqliteDatabase();

  bool isOpen() const { return m_db != nullptr; }
  void close();

  void exec(const std::string& sql);
  SqliteStatement prepare(std::string_view sql);
  std::int64_t lastInsertRowid() const;
  void setBusyTimeout(int milliseconds);
  bool inTransaction() const;

  // The text of the first row's first column of a query, empty when it gives no row.
  std::string queryText(std::string_view sql);

  [[noreturn]] void fail(int code) const;
  sqlite3* handle() const { return m_db; }

private:
  sqlite3* m_db = nullptr;
};

// A prepared statement, finalised on destruction. Parameters are numbered from 1, result
// columns from 0.
class SqliteStatement {
public:
  SqliteStatement() = default;
  SqliteStatement(const SqliteDatabase& db, sqlite3_stmt* stmt) : m_db(&db), m_stmt(stmt) {}
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;
  ~SqliteStatement();

  void bindInt(int index, std::int64_t value);
  void bindText(int index, std::string_view text);
  // Binds the text without copying it: it must stay as it is until the statement has run.
  void bindTextInPlace(int index, std::string_view text);
  void bindNull(int index);

  // Runs one step; true while a result row is available.
  bool step();
  // Runs a statement that gives no rows and makes it ready for the next use.
  void run();
  void reset();

  std::int64_t columnInt(int column) const;
  bool columnIsNull(int column) const;
  std::string_view columnText(int column) const;

private:
  void check(int code) const;

  const SqliteDatabase* m_db = nullptr;
  sqlite3_stmt* m_stmt = nullptr;
};

} // namespace kelvor
