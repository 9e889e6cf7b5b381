#include "serial/platform/portname.h"
#include "tests/serial/serialrig.h"

#include <QDeadlineTimer>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <set>
#include <thread>

using namespace kelvor;
using namespace kelvor::test;

class TestSerialLine : public QObject {
  Q_OBJECT

private slots:
  void defaultsAfterConstruction();
  void charDelaysFollowTheBaudRateTable_data();
  void charDelaysFollowTheBaudRateTable();
  void programSettingsGiveTheFormValues();
  void openingAMissingDeviceFails();
  void commPortRules();
  void portNamesMapToDevices();
  void limitDivisorsAreClampedAndApplied();
  void queueSizesAreAskedForOpenOrNot();
  void lineSettingsReachTheDevice();
  void controlLinesFollowTheOpenState();
  void errorNoiseFiltersReports();
  void sendingWhileClosedFails();
  void immediateSendRaisesWriteDoneInside();
  void emptyTextSendsNothing();
  void secondSendWhilePendingIsDropped();
  void pendingSendTimesOut();
  void shortSendReportsTimeOut();
  void closingWithPendingSendAbortsIt();
  void destructionReportsNothing();
  void destructionServesABlockedWorker();
};

void TestSerialLine::defaultsAfterConstruction() {
  SerialRig rig;
  TSerialLine& p = *rig.port;
  QCOMPARE(p.Active(), false);
  QCOMPARE(p.ComHandle(), 0xFFFFFFFFu);
  QCOMPARE(p.CommPort(), std::string("COM2"));
  QCOMPARE(p.BaudRate(), 9600u);
  QCOMPARE(p.DataBits(), std::uint8_t{8});
  QCOMPARE(p.XONChar(), char(17));
  QCOMPARE(p.XOFFChar(), char(19));
  QCOMPARE(p.XONLimDiv(), std::uint8_t{33});
  QCOMPARE(p.RTOCharDelayTime(), 1100u);
  QCOMPARE(p.RTOExtraDelayTime(), std::uint16_t{250});
  QCOMPARE(p.WTOCharDelayTime(), 1100u);
  QCOMPARE(p.ClusterSize(), std::uint16_t{3072});
  QCOMPARE(p.RxQueueSize(), std::uint16_t{4096});
  QCOMPARE(p.ErrorNoise(), std::uint8_t{255});
  QVERIFY(p.XTOAuto());
  QVERIFY(p.RTSState() && p.DTRState() && !p.BREAKState());
  QCOMPARE(p.QueuedClusterSize(), -1);
  QCOMPARE(p.ReadClusterAsText(), std::string());
  QVERIFY(rig.reports.empty());
}

void TestSerialLine::charDelaysFollowTheBaudRateTable_data() {
  QTest::addColumn<quint32>("baud");
  QTest::addColumn<quint32>("delay");
  QTest::newRow("100") << 100u << 1100u;
  QTest::newRow("110") << 110u << 100000u;
  QTest::newRow("1200") << 1200u << 9000u;
  QTest::newRow("9600") << 9600u << 1100u;
  QTest::newRow("19200") << 19200u << 570u;
  QTest::newRow("19199") << 19199u << 760u;
  QTest::newRow("57600") << 57600u << 190u;
  QTest::newRow("115200") << 115200u << 95u;
  QTest::newRow("1000000") << 1000000u << 43u;
}

void TestSerialLine::charDelaysFollowTheBaudRateTable() {
  QFETCH(quint32, baud);
  QFETCH(quint32, delay);
  SerialRig rig;
  rig.port->setBaudRate(baud == 9600 ? 4800 : 9600);
  rig.port->setBaudRate(baud);
  QCOMPARE(rig.port->RTOCharDelayTime(), delay);
  QCOMPARE(rig.port->WTOCharDelayTime(), delay);
  QCOMPARE(rig.port->RTOExtraDelayTime(), std::uint16_t{250});

  rig.port->setXTOAuto(false);
  rig.port->setBaudRate(300);
  QCOMPARE(rig.port->RTOCharDelayTime(), delay);
  rig.port->setXTOAuto(true);
  QCOMPARE(rig.port->RTOCharDelayTime(), 37000u);
}

void TestSerialLine::programSettingsGiveTheFormValues() {
  SerialRig rig;
  rig.applyProgramSettings();
  QCOMPARE(rig.port->RTOCharDelayTime(), 570u);
  QCOMPARE(rig.port->WTOCharDelayTime(), 570u);
  QCOMPARE(rig.port->ClusterSize(), std::uint16_t{26});
  QVERIFY(rig.device->controlCalls().empty());
  QVERIFY(rig.reports.empty());
}

void TestSerialLine::openingAMissingDeviceFails() {
  SerialRig rig;
  rig.port->setCommPort("COM5");
  rig.port->setActive(true);
  QCOMPARE(rig.port->Active(), false);
  QCOMPARE(rig.port->ComHandle(), 0xFFFFFFFFu);
  QCOMPARE(rig.reports.size(), std::size_t{2});
  QCOMPARE(rig.reports[0].place, 110u);
  QCOMPARE(rig.reports[0].msg, std::string("Msg start reactivating Port"));
  QCOMPARE(rig.reports[1].place, 112u);
  QCOMPARE(rig.reports[1].code, std::uint32_t{ENOENT});
  QCOMPARE(rig.reports[1].msg, std::string("Error reopening Port"));
}

void TestSerialLine::commPortRules() {
  SerialRig rig;
  rig.device->addPath("/dev/ttyS3");
  rig.port->setCommPort("COM4");
  QVERIFY(!rig.port->Active());
  QVERIFY(rig.reports.empty());

  QVERIFY(rig.openAndSettle());
  QCOMPARE(rig.device->openedPath(), std::string("/dev/ttyS3"));
  QVERIFY(rig.port->ComHandle() != 0xFFFFFFFFu);
  rig.reports.clear();
  rig.port->setCommPort("COM4");
  QVERIFY(rig.reports.empty());
  QVERIFY(rig.port->Active());

  rig.port->setCommPort("COM2");
  QVERIFY(rig.port->Active());
  QCOMPARE(rig.device->openedPath(), std::string("/dev/ttyS1"));
  QVERIFY(rig.hasReport(100, "Msg start deactivating Port"));
  QVERIFY(rig.hasReport(110, "Msg start reactivating Port"));

  rig.port->setActive(false);
  const std::string longName = "/dev/" + std::string(90, 'x');
  rig.device->addPath(longName.substr(0, 79));
  rig.port->setCommPort(longName);
  QCOMPARE(rig.port->CommPort(), longName);
  QVERIFY(!rig.port->Active());
  rig.port->setActive(true);
  QVERIFY(rig.port->Active());
  QCOMPARE(rig.device->openedPath(), longName.substr(0, 79));
  rig.port->setCommPort(std::string(300, 'y'));
  QCOMPARE(rig.port->CommPort(), std::string(255, 'y'));
}

void TestSerialLine::portNamesMapToDevices() {
  const std::map<std::string, std::string> devices{{"com1", "/dev/ttyUSB0"}, {"COM3", ""}};
  QCOMPARE(devicePathForPort("COM1", devices), std::string("/dev/ttyUSB0"));
  QCOMPARE(devicePathForPort("COM2", devices), std::string("/dev/ttyS1"));
  QCOMPARE(devicePathForPort("COM3", devices), std::string("/dev/ttyS2"));
  QCOMPARE(devicePathForPort("COM8", {}), std::string("/dev/ttyS7"));
  QCOMPARE(devicePathForPort("/dev/pts/4", devices), std::string("/dev/pts/4"));
  QCOMPARE(devicePathForPort("ttyACM0", devices), std::string("/dev/ttyACM0"));
  QCOMPARE(devicePathForPort("COM0", devices), std::string("/dev/COM0"));
  const std::string longCom = "COM1" + std::string(100, ' ');
  QCOMPARE(devicePathForPort(longCom, devices), "/dev/" + longCom.substr(0, 79));
}

void TestSerialLine::limitDivisorsAreClampedAndApplied() {
  SerialRig rig;
  rig.port->setXONLimDiv(150);
  QCOMPARE(rig.port->XONLimDiv(), std::uint8_t{100});
  QCOMPARE(rig.reports.size(), std::size_t{1});
  QCOMPARE(rig.reports[0].place, 100u);
  QCOMPARE(rig.reports[0].code, 150u);
  QCOMPARE(rig.reports[0].noise, std::uint8_t{1});
  QCOMPARE(rig.reports[0].msg, std::string("Warning XOnLimDef set to 100"));
  // The requested value is compared before the clamp: 150 differs from the stored 100.
  rig.port->setXONLimDiv(150);
  QCOMPARE(rig.reports.size(), std::size_t{2});
  rig.port->setXONLimDiv(100);
  QCOMPARE(rig.reports.size(), std::size_t{2});
  rig.port->setXOFFLimDiv(101);
  QCOMPARE(rig.reports.back().msg, std::string("Warning XOffLimDef set to 100"));
  QCOMPARE(rig.reports.back().code, 101u);

  QVERIFY(rig.openAndSettle());
  QCOMPARE(rig.device->lineSettings().xonLim, std::uint16_t{4096});
  rig.port->setXOFFLimDiv(50);
  QCOMPARE(rig.device->lineSettings().xoffLim, std::uint16_t{2048});
}

void TestSerialLine::queueSizesAreAskedForOpenOrNot() {
  SerialRig rig;
  rig.port->setRxQueueSize(1024);
  QCOMPARE(rig.port->RxQueueSize(), std::uint16_t{1024});
  QVERIFY(rig.hasReport(101, "Error can not set Quesize"));
  rig.port->setTxQueueSize(512);
  QVERIFY(rig.hasReport(102, "Error can not set Quesize"));
  const std::size_t before = rig.reports.size();
  rig.port->setRxQueueSize(1024);
  QCOMPARE(rig.reports.size(), before);
  QVERIFY(rig.openAndSettle());
  QCOMPARE(rig.device->queueSizes(), std::make_pair(1024u, 512u));
  QCOMPARE(rig.device->lineSettings().xonLim, std::uint16_t{1024 * 33 / 100});
  rig.device->setFailure(FakeOp::SetupQueues, 87);
  rig.port->setRxQueueSize(2048);
  QCOMPARE(rig.findReport(101)->code, 9u);
  QCOMPARE(rig.reports.back().code, 87u);
}

void TestSerialLine::lineSettingsReachTheDevice() {
  SerialRig rig;
  rig.applyProgramSettings();
  rig.port->setParityType(2);
  rig.port->setStripNullChars(true);
  rig.port->setEventChar('\r');
  QVERIFY(rig.openAndSettle());
  LineSettings s = rig.device->lineSettings();
  QCOMPARE(s.baudRate, 19200u);
  QCOMPARE(s.flags, kFlagBinary | kFlagParity | kFlagNull);
  QCOMPARE(s.parity, std::uint8_t{2});
  QCOMPARE(s.evtChar, '\r');
  QCOMPARE(rig.device->timeouts(), (Timeouts{0xFFFFFFFF, 0, 0, 0, 0}));
  QCOMPARE(rig.device->eventMask(), 0x1FFu);

  rig.port->setBaudRate(115200);
  QVERIFY(rig.port->Active());
  QCOMPARE(rig.device->lineSettings().baudRate, 115200u);
  QCOMPARE(rig.port->WTOCharDelayTime(), 95u);

  rig.device->setFailure(FakeOp::SetLineSettings, 87);
  rig.port->setDataBits(9);
  QVERIFY(rig.hasReport(802, "Error setting CommState, 87 indicate that Parms are incorrect"));
  rig.device->setFailure(FakeOp::GetLineSettings, 5);
  rig.device->setFailure(FakeOp::SetTimeouts, 6);
  rig.port->setStopBits(2);
  QVERIFY(rig.hasReport(801, "Error getting DCB from CommState"));
  QVERIFY(!rig.hasReport(802, "Error setting CommTimeout"));
}

void TestSerialLine::controlLinesFollowTheOpenState() {
  SerialRig rig;
  rig.port->setRTSState(false);
  rig.port->setBREAKState(true);
  QVERIFY(rig.port->RTSState());
  QVERIFY(!rig.port->BREAKState());
  QVERIFY(rig.device->controlCalls().empty());

  QVERIFY(rig.openAndSettle());
  QVERIFY(rig.port->RTSState() && rig.port->DTRState());
  const auto atOpen = rig.device->controlCalls();
  QCOMPARE(atOpen.size(), std::size_t{2});
  QCOMPARE(atOpen[0], std::make_pair(ControlLine::Dtr, true));
  QCOMPARE(atOpen[1], std::make_pair(ControlLine::Rts, true));

  rig.port->setBREAKState(true);
  QVERIFY(rig.port->BREAKState());
  QVERIFY(rig.device->controlLines()[2]);
  rig.device->setFailure(FakeOp::ControlLine, 5);
  rig.port->setRTSState(false);
  QVERIFY(!rig.port->RTSState());
  QVERIFY(rig.hasReport(502, "Error clearing RTS"));
  rig.device->setFailure(FakeOp::ControlLine, 0);

  rig.port->setActive(false);
  QVERIFY(!rig.port->RTSState() && !rig.port->DTRState());
  const auto all = rig.device->controlCalls();
  QCOMPARE(all[all.size() - 2], std::make_pair(ControlLine::Dtr, false));
  QCOMPARE(all.back(), std::make_pair(ControlLine::Rts, false));
  QCOMPARE(rig.port->ComHandle(), 0xFFFFFFFFu);
}

void TestSerialLine::errorNoiseFiltersReports() {
  for (const std::uint8_t noise : {0, 1, 2, 200}) {
    SerialRig rig;
    rig.port->setErrorNoise(noise);
    rig.port->setXONLimDiv(120);   // warning
    rig.port->setRxQueueSize(100); // error (closed)
    QVERIFY(rig.openAndSettle());  // message 110
    rig.port->setActive(false);    // message 100
    std::set<std::uint8_t> seen;
    for (const Report& r : rig.reports) {
      QVERIFY(r.noise <= noise);
      seen.insert(r.noise);
    }
    QCOMPARE(seen.count(0), std::size_t{1});
    QCOMPARE(seen.count(1) == 1, noise >= 1);
    QCOMPARE(seen.count(2) == 1, noise >= 2);
  }
}

void TestSerialLine::sendingWhileClosedFails() {
  SerialRig rig;
  int done = 0;
  rig.port->setOnWriteDone([&](TSerialLine*) { ++done; });
  rig.port->SendText("V\r");
  QCOMPARE(rig.reports.size(), std::size_t{2});
  QCOMPARE(rig.reports[0].place, 902u);
  QCOMPARE(rig.reports[0].msg, std::string("Error setting CommTimeout"));
  QCOMPARE(rig.reports[1].place, 903u);
  QCOMPARE(rig.reports[1].code, std::uint32_t{EBADF});
  QCOMPARE(rig.reports[1].msg, std::string("Error writing Data"));
  QVERIFY(!rig.port->SendInProgress());
  QCOMPARE(done, 0);
  QVERIFY(rig.device->sent().empty());
}

void TestSerialLine::immediateSendRaisesWriteDoneInside() {
  SerialRig rig;
  rig.applyProgramSettings();
  QVERIFY(rig.openAndSettle());
  bool inside = false;
  bool progressInHandler = true;
  std::uint32_t writtenInHandler = 0;
  rig.port->setOnWriteDone([&](TSerialLine* sender) {
    inside = true;
    progressInHandler = sender->SendInProgress();
    writtenInHandler = sender->WrittenBytes();
  });
  const std::string command = "0123456789";
  rig.port->SendText(command);
  QVERIFY(inside);
  QVERIFY(!progressInHandler);
  QCOMPARE(writtenInHandler, 10u);
  QCOMPARE(rig.device->sent(), command);
  QCOMPARE(rig.device->timeouts().writeTotalConstant, 255u);
  QCOMPARE(rig.device->timeouts().readInterval, 0xFFFFFFFFu);
}

void TestSerialLine::emptyTextSendsNothing() {
  SerialRig rig;
  int done = 0;
  rig.port->setOnWriteDone([&](TSerialLine*) { ++done; });
  rig.port->SendText("");
  QVERIFY(rig.reports.empty());
  QCOMPARE(done, 0);
}

void TestSerialLine::secondSendWhilePendingIsDropped() {
  SerialRig rig;
  QVERIFY(rig.openAndSettle());
  rig.device->setWriteMode(FakeSerialDevice::WriteMode::Pending);
  int done = 0;
  rig.port->setOnWriteDone([&](TSerialLine*) { ++done; });
  rig.port->SendText("first\r");
  QVERIFY(rig.port->SendInProgress());
  QCOMPARE(done, 0);
  rig.reports.clear();
  rig.port->SendText("second\r");
  QCOMPARE(rig.reports.size(), std::size_t{1});
  QCOMPARE(rig.reports[0].place, 901u);
  QCOMPARE(rig.reports[0].noise, std::uint8_t{2});
  QCOMPARE(rig.reports[0].msg, std::string("Msg, dont enter SendData while SendInProgress is set"));
  QCOMPARE(rig.device->sent(), std::string("first\r"));

  rig.device->completeWrite(6);
  QVERIFY(rig.serveUntil([&] { return done == 1; }));
  QVERIFY(!rig.port->SendInProgress());
  QCOMPARE(rig.port->WrittenBytes(), 6u);
  QCOMPARE(rig.reports.size(), std::size_t{1});
}

void TestSerialLine::pendingSendTimesOut() {
  SerialRig rig;
  rig.applyProgramSettings();
  QVERIFY(rig.openAndSettle());
  rig.device->setWriteMode(FakeSerialDevice::WriteMode::PendingReported);
  std::uint32_t doneAt = 0;
  rig.port->setOnWriteDone([&](TSerialLine*) { doneAt = rig.clock->tickCount(); });
  // The worker moves the clock on meanwhile: the send started between these two ticks.
  const std::uint32_t before = rig.clock->tickCount();
  rig.port->SendText("0123456789");
  const std::uint32_t after = rig.clock->tickCount();
  QVERIFY(rig.serveUntil([&] { return doneAt != 0; }));
  // Nothing was transferred, so the limit is WTOExtraDelayTime alone: 250 ms.
  QVERIFY(doneAt - before > 250);
  QVERIFY(doneAt - after <= 250 + 75);
  const Report* timeout = rig.findReport(9701);
  QVERIFY(timeout);
  QCOMPARE(timeout->code, 997u);
  QCOMPARE(timeout->msg, std::string("Error write TimeOut"));
  QVERIFY(!rig.port->SendInProgress());
}

void TestSerialLine::shortSendReportsTimeOut() {
  SerialRig rig;
  QVERIFY(rig.openAndSettle());
  rig.device->setWriteMode(FakeSerialDevice::WriteMode::Pending);
  int done = 0;
  rig.port->setOnWriteDone([&](TSerialLine*) { ++done; });
  rig.port->SendText("0123456789");
  rig.device->completeWrite(4);
  QVERIFY(rig.serveUntil([&] { return done == 1; }));
  QCOMPARE(rig.port->WrittenBytes(), 4u);
  QVERIFY(rig.findReport(9701));
  QCOMPARE(rig.findReport(9701)->code, std::uint32_t{ETIMEDOUT});
}

void TestSerialLine::closingWithPendingSendAbortsIt() {
  SerialRig rig;
  QVERIFY(rig.openAndSettle());
  rig.device->setWriteMode(FakeSerialDevice::WriteMode::Pending);
  int done = 0;
  rig.port->setOnWriteDone([&](TSerialLine*) { ++done; });
  rig.port->SendText("V\r");
  rig.port->setActive(false);
  QVERIFY(rig.serveUntil([&] { return done == 1; }));
  const Report* aborted = rig.findReport(9702);
  QVERIFY(aborted);
  QCOMPARE(aborted->code, 995u);
  QCOMPARE(aborted->msg, std::string("Error getting Overlapped Result"));
  QVERIFY(!rig.port->SendInProgress());
  QVERIFY(!rig.device->isOpen());
}

void TestSerialLine::destructionReportsNothing() {
  SerialRig rig;
  rig.port->setOnCommStat([](TSerialLine*) {});
  QVERIFY(rig.openAndSettle());
  rig.device->setWriteMode(FakeSerialDevice::WriteMode::Pending);
  rig.port->SendText("V\r");
  rig.device->setFailure(FakeOp::ModemStatus, 5);
  rig.device->setFailure(FakeOp::Close, 5);
  rig.reports.clear();
  rig.port.reset();
  QVERIFY(rig.reports.empty());
}

void TestSerialLine::destructionServesABlockedWorker() {
  SerialRig rig;
  int stats = 0;
  rig.port->setOnCommStat([&](TSerialLine*) { ++stats; });
  QVERIFY(rig.openAndSettle());
  const int before = stats;
  rig.device->scheduleArrival(10, "x");
  // Nobody serves now: the worker blocks in the hand-off of OnCommStat.
  QDeadlineTimer deadline(std::chrono::seconds(30));
  while (rig.handoff->waitingCalls() == 0 && !deadline.hasExpired())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  QVERIFY(rig.handoff->waitingCalls() > 0);
  QCOMPARE(stats, before);
  // Destruction serves the hand-off, so the worker ends, but the handler no longer runs: its
  // owner may already have let go of the port.
  rig.port.reset();
  QCOMPARE(stats, before);
}

QTEST_APPLESS_MAIN(TestSerialLine)
#include "tst_serialline.moc"
