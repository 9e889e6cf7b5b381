#pragma once

#include "data/core/sqlitedatabase.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kelvor {

// One moment the program noted beside the measurement: when, at which elapsed minutes and
// voltage, and what happened (DRUH).
struct MeasuringEvent {
  std::optional<int> time; // seconds of the day
  std::string minutes;
  std::string voltage;
  std::string kind;

  bool operator==(const MeasuringEvent&) const = default;
};

// The table `Udalosti` in the measurement table's own file, through a connection of its own:
// the measurement table, its views, its commands and its exports never see it. The table is
// made with the first event, so a file that never had one stays as the program always left
// it. Every event is committed before append() returns. Failures throw TableError with
// SQLite's words.
class EventLog {
public:
  // The file is the measurement table's, opened by it first.
  void open(const std::filesystem::path& dbFile);
  void close() { m_db.close(); }
  bool isOpen() const { return m_db.isOpen(); }

  // Opens the file again when an earlier open failed.
  void append(const MeasuringEvent& event);
  // In the order they were noted; none while the file is not open.
  std::vector<MeasuringEvent> events();
  void clear();

private:
  bool hasTable();

  std::filesystem::path m_file;
  SqliteDatabase m_db;
};

} // namespace kelvor
