#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "instrument/core/loggerprotocol.h"
#include "instrument/measuringcontroller.h"
#include "serial/serialline.h"
#include "tests/support/fakeline.h"
#include "tests/support/filesizelimit.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kelvor;

namespace {

// What the controller announced, in the order it announced it.
class SessionRecorder {
public:
  explicit SessionRecorder(MeasuringController& c) {
    // A command line that holds at most `lineLength` characters, as an edit with a limit does.
    c.setCommandLine([this](const QString& command) {
      commandLine = command.left(lineLength);
      return commandLine;
    });
    QObject::connect(&c, &MeasuringController::measuringSwitched,
                     [this](bool on) { lamps.push_back(on); });
    QObject::connect(&c, &MeasuringController::replyOverdue, [this] { ++noReplyLooks; });
    QObject::connect(&c, &MeasuringController::readingTaken,
                     [this](double voltage, const QString& text, int secondsOfDay) {
                       readings.push_back(voltage);
                       readingTexts.push_back(text.toStdString());
                       QVERIFY(secondsOfDay >= 0 && secondsOfDay < 24 * 3600);
                     });
    QObject::connect(&c, &MeasuringController::replyReceived,
                     [this](const QByteArray& bytes) { received.push_back(bytes.toStdString()); });
    QObject::connect(&c, &MeasuringController::commandSent,
                     [this](const QByteArray& bytes) { sent += bytes.toStdString(); });
    QObject::connect(&c, &MeasuringController::eepromProgressed, [this] { ++writeProgress; });
    QObject::connect(&c, &MeasuringController::recordStored, [this] { ++stored; });
    QObject::connect(&c, &MeasuringController::readoutRowStored, [this] { ++readoutStored; });
    QObject::connect(&c, &MeasuringController::storeFailed,
                     [this](const QString& message) { errors << message; });
  }

  std::vector<bool> lamps;
  int noReplyLooks = 0;
  std::vector<double> readings;
  std::vector<std::string> readingTexts;
  QString commandLine;
  qsizetype lineLength = 32767;
  std::vector<std::string> received;
  std::string sent;
  int writeProgress = 0;
  int stored = 0;
  int readoutStored = 0;
  QStringList errors;
};

// The controller on the fake device and clock, over a table in a fresh folder; the test
// thread serves the line's events.
struct ControllerRig : FakeLine {
  ControllerRig() {
    table.open(file());
    controller = std::make_unique<MeasuringController>(table, std::move(port));
    view = std::make_unique<SessionRecorder>(*controller);
    controller->serialLine().setActive(true);
  }

  std::filesystem::path file() const {
    return std::filesystem::path(folder.path().toStdString()) / "Kelvor.db";
  }
  // What another program reading the file sees now.
  std::vector<MeasurementRecord> recordsOnDisk() const {
    MeasurementTable reader;
    reader.open(file());
    std::vector<MeasurementRecord> records;
    for (int i = 0; i < reader.recordCount(); ++i)
      records.push_back(reader.record(i));
    return records;
  }

  QTemporaryDir folder;
  MeasurementTable table;
  std::unique_ptr<MeasuringController> controller;
  std::unique_ptr<SessionRecorder> view;
};

std::string readoutRow(int number, const char* volts) {
  char row[40];
  std::snprintf(row, sizeof row, "R%04d t=%06d U= %s\r", number, number * 60, volts);
  return row;
}

} // namespace

class TestMeasuringController : public QObject {
  Q_OBJECT

private slots:
  void switchingOnAndOffRunsTheCycleTimers();
  void presentValuesAreShownAndStoredEveryInterval();
  void noiseAndOtherRepliesAreShownButNeverStored();
  void readoutRowsBackToBackInUsbBurstsAreEachStored();
  void silenceShowsTheNoReplyLookAndAReplyEndsIt();
  void eepromWriteSendsItsSevenCommandsOneATick();
  void aCalibrationThatIsNoNumberStartsNoWrite();
  void aRefusedRecordIsReportedOnceAndStaysDue_data();
  void aRefusedRecordIsReportedOnceAndStaysDue();
  void whatGoesOutIsWhatTheCommandLineHolds();
};

void TestMeasuringController::switchingOnAndOffRunsTheCycleTimers() {
  ControllerRig rig;
  MeasuringController& c = *rig.controller;
  QCOMPARE(c.Timer1->interval(), 6000);
  QCOMPARE(c.Timer2->interval(), 1000);
  c.switchOn();
  QVERIFY(c.Timer1->isActive() && c.Timer2->isActive());
  QVERIFY(!c.Timer3->isActive() && !c.Timer4->isActive());
  c.switchOn();
  c.switchOff();
  QVERIFY(!c.Timer1->isActive() && !c.Timer2->isActive());
  QCOMPARE(rig.view->lamps, (std::vector<bool>{true, true, false}));
}

// Four replies at a 12-second interval: every reply is shown, every second one stored,
// each record carrying the minutes of its interval.
void TestMeasuringController::presentValuesAreShownAndStoredEveryInterval() {
  ControllerRig rig;
  MeasuringController& c = *rig.controller;
  c.cycle.Doba = 12;
  c.cycle.resumeMinutes("   0.0", 0.0);
  c.switchOn();
  const char* replies[] = {"U[V]:    12.5000 \r", "U[V]:    12.4000 \r", "U[V]:    12.3000 \r",
                           "U[V]:    11.0500 \r"};
  std::string sent;
  for (std::size_t i = 0; i < std::size(replies); ++i) {
    c.Timer1Timer();
    sent += "#VAL-DIR\r";
    QVERIFY(rig.sentReaches(sent));
    rig.arrive(replies[i]);
    QVERIFY(rig.serveUntil([&] { return rig.view->readings.size() == i + 1; }));
  }
  QCOMPARE(rig.view->readings, (std::vector<double>{12.5, 12.4, 12.3, 11.05}));
  QCOMPARE(rig.view->readingTexts.back(), std::string("11.050"));
  QCOMPARE(rig.view->stored, 2);
  // Both records are in the file as soon as they are announced, the last one too: no view
  // had to move the table for it.
  const std::vector<MeasurementRecord> onDisk = rig.recordsOnDisk();
  QCOMPARE(onDisk.size(), std::size_t(2));
  QCOMPARE(onDisk[0].voltage, std::string("12.400"));
  QCOMPARE(onDisk[1].voltage, std::string("11.050"));
  QCOMPARE(strToFloat(onDisk[1].minutes) - strToFloat(onDisk[0].minutes), 0.2);
  QVERIFY(onDisk[1].time.has_value());
  QCOMPARE(rig.view->received.size(), std::size_t(4));
}

void TestMeasuringController::noiseAndOtherRepliesAreShownButNeverStored() {
  ControllerRig rig;
  MeasuringController& c = *rig.controller;
  c.cycle.Doba = 6;
  const std::string noise[] = {"U[V]:   7%&/(ab)\r", "U[V]:    12.5E+0V\r", "\r"};
  for (std::size_t i = 0; i < std::size(noise); ++i) {
    c.Timer1Timer();
    rig.arrive(noise[i]);
    QVERIFY(rig.serveUntil([&] { return rig.view->received.size() == i + 1; }));
  }
  // A number in the reply to another command is no reading either.
  c.sendServiceCommand(kVerPrg);
  rig.arrive("U[V]:    12.5000 \r");
  QVERIFY(rig.serveUntil([&] { return rig.view->received.size() == std::size(noise) + 1; }));
  QVERIFY(rig.view->readings.empty());
  QCOMPARE(rig.table.recordCount(), 0);
  QCOMPARE(int(c.cycle.StoreSeconds), 0);
}

// The logger sends its rows without a pause; a USB adapter hands them over in 16 ms blocks,
// each holding the end of one row and the start of the next. A row whose field line noise
// spoiled is not stored, but takes its minutes, so the rows after it keep theirs.
void TestMeasuringController::readoutRowsBackToBackInUsbBurstsAreEachStored() {
  ControllerRig rig;
  MeasuringController& c = *rig.controller;
  c.cycle.Doba = 60;
  c.startReadout();
  QVERIFY(c.Timer3->isActive());
  for (int tick = 0; tick < 3; ++tick)
    c.Timer3Timer();
  QVERIFY(!c.Timer3->isActive());
  QVERIFY(rig.sentReaches("@DIS-TIM\r@BEG-MEM\r#VAL-MUL\r"));
  QCOMPARE(c.LastCommand, QStringLiteral("#VAL-MUL"));
  constexpr int kRows = 40;
  std::string rows;
  constexpr int kSpoiled = 20;
  for (int i = 1; i <= kRows; ++i)
    rows += readoutRow(i, i == kSpoiled ? "12.7\xB0"
                                          "31"
                          : i % 2 == 0  ? "12.7931"
                                        : " 9.0000");
  rig.arrive(rows, 16);
  QVERIFY(rig.serveUntil([&] { return rig.view->received.size() == std::size_t(kRows); }));
  const std::vector<MeasurementRecord> onDisk = rig.recordsOnDisk();
  QCOMPARE(onDisk.size(), std::size_t(kRows - 1));
  QCOMPARE(rig.view->readoutStored, kRows - 1);
  QCOMPARE(onDisk.front().minutes, std::string("         0.0"));
  QCOMPARE(onDisk.front().voltage, std::string("  9.0000"));
  QCOMPARE(onDisk[kSpoiled - 1].minutes, std::string("        20.0"));
  QCOMPARE(onDisk.back().minutes, std::string("        39.0"));
  QCOMPARE(onDisk.back().voltage, std::string(" 12.7931"));
  QVERIFY(rig.view->readings.empty());
}

void TestMeasuringController::silenceShowsTheNoReplyLookAndAReplyEndsIt() {
  ControllerRig rig;
  MeasuringController& c = *rig.controller;
  for (int second = 1; second <= MeasuringCycle::kWatchdogTolerance; ++second)
    c.Timer2Timer();
  QCOMPARE(rig.view->noReplyLooks, 0);
  c.Timer2Timer();
  QCOMPARE(rig.view->noReplyLooks, 1);
  rig.arrive("anything\r");
  QVERIFY(rig.serveUntil([&] { return !rig.view->received.empty(); }));
  QCOMPARE(int(c.cycle.ReplyWatchdog), 0);
  c.Timer2Timer();
  QCOMPARE(rig.view->noReplyLooks, 1);
}

void TestMeasuringController::eepromWriteSendsItsSevenCommandsOneATick() {
  ControllerRig rig;
  MeasuringController& c = *rig.controller;
  c.cycle.Doba = 60;
  c.startEepromWrite("  1.000000000", 100);
  QVERIFY(c.Timer4->isActive());
  const std::array<std::string, EepromWrite::kCommandCount> commands = c.eeprom.EepromCommands;
  std::string expected;
  for (std::size_t tick = 0; tick < commands.size(); ++tick) {
    QVERIFY(c.Timer4->isActive());
    c.Timer4Timer();
    expected += commands[tick] + kTerminator;
  }
  QVERIFY(!c.Timer4->isActive());
  QVERIFY(rig.sentReaches(expected));
  QCOMPARE(rig.view->writeProgress, 7);
  QCOMPARE(c.LastCommand, QString::fromStdString(commands.back()));
  // The constant 1.0 as a single, least significant byte first: 00 00 80 3F.
  QCOMPARE(commands[4], std::string("@W30033F"));
}

void TestMeasuringController::aCalibrationThatIsNoNumberStartsNoWrite() {
  ControllerRig rig;
  MeasuringController& c = *rig.controller;
  c.cycle.Doba = 60;
  QVERIFY_THROWS_EXCEPTION(std::exception, c.startEepromWrite("  1.5x", 100));
  QVERIFY(!c.Timer4->isActive());
}

void TestMeasuringController::aRefusedRecordIsReportedOnceAndStaysDue_data() {
  QTest::addColumn<bool>("closed");
  QTest::addColumn<int>("messages");
  // A table that could not be opened is said once for as long as it stays closed.
  QTest::newRow("table not open") << true << 1;
  // A full disk: one message for each failure, and nothing left pending that the next move
  // of the table would try and report again.
  QTest::newRow("disk full") << false << 2;
}

// Readings are still shown while the table refuses their records; the record stays due and is
// stored with the next reply once the table takes it again.
void TestMeasuringController::aRefusedRecordIsReportedOnceAndStaysDue() {
  QFETCH(bool, closed);
  QFETCH(int, messages);
  ControllerRig rig;
  MeasuringController& c = *rig.controller;
  c.cycle.Doba = 6;
  std::unique_ptr<FileSizeLimit> full;
  if (closed)
    rig.table.close();
  else
    full = std::make_unique<FileSizeLimit>(
        QFileInfo(QString::fromStdString(rig.file().string() + "-wal")).size());
  for (const char* reply : {"U[V]:    12.5000 \r", "U[V]:    12.4000 \r"}) {
    const std::size_t before = rig.view->readings.size();
    c.Timer1Timer();
    rig.arrive(reply);
    QVERIFY(rig.serveUntil([&] { return rig.view->readings.size() == before + 1; }));
    rig.table.first();
    rig.table.last();
  }
  QCOMPARE(rig.view->errors.size(), messages);
  QVERIFY(!closed ||
          rig.view->errors.front().contains(QString::fromStdString(rig.file().string())));
  QCOMPARE(rig.view->stored, 0);
  QVERIFY(c.cycle.StoreSeconds >= c.cycle.Doba);
  if (closed)
    rig.table.open(rig.file());
  full.reset();
  c.Timer1Timer();
  rig.arrive("U[V]:    12.6000 \r");
  QVERIFY(rig.serveUntil([&] { return rig.view->stored == 1; }));
  QCOMPARE(rig.view->errors.size(), messages);
  QCOMPARE(rig.recordsOnDisk().size(), std::size_t(1));
  QCOMPARE(rig.recordsOnDisk().front().voltage, std::string("12.600"));
}

// An empty line sends nothing; a longer command than the line holds goes out cut as shown.
void TestMeasuringController::whatGoesOutIsWhatTheCommandLineHolds() {
  ControllerRig rig;
  MeasuringController& c = *rig.controller;
  c.sendServiceCommand(QString());
  c.sendServiceCommand(kAktAdr);
  QVERIFY(rig.sentReaches("@AKT-ADR\r"));
  rig.view->lineLength = 4;
  c.sendServiceCommand(QStringLiteral("@VER-PRG"));
  QVERIFY(rig.sentReaches("@AKT-ADR\r@VER\r"));
  QCOMPARE(rig.view->commandLine, QStringLiteral("@VER"));
  // The logger's code page: a typed "š" is its one byte there.
  rig.view->lineLength = 32767;
  c.sendServiceCommand(QStringLiteral("@š"));
  QVERIFY(rig.sentReaches("@AKT-ADR\r@VER\r@\x9A\r"));
  QCOMPARE(rig.view->sent, std::string("@AKT-ADR\r@VER\r@\x9A\r"));
  c.forgetLastCommand();
  QVERIFY(c.LastCommand.isEmpty());
}

QTEST_GUILESS_MAIN(TestMeasuringController)
#include "tst_measuringcontroller.moc"
