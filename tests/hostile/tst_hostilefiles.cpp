#include "app/form1.h"
#include "app/pages/grafpage.h"
#include "app/pages/tabulkapage.h"
#include "app/program.h"
#include "data/core/asciiformat.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "data/core/sqlitedatabase.h"
#include "data/form7.h"
#include "tests/support/filebytes.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/tablerows.h"
#include "widgets/maskedit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace kelvor;

namespace {

using Icon = OperatorDialogs::Icon;

constexpr char kHoldLockSwitch[] = "--hold-lock";
constexpr char kLockedLine[] = "locked";
// A start-up or a command that meets a damaged or locked table must end within this.
constexpr qint64 kBoundedMs = 30000;

// One run of the program on a folder, wired as the program entry wires it, answering from a
// script.
struct ScriptedProgram {
  explicit ScriptedProgram(const QString& folder)
      : program(FileLocations::forExecutableDir(folder), keptDialogs(dialogs)),
        form(&program.form()), form7(&program.form7()) {}
  ~ScriptedProgram() { program.shutdown(); }
  ScriptedProgram(const ScriptedProgram&) = delete;
  ScriptedProgram& operator=(const ScriptedProgram&) = delete;

  MeasurementTable& table() { return form->Table1; }

  QStringList messageTexts() const {
    QStringList texts;
    for (const auto& shown : dialogs->messages)
      texts << shown.text;
    return texts;
  }
  bool onlyErrorMessages() const {
    return std::all_of(
        dialogs->messages.begin(), dialogs->messages.end(),
        [](const ScriptedDialogs::Shown& shown) { return shown.icon == Icon::Error; });
  }

  void importFrom(const QString& file) {
    dialogs->fileAnswers = {file};
    form->TABULKA->Import_ASCIIClick();
  }
  void exportTo(const QString& file) {
    dialogs->fileAnswers = {file};
    form->TABULKA->ExportASCII1Click();
  }
  void clearTable() {
    dialogs->yesNoAnswers = {true};
    form->TABULKA->Vymazat_dataClick();
  }
  void selectInterval(const QString& from, const QString& to) {
    form7->ZacatekEdit->setText(from);
    form7->KonecEdit->setText(to);
    dialogs->yesNoAnswers = {true};
    form->TABULKA->SelectButtonClick();
  }

  ScriptedDialogs* dialogs = nullptr;
  kelvor::Program program;
  TForm1* form;
  TForm7* form7;
};

QString tablePath(const QTemporaryDir& dir) {
  return dir.filePath(QStringLiteral("Kelvor/Kelvor.db"));
}

MeasurementRecord measured(int n) {
  return {8 * 3600 + 6 * n, formatFixed(n / 10.0, 6, 1), formatFixed(1.2 + n / 1000.0, 6, 3)};
}

std::vector<MeasurementRecord> measuredRecords(int count) {
  std::vector<MeasurementRecord> records;
  for (int n = 0; n < count; ++n)
    records.push_back(measured(n));
  return records;
}

// Writes a table file the way the program leaves it after a run.
void createTable(const QString& file, const std::vector<MeasurementRecord>& records) {
  MeasurementTable table;
  table.open(file.toStdString());
  appendRecords(table, records);
}

// A file line of the three columns, each right-aligned in 12 characters.
QByteArray fileLine(const char* time, const char* minutes, const char* voltage) {
  return QByteArray(time).rightJustified(12) + QByteArray(minutes).rightJustified(12) +
         QByteArray(voltage).rightJustified(12);
}

QByteArray randomBytes(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  QByteArray out(static_cast<qsizetype>(count), '\0');
  for (char& c : out) {
    // Ctrl-Z would end the file early and leave the rest untried.
    do
      c = static_cast<char>(byte(generator));
    while (c == kAsciiEndOfFile);
  }
  return out;
}

qint64 statusKilobytes(const char* field) {
  const QByteArray status = readFile(QStringLiteral("/proc/self/status"));
  for (const QByteArray& line : status.split('\n'))
    if (line.startsWith(field))
      return line.mid(static_cast<qsizetype>(qstrlen(field)))
          .trimmed()
          .split(' ')
          .value(0)
          .toLongLong();
  return -1;
}

// Starts measuring the highest resident size afresh; false where the kernel does not offer it.
bool resetPeakResidentSize() {
  QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
  return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

// A second process that holds the table's lock until its input closes, as another program
// with the file open in a transaction would.
class LockHolder {
public:
  LockHolder(const QString& file, const QString& mode) {
    m_process.start(QCoreApplication::applicationFilePath(),
                    {QString::fromLatin1(kHoldLockSwitch), file, mode});
    m_process.setReadChannel(QProcess::StandardOutput);
  }
  ~LockHolder() { release(); }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  bool waitUntilLocked() {
    return QTest::qWaitFor(
               [this] {
                 m_output += m_process.readAllStandardOutput();
                 return m_output.contains(kLockedLine) || m_process.state() == QProcess::NotRunning;
               },
               kBoundedMs) &&
           m_output.contains(kLockedLine);
  }
  void release() {
    if (m_process.state() == QProcess::NotRunning)
      return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(kBoundedMs))
      m_process.kill();
    m_process.waitForFinished();
  }
  QByteArray errors() { return m_process.readAllStandardError(); }

private:
  QProcess m_process;
  QByteArray m_output;
};

// The lock holder's side: "exclusive" also keeps readers out, "writer" only writers.
int holdLock(const char* file, const std::string& mode) {
  try {
    SqliteDatabase db(file);
    if (mode == "exclusive")
      db.exec("PRAGMA locking_mode = EXCLUSIVE");
    db.exec("BEGIN EXCLUSIVE");
    db.exec("INSERT INTO Kelvor (MINUTES) VALUES ('held')");
    std::cout << kLockedLine << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    db.exec("ROLLBACK");
    return 0;
  } catch (const std::exception& error) {
    std::cerr << error.what() << std::endl;
    return 1;
  }
}

} // namespace

// Files the operator may hand the program that are not what it expects: binary or endless
// import files, a full disk, and a table file that is damaged or held by another program.
class TestHostileFiles : public QObject {
  Q_OBJECT

private slots:
  void importOfHostileFiles_data();
  void importOfHostileFiles();
  void zeroBytesReachTheOperatorWhole();
  void importOfAHundredMegabyteLine();
  void importOfADeviceEndsOrRefuses();
  void exportToAFullDiskLosesNothing();
  void damagedTableFile_data();
  void damagedTableFile();
  void tableLockedAgainstReaders();
  void tableLockedAgainstWriters();
};

void TestHostileFiles::importOfHostileFiles_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QStringList>("rows");
  // A pattern the one message must match; empty when no message is expected.
  QTest::addColumn<QString>("message");
  const QByteArray one = fileLine("12:00:00", "0.1", "12.500");
  const QByteArray two = fileLine("12:01:00", "0.2", "12.400");
  const QString rowOne = QStringLiteral("12:00:00|         0.1|      12.500");
  const QString rowTwo = QStringLiteral("12:01:00|         0.2|      12.400");
  const QString notATime = QStringLiteral("(?s)^'.{0,12}' is not a valid time$");

  QTest::newRow("binary garbage") << QByteArray("\xff\x00\x01", 3) + randomBytes(256 * 1024, 1)
                                  << QStringList{} << notATime;
  QTest::newRow("good lines then binary garbage")
      << one + "\r\n" + two + "\r\n" + QByteArray("\x00\xfe", 2) + randomBytes(64 * 1024, 2)
      << QStringList{rowOne, rowTwo} << notATime;
  QTest::newRow("NUL bytes in the minutes column")
      << QByteArray("    12:00:00") + QByteArray(12, '\0') + "      12.500\r\n"
      << QStringList{QStringLiteral("12:00:00|") + QString(12, QChar(0)) +
                     QStringLiteral("|      12.500")}
      << QString();
  QTest::newRow("CR CR LF holds an empty line")
      << one + "\r\r\n" + two + "\r\n"
      << QStringList{rowOne} << QStringLiteral("^'' is not a valid time$");
  QTest::newRow("LF CR holds an empty line")
      << one + "\n\r" + two + "\r\n"
      << QStringList{rowOne} << QStringLiteral("^'' is not a valid time$");
  QTest::newRow("byte-order mark")
      << "\xef\xbb\xbf" + one + "\r\n"
      << QStringList{} << QStringLiteral("^'\\x{FEFF}    12:00:0' is not a valid time$");
  QTest::newRow("UTF-8 lines, then Windows-1250 with CR only, then Ctrl-Z")
      << one.left(24) + "Napětí\r\n" + two.left(24) + "\x8e\xe1r\r" + one.left(24) + "\x9a\r\x1a" +
             two
      << QStringList{QStringLiteral("12:00:00|         0.1|Napětí"),
                     QStringLiteral("12:01:00|         0.2|Žár"),
                     QStringLiteral("12:00:00|         0.1|š")}
      << QString();
}

// The table keeps what it held and gains the lines before the first bad one; the operator
// hears about the bad line, and the grid follows the table again afterwards.
void TestHostileFiles::importOfHostileFiles() {
  QFETCH(QByteArray, bytes);
  QFETCH(QStringList, rows);
  QFETCH(QString, message);
  QTemporaryDir dir;
  const auto before = measuredRecords(3);
  createTable(tablePath(dir), before);
  ScriptedProgram program(dir.path());
  program.form->measuring().cycle.MinutesText = "   0.2";
  const QString file = dir.filePath(QStringLiteral("in.dat"));
  QVERIFY(writeFile(file, bytes));

  program.importFrom(file);
  QCOMPARE(rowTexts(program.table()), rowTexts(before) + rows);
  if (message.isEmpty()) {
    QVERIFY2(program.dialogs->messages.empty(), qPrintable(program.messageTexts().join('\n')));
  } else {
    QCOMPARE(program.dialogs->messages.size(), std::size_t{1});
    QVERIFY2(QRegularExpression(message).match(program.messageTexts()[0]).hasMatch(),
             program.messageTexts()[0].toUtf8().toHex(' ').constData());
    QCOMPARE(program.dialogs->messages[0].icon, Icon::Error);
  }
  const std::string minutesAfter =
      rows.isEmpty() ? std::string("   0.2") : rows.last().section('|', 1, 1).toStdString();
  QCOMPARE(program.form->measuring().cycle.MinutesText, minutesAfter);
  QVERIFY(!program.table().controlsDisabled());

  // What the import stored is in the file, not only on screen.
  const QStringList shown = rowTexts(program.table());
  program.table().close();
  program.table().open(tablePath(dir).toStdString());
  QCOMPARE(rowTexts(program.table()), shown);
}

// Zero bytes in a file are kept as the file has them, and a message that quotes them shows
// them instead of ending where the first one stands.
void TestHostileFiles::zeroBytesReachTheOperatorWhole() {
  QTemporaryDir dir;
  ScriptedProgram program(dir.path());
  const QString zeros(12, QChar(0x2400));
  const QString file = dir.filePath(QStringLiteral("zeros.dat"));
  QVERIFY(
      writeFile(file, fileLine("12:00:00", "0.1", "").left(24) + QByteArray(12, '\0') + "\r\n"));
  program.importFrom(file);
  QVERIFY(program.dialogs->messages.empty());
  QCOMPARE(program.table().record(0).voltage, std::string(12, '\0'));
  program.form->GRAF->chartReread();
  QCOMPARE(program.messageTexts(),
           QStringList{"'" + zeros + QStringLiteral("' is not a valid floating point value")});

  program.dialogs->messages.clear();
  QVERIFY(writeFile(file, QByteArray(12, '\0') + fileLine("", "0.1", "12.500").mid(12) + "\r\n"));
  program.importFrom(file);
  QCOMPARE(program.messageTexts(),
           QStringList{"'" + zeros + QStringLiteral("' is not a valid time")});
  QCOMPARE(program.table().recordCount(), 1);
}

// Only the first 36 characters of a line matter, so a line of 100 MB is read piece by piece:
// the memory the import needs does not grow with the line.
void TestHostileFiles::importOfAHundredMegabyteLine() {
  constexpr qsizetype kLineBytes = qsizetype{100} << 20;
  constexpr qsizetype kPiece = qsizetype{1} << 20;
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("long.dat"));
  {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(fileLine("12:00:00", "0.1", "12.500")) == 36);
    QByteArray piece(kPiece, 'x');
    for (qsizetype written = 36; written < kLineBytes; written += kPiece) {
      // Halfway, a byte that is no UTF-8 turns the rest of the file into Windows-1250.
      piece[0] = written >= kLineBytes / 2 && written < kLineBytes / 2 + kPiece ? '\xff' : 'x';
      QCOMPARE(file.write(piece), kPiece);
    }
    QVERIFY(file.write("\r\n" + fileLine("12:01:00", "0.2", "12.400") + "\r\n") == 38 + 2);
  }
  ScriptedProgram program(dir.path());
  const qint64 residentBefore = statusKilobytes("VmRSS:");
  const bool peakKnown = resetPeakResidentSize();
  QElapsedTimer clock;
  clock.start();
  program.importFrom(path);
  const qint64 elapsed = clock.elapsed();
  const qint64 peak = peakKnown ? statusKilobytes("VmHWM:") : statusKilobytes("VmRSS:");
  qInfo("import of a %lld MB line: %lld ms, resident %lld kB before, %s %lld kB", kLineBytes >> 20,
        elapsed, residentBefore, peakKnown ? "peak" : "after", peak);

  QVERIFY2(program.dialogs->messages.empty(), qPrintable(program.messageTexts().join('\n')));
  QCOMPARE(rowTexts(program.table()),
           (QStringList{QStringLiteral("12:00:00|         0.1|      12.500"),
                        QStringLiteral("12:01:00|         0.2|      12.400")}));
  // A tenth of the line would already betray a reader that holds it whole.
  QVERIFY2(peak - residentBefore < 10 * 1024,
           QByteArray::number(peak - residentBefore).constData());
}

// A device or a pipe chosen in a file dialog: an endless source of bytes must not keep the
// import going for ever, and a pipe without a partner must not block the program.
void TestHostileFiles::importOfADeviceEndsOrRefuses() {
  QTemporaryDir dir;
  const auto before = measuredRecords(2);
  createTable(tablePath(dir), before);
  ScriptedProgram program(dir.path());
  const QString fifo = dir.filePath(QStringLiteral("pipe"));
  QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  for (const QString& device :
       {QStringLiteral("/dev/zero"), QStringLiteral("/dev/urandom"), fifo}) {
    program.dialogs->messages.clear();
    QElapsedTimer clock;
    clock.start();
    program.importFrom(device);
    QVERIFY2(clock.elapsed() < kBoundedMs, qPrintable(device));
    QCOMPARE(program.messageTexts(), QStringList{QStringLiteral("File access denied")});
    QCOMPARE(rowTexts(program.table()), rowTexts(before));
    QVERIFY(!program.table().controlsDisabled());
  }
  // Nobody reads the pipe: the export reports it instead of waiting for a reader.
  program.dialogs->messages.clear();
  QElapsedTimer clock;
  clock.start();
  program.exportTo(fifo);
  QVERIFY(clock.elapsed() < kBoundedMs);
  QCOMPARE(program.messageTexts(), QStringList{QString::fromStdString(fileErrorText(ENXIO))});
  QCOMPARE(program.dialogs->messages[0].icon, Icon::Error);
}

// The export runs out of disk while the table is larger than one write: the operator hears
// "Disk full" instead of the confirmation, and every record is still there to export again.
void TestHostileFiles::exportToAFullDiskLosesNothing() {
  QTemporaryDir dir;
  const auto records = measuredRecords(5000);
  createTable(tablePath(dir), records);
  ScriptedProgram program(dir.path());
  program.exportTo(QStringLiteral("/dev/full"));
  QCOMPARE(program.messageTexts(), QStringList{QStringLiteral("Disk full")});
  QCOMPARE(program.dialogs->messages[0].icon, Icon::Error);
  QCOMPARE(rowTexts(program.table()), rowTexts(records));
  QVERIFY(!program.table().controlsDisabled());

  program.dialogs->messages.clear();
  const QString file = dir.filePath(QStringLiteral("out.dat"));
  program.exportTo(file);
  QCOMPARE(program.dialogs->messages.size(), std::size_t{1});
  QVERIFY(program.messageTexts()[0].startsWith(QStringLiteral("Exportovaná data")));
  const QByteArray written = readFile(file);
  QCOMPARE(written.count("\r\n"), qsizetype{5000});
  QVERIFY(written.endsWith(fileLine("16:19:54", "499.9", "6.199") + "\r\n"));
}

void TestHostileFiles::damagedTableFile_data() {
  QTest::addColumn<QString>("damage");
  // Whether the program may open the file (it holds nothing the operator could lose).
  QTest::addColumn<bool>("opens");
  QTest::newRow("header overwritten") << QStringLiteral("header") << false;
  QTest::newRow("pages overwritten") << QStringLiteral("pages") << false;
  QTest::newRow("truncated to half") << QStringLiteral("half") << false;
  QTest::newRow("zero length") << QStringLiteral("empty") << true;
  QTest::newRow("folder in its place") << QStringLiteral("folder") << false;
}

// A damaged table is reported, not replaced: the program runs on without a table, every
// command that writes reports the closed table, and the file stays as it was, so the
// operator can still have it repaired.
void TestHostileFiles::damagedTableFile() {
  QFETCH(QString, damage);
  QFETCH(bool, opens);
  QTemporaryDir dir;
  const QString table = tablePath(dir);
  createTable(table, measuredRecords(3000));
  QByteArray bytes = readFile(table);
  QVERIFY(bytes.size() > 16 * 4096);
  if (damage == QLatin1String("header")) {
    bytes.replace(0, 100, randomBytes(100, 3));
  } else if (damage == QLatin1String("pages")) {
    // The root of the table's tree and the leaves after it.
    bytes.replace(4096, 4 * 4096, randomBytes(4 * 4096, 4));
  } else if (damage == QLatin1String("half")) {
    bytes.truncate(bytes.size() / 2 + 1000);
  } else if (damage == QLatin1String("empty")) {
    bytes.clear();
  }
  if (damage == QLatin1String("folder")) {
    QVERIFY(QFile::remove(table));
    QVERIFY(QDir().mkdir(table));
  } else {
    QVERIFY(writeFile(table, bytes));
  }
  const QString importFile = dir.filePath(QStringLiteral("in.dat"));
  QVERIFY(writeFile(importFile, fileLine("12:00:00", "0.1", "12.500") + "\r\n"));

  QElapsedTimer clock;
  clock.start();
  {
    ScriptedProgram program(dir.path());
    QVERIFY(clock.elapsed() < kBoundedMs);
    QCOMPARE(program.table().isOpen(), opens);
    QVERIFY(program.onlyErrorMessages());
    if (opens) {
      QVERIFY2(program.dialogs->messages.empty(), qPrintable(program.messageTexts().join('\n')));
      program.importFrom(importFile);
      QCOMPARE(program.table().recordCount(), 1);
      return;
    }
    QCOMPARE(program.dialogs->messages.size(), std::size_t{1});
    QVERIFY(!program.messageTexts()[0].isEmpty());

    program.dialogs->messages.clear();
    program.importFrom(importFile);
    program.clearTable();
    program.selectInterval(QStringLiteral("  1.0"), QStringLiteral("  2.0"));
    // An export with no table to read leaves an earlier export under the chosen name alone.
    const QString earlierExport = dir.filePath(QStringLiteral("earlier.dat"));
    QVERIFY(writeFile(earlierExport, fileLine("11:00:00", "0.1", "12.400") + "\r\n"));
    const QByteArray earlierBytes = readFile(earlierExport);
    program.exportTo(earlierExport);
    QCOMPARE(readFile(earlierExport), earlierBytes);
    QVERIFY(clock.elapsed() < kBoundedMs);
    QVERIFY(program.onlyErrorMessages());
    // Each command says once that the table is not open, and which file it is.
    const QStringList closed(4,
                             QStringLiteral("Cannot perform this operation on a closed dataset") +
                                 QLatin1Char('\n') + table);
    QCOMPARE(program.messageTexts(), closed);
  }
  if (damage == QLatin1String("folder"))
    QVERIFY(QFileInfo(table).isDir());
  else
    QVERIFY2(readFile(table) == bytes, "the damaged table file was changed");
}

// Another program holds the table so that nobody may even read it: start-up reports it in
// bounded time and leaves the file alone; the next start, after the lock is gone, has it all.
void TestHostileFiles::tableLockedAgainstReaders() {
  QTemporaryDir dir;
  const auto records = measuredRecords(50);
  createTable(tablePath(dir), records);
  {
    LockHolder holder(tablePath(dir), QStringLiteral("exclusive"));
    QVERIFY2(holder.waitUntilLocked(), holder.errors().constData());
    QElapsedTimer clock;
    clock.start();
    ScriptedProgram program(dir.path());
    QVERIFY(clock.elapsed() < kBoundedMs);
    QVERIFY(!program.table().isOpen());
    QCOMPARE(program.messageTexts(), QStringList{QStringLiteral("database is locked")});
    QCOMPARE(program.dialogs->messages[0].icon, Icon::Error);
  }
  ScriptedProgram again(dir.path());
  QVERIFY(again.dialogs->messages.empty());
  QCOMPARE(rowTexts(again.table()), rowTexts(records));
}

// Another program holds the write lock: the table can be shown, every command that writes
// reports the lock in bounded time and changes nothing, and after the lock is released the
// same commands work.
void TestHostileFiles::tableLockedAgainstWriters() {
  QTemporaryDir dir;
  const auto records = measuredRecords(50);
  createTable(tablePath(dir), records);
  const QString importFile = dir.filePath(QStringLiteral("in.dat"));
  QVERIFY(writeFile(importFile, fileLine("12:00:00", "0.1", "12.500") + "\r\n"));
  ScriptedProgram program(dir.path());
  {
    LockHolder holder(tablePath(dir), QStringLiteral("writer"));
    QVERIFY2(holder.waitUntilLocked(), holder.errors().constData());
    QElapsedTimer clock;
    clock.start();
    program.importFrom(importFile);
    program.clearTable();
    program.selectInterval(QStringLiteral("  1.0"), QStringLiteral("  2.0"));
    QVERIFY(clock.elapsed() < kBoundedMs);
    QCOMPARE(program.messageTexts(), QStringList(3, QStringLiteral("database is locked")));
    QVERIFY(program.onlyErrorMessages());
    QCOMPARE(rowTexts(program.table()), rowTexts(records));
    QVERIFY(!program.table().controlsDisabled());
  }
  program.dialogs->messages.clear();
  program.importFrom(importFile);
  program.selectInterval(QStringLiteral("  0.0"), QStringLiteral("  1.0"));
  QVERIFY2(program.dialogs->messages.empty(), qPrintable(program.messageTexts().join('\n')));
  QCOMPARE(program.table().recordCount(), 11 + 1);
  program.table().close();
  program.table().open(tablePath(dir).toStdString());
  QCOMPARE(program.table().recordCount(), 12);
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == kHoldLockSwitch)
    return holdLock(argv[2], argv[3]);
  QApplication application(argc, argv);
  TestHostileFiles test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_hostilefiles.moc"
