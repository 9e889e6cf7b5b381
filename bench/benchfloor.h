#pragma once

#include "data/core/sqlitedatabase.h"

#include <cstddef>
#include <filesystem>

namespace kelvor::bench {

// What SQLite alone needs to hand over every record of a table file: each row stepped to and
// each of its columns read, nothing kept. The least any open of the table can cost.
inline std::size_t plainSqliteRead(const std::filesystem::path& file) {
  SqliteDatabase db(file);
  SqliteStatement select =
      db.prepare("SELECT rowid, TIME, MINUTES, VOLTAGE FROM Kelvor ORDER BY rowid");
  std::size_t bytes = 0;
  while (select.step())
    bytes += static_cast<std::size_t>(select.columnInt(0)) + select.columnText(1).size() +
             select.columnText(2).size() + select.columnText(3).size();
  return bytes;
}

} // namespace kelvor::bench
