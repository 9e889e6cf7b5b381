#pragma once

#include "data/core/recordgapbuffer.h"
#include "data/core/sqlitedatabase.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvor {

// The fields of a measurement record, in table order.
enum class Field { Time, Minutes, Voltage };

// The main window's persistent field objects.
inline constexpr Field Table1TIME = Field::Time;
inline constexpr Field Table1MINUTES = Field::Minutes;
inline constexpr Field Table1VOLTAGE = Field::Voltage;

inline constexpr int kFieldCount = 3;
inline constexpr int kSecondsPerDay = 24 * 60 * 60;

// "TIME", "MINUTES", "VOLTAGE".
std::string_view fieldName(Field field);

// The text a MINUTES or VOLTAGE field keeps of `text`: at most 12 bytes, never cut inside a
// UTF-8 character.
std::string_view cutFieldText(std::string_view text);

// How TIME lies in the file: "HH:MM:SS"; anything else reads as no value.
std::string timeToStorageText(int secondsOfDay);
std::optional<int> timeFromStorageText(std::string_view text);

struct MeasurementRecord {
  std::optional<int> time; // seconds of the day
  std::string minutes;
  std::string voltage;

  bool operator==(const MeasurementRecord&) const = default;
};

enum class TableState { Browse, Insert, Edit };

// A view bound to the table (grid, navigator, chart). It is told after every change unless
// the views are suspended, and once when the last suspension ends. A view that may outlive
// the table (both owned by one window) learns of its end through tableDestroyed() and must
// not touch the table afterwards.
class TableListener {
public:
  virtual void tableChanged() = 0;
  virtual void tableDestroyed() {}

protected:
  ~TableListener() = default;
};

// A remembered record. Returning to it after it was deleted lands on the record that took
// its place, as a deletion would.
struct TableBookmark {
  std::int64_t rowid = 0;
};

// The measurement table: an SQLite table `Kelvor` (integer key in append order, text
// columns TIME, MINUTES, VOLTAGE) with a record cursor over an in-memory copy of its rows.
// Every stored record is written to the file at once, committed unless a batch runs.
class MeasurementTable {
public:
  class Batch;
  class ViewSuspension;

  MeasurementTable() = default;
  MeasurementTable(const MeasurementTable&) = delete;
  MeasurementTable& operator=(const MeasurementTable&) = delete;
  ~MeasurementTable();

  // Creates the folder, the file and the table where missing, reads the rows and goes to
  // the first record.
  void open(const std::filesystem::path& dbFile);
  // Stores a record still being appended or edited, then closes the file.
  void close();
  bool isOpen() const { return m_db.isOpen(); }
  // Throws TableError with tableNotOpenMessage() when the table is not open.
  void requireOpen() const;
  // The file last opened or tried, kept after a failed open or a close so that a command on
  // a closed table can name it.
  const std::filesystem::path& fileName() const { return m_file; }

  // Cursor. Every move first stores the record being appended or edited.
  void first();
  void last();
  void next();
  void prior();
  void moveTo(int index);
  bool bof() const { return m_bof; }
  bool eof() const { return m_eof; }
  int recordCount() const { return static_cast<int>(m_records.size()); }
  bool isEmpty() const { return m_records.empty() && m_state != TableState::Insert; }
  // Index of the current record; recordCount() while a record is appended, -1 on an empty
  // table.
  int recNo() const;

  TableBookmark bookmark() const;
  void gotoBookmark(TableBookmark bookmark);

  // Writing.
  void append();
  void edit();
  void post();
  void cancel();
  void deleteCurrent();
  TableState state() const { return m_state; }
  void setTime(std::optional<int> secondsOfDay);
  void setMinutes(std::string_view text);
  void setVoltage(std::string_view text);
  // TIME from "HH:MM:SS" (empty for no value; anything else throws ConversionError
  // "'%s' is not a valid time"), the texts as setMinutes and setVoltage.
  void setText(Field field, std::string_view text);

  // Re-reads the file, staying on the current record.
  void refresh();

  // The current record's fields; no value and empty texts on an empty table.
  std::optional<int> time() const;
  std::string minutes() const;
  std::string voltage() const;
  std::string text(Field field) const;
  // MINUTES and VOLTAGE read with "." as the decimal point; TIME as the fraction of a day.
  // Throws ConversionError "'%s' is not a valid floating point value".
  double fieldAsFloat(Field field) const;
  // Case does not matter; an unknown name throws TableError "Field '<name>' not found".
  static Field fieldByName(std::string_view name);

  // Records as views show them, without moving the cursor: the record being appended is the
  // row after the last one, and the record being edited shows its new values.
  int viewRecordCount() const;
  MeasurementRecord record(int index) const;

  // Stored records only (a record being appended or edited shows its stored state), for views
  // that keep their own copy of the records. `index` lies in [0, recordCount()).
  FieldText storedText(int index, Field field) const;
  std::optional<int> storedTime(int index) const;
  // The stored records from `first` on copied into `out`, as many as fit and remain; returns
  // their count. For walks over the whole table: per record a fraction of the cost of
  // storedText and storedTime. The bytes of a text array after its size are unspecified.
  std::size_t storedRecords(int first, std::span<StoredRecord> out) const;
  // MINUTES or VOLTAGE of a stored record read as fieldAsFloat reads it.
  double storedFieldAsFloat(int index, Field field) const;
  // VOLTAGE of the stored records from `first` on into `out`, as storedFieldAsFloat reads it,
  // up to the first whose text only the general reading can read (or not): returns how many
  // were read. For walks over the whole table: a fraction of the cost of storedFieldAsFloat.
  std::size_t storedPlainVoltages(int first, std::span<float> out) const;
  // The same for the time, MINUTES and VOLTAGE together, up to the first record whose
  // MINUTES or VOLTAGE only the general reading can read (or not).
  std::size_t storedPlainReadings(int first, std::span<PlainReading> out) const;
  // The stored records from `first` on into `out` as the columns of exported lines, up to the
  // first with a text that only storedRecords gives as it stands: returns how many.
  std::size_t storedAlignedRecords(int first, std::span<AlignedRecord> out) const;
  // Counts every change of the stored records except a record stored at the end: a view that
  // saw the same count before catches up by reading the records stored since, and re-reads
  // everything otherwise.
  std::uint64_t changeCount() const { return m_changeCount; }

  // Bound views.
  void disableControls();
  void enableControls();
  bool controlsDisabled() const { return m_suspendCount > 0; }
  void addListener(TableListener* listener);
  void removeListener(TableListener* listener);

private:
  static constexpr unsigned kTimeModified = 1U;
  static constexpr unsigned kMinutesModified = 2U;
  static constexpr unsigned kVoltageModified = 4U;
  // A record appended inside a batch and not written yet: see m_unwritten.
  struct UnwrittenRecord {
    StoredRecord record;
    unsigned modified = 0;
    std::string timeText;
  };

  void openFile(const std::filesystem::path& dbFile);
  void prepareStatements();
  void loadRecords();
  void reload();
  void releaseFile() noexcept;

  void storePending();
  void insertBuffer();
  void deferInsert();
  void writeUnwritten();
  void writeDeferred();
  void bindFields(SqliteStatement& statement, int first, const StoredRecord& record,
                  unsigned modified);
  static void bindUnwritten(SqliteStatement& statement, int first,
                            const UnwrittenRecord& unwritten);
  void updateBuffer();
  void dropAppended();
  void eraseRecord(std::size_t index);
  void deferDelete(std::size_t index);
  void flushDeletes();
  bool hasRowsOutside(std::int64_t low, std::int64_t high);
  void goToIndex(std::size_t index);
  void setEmptyPosition();
  void requireEditing() const;
  StoredRecord currentRecord() const;
  void notifyViews();

  void beginBatch();
  void commitBatch();
  void rollbackBatch() noexcept;

  std::filesystem::path m_file;
  SqliteDatabase m_db;
  SqliteStatement m_insert;
  SqliteStatement m_insertWithKey;
  SqliteStatement m_insertBlock;
  SqliteStatement m_update;
  SqliteStatement m_delete;
  SqliteStatement m_deleteRange;
  SqliteStatement m_rowsOutside;

  RecordGapBuffer m_records;
  std::size_t m_current = 0;
  bool m_bof = true;
  bool m_eof = true;
  TableState m_state = TableState::Browse;
  StoredRecord m_buffer;
  unsigned m_modified = 0;

  int m_batchDepth = 0;
  // Inside a batch, records deleted one after another form one run of rowids with no record
  // left between them; the run is deleted from the file in one statement.
  std::optional<std::pair<std::int64_t, std::int64_t>> m_deletedRun;
  // Inside a batch no other program writes the file (the transaction holds its write lock),
  // so after one record is appended the keys of those appended next are known: they are
  // written with their keys, a block of them in one statement, which saves SQLite a pass over
  // its statement and its key counter per record.
  std::vector<UnwrittenRecord> m_unwritten;
  std::optional<std::int64_t> m_nextRowid;
  int m_suspendCount = 0;
  std::vector<TableListener*> m_listeners;
  std::uint64_t m_changeCount = 0;
};

// What a command on a table that is not open reports: the runtime's words and the file.
std::string tableNotOpenMessage(const MeasurementTable& table);

// Runs a batch change (clearing, import, interval selection) in one transaction. Without
// commit() the transaction is rolled back and the table re-read from the file. A batch
// begun inside another joins it.
class MeasurementTable::Batch {
public:
  explicit Batch(MeasurementTable& table);
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;
  ~Batch();

  void commit();

private:
  MeasurementTable& m_table;
  bool m_finished = false;
};

// Suspends the bound views for its lifetime.
class MeasurementTable::ViewSuspension {
public:
  explicit ViewSuspension(MeasurementTable& table) : m_table(table) { m_table.disableControls(); }
  ViewSuspension(const ViewSuspension&) = delete;
  ViewSuspension& operator=(const ViewSuspension&) = delete;
  ~ViewSuspension() { m_table.enableControls(); }

private:
  MeasurementTable& m_table;
};

} // namespace kelvor
