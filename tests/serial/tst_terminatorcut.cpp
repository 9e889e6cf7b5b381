#include "data/core/numbertext.h"
#include "instrument/core/loggerprotocol.h"
#include "instrument/core/measuringcycle.h"
#include "serial/terminatorcut.h"
#include "tests/serial/serialrig.h"

#include <QTest>

#include <random>

using namespace kelvor;
using namespace kelvor::test;

namespace {

struct Seen {
  std::uint32_t tick = 0;
  std::string bytes;
  bool operator==(const Seen&) const = default;
};

// Every cluster with the tick at which its event came.
struct ClusterLog {
  explicit ClusterLog(SerialRig& rig) {
    rig.port->setOnRxClusterEvent([this, &rig](TSerialLine* sender) {
      seen.push_back({rig.clock->tickCount(), sender->ReadClusterAsText()});
    });
  }
  std::string joined() const {
    std::string all;
    for (const Seen& s : seen)
      all += s.bytes;
    return all;
  }
  std::vector<Seen> seen;
};

// A read-out row as the logger sends it: 25 characters and the carriage return.
std::string readoutRow(int index) {
  const double volts = 12.8 - 0.0007 * index;
  std::string number = std::to_string(index % 10000);
  number.insert(0, 4 - number.size(), '0');
  return "R" + number + " t=" + std::string(6 - std::to_string(index % 1000000).size(), '0') +
         std::to_string(index % 1000000) + " U=" + formatFixed(volts, 8, 4) + '\r';
}

// The program's port at a line speed, with or without the reply terminator.
void configure(SerialRig& rig, std::uint32_t baud, bool withTerminator) {
  rig.applyProgramSettings();
  rig.port->setBaudRate(baud);
  if (withTerminator)
    rig.port->setClusterTerminator('\r');
}

// Line noise that never holds a carriage return.
std::string noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes;
  while (bytes.size() < size)
    if (const char c = static_cast<char>(byte(random)); c != '\r')
      bytes += c;
  return bytes;
}

// The traffic of a session in which no reply holds a terminator anywhere but at its end,
// with the ticks counted from the first cluster: 26 bytes at once, cut at the tick they
// arrive, whatever the worker's phase was before.
std::vector<Seen> sessionClusters(bool withTerminator) {
  SerialRig rig;
  configure(rig, 19200, withTerminator);
  ClusterLog log(rig);
  if (!rig.openAndSettle())
    return {};
  FakeSerialDevice::Arrivals session{{500, noise(26, 9)}};
  std::uint32_t at = 1200;
  std::size_t expected = 26;
  const auto add = [&](const std::string& bytes, std::uint32_t baud, std::uint32_t burst) {
    const auto arrivals = FakeSerialDevice::atLineSpeed(at, bytes, baud, burst);
    session.insert(session.end(), arrivals.begin(), arrivals.end());
    at = arrivals.back().first + 700;
    expected += bytes.size();
  };
  add("U[V]:    12.5000 \r", 19200, 0);
  add(noise(20, 1), 19200, 0);
  add(noise(300, 2), 19200, 16);
  add("U[V]:    12.4990 \r", 19200, 16);
  add(noise(3, 3), 1200, 0);
  add("7%&/(ab)", 19200, 0);
  add("U[V]:    12.4980 \r", 115200, 0);
  add(noise(25, 4), 1200, 0);
  add(noise(60, 5), 1000000, 0);
  add("ERR\r", 1200, 0);
  rig.device->scheduleArrivals(session);
  if (!rig.serveUntil([&] { return log.joined().size() == expected; }))
    return {};
  rig.servePolls(20);
  std::vector<Seen> seen = log.seen;
  const std::uint32_t first = seen.front().tick;
  for (Seen& s : seen)
    s.tick -= first;
  return seen;
}

} // namespace

class TestTerminatorCut : public QObject {
  Q_OBJECT

private slots:
  void piecesEndAtEachTerminator();
  void sameClustersAtTheSameTicksWithoutInnerTerminators();
  void backToBackRowsOneClusterEach_data();
  void backToBackRowsOneClusterEach();
  void unfinishedReplyReachesTheTerminalOnTime();
  void noiseWithStrayTerminatorsLosesNothingAndHoldsNothing();
  void heldBytesAreDroppedWhenThePortCloses();
  void reopensTheSamePathAfterAHangUp();
  void closingStopsTheRetries();
};

void TestTerminatorCut::piecesEndAtEachTerminator() {
  TerminatorCut cut;
  using Pieces = std::vector<std::string>;
  QCOMPARE(cut.cut("ab\rcd\ref", '\r'), (Pieces{"ab\r", "cd\r"}));
  QCOMPARE(cut.held(), std::size_t{2});
  QCOMPARE(cut.cut("g\r\r", '\r'), (Pieces{"efg\r", "\r"}));
  QCOMPARE(cut.held(), std::size_t{0});
  // Without any terminator the cut comes out whole, what was held in front of it.
  QCOMPARE(cut.cut("x\ry", '\r'), (Pieces{"x\r"}));
  QCOMPARE(cut.cut("zz", '\r'), (Pieces{"yzz"}));
  QCOMPARE(cut.cut("", '\r'), (Pieces{""}));
  QCOMPARE(cut.cut("a\rb", '\r'), (Pieces{"a\r"}));
  cut.drop();
  QCOMPARE(cut.whole("c"), std::string("c"));
}

// Noise without a terminator, and replies whose only terminator is their last byte, give
// the clusters of a port without the terminator, at the very same ticks.
void TestTerminatorCut::sameClustersAtTheSameTicksWithoutInnerTerminators() {
  const std::vector<Seen> plain = sessionClusters(false);
  const std::vector<Seen> split = sessionClusters(true);
  QVERIFY(plain.size() >= 8);
  QCOMPARE(split.size(), plain.size());
  for (std::size_t i = 0; i < plain.size(); ++i) {
    QCOMPARE(split[i].tick, plain[i].tick);
    QCOMPARE(split[i].bytes, plain[i].bytes);
  }
}

void TestTerminatorCut::backToBackRowsOneClusterEach_data() {
  QTest::addColumn<std::uint32_t>("baud");
  QTest::addColumn<std::uint32_t>("burstMs");
  QTest::addColumn<std::uint32_t>("holdUpEveryNthPoll");
  for (const std::uint32_t baud : {1200u, 19200u, 115200u}) {
    const QByteArray name = QByteArray::number(baud);
    QTest::newRow(name + " paced") << baud << 0u << 0u;
    QTest::newRow(name + " in 16 ms bursts") << baud << 16u << 0u;
  }
  QTest::newRow("all at once") << 115200u << 0xFFFFFFFFu << 0u;
  // A busy machine holds the worker up for longer than the cut rule lets bytes wait while the
  // rows keep coming: the wait was the worker's, not the line's.
  QTest::newRow("1200 worker held up every 5th poll") << 1200u << 0u << 5u;
  QTest::newRow("1200 worker held up every 3rd poll") << 1200u << 0u << 3u;
  QTest::newRow("19200 in bursts, held up every 4th poll") << 19200u << 16u << 4u;
}

// A thousand rows without a pause between them, as a logger's firmware sends them: each
// becomes one cluster, and each is a read-out row that is stored with its exact voltage
// and the next minutes.
void TestTerminatorCut::backToBackRowsOneClusterEach() {
  QFETCH(std::uint32_t, baud);
  QFETCH(std::uint32_t, burstMs);
  QFETCH(std::uint32_t, holdUpEveryNthPoll);
  constexpr int kRows = 1000;
  SerialRig rig;
  configure(rig, baud, true);
  ClusterLog log(rig);
  QVERIFY(rig.openAndSettle());
  std::string rows;
  for (int i = 0; i < kRows; ++i)
    rows += readoutRow(i);
  if (holdUpEveryNthPoll > 0)
    rig.device->holdUpAfterPolls(holdUpEveryNthPoll, 700);
  if (burstMs == 0xFFFFFFFFu)
    rig.device->scheduleArrival(10, rows);
  else
    rig.device->scheduleAtLineSpeed(10, rows, baud, burstMs);
  QVERIFY(rig.serveUntil([&] { return log.seen.size() >= kRows; }, std::chrono::seconds(120)));
  rig.servePolls(20);
  QCOMPARE(log.seen.size(), std::size_t{kRows});

  MeasuringCycle cycle;
  cycle.Doba = 60;
  for (int i = 0; i < kRows; ++i) {
    const std::string expected = readoutRow(i);
    QCOMPARE(log.seen[i].bytes, expected);
    const ReplyField reply = cutReplyField(kValMul, log.seen[i].bytes);
    QVERIFY(isStorableReadoutRow(reply));
    QCOMPARE(reply.field, expected.substr(17, 8));
    QCOMPARE(cycle.prepareReadoutRow(), formatFixed(i * 1.0, 12, 1));
    cycle.readoutRowStored();
  }
}

// A row that stops short of its terminator (the line breaks off) is held no longer than the
// cut rule lets any bytes wait: it reaches the terminal, and a row before it came whole.
void TestTerminatorCut::unfinishedReplyReachesTheTerminalOnTime() {
  SerialRig rig;
  configure(rig, 19200, true);
  ClusterLog log(rig);
  QVERIFY(rig.openAndSettle());
  const std::string row = readoutRow(1);
  const std::string broken = readoutRow(2).substr(0, 9);
  rig.device->scheduleAtLineSpeed(10, row + broken, 19200);
  QVERIFY(rig.serveUntil([&] { return log.seen.size() == 2; }));
  QCOMPARE(log.seen[0].bytes, row);
  QCOMPARE(log.seen[1].bytes, broken);
  // Held from the cut of the row on, the nine bytes wait their own time and no longer.
  const double limit = 9 * 570 / 1000.0 + 250;
  const std::uint32_t waited = log.seen[1].tick - log.seen[0].tick;
  QVERIFY2(waited > limit && waited <= limit + 2 * 75, std::to_string(waited).c_str());
  QVERIFY(!isStorableReadoutRow(cutReplyField(kValMul, log.seen[1].bytes)));
}

// Noise in which a carriage return turns up now and then: every byte arrives, in order, and
// once the line is quiet nothing stays behind.
void TestTerminatorCut::noiseWithStrayTerminatorsLosesNothingAndHoldsNothing() {
  SerialRig rig;
  configure(rig, 115200, true);
  ClusterLog log(rig);
  QVERIFY(rig.openAndSettle());
  std::string bytes = noise(20000, 7);
  std::mt19937 random(8);
  for (int i = 0; i < 40; ++i)
    bytes[std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(random)] = '\r';
  rig.device->scheduleAtLineSpeed(10, bytes, 115200, 16);
  QVERIFY(rig.serveUntil([&] { return log.joined().size() == bytes.size(); }));
  QCOMPARE(log.joined(), bytes);
  std::size_t largest = 0;
  for (const Seen& s : log.seen)
    largest = std::max(largest, s.bytes.size());
  // A cut at this speed takes at most a pass's worth of bytes, plus what was held.
  QVERIFY2(largest < 4000, std::to_string(largest).c_str());
}

void TestTerminatorCut::heldBytesAreDroppedWhenThePortCloses() {
  SerialRig rig;
  configure(rig, 19200, true);
  ClusterLog log(rig);
  QVERIFY(rig.openAndSettle());
  rig.device->scheduleArrival(5, "one\rpart");
  QVERIFY(rig.serveUntil([&] { return log.seen.size() == 1; }));
  rig.port->setActive(false);
  QVERIFY(rig.openAndSettle());
  rig.device->scheduleArrival(5, "two\r");
  QVERIFY(rig.serveUntil([&] { return log.seen.size() == 2; }));
  QCOMPARE(log.seen[0].bytes, std::string("one\r"));
  QCOMPARE(log.seen[1].bytes, std::string("two\r"));
}

// The adapter goes away and comes back under its name: the port takes it up again by itself,
// with the settings it had, while Active stays True throughout.
void TestTerminatorCut::reopensTheSamePathAfterAHangUp() {
  SerialRig rig;
  configure(rig, 115200, true);
  ClusterLog log(rig);
  QVERIFY(rig.openAndSettle());
  const LineSettings before = rig.device->lineSettings();
  rig.device->hangUp();
  rig.device->removePath("/dev/ttyS1");
  QVERIFY(rig.serveUntil([&] { return rig.port->Reconnecting(); }));
  QVERIFY(rig.port->Active());
  QVERIFY(!rig.device->isOpen());
  QCOMPARE(rig.port->ComHandle(), kNoHandle);
  // Each try is a second apart on the worker's clock.
  const std::uint32_t from = rig.clock->tickCount();
  QVERIFY(rig.serveUntil([&] { return rig.clock->tickCount() - from > 3500; }));
  QVERIFY(rig.port->Reconnecting());
  rig.device->addPath("/dev/ttyS1");
  QVERIFY(rig.serveUntil([&] { return !rig.port->Reconnecting(); }));
  QVERIFY(rig.clock->tickCount() - from <= 5000 + 75);
  QVERIFY(rig.device->isOpen());
  QVERIFY(rig.port->Active());
  QVERIFY(rig.port->ComHandle() != kNoHandle);
  QCOMPARE(rig.device->lineSettings(), before);
  QCOMPARE(rig.device->eventMask(), kAllLineEvents);
  QCOMPARE(rig.device->controlLines(), (std::array<bool, 3>{true, true, false}));
  rig.device->scheduleArrival(5, "U[V]:    12.5000 \r");
  QVERIFY(rig.serveUntil([&] { return log.seen.size() == 1; }));
  QCOMPARE(log.seen[0].bytes, std::string("U[V]:    12.5000 \r"));
  rig.port->SendText("#VAL-DIR\r");
  QCOMPARE(rig.device->sent(), std::string("#VAL-DIR\r"));
}

void TestTerminatorCut::closingStopsTheRetries() {
  SerialRig rig;
  configure(rig, 19200, true);
  QVERIFY(rig.openAndSettle());
  rig.device->hangUp();
  rig.device->removePath("/dev/ttyS1");
  QVERIFY(rig.serveUntil([&] { return rig.port->Reconnecting(); }));
  rig.reports.clear();
  rig.port->setActive(false);
  QVERIFY(!rig.port->Active());
  QVERIFY(!rig.port->Reconnecting());
  rig.device->addPath("/dev/ttyS1");
  const std::uint32_t from = rig.clock->tickCount();
  QVERIFY(rig.serveUntil([&] { return rig.clock->tickCount() - from > 3000; }));
  QVERIFY(!rig.device->isOpen());
  // Closing a port that has already lost its device is no error.
  for (const Report& report : rig.reports)
    QVERIFY2(report.noise != 0, report.msg.c_str());
}

QTEST_GUILESS_MAIN(TestTerminatorCut)
#include "tst_terminatorcut.moc"
