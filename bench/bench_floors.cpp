// The floors: the least this machine can do for each data path, measured in the same run as
// the paths themselves (see main.cpp for the ratios printed at the end).
#include "bench/benchchart.h"
#include "bench/benchfloor.h"
#include "bench/benchrows.h"
#include "data/chartengine.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "data/core/sqlitedatabase.h"

#include <QImage>
#include <QLineF>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using namespace kelvor;

namespace {

namespace fs = std::filesystem;

fs::path floorFolder() {
  static QTemporaryDir dir;
  return fs::path(dir.path().toStdString());
}

// An SQLite file of the program's layout, opened as the program opens it.
SqliteDatabase openLikeTheProgram(const fs::path& file) {
  fs::create_directories(file.parent_path());
  SqliteDatabase db(file);
  db.queryText("PRAGMA journal_mode = WAL");
  db.exec("PRAGMA synchronous = FULL");
  db.exec("CREATE TABLE IF NOT EXISTS Kelvor (ID INTEGER PRIMARY KEY AUTOINCREMENT, TIME TEXT, "
          "MINUTES TEXT, VOLTAGE TEXT)");
  return db;
}

void insertRows(SqliteDatabase& db, int count) {
  db.exec("BEGIN IMMEDIATE");
  SqliteStatement insert =
      db.prepare("INSERT INTO Kelvor (TIME, MINUTES, VOLTAGE) VALUES (?1, ?2, ?3)");
  for (int n = 0; n < count; ++n) {
    insert.bindText(1, timeToStorageText(n % kSecondsPerDay));
    insert.bindText(2, bench::rowMinutes(n));
    insert.bindText(3, bench::rowVoltage(n));
    insert.run();
  }
  db.exec("COMMIT");
}

fs::path filledFile(int count) {
  const fs::path file = floorFolder() / ("rows" + std::to_string(count)) / "Kelvor.db";
  if (!fs::exists(file)) {
    SqliteDatabase db = openLikeTheProgram(file);
    insertRows(db, count);
  }
  return file;
}

fs::path freshCopy(int count) {
  const fs::path target = floorFolder() / "work" / "Kelvor.db";
  fs::remove_all(target.parent_path());
  fs::create_directories(target.parent_path());
  fs::copy_file(filledFile(count), target);
  return target;
}

// One record inserted and committed durably (WAL, synchronous FULL): what a stored reading
// cannot do without.
void BM_FloorDurableAppend(benchmark::State& state) {
  const fs::path file = floorFolder() / "append" / "Kelvor.db";
  SqliteDatabase db = openLikeTheProgram(file);
  SqliteStatement insert =
      db.prepare("INSERT INTO Kelvor (TIME, MINUTES, VOLTAGE) VALUES (?1, ?2, ?3)");
  int n = 0;
  for (auto _ : state) {
    insert.bindText(1, "12:34:56");
    insert.bindText(2, formatFixed(n / 10.0, 6, 1));
    insert.bindText(3, " 12.345");
    insert.run();
    ++n;
  }
}
BENCHMARK(BM_FloorDurableAppend)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// The voltage texts of the table parsed once each, from one contiguous store.
void BM_FloorParseVoltages(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  std::string texts;
  std::vector<std::size_t> ends;
  for (int n = 0; n < count; ++n) {
    texts += formatFixed(12.8 - 1e-6 * n, 6, 3);
    ends.push_back(texts.size());
  }
  std::vector<float> values(static_cast<std::size_t>(count));
  for (auto _ : state) {
    std::size_t begin = 0;
    for (std::size_t i = 0; i < ends.size(); ++i) {
      const char* first = texts.data() + begin;
      while (*first == ' ')
        ++first;
      double value = 0.0;
      std::from_chars(first, texts.data() + ends[i], value);
      values[i] = static_cast<float>(value);
      begin = ends[i];
    }
    benchmark::DoNotOptimize(values.data());
  }
}
BENCHMARK(BM_FloorParseVoltages)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The chart's own line alone: the points its pixel columns keep, drawn with its pen as
// separate segments, without reduction, axes, grid, labels or titles.
void BM_FloorReducedPolyline(benchmark::State& state) {
  ChartEngine chart;
  bench::fillPaintedChart(chart, 1000000);
  const ChartSeries& series = chart.series();
  const ChartLayout layout = chart.layout(bench::kPaintedChartSize);
  std::vector<double> xs(series.count());
  std::vector<double> ys(series.count());
  for (std::size_t i = 0; i < series.count(); ++i) {
    xs[i] = series.x(i);
    ys[i] = series.y(i);
  }
  const ChartAxis& bottom = chart.bottomAxis();
  const ChartAxis& left = chart.leftAxis();
  const double xScale = layout.plot.width() / (bottom.maximum - bottom.minimum);
  const double yScale = layout.plot.height() / (left.maximum - left.minimum);
  const auto pixel = [&](std::size_t i) {
    return QPointF(layout.plot.left() + (xs[i] - bottom.minimum) * xScale,
                   layout.plot.bottom() - (ys[i] - left.minimum) * yScale);
  };
  const std::vector<std::size_t> kept =
      reduceToPixelColumns(xs, ys, 0, xs.size(), bottom.minimum, xScale);
  std::vector<QLineF> segments;
  for (std::size_t k = 1; k < kept.size(); ++k)
    segments.emplace_back(pixel(kept[k - 1]), pixel(kept[k]));
  QImage image(bench::kPaintedChartSize.toSize(), QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&image);
    painter.setClipRect(layout.plot);
    painter.setPen(QPen(Qt::blue, series.width(), Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.drawLines(segments.data(), static_cast<int>(segments.size()));
    painter.end();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["segments"] = static_cast<double>(segments.size());
}
BENCHMARK(BM_FloorReducedPolyline)->Unit(benchmark::kMillisecond);

// Every row of the table read through one prepared statement, its texts touched.
void BM_FloorSqliteRead(benchmark::State& state) {
  const fs::path file = filledFile(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(bench::plainSqliteRead(file));
}
BENCHMARK(BM_FloorSqliteRead)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The export's bytes (38 a line) written with one write into a new file, as the export
// benchmark writes into one: emptying the last round's file would cost more than the write.
void BM_FloorWriteBytes(benchmark::State& state) {
  const auto count = static_cast<std::size_t>(state.range(0));
  const std::string bytes(count * 38, 'x');
  const fs::path file = floorFolder() / "bytes.dat";
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(file);
    state.ResumeTiming();
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    const bool whole =
        fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    if (fd >= 0)
      ::close(fd);
    if (!whole) {
      state.SkipWithError("cannot write the file");
      break;
    }
  }
  fs::remove(file);
}
BENCHMARK(BM_FloorWriteBytes)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The import's rows inserted into an empty table through one statement, in one transaction.
void BM_FloorSqliteInsert(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    const fs::path file = floorFolder() / "insert" / "Kelvor.db";
    fs::remove_all(file.parent_path());
    SqliteDatabase db = openLikeTheProgram(file);
    state.ResumeTiming();
    insertRows(db, count);
  }
}
BENCHMARK(BM_FloorSqliteInsert)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// Deletions in one transaction on a fresh copy of the table, only the statements timed.
void timeDeletions(benchmark::State& state, const std::vector<std::string>& statements) {
  const auto count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    SqliteDatabase db = openLikeTheProgram(freshCopy(count));
    state.ResumeTiming();
    db.exec("BEGIN IMMEDIATE");
    for (const std::string& statement : statements)
      db.exec(statement);
    db.exec("COMMIT");
  }
}

// The rows an interval selection of the middle third removes, deleted by two statements in
// one transaction.
void BM_FloorSqliteDeleteRows(benchmark::State& state) {
  const std::int64_t count = state.range(0);
  const std::int64_t keptFirst = count * bench::kSelectionLowerThousandths / 1000000 + 1;
  const std::int64_t keptLast = count * bench::kSelectionUpperThousandths / 1000000 + 1;
  timeDeletions(state, {"DELETE FROM Kelvor WHERE rowid > " + std::to_string(keptLast),
                        "DELETE FROM Kelvor WHERE rowid < " + std::to_string(keptFirst)});
}
BENCHMARK(BM_FloorSqliteDeleteRows)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// Every row deleted in one transaction.
void BM_FloorSqliteDeleteAll(benchmark::State& state) {
  timeDeletions(state, {"DELETE FROM Kelvor"});
}
BENCHMARK(BM_FloorSqliteDeleteAll)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace
