#include "app/filelocations.h"
#include "bench/benchtable.h"
#include "data/core/measurementtable.h"
#include "data/core/tablesummary.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The analysis page's full pass over the table (after a clearing, a cut, an import or at
// start-up), on the same table as BM_ChartReread: it must cost at most 1.5 times the chart's
// re-read.
void BM_RunSummaryPass(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const auto locations = kelvor::FileLocations::forExecutableDir(dir.path());
  kelvor::bench::fillDischargeTable(locations.tableFile(), count);
  kelvor::MeasurementTable table;
  table.open(locations.tableFile().toStdString());
  kelvor::TableSummary summary(table, {});
  summary.setParameters({.dobaSeconds = 6.0, .cutoffVolts = 10.5});
  for (auto _ : state) {
    summary.summariseAll();
    benchmark::DoNotOptimize(summary.summary().voltHours());
  }
  if (summary.summary().records() != count || summary.summary().gaps() != 0)
    state.SkipWithError("the summary does not hold every record");
}

} // namespace

BENCHMARK(BM_RunSummaryPass)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Unit(benchmark::kMillisecond);
