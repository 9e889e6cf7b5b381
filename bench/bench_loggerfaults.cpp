// The whole program on a misbehaving line: how promptly its event loop answers while the line
// carries noise without a pause at 115 200 baud, and the share of a processor it takes then and
// after the line has hung up. The fault tests only check that the program survives these;
// the figures are here, where a loaded machine makes them slow but never makes them fail.
#include "bench/benchprogram.h"
#include "serial/serialline.h"
#include "tests/support/loopprobe.h"
#include "tests/support/processfigures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <optional>
#include <random>
#include <stop_token>
#include <thread>

using namespace kelvor;
using namespace kelvor::bench;

namespace {

constexpr int kBaud = 115200;
constexpr int kRunMs = 10000;
// The answer a user would notice as a stuck window.
constexpr qint64 kNoticeableMs = 100;

// A program measuring at `kBaud` on the program's end of `line`, its window shown.
struct MeasuringProgram {
  explicit MeasuringProgram(const LoggerEnd& line) {
    QFile ini(dir.filePath(QStringLiteral("Kelvor.ini")));
    if (ini.open(QIODevice::WriteOnly))
      ini.write("[Devices]\nCOM2=" + QByteArray::fromStdString(line.path()) +
                "\n[Serial]\nSerialPort=COM2\nBaudRate=" + QByteArray::number(kBaud) +
                "\n[Ukladani]\nDoba=6\n[Sheet]\nStranka=METERS\n");
    ini.close();
    program.emplace(dir.path().toStdString());
    program->form->show();
    program->form->Mereni_ZapnutoClick();
  }

  QTemporaryDir dir;
  std::optional<ScriptedProgram> program;
};

// Bytes without a decimal digit, so no piece of the stream reads as a voltage.
std::string noise(std::mt19937& random, std::size_t size) {
  std::uniform_int_distribution<int> pick(0, 245);
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    const int b = pick(random);
    byte = static_cast<char>(b < '0' ? b : b + 10);
  }
  return bytes;
}

void reportProbe(benchmark::State& state, const LoopProbe& probe) {
  state.counters["loop_worst_gap_ms"] = static_cast<double>(probe.worstGapMs());
  state.counters["loop_worst_own_gap_ms"] = static_cast<double>(probe.worstOwnGapMs());
  state.counters["loop_answers_over_100ms"] = probe.lateAnswers();
  state.counters["loop_probes"] = probe.ticks();
}

// Runs the event loop for `ms` with the probe on; returns the process's processor share.
double cpuShareWhileRunning(LoopProbe& probe, int ms, const std::function<void()>& during) {
  const double cpuBefore = cpuSeconds();
  QElapsedTimer wall;
  wall.start();
  probe.start();
  runFor(ms, during);
  probe.stop();
  return (cpuSeconds() - cpuBefore) / (static_cast<double>(wall.elapsed()) / 1000.0);
}

void BM_LoopUnderLineNoise(benchmark::State& state) {
  LoggerEnd line;
  MeasuringProgram measuring(line);
  for (auto _ : state) {
    LoopProbe probe(kNoticeableMs);
    std::jthread stream([&line](const std::stop_token& stop) {
      std::mt19937 random(9);
      const auto start = std::chrono::steady_clock::now();
      std::size_t sent = 0;
      while (!stop.stop_requested()) {
        const auto elapsed = std::chrono::steady_clock::now() - start;
        const auto due = static_cast<std::size_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * (kBaud / 10) /
            1000000);
        if (due > sent && line.write(noise(random, due - sent)))
          sent = due;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    const double share = cpuShareWhileRunning(probe, kRunMs, [&line] { line.drain(); });
    stream.request_stop();
    stream.join();
    state.counters["cpu_percent"] = share * 100.0;
    reportProbe(state, probe);
  }
  if (measuring.program->form->Table1.viewRecordCount() != 0)
    state.SkipWithError("line noise became a record");
}
BENCHMARK(BM_LoopUnderLineNoise)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ProgramAfterHangUp(benchmark::State& state) {
  std::optional<LoggerEnd> line;
  line.emplace();
  MeasuringProgram measuring(*line);
  runFor(500);
  line.reset();
  for (auto _ : state) {
    LoopProbe probe(kNoticeableMs);
    state.counters["cpu_percent"] = cpuShareWhileRunning(probe, kRunMs, {}) * 100.0;
    reportProbe(state, probe);
  }
}
BENCHMARK(BM_ProgramAfterHangUp)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
