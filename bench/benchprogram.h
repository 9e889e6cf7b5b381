#pragma once

#include "app/filelocations.h"
#include "app/form1.h"
#include "app/program.h"
#include "data/core/numbertext.h"
#include "data/form7.h"
#include "tests/support/scripteddialogs.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

namespace kelvor::bench {

// The counter that carries a manually timed benchmark's processor time of its timed part:
// the iteration's own processor time also holds the preparation around it.
inline constexpr char kTimedCpuCounter[] = "timed_cpu_ms";

// Processor time of the whole process (every thread), in seconds.
inline double processCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Adds up the processor time of the timed parts and reports it per iteration.
class TimedCpu {
public:
  void start() { m_started = processCpuSeconds(); }
  void stop() {
    m_seconds += processCpuSeconds() - m_started;
    ++m_parts;
  }
  void report(benchmark::State& state) const {
    if (m_parts > 0)
      state.counters[kTimedCpuCounter] = m_seconds * 1e3 / m_parts;
  }

private:
  double m_started = 0.0;
  double m_seconds = 0.0;
  int m_parts = 0;
};

// The logger's end of a pseudo-terminal: the program opens its port as with a logger
// attached, and a benchmark writes the logger's replies there.
class LoggerEnd {
public:
  LoggerEnd() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
      if (const char* name = ::ptsname(m_master))
        m_path = name;
  }
  ~LoggerEnd() {
    if (m_master >= 0)
      ::close(m_master);
  }
  LoggerEnd(const LoggerEnd&) = delete;
  LoggerEnd& operator=(const LoggerEnd&) = delete;

  const std::string& path() const { return m_path; }
  bool write(const std::string& bytes) const {
    return ::write(m_master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Drops what the program sent, so the terminal's buffer never fills.
  void drain() const {
    char buffer[256];
    while (::read(m_master, buffer, sizeof buffer) > 0) {
    }
  }

private:
  int m_master = -1;
  std::string m_path;
};

// A present-value reply of exactly ClusterSize bytes, so the port hands it on as soon as it
// has arrived instead of waiting out the line's quiet time.
inline std::string presentValueReply(double volts) {
  std::string reply = "U[V]:   " + formatFixed(volts, 8, 4);
  reply.resize(25, ' ');
  return reply + '\r';
}

// The program's windows built as its start-up builds them, answering from a script.
struct ScriptedProgram {
  explicit ScriptedProgram(const std::filesystem::path& folder)
      : program(FileLocations::forExecutableDir(QString::fromStdString(folder.string())),
                keptDialogs(dialogs)),
        form(&program.form()), form7(&program.form7()) {}

  // The first error the program showed, empty when none.
  std::string error() const {
    for (const auto& shown : dialogs->messages)
      if (shown.icon == OperatorDialogs::Icon::Error)
        return shown.text.toStdString();
    return {};
  }
  bool showedError() const { return !error().empty(); }

  ScriptedDialogs* dialogs = nullptr;
  kelvor::Program program;
  TForm1* form;
  TForm7* form7;
};

} // namespace kelvor::bench
