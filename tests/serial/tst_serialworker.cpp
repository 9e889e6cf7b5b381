#include "tests/serial/serialrig.h"

#include <QTest>

using namespace kelvor;
using namespace kelvor::test;

namespace {

// The tick of the last poll that found the input queue empty before `tick`; the worker takes
// that moment as the last time it saw the queue empty.
std::uint32_t lastEmptyBefore(const std::vector<FakeSerialDevice::Poll>& polls,
                              std::uint32_t tick) {
  std::uint32_t last = 0;
  for (const auto& poll : polls)
    if (static_cast<std::int32_t>(poll.tick - tick) < 0 && poll.inQueue == 0)
      last = poll.tick;
  return last;
}

} // namespace

class TestSerialWorker : public QObject {
  Q_OBJECT

private slots:
  void shortReplyIsCutWhenItsTimeIsUp();
  void fullClusterIsCutAtTheNextPass();
  void readRequestCutsAtOnce();
  void emptyReadGivesAnEmptyCluster();
  void emptyQueueAnswers();
  void bytesStayUnchanged();
  void quietModeRaisesNothingButQueues();
  void clustersSurviveReopening();
  void closingWithPendingReadAbortsIt();
  void commStatUntilTwoPollsAgree();
  void lineEventsAreDispatchedInOrder();
  void ringEmulationOnFamilyOne();
  void ringChangeElsewhereRaisesOnlyRI();
  void workerFailuresAreReported();
  void eventsHandedOverDuringDestructionReachNoHandler();
};

// Two rows in one read become two clusters, each raised on its own; the second is handed
// over while the port's owner destroys it, when the owner's pointer to the port is already
// empty. Its handler must not run.
void TestSerialWorker::eventsHandedOverDuringDestructionReachNoHandler() {
  SerialRig rig;
  rig.applyProgramSettings();
  rig.port->setClusterTerminator('\r');
  int clusters = 0;
  int withoutPort = 0;
  rig.port->setOnRxClusterEvent([&](TSerialLine*) {
    ++clusters;
    if (!rig.port)
      ++withoutPort;
  });
  QVERIFY(rig.openAndSettle());
  rig.device->scheduleArrival(10, "R0001 t=000060 U= 12.5000\rR0002 t=000120 U= 12.4000\r");
  // One hand-off at a time, so that the second cluster's is still waiting.
  while (clusters == 0 && rig.handoff->serveOne(std::chrono::seconds(10))) {
  }
  QCOMPARE(clusters, 1);
  rig.port.reset();
  QCOMPARE(withoutPort, 0);
  QCOMPARE(clusters, 1);
}

void TestSerialWorker::shortReplyIsCutWhenItsTimeIsUp() {
  // Start close to the tick's wrap-around: the arithmetic must not care.
  SerialRig rig(0xFFFFFF80u);
  rig.applyProgramSettings();
  int clusters = 0;
  rig.port->setOnRxClusterEvent([&](TSerialLine*) { ++clusters; });
  QVERIFY(rig.openAndSettle());
  const std::string reply = "V= 12.345 A= 1.234\r\n";
  QCOMPARE(reply.size(), std::size_t{20});
  rig.device->scheduleArrival(30, reply);
  QVERIFY(rig.serveUntil([&] { return clusters == 1; }));

  const auto reads = rig.device->reads();
  QCOMPARE(reads.size(), std::size_t{1});
  QCOMPARE(reads[0].count, 20u);
  const auto polls = rig.device->polls();
  const std::uint32_t cut = reads[0].tick;
  const std::uint32_t empty = lastEmptyBefore(polls, cut);
  const double limit = 20 * 570 / 1000.0 + 250; // 261.4 ms
  QVERIFY(static_cast<double>(cut - empty) > limit);
  for (const auto& poll : polls)
    if (poll.inQueue == 20 && static_cast<std::int32_t>(poll.tick - cut) < 0)
      QVERIFY(static_cast<double>(poll.tick - empty) <= limit);
  QVERIFY(cut - empty <= limit + 75);
  QCOMPARE(rig.port->QueuedClusterSize(), 20);
  QCOMPARE(rig.port->ReadClusterAsText(), reply);
  QCOMPARE(rig.port->QueuedClusterSize(), -1);
  rig.servePolls(10);
  QCOMPARE(clusters, 1);
}

void TestSerialWorker::fullClusterIsCutAtTheNextPass() {
  SerialRig rig;
  rig.applyProgramSettings();
  std::vector<std::int32_t> sizes;
  rig.port->setOnRxClusterEvent(
      [&](TSerialLine* sender) { sizes.push_back(sender->QueuedClusterSize()); });
  QVERIFY(rig.openAndSettle());

  const std::uint32_t arrival = rig.device->scheduleArrival(40, std::string(26, 'a'));
  QVERIFY(rig.serveUntil([&] { return sizes.size() == 1; }));
  QCOMPARE(sizes[0], 26);
  QCOMPARE(rig.device->reads().back().tick, arrival);

  const std::uint32_t second = rig.device->scheduleArrival(10, std::string(40, 'b'));
  QVERIFY(rig.serveUntil([&] { return sizes.size() == 2; }));
  QCOMPARE(sizes[1], 26);
  QCOMPARE(rig.device->reads().back().tick, second);
  QCOMPARE(rig.device->reads().back().count, 40u);
  QCOMPARE(rig.port->ReadClusterAsText(), std::string(26, 'a'));
  QCOMPARE(rig.port->ReadClusterAsText(), std::string(40, 'b'));
}

void TestSerialWorker::readRequestCutsAtOnce() {
  SerialRig rig;
  int clusters = 0;
  rig.port->setOnRxClusterEvent([&](TSerialLine*) { ++clusters; });
  QVERIFY(rig.openAndSettle());
  rig.port->setReadRequest(true);
  QVERIFY(rig.servePolls(20));
  QVERIFY(rig.port->ReadRequest());
  QCOMPARE(clusters, 0);
  const std::uint32_t arrival = rig.device->scheduleArrival(5, "!");
  QVERIFY(rig.serveUntil([&] { return clusters == 1; }));
  QCOMPARE(rig.device->reads().back().tick, arrival);
  QVERIFY(!rig.port->ReadRequest());
  QCOMPARE(rig.port->ReadClusterAsText(), std::string("!"));
}

void TestSerialWorker::emptyReadGivesAnEmptyCluster() {
  SerialRig rig;
  std::vector<std::string> texts;
  std::vector<std::int32_t> sizes;
  rig.port->setOnRxClusterEvent([&](TSerialLine* sender) {
    sizes.push_back(sender->QueuedClusterSize());
    texts.push_back(sender->ReadClusterAsText());
  });
  QVERIFY(rig.openAndSettle());
  rig.device->limitNextRead(0);
  rig.device->scheduleArrival(5, "abc");
  QVERIFY(rig.serveUntil([&] { return texts.size() == 2; }));
  QCOMPARE(sizes, (std::vector<std::int32_t>{0, 3}));
  QCOMPARE(texts, (std::vector<std::string>{"", "abc"}));
}

void TestSerialWorker::emptyQueueAnswers() {
  SerialRig rig;
  QVERIFY(rig.openAndSettle());
  QCOMPARE(rig.port->QueuedClusterSize(), -1);
  QCOMPARE(rig.port->ReadClusterAsText(), std::string());
  QCOMPARE(rig.port->QueuedClusterSize(), -1);
}

void TestSerialWorker::bytesStayUnchanged() {
  SerialRig rig;
  rig.port->setClusterSize(8);
  QVERIFY(rig.openAndSettle());
  const std::string bytes("A\0B\r\n\xff\0C", 8);
  rig.device->scheduleArrival(5, bytes);
  QVERIFY(rig.serveUntil([&] { return rig.port->QueuedClusterSize() == 8; }));
  QCOMPARE(rig.port->ReadClusterAsText(), bytes);
}

void TestSerialWorker::quietModeRaisesNothingButQueues() {
  SerialRig rig;
  int events = 0;
  rig.port->setOnRxClusterEvent([&](TSerialLine*) { ++events; });
  rig.port->setOnCommStat([&](TSerialLine*) { ++events; });
  rig.port->setClusterSize(2);
  QVERIFY(rig.openAndSettle());
  events = 0;
  rig.reports.clear();
  rig.port->setThreadQuietMode(true);
  rig.device->setFailure(FakeOp::ModemStatus, 5);
  rig.device->scheduleArrival(5, "ab");
  rig.device->scheduleArrival(300, "cd");
  rig.device->scheduleArrival(600, "ef");
  QVERIFY(rig.serveUntil([&] { return rig.device->reads().size() == 3; }));
  QCOMPARE(events, 0);
  QVERIFY(rig.reports.empty());
  QCOMPARE(rig.port->ReadClusterAsText(), std::string("ab"));
  QCOMPARE(rig.port->ReadClusterAsText(), std::string("cd"));
  QCOMPARE(rig.port->ReadClusterAsText(), std::string("ef"));
  rig.port->setThreadQuietMode(false);
  QVERIFY(rig.serveUntil([&] { return rig.hasReport(9905, "Error getting ModemStatus"); }));
}

void TestSerialWorker::clustersSurviveReopening() {
  SerialRig rig;
  rig.port->setClusterSize(3);
  QVERIFY(rig.openAndSettle());
  rig.device->scheduleArrival(5, "one");
  QVERIFY(rig.serveUntil([&] { return rig.port->QueuedClusterSize() == 3; }));
  rig.port->setActive(false);
  QVERIFY(rig.openAndSettle());
  QCOMPARE(rig.port->ReadClusterAsText(), std::string("one"));
}

void TestSerialWorker::closingWithPendingReadAbortsIt() {
  SerialRig rig;
  rig.port->setReadRequest(true);
  QVERIFY(rig.openAndSettle());
  rig.device->setReadsPending(true);
  rig.device->scheduleArrival(5, "xyz");
  QVERIFY(rig.serveUntil([&] { return rig.device->isReadPending(); }));
  rig.device->holdWaitsUntilPurge();
  rig.port->setActive(false);
  QVERIFY(rig.serveUntil([&] { return rig.hasReport(9907, "Error read aborted"); }));
  QCOMPARE(rig.findReport(9907)->code, 995u);
  QCOMPARE(rig.port->QueuedClusterSize(), -1);
  QVERIFY(!rig.device->isOpen());
}

void TestSerialWorker::commStatUntilTwoPollsAgree() {
  SerialRig rig;
  std::vector<std::uint32_t> errors;
  rig.port->setOnCommStat([&](TSerialLine* sender) { errors.push_back(sender->CommError()); });
  QVERIFY(rig.openAndSettle());
  errors.clear();
  rig.device->injectLineErrors(kErrorFrame);
  QVERIFY(rig.serveUntil([&] { return errors.size() >= 2; }));
  QVERIFY(rig.servePolls(10));
  QCOMPARE(errors, (std::vector<std::uint32_t>{kErrorFrame, 0}));
  QCOMPARE(rig.port->CommError(), 0u);
}

void TestSerialWorker::lineEventsAreDispatchedInOrder() {
  SerialRig rig;
  std::vector<std::string> order;
  const auto record = [&](const char* name) {
    return [&order, name](TSerialLine*) { order.emplace_back(name); };
  };
  rig.port->setOnBreakEvent(record("Break"));
  rig.port->setOnCTSEvent(record("CTS"));
  rig.port->setOnDSREvent(record("DSR"));
  rig.port->setOnLineErrorEvent(record("LineError"));
  rig.port->setOnRingEvent(record("Ring"));
  rig.port->setOnRLSDEvent(record("RLSD"));
  rig.port->setOnRxCharEvent(record("RxChar"));
  rig.port->setOnRxEventCharEvent(record("RxEventChar"));
  rig.port->setOnTxQueueEmptyEvent(record("TxEmpty"));
  rig.port->setOnCommEvent(record("Comm"));
  QVERIFY(rig.openAndSettle());
  rig.device->raiseEvents(kAllLineEvents);
  QVERIFY(rig.serveUntil([&] { return order.size() == 10; }));
  QCOMPARE(order, (std::vector<std::string>{"Break", "CTS", "DSR", "LineError", "Ring", "RLSD",
                                            "RxChar", "RxEventChar", "TxEmpty", "Comm"}));
  QCOMPARE(rig.port->CommEvent(), kAllLineEvents);
}

void TestSerialWorker::ringEmulationOnFamilyOne() {
  SerialRig rig(1000, 1);
  std::vector<std::string> order;
  rig.port->setOnRIEvent(
      [&](TSerialLine* sender) { order.push_back(sender->RingState() ? "RI+" : "RI-"); });
  rig.port->setOnRingEvent([&](TSerialLine*) { order.emplace_back("Ring"); });
  rig.port->setOnCommEvent(
      [&](TSerialLine* sender) { order.push_back("Comm" + std::to_string(sender->CommEvent())); });
  QVERIFY(rig.openAndSettle());
  rig.device->setModemBits(kModemRing | kModemCts);
  QVERIFY(rig.serveUntil([&] { return order.size() == 1; }));
  QVERIFY(rig.port->CTSState());
  rig.device->setModemBits(0);
  QVERIFY(rig.serveUntil([&] { return order.size() == 4; }));
  QCOMPARE(order, (std::vector<std::string>{"RI+", "RI-", "Ring", "Comm256"}));
  QVERIFY(!rig.port->RingState());
}

void TestSerialWorker::ringChangeElsewhereRaisesOnlyRI() {
  SerialRig rig;
  std::vector<std::string> order;
  rig.port->setOnRIEvent([&](TSerialLine*) { order.emplace_back("RI"); });
  rig.port->setOnRingEvent([&](TSerialLine*) { order.emplace_back("Ring"); });
  rig.port->setOnCommEvent([&](TSerialLine*) { order.emplace_back("Comm"); });
  QVERIFY(rig.openAndSettle());
  rig.device->setModemBits(kModemRing | kModemRlsd | kModemDsr);
  QVERIFY(rig.serveUntil([&] { return order.size() == 1; }));
  QVERIFY(rig.port->RLSDState() && rig.port->DSRState() && rig.port->RingState());
  QCOMPARE(rig.port->ModemState(), kModemRing | kModemRlsd | kModemDsr);
  rig.device->setModemBits(0);
  QVERIFY(rig.serveUntil([&] { return order.size() == 2; }));
  QVERIFY(rig.servePolls(10));
  QCOMPARE(order, (std::vector<std::string>{"RI", "RI"}));
}

void TestSerialWorker::workerFailuresAreReported() {
  SerialRig rig;
  QVERIFY(rig.openAndSettle());
  rig.device->setFailure(FakeOp::DriverStatus, 22);
  QVERIFY(rig.serveUntil([&] { return rig.hasReport(9803, "Error ClearCommError"); }));
  rig.device->setFailure(FakeOp::DriverStatus, 0);
  rig.device->setFailure(FakeOp::StartRead, 5);
  rig.port->setReadRequest(true);
  rig.device->scheduleArrival(5, "z");
  QVERIFY(rig.serveUntil([&] { return rig.hasReport(9804, "Error reading Data"); }));
  QVERIFY(!rig.port->ReadRequest());
  rig.device->setFailure(FakeOp::StartRead, 0);
  rig.device->setFailure(FakeOp::Wait, kWaitFailed);
  QVERIFY(rig.serveUntil([&] { return rig.hasReport(9913, "Error getting Overlappedresult"); }));
  QCOMPARE(rig.findReport(9913)->code, kWaitFailed);
  rig.device->setFailure(FakeOp::Wait, 0);
  rig.device->setFailure(FakeOp::StartEventWait, 87);
  QVERIFY(rig.serveUntil([&] { return rig.hasReport(9907, "Error calling WaitCommEvent"); }));
  rig.device->setFailure(FakeOp::StartEventWait, 0);
  for (const Report& r : rig.reports)
    if (r.place >= 9700)
      QCOMPARE(r.noise, std::uint8_t{0});
}

QTEST_APPLESS_MAIN(TestSerialWorker)
#include "tst_serialworker.moc"
