#include "data/core/asciiformat.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "data/timeformat.h"
#include "data/timeofdaytexts.h"
#include "tests/support/filesizelimit.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iterator>
#include <vector>

using namespace kelvor;

namespace {

std::string fileContents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A stored record whose text arrays hold, after each text, bytes that must not reach the
// file: high bytes that are no ASCII and letters that would show.
StoredRecord storedRecord(int time, std::string_view minutes, std::string_view voltage) {
  StoredRecord record;
  record.time = time;
  record.minutes.fill('\xFF');
  record.voltage.fill('X');
  std::copy(minutes.begin(), minutes.end(), record.minutes.begin());
  std::copy(voltage.begin(), voltage.end(), record.voltage.begin());
  record.minutesSize = static_cast<std::uint8_t>(minutes.size());
  record.voltageSize = static_cast<std::uint8_t>(voltage.size());
  return record;
}

std::string_view minutesOf(const StoredRecord& record) {
  return {record.minutes.data(), record.minutesSize};
}

std::string_view voltageOf(const StoredRecord& record) {
  return {record.voltage.data(), record.voltageSize};
}

// The time texts of the tests: "H:MM:SS" (one digit for the hours below ten), and two seconds with
// texts that do not fit a column by bytes (Czech letters, and more than twelve characters).
std::string testTimeText(int secondsOfDay) {
  if (secondsOfDay == 7)
    return "7 sekund, žádná";
  if (secondsOfDay == 8)
    return "čas 0:00:08";
  const std::string text = timeToStorageText(secondsOfDay);
  return text[0] == '0' ? text.substr(1) : text;
}

// Records of every shape a line can take, `count` of them in turn.
std::vector<StoredRecord> variedRecords(int count) {
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"   0.1", " 12.500"},
      {"123456789012", "1"},
      {"", ""},
      {"  ", "1.2E+03"},
      {"Napětí", "ŽluťoučkýKůň"},
      {"-0.5", "12345678901"},
      {"    1234.5", "          12"},
      {"x", "žž"},
  };
  std::vector<StoredRecord> records;
  for (int n = 0; n < count; ++n) {
    const auto& [minutes, voltage] = texts[static_cast<std::size_t>(n) % texts.size()];
    const int time = n % 13 == 0 ? StoredRecord::kNoTime : (n * 37) % kSecondsPerDay;
    records.push_back(storedRecord(time, minutes, voltage));
  }
  return records;
}

std::string lineByLine(const std::vector<StoredRecord>& records) {
  std::string bytes;
  for (const StoredRecord& record : records)
    appendAsciiLine(bytes, record.time == StoredRecord::kNoTime ? "" : testTimeText(record.time),
                    minutesOf(record), voltageOf(record));
  return bytes;
}

// Writes the records with a writer of the given block size and returns the first failure.
int writeRecords(const std::string& path, const std::vector<StoredRecord>& records,
                 std::size_t blockSize) {
  AsciiFileWriter writer(blockSize);
  AsciiTimeColumns times(testTimeText);
  if (const int error = writer.create(path); error != 0)
    return error;
  // In pieces of a few records, as the export hands them over.
  for (std::size_t first = 0; first < records.size(); first += 5)
    if (const int error = writer.writeRecords(
            times,
            std::span(records).subspan(first, std::min<std::size_t>(5, records.size() - first)));
        error != 0)
      return error;
  return writer.close();
}

MeasurementRecord asRecord(const StoredRecord& record) {
  return {record.time == StoredRecord::kNoTime ? std::nullopt : std::optional<int>(record.time),
          std::string(minutesOf(record)), std::string(voltageOf(record))};
}

// Appends the records in one transaction and goes to the first.
void appendRecords(MeasurementTable& table, const std::vector<StoredRecord>& records) {
  MeasurementTable::Batch batch(table);
  for (const StoredRecord& record : records) {
    table.append();
    table.setTime(asRecord(record).time);
    table.setMinutes(minutesOf(record));
    table.setVoltage(voltageOf(record));
  }
  table.first();
  batch.commit();
}

} // namespace

class AsciiExportTest : public QObject {
  Q_OBJECT

private slots:
  void recordLinesMatchTheLineLayout();
  void blockBoundaries_data();
  void blockBoundaries();
  void timeColumnsAreMadeOncePerSecond();
  void writeFailureInTheMiddleOfABlock();
  void fullDisk();
  void storedRecordsWalkAcrossTheGap();
  void alignedRecordsStopAtTextsKeptAside();
  void tableLinesAreTheLinesOfItsRecords_data();
  void tableLinesAreTheLinesOfItsRecords();
  void timeTextsMatchTheFormat_data();
  void timeTextsMatchTheFormat();
  void timeTextsOfEveryLocale();
};

void AsciiExportTest::recordLinesMatchTheLineLayout() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const std::string path = dir.filePath("lines.dat").toStdString();
  const std::vector<StoredRecord> records = {
      storedRecord(3600, "   0.1", " 12.500"),          // leading blanks stay
      storedRecord(StoredRecord::kNoTime, "", ""),      // no time, empty texts: blanks only
      storedRecord(43200, "123456789012", "1"),         // exactly twelve characters
      storedRecord(7, "1", "2"),                        // a time longer than its column
      storedRecord(8, "Napětí", "ž"),                   // Czech letters count as one column
      storedRecord(86399, "1234567890123", "13 bytes"), // longer text shifts the line
  };
  QCOMPARE(writeRecords(path, records, kAsciiWriteBlockSize), 0);
  const std::string written = fileContents(path);
  QCOMPARE(written, lineByLine(records));
  QCOMPARE(written.substr(0, 38), std::string("     1:00:00         0.1      12.500\r\n"));
  QCOMPARE(written.substr(38, 38), std::string(36, ' ') + "\r\n");
  QVERIFY(written.find(" čas 0:00:08      Napětí           ž\r\n") != std::string::npos);
  QVERIFY(written.find('X') == std::string::npos);
  QVERIFY(written.find('\xFF') == std::string::npos);
}

void AsciiExportTest::blockBoundaries_data() {
  QTest::addColumn<int>("blockSize");
  QTest::addColumn<int>("records");
  QTest::newRow("one byte") << 1 << 40;
  QTest::newRow("one byte short of a line") << 37 << 40;
  QTest::newRow("one line exactly") << 38 << 40;
  QTest::newRow("two lines exactly") << 76 << 40;
  QTest::newRow("a line and a half") << 57 << 40;
  QTest::newRow("a few kilobytes") << 4096 << 3000;
  QTest::newRow("the default") << int{kAsciiWriteBlockSize} << 30000;
}

// Whatever the block size, lines that fill blocks exactly, lines across two blocks and the
// lines that cannot be copied straight give the bytes of the line-by-line layout.
void AsciiExportTest::blockBoundaries() {
  QFETCH(int, blockSize);
  QFETCH(int, records);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const std::string path = dir.filePath("blocks.dat").toStdString();
  const std::vector<StoredRecord> varied = variedRecords(records);
  QCOMPARE(writeRecords(path, varied, static_cast<std::size_t>(blockSize)), 0);
  QCOMPARE(fileContents(path), lineByLine(varied));

  // Short lines only, so that a line ends exactly where a block ends.
  std::vector<StoredRecord> shortLines;
  for (int n = 0; n < records; ++n)
    shortLines.push_back(storedRecord(n, formatFixed(n / 10.0, 6, 1), " 12.345"));
  QCOMPARE(writeRecords(path, shortLines, static_cast<std::size_t>(blockSize)), 0);
  QCOMPARE(fileContents(path), lineByLine(shortLines));
}

void AsciiExportTest::timeColumnsAreMadeOncePerSecond() {
  std::vector<int> asked;
  AsciiTimeColumns columns([&asked](int secondsOfDay) {
    asked.push_back(secondsOfDay);
    return testTimeText(secondsOfDay);
  });
  QCOMPARE(columns.column(3723), std::string_view("     1:02:03"));
  QCOMPARE(columns.column(3723), std::string_view("     1:02:03"));
  QCOMPARE(columns.column(0), std::string_view("     0:00:00"));
  QCOMPARE(columns.column(86399), std::string_view("    23:59:59"));
  QCOMPARE(columns.column(7), std::string_view("7 sekund, žádná"));
  QCOMPARE(columns.column(7), std::string_view("7 sekund, žádná"));
  QCOMPARE(columns.column(8), std::string_view(" čas 0:00:08"));
  QCOMPARE(columns.column(StoredRecord::kNoTime), std::string_view("            "));
  QCOMPARE(asked, (std::vector<int>{3723, 0, 86399, 7, 8}));
}

// A file-size limit that falls inside a block: the system takes the bytes up to it, the write
// of the rest fails, and what was taken is the start of the lines.
void AsciiExportTest::writeFailureInTheMiddleOfABlock() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const std::string path = dir.filePath("limited.dat").toStdString();
  const std::vector<StoredRecord> records = variedRecords(3000);
  constexpr std::size_t kLimit = 10000;
  int error = 0;
  {
    const FileSizeLimit limit(kLimit);
    error = writeRecords(path, records, 4096);
  }
  QCOMPARE(error, EFBIG);
  QCOMPARE(fileErrorText(error), std::string("I/O error 27"));
  QCOMPARE(fileContents(path), lineByLine(records).substr(0, kLimit));
}

void AsciiExportTest::fullDisk() {
  AsciiFileWriter writer(100);
  AsciiTimeColumns times(testTimeText);
  QCOMPARE(writer.create("/dev/full"), 0);
  const StoredRecord record = storedRecord(1, "0.1", "1.0");
  QCOMPARE(writer.writeRecords(times, {&record, 1}), 0);
  QCOMPARE(writer.writeRecords(times, {&record, 1}), 0);
  // The third line fills the block of 100 bytes.
  const int full = writer.writeRecords(times, {&record, 1});
  QCOMPARE(fileErrorText(full), std::string("Disk full"));
  QCOMPARE(writer.close(), ENOSPC);
  QVERIFY(!writer.isOpen());
  QCOMPARE(writer.writeRecords(times, {&record, 1}), EBADF);
}

// Records deleted in the middle leave a gap in the store; a walk in pieces of any size reads
// across it the records that record() shows, packed texts and texts kept aside alike.
void AsciiExportTest::storedRecordsWalkAcrossTheGap() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  MeasurementTable table;
  table.open(dir.filePath("Kelvor/Kelvor.db").toStdString());
  appendRecords(table, variedRecords(200));
  table.moveTo(50);
  for (int n = 0; n < 20; ++n)
    table.deleteCurrent();
  QCOMPARE(table.recordCount(), 180);

  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{256}}) {
    std::vector<StoredRecord> out(piece);
    std::vector<MeasurementRecord> walked;
    int next = 0;
    while (const std::size_t count = table.storedRecords(next, out)) {
      for (std::size_t i = 0; i < count; ++i)
        walked.push_back(asRecord(out[i]));
      next += static_cast<int>(count);
    }
    QCOMPARE(static_cast<int>(walked.size()), table.recordCount());
    for (int i = 0; i < table.recordCount(); ++i)
      QCOMPARE(walked[static_cast<std::size_t>(i)], table.record(i));
  }
  std::vector<StoredRecord> out(4);
  QCOMPARE(table.storedRecords(178, out), std::size_t{2});
  QCOMPARE(table.storedRecords(180, out), std::size_t{0});
  QCOMPARE(table.storedRecords(-1, out), std::size_t{0});
}

namespace {

// A table of varied records (texts kept aside among them), runs of plain records longer than
// a block of the walk, records at the seconds whose time texts do not fit their column, and a
// gap left by deletions in the middle.
void fillVariedTable(MeasurementTable& table) {
  std::vector<StoredRecord> records = variedRecords(300);
  for (int n = 0; n < 700; ++n)
    records.push_back(storedRecord(n * 6, formatFixed(n / 10.0, 8, 1), formatFixed(n / 7.0, 6, 3)));
  records.push_back(storedRecord(7, "1.5", "-2"));
  records.push_back(storedRecord(8, "+1.5E-3", "  "));
  records.push_back(storedRecord(StoredRecord::kNoTime, "999999999999", "0"));
  appendRecords(table, records);
  table.moveTo(40);
  for (int n = 0; n < 25; ++n)
    table.deleteCurrent();
}

std::string paddedColumn(const std::string& text) {
  std::string column;
  appendAsciiLine(column, "", text, "");
  return column.substr(kAsciiColumnWidth, kAsciiColumnWidth);
}

bool onlyCodedCharacters(const std::string& text) {
  return text.size() <= kAsciiColumnWidth &&
         text.find_first_not_of(" 0123456789.-+E") == std::string::npos;
}

} // namespace

// A walk in pieces of any size gives each record's texts padded to their columns, and stops
// exactly at a record with a text of other characters or more than twelve of them.
void AsciiExportTest::alignedRecordsStopAtTextsKeptAside() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  MeasurementTable table;
  table.open(dir.filePath("Kelvor/Kelvor.db").toStdString());
  fillVariedTable(table);
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{256}}) {
    std::vector<AlignedRecord> out(piece);
    int stops = 0;
    for (int next = 0; next < table.recordCount();) {
      const std::size_t count = table.storedAlignedRecords(next, out);
      for (std::size_t i = 0; i < count; ++i, ++next) {
        const MeasurementRecord record = table.record(next);
        QCOMPARE(out[i].time, record.time.value_or(StoredRecord::kNoTime));
        QCOMPARE(std::string(out[i].minutes.data(), kAsciiColumnWidth),
                 paddedColumn(record.minutes));
        QCOMPARE(std::string(out[i].voltage.data(), kAsciiColumnWidth),
                 paddedColumn(record.voltage));
      }
      if (count == piece || next == table.recordCount())
        continue;
      const MeasurementRecord stop = table.record(next);
      QVERIFY(!onlyCodedCharacters(stop.minutes) || !onlyCodedCharacters(stop.voltage));
      ++stops;
      ++next;
    }
    // Two of every eight varied records hold a text kept aside: 74 of 300, 6 of them deleted.
    QCOMPARE(stops, 68);
  }
  std::vector<AlignedRecord> out(4);
  QCOMPARE(table.storedAlignedRecords(table.recordCount() - 2, out), std::size_t{2});
  QCOMPARE(table.storedAlignedRecords(table.recordCount(), out), std::size_t{0});
  QCOMPARE(table.storedAlignedRecords(-1, out), std::size_t{0});
}

void AsciiExportTest::tableLinesAreTheLinesOfItsRecords_data() {
  QTest::addColumn<int>("blockSize");
  QTest::newRow("a line and a half") << 57;
  QTest::newRow("the default") << int{kAsciiWriteBlockSize};
}

void AsciiExportTest::tableLinesAreTheLinesOfItsRecords() {
  QFETCH(int, blockSize);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  MeasurementTable table;
  table.open(dir.filePath("Kelvor/Kelvor.db").toStdString());
  fillVariedTable(table);
  std::string expected;
  for (int i = 0; i < table.recordCount(); ++i) {
    const MeasurementRecord record = table.record(i);
    appendAsciiLine(expected, record.time ? testTimeText(*record.time) : "", record.minutes,
                    record.voltage);
  }
  const std::string path = dir.filePath("table.dat").toStdString();
  AsciiFileWriter writer(static_cast<std::size_t>(blockSize));
  AsciiTimeColumns times(testTimeText);
  QCOMPARE(writer.create(path), 0);
  QCOMPARE(writeTableLines(writer, times, table), 0);
  QCOMPARE(writer.close(), 0);
  QCOMPARE(fileContents(path), expected);
}

void AsciiExportTest::timeTextsMatchTheFormat_data() {
  QTest::addColumn<QLocale>("locale");
  QTest::newRow("Czech") << QLocale(QLocale::Czech, QLocale::Czechia);
  QTest::newRow("US English, AM/PM after") << QLocale(QLocale::English, QLocale::UnitedStates);
  QTest::newRow("Korean, AM/PM before") << QLocale(QLocale::Korean, QLocale::SouthKorea);
  QTest::newRow("Arabic, other digits") << QLocale(QLocale::Arabic, QLocale::Egypt);
}

// Every second of the day, as the format writes it; the pieces are used, not the format.
void AsciiExportTest::timeTextsMatchTheFormat() {
  QFETCH(QLocale, locale);
  const TimeFormat format(locale);
  const TimeOfDayTexts texts(format);
  QVERIFY(texts.isComposed());
  for (int seconds = 0; seconds < kSecondsPerDay; ++seconds) {
    const std::string expected = format.format(seconds).toStdString();
    if (texts.of(seconds) != expected)
      QFAIL(qPrintable(QString::number(seconds) + ": " + QString::fromStdString(texts.of(seconds)) +
                       " instead of " + QString::fromStdString(expected)));
  }
}

// Whatever a locale's pattern, the texts are the format's own: composed, or formatted whole
// where the pieces would differ.
void AsciiExportTest::timeTextsOfEveryLocale() {
  const QList<QLocale> locales =
      QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
  QVERIFY(locales.size() > 100);
  int composed = 0;
  for (const QLocale& locale : locales) {
    const TimeFormat format(locale);
    const TimeOfDayTexts texts(format);
    composed += texts.isComposed() ? 1 : 0;
    for (int seconds = 0; seconds < kSecondsPerDay; seconds += 1237)
      QCOMPARE(texts.of(seconds), format.format(seconds).toStdString());
  }
  // The locales' patterns are made of the fields the pieces know.
  QCOMPARE(composed, static_cast<int>(locales.size()));
}

QTEST_GUILESS_MAIN(AsciiExportTest)
#include "tst_asciiexport.moc"
