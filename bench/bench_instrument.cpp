#include "app/form1.h"
#include "app/pages/grafpage.h"
#include "app/pages/meterspage.h"
#include "bench/benchprogram.h"
#include "data/chartview.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "serial/serialline.h"
#include "tests/support/pagecontrols.h"
#include "widgets/levelmeter.h"
#include "widgets/needlemeter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

using namespace kelvor;
using namespace kelvor::bench;

namespace {

using Clock = std::chrono::steady_clock;

// No operator at the benchmark: every question is answered no, and a message fails the run.
class NoOperator : public OperatorDialogs {
public:
  bool askYesNo(const QString&, const QString&, Icon) override { return false; }
  void showMessage(const QString&, const QString& text, Icon) override {
    qFatal("unexpected message: %s", qPrintable(text));
  }
  std::optional<QString> inputText(const QString&, const QString&, const QString&, int) override {
    return std::nullopt;
  }
  TColor chooseColor(TColor initial) override { return initial; }
  std::optional<QString> saveFileName(const SaveDialogOptions&) override { return std::nullopt; }
  std::optional<QString> openFileName() override { return std::nullopt; }
};

void fillTable(const QString& file, int records) {
  MeasurementTable table;
  table.open(file.toStdString());
  MeasurementTable::Batch batch(table);
  for (int n = 0; n < records; ++n) {
    table.append();
    table.setTime(n % kSecondsPerDay);
    table.setMinutes(formatFixed(n / 10.0, 6, 1));
    table.setVoltage(formatFixed(12.8 - (n % 2300) / 1000.0, 6, 3));
  }
  batch.commit();
}

// The main window wired through a pseudo-terminal and shown. Each reply's handling
// is timed from the receive event to the end of a synchronous repaint of the controls it
// changed.
class WiredWindow {
public:
  WiredWindow(int doba, int tableRecords) {
    QFile ini(m_dir.filePath(QStringLiteral("Kelvor.ini")));
    if (ini.open(QIODevice::WriteOnly))
      ini.write(
          QStringLiteral(
              "[Devices]\nCOM2=%1\n[Serial]\nSerialPort=COM2\nBaudRate=19200\n[Ukladani]\nDoba=%2\n[Graph]\nScaleX=600\nScaleY=15\nBarva=clBlue\n")
              .arg(QString::fromStdString(m_logger.path()))
              .arg(doba)
              .toUtf8());
    ini.close();
    const FileLocations locations = FileLocations::forExecutableDir(m_dir.path());
    if (tableRecords > 0) {
      std::filesystem::create_directories(locations.databaseDir().toStdString());
      fillTable(locations.tableFile(), tableRecords);
    }
    m_program = std::make_unique<kelvor::Program>(locations, std::make_unique<NoOperator>());
    form = &m_program->form();
    form->show();
    form->measuring().serialLine().setOnRxClusterEvent([this](TSerialLine*) { handleTimed(); });
    form->measuring().LastCommand = QStringLiteral("#VAL-DIR");
  }

  // Sends one reply and runs the event loop until the window has handled it. Returns the
  // handling time; `endToEnd` gets the time from the write on.
  double reply(double volts, const std::vector<QWidget*>& painted, double& endToEnd) {
    m_painted = painted;
    m_handled = false;
    const auto written = Clock::now();
    if (!m_logger.write(presentValueReply(volts)))
      qFatal("the pseudo-terminal took no reply");
    while (!m_handled)
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    endToEnd = std::chrono::duration<double>(m_finished - written).count();
    m_logger.drain();
    return m_seconds;
  }

  // The last reply's handling without the repaint.
  double handlerOnly() const { return m_handlerOnly; }

  TForm1* form = nullptr;

private:
  void handleTimed() {
    const auto start = Clock::now();
    form->measuring().SerialLine1RxClusterEvent();
    m_handlerOnly = std::chrono::duration<double>(Clock::now() - start).count();
    for (QWidget* widget : m_painted)
      widget->repaint();
    m_finished = Clock::now();
    m_seconds = std::chrono::duration<double>(m_finished - start).count();
    m_handled = true;
  }

  std::unique_ptr<kelvor::Program> m_program;
  QTemporaryDir m_dir;
  LoggerEnd m_logger;
  std::vector<QWidget*> m_painted;
  bool m_handled = false;
  double m_seconds = 0.0;
  double m_handlerOnly = 0.0;
  Clock::time_point m_finished;
};

void reportMedian(benchmark::State& state, std::vector<double> milliseconds, const char* name) {
  if (milliseconds.empty())
    return;
  std::nth_element(milliseconds.begin(), milliseconds.begin() + milliseconds.size() / 2,
                   milliseconds.end());
  state.counters[name] = milliseconds[milliseconds.size() / 2];
}

// A present-value cluster from the receive event to the needle meter, the level meter, the
// digital label and the clock painted. The line's own delay (the bytes on the wire, the worker
// cutting the cluster) is the serial engine's and is left out; it shows in the end_to_end counter.
void BM_ReplyToDisplay(benchmark::State& state) {
  WiredWindow window(3600, 0);
  window.form->PageControl1->setCurrentWidget(window.form->METERS);
  const std::vector<QWidget*> display{
      controlOf<kelvor::TNeedleMeter>(window.form->METERS, "NeedleMeter1"),
      controlOf<kelvor::TLevelMeter>(window.form->METERS, "LevelMeter1"),
      controlOf<QLabel>(window.form->METERS, "VoltageLabel"),
      controlOf<QLabel>(window.form->METERS, "TimeLabel")};
  std::vector<double> handling;
  std::vector<double> withoutPaint;
  std::vector<double> endToEnd;
  int n = 0;
  for (auto _ : state) {
    // No record falls due: this is the display path alone.
    window.form->measuring().cycle.StoreSeconds = 0;
    double total = 0.0;
    const double seconds = window.reply(n++ % 2 ? 12.5 : 11.75, display, total);
    state.SetIterationTime(seconds);
    handling.push_back(seconds * 1000.0);
    withoutPaint.push_back(window.handlerOnly() * 1000.0);
    endToEnd.push_back(total * 1000.0);
  }
  if (controlOf<QLabel>(window.form->METERS, "VoltageLabel")->text().isEmpty() ||
      window.form->measuring().cycle.LastVoltage < 11.0)
    state.SkipWithError("the replies did not reach the display");
  reportMedian(state, handling, "median_ms");
  reportMedian(state, withoutPaint, "unpainted_ms");
  reportMedian(state, endToEnd, "end_to_end_ms");
}
BENCHMARK(BM_ReplyToDisplay)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);

// A reply that stores a record into a table of state.range(0) records, with the chart's
// re-read of the whole table and its repaint.
void BM_StoreWithReread(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  WiredWindow window(6, records);
  window.form->PageControl1->setCurrentWidget(window.form->GRAF);
  std::vector<double> handling;
  std::vector<double> withoutPaint;
  int n = 0;
  for (auto _ : state) {
    double total = 0.0;
    const double seconds =
        window.reply(n++ % 2 ? 12.5 : 11.75,
                     {controlOf<kelvor::ChartView>(window.form->GRAF, "Report1")}, total);
    state.SetIterationTime(seconds);
    handling.push_back(seconds * 1000.0);
    withoutPaint.push_back(window.handlerOnly() * 1000.0);
  }
  const auto points = window.form->GRAF->chartReport.chart().series().count();
  if (points != static_cast<std::size_t>(records + n))
    state.SkipWithError("the chart did not take every stored record");
  reportMedian(state, handling, "median_ms");
  reportMedian(state, withoutPaint, "unpainted_ms");
}
BENCHMARK(BM_StoreWithReread)
    ->Arg(100000)
    ->Iterations(60)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
