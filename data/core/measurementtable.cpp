#include "data/core/measurementtable.h"

#include "core/textcase.h"
#include "core/textencoding.h"
#include "data/core/numbertext.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <exception>
#include <system_error>
#include <utility>

namespace kelvor {
namespace {

// Long enough to ride out a checkpoint or a reader of another program, short enough that
// a file held by another program is reported while the operator still waits for it.
constexpr int kBusyTimeoutMs = 1000;

constexpr std::string_view kCreateTable =
    "CREATE TABLE IF NOT EXISTS Kelvor (ID INTEGER PRIMARY KEY AUTOINCREMENT, TIME TEXT, MINUTES TEXT, VOLTAGE TEXT)";
constexpr std::string_view kSelectAll =
    "SELECT rowid, TIME, MINUTES, VOLTAGE FROM Kelvor ORDER BY rowid";
constexpr std::string_view kInsert =
    "INSERT INTO Kelvor (TIME, MINUTES, VOLTAGE) VALUES (?1, ?2, ?3)";
// By rowid, not ID: a table written by an older program may have no ID column.
constexpr std::string_view kInsertWithKey =
    "INSERT INTO Kelvor (rowid, TIME, MINUTES, VOLTAGE) VALUES (?, ?, ?, ?)";
// Records appended inside a batch go to the file this many at a time.
constexpr std::size_t kInsertBlockRecords = 128;
// Only the fields the operator changed are written, so a TIME text this program cannot read
// survives an edit of the other fields.
constexpr std::string_view kUpdate =
    "UPDATE Kelvor SET TIME = CASE WHEN ?4 THEN ?1 ELSE TIME END, MINUTES = CASE WHEN ?5 THEN ?2 ELSE MINUTES END, VOLTAGE = CASE WHEN ?6 THEN ?3 ELSE VOLTAGE END WHERE rowid = ?7";
constexpr std::string_view kDelete = "DELETE FROM Kelvor WHERE rowid = ?1";
constexpr std::string_view kDeleteRange = "DELETE FROM Kelvor WHERE rowid BETWEEN ?1 AND ?2";
constexpr std::string_view kRowsOutside =
    "SELECT EXISTS (SELECT 1 FROM Kelvor WHERE rowid < ?1 OR rowid > ?2)";
// Without a condition SQLite drops the table's pages instead of deleting row by row.
constexpr std::string_view kDeleteAll = "DELETE FROM Kelvor";

// The most records a table file can hold, known without reading them: no more than the keys
// from its first record's to its last one's, nor than its pages have room for. Counting them
// would read every page of the table once more before the records are read.
constexpr std::string_view kRecordBounds =
    "SELECT (SELECT min(rowid) FROM Kelvor), (SELECT max(rowid) FROM Kelvor), "
    "(SELECT page_count * page_size FROM pragma_page_count, pragma_page_size)";
// A row takes at least this much of its page: a cell of 4 bytes and its pointer of 2.
constexpr std::uint64_t kLeastRowBytes = 6;

// Room reserved beyond the records read: the records stored afterwards go in without moving
// the others, and room never written to costs address space, not memory.
std::size_t withRoomToGrow(std::size_t count) {
  return count + std::max<std::size_t>(count / 4, 65536);
}

// A table whose records were deleted may be given more room than it needs: address space,
// not memory, as above.
std::size_t recordsAtMost(SqliteDatabase& db) {
  SqliteStatement bounds = db.prepare(kRecordBounds);
  if (!bounds.step() || bounds.columnIsNull(0))
    return 0;
  // Unsigned: the distance between any two keys fits.
  const std::uint64_t keyDistance = static_cast<std::uint64_t>(bounds.columnInt(1)) -
                                    static_cast<std::uint64_t>(bounds.columnInt(0));
  const std::uint64_t pageRoom = static_cast<std::uint64_t>(bounds.columnInt(2)) / kLeastRowBytes;
  return static_cast<std::size_t>(std::min(keyDistance, pageRoom) + 1);
}

std::string insertBlockStatement() {
  std::string statement(kInsertWithKey);
  for (std::size_t i = 1; i < kInsertBlockRecords; ++i)
    statement += ", (?, ?, ?, ?)";
  return statement;
}

void copyText(std::string_view text, std::array<char, StoredRecord::kTextSize>& chars,
              std::uint8_t& size) {
  const std::string_view kept = cutFieldText(text);
  std::copy(kept.begin(), kept.end(), chars.begin());
  size = static_cast<std::uint8_t>(kept.size());
}

std::optional<int> timeOf(const StoredRecord& record) {
  if (record.time == StoredRecord::kNoTime)
    return std::nullopt;
  return record.time;
}

MeasurementRecord toMeasurementRecord(const StoredRecord& record) {
  return {timeOf(record), std::string(record.minutesText()), std::string(record.voltageText())};
}

void bindTime(SqliteStatement& statement, int index, std::int32_t time) {
  if (time == StoredRecord::kNoTime)
    statement.bindNull(index);
  else
    statement.bindText(index, timeToStorageText(time));
}

// The texts the measuring cycle writes (blanks, a sign, at most 15 digits around one point)
// are read here without the general reading's detours: a mantissa below 2^53 divided by an
// exact power of ten is rounded once, so the value equals the general reading's. Anything
// else gives no value and goes the general way.
std::optional<double> readPlainDecimal(std::string_view text) {
  static constexpr std::array<double, 16> kPowersOfTen = {
      1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  constexpr int kMaxDigits = 15;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+'))
    ++i;
  std::uint64_t mantissa = 0;
  int digits = 0;
  int decimals = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (++digits > kMaxDigits)
        return std::nullopt;
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
      decimals += point ? 1 : 0;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  while (i < text.size() && text[i] == ' ')
    ++i;
  if (i != text.size() || digits == 0)
    return std::nullopt;
  const double value =
      static_cast<double>(mantissa) / kPowersOfTen[static_cast<std::size_t>(decimals)];
  return negative ? -value : value;
}

double textAsFloat(std::string_view text) {
  if (const std::optional<double> value = readPlainDecimal(text))
    return *value;
  return strToFloat(text);
}

int twoDigits(std::string_view text, std::size_t at) {
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  if (!isDigit(text[at]) || !isDigit(text[at + 1]))
    return -1;
  return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

} // namespace

std::string_view fieldName(Field field) {
  switch (field) {
  case Field::Time:
    return "TIME";
  case Field::Minutes:
    return "MINUTES";
  case Field::Voltage:
    return "VOLTAGE";
  }
  return {};
}

// Twelve characters; a byte that belongs to no UTF-8 sequence counts as a character of its
// own. Characters of four bytes could overrun the record's space, so the text is also kept
// within it, cut before the character that would not fit.
std::string_view cutFieldText(std::string_view text) {
  if (text.size() <= StoredRecord::kTextCharacters)
    return text;
  std::size_t characters = 0;
  std::size_t lastStart = 0;
  int pending = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (pending > 0 && isUtf8ContinuationByte(text[i])) {
      --pending;
    } else {
      if (characters == StoredRecord::kTextCharacters)
        return text.substr(0, i);
      ++characters;
      lastStart = i;
      pending = byte >= 0xF0U ? 3 : byte >= 0xE0U ? 2 : byte >= 0xC0U ? 1 : 0;
    }
    if (i + 1 > StoredRecord::kTextSize)
      return text.substr(0, lastStart);
  }
  return text;
}

std::string timeToStorageText(int secondsOfDay) {
  const int hours = secondsOfDay / 3600;
  const int minutes = secondsOfDay / 60 % 60;
  const int seconds = secondsOfDay % 60;
  const auto digit = [](int value) { return static_cast<char>('0' + value); };
  return {digit(hours / 10),   digit(hours % 10),   ':',
          digit(minutes / 10), digit(minutes % 10), ':',
          digit(seconds / 10), digit(seconds % 10)};
}

std::optional<int> timeFromStorageText(std::string_view text) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':')
    return std::nullopt;
  const int hours = twoDigits(text, 0);
  const int minutes = twoDigits(text, 3);
  const int seconds = twoDigits(text, 6);
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
    return std::nullopt;
  return hours * 3600 + minutes * 60 + seconds;
}

MeasurementTable::~MeasurementTable() {
  try {
    close();
  } catch (const std::exception&) {
    // A destructor cannot report; the file itself is closed by close() in any case.
  }
  const std::vector<TableListener*> listeners = std::exchange(m_listeners, {});
  for (TableListener* listener : listeners)
    listener->tableDestroyed();
}

void MeasurementTable::open(const std::filesystem::path& dbFile) {
  close();
  m_file = dbFile;
  try {
    openFile(dbFile);
    loadRecords();
  } catch (...) {
    releaseFile();
    throw;
  }
  first();
}

void MeasurementTable::openFile(const std::filesystem::path& dbFile) {
  if (dbFile.has_parent_path()) {
    std::error_code error;
    std::filesystem::create_directories(dbFile.parent_path(), error);
    if (error)
      throw TableError(error.message() + ": " + dbFile.parent_path().string());
  }
  m_db = SqliteDatabase(dbFile);
  m_db.setBusyTimeout(kBusyTimeoutMs);
  // The write-ahead log keeps the file consistent whatever moment the process dies at; with
  // synchronous FULL every commit also survives a power cut.
  m_db.queryText("PRAGMA journal_mode = WAL");
  m_db.exec("PRAGMA synchronous = FULL");
  m_db.exec(std::string(kCreateTable));
  prepareStatements();
}

void MeasurementTable::prepareStatements() {
  m_insert = m_db.prepare(kInsert);
  m_insertWithKey = m_db.prepare(kInsertWithKey);
  m_insertBlock = m_db.prepare(insertBlockStatement());
  m_update = m_db.prepare(kUpdate);
  m_delete = m_db.prepare(kDelete);
  m_deleteRange = m_db.prepare(kDeleteRange);
  m_rowsOutside = m_db.prepare(kRowsOutside);
}

void MeasurementTable::loadRecords() {
  ++m_changeCount;
  m_records.clear();
  m_records.reserve(withRoomToGrow(recordsAtMost(m_db)));
  // Each row goes straight from SQLite's columns into the packed records: a NULL TIME reads as
  // an empty text, which is no time either.
  SqliteStatement select = m_db.prepare(kSelectAll);
  while (select.step())
    m_records.pushBack(select.columnInt(0),
                       timeFromStorageText(select.columnText(1)).value_or(StoredRecord::kNoTime),
                       cutFieldText(select.columnText(2)), cutFieldText(select.columnText(3)));
}

void MeasurementTable::reload() {
  writeDeferred();
  const TableBookmark here = bookmark();
  m_state = TableState::Browse;
  m_modified = 0;
  loadRecords();
  gotoBookmark(here);
}

void MeasurementTable::releaseFile() noexcept {
  m_insert = SqliteStatement();
  m_insertWithKey = SqliteStatement();
  m_insertBlock = SqliteStatement();
  m_update = SqliteStatement();
  m_delete = SqliteStatement();
  m_deleteRange = SqliteStatement();
  m_rowsOutside = SqliteStatement();
  m_deletedRun.reset();
  m_unwritten.clear();
  m_nextRowid.reset();
  m_db.close();
  m_records.clear();
  ++m_changeCount;
  m_state = TableState::Browse;
  m_modified = 0;
  m_batchDepth = 0;
  setEmptyPosition();
}

void MeasurementTable::close() {
  if (!isOpen())
    return;
  // Whatever the measuring cycle appended last must reach the file at a normal close.
  std::exception_ptr failure;
  try {
    storePending();
  } catch (...) {
    failure = std::current_exception();
  }
  if (m_db.inTransaction()) {
    try {
      m_db.exec("ROLLBACK");
    } catch (const TableError&) {
      // Closing the connection rolls back whatever is left.
    }
  }
  releaseFile();
  notifyViews();
  if (failure)
    std::rethrow_exception(failure);
}

void MeasurementTable::requireOpen() const {
  if (!isOpen())
    throw TableError(tableNotOpenMessage(*this));
}

void MeasurementTable::setEmptyPosition() {
  m_current = 0;
  m_bof = true;
  m_eof = true;
}

void MeasurementTable::goToIndex(std::size_t index) {
  m_current = index;
  m_bof = false;
  m_eof = false;
}

int MeasurementTable::recNo() const {
  if (m_state == TableState::Insert)
    return recordCount();
  if (m_records.empty())
    return -1;
  return static_cast<int>(m_current);
}

void MeasurementTable::first() {
  storePending();
  if (m_records.empty()) {
    setEmptyPosition();
  } else {
    m_current = 0;
    m_bof = true;
    m_eof = false;
  }
  notifyViews();
}

void MeasurementTable::last() {
  storePending();
  if (m_records.empty()) {
    setEmptyPosition();
  } else {
    m_current = m_records.size() - 1;
    m_bof = false;
    m_eof = true;
  }
  notifyViews();
}

void MeasurementTable::next() {
  storePending();
  if (!m_eof) {
    if (m_current + 1 < m_records.size()) {
      goToIndex(m_current + 1);
    } else {
      m_bof = false;
      m_eof = true;
    }
  }
  notifyViews();
}

void MeasurementTable::prior() {
  storePending();
  if (!m_bof) {
    if (m_current > 0 && !m_records.empty()) {
      goToIndex(m_current - 1);
    } else {
      m_bof = true;
      m_eof = false;
    }
  }
  notifyViews();
}

void MeasurementTable::moveTo(int index) {
  if (m_state == TableState::Insert && index == recordCount())
    return;
  storePending();
  if (m_records.empty())
    setEmptyPosition();
  else
    goToIndex(static_cast<std::size_t>(std::clamp(index, 0, recordCount() - 1)));
  notifyViews();
}

TableBookmark MeasurementTable::bookmark() const {
  // A record still being appended will be stored after every record there is now.
  if (m_state == TableState::Insert || m_records.empty())
    return {INT64_MAX};
  return {m_records.rowid(m_current)};
}

void MeasurementTable::gotoBookmark(TableBookmark bookmark) {
  storePending();
  if (m_records.empty()) {
    setEmptyPosition();
  } else {
    const std::size_t index = m_records.lowerBound(bookmark.rowid);
    goToIndex(std::min(index, m_records.size() - 1));
  }
  notifyViews();
}

void MeasurementTable::append() {
  requireOpen();
  storePending();
  m_buffer = StoredRecord();
  m_modified = 0;
  m_state = TableState::Insert;
  m_bof = false;
  m_eof = true;
  notifyViews();
}

void MeasurementTable::edit() {
  requireOpen();
  if (m_state != TableState::Browse)
    return;
  if (m_records.empty()) {
    append();
    return;
  }
  m_buffer = m_records.record(m_current);
  m_modified = 0;
  m_state = TableState::Edit;
  notifyViews();
}

void MeasurementTable::post() {
  storePending();
  notifyViews();
}

void MeasurementTable::cancel() {
  if (m_state == TableState::Insert)
    dropAppended();
  m_state = TableState::Browse;
  m_modified = 0;
  notifyViews();
}

void MeasurementTable::storePending() {
  if (m_state == TableState::Browse)
    return;
  if (m_modified == 0) {
    // An appended record nobody gave a value is not a measurement; an unchanged edit
    // needs no write.
    if (m_state == TableState::Insert)
      dropAppended();
    m_state = TableState::Browse;
    return;
  }
  if (m_state == TableState::Insert)
    insertBuffer();
  else
    updateBuffer();
  m_state = TableState::Browse;
  m_modified = 0;
}

// A field the operator never gave a value stays NULL in the file.
void MeasurementTable::bindFields(SqliteStatement& statement, int first, const StoredRecord& record,
                                  unsigned modified) {
  bindTime(statement, first, record.time);
  if ((modified & kMinutesModified) != 0)
    statement.bindText(first + 1, record.minutesText());
  else
    statement.bindNull(first + 1);
  if ((modified & kVoltageModified) != 0)
    statement.bindText(first + 2, record.voltageText());
  else
    statement.bindNull(first + 2);
}

void MeasurementTable::insertBuffer() {
  flushDeletes();
  if (m_nextRowid) {
    deferInsert();
    return;
  }
  // Every parameter is bound afresh: a failed step keeps the bindings of the last attempt.
  bindFields(m_insert, 1, m_buffer, m_modified);
  m_insert.run();
  m_buffer.rowid = m_db.lastInsertRowid();
  if (m_batchDepth > 0 && m_buffer.rowid < INT64_MAX)
    m_nextRowid = m_buffer.rowid + 1;
  m_records.pushBack(m_buffer);
  goToIndex(m_records.size() - 1);
}

void MeasurementTable::deferInsert() {
  m_buffer.rowid = *m_nextRowid;
  m_nextRowid = m_buffer.rowid < INT64_MAX ? std::optional(m_buffer.rowid + 1) : std::nullopt;
  m_unwritten.push_back(
      {m_buffer, m_modified,
       m_buffer.time == StoredRecord::kNoTime ? std::string() : timeToStorageText(m_buffer.time)});
  m_records.pushBack(m_buffer);
  goToIndex(m_records.size() - 1);
  if (m_unwritten.size() == kInsertBlockRecords)
    writeUnwritten();
}

void MeasurementTable::writeUnwritten() {
  if (m_unwritten.empty())
    return;
  if (m_unwritten.size() == kInsertBlockRecords) {
    for (std::size_t i = 0; i < m_unwritten.size(); ++i)
      bindUnwritten(m_insertBlock, static_cast<int>(4 * i + 1), m_unwritten[i]);
    m_insertBlock.run();
  } else {
    for (const UnwrittenRecord& unwritten : m_unwritten) {
      bindUnwritten(m_insertWithKey, 1, unwritten);
      m_insertWithKey.run();
    }
  }
  m_unwritten.clear();
}

// The texts stay in m_unwritten until the statement has run, so SQLite need not copy them.
void MeasurementTable::bindUnwritten(SqliteStatement& statement, int first,
                                     const UnwrittenRecord& unwritten) {
  const StoredRecord& record = unwritten.record;
  statement.bindInt(first, record.rowid);
  if (record.time == StoredRecord::kNoTime)
    statement.bindNull(first + 1);
  else
    statement.bindTextInPlace(first + 1, unwritten.timeText);
  if ((unwritten.modified & kMinutesModified) != 0)
    statement.bindTextInPlace(first + 2, record.minutesText());
  else
    statement.bindNull(first + 2);
  if ((unwritten.modified & kVoltageModified) != 0)
    statement.bindTextInPlace(first + 3, record.voltageText());
  else
    statement.bindNull(first + 3);
}

// Records appended before deletions are written before them: a deletion may name them.
void MeasurementTable::writeDeferred() {
  writeUnwritten();
  flushDeletes();
}

void MeasurementTable::updateBuffer() {
  writeDeferred();
  bindTime(m_update, 1, m_buffer.time);
  m_update.bindText(2, m_buffer.minutesText());
  m_update.bindText(3, m_buffer.voltageText());
  m_update.bindInt(4, (m_modified & kTimeModified) != 0 ? 1 : 0);
  m_update.bindInt(5, (m_modified & kMinutesModified) != 0 ? 1 : 0);
  m_update.bindInt(6, (m_modified & kVoltageModified) != 0 ? 1 : 0);
  m_update.bindInt(7, m_buffer.rowid);
  m_update.run();
  m_records.set(m_current, m_buffer);
  ++m_changeCount;
}

void MeasurementTable::dropAppended() {
  m_state = TableState::Browse;
  m_modified = 0;
  if (m_records.empty())
    setEmptyPosition();
  else
    goToIndex(m_records.size() - 1);
}

void MeasurementTable::deleteCurrent() {
  requireOpen();
  if (m_state == TableState::Insert) {
    cancel();
    return;
  }
  m_state = TableState::Browse;
  m_modified = 0;
  if (m_records.empty())
    throw TableError("Cannot perform this operation on an empty dataset");
  if (m_batchDepth > 0) {
    deferDelete(m_current);
  } else {
    m_delete.bindInt(1, m_records.rowid(m_current));
    m_delete.run();
  }
  eraseRecord(m_current);
  notifyViews();
}

void MeasurementTable::deferDelete(std::size_t index) {
  const std::int64_t rowid = m_records.rowid(index);
  if (m_deletedRun) {
    auto& [low, high] = *m_deletedRun;
    const bool joinsBelow =
        rowid < low && (index + 1 == m_records.size() || m_records.rowid(index + 1) > high);
    const bool joinsAbove = rowid > high && (index == 0 || m_records.rowid(index - 1) < low);
    if (joinsBelow) {
      low = rowid;
      return;
    }
    if (joinsAbove) {
      high = rowid;
      return;
    }
    flushDeletes();
  }
  m_deletedRun.emplace(rowid, rowid);
}

void MeasurementTable::flushDeletes() {
  if (!m_deletedRun)
    return;
  writeUnwritten();
  const auto [low, high] = *std::exchange(m_deletedRun, std::nullopt);
  if (m_records.empty() && !hasRowsOutside(low, high)) {
    m_db.exec(std::string(kDeleteAll));
    return;
  }
  m_deleteRange.bindInt(1, low);
  m_deleteRange.bindInt(2, high);
  m_deleteRange.run();
}

// Rows another program stored in the file after this table read it stay out of a clearing.
bool MeasurementTable::hasRowsOutside(std::int64_t low, std::int64_t high) {
  m_rowsOutside.bindInt(1, low);
  m_rowsOutside.bindInt(2, high);
  const bool found = m_rowsOutside.step() && m_rowsOutside.columnInt(0) != 0;
  m_rowsOutside.reset();
  return found;
}

void MeasurementTable::eraseRecord(std::size_t index) {
  m_records.erase(index);
  ++m_changeCount;
  if (m_records.empty())
    setEmptyPosition();
  else if (m_current >= m_records.size())
    m_current = m_records.size() - 1;
}

void MeasurementTable::requireEditing() const {
  if (m_state == TableState::Browse)
    throw TableError("Dataset not in edit or insert mode");
}

void MeasurementTable::setTime(std::optional<int> secondsOfDay) {
  requireEditing();
  if (secondsOfDay && (*secondsOfDay < 0 || *secondsOfDay >= kSecondsPerDay))
    throw TableError("Time of day out of range: " + std::to_string(*secondsOfDay));
  m_buffer.time = secondsOfDay.value_or(StoredRecord::kNoTime);
  m_modified |= kTimeModified;
  notifyViews();
}

void MeasurementTable::setMinutes(std::string_view text) {
  setText(Field::Minutes, text);
}

void MeasurementTable::setVoltage(std::string_view text) {
  setText(Field::Voltage, text);
}

void MeasurementTable::setText(Field field, std::string_view text) {
  requireEditing();
  switch (field) {
  case Field::Time:
    if (text.empty()) {
      setTime(std::nullopt);
    } else if (const std::optional<int> time = timeFromStorageText(text)) {
      setTime(time);
    } else {
      throw ConversionError("'" + std::string(text) + "' is not a valid time");
    }
    return;
  case Field::Minutes:
    copyText(text, m_buffer.minutes, m_buffer.minutesSize);
    m_modified |= kMinutesModified;
    break;
  case Field::Voltage:
    copyText(text, m_buffer.voltage, m_buffer.voltageSize);
    m_modified |= kVoltageModified;
    break;
  }
  notifyViews();
}

void MeasurementTable::refresh() {
  requireOpen();
  storePending();
  reload();
}

StoredRecord MeasurementTable::currentRecord() const {
  if (m_state != TableState::Browse)
    return m_buffer;
  if (m_records.empty())
    return {};
  return m_records.record(m_current);
}

std::optional<int> MeasurementTable::time() const {
  if (m_state == TableState::Browse && !m_records.empty()) {
    const std::int32_t time = m_records.time(m_current);
    return time == StoredRecord::kNoTime ? std::nullopt : std::optional<int>(time);
  }
  return timeOf(currentRecord());
}

std::string MeasurementTable::minutes() const {
  return text(Field::Minutes);
}

std::string MeasurementTable::voltage() const {
  return text(Field::Voltage);
}

std::string MeasurementTable::text(Field field) const {
  const StoredRecord record = currentRecord();
  switch (field) {
  case Field::Time:
    return record.time == StoredRecord::kNoTime ? std::string() : timeToStorageText(record.time);
  case Field::Minutes:
    return std::string(record.minutesText());
  case Field::Voltage:
    return std::string(record.voltageText());
  }
  return {};
}

double MeasurementTable::fieldAsFloat(Field field) const {
  if (m_state == TableState::Browse && !m_records.empty())
    return storedFieldAsFloat(static_cast<int>(m_current), field);
  const StoredRecord record = currentRecord();
  switch (field) {
  case Field::Time:
    return record.time == StoredRecord::kNoTime ? 0.0 : record.time / double(kSecondsPerDay);
  case Field::Minutes:
    return textAsFloat(record.minutesText());
  case Field::Voltage:
    return textAsFloat(record.voltageText());
  }
  return 0.0;
}

Field MeasurementTable::fieldByName(std::string_view name) {
  for (const Field field : {Field::Time, Field::Minutes, Field::Voltage}) {
    if (equalIgnoringAsciiCase(name, fieldName(field)))
      return field;
  }
  throw TableError("Field '" + std::string(name) + "' not found");
}

int MeasurementTable::viewRecordCount() const {
  return recordCount() + (m_state == TableState::Insert ? 1 : 0);
}

MeasurementRecord MeasurementTable::record(int index) const {
  if (index < 0 || index >= viewRecordCount())
    throw std::out_of_range("record index " + std::to_string(index) + " out of range");
  const auto position = static_cast<std::size_t>(index);
  const bool isBuffer = (m_state == TableState::Insert && position == m_records.size()) ||
                        (m_state == TableState::Edit && position == m_current);
  return toMeasurementRecord(isBuffer ? m_buffer : m_records.record(position));
}

FieldText MeasurementTable::storedText(int index, Field field) const {
  const auto position = static_cast<std::size_t>(index);
  switch (field) {
  case Field::Time:
    break;
  case Field::Minutes:
    return m_records.minutes(position);
  case Field::Voltage:
    return m_records.voltage(position);
  }
  FieldText text;
  if (const std::int32_t time = m_records.time(position); time != StoredRecord::kNoTime) {
    const std::string timeText = timeToStorageText(time);
    std::copy(timeText.begin(), timeText.end(), text.chars.begin());
    text.size = static_cast<std::uint8_t>(timeText.size());
  }
  return text;
}

std::size_t MeasurementTable::storedRecords(int first, std::span<StoredRecord> out) const {
  return first < 0 ? 0 : m_records.copyRecords(static_cast<std::size_t>(first), out);
}

std::optional<int> MeasurementTable::storedTime(int index) const {
  const std::int32_t time = m_records.time(static_cast<std::size_t>(index));
  return time == StoredRecord::kNoTime ? std::nullopt : std::optional<int>(time);
}

double MeasurementTable::storedFieldAsFloat(int index, Field field) const {
  const auto position = static_cast<std::size_t>(index);
  if (field == Field::Time) {
    const std::int32_t time = m_records.time(position);
    return time == StoredRecord::kNoTime ? 0.0 : time / double(kSecondsPerDay);
  }
  // The texts the measuring cycle writes are read straight from their codes.
  const std::optional<double> plain =
      field == Field::Minutes ? m_records.plainMinutes(position) : m_records.plainVoltage(position);
  return plain ? *plain : textAsFloat(storedText(index, field).view());
}

std::size_t MeasurementTable::storedPlainVoltages(int first, std::span<float> out) const {
  return first < 0 ? 0 : m_records.plainVoltages(static_cast<std::size_t>(first), out);
}

std::size_t MeasurementTable::storedPlainReadings(int first, std::span<PlainReading> out) const {
  return first < 0 ? 0 : m_records.plainReadings(static_cast<std::size_t>(first), out);
}

std::size_t MeasurementTable::storedAlignedRecords(int first, std::span<AlignedRecord> out) const {
  return first < 0 ? 0 : m_records.alignedRecords(static_cast<std::size_t>(first), out);
}

void MeasurementTable::disableControls() {
  ++m_suspendCount;
}

void MeasurementTable::enableControls() {
  if (m_suspendCount == 0)
    return;
  --m_suspendCount;
  notifyViews();
}

void MeasurementTable::addListener(TableListener* listener) {
  if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
    m_listeners.push_back(listener);
}

void MeasurementTable::removeListener(TableListener* listener) {
  std::erase(m_listeners, listener);
}

void MeasurementTable::notifyViews() {
  if (m_suspendCount > 0 || m_listeners.empty())
    return;
  // A view may move the cursor or unbind itself while it is told.
  const std::vector<TableListener*> listeners = m_listeners;
  for (TableListener* listener : listeners) {
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end())
      listener->tableChanged();
  }
}

void MeasurementTable::beginBatch() {
  requireOpen();
  if (m_batchDepth > 0) {
    ++m_batchDepth;
    return;
  }
  // A record appended before the batch must not vanish with a rollback of it.
  storePending();
  m_db.exec("BEGIN IMMEDIATE");
  m_batchDepth = 1;
}

void MeasurementTable::commitBatch() {
  if (m_batchDepth == 0 || --m_batchDepth > 0)
    return;
  try {
    storePending();
    writeDeferred();
    m_db.exec("COMMIT");
    m_nextRowid.reset();
  } catch (...) {
    ++m_batchDepth;
    rollbackBatch();
    throw;
  }
}

void MeasurementTable::rollbackBatch() noexcept {
  if (m_batchDepth == 0 || --m_batchDepth > 0)
    return;
  m_deletedRun.reset();
  m_unwritten.clear();
  m_nextRowid.reset();
  try {
    if (m_db.inTransaction())
      m_db.exec("ROLLBACK");
    reload();
  } catch (const std::exception&) {
    // The file could not be read back: show nothing rather than rows that are not in it.
    m_records.clear();
    ++m_changeCount;
    m_state = TableState::Browse;
    m_modified = 0;
    setEmptyPosition();
  }
  notifyViews();
}

std::string tableNotOpenMessage(const MeasurementTable& table) {
  std::string message = "Cannot perform this operation on a closed dataset";
  if (!table.fileName().empty())
    message += "\n" + table.fileName().string();
  return message;
}

MeasurementTable::Batch::Batch(MeasurementTable& table) : m_table(table) {
  m_table.beginBatch();
}

MeasurementTable::Batch::~Batch() {
  if (!m_finished)
    m_table.rollbackBatch();
}

void MeasurementTable::Batch::commit() {
  m_finished = true;
  m_table.commitBatch();
}

} // namespace kelvor
