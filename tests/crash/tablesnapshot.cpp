#include "tests/crash/tablesnapshot.h"

#include <sqlite3.h>

#include <memory>

namespace {

struct ConnectionCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

Statement prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  return Statement(stmt);
}

std::string columnText(sqlite3_stmt* stmt, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  return text != nullptr
             ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)))
             : std::string();
}

std::string integrityOf(sqlite3* db) {
  const Statement check = prepare(db, "PRAGMA integrity_check");
  if (!check)
    return sqlite3_errmsg(db);
  std::string answer;
  while (sqlite3_step(check.get()) == SQLITE_ROW)
    answer += (answer.empty() ? "" : "\n") + columnText(check.get(), 0);
  return answer.empty() ? std::string(sqlite3_errmsg(db)) : answer;
}

std::vector<TableRow> rowsOf(sqlite3* db) {
  std::vector<TableRow> rows;
  const Statement select =
      prepare(db, "SELECT rowid, TIME, MINUTES, VOLTAGE FROM Kelvor ORDER BY rowid");
  if (!select)
    return rows;
  while (sqlite3_step(select.get()) == SQLITE_ROW) {
    TableRow row;
    row.rowid = sqlite3_column_int64(select.get(), 0);
    if (sqlite3_column_type(select.get(), 1) != SQLITE_NULL)
      row.time = columnText(select.get(), 1);
    row.minutes = columnText(select.get(), 2);
    row.voltage = columnText(select.get(), 3);
    rows.push_back(std::move(row));
  }
  return rows;
}

} // namespace

TableSnapshot readTableSnapshot(const std::filesystem::path& file) {
  TableSnapshot snapshot;
  sqlite3* handle = nullptr;
  const int code = sqlite3_open_v2(file.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr);
  const Connection db(handle);
  if (code != SQLITE_OK) {
    snapshot.integrity = handle != nullptr ? sqlite3_errmsg(handle) : sqlite3_errstr(code);
    return snapshot;
  }
  snapshot.integrity = integrityOf(db.get());
  snapshot.rows = rowsOf(db.get());
  return snapshot;
}

void copyFolder(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::remove_all(to);
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive);
}
