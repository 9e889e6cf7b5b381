#include "data/chartexport.h"
#include "data/chartreport.h"
#include "data/core/numbertext.h"
#include "data/core/wholefile.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

// The chart exports at a million records beside what they must not exceed: a repaint of the
// chart as the GRAF page draws it, plus the write of a file of the same size. Each iteration
// starts from a chart whose series just changed, so every figure includes one pass over the
// points; the writes go through the same temporary file, flush and rename.

namespace {

constexpr double kScreenDotsPerMm = 96.0 / 25.4;
constexpr double kZoom = 0.6;

struct ExportBench {
  kelvor::ChartReport report;
  kelvor::ChartPicture picture;
  QTemporaryDir dir;

  explicit ExportBench(int count) {
    kelvor::ChartEngine& chart = report.chart();
    kelvor::ChartSeries& series = chart.series();
    series.reserve(static_cast<std::size_t>(count), static_cast<std::size_t>(count) * 6);
    for (int i = 0; i < count; ++i) {
      const double volts = 12.6 - 1.5 * i / count + 0.05 * std::sin(i * 0.01);
      series.addPoint(i, volts, kelvor::formatFixed(i * 0.1, 6, 1));
    }
    chart.bottomAxis().maximum = count;
    chart.leftAxis() = kelvor::ChartAxis{10.0, 13.0, 0.5, chart.leftAxis().title};
    chart.setFirstTitleLine(QStringLiteral("Vybíjení  článku"));
    const QSizeF onScreen = report.chartBoxMm().size() * (kZoom * kScreenDotsPerMm);
    picture = kelvor::ChartPicture{onScreen.toSize(), kZoom, 1.0};
  }

  // What a change of the table other than an append does to the chart: it draws anew.
  void changeSeries() { report.chart().series().setLabelSource({}); }
  std::string path(const char* name) const {
    return dir.filePath(QLatin1String(name)).toStdString();
  }
};

void BM_ChartRepaintAsShown(benchmark::State& state) {
  ExportBench bench(static_cast<int>(state.range(0)));
  QImage image(bench.picture.size, QImage::Format_RGB32);
  for (auto _ : state) {
    bench.changeSeries();
    QPainter painter(&image);
    bench.report.chart().paint(painter, QRectF(QPointF(0, 0), QSizeF(bench.picture.size)),
                               bench.picture.pixelScale);
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_ChartRepaintAsShown)->Arg(1000000)->Unit(benchmark::kMillisecond);

std::string exportedBytes(const ExportBench& bench, bool bitmap) {
  if (bitmap)
    return kelvor::chartBitmap(bench.report.chart(), bench.picture).toStdString();
  const auto wmf = kelvor::chartMetafile(bench.report.chart(), bench.picture);
  return std::string(wmf.begin(), wmf.end());
}

// The export as the menu runs it, each time after a change of the series.
void BM_ChartExport(benchmark::State& state, bool bitmap) {
  ExportBench bench(static_cast<int>(state.range(0)));
  const std::string file = bench.path(bitmap ? "graf.bmp" : "graf.wmf");
  for (auto _ : state) {
    bench.changeSeries();
    const int error = bitmap
                          ? kelvor::exportChartBitmap(bench.report.chart(), bench.picture, file)
                          : kelvor::exportChartMetafile(bench.report.chart(), bench.picture, file);
    if (error != 0)
      state.SkipWithError("the chart could not be written");
  }
  state.counters["bytes"] = static_cast<double>(exportedBytes(bench, bitmap).size());
}
BENCHMARK_CAPTURE(BM_ChartExport, bmp, true)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChartExport, wmf, false)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The write alone of a file as large as the export's, through the same whole-file path.
void BM_ChartFileWrite(benchmark::State& state, bool bitmap) {
  ExportBench bench(static_cast<int>(state.range(0)));
  const std::string bytes = exportedBytes(bench, bitmap);
  const std::string file = bench.path("same-size");
  for (auto _ : state) {
    if (kelvor::writeWholeFile(file, std::string_view(bytes)) != 0)
      state.SkipWithError("the file could not be written");
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK_CAPTURE(BM_ChartFileWrite, bmp_size, true)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChartFileWrite, wmf_size, false)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The bound of each export in one figure, measured under the same load: a repaint followed
// by the write of a file of the export's size.
void BM_ChartRepaintPlusWrite(benchmark::State& state, bool bitmap) {
  ExportBench bench(static_cast<int>(state.range(0)));
  const std::string bytes = exportedBytes(bench, bitmap);
  const std::string file = bench.path("same-size");
  QImage image(bench.picture.size, QImage::Format_RGB32);
  for (auto _ : state) {
    bench.changeSeries();
    QPainter painter(&image);
    bench.report.chart().paint(painter, QRectF(QPointF(0, 0), QSizeF(bench.picture.size)),
                               bench.picture.pixelScale);
    painter.end();
    if (kelvor::writeWholeFile(file, std::string_view(bytes)) != 0)
      state.SkipWithError("the file could not be written");
  }
}
BENCHMARK_CAPTURE(BM_ChartRepaintPlusWrite, bmp_size, true)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChartRepaintPlusWrite, wmf_size, false)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond);

} // namespace
