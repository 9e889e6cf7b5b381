#include "app/cutoffmonitor.h"
#include "data/core/eventlog.h"
#include "data/core/measurementtable.h"
#include "instrument/measuringcontroller.h"
#include "tests/support/fakeline.h"
#include "tests/support/tablerows.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <memory>

using namespace kelvor;

namespace {

// The alarm over the controller on the fake device, storing a record per reading (Doba 6).
struct AlarmRig : FakeLine {
  AlarmRig() {
    table.open(file());
    events.open(file());
    measuring = std::make_unique<MeasuringController>(table, std::move(port));
    measuring->cycle.Doba = 6;
    monitor =
        std::make_unique<CutoffMonitor>(*measuring, events, [this] { measuring->switchOff(); });
    monitor->setBell([this] { ++bells; });
    measuring->serialLine().setActive(true);
  }

  std::filesystem::path file() const {
    return std::filesystem::path(folder.path().toStdString()) / "Kelvor.db";
  }

  // Asks for the present value and serves the line until the reply was handled.
  bool reply(const std::string& bytes) {
    measuring->Timer1Timer();
    const std::size_t before = received;
    arrive(bytes);
    return serveUntil([&] { return received > before; });
  }

  QTemporaryDir folder;
  MeasurementTable table;
  EventLog events;
  std::unique_ptr<MeasuringController> measuring;
  std::unique_ptr<CutoffMonitor> monitor;
  int bells = 0;
  std::size_t received = 0;
};

} // namespace

class TestCutoffAlarm : public QObject {
  Q_OBJECT

private slots:
  void firesOnceAtTheThirdLowReadingNeverOnNoise();
  void aCollapseStopsMeasuringAndANewRunMayFireAgain();
};

// Noise between the low readings neither counts nor breaks the row: the controller rejects it
// as no reading. A reading exactly at the cut-off counts; one above it starts the row anew.
void TestCutoffAlarm::firesOnceAtTheThirdLowReadingNeverOnNoise() {
  AlarmRig rig;
  QObject::connect(rig.measuring.get(), &MeasuringController::replyReceived,
                   [&rig] { ++rig.received; });
  QSignalSpy raised(rig.monitor.get(), &CutoffMonitor::cutoffAlarmRaised);
  rig.monitor->setRule({.cutoffVolts = 10.5, .readingsInRow = 3});
  rig.measuring->switchOn();
  for (const char* bytes :
       {"U[V]:    10.5000 \r", "U[V]:    10.4000 \r", "U[V]:    10.6000 \r", "U[V]:    10.5000 \r",
        "U[V]:     0.1xyz \r", "U[V]:    10.4500 \r", "U[V]:    10.3000 \r", "U[V]:    10.2000 \r"})
    QVERIFY(rig.reply(bytes));
  QCOMPARE(raised.count(), 1);
  const QString body = raised.at(0).at(0).toString();
  QVERIFY2(body.startsWith(QStringLiteral("Napětí  10.300 V  dosáhlo  odpojovací  meze  10.500 V")),
           qPrintable(body));
  QVERIFY(body.endsWith(QStringLiteral("Odpojte  zátěž.")));
  QCOMPARE(rig.bells, 1);
  QVERIFY(rig.monitor->bellTimer()->isActive());
  QCOMPARE(rig.monitor->bellTimer()->interval(), 10000);
  // Measuring goes on without Zastavit.
  QVERIFY(rig.measuring->Timer1->isActive());

  // The moment is in the file, committed; the measurement table, read afresh, holds only the
  // readings.
  EventLog reader;
  reader.open(rig.file());
  const std::vector<MeasuringEvent> noted = reader.events();
  QCOMPARE(noted.size(), std::size_t(1));
  QCOMPARE(noted[0].voltage, std::string("10.300"));
  QCOMPARE(noted[0].kind, std::string(CutoffMonitor::kBelowCutoffKind));
  QCOMPARE(noted[0].minutes, rig.table.record(5).minutes);
  MeasurementTable fresh;
  fresh.open(rig.file());
  QCOMPARE(rowTexts(fresh), rowTexts(rig.table));
  QCOMPARE(fresh.recordCount(), 7);

  rig.monitor->acknowledge();
  QVERIFY(!rig.monitor->alarmPending());
  QVERIFY(!rig.monitor->bellTimer()->isActive());
}

void TestCutoffAlarm::aCollapseStopsMeasuringAndANewRunMayFireAgain() {
  AlarmRig rig;
  QObject::connect(rig.measuring.get(), &MeasuringController::replyReceived,
                   [&rig] { ++rig.received; });
  QSignalSpy raised(rig.monitor.get(), &CutoffMonitor::cutoffAlarmRaised);
  QSignalSpy switched(rig.measuring.get(), &MeasuringController::measuringSwitched);
  rig.monitor->setRule({.cutoffVolts = 10.5, .readingsInRow = 3});
  rig.monitor->setStopAtCutoff(true);
  rig.measuring->switchOn();
  // 1.2 V is a tenth of 12.0 V, not below it.
  for (const char* bytes : {"U[V]:    12.0000 \r", "U[V]:     1.2000 \r", "U[V]:     0.1100 \r"})
    QVERIFY(rig.reply(bytes));
  QCOMPARE(raised.count(), 1);
  QVERIFY(raised.at(0).at(0).toString().startsWith(
      QStringLiteral("Napětí  náhle  kleslo  na  0.110 V")));
  QVERIFY(!rig.measuring->Timer1->isActive());
  QCOMPARE(switched.last().at(0).toBool(), false);
  QCOMPARE(rig.events.events().back().kind, std::string(CutoffMonitor::kCollapseKind));

  // A late reply after the switch-off belongs to no run; the next run starts without a
  // reading to fall from.
  QVERIFY(rig.reply("U[V]:     0.0100 \r"));
  rig.measuring->switchOn();
  QVERIFY(rig.reply("U[V]:     0.0010 \r"));
  QCOMPARE(raised.count(), 1);
  QVERIFY(rig.reply("U[V]:     0.0010 \r"));
  QVERIFY(rig.reply("U[V]:     0.0010 \r"));
  QCOMPARE(raised.count(), 2);
}

QTEST_MAIN(TestCutoffAlarm)
#include "tst_cutoffalarm.moc"
