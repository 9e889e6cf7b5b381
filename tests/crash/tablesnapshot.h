#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// A table file as another program sees it: read on a connection of its own through the
// SQLite C API, without any of the program's code.
struct TableRow {
  std::int64_t rowid = 0;
  std::optional<std::string> time;
  std::string minutes;
  std::string voltage;

  bool operator==(const TableRow&) const = default;
};

struct TableSnapshot {
  // What PRAGMA integrity_check answers, or the error that stopped it.
  std::string integrity;
  std::vector<TableRow> rows;
};

// Opens the file (which recovers what a killed writer left in its log, as any later reader
// would), checks it and reads every row in append order.
TableSnapshot readTableSnapshot(const std::filesystem::path& file);

// Replaces `to` with a copy of the folder `from` and all it holds (a table file with its log
// files, a whole program folder).
void copyFolder(const std::filesystem::path& from, const std::filesystem::path& to);
