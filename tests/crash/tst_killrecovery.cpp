#include "app/core/profilefile.h"
#include "app/core/settingskeys.h"
#include "data/core/numbertext.h"
#include "tests/crash/leftoverchecks.h"
#include "tests/crash/programfolder.h"
#include "tests/crash/tablesnapshot.h"
#include "tests/crash/victim.h"
#include "tests/crash/victimprocess.h"
#include "tests/crash/victimprotocol.h"
#include "tests/support/faultruns.h"
#include "tests/support/loggerprocess.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using kelvor::ProfileFile;
namespace keys = kelvor::settings;

namespace {

// Kills of each kind. In short (under the sanitizers) a few runs still reach aimed and random
// moments.
int killRuns() {
  return faultRunLength(20, 4);
}
constexpr int kImportLines = 100000;
constexpr int kRecordsBeforeImport = 1000;
constexpr int kSelectionRecords = 100000;
constexpr int kReadoutRows = 1000;
// The prepared settings store every 6 s: a read-out row stands for a tenth of a minute.
constexpr double kReadoutMinutesPerRow = 0.1;
// Kill moments while measuring lie this long after the cycle starts: a handful of replies.
constexpr qint64 kMeasuringWindowMs = 1500;
// Aimed kills come this soon after a reply reached the program: within its store.
constexpr qint64 kStoreAimMs = 3;
// Kills in a read-out come this soon after a row was shown: within its store or some rows on.
constexpr qint64 kRowAimMs = 20;
// Start-up and whole actions under the sanitizers on a busy machine.
constexpr int kStartTimeoutMs = 60000;
constexpr int kActionTimeoutMs = 240000;
// Kill moments reach this much beyond the action's measured length, so that some runs are
// killed after it returned.
constexpr double kBeyondTheAction = 1.6;

// One run's identity in failure messages, with how to replay it.
QString runContext(unsigned seed, int run, qint64 moment) {
  return QStringLiteral("seed %1, run %2, killed %3 ms into the action: ")
      .arg(seed)
      .arg(run)
      .arg(moment);
}

unsigned chooseSeed() {
  bool ok = false;
  const unsigned given = qEnvironmentVariable("KELVOR_KILL_SEED").toUInt(&ok);
  return ok ? given : std::random_device()();
}

QString programFolder(const QTemporaryDir& base, const QString& name) {
  const QString folder = base.filePath(name);
  QDir().mkpath(folder);
  return folder;
}

fs::path evidenceIn(const QTemporaryDir& base) {
  return fs::path(base.path().toStdString()) / "evidence";
}

qint64 millisecondsOf(const QString& operand) {
  return operand.section(QLatin1Char(' '), -1).toLongLong();
}

qint64 momentWithin(std::mt19937& random, qint64 lastMs) {
  return std::uniform_int_distribution<qint64>(0, std::max<qint64>(lastMs, 1))(random);
}

// How long an action takes on this machine at this time, from the runs that saw it end:
// the machine is shared, so the median follows the load rather than one early measurement.
class Durations {
public:
  void add(qint64 ms) { m_ms.push_back(ms); }
  // The duration the victim reported in its line starting with `prefix`, if it got that far.
  void addReported(const VictimProcess& process, const QString& prefix) {
    const QStringList lines = process.linesStartingWith(prefix);
    if (!lines.isEmpty())
      add(millisecondsOf(lines.first()));
  }
  qint64 median() const {
    std::vector<qint64> sorted = m_ms;
    std::sort(sorted.begin(), sorted.end());
    return sorted.empty() ? 0 : sorted[sorted.size() / 2];
  }
  // A moment from the start to beyond the end, so that some runs are killed after
  // the action returned.
  qint64 drawMoment(std::mt19937& random) const {
    return momentWithin(random, qint64(double(median()) * kBeyondTheAction));
  }

private:
  std::vector<qint64> m_ms;
};

} // namespace

class TestKillRecovery : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    m_seed = chooseSeed();
    qInfo("kill moments drawn from seed %u; replay with KELVOR_KILL_SEED=%u", m_seed, m_seed);
  }

  void checksSeeDamage();
  void killWhileMeasuring();
  void killDuringImport();
  void killDuringIntervalSelection();
  void killDuringReadout();

private:
  unsigned m_seed = 0;
};

// The checks the kill runs rely on do fail on the damage they look for.
void TestKillRecovery::checksSeeDamage() {
  QTemporaryDir base;
  const QString folder = programFolder(base, QStringLiteral("program"));
  const QString ini = settingsFileIn(folder);
  const QByteArray settings = settingsText(QStringLiteral("/dev/null"));
  writeBytes(ini, settings);
  QCOMPARE(settingsProblem(ini), QString());
  writeBytes(ini, settings.chopped(3));
  QVERIFY(!settingsProblem(ini).isEmpty());
  writeBytes(ini, QByteArray(settings).replace("BaudRate=19200\n", ""));
  QVERIFY(!settingsProblem(ini).isEmpty());
  writeBytes(ini, settings);

  prepareTable(folder, 2000);
  QCOMPARE(recoveryProblem(folder, 2000), QString());
  QVERIFY(!recoveryProblem(folder, 1999).isEmpty());
  const fs::path damaged = fs::path(base.path().toStdString()) / "damaged.db";
  fs::copy_file(tableFileIn(folder), damaged);
  {
    QFile file(QString::fromStdString(damaged.string()));
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(3 * 4096 + 100));
    file.write(QByteArray(2048, '\xA5'));
  }
  QCOMPARE(readTableSnapshot(tableFileIn(folder)).integrity, std::string("ok"));
  QVERIFY(readTableSnapshot(damaged).integrity != "ok");

  // Three readings of a cycle at 6 s after one earlier record.
  std::vector<TableRow> rows{{1, "07:00:00", "   5.0", "12.000"},
                             {2, "08:00:06", "   5.1", "12.500"},
                             {3, "08:00:12", "   5.2", "12.499"},
                             {4, "08:00:18", "   5.3", "12.498"}};
  const std::vector<TableRow> before(rows.begin(), rows.begin() + 1);
  const QStringList stored{QStringLiteral("stored 2|08:00:06|   5.1|12.500"),
                           QStringLiteral("stored 3|08:00:12|   5.2|12.499")};
  QCOMPARE(measuredRunProblem(rows, before, stored), QString());
  QVERIFY(!measuredRunProblem(rows, before, stored.mid(0, 1)).isEmpty());
  QVERIFY(!measuredRunProblem(rows, before, stored + QStringList{"stored 5|08:00:24|   5.4|12.497"})
               .isEmpty());
  QVERIFY(!measuredRunProblem(rows, before, {QStringLiteral("stored 2|08:00:06|   5.1|12.400")})
               .isEmpty());
  QVERIFY(!measuredRunProblem(rows, {{1, "07:00:00", "   5.0", "11.000"}}, stored).isEmpty());
  rows[3].minutes = "   5.2";
  QVERIFY(!measuredRunProblem(rows, before, stored).isEmpty());
  // A run after a kill that starts its minutes again from the settings file's.
  rows[1].minutes = "   0.1";
  rows[2].minutes = "   0.2";
  rows[3].minutes = "   0.3";
  QVERIFY(!measuredRunProblem(rows, before, {}).isEmpty());
}

// The measuring cycle stores every reply at Doba 6; the program is killed at a random moment
// of it, twenty times over the same folder, each start carrying on from what the kill left.
void TestKillRecovery::killWhileMeasuring() {
  std::mt19937 random(m_seed + 1);
  std::uniform_int_distribution<qint64> moments(0, kMeasuringWindowMs);
  std::uniform_int_distribution<int> aimedReplies(1, 4);
  std::uniform_int_distribution<qint64> aimedDelays(0, kStoreAimMs);
  QTemporaryDir base;
  const QString folder = programFolder(base, QStringLiteral("program"));
  const QString ini = settingsFileIn(folder);
  writeBytes(ini, settingsText(QString()));
  std::vector<TableRow> before;
  int stores = 0;
  int inFlight = 0;
  int betweenReplyAndReport = 0;
  for (int run = 0; run < killRuns(); ++run) {
    // Every other run is aimed at the store that follows a reply; the rest fall anywhere.
    const bool aimed = run % 2 == 1;
    const int replies = aimedReplies(random);
    const qint64 moment = aimed ? aimedDelays(random) : moments(random);
    const QString context = runContext(m_seed, run, moment) +
                            (aimed ? QStringLiteral("after reply %1: ").arg(replies) : QString());
    // A discharging battery with noise, so that every stored reading differs from the last.
    LoggerProcess sim({QStringLiteral("--speed"), QStringLiteral("60"), QStringLiteral("--seed"),
                       QString::number(run + 1)});
    QVERIFY(!sim.path().isEmpty());
    ProfileFile(ini.toStdString()).writeString(keys::kDevices, "COM2", sim.path().toStdString());
    const QByteArray settingsBefore = readBytes(ini);

    VictimProcess process({QLatin1String(victim::kMeasure), folder});
    QVERIFY2(process.waitForLine(QLatin1String(victim::kMeasuring), kStartTimeoutMs),
             qPrintable(context + process.transcript()));
    for (int reply = 0; aimed && reply < replies; ++reply)
      QVERIFY2(process.waitForLine(QLatin1String(victim::kReply), kStartTimeoutMs),
               qPrintable(context + process.transcript()));
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(process.killAt(clock, moment), qPrintable(context + process.transcript()));
    QVERIFY2(!process.saw(QLatin1String(victim::kMessage)),
             qPrintable(context + process.transcript()));

    const TableSnapshot left = snapshotOf(folder, evidenceIn(base));
    QVERIFY2(left.integrity == "ok", qPrintable(context + QString::fromStdString(left.integrity)));
    const QStringList storedLines = process.linesStartingWith(QLatin1String(victim::kStored));
    const QString problem = measuredRunProblem(left.rows, before, storedLines);
    QVERIFY2(problem.isEmpty(), qPrintable(context + problem));
    QVERIFY2(readBytes(ini) == settingsBefore, qPrintable(context + "settings file changed"));
    const QString recovery = recoveryProblem(folder, left.rows.size());
    QVERIFY2(recovery.isEmpty(), qPrintable(context + recovery));

    stores += static_cast<int>(storedLines.size());
    inFlight +=
        static_cast<int>(left.rows.size() - before.size()) - static_cast<int>(storedLines.size());
    betweenReplyAndReport += process.lines().last() == QLatin1String(victim::kReply) ? 1 : 0;
    before = left.rows;
  }
  qInfo("measuring: %d runs, %d stores reported, %d runs killed between a reply and the report "
        "of its store, %d such stores found in the file, %zu records at the end",
        killRuns(), stores, betweenReplyAndReport, inFlight, before.size());
  QVERIFY(stores >= killRuns() / 2);
}

// An import of 100 000 lines runs in one transaction after 1000 records: a kill leaves it
// wholly there or wholly absent, and the records before it intact.
void TestKillRecovery::killDuringImport() {
  std::mt19937 random(m_seed + 2);
  QTemporaryDir base;
  const QString prepared = programFolder(base, QStringLiteral("prepared"));
  writeBytes(settingsFileIn(prepared), settingsText(base.filePath(QStringLiteral("no-port"))));
  prepareTable(prepared, kRecordsBeforeImport);
  const std::vector<TableRow> earlier = readTableSnapshot(tableFileIn(prepared)).rows;
  QCOMPARE(earlier.size(), std::size_t(kRecordsBeforeImport));
  const QString dataFile = base.filePath(QStringLiteral("readings.dat"));
  const std::vector<TableRow> imported = writeImportFile(dataFile, kImportLines);
  const QByteArray settingsBefore = readBytes(settingsFileIn(prepared));

  // Checks one run's leftovers; `finished` says the import had returned before the kill.
  const auto check = [&](const QString& folder, const QString& context, bool finished,
                         int& wholeImports) {
    const TableSnapshot left = snapshotOf(folder, evidenceIn(base));
    QVERIFY2(left.integrity == "ok", qPrintable(context + QString::fromStdString(left.integrity)));
    const QString problem = earlierRowsProblem(left.rows, earlier);
    QVERIFY2(problem.isEmpty(), qPrintable(context + problem));
    const std::size_t added = left.rows.size() - earlier.size();
    QVERIFY2(added == 0 || added == imported.size(),
             qPrintable(context +
                        QStringLiteral("%1 of %2 lines imported").arg(added).arg(imported.size())));
    QVERIFY2(!finished || added == imported.size(),
             qPrintable(context + "the import returned but its records are gone"));
    const bool same = std::equal(imported.begin(), imported.end(),
                                 left.rows.begin() + static_cast<std::ptrdiff_t>(earlier.size()),
                                 left.rows.end(), sameValues);
    QVERIFY2(added == 0 || same, qPrintable(context + "imported records differ from the file"));
    QVERIFY2(readBytes(settingsFileIn(folder)) == settingsBefore,
             qPrintable(context + "settings file changed"));
    const QString recovery = recoveryProblem(folder, left.rows.size());
    QVERIFY2(recovery.isEmpty(), qPrintable(context + recovery));
    wholeImports += added == 0 ? 0 : 1;
  };

  const auto startVictim = [&](const QString& folder) {
    copyFolder(prepared.toStdString(), folder.toStdString());
    return std::make_unique<VictimProcess>(
        QStringList{QLatin1String(victim::kImport), folder, dataFile});
  };

  // A run left to finish measures how long the import takes here.
  int wholeImports = 0;
  Durations importing;
  {
    const QString folder = base.filePath(QStringLiteral("measured"));
    const auto process = startVictim(folder);
    QVERIFY2(process->waitForLine(QLatin1String(victim::kImporting), kStartTimeoutMs),
             qPrintable(process->transcript()));
    QVERIFY2(process->waitForLine(QLatin1String(victim::kDone), kActionTimeoutMs),
             qPrintable(process->transcript()));
    importing.add(millisecondsOf(process->lastOperand()));
    QVERIFY(process->killNow());
    QVERIFY2(!process->saw(QLatin1String(victim::kMessage)), qPrintable(process->transcript()));
    check(folder, QStringLiteral("the import left to finish: "), true, wholeImports);
    if (QTest::currentTestFailed())
      return;
  }

  wholeImports = 0;
  for (int run = 0; run < killRuns(); ++run) {
    const qint64 moment = importing.drawMoment(random);
    const QString context = runContext(m_seed, run, moment);
    const QString folder = base.filePath(QStringLiteral("run"));
    const auto process = startVictim(folder);
    QVERIFY2(process->waitForLine(QLatin1String(victim::kImporting), kStartTimeoutMs),
             qPrintable(context + process->transcript()));
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(process->killAt(clock, moment), qPrintable(context + process->transcript()));
    QVERIFY2(!process->saw(QLatin1String(victim::kMessage)),
             qPrintable(context + process->transcript()));
    check(folder, context, process->saw(QLatin1String(victim::kDone)), wholeImports);
    if (QTest::currentTestFailed())
      return;
    importing.addReported(*process, QLatin1String(victim::kDone));
  }
  qInfo("import of %d lines took %lld ms (median); %d runs killed: %d left it whole, %d left "
        "none of it",
        kImportLines, importing.median(), killRuns(), wholeImports, killRuns() - wholeImports);
}

// The interval window writes its bounds to the settings file, then the two passes delete in
// one transaction: a kill leaves the table as it was or as the selection makes it, and the
// settings file as it was before, between or after the two writes.
void TestKillRecovery::killDuringIntervalSelection() {
  std::mt19937 random(m_seed + 3);
  QTemporaryDir base;
  const QString prepared = programFolder(base, QStringLiteral("prepared"));
  const QString preparedIni = settingsFileIn(prepared);
  writeBytes(preparedIni, settingsText(base.filePath(QStringLiteral("no-port"))));
  prepareTable(prepared, kSelectionRecords);
  const std::vector<TableRow> all = readTableSnapshot(tableFileIn(prepared)).rows;
  QCOMPARE(all.size(), std::size_t(kSelectionRecords));
  const QByteArray settingsBefore = readBytes(preparedIni);
  const QString scratch = base.filePath(QStringLiteral("scratch.ini"));

  struct Outcome {
    bool selected = false;
    std::size_t settingsStage = 0;
  };
  // Checks one run's leftovers against the bounds the window wrote.
  const auto check = [&](const QString& folder, const QString& context,
                         const VictimProcess& process, int zacatek, int konec, Outcome& outcome) {
    const TableSnapshot left = snapshotOf(folder, evidenceIn(base));
    QVERIFY2(left.integrity == "ok", qPrintable(context + QString::fromStdString(left.integrity)));
    const std::vector<TableRow> kept = keptBy(all, zacatek, konec);
    outcome.selected = left.rows == kept;
    QVERIFY2(outcome.selected || left.rows == all,
             qPrintable(context + QStringLiteral("%1 records left: neither all %2 nor the %3 kept")
                                      .arg(left.rows.size())
                                      .arg(all.size())
                                      .arg(kept.size())));
    QVERIFY2(!process.saw(QLatin1String(victim::kDone)) || outcome.selected,
             qPrintable(context + "the selection returned but the table is as before"));

    const std::vector<QByteArray> stages =
        settingsStagesOfDeactivation(scratch, settingsBefore, boundText(zacatek), boundText(konec));
    const QByteArray settings = readBytes(settingsFileIn(folder));
    const auto stage = std::find(stages.begin(), stages.end(), settings);
    QVERIFY2(stage != stages.end(),
             qPrintable(context + "settings file damaged:\n" + QString::fromUtf8(settings)));
    outcome.settingsStage = static_cast<std::size_t>(stage - stages.begin());
    QVERIFY2(!process.saw(QLatin1String(victim::kSelecting)) ||
                 outcome.settingsStage == stages.size() - 1,
             qPrintable(context + "the bounds were written but the settings file lacks them"));
    const QString recovery = recoveryProblem(folder, left.rows.size());
    QVERIFY2(recovery.isEmpty(), qPrintable(context + recovery));
  };

  const auto startVictim = [&](const QString& folder, int zacatek, int konec) {
    copyFolder(prepared.toStdString(), folder.toStdString());
    return std::make_unique<VictimProcess>(
        QStringList{QLatin1String(victim::kSelect), folder, boundText(zacatek), boundText(konec)});
  };
  const auto waitForBounds = [](VictimProcess& process, int zacatek, int konec) {
    return process.waitForLine(QLatin1String(victim::kWritingSettings), kStartTimeoutMs) &&
           process.lastOperand() ==
               boundText(zacatek).trimmed() + victim::kFieldSeparator + boundText(konec);
  };

  // A run left to finish measures how long writing the bounds and selecting take here.
  Durations writingBounds;
  Durations selecting;
  {
    const QString folder = base.filePath(QStringLiteral("measured"));
    const auto process = startVictim(folder, 1000, 9000);
    QVERIFY2(waitForBounds(*process, 1000, 9000), qPrintable(process->transcript()));
    QVERIFY2(process->waitForLine(QLatin1String(victim::kSelecting), kActionTimeoutMs),
             qPrintable(process->transcript()));
    writingBounds.add(millisecondsOf(process->lastOperand()));
    QVERIFY2(process->waitForLine(QLatin1String(victim::kDone), kActionTimeoutMs),
             qPrintable(process->transcript()));
    selecting.add(millisecondsOf(process->lastOperand()));
    QVERIFY(process->killNow());
    QVERIFY2(!process->saw(QLatin1String(victim::kMessage)), qPrintable(process->transcript()));
    Outcome outcome;
    check(folder, QStringLiteral("the selection left to finish: "), *process, 1000, 9000, outcome);
    if (QTest::currentTestFailed())
      return;
  }

  // Every fourth run is killed while the bounds are being written.
  std::uniform_int_distribution<int> zacatekBounds(0, 5000);
  std::uniform_int_distribution<int> konecBounds(0, 9999);
  int selections = 0;
  std::vector<int> settingsStages(3, 0);
  for (int run = 0; run < killRuns(); ++run) {
    const qint64 moment =
        run % 4 == 0 ? momentWithin(random, writingBounds.median()) : selecting.drawMoment(random);
    const int zacatek = zacatekBounds(random);
    const int konec = konecBounds(random);
    const QString context = runContext(m_seed, run, moment) +
                            QStringLiteral("bounds %1 to %2: ").arg(zacatek).arg(konec);
    const QString folder = base.filePath(QStringLiteral("run"));
    const auto process = startVictim(folder, zacatek, konec);
    QVERIFY2(waitForBounds(*process, zacatek, konec), qPrintable(context + process->transcript()));
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(process->killAt(clock, moment), qPrintable(context + process->transcript()));
    QVERIFY2(!process->saw(QLatin1String(victim::kMessage)),
             qPrintable(context + process->transcript()));
    Outcome outcome;
    check(folder, context, *process, zacatek, konec, outcome);
    if (QTest::currentTestFailed())
      return;
    selections += outcome.selected ? 1 : 0;
    ++settingsStages[outcome.settingsStage];
    writingBounds.addReported(*process, QLatin1String(victim::kSelecting));
    selecting.addReported(*process, QLatin1String(victim::kDone));
  }
  qInfo("medians: writing the bounds %lld ms, with the selection in %d records %lld ms; %d runs "
        "killed: %d left the selection done; settings file before the bounds %d, with one %d, "
        "with both %d",
        writingBounds.median(), kSelectionRecords, selecting.median(), killRuns(), selections,
        settingsStages[0], settingsStages[1], settingsStages[2]);
}

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const QStringList arguments = QCoreApplication::arguments();
  if (victim::isVictimCall(arguments))
    return victim::runVictim(arguments);
  TestKillRecovery test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_killrecovery.moc"

// The rows a run of the logger's memory read-out left in the file: each is the row of its
// place, and every row whose receive handler had returned is among them.
QString readoutProblem(const std::vector<TableRow>& rows, qsizetype handledRows) {
  if (static_cast<qsizetype>(rows.size()) < handledRows)
    return QStringLiteral("%1 rows handled, %2 in the file").arg(handledRows).arg(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const TableRow& row = rows[i];
    if (row.time != std::optional<std::string>("00:00:00") ||
        row.minutes != kelvor::formatFixed(static_cast<double>(i) * kReadoutMinutesPerRow, 12, 1) ||
        row.voltage.size() != 8)
      return QStringLiteral("row %1 is %2|%3|%4")
          .arg(i + 1)
          .arg(QString::fromStdString(row.time.value_or("NULL")),
               QString::fromStdString(row.minutes), QString::fromStdString(row.voltage));
  }
  return {};
}

// A thousand rows back to back at 115 200 Bd into an empty table, killed at a random moment up
// to 20 ms after the handler of a random row returned, or at once after the last row's: every
// row whose handler had returned is in the file.
void TestKillRecovery::killDuringReadout() {
  std::mt19937 random(m_seed + 4);
  std::uniform_int_distribution<qsizetype> rows(1, kReadoutRows);
  std::uniform_int_distribution<qint64> delays(0, kRowAimMs);
  // The logger answers the two commands that start a read-out before its rows come.
  constexpr qsizetype kAnswersBeforeRows = 2;
  QTemporaryDir base;
  std::size_t rowsLeft = 0;
  for (int run = 0; run < killRuns(); ++run) {
    // Every fourth run waits for the last row: no row comes after it whose store could take it
    // to the file late.
    const bool last = run % 4 == 3;
    const qsizetype row = last ? kReadoutRows : rows(random);
    const qint64 moment = last ? 0 : delays(random);
    const QString context =
        runContext(m_seed, run, moment) + QStringLiteral("after row %1: ").arg(row);
    LoggerProcess sim({QStringLiteral("--baud"), QStringLiteral("115200"), QStringLiteral("--rows"),
                       QString::number(kReadoutRows), QStringLiteral("--memory-rows"),
                       QString::number(kReadoutRows), QStringLiteral("--no-record")});
    QVERIFY(!sim.path().isEmpty());
    const QString folder = programFolder(base, QStringLiteral("run%1").arg(run));
    writeBytes(settingsFileIn(folder),
               settingsText(sim.path()).replace("BaudRate=19200", "BaudRate=115200"));
    VictimProcess process({QLatin1String(victim::kReadout), folder});
    QVERIFY2(process.waitForLine(QLatin1String(victim::kReadingOut), kStartTimeoutMs),
             qPrintable(context + process.transcript()));
    const QString handled = QLatin1String(victim::kHandled);
    while (process.linesStartingWith(handled).size() < row + kAnswersBeforeRows)
      QVERIFY2(process.waitForLine(handled, kActionTimeoutMs),
               qPrintable(context + process.transcript()));
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(process.killAt(clock, moment), qPrintable(context + process.transcript()));
    const TableSnapshot left = snapshotOf(folder, evidenceIn(base));
    QVERIFY2(left.integrity == "ok", qPrintable(context + QString::fromStdString(left.integrity)));
    const QString problem =
        readoutProblem(left.rows, process.linesStartingWith(handled).size() - kAnswersBeforeRows);
    QVERIFY2(problem.isEmpty(), qPrintable(context + problem));
    rowsLeft += left.rows.size();
  }
  qInfo("read-out: %d runs killed, %zu rows found in the files", killRuns(), rowsLeft);
}
