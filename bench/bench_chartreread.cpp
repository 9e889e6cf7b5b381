#include "../tests/app/scripteddialogs.h"
#include "filelocations.h"
#include "form1.h"
#include "measurementtable.h"
#include "numbertext.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

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

// The chart re-read as the program runs it: the whole table into the series, then the
// page's repaint request.
void BM_ChartReread(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  QTemporaryDir dir;
  const auto locations = kelvor::FileLocations::forExecutableDir(dir.path());
  fillTable(locations.tableFile(), count);
  kelvor::TForm1 form(locations, std::make_unique<ScriptedDialogs>());
  form.FormCreate();
  for (auto _ : state)
    form.chartReread();
  if (form.chartReport.chart().series().count() != static_cast<std::size_t>(count))
    state.SkipWithError("the series does not hold every record");
}

} // namespace

BENCHMARK(BM_ChartReread)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
