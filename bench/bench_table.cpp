#include "bench/benchfloor.h"
#include "bench/benchprogram.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <malloc.h>

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
  // Memory the allocator has freed but kept would count as the table's own.
  ::malloc_trim(0);
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

double medianOf(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

struct Timed {
  double wallMs = 0.0;
  double cpuMs = 0.0;
};

template <typename Work> Timed timed(Work work) {
  const double cpuStart = bench::processCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  work();
  const auto end = std::chrono::steady_clock::now();
  return {std::chrono::duration<double, std::milli>(end - start).count(),
          (bench::processCpuSeconds() - cpuStart) * 1e3};
}

// The open of a table file and the plain SQLite read of the same file, its floor, in pairs:
// each iteration runs both, one right after the other, the first of them taking turns. This
// machine's floor moves by half from minute to minute; within a pair both meet the same
// machine, so each pair's ratio means something, and the run reports their median (main.cpp
// prints it in place of a ratio of two separate medians).
void BM_TableOpen(benchmark::State& state) {
  const auto file = tableFile(static_cast<int>(state.range(0)));
  std::vector<double> floorWall;
  std::vector<double> floorCpu;
  std::vector<double> ratios;
  std::vector<double> cpuRatios;
  double openCpuMs = 0.0;
  double before = 0.0;
  double open = 0.0;
  for (auto _ : state) {
    const auto readPlainly = [&file] { benchmark::DoNotOptimize(bench::plainSqliteRead(file)); };
    const auto openTable = [&] {
      MeasurementTable table;
      before = residentMegabytes();
      const Timed time = timed([&] { table.open(file); });
      open = residentMegabytes();
      return time;
    };
    const bool floorFirst = ratios.size() % 2 == 0;
    Timed floor;
    if (floorFirst)
      floor = timed(readPlainly);
    const Timed path = openTable();
    if (!floorFirst)
      floor = timed(readPlainly);
    floorWall.push_back(floor.wallMs);
    floorCpu.push_back(floor.cpuMs);
    ratios.push_back(path.wallMs / floor.wallMs);
    cpuRatios.push_back(path.cpuMs / floor.cpuMs);
    openCpuMs += path.cpuMs;
    state.SetIterationTime(path.wallMs * 1e-3);
  }
  state.counters[bench::kTimedCpuCounter] = openCpuMs / static_cast<double>(ratios.size());
  state.counters["floor_ms"] = medianOf(floorWall);
  state.counters["floor_cpu_ms"] = medianOf(floorCpu);
  state.counters["ratio"] = medianOf(ratios);
  state.counters["cpu_ratio"] = medianOf(cpuRatios);
  state.counters["rss_MB"] = open;
  state.counters["rss_table_MB"] = open - before;
}
BENCHMARK(BM_TableOpen)
    ->Arg(1000000)
    ->Iterations(6)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

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
