#include "app/filelocations.h"
#include "app/form1.h"
#include "app/pages/grafpage.h"
#include "app/program.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "tests/support/scripteddialogs.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// A table of `count` records as the measuring cycle stores them at Doba 6.
void fillTable(const QString& tableFile, int count) {
  kelvor::MeasurementTable table;
  table.open(tableFile.toStdString());
  kelvor::MeasurementTable::Batch batch(table);
  for (int i = 0; i < count; ++i) {
    table.append();
    table.setTime(i % kelvor::kSecondsPerDay);
    table.setMinutes(kelvor::formatFixed(i * 0.1, 6, 1));
    table.setVoltage(kelvor::formatFixed(12.8 - i * 1e-6, 6, 3));
  }
  table.post();
  batch.commit();
}

// The chart re-read after a record other than the last changed (an edit in the grid): the
// views are told once the edit is stored, and the chart reads the whole table into its
// series in one pass. The edit itself is not timed.
void BM_ChartReread(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const auto locations = kelvor::FileLocations::forExecutableDir(dir.path());
  fillTable(locations.tableFile(), count);
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

BENCHMARK(BM_ChartReread)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
