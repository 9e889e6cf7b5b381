#include "app/form1.h"
#include "app/pages/grafpage.h"
#include "app/pages/meterspage.h"
#include "app/pages/parametrypage.h"
#include "app/pages/servispage.h"
#include "app/pages/tabulkapage.h"
#include "app/program.h"
#include "data/timeformat.h"
#include "serial/serialline.h"
#include "tests/support/loggerprocess.h"
#include "tests/support/pagecontrols.h"
#include "tests/support/ptypeer.h"
#include "tests/support/scripteddialogs.h"
#include "widgets/led.h"
#include "widgets/levelmeter.h"
#include "widgets/maskedit.h"
#include "widgets/needlemeter.h"
#include "widgets/progressgauge.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QTimer>

#include <cstdlib>
#include <functional>

using kelvor::TForm1;

namespace {

const QColor kReadingBlue(0, 0, 255);
const QColor kNoReplyRed(255, 0, 0);
const QColor kSwitchedOffGreen(0, 128, 0);
// How a reply's carriage return shows in the terminal pane.
const QChar kShownReturn(0x240D);

// The settings of a program wired to `device` as COM2 at 19 200 baud, plus `more` sections.
QByteArray settingsFor(const QString& device, const QByteArray& more = {}) {
  return "[Devices]\nCOM2=" + device.toLocal8Bit() +
         "\n[Serial]\nSerialPort=COM2\nBaudRate=19200\n" + more;
}

// A main window started in a folder of its own, as the program starts it.
struct Rig {
  QTemporaryDir dir;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<kelvor::Program> program;
  TForm1* form = nullptr;

  explicit Rig(const QByteArray& ini, const std::function<void(TForm1&)>& beforeStart = {}) {
    QFile file(dir.filePath(QStringLiteral("Kelvor.ini")));
    if (file.open(QIODevice::WriteOnly))
      file.write(ini);
    file.close();
    program = std::make_unique<kelvor::Program>(kelvor::FileLocations::forExecutableDir(dir.path()),
                                                keptDialogs(dialogs),
                                                kelvor::Program::Host::Harness, beforeStart);
    form = &program->form();
  }

  QStringList terminalLines() const {
    const QString text = controlOf<QPlainTextEdit>(form->SERVIS, "TerminalMemo")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
  }
  // Waits until the terminal pane shows `count` replies, the last one up to its terminator.
  bool waitForReplies(int count, int timeoutMs = 4000) const {
    return QTest::qWaitFor(
        [this, count] {
          const QStringList lines = terminalLines();
          return lines.size() >= count && lines.last().endsWith(kShownReturn);
        },
        timeoutMs);
  }
  bool waitForRecords(int count, int timeoutMs = 4000) const {
    return QTest::qWaitFor([this, count] { return records() >= count; }, timeoutMs);
  }
  // Sends the present-value command as a measuring tick does and waits for its reply.
  bool timedReading() const {
    const int before = static_cast<int>(terminalLines().size());
    form->measuring().Timer1Timer();
    return waitForReplies(before + 1);
  }
  // A send that starts while the previous one is still in progress is dropped, as on a
  // real line; the cases that send twice in a row wait in between.
  bool sendSettled() const {
    return QTest::qWaitFor([this] { return !form->measuring().serialLine().SendInProgress(); },
                           2000);
  }

  int records() const { return form->Table1.viewRecordCount(); }
  kelvor::MeasurementRecord record(int index) const { return form->Table1.record(index); }

  QColor labelColour() const {
    return controlOf<QLabel>(form->METERS, "VoltageLabel")->palette().color(QPalette::Window);
  }
  bool ledsShow(bool on) const {
    return controlOf<kelvor::TLed>(form->GRAF, "Graf_Measure_Led")->Value() == on &&
           controlOf<kelvor::TLed>(form->TABULKA, "Tabulka_Measure_Led")->Value() == on &&
           controlOf<kelvor::TLed>(form->SERVIS, "Servis_Measure_Led")->Value() == on;
  }
  std::size_t chartPoints() const { return form->GRAF->chartReport.chart().series().count(); }

  // Switches measuring on, then stops its timers so the test hands out every tick itself.
  void switchOnTickingByHand() const {
    form->Mereni_ZapnutoClick();
    form->measuring().Timer1->stop();
    form->measuring().Timer2->stop();
  }
};

QStringList simArguments(const QStringList& more) {
  return QStringList{QStringLiteral("--hold-volts"), QStringLiteral("12.5")} + more;
}

bool isNearNow(std::optional<int> secondsOfDay) {
  if (!secondsOfDay)
    return false;
  const int now = QTime::currentTime().msecsSinceStartOfDay() / 1000;
  const int apart = std::abs(now - *secondsOfDay);
  return std::min(apart, kelvor::kSecondsPerDay - apart) <= 5;
}

bool showsTimeNearNow(const QLabel* label) {
  const QTime shown = QTime::fromString(label->text(), kelvor::TimeFormat().pattern());
  return shown.isValid() && isNearNow(shown.msecsSinceStartOfDay() / 1000);
}

void checkSwitchedOffLook(const Rig& rig) {
  QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("VYPNUTO"));
  QCOMPARE(rig.labelColour(), kSwitchedOffGreen);
  QCOMPARE(controlOf<kelvor::TNeedleMeter>(rig.form->METERS, "NeedleMeter1")->value(), 10.0f);
  QCOMPARE(controlOf<kelvor::TLevelMeter>(rig.form->METERS, "LevelMeter1")->position(), 0);
  QVERIFY(controlOf<QLabel>(rig.form->METERS, "TimeLabel")->text().isEmpty());
}

void checkNoReplyLook(const Rig& rig) {
  QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("CHYBA"));
  QCOMPARE(rig.labelColour(), kNoReplyRed);
  QCOMPARE(controlOf<kelvor::TNeedleMeter>(rig.form->METERS, "NeedleMeter1")->value(), 10.0f);
  QCOMPARE(controlOf<kelvor::TLevelMeter>(rig.form->METERS, "LevelMeter1")->position(), 0);
  QVERIFY(controlOf<QLabel>(rig.form->METERS, "TimeLabel")->text().isEmpty());
}

// The bytes of one command on the line.
QByteArray onTheLine(const char* command) {
  return QByteArray(command) + '\r';
}

QPushButton* serviceButton(const Rig& rig, const char* name) {
  return rig.form->findChild<QPushButton*>(QString::fromLatin1(name));
}

// The read-out starts with three ticks a second apart; each waits for the logger's answer,
// as the second between two ticks would.
bool startReadout(const Rig& rig) {
  rig.form->SERVIS->Val_Mul_ButtonClick();
  if (!rig.form->measuring().Timer3->isActive())
    return false;
  rig.form->measuring().Timer3->stop();
  const QStringList expected{"@DIS-TIM", "@BEG-MEM"};
  for (const QString& command : expected) {
    const int before = static_cast<int>(rig.terminalLines().size());
    rig.form->measuring().Timer3Timer();
    if (controlOf<QLineEdit>(rig.form->SERVIS, "PrikazEdit")->text() != command ||
        !rig.waitForReplies(before + 1))
      return false;
  }
  // The third tick stops the timer that delivers it.
  rig.form->measuring().Timer3->start();
  rig.form->measuring().Timer3Timer();
  return controlOf<QLineEdit>(rig.form->SERVIS, "PrikazEdit")->text() ==
             QStringLiteral("#VAL-MUL") &&
         rig.form->measuring().LastCommand == QStringLiteral("#VAL-MUL") &&
         !rig.form->measuring().Timer3->isActive();
}

} // namespace

class TestMeasuring : public QObject {
  Q_OBJECT

private slots:
  void switchingOnAndOff() {
    LoggerProcess sim(simArguments({}));
    QVERIFY(!sim.path().isEmpty());
    Rig rig(settingsFor(sim.path()));
    QVERIFY(rig.form->measuring().serialLine().Active());
    QVERIFY(rig.ledsShow(false));

    rig.form->Mereni_ZapnutoClick();
    QVERIFY(rig.form->measuring().Timer1->isActive());
    QVERIFY(rig.form->measuring().Timer2->isActive());
    QCOMPARE(rig.form->measuring().Timer1->interval(), 6000);
    QCOMPARE(rig.form->measuring().Timer2->interval(), 1000);
    QVERIFY(rig.ledsShow(true));
    // Nothing leaves at once: the first command goes with the first tick.
    QVERIFY(rig.form->measuring().LastCommand.isEmpty());
    rig.form->measuring().Timer1->stop();
    rig.form->measuring().Timer2->stop();

    QVERIFY(rig.timedReading());
    QCOMPARE(rig.form->measuring().LastCommand, QStringLiteral("#VAL-DIR"));
    QCOMPARE(controlOf<QLineEdit>(rig.form->SERVIS, "PrikazEdit")->text(),
             QStringLiteral("#VAL-DIR"));
    QCOMPARE(rig.terminalLines().last(), QStringLiteral("U[V]:    12.5000 ") + kShownReturn);
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("12.500"));

    rig.form->Mereni_ZapnutoClick();
    rig.form->Mereni_VypnutoClick();
    QVERIFY(!rig.form->measuring().Timer1->isActive());
    QVERIFY(!rig.form->measuring().Timer2->isActive());
    QVERIFY(rig.ledsShow(false));
    checkSwitchedOffLook(rig);
  }

  void presentVoltageOnTheDisplay_data() {
    QTest::addColumn<QString>("volts");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("level");
    QTest::addColumn<float>("needle");
    // The level meter takes positions beyond its 50 segments; the needle stops at its ends.
    QTest::newRow("12.5 V") << "12.5"
                            << "12.500" << 25 << 12.5f;
    QTest::newRow("9 V, below the scale") << "9"
                                          << " 9.000" << -10 << 10.0f;
    QTest::newRow("15.5 V, above the scale") << "15.5"
                                             << "15.500" << 55 << 15.0f;
  }
  void presentVoltageOnTheDisplay() {
    QFETCH(QString, volts);
    QFETCH(QString, caption);
    QFETCH(int, level);
    QFETCH(float, needle);
    LoggerProcess sim({QStringLiteral("--hold-volts"), volts});
    Rig rig(settingsFor(sim.path()));
    rig.switchOnTickingByHand();
    QVERIFY(rig.timedReading());
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), caption);
    QCOMPARE(rig.labelColour(), kReadingBlue);
    QCOMPARE(controlOf<kelvor::TNeedleMeter>(rig.form->METERS, "NeedleMeter1")->value(), needle);
    QCOMPARE(controlOf<kelvor::TLevelMeter>(rig.form->METERS, "LevelMeter1")->position(), level);
    QVERIFY2(showsTimeNearNow(controlOf<QLabel>(rig.form->METERS, "TimeLabel")),
             qPrintable(controlOf<QLabel>(rig.form->METERS, "TimeLabel")->text()));
  }

  void everyReplyStoresAtSixSeconds() {
    LoggerProcess sim(simArguments({}));
    Rig rig(settingsFor(sim.path(), "[Ukladani]\nDoba=6\nMinuty=   0.0\n"));
    rig.switchOnTickingByHand();
    const std::size_t pointsBefore = rig.chartPoints();
    for (int reply = 1; reply <= 3; ++reply) {
      QVERIFY(rig.timedReading());
      QCOMPARE(rig.records(), reply);
      const kelvor::MeasurementRecord stored = rig.record(reply - 1);
      QCOMPARE(QString::fromStdString(stored.minutes),
               QStringLiteral("   0.%1").arg(reply)); // 6 s is a tenth of a minute
      QCOMPARE(QString::fromStdString(stored.voltage), QStringLiteral("12.500"));
      QVERIFY(isNearNow(stored.time));
      QCOMPARE(rig.chartPoints(), pointsBefore + static_cast<std::size_t>(reply));
      QCOMPARE(int(rig.form->measuring().cycle.StoreSeconds), 0);
    }
  }

  // Ten replies of 6 s make one record at 60 s; the minutes go on from the saved ones.
  void everyTenthReplyStoresAtSixtySeconds() {
    LoggerProcess sim(simArguments({}));
    Rig rig(settingsFor(sim.path(), "[Ukladani]\nDoba=60\nMinuty=  12.5\n"));
    rig.switchOnTickingByHand();
    const QStringList expectedMinutes{QStringLiteral("  13.5"), QStringLiteral("  14.5")};
    for (int record = 0; record < expectedMinutes.size(); ++record) {
      for (int reply = 1; reply <= 9; ++reply) {
        QVERIFY(rig.timedReading());
        QCOMPARE(rig.records(), record);
        QCOMPARE(int(rig.form->measuring().cycle.StoreSeconds), reply * 6);
      }
      QVERIFY(rig.timedReading());
      QCOMPARE(rig.records(), record + 1);
      QCOMPARE(QString::fromStdString(rig.record(record).minutes), expectedMinutes[record]);
      QCOMPARE(QString::fromStdString(rig.record(record).voltage), QStringLiteral("12.500"));
      QCOMPARE(rig.chartPoints(), static_cast<std::size_t>(record + 1));
    }
  }

  void noReplyShowsChybaUntilTheNextReply() {
    LoggerProcess sim(simArguments({}));
    Rig rig(settingsFor(sim.path(), "[Ukladani]\nDoba=6\n"));
    rig.switchOnTickingByHand();
    QVERIFY(rig.timedReading());
    QCOMPARE(rig.records(), 1);

    // The cable is pulled: the command goes out, nothing comes back.
    QVERIFY(sim.control("silent on"));
    rig.form->measuring().Timer1Timer();
    QVERIFY(rig.sendSettled());
    for (int second = 1; second <= 20; ++second)
      rig.form->measuring().Timer2Timer();
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("12.500"));
    QCOMPARE(rig.labelColour(), kReadingBlue);
    rig.form->measuring().Timer2Timer();
    checkNoReplyLook(rig);
    rig.form->measuring().Timer2Timer();
    checkNoReplyLook(rig);
    QCOMPARE(rig.records(), 1);
    QCOMPARE(int(rig.form->measuring().cycle.StoreSeconds), 0);

    // Off and on again: a second later the missing replies show again.
    rig.form->Mereni_VypnutoClick();
    checkSwitchedOffLook(rig);
    rig.switchOnTickingByHand();
    rig.form->measuring().Timer2Timer();
    checkNoReplyLook(rig);

    QVERIFY(sim.control("silent off"));
    QVERIFY(rig.timedReading());
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("12.500"));
    QCOMPARE(rig.labelColour(), kReadingBlue);
    QCOMPARE(controlOf<kelvor::TNeedleMeter>(rig.form->METERS, "NeedleMeter1")->value(), 12.5f);
    QCOMPARE(rig.records(), 2);
    for (int second = 1; second <= 20; ++second)
      rig.form->measuring().Timer2Timer();
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("12.500"));
  }

  void readoutRowsAreStoredAtMidnightWithTwelveWideMinutes() {
    LoggerProcess sim({QStringLiteral("--rows"), QStringLiteral("3"), QStringLiteral("--row-gap"),
                       QStringLiteral("100")});
    Rig rig(settingsFor(sim.path(), "[Ukladani]\nDoba=60\n"));
    const std::size_t pointsBefore = rig.chartPoints();
    QVERIFY(startReadout(rig));
    QVERIFY(rig.waitForRecords(3));
    QVERIFY(rig.waitForReplies(5));
    const QStringList rows = rig.terminalLines().mid(2);
    QCOMPARE(rows.size(), 3);
    const QStringList expectedMinutes{QStringLiteral("         0.0"),
                                      QStringLiteral("         1.0"),
                                      QStringLiteral("         2.0")};
    for (int i = 0; i < rows.size(); ++i) {
      const kelvor::MeasurementRecord stored = rig.record(i);
      QCOMPARE(stored.time, std::optional<int>(0));
      QCOMPARE(QString::fromStdString(stored.minutes), expectedMinutes[i]);
      // Characters 18 to 25 of the row, as received.
      QCOMPARE(QString::fromStdString(stored.voltage), rows[i].mid(17, 8));
      QCOMPARE(stored.voltage.size(), std::size_t(8));
    }
    // A read-out leaves the display alone. The chart follows the table as the grid does, the
    // last row too: every row is stored as it comes.
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(),
             QStringLiteral("VYPNUTO"));
    QCOMPARE(rig.chartPoints(), pointsBefore + 3);
  }

  // The next measuring tick takes the line back: rows still coming are present values then.
  void readoutStartedWhileMeasuring() {
    LoggerProcess sim(simArguments({QStringLiteral("--rows"), QStringLiteral("4"),
                                    QStringLiteral("--row-gap"), QStringLiteral("500")}));
    Rig rig(settingsFor(sim.path(), "[Ukladani]\nDoba=6\n"));
    rig.switchOnTickingByHand();
    QVERIFY(startReadout(rig));
    QVERIFY(rig.waitForRecords(1));
    QCOMPARE(rig.record(0).time, std::optional<int>(0));
    // The present-value reply must not run into the last row, or the two would share one
    // cluster.
    QVERIFY(sim.control("delay 700"));
    const int linesAtTick = static_cast<int>(rig.terminalLines().size());
    const int recordsAtTick = rig.records();
    rig.form->measuring().Timer1Timer();
    QCOMPARE(rig.form->measuring().LastCommand, QStringLiteral("#VAL-DIR"));
    QVERIFY(QTest::qWaitFor(
        [&rig] { return rig.terminalLines().last().startsWith(QStringLiteral("U[V]:")); }, 6000));
    const QStringList later = rig.terminalLines().mid(linesAtTick);
    QVERIFY(later.size() >= 2);
    // The rows are judged as present-value replies now; their characters 9 to 16
    // ("000120 U") are no clean number, so they are only shown, and the logger's own present
    // value is the one reading stored.
    QCOMPARE(rig.records(), recordsAtTick + 1);
    const kelvor::MeasurementRecord stored = rig.record(recordsAtTick);
    QCOMPARE(stored.minutes.size(), std::size_t(6));
    QCOMPARE(QString::fromStdString(stored.voltage), QStringLiteral("12.500"));
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("12.500"));
  }

  void eepromWriteOfSixtySecondsAnd180RowsAndTheConstantOne() {
    LoggerProcess sim(simArguments({}));
    // Saved in quotes, as the program saves a value with blanks at its ends.
    Rig rig(settingsFor(sim.path(), "[Ukladani]\nDoba=60\n[Convertor]\nKonstStr=\"  1.000000000\"\n"
                                    "[Transfer]\nPocetRadku=180\n"));
    QCOMPARE(controlOf<kelvor::MaskEdit>(rig.form->PARAMETRY, "KonstantaEdit")->text(),
             QStringLiteral("  1.000000000"));
    rig.form->PARAMETRY->Button3Click();
    QVERIFY(rig.form->measuring().Timer4->isActive());
    rig.form->measuring().Timer4->stop();
    const QStringList expected{"@W03EA36", "@W300000", "@W300100", "@W300280",
                               "@W30033F", "@W03F0B4", "@W03F100"};
    QStringList sent;
    for (int step = 0; step < expected.size(); ++step) {
      if (step == expected.size() - 1)
        rig.form->measuring().Timer4->start();
      rig.form->measuring().Timer4Timer();
      sent << controlOf<QLineEdit>(rig.form->SERVIS, "PrikazEdit")->text();
      QCOMPARE(controlOf<kelvor::TProgressGauge>(rig.form->PARAMETRY, "Gauge2")->Progress(),
               step + 1);
      QVERIFY(rig.waitForReplies(step + 1));
    }
    QCOMPARE(sent, expected);
    QVERIFY(!rig.form->measuring().Timer4->isActive());
    // The logger acknowledges each byte at its address.
    QStringList acknowledged;
    for (const QString& command : expected)
      acknowledged << QStringLiteral("W %1=%2 OK").arg(command.mid(2, 4), command.mid(6, 2)) +
                          kShownReturn;
    QCOMPARE(rig.terminalLines(), acknowledged);
    QCOMPARE(controlOf<QLabel>(rig.form->PARAMETRY, "Vysledek_Zapisu_Label")->text(),
             QStringLiteral("XXXXXX"));
  }

  void eepromWriteOfAnEmptyConstant() {
    PtyPeer peer;
    Rig rig(settingsFor(peer.path(), "[Ukladani]\nDoba=60\n[Transfer]\nPocetRadku=180\n"));
    controlOf<kelvor::MaskEdit>(rig.form->PARAMETRY, "KonstantaEdit")
        ->setText(QStringLiteral("   .         "));
    rig.form->PARAMETRY->Button3Click();
    rig.form->measuring().Timer4->stop();
    for (std::size_t step = 0; step < kelvor::EepromWrite::kCommandCount; ++step) {
      rig.form->measuring().Timer4Timer();
      QVERIFY(rig.sendSettled());
    }
    QVERIFY(peer.waitForBytes(7 * 9));
    QCOMPARE(peer.take(),
             QByteArray("@W03EA36\r@W300000\r@W300100\r@W300200\r@W300300\r@W03F0B4\r@W03F100\r"));
    QCOMPARE(controlOf<kelvor::TProgressGauge>(rig.form->PARAMETRY, "Gauge2")->Progress(), 7);
  }

  void typedPresentValueCommandCountsAsATimedReading() {
    LoggerProcess sim(simArguments({}));
    Rig rig(settingsFor(sim.path(), "[Ukladani]\nDoba=6\n"));
    controlOf<QLineEdit>(rig.form->SERVIS, "PrikazEdit")->setText(QStringLiteral("#VAL-DIR"));
    rig.form->SERVIS->SendButtonClick();
    QCOMPARE(rig.form->measuring().LastCommand, QStringLiteral("#VAL-DIR"));
    QVERIFY(rig.waitForReplies(1));
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("12.500"));
    QCOMPARE(rig.records(), 1);
    QCOMPARE(QString::fromStdString(rig.record(0).voltage), QStringLiteral("12.500"));
  }

  // The logger would not understand it, so a stand-in answers with a voltage all the same.
  void typedLowerCaseCommandIsOnlyShown() {
    PtyPeer peer;
    Rig rig(settingsFor(peer.path(), "[Ukladani]\nDoba=6\n"));
    controlOf<QLineEdit>(rig.form->SERVIS, "PrikazEdit")->setText(QStringLiteral("#val-dir"));
    rig.form->SERVIS->SendButtonClick();
    QVERIFY(peer.waitForBytes(9));
    QCOMPARE(peer.take(), onTheLine("#val-dir"));
    QVERIFY(peer.reply("U[V]:    12.5000 \r"));
    QVERIFY(rig.waitForReplies(1));
    QCOMPARE(rig.terminalLines(), QStringList{QStringLiteral("U[V]:    12.5000 ") + kShownReturn});
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(),
             QStringLiteral("VYPNUTO"));
    QCOMPARE(rig.records(), 0);
    QCOMPARE(int(rig.form->measuring().cycle.StoreSeconds), 0);
  }

  // A reply is read under the command sent last, whichever command it answers.
  void twoQuickCommands() {
    PtyPeer peer;
    Rig rig(settingsFor(peer.path(), "[Ukladani]\nDoba=6\n"));
    rig.form->measuring().Timer1Timer();
    QVERIFY(rig.sendSettled());
    serviceButton(rig, "Ver_Prg_Button")->click();
    QVERIFY(peer.waitForBytes(18));
    QCOMPARE(peer.take(), onTheLine("#VAL-DIR") + onTheLine("@VER-PRG"));
    QVERIFY(peer.reply("U[V]:    12.5000 \r"));
    QVERIFY(rig.waitForReplies(1));
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(),
             QStringLiteral("VYPNUTO"));
    QCOMPARE(rig.records(), 0);

    serviceButton(rig, "Ver_Prg_Button")->click();
    QVERIFY(rig.sendSettled());
    rig.form->measuring().Timer1Timer();
    QVERIFY(peer.waitForBytes(18));
    QCOMPARE(peer.take(), onTheLine("@VER-PRG") + onTheLine("#VAL-DIR"));
    QVERIFY(peer.reply("V1.0 U=    11.2500 \r"));
    QVERIFY(rig.waitForReplies(2));
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("11.250"));
    QCOMPARE(rig.records(), 1);
  }

  void clearDuringAReadout() {
    LoggerProcess sim({QStringLiteral("--rows"), QStringLiteral("4"), QStringLiteral("--row-gap"),
                       QStringLiteral("400")});
    Rig rig(settingsFor(sim.path(), "[Ukladani]\nDoba=60\n"));
    controlOf<kelvor::TProgressGauge>(rig.form->PARAMETRY, "Gauge2")->setProgress(3);
    QVERIFY(startReadout(rig));
    QVERIFY(rig.waitForRecords(1));
    rig.form->SERVIS->Button2Click();
    QVERIFY(rig.form->measuring().LastCommand.isEmpty());
    QVERIFY(controlOf<QLineEdit>(rig.form->SERVIS, "PrikazEdit")->text().isEmpty());
    QVERIFY(rig.terminalLines().isEmpty());
    QCOMPARE(controlOf<kelvor::TProgressGauge>(rig.form->PARAMETRY, "Gauge2")->Progress(), 0);
    QCOMPARE(rig.form->Table1.recNo(), 0);
    const int stored = rig.records();
    // The rows still coming are only shown; the last of the four has come with its line.
    QVERIFY(rig.waitForReplies(4 - stored, 5000));
    QCOMPARE(rig.records(), stored);
  }

  void clearWhileMeasuring() {
    LoggerProcess sim(simArguments({}));
    Rig rig(settingsFor(sim.path(), "[Ukladani]\nDoba=6\n"));
    rig.switchOnTickingByHand();
    QVERIFY(rig.timedReading());
    QCOMPARE(rig.records(), 1);
    // A reply that comes after CLEAR is only shown.
    rig.form->measuring().Timer1Timer();
    rig.form->SERVIS->Button2Click();
    QVERIFY(rig.waitForReplies(1));
    QCOMPARE(rig.records(), 1);
    // The next tick carries on.
    QVERIFY(rig.timedReading());
    QCOMPARE(rig.form->measuring().LastCommand, QStringLiteral("#VAL-DIR"));
    QCOMPARE(rig.records(), 2);
    QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("12.500"));
  }

  void zerMemAnsweredNoSendsNothing() {
    PtyPeer peer;
    Rig rig(settingsFor(peer.path()));
    serviceButton(rig, "Kal_Kon_Button")->click();
    QVERIFY(peer.waitForBytes(9));
    peer.take();
    QVERIFY(rig.sendSettled());

    rig.dialogs->yesNoAnswers = {false};
    controlOf<QPushButton>(rig.form->SERVIS, "Zer_Mem_Button")->click();
    QCOMPARE(rig.dialogs->questions.size(), std::size_t(1));
    QCOMPARE(
        rig.dialogs->questions[0].text,
        QStringLiteral(
            "Opravdu  chcete  vymazat  z  paměti  EEprom  \nvšechna  Vaše  pracně  naměřená  DATA ???"));
    QCOMPARE(controlOf<QLineEdit>(rig.form->SERVIS, "PrikazEdit")->text(),
             QStringLiteral("@KAL-KON"));
    QCOMPARE(rig.form->measuring().LastCommand, QStringLiteral("@KAL-KON"));
    // The next command sent is the first thing on the line: "No" sent nothing before it.
    serviceButton(rig, "Ver_Prg_Button")->click();
    QVERIFY(peer.waitForBytes(9));
    QCOMPARE(peer.take(), onTheLine("@VER-PRG"));
    QVERIFY(rig.sendSettled());

    rig.dialogs->yesNoAnswers = {true};
    controlOf<QPushButton>(rig.form->SERVIS, "Zer_Mem_Button")->click();
    QVERIFY(peer.waitForBytes(9));
    QCOMPARE(peer.take(), onTheLine("@ZER-MEM"));
  }

  void typedCommandSendsTheButtonsBytes() {
    PtyPeer peer;
    Rig rig(settingsFor(peer.path()));
    serviceButton(rig, "Ver_Prg_Button")->click();
    QVERIFY(peer.waitForBytes(9));
    const QByteArray fromButton = peer.take();
    QVERIFY(rig.sendSettled());
    controlOf<QLineEdit>(rig.form->SERVIS, "PrikazEdit")->setText(QStringLiteral("@VER-PRG"));
    rig.form->SERVIS->SendButtonClick();
    QVERIFY(peer.waitForBytes(9));
    QCOMPARE(peer.take(), fromButton);
    QCOMPARE(fromButton, onTheLine("@VER-PRG"));
  }

  // The speed is chosen while the port still has its designed name.
  void startupOpensTheDesignedPortBeforeTheStoredOne() {
    PtyPeer com1;
    PtyPeer com2;
    const QByteArray ini = "[Devices]\nCOM1=" + com1.path().toLocal8Bit() +
                           "\nCOM2=" + com2.path().toLocal8Bit() +
                           "\n[Serial]\nSerialPort=COM1\nBaudRate=9600\n";
    QStringList openings;
    Rig rig(ini, [&openings](TForm1& form) {
      form.measuring().serialLine().setOnProcessError(
          [&openings](kelvor::TSerialLine* port, std::uint32_t, std::uint32_t,
                      const std::string& msg, std::uint8_t) {
            if (msg == "Msg start reactivating Port")
              openings << QStringLiteral("%1 %2")
                              .arg(QString::fromStdString(port->CommPort()))
                              .arg(port->BaudRate());
          });
    });
    QCOMPARE(openings, (QStringList{QStringLiteral("COM2 9600"), QStringLiteral("COM1 9600")}));
    QVERIFY(rig.form->measuring().serialLine().Active());
    rig.form->measuring().Timer1Timer();
    QVERIFY(com1.waitForBytes(9));
    QCOMPARE(com1.take(), onTheLine("#VAL-DIR"));
    QVERIFY(com2.take().isEmpty());
  }
};

QTEST_MAIN(TestMeasuring)
#include "tst_measuring.moc"
