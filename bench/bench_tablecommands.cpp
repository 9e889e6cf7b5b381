#include "app/core/settingskeys.h"
#include "app/form1.h"
#include "app/pages/tabulkapage.h"
#include "bench/benchprogram.h"
#include "bench/benchrows.h"
#include "data/core/asciiformat.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "data/core/sqlitedatabase.h"
#include "data/form3.h"
#include "data/form7.h"
#include "widgets/maskedit.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

using namespace kelvor;
using namespace kelvor::bench;

namespace {

namespace fs = std::filesystem;

fs::path benchFolder() {
  static QTemporaryDir dir;
  return fs::path(dir.path().toStdString());
}

// Every exported line holds at least the three columns and CR LF.
constexpr std::uintmax_t kLineBytes = kAsciiLineCharacters + 2;

int timeOf(int n) {
  return n % kSecondsPerDay;
}

// A table of `count` measurement records, built once per size.
fs::path preparedTable(int count) {
  const fs::path file = benchFolder() / ("table" + std::to_string(count)) / "Kelvor.db";
  if (!fs::exists(file)) {
    MeasurementTable table;
    table.open(file);
    MeasurementTable::Batch batch(table);
    for (int n = 0; n < count; ++n) {
      table.append();
      table.setTime(timeOf(n));
      table.setMinutes(rowMinutes(n));
      table.setVoltage(rowVoltage(n));
    }
    batch.commit();
  }
  return file;
}

// The same records as an ASCII measurement file.
fs::path preparedAsciiFile(int count) {
  const fs::path file = benchFolder() / ("lines" + std::to_string(count) + ".dat");
  if (!fs::exists(file)) {
    AsciiFileWriter writer;
    bool written = writer.create(file.string()) == 0;
    for (int n = 0; n < count && written; ++n)
      written = writer.writeLine(timeToStorageText(timeOf(n)), rowMinutes(n), rowVoltage(n)) == 0;
    const int closed = writer.close();
    if (written && closed == 0)
      return file;
    fs::remove(file);
    return {};
  }
  return file;
}

// The same lines as CSV, the texts as the import takes them (twelve characters wide).
fs::path preparedCsvFile(int count) {
  const fs::path file = benchFolder() / ("lines" + std::to_string(count) + ".csv");
  if (!fs::exists(file)) {
    std::ofstream out(file, std::ios::binary);
    const auto column = [](const std::string& text) {
      return std::string(kAsciiColumnWidth - text.size(), ' ') + text;
    };
    for (int n = 0; n < count; ++n)
      out << timeToStorageText(timeOf(n)) << ',' << column(rowMinutes(n)) << ','
          << column(rowVoltage(n)) << '\n';
  }
  return file;
}

// A program folder whose table is a fresh copy of `table`, or empty without one.
fs::path programFolder(const fs::path& table = {}) {
  const fs::path folder = benchFolder() / "program";
  fs::remove_all(folder);
  fs::create_directories(folder / "Kelvor");
  if (!table.empty())
    fs::copy_file(table, folder / "Kelvor" / "Kelvor.db");
  return folder;
}

void BM_ExportAscii(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  ScriptedProgram program(programFolder(preparedTable(count)));
  const QString file = QString::fromStdString((benchFolder() / "export.dat").string());
  for (auto _ : state) {
    program.dialogs->fileAnswers = {file};
    program.form->TABULKA->ExportASCII1Click();
  }
  if (!program.error().empty())
    state.SkipWithError(program.error().c_str());
  else if (fs::file_size(file.toStdString()) < std::uintmax_t(count) * kLineBytes)
    state.SkipWithError("lines lost");
  fs::remove(file.toStdString());
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ExportAscii)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

// The export into /dev/null: the lines made and handed over, none stored; what the export
// costs beyond its write.
void BM_ExportAsciiToNullDevice(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  ScriptedProgram program(programFolder(preparedTable(count)));
  for (auto _ : state) {
    program.dialogs->fileAnswers = {QStringLiteral("/dev/null")};
    program.form->TABULKA->ExportASCII1Click();
  }
  if (!program.error().empty())
    state.SkipWithError(program.error().c_str());
}
BENCHMARK(BM_ExportAsciiToNullDevice)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

void BM_ImportAscii(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  const fs::path file = preparedAsciiFile(count);
  if (file.empty()) {
    state.SkipWithError("cannot write the file");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    auto program = std::make_unique<ScriptedProgram>(programFolder());
    program->dialogs->fileAnswers = {QString::fromStdString(file.string())};
    state.ResumeTiming();
    program->form->TABULKA->Import_ASCIIClick();
    state.PauseTiming();
    const std::string error = program->error();
    const int records = program->form->Table1.recordCount();
    program.reset();
    state.ResumeTiming();
    if (!error.empty() || records != count) {
      state.SkipWithError(error.empty() ? "lines lost" : error.c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ImportAscii)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

// The same lines imported by the sqlite3 command-line tool into an empty table of the same
// columns (the integer key is the implicit rowid), for a yardstick of our import.
void BM_SqliteCliImport(benchmark::State& state) {
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
  if (tool.isEmpty()) {
    state.SkipWithError("the sqlite3 tool is not installed");
    return;
  }
  const auto count = static_cast<int>(state.range(0));
  const fs::path csv = preparedCsvFile(count);
  const fs::path db = benchFolder() / "cli" / "Kelvor.db";
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(db.parent_path());
    fs::create_directories(db.parent_path());
    {
      SqliteDatabase empty(db);
      empty.queryText("PRAGMA journal_mode = WAL");
      empty.exec("CREATE TABLE Kelvor (TIME TEXT, MINUTES TEXT, VOLTAGE TEXT)");
    }
    QProcess process;
    state.ResumeTiming();
    process.start(tool, {QString::fromStdString(db.string()), QStringLiteral(".mode csv"),
                         QStringLiteral(".import ") + QString::fromStdString(csv.string()) +
                             QStringLiteral(" Kelvor")});
    const bool finished = process.waitForFinished(-1);
    state.PauseTiming();
    SqliteDatabase check(db);
    const std::string records = check.queryText("SELECT COUNT(*) FROM Kelvor");
    state.ResumeTiming();
    if (!finished || process.exitCode() != 0 || records != std::to_string(count)) {
      state.SkipWithError("the sqlite3 import failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_SqliteCliImport)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

void BM_IntervalSelect(benchmark::State& state) {
  const auto count = static_cast<int>(state.range(0));
  const fs::path table = preparedTable(count);
  for (auto _ : state) {
    state.PauseTiming();
    auto program = std::make_unique<ScriptedProgram>(programFolder(table));
    program->form7->ZacatekEdit->setText(
        QString::fromStdString(formatFixed(kSelectionLowerThousandths / 1000.0, 5, 1)));
    program->form7->KonecEdit->setText(
        QString::fromStdString(formatFixed(kSelectionUpperThousandths / 1000.0, 5, 1)));
    program->dialogs->yesNoAnswers = {true};
    state.ResumeTiming();
    program->form->TABULKA->SelectButtonClick();
    state.PauseTiming();
    const std::string error = program->error();
    const int records = program->form->Table1.recordCount();
    program.reset();
    state.ResumeTiming();
    if (!error.empty() || records != kSelectionUpperThousandths - kSelectionLowerThousandths + 1) {
      state.SkipWithError(error.empty() ? "wrong records kept" : error.c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_IntervalSelect)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1)
    ->Repetitions(5);

} // namespace
