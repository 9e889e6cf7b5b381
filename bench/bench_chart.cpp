#include "chartengine.h"
#include "form3.h"
#include "numbertext.h"
#include "reportengine.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace {

// Records as the table stores them: VOLTAGE "%6.3f" and MINUTES "%6.1f" texts.
std::vector<std::pair<std::string, std::string>> measurementTexts(int count) {
  std::vector<std::pair<std::string, std::string>> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const double volts = 12.6 - 1.5 * i / count + 0.05 * std::sin(i * 0.01);
    rows.emplace_back(kelvor::formatFixed(volts, 6, 3), kelvor::formatFixed(i * 0.1, 6, 1));
  }
  return rows;
}

void fillChart(kelvor::ChartEngine& chart,
               const std::vector<std::pair<std::string, std::string>>& rows) {
  kelvor::ChartSeries& series = chart.series();
  series.clear();
  series.reserve(rows.size(), rows.size() * 6);
  double position = 0.0;
  for (const auto& [voltage, minutes] : rows) {
    series.addPoint(position, kelvor::strToFloat(voltage), minutes);
    position += 1.0;
  }
}

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
  fillChart(chart, measurementTexts(count));
  chart.bottomAxis().maximum = count;
  chart.leftAxis() = kelvor::ChartAxis{10.0, 13.0, 0.5, chart.leftAxis().title};
  QImage image(1280, 720, QImage::Format_RGB32);
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
