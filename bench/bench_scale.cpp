#include "app/core/profilefile.h"
#include "app/core/settingskeys.h"
#include "app/filelocations.h"
#include "app/form1.h"
#include "app/pages/grafpage.h"
#include "app/pages/tabulkapage.h"
#include "bench/benchprogram.h"
#include "data/chartview.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "data/core/sqlitedatabase.h"
#include "data/form3.h"
#include "data/form7.h"
#include "instrument/core/loggerprotocol.h"
#include "serial/serialline.h"
#include "tests/support/pagecontrols.h"

#include <QEvent>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace kelvor;
using namespace kelvor::bench;

// The figures a user feels once the table holds a long run: start-up, a stored reading, a
// clearing and the memory the window takes, each on a table of state.range(0) records.
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A stored reading every 6 s, the shortest interval, fills the table fastest.
constexpr int kDobaSeconds = 6;
constexpr int kPaintTimeoutMs = 120000;

fs::path scaleFolder() {
  static QTemporaryDir dir;
  return fs::path(dir.path().toStdString());
}

double secondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// A discharge as the measuring cycle stores it: minutes in steps of 0.1, the voltage falling
// from 12.8 V towards 10.5 V. Built once per size and copied, because the program writes to it.
fs::path measuredTable(int count) {
  const fs::path file = scaleFolder() / ("measured" + std::to_string(count)) / "Kelvor.db";
  if (!fs::exists(file)) {
    MeasurementTable table;
    table.open(file);
    MeasurementTable::Batch batch(table);
    for (int n = 0; n < count; ++n) {
      table.append();
      table.setTime(n * kDobaSeconds % kSecondsPerDay);
      table.setMinutes(formatFixed(n * kDobaSeconds / 60.0, 6, 1));
      table.setVoltage(formatFixed(12.8 - 2.3 * n / count, 6, 3));
    }
    batch.commit();
  }
  return file;
}

// A program folder as a user leaves it after two months of measuring: the table, and the
// settings with the chart page up, the port on the logger and the 6 s interval.
fs::path programFolder(const fs::path& table, const std::string& loggerDevice) {
  const fs::path folder = scaleFolder() / "program";
  fs::remove_all(folder);
  fs::create_directories(folder / "Kelvor");
  fs::copy_file(table, folder / "Kelvor" / "Kelvor.db");
  ProfileFile ini(folder / settings::kFileName);
  ini.writeString(settings::kDevices, "COM2", loggerDevice);
  ini.writeString(settings::kSerial, settings::kSerialPort, "COM2");
  ini.writeInteger(settings::kSerial, settings::kBaudRate, 19200);
  ini.writeInteger(settings::kUkladani, settings::kDoba, kDobaSeconds);
  ini.writeInteger(settings::kGraph, settings::kScaleX, 600);
  ini.writeInteger(settings::kGraph, settings::kScaleY, 15);
  ini.writeString(settings::kGraph, settings::kBarva, "clBlue");
  ini.writeString(settings::kSheet, settings::kStranka, "GRAF");
  return folder;
}

// Watches a window's first paint. The paint event reaches the window before its children
// draw; the window counts as painted when the event loop runs again after that event, once
// the whole tree has been drawn and flushed. `content` is a child that paint must have drawn.
class FirstPaintWatch : public QObject {
public:
  FirstPaintWatch(QWidget* window, QWidget* content) : m_window(window), m_content(content) {
    window->installEventFilter(this);
    content->installEventFilter(this);
  }

  // Runs the event loop until the window has been painted; false on a time-out, or when the
  // paint left `content` out.
  bool wait() {
    if (!m_painted) {
      QTimer::singleShot(kPaintTimeoutMs, &m_loop, &QEventLoop::quit);
      m_loop.exec();
    }
    return m_painted.has_value() && m_contentPainted;
  }
  Clock::time_point painted() const { return m_painted.value_or(Clock::time_point{}); }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint)
      return false;
    if (watched == m_content)
      m_contentPainted = true;
    if (watched == m_window && !m_windowPaintSeen) {
      m_windowPaintSeen = true;
      QTimer::singleShot(0, this, [this] {
        m_painted = Clock::now();
        m_loop.quit();
      });
    }
    return false;
  }

private:
  QWidget* m_window = nullptr;
  QWidget* m_content = nullptr;
  QEventLoop m_loop;
  bool m_windowPaintSeen = false;
  bool m_contentPainted = false;
  std::optional<Clock::time_point> m_painted;
};

// The program started as its entry point starts it, timed from the main window's
// construction to its first paint, the chart with every record included.
struct StartedProgram {
  explicit StartedProgram(const fs::path& folder, TimedCpu* cpu = nullptr) {
    const Clock::time_point start = Clock::now();
    if (cpu != nullptr)
      cpu->start();
    program = std::make_unique<ScriptedProgram>(folder);
    FirstPaintWatch watch(program->form,
                          controlOf<kelvor::ChartView>(program->form->GRAF, "Report1"));
    program->form->show();
    const bool painted = watch.wait();
    if (cpu != nullptr)
      cpu->stop();
    if (painted)
      seconds = secondsBetween(start, watch.painted());
  }

  bool complete(int records) const {
    return seconds.has_value() && !program->showedError() &&
           program->form->Table1.recordCount() == records &&
           program->form->GRAF->chartReport.chart().series().count() ==
               static_cast<std::size_t>(records);
  }

  std::unique_ptr<ScriptedProgram> program;
  std::optional<double> seconds;
};

double residentMegabytes() {
  // Memory the allocator has freed but kept would count as the program's own.
  ::malloc_trim(0);
  std::ifstream statm("/proc/self/statm");
  long long pages = 0;
  long long resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) /
         (1024.0 * 1024.0);
}

double median(std::vector<double> values) {
  if (values.empty())
    return 0.0;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

void BM_StartupToFirstPaint(benchmark::State& state) {
  const auto records = static_cast<int>(state.range(0));
  const fs::path table = measuredTable(records);
  const LoggerEnd logger;
  TimedCpu cpu;
  for (auto _ : state) {
    const StartedProgram started(programFolder(table, logger.path()), &cpu);
    if (!started.complete(records)) {
      state.SkipWithError("the window did not come up with every record on its chart");
      break;
    }
    state.SetIterationTime(*started.seconds);
  }
  cpu.report(state);
}
BENCHMARK(BM_StartupToFirstPaint)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The main window shown on the chart page, wired to the logger; each reply's handling is
// timed from the receive event through the store and the chart's re-read to the end of the
// chart's repaint.
class MeasuringWindow {
public:
  explicit MeasuringWindow(int records)
      : m_program(programFolder(measuredTable(records), m_logger.path())),
        m_chart(controlOf<kelvor::ChartView>(form().GRAF, "Report1")) {
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(kPaintTimeoutMs);
    QObject::connect(&m_timeout, &QTimer::timeout, &m_loop, &QEventLoop::quit);
    form().measuring().serialLine().setOnRxClusterEvent([this](TSerialLine*) { handleTimed(); });
    form().measuring().LastCommand =
        QString::fromLatin1(kValDir.data(), static_cast<qsizetype>(kValDir.size()));
  }

  bool showAndWaitForPaint() {
    FirstPaintWatch watch(&form(), m_chart);
    form().show();
    return watch.wait();
  }

  // Sends one reply and runs the event loop until the window has handled it; empty when the
  // reply is not handled in time.
  std::optional<double> storeReading(double volts) {
    m_seconds.reset();
    if (!m_logger.write(presentValueReply(volts)))
      return std::nullopt;
    m_timeout.start();
    if (!m_seconds)
      m_loop.exec();
    m_timeout.stop();
    m_logger.drain();
    return m_seconds;
  }

  double unpaintedSeconds() const { return m_unpainted; }
  const TimedCpu& timedCpu() const { return m_cpu; }
  TForm1& form() { return *m_program.form; }
  bool showedError() const { return m_program.showedError(); }

private:
  void handleTimed() {
    const Clock::time_point start = Clock::now();
    m_cpu.start();
    form().measuring().SerialLine1RxClusterEvent();
    m_unpainted = secondsBetween(start, Clock::now());
    m_chart->repaint();
    m_cpu.stop();
    m_seconds = secondsBetween(start, Clock::now());
    m_loop.quit();
  }

  LoggerEnd m_logger;
  ScriptedProgram m_program;
  kelvor::ChartView* m_chart = nullptr;
  QEventLoop m_loop;
  QTimer m_timeout;
  std::optional<double> m_seconds;
  double m_unpainted = 0.0;
  TimedCpu m_cpu;
};

void BM_StoredReadingWithRepaint(benchmark::State& state) {
  const auto records = static_cast<int>(state.range(0));
  MeasuringWindow window(records);
  if (!window.showAndWaitForPaint()) {
    state.SkipWithError("the window was never painted");
    return;
  }
  std::vector<double> unpainted;
  int stored = 0;
  for (auto _ : state) {
    const std::optional<double> seconds = window.storeReading(stored % 2 ? 12.5 : 11.75);
    if (!seconds) {
      state.SkipWithError("a reply was not handled");
      break;
    }
    ++stored;
    state.SetIterationTime(*seconds);
    unpainted.push_back(window.unpaintedSeconds() * 1000.0);
  }
  if (window.showedError() || window.form().Table1.recordCount() != records + stored ||
      window.form().GRAF->chartReport.chart().series().count() !=
          static_cast<std::size_t>(records + stored))
    state.SkipWithError("the readings were not stored and charted");
  state.counters["unpainted_ms"] = median(unpainted);
  window.timedCpu().report(state);
}
BENCHMARK(BM_StoredReadingWithRepaint)
    ->Arg(10000)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Iterations(50)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_ClearTable(benchmark::State& state) {
  const auto records = static_cast<int>(state.range(0));
  const fs::path table = measuredTable(records);
  const LoggerEnd logger;
  TimedCpu cpu;
  for (auto _ : state) {
    ScriptedProgram program(programFolder(table, logger.path()));
    program.dialogs->yesNoAnswers = {true};
    const Clock::time_point start = Clock::now();
    cpu.start();
    program.form->TABULKA->Vymazat_dataClick();
    cpu.stop();
    state.SetIterationTime(secondsBetween(start, Clock::now()));
    SqliteDatabase file(program.form->Table1.fileName());
    if (program.showedError() || !program.dialogs->yesNoAnswers.empty() ||
        program.form->Table1.recordCount() != 0 ||
        file.queryText("SELECT COUNT(*) FROM Kelvor") != "0" ||
        program.form->GRAF->chartReport.chart().series().count() != 0) {
      state.SkipWithError("the table was not cleared");
      break;
    }
  }
  cpu.report(state);
}
BENCHMARK(BM_ClearTable)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The process's resident memory with the main window up on an empty table.
double residentWithEmptyTable(const std::string& loggerDevice) {
  const StartedProgram started(programFolder(measuredTable(0), loggerDevice));
  return started.complete(0) ? residentMegabytes() : 0.0;
}

// The process's resident memory with the main window up; the time is the start-up's. What
// the records cost is told against the same window up on an empty table just before.
void BM_ResidentMemory(benchmark::State& state) {
  const auto records = static_cast<int>(state.range(0));
  const fs::path table = measuredTable(records);
  const LoggerEnd logger;
  const double empty = residentWithEmptyTable(logger.path());
  double before = 0.0;
  double up = 0.0;
  for (auto _ : state) {
    const fs::path folder = programFolder(table, logger.path());
    before = residentMegabytes();
    const StartedProgram started(folder);
    up = residentMegabytes();
    if (!started.complete(records)) {
      state.SkipWithError("the window did not come up with every record on its chart");
      break;
    }
    state.SetIterationTime(*started.seconds);
  }
  state.counters["rss_MB"] = up;
  state.counters["rss_growth_MB"] = up - before;
  state.counters["rss_over_empty_MB"] = up - empty;
}
BENCHMARK(BM_ResidentMemory)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
