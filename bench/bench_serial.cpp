// The serial engine over a pseudo-terminal: reply latency against the cut rule, receive
// throughput, a read-out of rows back to back at the line speed, and the worker's processor
// time on an idle line, on a hung-up line and while it tries to open a device that is gone.
#include "serial/platform/posixserialdevice.h"
#include "serial/queuedeventhandoff.h"
#include "serial/serialline.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace kelvor;
using namespace std::chrono_literals;

namespace {

using SteadyClock = std::chrono::steady_clock;

class BenchPty {
public:
  BenchPty() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
      m_path = ::ptsname(m_master);
  }
  ~BenchPty() { hangUp(); }
  BenchPty(const BenchPty&) = delete;
  BenchPty& operator=(const BenchPty&) = delete;

  const std::string& path() const { return m_path; }
  bool write(const char* data, std::size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(m_master, data, size);
      if (n <= 0)
        return false;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }
  void hangUp() {
    if (m_master >= 0)
      ::close(m_master);
    m_master = -1;
  }

private:
  int m_master = -1;
  std::string m_path;
};

// The device layer with a log of when the input queue was seen empty and when bytes were
// read, so that the moment a cut fell due is known exactly.
class RecordingDevice : public PosixSerialDevice {
public:
  std::uint32_t driverStatus(DriverStatus& status) override {
    const std::uint32_t result = PosixSerialDevice::driverStatus(status);
    if (result == kStatusOk && status.inQueue == 0) {
      std::lock_guard lock(m_lock);
      m_lastEmpty = SteadyClock::now();
    }
    return result;
  }
  IoResult startRead(char* buffer, std::uint32_t count) override {
    {
      std::lock_guard lock(m_lock);
      m_readEmptySince = m_lastEmpty;
      m_readAt = SteadyClock::now();
    }
    const IoResult result = PosixSerialDevice::startRead(buffer, count);
    // The worker counts from the end of a read too (after handing the cluster over, a few
    // microseconds later here, so the lateness below is if anything overstated).
    std::lock_guard lock(m_lock);
    m_lastEmpty = SteadyClock::now();
    return result;
  }
  bool sawEmptyQueue() {
    std::lock_guard lock(m_lock);
    return m_lastEmpty != SteadyClock::time_point{};
  }
  // How long the last read's bytes had waited since the queue was last seen empty.
  double lastReadWaitMs() {
    std::lock_guard lock(m_lock);
    return std::chrono::duration<double, std::milli>(m_readAt - m_readEmptySince).count();
  }

private:
  std::mutex m_lock;
  SteadyClock::time_point m_lastEmpty;
  SteadyClock::time_point m_readEmptySince;
  SteadyClock::time_point m_readAt;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0.0 : values[values.size() / 2];
}

double maximum(const std::vector<double>& values) {
  return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

double threadCpuSeconds(int who) {
  rusage usage{};
  ::getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Processor time of every thread but this one, as a percentage of one core, while this
// thread serves the hand-off for the given time.
double othersCpuPercent(QueuedEventHandoff& handoff, std::chrono::milliseconds time) {
  const double processBefore = threadCpuSeconds(RUSAGE_SELF);
  const double selfBefore = threadCpuSeconds(RUSAGE_THREAD);
  const auto start = SteadyClock::now();
  handoff.serveFor(time);
  const double wall = std::chrono::duration<double>(SteadyClock::now() - start).count();
  const double others = (threadCpuSeconds(RUSAGE_SELF) - processBefore) -
                        (threadCpuSeconds(RUSAGE_THREAD) - selfBefore);
  return 100.0 * others / wall;
}

// The port as the main window configures it.
void configureAsProgram(TSerialLine& port, const std::string& path) {
  port.setCommPort(path);
  port.setBaudRate(19200);
  port.setRTOCharDelayTime(570);
  port.setClusterSize(26);
  port.setClusterTerminator('\r');
  port.setWTOCharDelayTime(570);
  port.setErrorNoise(255);
}

// A link to a pseudo-terminal's slave in a folder of its own, as /dev/serial/by-id/... links
// to an adapter: removed, the name is gone for good, and no other terminal can take it.
class BenchLink {
public:
  explicit BenchLink(const std::string& target) {
    char pattern[] = "/tmp/kelvor-bench-XXXXXX";
    if (::mkdtemp(pattern) != nullptr) {
      m_dir = pattern;
      m_path = m_dir + "/usb-adapter";
      std::filesystem::create_symlink(target, m_path);
    }
  }
  ~BenchLink() {
    std::error_code ignored;
    std::filesystem::remove_all(m_dir, ignored);
  }
  BenchLink(const BenchLink&) = delete;
  BenchLink& operator=(const BenchLink&) = delete;

  const std::string& path() const { return m_path; }
  void remove() {
    std::error_code ignored;
    std::filesystem::remove(m_path, ignored);
  }

private:
  std::string m_dir;
  std::string m_path;
};

void BM_SerialReplyLatency(benchmark::State& state) {
  BenchPty peer;
  auto handoff = std::make_shared<QueuedEventHandoff>();
  auto device = std::make_unique<RecordingDevice>();
  RecordingDevice* recorder = device.get();
  TSerialLine port(handoff, std::move(device), std::make_shared<SteadyMillisecondClock>());
  configureAsProgram(port, peer.path());
  int clusters = 0;
  std::string received;
  port.setOnRxClusterEvent([&](TSerialLine* sender) {
    ++clusters;
    received = sender->ReadClusterAsText();
  });
  port.setActive(true);
  handoff->serveFor(300ms);
  if (state.range(0) == 0)
    port.setClusterTerminator(std::nullopt);
  // On a loaded machine the worker may not have looked at the line yet.
  handoff->serveUntil([&] { return recorder->sawEmptyQueue(); }, 10s);
  const std::string reply = "V= 12.345 A= 1.2345\r";
  const double due = 20 * 570 / 1000.0 + 250;
  std::vector<double> latencies;
  std::vector<double> lateness;
  int early = 0;
  for (auto _ : state) {
    const int before = clusters;
    const auto sent = SteadyClock::now();
    peer.write(reply.data(), reply.size());
    handoff->serveUntil([&] { return clusters > before; }, 5s);
    const auto elapsed = std::chrono::duration<double>(SteadyClock::now() - sent);
    state.SetIterationTime(elapsed.count());
    if (clusters != before + 1 || received != reply) {
      state.SkipWithError("reply not delivered as one cluster");
      break;
    }
    const double waited = recorder->lastReadWaitMs();
    if (waited <= due)
      ++early;
    latencies.push_back(elapsed.count() * 1000.0);
    lateness.push_back(waited - due);
    handoff->serveFor(std::chrono::milliseconds(20 + std::rand() % 60));
  }
  state.counters["latency_median_ms"] = median(latencies);
  state.counters["latency_max_ms"] = maximum(latencies);
  state.counters["after_due_median_ms"] = median(lateness);
  state.counters["after_due_max_ms"] = maximum(lateness);
  state.counters["cut_before_due"] = early;
}
// Argument 1: with the program's cluster terminator; 0: without it.
BENCHMARK(BM_SerialReplyLatency)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(100)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A read-out row as the logger sends it: 25 characters and the carriage return.
std::string readoutRow(int index) {
  char row[32];
  std::snprintf(row, sizeof row, "R%04d t=%06d U=%8.4f\r", (index + 1) % 10000,
                index * 60 % 1000000, 12.8 - 0.0007 * index);
  return row;
}

// Writes the bytes into the far end no faster than the line speed, 10 bits a byte, from a
// thread of its own; each step writes what has fallen due.
void writeAtLineSpeed(BenchPty& peer, const std::string& bytes, std::uint32_t baud) {
  const auto start = SteadyClock::now();
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const double elapsed = std::chrono::duration<double>(SteadyClock::now() - start).count();
    const auto due = std::min(bytes.size(), static_cast<std::size_t>(elapsed * baud / 10.0) + 1);
    if (due > sent && !peer.write(bytes.data() + sent, due - sent))
      return;
    sent = std::max(sent, due);
    std::this_thread::sleep_for(500us);
  }
}

// A thousand read-out rows back to back at 115 200 Bd: every row one exact cluster, and the
// wall time from the first byte to the last row against the line time of the bytes.
void BM_SerialReadout1000Rows(benchmark::State& state) {
  constexpr int kRows = 1000;
  const auto baud = static_cast<std::uint32_t>(state.range(0));
  std::string rows;
  for (int i = 0; i < kRows; ++i)
    rows += readoutRow(i);
  const double lineSeconds = static_cast<double>(rows.size()) * 10.0 / baud;
  BenchPty peer;
  auto handoff = std::make_shared<QueuedEventHandoff>();
  TSerialLine port(handoff);
  configureAsProgram(port, peer.path());
  port.setBaudRate(baud);
  std::vector<std::string> clusters;
  port.setOnRxClusterEvent(
      [&](TSerialLine* sender) { clusters.push_back(sender->ReadClusterAsText()); });
  port.setActive(true);
  handoff->serveFor(300ms);
  std::vector<double> ratios;
  for (auto _ : state) {
    clusters.clear();
    const auto start = SteadyClock::now();
    std::thread writer([&] { writeAtLineSpeed(peer, rows, baud); });
    const bool complete =
        handoff->serveUntil([&] { return clusters.size() >= kRows; }, std::chrono::seconds(60));
    const double elapsed = std::chrono::duration<double>(SteadyClock::now() - start).count();
    writer.join();
    state.SetIterationTime(elapsed);
    int exact = 0;
    for (int i = 0; i < std::min<int>(kRows, static_cast<int>(clusters.size())); ++i)
      exact += clusters[static_cast<std::size_t>(i)] == readoutRow(i) ? 1 : 0;
    state.counters["rows_exact"] = exact;
    if (!complete || exact != kRows || clusters.size() != kRows) {
      state.SkipWithError("a row was not one exact cluster");
      break;
    }
    ratios.push_back(elapsed / lineSeconds);
    handoff->serveFor(500ms);
  }
  state.counters["line_s"] = lineSeconds;
  state.counters["wall_over_line_median"] = median(ratios);
  state.counters["wall_over_line_max"] = maximum(ratios);
}
BENCHMARK(BM_SerialReadout1000Rows)
    ->Arg(115200)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SerialThroughput(benchmark::State& state) {
  constexpr std::size_t kTotal = 1 << 20;
  std::string pattern(kTotal, '\0');
  for (std::size_t i = 0; i < kTotal; ++i)
    pattern[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
  BenchPty peer;
  auto handoff = std::make_shared<QueuedEventHandoff>();
  TSerialLine port(handoff);
  configureAsProgram(port, peer.path());
  // With the program's 250 ms the last few bytes (fewer than ClusterSize) wait out the cut
  // rule's hold, which the latency benchmark measures; the argument sets that hold. The
  // engine's own path is measured: the pattern's bytes hold a carriage return every 256 bytes
  // or so, which would make a cluster and a hand-off of each such piece.
  port.setRTOExtraDelayTime(static_cast<std::uint16_t>(state.range(0)));
  port.setClusterTerminator(std::nullopt);
  std::size_t received = 0;
  bool inOrder = true;
  port.setOnRxClusterEvent([&](TSerialLine* sender) {
    const std::string text = sender->ReadClusterAsText();
    inOrder = inOrder && pattern.compare(received, text.size(), text) == 0;
    received += text.size();
  });
  port.setActive(true);
  handoff->serveFor(300ms);
  std::vector<double> rates;
  for (auto _ : state) {
    received = 0;
    const auto start = SteadyClock::now();
    std::thread writer([&] { peer.write(pattern.data(), pattern.size()); });
    const bool complete = handoff->serveUntil([&] { return received >= kTotal; }, 60s);
    const auto elapsed = std::chrono::duration<double>(SteadyClock::now() - start).count();
    writer.join();
    state.SetIterationTime(elapsed);
    if (!complete || !inOrder || received != kTotal) {
      state.SkipWithError("bytes lost, repeated or out of order");
      break;
    }
    rates.push_back(kTotal / elapsed / 1e6);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
  state.counters["MBps_median"] = median(rates);
  state.counters["MBps_min"] = rates.empty() ? 0.0 : *std::min_element(rates.begin(), rates.end());
}
BENCHMARK(BM_SerialThroughput)
    ->Arg(250)
    ->Arg(0)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SerialWorkerCpuIdle(benchmark::State& state) {
  BenchPty peer;
  auto handoff = std::make_shared<QueuedEventHandoff>();
  TSerialLine port(handoff);
  configureAsProgram(port, peer.path());
  port.setActive(true);
  handoff->serveFor(500ms);
  double percent = 0;
  for (auto _ : state)
    percent = othersCpuPercent(*handoff, 10s);
  state.counters["worker_cpu_percent"] = percent;
  state.counters["port_open"] = port.Active() ? 1 : 0;
}
BENCHMARK(BM_SerialWorkerCpuIdle)->Iterations(1)->Unit(benchmark::kMillisecond);

// The far end hangs up and its name is gone (the adapter pulled out for good): the port
// reports the hang-up once, drops the device and tries the name once a second.
void BM_SerialWorkerCpuHungUp(benchmark::State& state) {
  BenchPty peer;
  BenchLink link(peer.path());
  auto handoff = std::make_shared<QueuedEventHandoff>();
  TSerialLine port(handoff);
  configureAsProgram(port, link.path());
  std::atomic<int> reports{0};
  port.setOnProcessError(
      [&](TSerialLine*, std::uint32_t, std::uint32_t, const std::string&, std::uint8_t noise) {
        if (noise == 0)
          ++reports;
      });
  port.setActive(true);
  handoff->serveFor(300ms);
  peer.hangUp();
  link.remove();
  handoff->serveUntil([&] { return port.Reconnecting(); }, 5s);
  double percent = 0;
  for (auto _ : state)
    percent = othersCpuPercent(*handoff, 10s);
  state.counters["worker_cpu_percent"] = percent;
  state.counters["reports"] = reports.load();
  state.counters["reconnecting"] = port.Reconnecting() ? 1 : 0;
  const auto closeStart = SteadyClock::now();
  port.setActive(false);
  state.counters["close_ms"] =
      std::chrono::duration<double, std::milli>(SteadyClock::now() - closeStart).count();
}
BENCHMARK(BM_SerialWorkerCpuHungUp)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
