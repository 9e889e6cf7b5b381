#include "data/core/runsummary.h"
#include "data/core/tablesummary.h"
#include "tests/support/tablerows.h"

#include <QTemporaryDir>
#include <QTest>

#include <vector>

using namespace kelvor;

namespace {

// Three records a minute apart, a gap over midnight, two more a minute apart.
const std::vector<MeasurementRecord> kRunWithGap{{3600, "   0.0", "12.000"},
                                                 {3660, "   1.0", "11.000"},
                                                 {3720, "   2.0", "10.000"},
                                                 {86390, "   3.0", " 9.000"},
                                                 {50, "   4.0", " 8.000"}};

struct TableRig {
  TableRig() { table.open(folder.filePath(QStringLiteral("Kelvor.db")).toStdString()); }
  QTemporaryDir folder;
  MeasurementTable table;
};

QString figures(const RunSummary& s) {
  return QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9")
      .arg(s.records())
      .arg(s.unreadable())
      .arg(s.gaps())
      .arg(s.durationMinutes())
      .arg(s.meanVolts(), 0, 'g', 17)
      .arg(s.lowestVolts())
      .arg(s.voltHours(), 0, 'g', 17)
      .arg(s.squareVoltHours(), 0, 'g', 17)
      .arg(s.curveCutoffMinutes().value_or(-1));
}

} // namespace

class TestRunSummary : public QObject {
  Q_OBJECT

private slots:
  void sumsNeverSpanAGap();
  void followingTheTableEqualsAFullPass();
  void referenceDifferencesAtTheCutoffAndAtHalfTime();
};

void TestRunSummary::sumsNeverSpanAGap() {
  TableRig rig;
  appendRecords(rig.table, kRunWithGap);
  TableSummary follower(rig.table, {});
  follower.setParameters({.dobaSeconds = 60.0, .cutoffVolts = 10.0});
  follower.catchUp();
  const RunSummary& s = follower.summary();
  QCOMPARE(s.records(), 5);
  QCOMPARE(s.gaps(), 1);
  QCOMPARE(s.firstTime(), std::optional<int>(3600));
  QCOMPARE(s.lastTime(), std::optional<int>(50));
  QCOMPARE(s.durationMinutes(), 4.0);
  QCOMPARE(s.meanVolts(), 10.0);
  QCOMPARE(s.lowestVolts(), 8.0);
  QCOMPARE(s.highestVolts(), 12.0);
  QCOMPARE(s.endVolts(), 8.0);
  QCOMPARE(s.curveCutoffMinutes(), std::optional<double>(2.0));
  // Three minutes measured: 0-1, 1-2 and, after the gap, 3-4.
  QCOMPARE(s.measuredHours(), 3.0 / 60.0);
  QCOMPARE(s.ampHoursAtCurrent(2.0), 0.1);
  QCOMPARE(s.wattHoursAtCurrent(2.0), 2.0 * (11.5 + 10.5 + 8.5) / 60.0);
  QCOMPARE(s.ampHoursAtResistance(4.0), (11.5 + 10.5 + 8.5) / 60.0 / 4.0);
  QCOMPARE(s.wattHoursAtResistance(4.0), (132.5 + 110.5 + 72.5) / 60.0 / 4.0);

  // The cut-off from the curve, or from the table's own noted moment; an event of a table
  // cleared since lies beyond these records' minutes.
  QCOMPARE(follower.minutesToCutoff({}), std::optional<double>(2.0));
  const std::vector<MeasuringEvent> events{{100, " 300.0", "10.100", "POD"},
                                           {3700, "   1.5", "10.400", "POD"}};
  QCOMPARE(follower.minutesToCutoff(events), std::optional<double>(1.5));
  QCOMPARE(follower.voltsAtElapsed(1.5), std::optional<double>(10.5));
}

// Records stored one by one, one of them unreadable and one after a gap, are folded in as
// they come; a change other than at the end (a deletion) is summarised anew.
void TestRunSummary::followingTheTableEqualsAFullPass() {
  TableRig rig;
  int changes = 0;
  TableSummary follower(rig.table, [&changes] { ++changes; });
  follower.setParameters({.dobaSeconds = 60.0, .cutoffVolts = 9.5});
  follower.catchUp();
  std::vector<MeasurementRecord> records = kRunWithGap;
  records.insert(records.begin() + 2, {3690, "   1.5", "1O.5"});
  for (const MeasurementRecord& record : records) {
    rig.table.append();
    rig.table.setTime(record.time);
    rig.table.setMinutes(record.minutes);
    rig.table.setVoltage(record.voltage);
    rig.table.post();
  }
  QCOMPARE(changes, 6);
  TableSummary fresh(rig.table, {});
  fresh.setParameters(follower.summary().parameters());
  fresh.catchUp();
  QCOMPARE(figures(follower.summary()), figures(fresh.summary()));
  QCOMPARE(follower.summary().unreadable(), 1);

  rig.table.first();
  rig.table.deleteCurrent();
  QCOMPARE(follower.summary().records(), 4);
  QCOMPARE(follower.summary().startVolts(), 11.0);
}

void TestRunSummary::referenceDifferencesAtTheCutoffAndAtHalfTime() {
  const std::vector<ReferencePoint> reference{{5.0, 12.0}, {15.0, 11.0}, {25.0, 10.0}};
  const ReferenceComparison c = compareWithReference(reference, 30.0, 11.2, 10.0);
  QCOMPARE(c.cutoffMinutesDifference, std::optional<double>(10.0));
  QCOMPARE(c.halfTimeVoltsDifference.value_or(0.0), 11.2 - 10.5);
  // A run that has not reached the cut-off has nothing to compare.
  QVERIFY(!compareWithReference(reference, std::nullopt, 11.2, 10.0).cutoffMinutesDifference);
}

QTEST_MAIN(TestRunSummary)
#include "tst_runsummary.moc"
