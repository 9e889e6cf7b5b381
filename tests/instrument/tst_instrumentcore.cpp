#include "data/core/numbertext.h"
#include "instrument/core/eepromwrite.h"
#include "instrument/core/loggerprotocol.h"
#include "instrument/core/measuringcycle.h"

#include <QtTest>

#include <climits>
#include <set>
#include <string>
#include <vector>

using namespace kelvor;

namespace {

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::uint32_t bitsOf(const SingleBytes& b) {
  return b[0] | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
         (std::uint32_t{b[3]} << 24);
}

// Feeds `replies` present values and returns the 1-based numbers of those that stored.
std::vector<int> storingReplies(MeasuringCycle& cycle, int replies) {
  std::vector<int> stored;
  for (int i = 1; i <= replies; ++i) {
    if (cycle.acceptPresentValue(12.0)) {
      cycle.presentValueStored();
      stored.push_back(i);
    }
  }
  return stored;
}

} // namespace

Q_DECLARE_METATYPE(kelvor::ReplyKind)

class TestInstrumentCore : public QObject {
  Q_OBJECT

private slots:
  void fieldCuts_data();
  void fieldCuts();
  void replyIsJudgedByTheLastCommandSent();
  void presentValueReading_data();
  void presentValueReading();
  void wholeRepliesOnly_data();
  void wholeRepliesOnly();
  void commandTable();

  void storageInterval();
  void storesWhenTheIntervalShrinksOrIsNotAMultipleOfSix();
  void minutesContinueFromTheSavedValue();
  void displayTextsAndLevelPosition();
  void watchdog();
  void readoutSequenceAndRows();

  void byteToHex();
  void intervalAndRowCountCommands();
  void konstantaEncoding();
  void singlePrecisionRounding();
  void commandsAreKeptWhenThereIsNoCode();
  void writeStepsAndRestart();
};

void TestInstrumentCore::fieldCuts_data() {
  QTest::addColumn<QString>("lastCommand");
  QTest::addColumn<QByteArray>("cluster");
  QTest::addColumn<kelvor::ReplyKind>("kind");
  QTest::addColumn<QByteArray>("field");

  const QByteArray row = "R0001 t=000060 U= 12.7931\r";
  QTest::newRow("present value") << "#VAL-DIR" << QByteArray("U[V]:    12.3456V\r")
                                 << ReplyKind::PresentValue << QByteArray(" 12.3456");
  QTest::newRow("read-out row") << "#VAL-MUL" << row << ReplyKind::ReadoutRow
                                << QByteArray(" 12.7931");
  QTest::newRow("two rows in one cluster") << "#VAL-MUL" << row + "R0002 t=000120 U= 12.7910\r"
                                           << ReplyKind::ReadoutRow << QByteArray(" 12.7931");
  QTest::newRow("short present value")
      << "#VAL-DIR" << QByteArray("U[V]:   12\r") << ReplyKind::PresentValue << QByteArray("12");
  QTest::newRow("present value ends at 8")
      << "#VAL-DIR" << QByteArray("U[V]:   \r") << ReplyKind::PresentValue << QByteArray();
  QTest::newRow("short row") << "#VAL-MUL" << QByteArray("R0001 t=000060 U= 12\r")
                             << ReplyKind::ReadoutRow << QByteArray(" 12");
  QTest::newRow("terminator only")
      << "#VAL-DIR" << QByteArray("\r") << ReplyKind::PresentValue << QByteArray();
  QTest::newRow("empty cluster") << "#VAL-MUL" << QByteArray() << ReplyKind::ReadoutRow
                                 << QByteArray();
  QTest::newRow("lower case") << "#val-dir" << QByteArray("U[V]:    12.3456V\r")
                              << ReplyKind::ShowOnly << QByteArray();
  QTest::newRow("trailing blank") << "#VAL-DIR " << QByteArray("U[V]:    12.3456V\r")
                                  << ReplyKind::ShowOnly << QByteArray();
  QTest::newRow("service command")
      << "@VER-PRG" << QByteArray("U[V]:    12.3456V\r") << ReplyKind::ShowOnly << QByteArray();
  QTest::newRow("after CLEAR") << "" << row << ReplyKind::ShowOnly << QByteArray();
}

void TestInstrumentCore::fieldCuts() {
  QFETCH(QString, lastCommand);
  QFETCH(QByteArray, cluster);
  QFETCH(kelvor::ReplyKind, kind);
  QFETCH(QByteArray, field);
  const std::string command = lastCommand.toStdString();
  const ReplyField cut = cutReplyField(command, std::string_view(cluster.data(), cluster.size()));
  QCOMPARE(cut.kind, kind);
  QCOMPARE(QByteArray::fromStdString(cut.field), field);
}

void TestInstrumentCore::replyIsJudgedByTheLastCommandSent() {
  // Two commands in quick succession: the first reply arrives after the second command was
  // sent and is taken under it.
  const std::string_view presentReply = "U[V]:    12.3456 \r";
  const std::string_view versionReply = "VER-PRG: SIM 1.0\r";
  std::string lastCommand(kValDir);
  lastCommand = kVerPrg;
  QCOMPARE(cutReplyField(lastCommand, presentReply).kind, ReplyKind::ShowOnly);

  lastCommand = kVerPrg;
  lastCommand = kValDir;
  const ReplyField cut = cutReplyField(lastCommand, versionReply);
  QCOMPARE(cut.kind, ReplyKind::PresentValue);
  QCOMPARE(cut.field, std::string(" SIM 1.0"));
  QVERIFY(!readPresentValue(cut.field)); // no number in the field: not a reading
}

void TestInstrumentCore::presentValueReading_data() {
  QTest::addColumn<QByteArray>("field");
  QTest::addColumn<bool>("isReading");
  QTest::addColumn<double>("volts");
  QTest::newRow("clean") << QByteArray(" 12.3456") << true << 12.3456;
  QTest::newRow("blanks after digits") << QByteArray("12.5    ") << true << 12.5;
  QTest::newRow("short") << QByteArray("  12") << true << 12.0;
  QTest::newRow("negative") << QByteArray(" -0.5000") << true << -0.5;
  QTest::newRow("plus sign") << QByteArray(" +12.500") << true << 12.5;
  QTest::newRow("unit after digits") << QByteArray("  12.50V") << false << 0.0;
  QTest::newRow("exponent") << QByteArray(" 1.25e1 ") << false << 0.0;
  QTest::newRow("noise after a digit") << QByteArray("7%&/(ab)") << false << 0.0;
  QTest::newRow("blank inside") << QByteArray(" 12 .500") << false << 0.0;
  QTest::newRow("point without fraction") << QByteArray("    12. ") << false << 0.0;
  QTest::newRow("point without digits before") << QByteArray("    .500") << false << 0.0;
  QTest::newRow("two points") << QByteArray(" 12.5.00") << false << 0.0;
  QTest::newRow("tab") << QByteArray("\t12.5000") << false << 0.0;
  QTest::newRow("NUL after digits") << QByteArray(" 12.500\0", 8) << false << 0.0;
  QTest::newRow("empty") << QByteArray() << false << 0.0;
  QTest::newRow("blanks") << QByteArray("        ") << false << 0.0;
  QTest::newRow("letters") << QByteArray("ERROR   ") << false << 0.0;
  QTest::newRow("sign only") << QByteArray("   -    ") << false << 0.0;
  QTest::newRow("noise") << QByteArray("\x81\xfe#%&\x07!?") << false << 0.0;
  QTest::newRow("digits after letters") << QByteArray("U=12.500") << false << 0.0;
}

void TestInstrumentCore::presentValueReading() {
  QFETCH(QByteArray, field);
  QFETCH(bool, isReading);
  QFETCH(double, volts);
  const auto value = readPresentValue(std::string_view(field.data(), field.size()));
  QCOMPARE(value.has_value(), isReading);
  if (isReading)
    QCOMPARE(*value, volts);
}

void TestInstrumentCore::wholeRepliesOnly_data() {
  QTest::addColumn<QString>("lastCommand");
  QTest::addColumn<QByteArray>("cluster");
  QTest::addColumn<bool>("counts");
  QTest::newRow("present value") << "#VAL-DIR" << QByteArray("U[V]:    12.5000 \r") << true;
  QTest::newRow("present value cut short")
      << "#VAL-DIR" << QByteArray("U[V]:    12.5000 ") << false;
  QTest::newRow("present value noise") << "#VAL-DIR" << QByteArray("U[V]:   7%&/(ab)\r") << false;
  QTest::newRow("row") << "#VAL-MUL" << QByteArray("R0001 t=000060 U= 12.7931\r") << true;
  QTest::newRow("row cut short") << "#VAL-MUL" << QByteArray("R0001 t=000060 U= 12.7931") << false;
  QTest::newRow("row end of the next") << "#VAL-MUL" << QByteArray(".3356\r") << false;
  QTest::newRow("row with a short field")
      << "#VAL-MUL" << QByteArray("R0001 t=000060 U= 12\r") << false;
  QTest::newRow("row with noise in the field") << "#VAL-MUL"
                                               << QByteArray("R0001 t=000060 U= 12.79\x8e"
                                                             "1\r")
                                               << false;
  QTest::newRow("two rows run together")
      << "#VAL-MUL" << QByteArray(".3356\r#VAL-MUL R0001 t=0") << false;
  QTest::newRow("row under another command")
      << "@VER-PRG" << QByteArray("R0001 t=000060 U= 12.7931\r") << false;
}

void TestInstrumentCore::wholeRepliesOnly() {
  QFETCH(QString, lastCommand);
  QFETCH(QByteArray, cluster);
  QFETCH(bool, counts);
  const ReplyField reply =
      cutReplyField(lastCommand.toStdString(), std::string_view(cluster.data(), cluster.size()));
  const bool counted = reply.kind == ReplyKind::PresentValue ? presentValueOf(reply).has_value()
                                                             : isStorableReadoutRow(reply);
  QCOMPARE(counted, counts);
}

void TestInstrumentCore::commandTable() {
  const auto& table = serviceCommands();
  std::set<std::string_view> commands;
  std::set<std::string_view> buttons;
  for (const ServiceCommand& c : table) {
    QVERIFY2(c.command.size() == 8, c.command.data());
    QVERIFY(c.command[0] == '#' || c.command[0] == '@');
    QCOMPARE(c.command[4], '-');
    for (std::size_t i : {1, 2, 3, 5, 6, 7})
      QVERIFY(c.command[i] >= 'A' && c.command[i] <= 'Z');
    QCOMPARE(c.caption, c.command.substr(1)); // the caption is the name without its prefix
    QVERIFY(!c.hint.empty());
    QVERIFY(!q(c.hint).contains(QChar::ReplacementCharacter));
    commands.insert(c.command);
    buttons.insert(c.buttonName);
    QCOMPARE(findServiceCommand(c.command)->buttonName, c.buttonName);
  }
  QCOMPARE(commands.size(), table.size());
  QCOMPARE(buttons.size(), table.size());
  QCOMPARE(findServiceCommand(kVyrCis)->buttonName, std::string_view("Button1"));
  QCOMPARE(
      q(findServiceCommand(kZerMem)->hint),
      QString::fromUtf8("Příkaz  pro  mazání  paměti  EEprom  -  Vaše  data  budou  zničena  !!!"));
  QVERIFY(q(findServiceCommand(kValMem)->hint).endsWith(QLatin1String("EEprom ")));
  QVERIFY(!findServiceCommand("#val-dir"));
  QVERIFY(!findServiceCommand("@W03EA36"));
}

void TestInstrumentCore::storageInterval() {
  MeasuringCycle every6;
  every6.Doba = 6;
  QCOMPARE(storingReplies(every6, 5), (std::vector<int>{1, 2, 3, 4, 5}));

  MeasuringCycle every60;
  every60.Doba = 60;
  QCOMPARE(storingReplies(every60, 35), (std::vector<int>{10, 20, 30}));
  QCOMPARE(every60.StoreSeconds, std::uint16_t{30});

  // A record that could not be appended stays due for the next reply.
  MeasuringCycle failing;
  failing.Doba = 6;
  QVERIFY(failing.acceptPresentValue(12.0));
  QVERIFY(failing.acceptPresentValue(12.0));
  QCOMPARE(failing.NextMinutes, 0.0);
}

void TestInstrumentCore::storesWhenTheIntervalShrinksOrIsNotAMultipleOfSix() {
  MeasuringCycle shrinking;
  shrinking.Doba = 60;
  QVERIFY(storingReplies(shrinking, 5).empty()); // 30 s counted
  shrinking.Doba = 18;
  QCOMPARE(storingReplies(shrinking, 4), (std::vector<int>{1, 4}));

  MeasuringCycle odd;
  odd.Doba = 20;
  QCOMPARE(storingReplies(odd, 12), (std::vector<int>{4, 8, 12}));

  MeasuringCycle widest; // the count saturates instead of wrapping past the interval
  widest.Doba = 65535;
  QCOMPARE(storingReplies(widest, 10923), (std::vector<int>{10923}));
}

void TestInstrumentCore::minutesContinueFromTheSavedValue() {
  MeasuringCycle cycle;
  cycle.Doba = 60;
  cycle.resumeMinutes("  12.5", 12.5);
  QCOMPARE(cycle.MinutesText, std::string("  12.5"));
  std::vector<std::string> recordMinutes;
  for (int i = 0; i < 20; ++i) {
    if (cycle.acceptPresentValue(12.0)) {
      recordMinutes.push_back(cycle.MinutesText);
      cycle.presentValueStored();
    }
  }
  QCOMPARE(recordMinutes, (std::vector<std::string>{"  13.5", "  14.5"}));

  cycle.tableCleared();
  QCOMPARE(cycle.NextMinutes, 0.0);
  QCOMPARE(cycle.MinutesText, std::string("0.0"));
  QCOMPARE(cycle.ReadoutMinutesText, std::string("0.0"));
}

void TestInstrumentCore::displayTextsAndLevelPosition() {
  MeasuringCycle cycle;
  cycle.acceptPresentValue(12.5);
  QCOMPARE(cycle.LastVoltage, 12.5);
  QCOMPARE(cycle.VoltageText, std::string("12.500"));
  cycle.acceptPresentValue(9.0);
  QCOMPARE(cycle.VoltageText, std::string(" 9.000"));
  cycle.acceptPresentValue(12.34567);
  QCOMPARE(cycle.VoltageText, std::string("12.346"));

  QCOMPARE(MeasuringCycle::levelPosition(12.5), 25);
  QCOMPARE(MeasuringCycle::levelPosition(10.0), 0);
  QCOMPARE(MeasuringCycle::levelPosition(15.0), 50);
  QCOMPARE(MeasuringCycle::levelPosition(9.0), -10);
  QCOMPARE(MeasuringCycle::levelPosition(15.5), 55);
  // Halves go to the even neighbour.
  QCOMPARE(MeasuringCycle::levelPosition(10.25), 2);
  QCOMPARE(MeasuringCycle::levelPosition(10.75), 8);
  QCOMPARE(MeasuringCycle::levelPosition(9.75), -2);
  // A wild reading does not overflow the integer.
  QCOMPARE(MeasuringCycle::levelPosition(1e300), INT_MAX);
  QCOMPARE(MeasuringCycle::levelPosition(-1e300), INT_MIN);
}

void TestInstrumentCore::watchdog() {
  MeasuringCycle cycle;
  for (int second = 1; second <= 20; ++second)
    QVERIFY2(!cycle.watchdogTick(), qPrintable(QString::number(second)));
  QVERIFY(cycle.watchdogTick()); // the 21st second without a reply
  QVERIFY(cycle.watchdogTick());
  cycle.replyReceived();
  QCOMPARE(cycle.ReplyWatchdog, std::uint16_t{0});
  QVERIFY(!cycle.watchdogTick());

  for (int second = 0; second < 2000; ++second)
    cycle.watchdogTick();
  QCOMPARE(cycle.ReplyWatchdog, MeasuringCycle::kWatchdogLimit);
}

void TestInstrumentCore::readoutSequenceAndRows() {
  MeasuringCycle cycle;
  cycle.Doba = 60;
  cycle.ReadoutStep = 7; // a previous run's leftover
  cycle.startReadout();
  std::vector<std::string_view> sent;
  bool finished = false;
  int ticks = 0;
  while (!finished && ticks < 10) {
    const auto tick = cycle.readoutTick();
    sent.push_back(tick.command);
    finished = tick.finished;
    ++ticks;
  }
  QCOMPARE(sent, (std::vector<std::string_view>{kDisTim, kBegMem, kValMul}));
  const auto extra = cycle.readoutTick();
  QVERIFY(extra.command.empty() && extra.finished);

  std::vector<std::string> minutes;
  for (int row = 0; row < 3; ++row) {
    minutes.push_back(cycle.prepareReadoutRow());
    cycle.readoutRowStored();
  }
  QCOMPARE(minutes, (std::vector<std::string>{"         0.0", "         1.0", "         2.0"}));
  cycle.startReadout(); // a second read-out continues the minutes
  QCOMPARE(cycle.prepareReadoutRow(), std::string("         3.0"));
  cycle.tableCleared();
  QCOMPARE(cycle.ReadoutMinutes, 0.0);
  QCOMPARE(cycle.prepareReadoutRow(), std::string("         0.0"));
  QVERIFY(cycle.StoreSeconds == 0 && cycle.NextMinutes == 0.0);
}

void TestInstrumentCore::byteToHex() {
  for (int b = 0; b < 256; ++b) {
    const std::string hex = ByteToHex(static_cast<std::uint8_t>(b));
    QCOMPARE(hex.size(), std::size_t{2});
    QCOMPARE(std::stoi(hex, nullptr, 16), b);
    QCOMPARE(QString::fromStdString(hex), QString::fromStdString(hex).toUpper());
  }
  QCOMPARE(writeCommand(0x03EA, 0x06), std::string("@W03EA06"));
  // The constant's commands written out stand for the same addresses.
  for (std::size_t i = 0; i < kKonstantaCommands.size(); ++i)
    QCOMPARE(std::string(kKonstantaCommands[i]) + "7F",
             writeCommand(static_cast<std::uint16_t>(kKonstantaAddress + i), 0x7F));
}

void TestInstrumentCore::intervalAndRowCountCommands() {
  EepromWrite write;
  write.start(60, "1.0", 100);
  QCOMPARE(write.EepromCommands[0], std::string("@W03EA36"));
  for (unsigned doba : {360U, 600U, 1800U, 3600U, 181U, 65535U}) {
    write.start(doba, "1.0", 100);
    QCOMPARE(write.EepromCommands[0], std::string("@W03EAF0"));
  }
  const std::vector<std::pair<unsigned, std::uint8_t>> codes{
      {6, 0x06}, {18, 0x12}, {36, 0x24}, {60, 0x36}, {180, 0xB4}};
  for (const auto& [doba, code] : codes)
    QCOMPARE(intervalCode(doba), std::optional<std::uint8_t>(code));
  for (unsigned doba : {0U, 5U, 7U, 59U, 61U, 179U})
    QVERIFY(!intervalCode(doba));

  write.start(60, "1.0", 180);
  QCOMPARE(write.EepromCommands[5], std::string("@W03F0B4"));
  QCOMPARE(write.EepromCommands[6], std::string("@W03F100"));
  // Every pair is the row count's low and high byte.
  for (unsigned rows : {100U, 180U, 360U, 600U, 1000U, 1800U, 3600U}) {
    const auto pair = rowCountCommands(rows);
    QVERIFY(pair);
    QCOMPARE(std::string(pair->low), writeCommand(kRowsLowAddress, rows & 0xFF));
    QCOMPARE(std::string(pair->high), writeCommand(kRowsHighAddress, rows >> 8));
  }
  for (unsigned rows : {0U, 99U, 200U, 4000U})
    QVERIFY(!rowCountCommands(rows));
}

void TestInstrumentCore::konstantaEncoding() {
  EepromWrite write;
  write.start(60, "  1.0        ", 180);
  QCOMPARE(
      std::vector<std::string>(write.EepromCommands.begin() + 1, write.EepromCommands.begin() + 5),
      (std::vector<std::string>{"@W300000", "@W300100", "@W300280", "@W30033F"}));
  QCOMPARE(bitsOf(write.KonstBytes), 0x3F800000U);

  const std::vector<std::string> zero{"@W300000", "@W300100", "@W300200", "@W300300"};
  for (const char* blank : {"   .         ", "             ", ".", ""}) {
    write.EncodeKonstanta(blank);
    QCOMPARE(std::vector<std::string>(write.EepromCommands.begin() + 1,
                                      write.EepromCommands.begin() + 5),
             zero);
  }

  QCOMPARE(readKonstanta("  1.5        "), 1.5);
  QCOMPARE(readKonstanta("   .25       "), 0.25);
  QCOMPARE(readKonstanta("123.         "), 123.0);
  QCOMPARE(readKonstanta("999.999999999"), 999.999999999);
  QVERIFY_THROWS_EXCEPTION(ConversionError, readKonstanta("  1.  5      "));
  QVERIFY_THROWS_EXCEPTION(ConversionError, readKonstanta("abc"));
  QVERIFY_THROWS_EXCEPTION(ConversionError, readKonstanta(" . . "));

  // 1.999999999 rounds up into the next binade: 2.0, not 1.0 with the carry lost.
  write.EncodeKonstanta("  1.999999999");
  QCOMPARE(bitsOf(write.KonstBytes), 0x40000000U);
  QCOMPARE(write.EepromCommands[4], std::string("@W300340"));
}

void TestInstrumentCore::singlePrecisionRounding() {
  QCOMPARE(bitsOf(singleBytes(0.1)), 0x3DCCCCCDU);
  QCOMPARE(bitsOf(singleBytes(-2.5)), 0xC0200000U);
  QCOMPARE(bitsOf(singleBytes(0.0)), 0x00000000U);
  QCOMPARE(bitsOf(singleBytes(1.0 + std::ldexp(1.0, -24))), 0x3F800000U);     // tie: even
  QCOMPARE(bitsOf(singleBytes(1.0 + 3 * std::ldexp(1.0, -24))), 0x3F800002U); // tie: even
  QCOMPARE(bitsOf(singleBytes(1e-45)), 0x00000001U);                          // subnormal
  QCOMPARE(bitsOf(singleBytes(3.4028235e38)), 0x7F7FFFFFU);
  QCOMPARE(bitsOf(singleBytes(1e40)), 0x7F800000U);
  QCOMPARE(bitsOf(singleBytes(-1e300)), 0xFF800000U);
  QCOMPARE(singleFromBytes(singleBytes(12.75)), 12.75);
}

void TestInstrumentCore::commandsAreKeptWhenThereIsNoCode() {
  EepromWrite write;
  write.start(7, "1.0", 200); // nothing to build yet: the commands stay empty
  QVERIFY(write.EepromCommands[0].empty());
  QVERIFY(write.EepromCommands[5].empty() && write.EepromCommands[6].empty());

  write.start(60, "1.0", 180);
  write.start(7, "   2.0       ", 200);
  QCOMPARE(write.EepromCommands[0], std::string("@W03EA36"));
  QCOMPARE(write.EepromCommands[4], std::string("@W300340"));
  QCOMPARE(write.EepromCommands[5], std::string("@W03F0B4"));

  // A calibration text that is no number stops the preparation after command 0.
  write.EepromStep = 4;
  QVERIFY_THROWS_EXCEPTION(ConversionError, write.start(18, "  1.  5      ", 1000));
  QCOMPARE(write.EepromStep, std::uint8_t{0});
  QCOMPARE(write.EepromCommands[0], std::string("@W03EA12"));
  QCOMPARE(write.EepromCommands[4], std::string("@W300340"));
  QCOMPARE(write.EepromCommands[5], std::string("@W03F0B4"));
}

void TestInstrumentCore::writeStepsAndRestart() {
  EepromWrite write;
  write.start(60, "1.0", 180);
  std::vector<std::string> sent;
  bool finished = false;
  while (!finished && sent.size() < 10) {
    auto tick = write.tick();
    finished = tick.finished;
    sent.push_back(std::move(tick.command));
  }
  QCOMPARE(sent, (std::vector<std::string>{"@W03EA36", "@W300000", "@W300100", "@W300280",
                                           "@W30033F", "@W03F0B4", "@W03F100"}));
  const auto extra = write.tick();
  QVERIFY(extra.command.empty() && extra.finished);

  // A second click during a write starts again from command 0.
  write.start(6, "1.0", 100);
  write.tick();
  write.tick();
  write.start(18, "1.0", 100);
  const auto first = write.tick();
  QCOMPARE(first.command, std::string("@W03EA12"));
  QVERIFY(!first.finished);
}

QTEST_GUILESS_MAIN(TestInstrumentCore)
#include "tst_instrumentcore.moc"
