#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "tests/support/tablefiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

using namespace kelvor;

namespace {

class CountingListener : public TableListener {
public:
  void tableChanged() override { ++calls; }
  int calls = 0;
};

std::vector<MeasurementRecord> fileRows(const std::filesystem::path& file) {
  SqliteDatabase db(file);
  SqliteStatement select = db.prepare("SELECT TIME, MINUTES, VOLTAGE FROM Kelvor ORDER BY rowid");
  std::vector<MeasurementRecord> rows;
  while (select.step()) {
    rows.push_back(
        {select.columnIsNull(0) ? std::nullopt : timeFromStorageText(select.columnText(0)),
         std::string(select.columnText(1)), std::string(select.columnText(2))});
  }
  return rows;
}

std::vector<MeasurementRecord> tableRows(const MeasurementTable& table) {
  std::vector<MeasurementRecord> rows;
  rows.reserve(static_cast<std::size_t>(table.recordCount()));
  for (int i = 0; i < table.recordCount(); ++i)
    rows.push_back(table.record(i));
  return rows;
}

// The keys of the table's records, in the form SQLite's group_concat gives them.
std::string tableKeys(MeasurementTable& table) {
  std::string keys;
  for (int i = 0; i < table.recordCount(); ++i) {
    table.moveTo(i);
    keys += (i == 0 ? "" : ",") + std::to_string(table.bookmark().rowid);
  }
  return keys;
}

std::string fileKeys(const std::filesystem::path& file) {
  SqliteDatabase db(file);
  return db.queryText("SELECT group_concat(rowid) FROM (SELECT rowid FROM Kelvor ORDER BY rowid)");
}

void appendRecord(MeasurementTable& table, int n) {
  table.append();
  table.setTime(n % kSecondsPerDay);
  table.setMinutes(formatFixed(n / 10.0, 6, 1));
  table.setVoltage(formatFixed(1.0 + n / 1000.0, 6, 3));
}

void fill(MeasurementTable& table, int count) {
  MeasurementTable::Batch batch(table);
  for (int n = 0; n < count; ++n)
    appendRecord(table, n);
  table.post();
  batch.commit();
}

// The clearing command's walk: from the last record, move back and delete until the move
// before the first record fails.
void clearingWalk(MeasurementTable& table) {
  table.last();
  while (!table.bof()) {
    table.prior();
    table.deleteCurrent();
  }
}

} // namespace

class TestMeasurementTable : public QObject {
  Q_OBJECT

private:
  TableFiles m_files;
  std::filesystem::path newFile() { return m_files.next(); }

private slots:
  void createsFolderFileAndTable();
  void cursorOnEmptyTable();
  void movesPastEitherEnd();
  void deleteKeepsCursorRules();
  void bookmarkReturnsToRecord();
  void appendingStateAndDropIfEmpty();
  void storeRulesWriteTheFile();
  void editAndCancel();
  void clearingWalk_data();
  void clearingWalk();
  void clearingKeepsForeignRowsAndKeys();
  void deleteEveryOtherKeepsOrder();
  void keysFarApartKeepTheirRecords();
  void batchDeletionsReachTheFile();
  void leadingBlanksAndCutKeptThroughReopen();
  void appendingRecordStoredAtClose();
  void survivesKillOfAppendingProcess();
  void batchRollbackRestoresTable();
  void appendsInABatchReachTheFileWithTheirKeys();
  void lockedFileGivesEngineError();
  void damagedFileGivesEngineError();
  void fieldsByNameAndAsNumbers();
  void numbersReadAsTheGeneralReading();
  void plainReadingsReadInBlocksAsTheGeneralReading();
  void nestedSuspensionNotifiesOnceAtLastResume();
  void storageTimeText();
  void everyKindOfTextKeepsItsBytes();
  void changeCountMarksAllButStoresAtTheEnd();
};

void TestMeasurementTable::createsFolderFileAndTable() {
  const auto file = newFile();
  QVERIFY(!std::filesystem::exists(file.parent_path()));
  MeasurementTable table;
  table.open(file);
  QVERIFY(table.isOpen());
  QVERIFY(std::filesystem::exists(file));
  appendRecord(table, 7);
  table.post();
  table.close();
  SqliteDatabase db(file);
  QCOMPARE(db.queryText("PRAGMA journal_mode"), std::string("wal"));
  const auto rows = fileRows(file);
  QCOMPARE(rows.size(), std::size_t(1));
  QCOMPARE(rows[0].minutes, std::string("   0.7"));
}

void TestMeasurementTable::cursorOnEmptyTable() {
  MeasurementTable table;
  table.open(newFile());
  QCOMPARE(table.recordCount(), 0);
  QVERIFY(table.bof() && table.eof());
  QCOMPARE(table.recNo(), -1);
  table.first();
  QVERIFY(table.bof() && table.eof());
  table.next();
  QVERIFY(table.bof() && table.eof());
  table.prior();
  QVERIFY(table.bof() && table.eof());
  table.last();
  QVERIFY(table.bof() && table.eof());
  QVERIFY(!table.time().has_value());
  QCOMPARE(table.voltage(), std::string());
  QVERIFY_THROWS_EXCEPTION(TableError, table.deleteCurrent());
  QVERIFY_THROWS_EXCEPTION(ConversionError, table.fieldAsFloat(Field::Voltage));
}

void TestMeasurementTable::movesPastEitherEnd() {
  MeasurementTable table;
  table.open(newFile());
  fill(table, 3);
  table.first();
  QVERIFY(table.bof() && !table.eof());
  QCOMPARE(table.recNo(), 0);
  table.prior();
  QVERIFY(table.bof());
  QCOMPARE(table.recNo(), 0);
  table.next();
  QVERIFY(!table.bof() && !table.eof());
  QCOMPARE(table.recNo(), 1);
  table.next();
  QCOMPARE(table.recNo(), 2);
  QVERIFY(!table.eof());
  table.next();
  QVERIFY(table.eof() && !table.bof());
  QCOMPARE(table.recNo(), 2);
  QCOMPARE(table.minutes(), std::string("   0.2"));
  table.last();
  QVERIFY(table.eof() && !table.bof());
  table.prior();
  QVERIFY(!table.bof() && !table.eof());
  QCOMPARE(table.recNo(), 1);
  table.moveTo(0);
  QVERIFY(!table.bof() && !table.eof());
  QCOMPARE(table.recNo(), 0);
}

void TestMeasurementTable::deleteKeepsCursorRules() {
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  fill(table, 4);
  // The middle: the following record becomes current, the flags stay.
  table.first();
  table.next();
  table.deleteCurrent();
  QCOMPARE(table.recNo(), 1);
  QCOMPARE(table.minutes(), std::string("   0.2"));
  QVERIFY(!table.bof() && !table.eof());
  // The last: the preceding record becomes current, the end flag set by last() stays.
  table.last();
  table.deleteCurrent();
  QCOMPARE(table.recordCount(), 2);
  QCOMPARE(table.minutes(), std::string("   0.2"));
  QVERIFY(table.eof() && !table.bof());
  // The first after first(): the beginning flag stays.
  table.first();
  table.deleteCurrent();
  QCOMPARE(table.minutes(), std::string("   0.2"));
  QVERIFY(table.bof() && !table.eof());
  // The only one: both flags.
  table.deleteCurrent();
  QCOMPARE(table.recordCount(), 0);
  QVERIFY(table.bof() && table.eof());
  QVERIFY(fileRows(file).empty());
}

void TestMeasurementTable::bookmarkReturnsToRecord() {
  MeasurementTable table;
  table.open(newFile());
  fill(table, 5);
  table.moveTo(2);
  TableBookmark mark = table.bookmark();
  table.first();
  table.gotoBookmark(mark);
  QCOMPARE(table.recNo(), 2);
  QCOMPARE(table.minutes(), std::string("   0.2"));

  table.deleteCurrent();
  table.first();
  table.gotoBookmark(mark);
  QCOMPARE(table.minutes(), std::string("   0.3"));

  table.last();
  mark = table.bookmark();
  table.deleteCurrent();
  table.first();
  table.gotoBookmark(mark);
  QCOMPARE(table.minutes(), std::string("   0.3"));

  // The chart's re-read: remembered while the record is still being appended, it returns to
  // that record once stored.
  appendRecord(table, 42);
  mark = table.bookmark();
  table.first();
  QCOMPARE(table.recordCount(), 4);
  table.gotoBookmark(mark);
  QCOMPARE(table.minutes(), std::string("   4.2"));

  while (!table.isEmpty())
    table.deleteCurrent();
  table.gotoBookmark(mark);
  QVERIFY(table.bof() && table.eof());
}

void TestMeasurementTable::appendingStateAndDropIfEmpty() {
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  fill(table, 2);
  table.append();
  QCOMPARE(table.state(), TableState::Insert);
  QCOMPARE(table.recNo(), 2);
  QCOMPARE(table.recordCount(), 2);
  QCOMPARE(table.viewRecordCount(), 3);
  QVERIFY(!table.time().has_value());
  QCOMPARE(table.record(2), MeasurementRecord{});
  // Nothing set: the next move drops it.
  table.first();
  QCOMPARE(table.state(), TableState::Browse);
  QCOMPARE(table.recordCount(), 2);
  // An empty record followed by another append is dropped as well.
  table.append();
  table.append();
  table.setVoltage(" 1.234");
  table.last();
  QCOMPARE(table.recordCount(), 3);
  QCOMPARE(table.voltage(), std::string(" 1.234"));
  QCOMPARE(fileRows(file).size(), std::size_t(3));
  // Cancel drops what was set.
  table.append();
  table.setMinutes("9.9");
  table.cancel();
  QCOMPARE(table.recordCount(), 3);
  QCOMPARE(table.recNo(), 2);
  // Fields are set only on a record being appended or edited.
  QVERIFY_THROWS_EXCEPTION(TableError, table.setMinutes("1"));
}

void TestMeasurementTable::storeRulesWriteTheFile() {
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  appendRecord(table, 1);
  QVERIFY(fileRows(file).empty());
  appendRecord(table, 2); // stores the first
  QCOMPARE(fileRows(file).size(), std::size_t(1));
  table.moveTo(0); // stores the second
  QCOMPARE(fileRows(file).size(), std::size_t(2));
  appendRecord(table, 3);
  table.next();
  QCOMPARE(table.state(), TableState::Browse);
  QVERIFY(table.eof());
  QCOMPARE(table.recNo(), 2);
  appendRecord(table, 4);
  table.post();
  const auto rows = fileRows(file);
  QCOMPARE(rows.size(), std::size_t(4));
  QCOMPARE(rows, tableRows(table));
  QCOMPARE(rows[3], (MeasurementRecord{4, "   0.4", " 1.004"}));
}

void TestMeasurementTable::editAndCancel() {
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  fill(table, 3);
  table.moveTo(1);
  table.edit();
  QCOMPARE(table.state(), TableState::Edit);
  table.setVoltage("  2.500");
  QCOMPARE(table.record(1).voltage, std::string("  2.500"));
  table.cancel();
  QCOMPARE(table.voltage(), std::string(" 1.001"));
  table.edit();
  table.setVoltage("  2.500");
  table.setTime(std::nullopt);
  table.next(); // a move stores the edit
  QCOMPARE(table.recNo(), 2);
  const auto rows = fileRows(file);
  QCOMPARE(rows[1], (MeasurementRecord{std::nullopt, "   0.1", "  2.500"}));
  QCOMPARE(rows, tableRows(table));
}

void TestMeasurementTable::clearingWalk_data() {
  QTest::addColumn<int>("count");
  QTest::newRow("empty") << 0;
  QTest::newRow("one") << 1;
  QTest::newRow("thousand") << 1000;
}

void TestMeasurementTable::clearingWalk() {
  QFETCH(int, count);
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  fill(table, count);
  // A record still being appended is stored by the move to the last record and deleted too.
  appendRecord(table, count);
  CountingListener listener;
  table.addListener(&listener);
  table.disableControls();
  {
    MeasurementTable::Batch batch(table);
    ::clearingWalk(table);
    batch.commit();
  }
  QCOMPARE(listener.calls, 0);
  table.enableControls();
  QCOMPARE(listener.calls, 1);
  QCOMPARE(table.recordCount(), 0);
  QVERIFY(table.bof() && table.eof());
  QVERIFY(fileRows(file).empty());
  table.removeListener(&listener);
}

// Clearing a whole table drops it at once; it must still spare a row another program stored
// after the table was read, and the keys of later records keep growing.
void TestMeasurementTable::clearingKeepsForeignRowsAndKeys() {
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  fill(table, 50);
  {
    SqliteDatabase other(file);
    other.exec("INSERT INTO Kelvor (TIME, MINUTES, VOLTAGE) VALUES ('01:02:03', 'x', 'y')");
  }
  {
    MeasurementTable::Batch batch(table);
    ::clearingWalk(table);
    batch.commit();
  }
  QCOMPARE(table.recordCount(), 0);
  QCOMPARE(fileRows(file), (std::vector<MeasurementRecord>{{3723, "x", "y"}}));

  table.refresh();
  QCOMPARE(table.recordCount(), 1);
  {
    MeasurementTable::Batch batch(table);
    ::clearingWalk(table);
    batch.commit();
  }
  QVERIFY(fileRows(file).empty());
  appendRecord(table, 7);
  table.post();
  SqliteDatabase check(file);
  QCOMPARE(check.queryText("SELECT rowid FROM Kelvor"), std::string("52"));
  QCOMPARE(fileRows(file), tableRows(table));
}

// Keys written by another program may lie anywhere in 64 bits; each still names its own row.
void TestMeasurementTable::keysFarApartKeepTheirRecords() {
  const auto file = newFile();
  {
    MeasurementTable creator;
    creator.open(file);
  }
  {
    SqliteDatabase other(file);
    other.exec("INSERT INTO Kelvor (rowid, TIME, MINUTES, VOLTAGE) VALUES "
               "(-9000000000000000000, '00:00:01', 'a', '1'), (-1, '00:00:02', 'b', '2'), "
               "(4294967295, '00:00:03', 'c', '3'), (9000000000000000000, '00:00:04', 'd', '4'), "
               "(9000000000000000001, '00:00:05', 'e', '5')");
  }
  MeasurementTable table;
  table.open(file);
  QCOMPARE(table.recordCount(), 5);
  QCOMPARE(table.record(3).minutes, std::string("d"));

  table.moveTo(3);
  table.deleteCurrent();
  table.moveTo(1);
  table.edit();
  table.setVoltage("edited");
  table.post();
  table.last();
  table.append();
  table.setMinutes("f");
  table.post();
  const std::vector<MeasurementRecord> expected{
      {1, "a", "1"}, {2, "b", "edited"}, {3, "c", "3"}, {5, "e", "5"}, {std::nullopt, "f", ""}};
  QCOMPARE(tableRows(table), expected);
  QCOMPARE(fileRows(file), expected);
  {
    SqliteDatabase check(file);
    QCOMPARE(check.queryText("SELECT group_concat(rowid) FROM Kelvor ORDER BY rowid"),
             std::string("-9000000000000000000,-1,4294967295,9000000000000000001,"
                         "9000000000000000002"));
  }

  // A batch deletion of neighbours in a range spanning the wide keys.
  {
    MeasurementTable::Batch batch(table);
    table.moveTo(1);
    table.deleteCurrent();
    table.deleteCurrent();
    table.deleteCurrent();
    batch.commit();
  }
  QCOMPARE(fileRows(file),
           (std::vector<MeasurementRecord>{{1, "a", "1"}, {std::nullopt, "f", ""}}));
  table.refresh();
  QCOMPARE(tableRows(table), fileRows(file));
}

void TestMeasurementTable::deleteEveryOtherKeepsOrder() {
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  fill(table, 101);
  {
    MeasurementTable::Batch batch(table);
    table.first();
    while (!table.eof()) {
      table.next();
      if (table.eof())
        break;
      table.deleteCurrent();
    }
    batch.commit();
  }
  QCOMPARE(table.recordCount(), 51);
  for (int i = 0; i < table.recordCount(); ++i)
    QCOMPARE(table.record(i).minutes, formatFixed(2 * i / 10.0, 6, 1));
  // Deletions away from the last one, then an append after them.
  table.moveTo(40);
  table.deleteCurrent();
  table.moveTo(3);
  table.deleteCurrent();
  appendRecord(table, 500);
  table.post();
  QCOMPARE(table.recordCount(), 50);
  QCOMPARE(table.record(3).minutes, std::string("   0.8"));
  QCOMPARE(table.record(39).minutes, std::string("   8.2"));
  QCOMPARE(table.record(49).minutes, std::string("  50.0"));
  QCOMPARE(fileRows(file), tableRows(table));
}

void TestMeasurementTable::batchDeletionsReachTheFile() {
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  fill(table, 60);
  const auto minutesAt = [&](int i) { return std::stod(table.record(i).minutes); };
  {
    MeasurementTable::Batch batch(table);
    // Backwards as the interval selection's upper pass: keep every fifth record.
    table.last();
    while (!table.bof()) {
      if (std::lround(table.fieldAsFloat(Field::Minutes) * 10) % 5 == 0)
        table.prior();
      else
        table.deleteCurrent();
    }
    QCOMPARE(table.recordCount(), 12);
    // Forwards as its lower pass, deleting neighbours one after another.
    table.first();
    table.deleteCurrent();
    table.deleteCurrent();
    table.deleteCurrent();
    appendRecord(table, 1000); // stored by the next move, between the deletions
    table.first();
    table.deleteCurrent();
    table.refresh();
    batch.commit();
  }
  QCOMPARE(table.recordCount(), 9);
  QCOMPARE(minutesAt(0), 2.0);
  QCOMPARE(minutesAt(7), 5.5);
  QCOMPARE(minutesAt(8), 100.0);
  QCOMPARE(fileRows(file), tableRows(table));
}

void TestMeasurementTable::leadingBlanksAndCutKeptThroughReopen() {
  const auto file = newFile();
  {
    MeasurementTable table;
    table.open(file);
    table.append();
    table.setMinutes("   1.5");
    table.setVoltage("  12345678901234");
    table.post();
    table.append();
    table.setMinutes("12345678901čx"); // twelve characters kept, "č" among them
    table.setVoltage("");
    table.post();
  }
  MeasurementTable table;
  table.open(file);
  QCOMPARE(table.recordCount(), 2);
  QCOMPARE(table.minutes(), std::string("   1.5"));
  QCOMPARE(table.voltage(), std::string("  1234567890"));
  table.next();
  QCOMPARE(table.minutes(), std::string("12345678901č"));
  // Texts and times another program wrote as this program never writes them.
  table.close();
  {
    SqliteDatabase other(file);
    other.exec("INSERT INTO Kelvor (TIME, MINUTES, VOLTAGE) VALUES "
               "(43200, '123456789012345', 'Napětí baterie'), ('25:00:00', NULL, 12.5)");
  }
  table.open(file);
  QCOMPARE(table.recordCount(), 4);
  QCOMPARE(table.record(2), (MeasurementRecord{std::nullopt, "123456789012", "Napětí bater"}));
  QCOMPARE(table.record(3), (MeasurementRecord{std::nullopt, "", "12.5"}));
  QCOMPARE(cutFieldText("1234567890čč"), std::string_view("1234567890čč"));
  QCOMPARE(cutFieldText("      Napětíx"), std::string_view("      Napětí"));
  QCOMPARE(cutFieldText("\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80").size(),
           std::size_t(12));
  // Twelve characters of four bytes do not fit the record's 36 bytes: nine of them do.
  std::string wide;
  for (int i = 0; i < 12; ++i)
    wide += "\xF0\x9F\x94\x8B";
  QCOMPARE(cutFieldText(wide).size(), std::size_t(36));
}

void TestMeasurementTable::appendingRecordStoredAtClose() {
  const auto file = newFile();
  {
    MeasurementTable table;
    table.open(file);
    fill(table, 2);
    appendRecord(table, 2);
    table.close();
    QVERIFY(!table.isOpen());
    table.open(file);
    QCOMPARE(table.recordCount(), 3);
    appendRecord(table, 3); // left for the destructor
  }
  MeasurementTable table;
  table.open(file);
  QCOMPARE(table.recordCount(), 4);
  table.last();
  QCOMPARE(table.minutes(), std::string("   0.3"));
  QCOMPARE(table.time(), std::optional<int>(3));
}

void TestMeasurementTable::survivesKillOfAppendingProcess() {
  const auto file = newFile();
  int pipeEnds[2];
  QCOMPARE(pipe(pipeEnds), 0);
  const pid_t child = fork();
  QVERIFY(child >= 0);
  if (child == 0) {
    close(pipeEnds[0]);
    MeasurementTable table;
    table.open(file);
    for (int n = 0;; ++n) {
      appendRecord(table, n);
      table.post();
      if (write(pipeEnds[1], &n, sizeof n) != static_cast<ssize_t>(sizeof n))
        _exit(1);
    }
  }
  close(pipeEnds[1]);
  int stored = -1;
  int n = 0;
  while (stored < 300 && read(pipeEnds[0], &n, sizeof n) == static_cast<ssize_t>(sizeof n))
    stored = n;
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(pipeEnds[0]);
  QVERIFY(WIFSIGNALED(status));
  QCOMPARE(stored, 300);

  {
    SqliteDatabase db(file);
    QCOMPARE(db.queryText("PRAGMA integrity_check"), std::string("ok"));
  }
  MeasurementTable table;
  table.open(file);
  QVERIFY(table.recordCount() >= stored + 1);
  for (int i = 0; i < table.recordCount(); ++i)
    QCOMPARE(table.record(i).minutes, formatFixed(i / 10.0, 6, 1));
}

void TestMeasurementTable::batchRollbackRestoresTable() {
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  fill(table, 10);
  table.moveTo(4);
  appendRecord(table, 10); // stored before the batch, so the rollback keeps it
  {
    MeasurementTable::Batch batch(table);
    ::clearingWalk(table);
    appendRecord(table, 99);
    QCOMPARE(table.recordCount(), 0);
  }
  QCOMPARE(table.state(), TableState::Browse);
  QCOMPARE(table.recordCount(), 11);
  QCOMPARE(table.record(10).minutes, std::string("   1.0"));
  QCOMPARE(fileRows(file), tableRows(table));
  {
    MeasurementTable::Batch batch(table);
    ::clearingWalk(table);
    batch.commit();
  }
  QCOMPARE(table.recordCount(), 0);
  QVERIFY(fileRows(file).empty());
}

// Inside a batch the appended records reach the file in blocks with the keys the table gave
// them, whatever comes between: a field never given a value, an edit or a deletion of a record
// not written yet, the end of the batch in the middle of a block, a rollback, another
// program's key counter.
void TestMeasurementTable::appendsInABatchReachTheFileWithTheirKeys() {
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  fill(table, 5);
  {
    // Another program stored and deleted a record: its key is never given again.
    SqliteDatabase other(file);
    other.exec("INSERT INTO Kelvor (TIME, MINUTES, VOLTAGE) VALUES (NULL, 'x', 'y')");
    other.exec("DELETE FROM Kelvor WHERE MINUTES = 'x'");
  }
  {
    MeasurementTable::Batch batch(table);
    for (int n = 0; n < 300; ++n)
      appendRecord(table, n);
    table.post();
  }
  QCOMPARE(table.recordCount(), 5);
  QCOMPARE(fileRows(file), tableRows(table));
  {
    MeasurementTable::Batch batch(table);
    for (int n = 0; n < 1000; ++n) {
      table.append();
      table.setTime(n);
      if (n % 3 != 0)
        table.setMinutes(formatFixed(n / 10.0, 6, 1));
      table.setVoltage(formatFixed(n / 100.0, 6, 2));
    }
    table.moveTo(5 + 950);
    table.edit();
    table.setVoltage("99.000");
    table.post();
    for (int n = 1000; n < 1300; ++n)
      appendRecord(table, n);
    table.moveTo(5 + 1290);
    table.deleteCurrent();
    batch.commit();
  }
  QCOMPARE(table.recordCount(), 5 + 1299);
  QCOMPARE(table.record(5 + 950).voltage, std::string("99.000"));
  QCOMPARE(fileRows(file), tableRows(table));
  QCOMPARE(fileKeys(file), tableKeys(table));
  SqliteDatabase check(file);
  QCOMPARE(check.queryText("SELECT count(*) FROM Kelvor WHERE MINUTES IS NULL"),
           std::string("334"));
  QCOMPARE(check.queryText("SELECT min(rowid) FROM Kelvor WHERE rowid > 5"), std::string("7"));
  // A record stored on its own afterwards follows the batch's last key.
  appendRecord(table, 2000);
  table.post();
  QCOMPARE(check.queryText("SELECT max(rowid) FROM Kelvor"), std::string("1307"));
  QCOMPARE(fileKeys(file), tableKeys(table));
}

void TestMeasurementTable::lockedFileGivesEngineError() {
  const auto file = newFile();
  {
    MeasurementTable table;
    table.open(file);
    fill(table, 3);
  }
  SqliteDatabase other(file);
  other.exec("PRAGMA locking_mode = EXCLUSIVE");
  other.exec("BEGIN EXCLUSIVE");
  other.exec("INSERT INTO Kelvor (MINUTES) VALUES ('x')");
  MeasurementTable table;
  try {
    table.open(file);
    QFAIL("opening a locked file succeeded");
  } catch (const TableError& error) {
    QCOMPARE(std::string(error.what()), std::string("database is locked"));
  }
  QVERIFY(!table.isOpen());
  other.exec("ROLLBACK");
  other.close();
  table.open(file);
  QCOMPARE(table.recordCount(), 3);

  // A store that meets a file locked by another writer fails with the engine's words and
  // keeps the record; a later store writes what was set then, nothing of the failed one.
  SqliteDatabase writer(file);
  writer.exec("BEGIN IMMEDIATE");
  table.append();
  table.setMinutes("stale");
  QVERIFY_THROWS_EXCEPTION(TableError, table.post());
  QCOMPARE(table.state(), TableState::Insert);
  table.cancel();
  table.append();
  table.setVoltage(" 2.000");
  writer.exec("ROLLBACK");
  table.post();
  QCOMPARE(table.recordCount(), 4);
  const auto rows = fileRows(file);
  QCOMPARE(rows.size(), std::size_t(4));
  QCOMPARE(rows[3], (MeasurementRecord{std::nullopt, "", " 2.000"}));
}

void TestMeasurementTable::damagedFileGivesEngineError() {
  const auto file = newFile();
  std::filesystem::create_directories(file.parent_path());
  {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    QVERIFY(out != nullptr);
    const std::string garbage(8192, 'x');
    std::fwrite(garbage.data(), 1, garbage.size(), out);
    std::fclose(out);
  }
  MeasurementTable table;
  try {
    table.open(file);
    QFAIL("opening a damaged file succeeded");
  } catch (const TableError& error) {
    QCOMPARE(std::string(error.what()), std::string("file is not a database"));
  }
  QVERIFY(!table.isOpen());
  QVERIFY_THROWS_EXCEPTION(TableError, table.append());
}

void TestMeasurementTable::fieldsByNameAndAsNumbers() {
  for (const char* name : {"MINUTES", "Minutes", "minutes"})
    QCOMPARE(MeasurementTable::fieldByName(name), Table1MINUTES);
  QCOMPARE(MeasurementTable::fieldByName("Voltage"), Table1VOLTAGE);
  QCOMPARE(MeasurementTable::fieldByName("VOLTAGE"), Table1VOLTAGE);
  QCOMPARE(MeasurementTable::fieldByName("time"), Table1TIME);
  try {
    MeasurementTable::fieldByName("Volt");
    QFAIL("an unknown field was found");
  } catch (const TableError& error) {
    QCOMPARE(std::string(error.what()), std::string("Field 'Volt' not found"));
  }

  MeasurementTable table;
  table.open(newFile());
  table.append();
  table.setText(MeasurementTable::fieldByName("Minutes"), "  12.5");
  table.setText(Field::Voltage, " 1.2x");
  table.setTime(43200);
  QCOMPARE(table.fieldAsFloat(Field::Minutes), 12.5);
  QCOMPARE(table.fieldAsFloat(Field::Time), 0.5);
  QCOMPARE(table.text(Field::Time), std::string("12:00:00"));
  table.setText(Field::Time, "07:30:05");
  QCOMPARE(table.time(), std::optional<int>(7 * 3600 + 30 * 60 + 5));
  QVERIFY_THROWS_EXCEPTION(ConversionError, table.setText(Field::Time, "7:30"));
  table.setText(Field::Time, "");
  QVERIFY(!table.time().has_value());
  try {
    table.fieldAsFloat(Field::Voltage);
    QFAIL("a text that is no number was read as one");
  } catch (const ConversionError& error) {
    QCOMPARE(std::string(error.what()), std::string("' 1.2x' is not a valid floating point value"));
  }
  QVERIFY_THROWS_EXCEPTION(TableError, table.setTime(kSecondsPerDay));
}

// Bit for bit, so that even the sign of a zero must agree: while the record is being appended
// (its texts in the edit buffer) and once it is stored (read from the table's own copy).
void TestMeasurementTable::numbersReadAsTheGeneralReading() {
  MeasurementTable table;
  table.open(newFile());
  std::vector<std::string> texts = {"  .5",         "5.",      "-0.000", "+1.25", "123456789012",
                                    "0.1234567891", " 1.5e3 ", "1e-2",   "   ",   ".",
                                    "1.2.3",        "- 1",     "12 3",   "",      "999999999999",
                                    "12,5",         "čtyři",   "+-1",    "1-",    "  -12.800 "};
  for (int i = 0; i < 2000; ++i)
    texts.push_back(formatFixed((i * 7919 % 100003) / 997.0 - 50.0, 12, i % 11));
  const auto checkReading = [&table](Field field, const std::string& stored, const char* where) {
    const std::optional<double> expected = parseFloat(stored);
    if (!expected) {
      QVERIFY_THROWS_EXCEPTION(ConversionError, table.fieldAsFloat(field));
      return;
    }
    const double actual = table.fieldAsFloat(field);
    QVERIFY2(std::bit_cast<std::uint64_t>(*expected) == std::bit_cast<std::uint64_t>(actual),
             (stored + " " + where).c_str());
  };
  for (const std::string& text : texts) {
    table.append();
    table.setVoltage(text);
    table.setMinutes(text);
    checkReading(Field::Voltage, table.voltage(), "appending");
    table.post();
    checkReading(Field::Voltage, table.voltage(), "stored");
    checkReading(Field::Minutes, table.minutes(), "stored");
  }
}

// The block readings of VOLTAGE, and of MINUTES with VOLTAGE, give what the general reading
// gives, stop exactly at the texts that are no plain decimal (and at texts kept aside), and
// read across the gap a deletion leaves.
void TestMeasurementTable::plainReadingsReadInBlocksAsTheGeneralReading() {
  const std::set<std::string> notPlain = {" 1.5e3 ", "1e-2", "   ",  ".",     "1.2.3", "- 1",
                                          "12 3",    "",     "12,5", "čtyři", "+-1",   "1-"};
  std::vector<std::string> texts = {"  .5",   "5.",       "-0.000",       "+1.25",
                                    "-12.5 ", "  12.800", "123456789012", "0.12345678901"};
  texts.insert(texts.end(), notPlain.begin(), notPlain.end());
  for (int i = 0; i < 3000; ++i)
    texts.push_back(formatFixed((i * 7919 % 100003) / 997.0 - 50.0, 8, i / 100 % 6));
  MeasurementTable table;
  table.open(newFile());
  for (const std::string& text : texts) {
    table.append();
    table.setMinutes(text);
    table.setVoltage(text);
    table.post();
  }
  table.moveTo(1500);
  table.deleteCurrent();
  texts.erase(texts.begin() + 1500);

  std::vector<float> block(257);
  std::set<std::string> stops;
  for (int i = 0; i < table.recordCount();) {
    const std::size_t read = table.storedPlainVoltages(i, block);
    for (std::size_t k = 0; k < read; ++k, ++i) {
      const std::string stored(table.storedText(i, Field::Voltage).view());
      const auto expected = static_cast<float>(parseFloat(stored).value_or(-1.0));
      QVERIFY2(std::bit_cast<std::uint32_t>(block[k]) == std::bit_cast<std::uint32_t>(expected),
               texts[static_cast<std::size_t>(i)].c_str());
    }
    if (read < block.size() && i < table.recordCount())
      stops.insert(texts[static_cast<std::size_t>(i++)]);
  }
  QCOMPARE(stops, notPlain);

  std::vector<PlainReading> readings(300);
  stops.clear();
  for (int i = 0; i < table.recordCount();) {
    const std::size_t read = table.storedPlainReadings(i, readings);
    for (std::size_t k = 0; k < read; ++k, ++i) {
      const std::string stored(table.storedText(i, Field::Minutes).view());
      const double expected = parseFloat(stored).value_or(-1.0);
      QVERIFY2(std::bit_cast<std::uint64_t>(readings[k].minutes) ==
                       std::bit_cast<std::uint64_t>(expected) &&
                   readings[k].volts == readings[k].minutes,
               texts[static_cast<std::size_t>(i)].c_str());
    }
    if (read < readings.size() && i < table.recordCount())
      stops.insert(texts[static_cast<std::size_t>(i++)]);
  }
  QCOMPARE(stops, notPlain);
  QCOMPARE(table.storedPlainVoltages(table.recordCount(), block), std::size_t{0});
  QCOMPARE(table.storedPlainVoltages(-1, block), std::size_t{0});
}

void TestMeasurementTable::nestedSuspensionNotifiesOnceAtLastResume() {
  MeasurementTable table;
  table.open(newFile());
  CountingListener listener;
  table.addListener(&listener);
  appendRecord(table, 1);
  QVERIFY(listener.calls >= 4); // append and each field
  listener.calls = 0;
  table.disableControls();
  table.disableControls();
  fill(table, 5);
  table.first();
  table.enableControls();
  QCOMPARE(listener.calls, 0);
  QVERIFY(table.controlsDisabled());
  table.enableControls();
  QCOMPARE(listener.calls, 1);
  table.enableControls(); // one resume too many changes nothing
  QVERIFY(!table.controlsDisabled());
  table.next();
  QCOMPARE(listener.calls, 2);
  table.removeListener(&listener);
  table.next();
  QCOMPARE(listener.calls, 2);
}

void TestMeasurementTable::storageTimeText() {
  QCOMPARE(timeToStorageText(0), std::string("00:00:00"));
  QCOMPARE(timeToStorageText(kSecondsPerDay - 1), std::string("23:59:59"));
  QCOMPARE(timeToStorageText(13 * 3600 + 5 * 60 + 7), std::string("13:05:07"));
  QCOMPARE(timeFromStorageText("13:05:07"), std::optional<int>(13 * 3600 + 5 * 60 + 7));
  for (const char* bad : {"", "24:00:00", "12:60:00", "1:05:07", "12:05:07 ", "ab:cd:ef"})
    QVERIFY2(!timeFromStorageText(bad), bad);
}

// Texts the compact store keeps as codes and texts it keeps aside must come back alike, also
// after deletions and edits reuse the room of texts kept aside.
void TestMeasurementTable::everyKindOfTextKeepsItsBytes() {
  QTemporaryDir dir;
  const auto file = std::filesystem::path(dir.filePath(QStringLiteral("Kelvor.db")).toStdString());
  const std::vector<std::string> texts = {"",
                                          " ",
                                          "   0.1",
                                          "-1.5E+3",
                                          "123456789012",
                                          "12,5V",
                                          "1.5e3",
                                          "Čas žluté",
                                          std::string("a\0b", 3),
                                          "        12.5",
                                          "++--..EE  00"};
  MeasurementTable table;
  table.open(file);
  {
    MeasurementTable::Batch batch(table);
    for (const std::string& minutes : texts) {
      for (const std::string& voltage : {texts[2], texts[7]}) {
        table.append();
        table.setMinutes(minutes);
        table.setVoltage(voltage);
      }
    }
    table.post();
    batch.commit();
  }
  const auto expected = [&texts](std::size_t row) {
    return std::pair{texts[row / 2], row % 2 == 0 ? texts[2] : texts[7]};
  };
  for (int row = 0; row < table.recordCount(); ++row) {
    const auto [minutes, voltage] = expected(std::size_t(row));
    QCOMPARE(table.record(row).minutes, minutes);
    QCOMPARE(table.record(row).voltage, voltage);
    QCOMPARE(std::string(table.storedText(row, Field::Minutes).view()), minutes);
    QCOMPARE(std::string(table.storedText(row, Field::Voltage).view()), voltage);
  }
  // Delete every record with a text kept aside, then store new ones into the freed room.
  table.first();
  while (!table.eof()) {
    if (table.voltage() == texts[7])
      table.deleteCurrent();
    else
      table.next();
  }
  table.moveTo(3);
  table.edit();
  table.setMinutes("řádek");
  table.post();
  table.append();
  table.setMinutes("jiny text");
  table.setVoltage("12.000");
  table.post();
  QCOMPARE(table.recordCount(), int(texts.size()) + 1);
  for (int row = 0; row + 1 < table.recordCount(); ++row) {
    QCOMPARE(table.record(row).minutes, row == 3 ? std::string("řádek") : texts[std::size_t(row)]);
    QCOMPARE(table.record(row).voltage, texts[2]);
  }
  QCOMPARE(table.record(table.recordCount() - 1).minutes, std::string("jiny text"));
  const std::vector<MeasurementRecord> shown = tableRows(table);
  table.close();
  table.open(file);
  QCOMPARE(tableRows(table), shown);
  QCOMPARE(fileRows(file), shown);
}

void TestMeasurementTable::changeCountMarksAllButStoresAtTheEnd() {
  QTemporaryDir dir;
  MeasurementTable table;
  table.open(dir.filePath(QStringLiteral("Kelvor.db")).toStdString());
  fill(table, 5);
  std::uint64_t count = table.changeCount();
  appendRecord(table, 5);
  table.post();
  QCOMPARE(table.changeCount(), count);
  const auto changes = [&table, &count](const char* step) {
    const std::uint64_t now = table.changeCount();
    QVERIFY2(now != count, step);
    count = now;
  };
  table.moveTo(2);
  table.edit();
  table.setVoltage("9.999");
  table.post();
  changes("edit");
  table.deleteCurrent();
  changes("delete");
  table.refresh();
  changes("refresh");
  table.close();
  changes("close");
}

QTEST_APPLESS_MAIN(TestMeasurementTable)
#include "tst_measurementtable.moc"
