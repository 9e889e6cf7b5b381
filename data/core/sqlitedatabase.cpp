#include "data/core/sqlitedatabase.h"

#include <sqlite3.h>

#include <utility>

namespace kelvor {

SqliteDatabase::SqliteDatabase(const std::filesystem::path& file) {
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  const int code = sqlite3_open_v2(file.string().c_str(), &m_db, flags, nullptr);
  if (code != SQLITE_OK) {
    // SQLite hands out a handle even when opening fails; it carries the message.
    const std::string message = m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
    close();
    throw TableError(message);
  }
  sqlite3_extended_result_codes(m_db, 1);
}

SqliteDatabase::SqliteDatabase(SqliteDatabase&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)) {}

SqliteDatabase& SqliteDatabase::operator=(SqliteDatabase&& other) noexcept {
  if (this != &other) {
    close();
    m_db = std::exchange(other.m_db, nullptr);
  }
  return *this;
}

SqliteDatabase::~SqliteDatabase() {
  close();
}

void SqliteDatabase::close() {
  // Statements are owned by their wrappers and finalised before the connection goes, so
  // sqlite3_close_v2 never has to keep a zombie connection alive.
  if (m_db != nullptr)
    sqlite3_close_v2(std::exchange(m_db, nullptr));
}

void SqliteDatabase::fail(int code) const {
  if (m_db != nullptr && sqlite3_errcode(m_db) != SQLITE_OK)
    throw TableError(sqlite3_errmsg(m_db));
  throw TableError(sqlite3_errstr(code));
}

void SqliteDatabase::exec(const std::string& sql) {
  const int code = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
  if (code != SQLITE_OK)
    fail(code);
}

SqliteStatement SqliteDatabase::prepare(std::string_view sql) {
  sqlite3_stmt* stmt = nullptr;
  const int code = sqlite3_prepare_v3(m_db, sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (code != SQLITE_OK)
    fail(code);
  return SqliteStatement(*this, stmt);
}

std::int64_t SqliteDatabase::lastInsertRowid() const {
  return sqlite3_last_insert_rowid(m_db);
}

void SqliteDatabase::setBusyTimeout(int milliseconds) {
  sqlite3_busy_timeout(m_db, milliseconds);
}

bool SqliteDatabase::inTransaction() const {
  return m_db != nullptr && sqlite3_get_autocommit(m_db) == 0;
}

std::string SqliteDatabase::queryText(std::string_view sql) {
  SqliteStatement statement = prepare(sql);
  if (!statement.step())
    return {};
  return std::string(statement.columnText(0));
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_db(other.m_db), m_stmt(std::exchange(other.m_stmt, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(m_stmt);
    m_db = other.m_db;
    m_stmt = std::exchange(other.m_stmt, nullptr);
  }
  return *this;
}

SqliteStatement::~SqliteStatement() {
  sqlite3_finalize(m_stmt);
}

void SqliteStatement::check(int code) const {
  if (code != SQLITE_OK)
    m_db->fail(code);
}

void SqliteStatement::bindInt(int index, std::int64_t value) {
  check(sqlite3_bind_int64(m_stmt, index, value));
}

void SqliteStatement::bindText(int index, std::string_view text) {
  check(sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT));
}

void SqliteStatement::bindTextInPlace(int index, std::string_view text) {
  check(
      sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC));
}

void SqliteStatement::bindNull(int index) {
  check(sqlite3_bind_null(m_stmt, index));
}

bool SqliteStatement::step() {
  const int code = sqlite3_step(m_stmt);
  if (code == SQLITE_ROW)
    return true;
  if (code == SQLITE_DONE)
    return false;
  // Reset clears the statement's error so that it can be used again after a failure
  // (a busy file, a full disk); the message is taken first.
  std::string message = sqlite3_errmsg(m_db->handle());
  sqlite3_reset(m_stmt);
  throw TableError(message);
}

void SqliteStatement::run() {
  step();
  reset();
}

void SqliteStatement::reset() {
  sqlite3_reset(m_stmt);
  sqlite3_clear_bindings(m_stmt);
}

std::int64_t SqliteStatement::columnInt(int column) const {
  return sqlite3_column_int64(m_stmt, column);
}

bool SqliteStatement::columnIsNull(int column) const {
  return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

std::string_view SqliteStatement::columnText(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
  if (text == nullptr)
    return {};
  return {text, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column))};
}

} // namespace kelvor
