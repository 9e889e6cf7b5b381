#include "data/core/eventlog.h"

#include "data/core/measurementtable.h"

#include <string_view>

namespace kelvor {
namespace {

// As long as the measurement table waits for a reader of another program.
constexpr int kEventBusyTimeoutMs = 1000;

constexpr std::string_view kCreateEvents =
    "CREATE TABLE IF NOT EXISTS Udalosti (ID INTEGER PRIMARY KEY AUTOINCREMENT, TIME TEXT, "
    "MINUTES TEXT, VOLTAGE TEXT, DRUH TEXT)";
constexpr std::string_view kInsertEvent =
    "INSERT INTO Udalosti (TIME, MINUTES, VOLTAGE, DRUH) VALUES (?1, ?2, ?3, ?4)";
constexpr std::string_view kHasEvents =
    "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'Udalosti'";
constexpr std::string_view kSelectEvents =
    "SELECT TIME, MINUTES, VOLTAGE, DRUH FROM Udalosti ORDER BY rowid";

std::string columnString(const SqliteStatement& statement, int column) {
  return std::string(statement.columnText(column));
}

} // namespace

// The measurement table opened the file first and set its journal; the same settings here keep
// an event as durable as a record.
void EventLog::open(const std::filesystem::path& dbFile) {
  m_file = dbFile;
  m_db = SqliteDatabase(dbFile);
  m_db.setBusyTimeout(kEventBusyTimeoutMs);
  m_db.queryText("PRAGMA journal_mode = WAL");
  m_db.exec("PRAGMA synchronous = FULL");
}

bool EventLog::hasTable() {
  return m_db.queryText(kHasEvents) == "1";
}

void EventLog::append(const MeasuringEvent& event) {
  if (!m_db.isOpen() && m_file.empty())
    throw TableError("Unable to open database file");
  if (!m_db.isOpen())
    open(m_file);
  m_db.exec(std::string(kCreateEvents));
  SqliteStatement insert = m_db.prepare(kInsertEvent);
  if (event.time)
    insert.bindText(1, timeToStorageText(*event.time));
  else
    insert.bindNull(1);
  insert.bindText(2, event.minutes);
  insert.bindText(3, event.voltage);
  insert.bindText(4, event.kind);
  insert.run();
}

std::vector<MeasuringEvent> EventLog::events() {
  std::vector<MeasuringEvent> events;
  if (!m_db.isOpen() || !hasTable())
    return events;
  SqliteStatement select = m_db.prepare(kSelectEvents);
  while (select.step()) {
    MeasuringEvent event;
    if (!select.columnIsNull(0))
      event.time = timeFromStorageText(select.columnText(0));
    event.minutes = columnString(select, 1);
    event.voltage = columnString(select, 2);
    event.kind = columnString(select, 3);
    events.push_back(std::move(event));
  }
  return events;
}

void EventLog::clear() {
  if (m_db.isOpen() && hasTable())
    m_db.exec("DELETE FROM Udalosti");
}

} // namespace kelvor
