#include "data/core/fileerror.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "data/core/tablecommands.h"

#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

using namespace kelvor;

namespace {

struct CountingListener : TableListener {
  int calls = 0;
  void tableChanged() override { ++calls; }
};

// Records whose MINUTES are "0.0" to "<count-1>.0"; the one at `wrongAt` holds a text that
// is no number.
void fill(MeasurementTable& table, int count, int wrongAt = -1) {
  MeasurementTable::Batch batch(table);
  for (int n = 0; n < count; ++n) {
    table.append();
    table.setTime(n * 6);
    table.setMinutes(n == wrongAt ? "x" : formatFixed(n, 6, 1));
    table.setVoltage("12.000");
  }
  table.first();
  batch.commit();
}

std::vector<double> minutesOf(const MeasurementTable& table) {
  std::vector<double> minutes;
  for (int i = 0; i < table.recordCount(); ++i)
    minutes.push_back(table.storedFieldAsFloat(i, Field::Minutes));
  return minutes;
}

std::string fileContents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

// The commands need no window: each takes the table and its arguments and throws what the
// window shows.
class TableFunctionsTest : public QObject {
  Q_OBJECT

private slots:
  void init();
  void clearingEmptiesTheFileAndTellsTheViewsOnce();
  void selectionKeepsTheBoundsAndReadsThemPerRecord();
  void selectionStopsAtATextThatIsNoNumber();
  void importStopsAtALineWithoutATime();
  void exportWritesEveryLineOrThrowsTheFileError();

private:
  std::string tablePath() const { return m_dir->filePath("Kelvor/Kelvor.db").toStdString(); }
  std::unique_ptr<QTemporaryDir> m_dir;
};

void TableFunctionsTest::init() {
  m_dir = std::make_unique<QTemporaryDir>();
  QVERIFY(m_dir->isValid());
}

void TableFunctionsTest::clearingEmptiesTheFileAndTellsTheViewsOnce() {
  {
    MeasurementTable table;
    table.open(tablePath());
    fill(table, 300);
    CountingListener listener;
    table.addListener(&listener);
    clearTable(table);
    QCOMPARE(table.recordCount(), 0);
    QCOMPARE(listener.calls, 1);
    table.removeListener(&listener);
  }
  MeasurementTable reopened;
  reopened.open(tablePath());
  QCOMPARE(reopened.recordCount(), 0);
}

void TableFunctionsTest::selectionKeepsTheBoundsAndReadsThemPerRecord() {
  MeasurementTable table;
  table.open(tablePath());
  int throwingReads = 0;
  const BoundReading noNumber = [&throwingReads]() -> double {
    ++throwingReads;
    throw ConversionError("'a' is not a valid floating point value");
  };
  // On an empty table no bound is read, so no bound can be wrong.
  keepMinutesWithin(table, noNumber, noNumber);
  QCOMPARE(throwingReads, 0);

  fill(table, 100);
  int lowerReads = 0;
  int upperReads = 0;
  keepMinutesWithin(
      table,
      [&lowerReads] {
        ++lowerReads;
        return 20.0;
      },
      [&upperReads] {
        ++upperReads;
        return 30.0;
      });
  QCOMPARE(minutesOf(table), (std::vector<double>{20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30}));
  // The upper pass reads its bound at each of the 100 records, the lower one at the 31 left.
  QCOMPARE(upperReads, 100);
  QCOMPARE(lowerReads, 31);
}

void TableFunctionsTest::selectionStopsAtATextThatIsNoNumber() {
  {
    MeasurementTable table;
    table.open(tablePath());
    fill(table, 50, 40);
    const auto bound = [](double value) { return [value] { return value; }; };
    try {
      keepMinutesWithin(table, bound(10), bound(20));
      QFAIL("no conversion error");
    } catch (const ConversionError& error) {
      QCOMPARE(std::string(error.what()), std::string("'x' is not a valid floating point value"));
    }
    // The upper pass deleted 49 down to 41 before it read the "x".
    QCOMPARE(table.recordCount(), 41);
  }
  MeasurementTable reopened;
  reopened.open(tablePath());
  QCOMPARE(reopened.recordCount(), 41);
}

void TableFunctionsTest::importStopsAtALineWithoutATime() {
  const std::string path = m_dir->filePath("in.dat").toStdString();
  std::ofstream(path, std::ios::binary) << "    10:00:00         1.5      12.500\r\n"
                                        << "    10:00:06         1.6      12.400\r\n"
                                        << "       never         1.7      12.300\r\n"
                                        << "    10:00:18         1.8      12.200\r\n";
  MeasurementTable table;
  table.open(tablePath());
  AsciiFileReader file;
  QCOMPARE(file.open(path), 0);
  const ImportedLines imported = importAsciiLines(table, file, TimeTextFormat());
  QCOMPARE(imported.lastMinutes.value_or("none"), std::string("         1.6"));
  QCOMPARE(imported.stop.value_or("none"), notAValidTimeMessage("       never"));
  QCOMPARE(table.recNo(), 0);
  QCOMPARE(table.record(0).time, std::optional<int>(36000));
  QCOMPARE(table.record(1).voltage, std::string("      12.400"));
  // The record begun for the stopped line is dropped with the move to the first record.
  QCOMPARE(table.recordCount(), 2);
}

void TableFunctionsTest::exportWritesEveryLineOrThrowsTheFileError() {
  MeasurementTable table;
  table.open(tablePath());
  fill(table, 3);
  table.last();
  const std::string path = m_dir->filePath("out.dat").toStdString();
  const auto timeText = [](int seconds) { return std::to_string(seconds) + "s"; };
  exportAsciiFile(table, path, timeText);
  QCOMPARE(fileContents(path), std::string("          0s         0.0      12.000\r\n"
                                           "          6s         1.0      12.000\r\n"
                                           "         12s         2.0      12.000\r\n"));
  QCOMPARE(table.recNo(), 0);
  try {
    exportAsciiFile(table, m_dir->path().toStdString(), timeText);
    QFAIL("a folder taken for a file");
  } catch (const FileError& error) {
    QCOMPARE(std::string(error.what()), fileErrorText(EISDIR));
  }
}

QTEST_APPLESS_MAIN(TableFunctionsTest)
#include "tst_tablefunctions.moc"
