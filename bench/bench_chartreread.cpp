#include "app/filelocations.h"
#include "app/form1.h"
#include "app/pages/grafpage.h"
#include "app/program.h"
#include "bench/benchtable.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "tests/support/scripteddialogs.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// The chart re-read after a record other than the last changed (an edit in the grid): the
// views are told once the edit is stored, and the chart reads the whole table into its
// series in one pass. The edit itself is not timed.
void BM_ChartReread(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const auto locations = kelvor::FileLocations::forExecutableDir(dir.path());
  kelvor::bench::fillDischargeTable(locations.tableFile(), count);
  const kelvor::Program program(locations, std::make_unique<ScriptedDialogs>());
  kelvor::TForm1& form = program.form();
  int edits = 0;
  for (auto _ : state) {
    state.PauseTiming();
    form.Table1.disableControls();
    form.Table1.moveTo(0);
    form.Table1.edit();
    form.Table1.setVoltage(++edits % 2 != 0 ? "12.700" : "12.800");
    form.Table1.post();
    state.ResumeTiming();
    form.Table1.enableControls();
    form.GRAF->chartReread();
  }
  const kelvor::ChartSeries& series = form.GRAF->chartReport.chart().series();
  if (series.count() != static_cast<std::size_t>(count))
    state.SkipWithError("the series does not hold every record");
  else if (std::abs(series.y(0) - (edits % 2 != 0 ? 12.7 : 12.8)) > 1e-4)
    state.SkipWithError("the series does not show the edit");
}

} // namespace

BENCHMARK(BM_ChartReread)->Arg(100000)->Arg(1000000)->Arg(5000000)->Unit(benchmark::kMillisecond);
