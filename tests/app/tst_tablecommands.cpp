#include "app/form1.h"
#include "app/pages/tabulkapage.h"
#include "app/program.h"
#include "data/core/asciiformat.h"
#include "data/core/numbertext.h"
#include "data/core/sqlitedatabase.h"
#include "data/form7.h"
#include "data/tablemodel.h"
#include "data/timeformat.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tablerows.h"
#include "widgets/maskedit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

using namespace kelvor;

namespace {

using Icon = OperatorDialogs::Icon;

// One run of the program on a folder: the main window with its report form and interval
// window, wired as the program entry wires them, answering from a script.
struct ScriptedProgram {
  explicit ScriptedProgram(const QString& folder)
      : program(FileLocations::forExecutableDir(folder), keptDialogs(dialogs)),
        form(&program.form()), form7(&program.form7()) {}

  MeasurementTable& table() { return form->Table1; }

  ScriptedDialogs* dialogs = nullptr;
  kelvor::Program program;
  TForm1* form;
  TForm7* form7;
};

// A temporary program folder with a running program that can be quit and started again.
struct Session {
  Session() : program(std::make_unique<ScriptedProgram>(dir.path())) {}

  void restart() {
    program->form->FormDestroy();
    program.reset();
    program = std::make_unique<ScriptedProgram>(dir.path());
  }

  QString path(const QString& name) const { return dir.filePath(name); }
  QString tableFile() const { return dir.filePath(QStringLiteral("Kelvor/Kelvor.db")); }
  MeasurementTable& table() { return program->table(); }
  TForm1& form() { return *program->form; }
  ScriptedDialogs& dialogs() { return *program->dialogs; }

  QStringList iniLines() const {
    QFile file(dir.filePath(QStringLiteral("Kelvor.ini")));
    if (!file.open(QIODevice::ReadOnly))
      return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

  QStringList messageTexts() const {
    QStringList texts;
    for (const auto& shown : program->dialogs->messages)
      texts << shown.text;
    return texts;
  }

  void exportTo(const QString& file) {
    dialogs().fileAnswers = {file};
    form().TABULKA->ExportASCII1Click();
  }
  void importFrom(const QString& file) {
    dialogs().fileAnswers = {file};
    form().TABULKA->Import_ASCIIClick();
  }

  QTemporaryDir dir;
  std::unique_ptr<ScriptedProgram> program;
};

MeasurementRecord measured(int n) {
  return {8 * 3600 + 6 * n, formatFixed(n / 10.0, 6, 1), formatFixed(1.2 + n / 1000.0, 6, 3)};
}

std::vector<MeasurementRecord> measuredRecords(int first, int count) {
  std::vector<MeasurementRecord> records;
  for (int n = first; n < first + count; ++n)
    records.push_back(measured(n));
  return records;
}

std::string column(const std::string& text) {
  return std::string(kAsciiColumnWidth - std::min(text.size(), kAsciiColumnWidth), ' ') + text;
}

// A record as it comes back from a file: the texts twelve characters wide.
MeasurementRecord imported(const MeasurementRecord& record) {
  return {record.time, column(record.minutes), column(record.voltage)};
}

QByteArray fileLine(const std::string& time, const std::string& minutes,
                    const std::string& voltage) {
  return QByteArray::fromStdString(column(time) + column(minutes) + column(voltage));
}

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Opens the interval window through the menu handler, runs `whileOpen` once the window is
// the active modal window, and closes it through its frame. False when it never became active.
bool withIntervalWindow(ScriptedProgram& program, const std::function<void()>& whileOpen) {
  bool active = false;
  QTimer::singleShot(0, program.form7, [&] {
    active = QTest::qWaitForWindowActive(program.form7) &&
             QApplication::activeModalWidget() == program.form7;
    if (active)
      whileOpen();
    program.form7->close();
  });
  program.form->TABULKA->Vyber_IntervaluClick();
  return active;
}

void setBounds(ScriptedProgram& program, const QString& zacatek, const QString& konec) {
  program.form7->ZacatekEdit->setText(zacatek);
  program.form7->KonecEdit->setText(konec);
}

// Minutes 0.1 to 10.0 in steps of 0.1, as the measuring cycle writes them.
std::vector<MeasurementRecord> tenthsUpToTen() {
  return measuredRecords(1, 100);
}

std::vector<MeasurementRecord> withMinutes(const std::vector<std::string>& minutes) {
  std::vector<MeasurementRecord> records;
  int n = 0;
  for (const std::string& text : minutes)
    records.push_back({3600 + n++, text, " 1.000"});
  return records;
}

std::vector<MeasurementRecord> keptBetween(const std::vector<MeasurementRecord>& records,
                                           double lower, double upper) {
  std::vector<MeasurementRecord> kept;
  for (const MeasurementRecord& record : records) {
    const double minutes = strToFloat(record.minutes);
    if (lower <= minutes && minutes <= upper)
      kept.push_back(record);
  }
  return kept;
}

} // namespace

class TableCommandsTest : public QObject {
  Q_OBJECT

private slots:
  // Clearing.
  void clearingEmptiesTheTable_data();
  void clearingEmptiesTheTable();
  void answeringNoToClearingKeepsEverything();
  void quittingRightAfterClearingKeepsMinutyZero();
  void aRecordEditedAtShutdownThatCannotBeStoredIsShown();
  void leadingBlanksSurviveStoreAndReopen();

  // Export and import.
  void exportingAnEmptyTableWritesAnEmptyFile();
  void exportedColumnsAreRightAligned();
  void exportThenImportDoublesEveryRecord();
  void aRecordWithoutTimeStopsItsImport();
  void exportMatchesTheLineByLineLayout();
  void exportCutByAFileSizeLimitKeepsTheLinesBefore();
  void importedLineEnds_data();
  void importedLineEnds();
  void cancelledFileDialogs();
  void fileErrors_data();
  void fileErrors();
  void importFailingOutsideTheFileKeepsTheTable();
  void importStoppedByAFullDiskKeepsTheTable();

  // Interval selection.
  void selectionKeepsTheInterval();
  void emptyBoundsKeepOnlyZeroMinutes();
  void lowerBoundAboveUpperEmptiesTheTable();
  void answeringNoToSelectionKeepsEveryRecord();
  void invalidUpperBoundDeletesNothing();
  void invalidLowerBoundKeepsTheUpperDeletions();
  void unorderedMinutesAreEachTested();
  void boundsRememberedAcrossReopeningAndRestart();
};

void TableCommandsTest::clearingEmptiesTheTable_data() {
  QTest::addColumn<int>("stored");
  QTest::addColumn<bool>("oneStillAppended");
  QTest::newRow("empty") << 0 << false;
  QTest::newRow("one") << 1 << false;
  QTest::newRow("one being appended") << 0 << true;
  QTest::newRow("thousand") << 1000 << false;
}

void TableCommandsTest::clearingEmptiesTheTable() {
  QFETCH(int, stored);
  QFETCH(bool, oneStillAppended);
  Session s;
  appendRecords(s.table(), measuredRecords(0, stored));
  if (oneStillAppended) {
    s.table().append();
    s.table().setMinutes("   0.1");
  }
  MeasuringCycle& cycle = s.form().measuring().cycle;
  cycle.NextMinutes = 12.5;
  cycle.MinutesText = "  12.5";
  cycle.ReadoutMinutes = 3.0;
  cycle.ReadoutMinutesText = "         3.0";

  s.dialogs().yesNoAnswers = {true};
  s.form().TABULKA->Vymazat_dataClick();

  QCOMPARE(s.dialogs().questions.size(), std::size_t{1});
  QCOMPARE(s.dialogs().questions[0].text,
           QStringLiteral("Opravdu  chcete vymazat\nvšechna Vaše pracně  naměřená data ???"));
  QCOMPARE(s.dialogs().questions[0].icon, Icon::Question);
  QVERIFY2(s.messageTexts().isEmpty(), qPrintable(s.messageTexts().join(';')));
  QVERIFY(s.table().isEmpty());
  QVERIFY(s.table().bof() && s.table().eof());
  QCOMPARE(s.form().TABULKA->DataSource1->rowCount(), 0);
  QVERIFY(!s.table().controlsDisabled());
  QCOMPARE(cycle.NextMinutes, 0.0);
  QCOMPARE(cycle.MinutesText, std::string("0.0"));
  QCOMPARE(cycle.ReadoutMinutes, 0.0);
  QCOMPARE(cycle.ReadoutMinutesText, std::string("0.0"));

  s.restart();
  QCOMPARE(s.table().recordCount(), 0);
}

void TableCommandsTest::answeringNoToClearingKeepsEverything() {
  Session s;
  const auto records = measuredRecords(0, 5);
  appendRecords(s.table(), records);
  MeasuringCycle& cycle = s.form().measuring().cycle;
  cycle.NextMinutes = 0.5;
  cycle.MinutesText = "   0.4";
  cycle.ReadoutMinutes = 2.0;
  cycle.ReadoutMinutesText = "         2.0";

  s.dialogs().yesNoAnswers = {false};
  s.form().TABULKA->Vymazat_dataClick();

  QCOMPARE(s.dialogs().questions.size(), std::size_t{1});
  QCOMPARE(rowTexts(s.table()), rowTexts(records));
  QCOMPARE(s.form().TABULKA->DataSource1->rowCount(), 5);
  QCOMPARE(cycle.NextMinutes, 0.5);
  QCOMPARE(cycle.MinutesText, std::string("   0.4"));
  QCOMPARE(cycle.ReadoutMinutes, 2.0);
  QCOMPARE(cycle.ReadoutMinutesText, std::string("         2.0"));
  s.restart();
  QCOMPARE(rowTexts(s.table()), rowTexts(records));
}

void TableCommandsTest::quittingRightAfterClearingKeepsMinutyZero() {
  Session s;
  appendRecords(s.table(), measuredRecords(0, 3));
  s.form().measuring().cycle.MinutesText = "  42.0";
  s.form().measuring().cycle.NextMinutes = 42.0;
  s.dialogs().yesNoAnswers = {true};
  s.form().TABULKA->Vymazat_dataClick();
  s.form().FormDestroy();
  const QStringList lines = s.iniLines();
  QVERIFY2(lines.contains(QStringLiteral("Minuty=0.0")), qPrintable(lines.join(';')));
  QVERIFY(!lines.contains(QStringLiteral("Minuty=  42.0")));
}

// The operator left a record being edited in the grid and quits on a full disk: the message
// box says so, once, instead of a line on the error stream nobody reads.
void TableCommandsTest::aRecordEditedAtShutdownThatCannotBeStoredIsShown() {
  Session s;
  appendRecords(s.table(), measuredRecords(0, 3));
  s.table().edit();
  s.table().setVoltage("99.999");
  {
    const FileSizeLimit full(QFileInfo(s.tableFile() + QStringLiteral("-wal")).size());
    s.form().FormDestroy();
  }
  QCOMPARE(s.dialogs().messages.size(), std::size_t{1});
  QCOMPARE(s.dialogs().messages[0].icon, Icon::Error);
  // Nothing is left for the table's close to fail on again.
  QCOMPARE(s.table().state(), TableState::Browse);
}

void TableCommandsTest::leadingBlanksSurviveStoreAndReopen() {
  Session s;
  const std::vector<MeasurementRecord> records{
      {3600, "   0.1", "12.345"}, {3601, "      12.5", "  1.2 "}, {3602, " ", "   "}};
  appendRecords(s.table(), records);
  s.restart();
  QCOMPARE(rowTexts(s.table()), rowTexts(records));
  TableModel& grid = *s.form().TABULKA->DataSource1;
  QCOMPARE(grid.rowCount(), 3);
  QCOMPARE(grid.data(grid.index(0, 1)).toString(), QStringLiteral("   0.1"));
  QCOMPARE(grid.data(grid.index(1, 1)).toString(), QStringLiteral("      12.5"));
  QCOMPARE(grid.data(grid.index(1, 2)).toString(), QStringLiteral("  1.2 "));
}

void TableCommandsTest::exportingAnEmptyTableWritesAnEmptyFile() {
  Session s;
  const QString file = s.path(QStringLiteral("empty.dat"));
  writeFile(file, "an earlier export\r\n");
  s.exportTo(file);
  QVERIFY(QFile::exists(file));
  QCOMPARE(readFile(file), QByteArray());
  QCOMPARE(s.dialogs().messages.size(), std::size_t{1});
  QCOMPARE(s.dialogs().messages[0].text,
           QStringLiteral("Exportovaná data byla uložena do souboru:\n") +
               QFileInfo(file).absoluteFilePath());
  QCOMPARE(s.dialogs().messages[0].title, QStringLiteral("Program  Kelvor"));
  QVERIFY(!s.table().controlsDisabled());
}

void TableCommandsTest::exportedColumnsAreRightAligned() {
  Session s;
  const std::vector<MeasurementRecord> records{{8 * 3600 + 6, "   0.1", "12.500"},
                                               {23 * 3600 + 59 * 60 + 59, "123456789012", "1"}};
  appendRecords(s.table(), records);
  // A record still being appended is stored by the export's first move and exported.
  s.table().append();
  s.table().setTime(0);
  s.table().setMinutes("   0.2");
  s.table().setVoltage("12.400");

  const QString file = s.path(QStringLiteral("out.dat"));
  s.exportTo(file);

  const TimeFormat timeFormat;
  QByteArray expected;
  for (const auto& record : {records[0], records[1], MeasurementRecord{0, "   0.2", "12.400"}})
    expected +=
        fileLine(timeFormat.format(*record.time).toStdString(), record.minutes, record.voltage) +
        "\r\n";
  const QByteArray written = readFile(file);
  QCOMPARE(written, expected);
  const QByteArray firstLine = written.left(written.indexOf("\r\n"));
  QCOMPARE(firstLine.size(), 36);
  QCOMPARE(firstLine.mid(12, 9), QByteArray(9, ' '));
  QCOMPARE(firstLine.mid(21, 3), QByteArray("0.1"));
  QCOMPARE(s.table().recordCount(), 3);
  QCOMPARE(s.messageTexts(),
           QStringList{QStringLiteral("Exportovaná data byla uložena do souboru:\n") + file});
}

void TableCommandsTest::exportThenImportDoublesEveryRecord() {
  Session s;
  const auto records = measuredRecords(1, 4);
  appendRecords(s.table(), records);
  s.form().measuring().cycle.NextMinutes = 0.5;
  s.form().measuring().cycle.MinutesText = "   0.4";

  const QString file = s.path(QStringLiteral("twice.dat"));
  s.exportTo(file);
  s.importFrom(file);

  QStringList expected = rowTexts(records);
  for (const MeasurementRecord& record : records)
    expected << rowText(imported(record));
  QCOMPARE(rowTexts(s.table()), expected);
  QCOMPARE(s.form().measuring().cycle.MinutesText, column(records.back().minutes));
  QCOMPARE(s.form().measuring().cycle.NextMinutes, 0.5);
  QCOMPARE(s.dialogs().messages.size(), std::size_t{1}); // the export's confirmation only
  QCOMPARE(s.form().TABULKA->DataSource1->rowCount(), 8);
  QVERIFY(!s.table().controlsDisabled());
  QCOMPARE(s.table().recNo(), 0);
  s.restart();
  QCOMPARE(rowTexts(s.table()), expected);
}

void TableCommandsTest::aRecordWithoutTimeStopsItsImport() {
  Session s;
  const std::vector<MeasurementRecord> records{
      {3600, "   0.1", " 1.100"}, {std::nullopt, "   0.2", " 1.200"}, {3602, "   0.3", " 1.300"}};
  appendRecords(s.table(), records);
  const QString file = s.path(QStringLiteral("notime.dat"));
  s.exportTo(file);
  const QList<QByteArray> lines = readFile(file).split('\n');
  QCOMPARE(lines.size(), 4);
  QCOMPARE(lines[1].left(12), QByteArray(12, ' '));

  s.dialogs().messages.clear();
  s.form().measuring().cycle.MinutesText = "   9.9";
  s.importFrom(file);

  QCOMPARE(s.dialogs().messages.size(), std::size_t{1});
  QCOMPARE(s.dialogs().messages[0].text, QStringLiteral("'            ' is not a valid time"));
  QCOMPARE(s.dialogs().messages[0].icon, Icon::Error);
  QStringList expected = rowTexts(records);
  expected << rowText(imported(records[0]));
  QCOMPARE(rowTexts(s.table()), expected);
  QCOMPARE(s.form().measuring().cycle.MinutesText, column("0.1"));
  QVERIFY(!s.table().controlsDisabled());
  s.restart();
  QCOMPARE(rowTexts(s.table()), expected);
}

// Records of every shape, a few thousand of them: times in order with jumps and records
// without one, minutes and voltages with leading blanks, empty, twelve characters wide, and
// with Czech letters the table keeps aside.
std::vector<MeasurementRecord> variedRecords(int count) {
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"   0.1", " 12.500"}, {"123456789012", "1"},  {"", ""},        {"  ", "1.2E+03"},
      {"Napětí", "žluť"},    {"-0.5", "1234567890"}, {"x y", "12,5"},
  };
  std::vector<MeasurementRecord> records;
  int time = 8 * 3600;
  for (int n = 0; n < count; ++n) {
    time = (time + (n % 97 == 0 ? 4321 : 6)) % kSecondsPerDay;
    const auto& [minutes, voltage] = texts[static_cast<std::size_t>(n) % texts.size()];
    records.push_back({n % 11 == 0 ? std::nullopt : std::optional<int>(time),
                       n % 2 == 0 ? formatFixed(n / 10.0, 6, 1) : minutes, voltage});
  }
  return records;
}

// The file as the export wrote it line by line before, from the table's records.
QByteArray lineByLineExport(const MeasurementTable& table) {
  const TimeFormat timeFormat;
  std::string bytes;
  for (int i = 0; i < table.recordCount(); ++i) {
    const MeasurementRecord record = table.record(i);
    appendAsciiLine(bytes, record.time ? timeFormat.format(*record.time).toStdString() : "",
                    record.minutes, record.voltage);
  }
  return QByteArray::fromStdString(bytes);
}

void TableCommandsTest::exportMatchesTheLineByLineLayout() {
  Session s;
  appendRecords(s.table(), variedRecords(5000));
  s.table().moveTo(1000);
  for (int n = 0; n < 10; ++n)
    s.table().deleteCurrent();
  QCOMPARE(s.table().recordCount(), 4990);
  const QString file = s.path(QStringLiteral("varied.dat"));
  // Times in ASCII, with an AM/PM marker after them, and with a marker of Hangul before them.
  const QLocale before;
  for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                                QLocale(QLocale::Korean, QLocale::SouthKorea)}) {
    QLocale::setDefault(locale);
    s.dialogs().messages.clear();
    s.exportTo(file);
    QCOMPARE(s.messageTexts(),
             QStringList{QStringLiteral("Exportovaná data byla uložena do souboru:\n") + file});
    const QByteArray written = readFile(file);
    const QByteArray expected = lineByLineExport(s.table());
    QCOMPARE(written.size(), expected.size());
    QVERIFY(written == expected);
  }
  QLocale::setDefault(before);
}

// A limit in the middle of the file: the lines up to it are in the file, the operator hears
// the system's error and no confirmation.
void TableCommandsTest::exportCutByAFileSizeLimitKeepsTheLinesBefore() {
  Session s;
  const std::vector<MeasurementRecord> records = variedRecords(3000);
  appendRecords(s.table(), records);
  const QString file = s.path(QStringLiteral("limited.dat"));
  constexpr int kLimit = 50001;
  {
    const FileSizeLimit limit(kLimit);
    s.exportTo(file);
  }
  QCOMPARE(s.messageTexts(), QStringList{QStringLiteral("I/O error 27")});
  QCOMPARE(s.dialogs().messages[0].icon, Icon::Error);
  QCOMPARE(readFile(file), lineByLineExport(s.table()).left(kLimit));
  QCOMPARE(rowTexts(s.table()), rowTexts(records));
  QVERIFY(!s.table().controlsDisabled());
}

void TableCommandsTest::importedLineEnds_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QStringList>("rows");
  const QByteArray one = fileLine("12:00:00", "0.1", "12.500");
  const QByteArray two = fileLine("12:01:00", "0.2", "12.400");
  const QByteArray three = fileLine("12:02:00", "0.3", "12.300");
  const QByteArray four = fileLine("12:03:00", "0.4", "12.200");
  const QString rowOne = QStringLiteral("12:00:00|         0.1|      12.500");
  const QString rowTwo = QStringLiteral("12:01:00|         0.2|      12.400");
  const QString rowThree = QStringLiteral("12:02:00|         0.3|      12.300");
  const QString rowFour = QStringLiteral("12:03:00|         0.4|      12.200");

  QTest::newRow("CR LF") << one + "\r\n" + two + "\r\n" << QStringList{rowOne, rowTwo};
  QTest::newRow("no line end at the end") << one + "\r\n" + two << QStringList{rowOne, rowTwo};
  QTest::newRow("LF only") << one + "\n" + two + "\n" + three + "\n"
                           << QStringList{rowOne, rowTwo, rowThree};
  QTest::newRow("mixed") << one + "\r\n" + two + "\n" + three + "\r" + four + "\r\n"
                         << QStringList{rowOne, rowTwo, rowThree, rowFour};
  QTest::newRow("Ctrl-Z ends the file") << one + "\r\n\x1a" + two + "\r\n" << QStringList{rowOne};
  QTest::newRow("Ctrl-Z within a line")
      << one + "\r\n" + two.left(20) + "\x1a" + three
      << QStringList{rowOne, QStringLiteral("12:01:00|        |")};
  QTest::newRow("short and long lines")
      << QByteArray("12:00\r\n") + two + "characters after column 36\r\n"
      << QStringList{QStringLiteral("12:00:00||"), rowTwo};
  QTest::newRow("Windows-1250") << one.left(24) + "Nap\xECt\xED\r\n" + two.left(24) + "\x8E\xE1r"
                                << QStringList{QStringLiteral("12:00:00|         0.1|Napětí"),
                                               QStringLiteral("12:01:00|         0.2|Žár")};
  QTest::newRow("UTF-8") << one.left(24) + "Napětí\r\n"
                         << QStringList{QStringLiteral("12:00:00|         0.1|Napětí")};
  QTest::newRow("Windows-1250 in a full column")
      << one.left(24) + "      Nap\xECt\xED"
      << QStringList{QStringLiteral("12:00:00|         0.1|      Napětí")};
}

void TableCommandsTest::importedLineEnds() {
  QFETCH(QByteArray, bytes);
  QFETCH(QStringList, rows);
  Session s;
  const QString file = s.path(QStringLiteral("in.dat"));
  writeFile(file, bytes);
  s.importFrom(file);
  QCOMPARE(rowTexts(s.table()), rows);
  QVERIFY2(s.messageTexts().isEmpty(), qPrintable(s.messageTexts().join(';')));
  QCOMPARE(s.form().measuring().cycle.MinutesText,
           rows.last().section(QLatin1Char('|'), 1, 1).toStdString());
}

void TableCommandsTest::cancelledFileDialogs() {
  Session s;
  appendRecords(s.table(), measuredRecords(0, 2));
  const QStringList filesBefore = QDir(s.dir.path()).entryList(QDir::Files);

  s.dialogs().fileAnswers = {QString()};
  s.form().TABULKA->ExportASCII1Click();
  QVERIFY(s.dialogs().messages.empty());
  QCOMPARE(QDir(s.dir.path()).entryList(QDir::Files), filesBefore);

  s.dialogs().fileAnswers = {QString()};
  s.form().TABULKA->Import_ASCIIClick();
  QCOMPARE(s.messageTexts(),
           QStringList{QStringLiteral("CHYBA - Nebyl vybrán soubor\ns naměřenými daty !!!")});
  QCOMPARE(s.table().recordCount(), 2);
  QVERIFY(!s.table().controlsDisabled());
}

void TableCommandsTest::fileErrors_data() {
  QTest::addColumn<bool>("exporting");
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("message");
  QTest::newRow("export to a folder")
      << true << QStringLiteral("folder") << QStringLiteral("File access denied");
  QTest::newRow("import a folder")
      << false << QStringLiteral("folder") << QStringLiteral("File access denied");
  QTest::newRow("import a missing file")
      << false << QStringLiteral("missing.dat") << QStringLiteral("File not found");
  QTest::newRow("export to a full disk")
      << true << QStringLiteral("/dev/full") << QStringLiteral("Disk full");
  QTest::newRow("export into a read-only folder")
      << true << QStringLiteral("readonly/out.dat") << QStringLiteral("File access denied");
}

void TableCommandsTest::fileErrors() {
  QFETCH(bool, exporting);
  QFETCH(QString, file);
  QFETCH(QString, message);
  Session s;
  QVERIFY(QDir(s.dir.path()).mkdir(QStringLiteral("folder")));
  QVERIFY(QDir(s.dir.path()).mkdir(QStringLiteral("readonly")));
  QVERIFY(::chmod(qPrintable(s.path(QStringLiteral("readonly"))), 0555) == 0);
  if (file.startsWith(QStringLiteral("readonly")) && ::geteuid() == 0)
    QSKIP("the superuser writes into read-only folders");
  const auto records = measuredRecords(0, 3);
  appendRecords(s.table(), records);
  const QString path = file.startsWith(QLatin1Char('/')) ? file : s.path(file);
  if (exporting)
    s.exportTo(path);
  else
    s.importFrom(path);
  QCOMPARE(s.messageTexts(), QStringList{message});
  QCOMPARE(s.dialogs().messages[0].icon, Icon::Error);
  QCOMPARE(rowTexts(s.table()), rowTexts(records));
  QVERIFY(!s.table().controlsDisabled());
}

void TableCommandsTest::importFailingOutsideTheFileKeepsTheTable() {
  Session s;
  const auto records = measuredRecords(0, 3);
  appendRecords(s.table(), records);
  s.form().measuring().cycle.MinutesText = "   0.3";

  // Address 0 of the own memory cannot be read: the first read fails.
  s.importFrom(QStringLiteral("/proc/self/mem"));
  QCOMPARE(s.messageTexts(), QStringList{QStringLiteral("I/O error 5")});
  QCOMPARE(rowTexts(s.table()), rowTexts(records));
  QCOMPARE(s.form().measuring().cycle.MinutesText, std::string("   0.3"));

  const QString file = s.path(QStringLiteral("good.dat"));
  writeFile(file, fileLine("13:00:00", "1.0", "1.500") + "\r\n" +
                      fileLine("13:00:06", "1.1", "1.400") + "\r\n");
  {
    // Another program holds the table's write lock for the whole import.
    SqliteDatabase other(s.tableFile().toStdString());
    other.exec("BEGIN IMMEDIATE");
    s.dialogs().messages.clear();
    s.importFrom(file);
    QCOMPARE(s.dialogs().messages.size(), std::size_t{1});
    QVERIFY2(s.messageTexts()[0].contains(QStringLiteral("locked")),
             qPrintable(s.messageTexts()[0]));
    QCOMPARE(rowTexts(s.table()), rowTexts(records));
    QCOMPARE(s.form().measuring().cycle.MinutesText, std::string("   0.3"));
    QVERIFY(!s.table().controlsDisabled());
    other.exec("ROLLBACK");
  }

  s.dialogs().messages.clear();
  s.importFrom(file);
  QVERIFY(s.dialogs().messages.empty());
  QCOMPARE(s.table().recordCount(), 5);
  QCOMPARE(s.form().measuring().cycle.MinutesText, column("1.1"));
}

void TableCommandsTest::importStoppedByAFullDiskKeepsTheTable() {
  Session s;
  const auto records = measuredRecords(0, 3);
  appendRecords(s.table(), records);
  s.form().measuring().cycle.MinutesText = "   0.3";
  const QString file = s.path(QStringLiteral("long.dat"));
  QByteArray lines;
  for (const MeasurementRecord& record : measuredRecords(3, 50000))
    lines += fileLine(timeToStorageText(*record.time), record.minutes, record.voltage) + "\r\n";
  writeFile(file, lines);
  {
    // Far less than the lines need, so the table's file fills up in the middle of the import.
    const FileSizeLimit limit(256 * 1024);
    s.importFrom(file);
  }
  QCOMPARE(s.dialogs().messages.size(), std::size_t{1});
  QCOMPARE(s.dialogs().messages[0].icon, Icon::Error);
  QCOMPARE(rowTexts(s.table()), rowTexts(records));
  QCOMPARE(s.form().TABULKA->DataSource1->rowCount(), 3);
  QCOMPARE(s.form().measuring().cycle.MinutesText, std::string("   0.3"));
  QVERIFY(!s.table().controlsDisabled());
  s.restart();
  QCOMPARE(rowTexts(s.table()), rowTexts(records));
}

void TableCommandsTest::selectionKeepsTheInterval() {
  Session s;
  const auto records = tenthsUpToTen();
  appendRecords(s.table(), records);
  setBounds(*s.program, QStringLiteral("  2.0"), QStringLiteral("  5.0"));
  s.dialogs().yesNoAnswers = {true};
  s.program->form7->SelectButton->click();

  QCOMPARE(s.dialogs().questions.size(), std::size_t{1});
  QCOMPARE(
      s.dialogs().questions[0].text,
      QStringLiteral(
          "Opravdu  chcete vymazat\nvšechna Vaše naměřená data\nkromě vybraného intervalu ???"));
  QCOMPARE(s.dialogs().questions[0].icon, Icon::Question);
  QVERIFY(s.dialogs().messages.empty());
  const QStringList expected = rowTexts(measuredRecords(20, 31));
  QCOMPARE(rowTexts(s.table()), expected);
  QCOMPARE(s.form().TABULKA->DataSource1->rowCount(), 31);
  QVERIFY(!s.table().controlsDisabled());
  s.restart();
  QCOMPARE(rowTexts(s.table()), expected);
}

void TableCommandsTest::emptyBoundsKeepOnlyZeroMinutes() {
  Session s;
  const auto records = withMinutes({"   0.0", "   0.1", "0", "   1.5", "  -0.1", "   0.0"});
  appendRecords(s.table(), records);
  QCOMPARE(s.program->form7->ZacatekEdit->text(), QStringLiteral("   . "));
  QCOMPARE(s.program->form7->KonecEdit->text(), QStringLiteral("   . "));
  s.dialogs().yesNoAnswers = {true};
  s.form().TABULKA->SelectButtonClick();
  QCOMPARE(rowTexts(s.table()), rowTexts({records[0], records[2], records[5]}));
}

void TableCommandsTest::lowerBoundAboveUpperEmptiesTheTable() {
  Session s;
  appendRecords(s.table(), tenthsUpToTen());
  setBounds(*s.program, QStringLiteral("  5. "), QStringLiteral("  2.0"));
  s.dialogs().yesNoAnswers = {true};
  s.form().TABULKA->SelectButtonClick();
  QVERIFY(s.dialogs().messages.empty());
  QCOMPARE(s.table().recordCount(), 0);
  QCOMPARE(s.form().TABULKA->DataSource1->rowCount(), 0);
}

void TableCommandsTest::answeringNoToSelectionKeepsEveryRecord() {
  Session s;
  const auto records = tenthsUpToTen();
  appendRecords(s.table(), records);
  setBounds(*s.program, QStringLiteral("  2.0"), QStringLiteral("  5.0"));
  s.dialogs().yesNoAnswers = {false};
  s.form().TABULKA->SelectButtonClick();
  QCOMPARE(s.dialogs().questions.size(), std::size_t{1});
  QCOMPARE(rowTexts(s.table()), rowTexts(records));
}

void TableCommandsTest::invalidUpperBoundDeletesNothing() {
  Session s;
  const auto records = tenthsUpToTen();
  appendRecords(s.table(), records);
  setBounds(*s.program, QStringLiteral("  2.0"), QStringLiteral("1 2.0"));
  QCOMPARE(s.program->form7->KonecEdit->text(), QStringLiteral("1 2.0"));
  s.dialogs().yesNoAnswers = {true};
  s.form().TABULKA->SelectButtonClick();
  QCOMPARE(s.messageTexts(),
           QStringList{QStringLiteral("'1 2.0' is not a valid floating point value")});
  QCOMPARE(s.dialogs().messages[0].icon, Icon::Error);
  QCOMPARE(rowTexts(s.table()), rowTexts(records));
  QVERIFY(!s.table().controlsDisabled());
}

void TableCommandsTest::invalidLowerBoundKeepsTheUpperDeletions() {
  Session s;
  const auto records = tenthsUpToTen();
  appendRecords(s.table(), records);
  setBounds(*s.program, QStringLiteral("1 1.0"), QStringLiteral("  5.0"));
  s.dialogs().yesNoAnswers = {true};
  s.form().TABULKA->SelectButtonClick();
  QCOMPARE(s.messageTexts(),
           QStringList{QStringLiteral("'1 1.0' is not a valid floating point value")});
  const QStringList expected = rowTexts(keptBetween(records, 0.0, 5.0));
  QCOMPARE(expected.size(), 50);
  QCOMPARE(rowTexts(s.table()), expected);
  QCOMPARE(s.form().TABULKA->DataSource1->rowCount(), 50);
  s.restart();
  QCOMPARE(rowTexts(s.table()), expected);
}

void TableCommandsTest::unorderedMinutesAreEachTested() {
  Session s;
  const auto records = withMinutes({"   7.0", "   1.0", "   3.0", "   9.0", "   2.0", "   5.0",
                                    "   4.5", "   0.5", "   5.1", "   3.5"});
  appendRecords(s.table(), records);
  setBounds(*s.program, QStringLiteral("  2.0"), QStringLiteral("  5.0"));
  s.dialogs().yesNoAnswers = {true};
  s.form().TABULKA->SelectButtonClick();
  const auto kept = keptBetween(records, 2.0, 5.0);
  QCOMPARE(kept.size(), std::size_t{5});
  QCOMPARE(rowTexts(s.table()), rowTexts(kept));
}

void TableCommandsTest::boundsRememberedAcrossReopeningAndRestart() {
  Session s;
  const auto records = tenthsUpToTen();
  appendRecords(s.table(), records);

  bool stayedOpen = false;
  QVERIFY(withIntervalWindow(*s.program, [&] {
    setBounds(*s.program, QStringLiteral("  2.0"), QStringLiteral("  5.0"));
    s.dialogs().yesNoAnswers = {true};
    s.program->form7->SelectButton->click();
    stayedOpen = s.program->form7->isVisible();
  }));
  QVERIFY(stayedOpen);
  QCOMPARE(s.table().recordCount(), 31);

  // Both texts as the window shows them once it is open again.
  QStringList shown;
  const auto readBounds = [&] {
    shown = QStringList{s.program->form7->ZacatekEdit->text(), s.program->form7->KonecEdit->text()};
  };
  const QStringList entered{QStringLiteral("  2.0"), QStringLiteral("  5.0")};
  QVERIFY(withIntervalWindow(*s.program, readBounds));
  QCOMPARE(shown, entered);

  s.restart();
  QCOMPARE(s.program->form7->ZacatekEdit->text(), QStringLiteral("   . "));
  QVERIFY(withIntervalWindow(*s.program, readBounds));
  QCOMPARE(shown, entered);
  QCOMPARE(s.table().recordCount(), 31);
}

QTEST_MAIN(TableCommandsTest)
#include "tst_tablecommands.moc"
