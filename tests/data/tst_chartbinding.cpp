#include "data/chartbinding.h"
#include "data/core/numbertext.h"
#include "data/core/sqlitedatabase.h"
#include "tests/support/tablerows.h"

#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>
#include <string>

using namespace kelvor;

namespace {

MeasurementRecord measured(int n, std::string voltage = {}) {
  return {n * 6 % kSecondsPerDay, formatFixed(n * 0.1, 6, 1),
          voltage.empty() ? formatFixed(12.6 - 0.001 * n, 6, 3) : std::move(voltage)};
}

std::vector<MeasurementRecord> measuredRecords(int first, int count) {
  std::vector<MeasurementRecord> records;
  for (int n = first; n < first + count; ++n)
    records.push_back(measured(n));
  return records;
}

// The chart's re-read done the plain way: every stored record's VOLTAGE read as a number and
// its MINUTES as the label, up to the first VOLTAGE that is no number.
struct FreshReread {
  std::vector<double> ys;
  std::vector<std::string> labels;
  std::optional<std::string> invalid;

  explicit FreshReread(const MeasurementTable& table) {
    for (int i = 0; i < table.recordCount(); ++i) {
      const std::string voltage(table.storedText(i, Field::Voltage).view());
      try {
        ys.push_back(double(float(strToFloat(voltage))));
      } catch (const ConversionError& error) {
        invalid = error.what();
        return;
      }
      labels.emplace_back(table.storedText(i, Field::Minutes).view());
    }
  }
};

bool sameAsFreshReread(const ChartSeries& series, const ChartBinding& binding,
                       const MeasurementTable& table) {
  const FreshReread fresh(table);
  if (series.count() != fresh.ys.size() || binding.invalidVoltage() != fresh.invalid)
    return false;
  for (std::size_t i = 0; i < series.count(); ++i) {
    if (series.x(i) != double(i) || series.y(i) != fresh.ys[i] ||
        series.label(i) != fresh.labels[i])
      return false;
  }
  return true;
}

struct Bound {
  QTemporaryDir dir;
  MeasurementTable table;
  ChartSeries series;
  int followed = 0;
  std::optional<ChartBinding> binding;

  Bound() {
    table.open(dir.filePath(QStringLiteral("Kelvor/Kelvor.db")).toStdString());
    binding.emplace(table, series, [this] { ++followed; });
  }
  bool consistent() const { return sameAsFreshReread(series, *binding, table); }
};

} // namespace

class TestChartBinding : public QObject {
  Q_OBJECT

private slots:
  void followsEveryKindOfChange();
  void suspendedViewsFollowOnceOnResume();
  void aBadVoltageEndsTheSeriesUntilItIsMended();
  void catchUpWorksWhileSuspended();
  void aDestroyedTableEmptiesTheSeries();
};

void TestChartBinding::followsEveryKindOfChange() {
  Bound b;
  const auto check = [&b](const char* step) { QVERIFY2(b.consistent(), step); };
  appendRecords(b.table, measuredRecords(0, 50));
  check("batch of appends");
  QCOMPARE(b.series.count(), std::size_t(50));

  b.table.append();
  b.table.setMinutes("   5.0");
  check("a record being appended is not charted");
  QCOMPARE(b.series.count(), std::size_t(50));
  b.table.setVoltage("11.111");
  b.table.post();
  check("post of an appended record");
  QCOMPARE(b.series.y(50), double(11.111F));

  b.table.moveTo(10);
  b.table.edit();
  b.table.setVoltage("10.000");
  check("an edit not yet posted");
  QCOMPARE(b.series.y(10), double(float(strToFloat(measured(10).voltage))));
  b.table.post();
  check("posted edit");
  QCOMPARE(b.series.y(10), 10.0);

  b.table.moveTo(11);
  b.table.edit();
  b.table.setMinutes("  99.9");
  b.table.next();
  check("edit stored by a move");
  QCOMPARE(b.series.label(11), std::string("  99.9"));

  b.table.moveTo(20);
  b.table.deleteCurrent();
  check("deletion in the middle");
  QCOMPARE(b.series.count(), std::size_t(50));

  b.table.last();
  b.table.deleteCurrent();
  check("deletion of the last record");

  {
    MeasurementTable::Batch rolledBack(b.table);
    b.table.first();
    b.table.deleteCurrent();
    b.table.append();
    b.table.setVoltage("1.0");
  }
  check("rolled back batch");
  QCOMPARE(b.series.count(), std::size_t(49));

  {
    // Another program adds a row to the file; a refresh shows it.
    SqliteDatabase other(b.table.fileName());
    other.exec("INSERT INTO Kelvor (TIME, MINUTES, VOLTAGE) VALUES ('01:00:00', ' 1', ' 2.5')");
  }
  b.table.refresh();
  check("refresh");
  QCOMPARE(b.series.count(), std::size_t(50));
  QCOMPARE(b.series.y(49), 2.5);

  b.table.close();
  check("close");
  QCOMPARE(b.series.count(), std::size_t(0));
}

void TestChartBinding::suspendedViewsFollowOnceOnResume() {
  Bound b;
  appendRecords(b.table, measuredRecords(0, 10));
  const int before = b.followed;
  {
    MeasurementTable::ViewSuspension suspended(b.table);
    MeasurementTable::Batch batch(b.table);
    for (const MeasurementRecord& record : measuredRecords(10, 20)) {
      b.table.append();
      b.table.setTime(record.time);
      b.table.setMinutes(record.minutes);
      b.table.setVoltage(record.voltage);
    }
    b.table.first();
    b.table.next();
    b.table.deleteCurrent();
    batch.commit();
    QCOMPARE(b.series.count(), std::size_t(10));
    QCOMPARE(b.followed, before);
  }
  QCOMPARE(b.followed, before + 1);
  QVERIFY(b.consistent());
  QCOMPARE(b.series.count(), std::size_t(29));

  // The clearing walk, as the menu command runs it.
  {
    MeasurementTable::Batch batch(b.table);
    MeasurementTable::ViewSuspension suspended(b.table);
    b.table.last();
    while (!b.table.bof()) {
      b.table.prior();
      b.table.deleteCurrent();
    }
    batch.commit();
  }
  QVERIFY(b.consistent());
  QCOMPARE(b.series.count(), std::size_t(0));
}

void TestChartBinding::aBadVoltageEndsTheSeriesUntilItIsMended() {
  Bound b;
  std::vector<MeasurementRecord> records = measuredRecords(0, 8);
  records[3].voltage = "12,5V";
  appendRecords(b.table, records);
  QVERIFY(b.consistent());
  QCOMPARE(b.series.count(), std::size_t(3));
  QCOMPARE(b.binding->invalidVoltage(),
           std::optional<std::string>("'12,5V' is not a valid floating point value"));

  appendRecords(b.table, measuredRecords(8, 2));
  QVERIFY(b.consistent());
  QCOMPARE(b.series.count(), std::size_t(3));

  b.table.moveTo(3);
  b.table.edit();
  b.table.setVoltage("12.500");
  b.table.post();
  QVERIFY(b.consistent());
  QCOMPARE(b.series.count(), std::size_t(10));
  QVERIFY(!b.binding->invalidVoltage());
}

void TestChartBinding::catchUpWorksWhileSuspended() {
  Bound b;
  MeasurementTable::ViewSuspension suspended(b.table);
  appendRecords(b.table, measuredRecords(0, 5));
  QCOMPARE(b.series.count(), std::size_t(0));
  QVERIFY(b.binding->catchUp());
  QVERIFY(b.consistent());
  QVERIFY(!b.binding->catchUp());
  QCOMPARE(b.series.label(4), measured(4).minutes);
  // A label asked for beyond the table's records (the table shrank while suspended) is empty.
  b.table.last();
  b.table.deleteCurrent();
  QCOMPARE(b.series.label(4), std::string());
}

void TestChartBinding::aDestroyedTableEmptiesTheSeries() {
  QTemporaryDir dir;
  ChartSeries series;
  int followed = 0;
  auto table = std::make_unique<MeasurementTable>();
  table->open(dir.filePath(QStringLiteral("Kelvor.db")).toStdString());
  appendRecords(*table, measuredRecords(0, 3));
  const ChartBinding binding(*table, series, [&followed] { ++followed; });
  table->first();
  QCOMPARE(series.count(), std::size_t(3));
  table.reset();
  QCOMPARE(series.count(), std::size_t(0));
  QCOMPARE(series.label(0), std::string());
  QVERIFY(followed >= 2);
}

QTEST_GUILESS_MAIN(TestChartBinding)
#include "tst_chartbinding.moc"
