#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

using namespace kelvor;

namespace {

std::filesystem::path benchFolder() {
  static QTemporaryDir dir;
  return std::filesystem::path(dir.path().toStdString());
}

void appendMeasurement(MeasurementTable& table, int n) {
  table.append();
  table.setTime(n % kSecondsPerDay);
  table.setMinutes(formatFixed(n / 10.0, 6, 1));
  table.setVoltage(formatFixed(1.0 + (n % 1000) / 1000.0, 6, 3));
}

// A table file of `count` records, built once per size and copied for benchmarks that
// change it.
std::filesystem::path tableFile(int count) {
  const auto file = benchFolder() / ("table" + std::to_string(count)) / "Kelvor.db";
  if (!std::filesystem::exists(file)) {
    MeasurementTable table;
    table.open(file);
    MeasurementTable::Batch batch(table);
    for (int n = 0; n < count; ++n)
      appendMeasurement(table, n);
    batch.commit();
  }
  return file;
}

std::filesystem::path freshCopy(int count) {
  const auto source = tableFile(count);
  const auto target = benchFolder() / "work" / "Kelvor.db";
  std::filesystem::create_directories(target.parent_path());
  std::filesystem::remove(std::filesystem::path(target.string() + "-wal"));
  std::filesystem::remove(std::filesystem::path(target.string() + "-shm"));
  std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
  return target;
}

double residentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      double kilobytes = 0;
      status >> kilobytes;
      return kilobytes / 1024.0;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0.0;
}

void BM_TableAppendStore(benchmark::State& state) {
  MeasurementTable table;
  table.open(benchFolder() / "append" / "Kelvor.db");
  std::vector<double> milliseconds;
  int n = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    appendMeasurement(table, n++);
    table.post();
    milliseconds.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  std::nth_element(milliseconds.begin(), milliseconds.begin() + milliseconds.size() / 2,
                   milliseconds.end());
  state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
}
BENCHMARK(BM_TableAppendStore)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_TableWalk(benchmark::State& state) {
  MeasurementTable table;
  table.open(tableFile(static_cast<int>(state.range(0))));
  for (auto _ : state) {
    double sum = 0.0;
    table.first();
    while (!table.eof()) {
      sum += table.fieldAsFloat(Field::Voltage);
      table.next();
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_TableWalk)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_TableOpen(benchmark::State& state) {
  const auto file = tableFile(static_cast<int>(state.range(0)));
  double before = 0.0;
  double open = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    MeasurementTable table;
    before = residentMegabytes();
    state.ResumeTiming();
    table.open(file);
    state.PauseTiming();
    open = residentMegabytes();
    table.close();
    state.ResumeTiming();
  }
  state.counters["rss_MB"] = open;
  state.counters["rss_table_MB"] = open - before;
}
BENCHMARK(BM_TableOpen)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_TableClear(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    MeasurementTable table;
    table.open(freshCopy(static_cast<int>(state.range(0))));
    state.ResumeTiming();
    table.disableControls();
    {
      MeasurementTable::Batch batch(table);
      table.last();
      while (!table.bof()) {
        table.prior();
        table.deleteCurrent();
      }
      batch.commit();
    }
    table.enableControls();
    state.PauseTiming();
    table.close();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TableClear)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_TableDeleteEveryOther(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    MeasurementTable table;
    table.open(freshCopy(static_cast<int>(state.range(0))));
    state.ResumeTiming();
    {
      MeasurementTable::Batch batch(table);
      table.first();
      while (!table.eof()) {
        table.next();
        if (table.eof())
          break;
        table.deleteCurrent();
      }
      batch.commit();
    }
    state.PauseTiming();
    table.close();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_TableDeleteEveryOther)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
