#include "bench/benchprogram.h"

#include <QApplication>

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// Each path beside the floor it is held against: the least the machine can do for it.
const std::vector<std::pair<std::string, std::vector<std::string>>> kFloorsOfPaths = {
    {"BM_StoredReadingWithRepaint/10000", {"BM_FloorDurableAppend"}},
    {"BM_StoredReadingWithRepaint/1000000", {"BM_FloorDurableAppend"}},
    {"BM_StoredReadingWithRepaint/5000000", {"BM_FloorDurableAppend"}},
    {"BM_ChartReread/1000000", {"BM_FloorParseVoltages/1000000"}},
    {"BM_ChartPaint/1000000", {"BM_FloorReducedPolyline"}},
    // Measured in pairs with its floor: the run itself reports the floor and the ratio.
    {"BM_TableOpen/1000000", {}},
    {"BM_StartupToFirstPaint/1000000", {"BM_FloorSqliteRead/1000000", "BM_FloorReducedPolyline"}},
    {"BM_ExportAscii/1000000", {"BM_FloorWriteBytes/1000000"}},
    {"BM_ImportAscii/1000000", {"BM_FloorSqliteInsert/1000000"}},
    {"BM_SqliteCliImport/1000000", {"BM_FloorSqliteInsert/1000000"}},
    {"BM_IntervalSelect/1000000", {"BM_FloorSqliteDeleteRows/1000000"}},
    {"BM_ClearTable/1000000", {"BM_FloorSqliteDeleteAll/1000000"}},
};

// "BM_Name/123/iterations:1/manual_time" -> "BM_Name/123".
std::string pathKey(const std::string& name) {
  const std::size_t first = name.find('/');
  if (first == std::string::npos)
    return name;
  const std::size_t second = name.find('/', first + 1);
  const std::string argument = name.substr(first + 1, second - first - 1);
  const bool isNumber =
      !argument.empty() && argument.find_first_not_of("0123456789") == std::string::npos;
  return isNumber ? name.substr(0, second) : name.substr(0, first);
}

// The console report, followed by every path's time as a ratio to its floor (medians when
// the run repeats).
class RatioReporter : public benchmark::ConsoleReporter {
public:
  // Colours only on a terminal, so that a copy of the console reads cleanly as a file.
  RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0)
        continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median)
        continue;
      const std::string key = pathKey(run.run_name.str());
      if (median || !m_medians.count(key)) {
        m_times[key] = run.GetAdjustedRealTime() * unitSeconds(run.time_unit);
        m_cpuTimes[key] = cpuSeconds(run);
        if (const auto floor = run.counters.find("floor_ms"); floor != run.counters.end()) {
          m_pairs[key] = {floor->second.value * 1e-3, run.counters.at("ratio").value};
          m_cpuPairs[key] = {run.counters.at("floor_cpu_ms").value * 1e-3,
                             run.counters.at("cpu_ratio").value};
        }
      }
      if (median)
        m_medians[key] = true;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    bool header = false;
    for (const auto& [path, floors] : kFloorsOfPaths) {
      const auto time = m_times.find(path);
      if (time == m_times.end())
        continue;
      if (!header) {
        std::printf("\n%-40s %10s %10s %7s %10s %10s %7s\n", "path", "time [ms]", "floor", "ratio",
                    "cpu [ms]", "floor", "ratio");
        header = true;
      }
      const bool paired = m_pairs.contains(path);
      const std::string wall = paired ? pairColumns(m_times.at(path), m_pairs.at(path))
                                      : ratioColumns(m_times, path, floors);
      const std::string cpu = paired ? pairColumns(m_cpuTimes.at(path), m_cpuPairs.at(path))
                                     : ratioColumns(m_cpuTimes, path, floors);
      std::printf("%-40s %s %s\n", path.c_str(), wall.c_str(), cpu.c_str());
    }
    std::fflush(stdout);
  }

private:
  using Times = std::map<std::string, double>;

  // A path measured in pairs with its floor: the floor's median and the median of the pairs'
  // ratios, which is not the ratio of the two medians.
  struct Pair {
    double floor = 0.0;
    double ratio = 0.0;
  };
  using Pairs = std::map<std::string, Pair>;

  static std::string pairColumns(double time, const Pair& pair) {
    std::array<char, 64> text{};
    std::snprintf(text.data(), text.size(), "%10.3f %10.3f %6.2fx", time * 1e3, pair.floor * 1e3,
                  pair.ratio);
    return text.data();
  }

  // "time floor ratio" in milliseconds; dashes for a floor that did not run.
  static std::string ratioColumns(const Times& times, const std::string& path,
                                  const std::vector<std::string>& floors) {
    const double time = times.at(path);
    double floor = 0.0;
    for (const std::string& part : floors) {
      const auto found = times.find(part);
      if (found == times.end())
        floor = -1.0;
      else if (floor >= 0.0)
        floor += found->second;
    }
    std::array<char, 64> text{};
    if (floor > 0.0)
      std::snprintf(text.data(), text.size(), "%10.3f %10.3f %6.2fx", time * 1e3, floor * 1e3,
                    time / floor);
    else
      std::snprintf(text.data(), text.size(), "%10.3f %10s %7s", time * 1e3, "-", "-");
    return text.data();
  }

  // A manually timed run tells the processor time of its timed part; any other run's own
  // processor time is the timed part's.
  static double cpuSeconds(const Run& run) {
    const auto timed = run.counters.find(kelvor::bench::kTimedCpuCounter);
    if (timed != run.counters.end())
      return timed->second.value * 1e-3;
    return run.GetAdjustedCPUTime() * unitSeconds(run.time_unit);
  }

  static double unitSeconds(benchmark::TimeUnit unit) {
    switch (unit) {
    case benchmark::kNanosecond:
      return 1e-9;
    case benchmark::kMicrosecond:
      return 1e-6;
    case benchmark::kMillisecond:
      return 1e-3;
    case benchmark::kSecond:
      return 1.0;
    }
    return 1.0;
  }

  Times m_times;
  Times m_cpuTimes;
  Pairs m_pairs;
  Pairs m_cpuPairs;
  std::map<std::string, bool> m_medians;
};

} // namespace

// Widgets and the chart paint through Qt, so the benchmarks run inside an application
// object; the offscreen platform keeps them runnable without a display.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
