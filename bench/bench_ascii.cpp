#include "data/core/asciiformat.h"
#include "data/core/numbertext.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string benchFile(const char* name) {
  return (std::filesystem::temp_directory_path() /
          ("kelvor-bench-" + std::to_string(::getpid()) + "-" + name))
      .string();
}

// Minutes texts as the measuring cycle writes them, made once so only the file work counts.
const std::vector<std::string>& minutesTexts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> v;
    for (int i = 0; i < 1000; ++i)
      v.push_back(kelvor::formatFixed(i / 10.0, 6, 1));
    return v;
  }();
  return texts;
}

bool writeLines(const std::string& path, int lines) {
  const auto& minutes = minutesTexts();
  kelvor::AsciiFileWriter writer;
  if (writer.create(path) != 0)
    return false;
  for (int i = 0; i < lines; ++i) {
    if (writer.writeLine("12:34:56", minutes[static_cast<std::size_t>(i) % minutes.size()],
                         " 12.345") != 0)
      return false;
  }
  return writer.close() == 0;
}

void BM_AsciiWriteLines(benchmark::State& state) {
  const std::string path = benchFile("write.dat");
  const auto lines = static_cast<int>(state.range(0));
  for (auto _ : state) {
    if (!writeLines(path, lines)) {
      state.SkipWithError("cannot write the file");
      break;
    }
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AsciiWriteLines)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_AsciiReadLines(benchmark::State& state) {
  const std::string path = benchFile("read.dat");
  const auto lines = static_cast<int>(state.range(0));
  if (!writeLines(path, lines)) {
    state.SkipWithError("cannot write the file");
    return;
  }
  for (auto _ : state) {
    kelvor::AsciiFileReader reader;
    if (reader.open(path) != 0) {
      state.SkipWithError("cannot open the file");
      break;
    }
    kelvor::AsciiRecordTexts texts;
    long long seconds = 0;
    int read = 0;
    while (reader.readLine(texts)) {
      seconds += kelvor::strToTime(texts.time);
      ++read;
    }
    benchmark::DoNotOptimize(seconds);
    if (read != lines) {
      state.SkipWithError("lines lost");
      break;
    }
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AsciiReadLines)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
