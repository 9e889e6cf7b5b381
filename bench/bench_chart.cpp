#include "bench/benchchart.h"
#include "data/chartengine.h"
#include "data/core/numbertext.h"
#include "data/form3.h"
#include "data/reportengine.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace {

using kelvor::bench::fillChart;
using kelvor::bench::measurementTexts;

void BM_ChartFill(benchmark::State& state) {
  const auto rows = measurementTexts(static_cast<int>(state.range(0)));
  kelvor::ChartEngine chart;
  for (auto _ : state) {
    fillChart(chart, rows);
    benchmark::DoNotOptimize(chart.series().count());
  }
}
BENCHMARK(BM_ChartFill)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ChartPaint(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  kelvor::ChartEngine chart;
  kelvor::bench::fillPaintedChart(chart, count);
  QImage image(kelvor::bench::kPaintedChartSize.toSize(), QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&image);
    chart.paint(painter, QRectF(0, 0, 1280, 720));
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_ChartPaint)->Arg(1000000)->Unit(benchmark::kMillisecond);

class TextRows : public kelvor::ReportDataSource {
public:
  explicit TextRows(int count) : m_count(count) {}
  int rowCount() const override { return m_count; }
  QString fieldText(int row, const QString&) const override { return QString::number(row); }

private:
  int m_count;
};

void BM_TableReportPrepare(benchmark::State& state) {
  const kelvor::TForm3 form;
  const TextRows rows(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const kelvor::ReportLayout layout = form.Report1().layout(rows);
    benchmark::DoNotOptimize(layout.pages.size());
  }
}
BENCHMARK(BM_TableReportPrepare)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
