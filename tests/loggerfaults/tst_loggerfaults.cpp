#include "app/core/profilefile.h"
#include "app/core/settingskeys.h"
#include "app/pages/meterspage.h"
#include "app/pages/parametrypage.h"
#include "app/pages/radiogroup.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "data/core/sqlitedatabase.h"
#include "serial/serialline.h"
#include "tests/loggerfaults/faultrig.h"
#include "tests/support/faultruns.h"
#include "tests/support/loggerprocess.h"
#include "tests/support/loopprobe.h"
#include "tests/support/pagecontrols.h"
#include "tests/support/processfigures.h"
#include "tests/support/ptypeer.h"
#include "widgets/levelmeter.h"
#include "widgets/needlemeter.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>

namespace {

#ifdef KELVOR_SANITIZED_BUILD
// The sanitizers keep freed memory in a quarantine of up to 256 MB, so the resident set grows
// with every allocation however little the program keeps.
constexpr std::int64_t kSanitizerSlack = std::int64_t{256} << 20;
#else
constexpr std::int64_t kSanitizerSlack = 0;
#endif
// How promptly the loop answers is a figure of kelvor-bench (BM_LoopUnderLineNoise); a test
// can only tell a hang from a slow machine. Time the thread waited for a processor is not
// counted, and whatever the load, a loop deaf this long of its own is a hang.
constexpr qint64 kLoopHungMs = 5000;
// The lateness the probe counts; only reported here.
constexpr qint64 kLoopLateMs = 100;
constexpr std::int64_t kMiB = 1 << 20;
const QColor kReadingBlue(0, 0, 255);
const QColor kNoReplyRed(255, 0, 0);
const QString kHeldCaption = QStringLiteral("12.500");
// How a reply's carriage return shows in the terminal pane.
const QChar kShownReturn(0x240D);
// How the simulated logger's answer at 12.5 V shows in the terminal pane.
const QString kHeldReply = QStringLiteral("U[V]:    12.5000 ") + kShownReturn;

QStringList heldLogger(const QStringList& more = {}) {
  return QStringList{QStringLiteral("--hold-volts"), QStringLiteral("12.5")} + more;
}

// Long enough for `ticks` measuring ticks with their replies, even under the sanitizers.
int ticksMs(int ticks) {
  return ticks * FaultRig::tickMs() + 5000;
}
// The watchdog's 21st second after the last reply, with room for a reply still on its way.
int noReplyShownMs() {
  return FaultRig::watchdogMs(21) + 2 * FaultRig::tickMs() + 5000;
}

// Whether `pieces`, glued together, are whole held replies one after another; the last may
// still be on its way.
bool arePiecesOfHeldReplies(const QStringList& pieces) {
  const QString bytes = pieces.join(QString());
  for (qsizetype at = 0; at < bytes.size(); at += kHeldReply.size())
    if (!kHeldReply.startsWith(QStringView(bytes).mid(at, kHeldReply.size()))) {
      qWarning("not a piece of a reply: %s", qPrintable(bytes.mid(at, kHeldReply.size())));
      return false;
    }
  return bytes.size() >= kHeldReply.size();
}

QColor labelColour(const FaultRig& rig) {
  return controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->palette().color(QPalette::Window);
}

void checkNoReplyLook(const FaultRig& rig) {
  QCOMPARE(rig.caption(), QStringLiteral("CHYBA"));
  QCOMPARE(labelColour(rig), kNoReplyRed);
  QCOMPARE(controlOf<kelvor::TNeedleMeter>(rig.form->METERS, "NeedleMeter1")->value(), 10.0f);
  QCOMPARE(controlOf<kelvor::TLevelMeter>(rig.form->METERS, "LevelMeter1")->position(), 0);
  QVERIFY(controlOf<QLabel>(rig.form->METERS, "TimeLabel")->text().isEmpty());
}

void checkReadingLook(const FaultRig& rig) {
  QCOMPARE(rig.caption(), kHeldCaption);
  QCOMPARE(labelColour(rig), kReadingBlue);
  QCOMPARE(controlOf<kelvor::TNeedleMeter>(rig.form->METERS, "NeedleMeter1")->value(), 12.5f);
  QVERIFY(!controlOf<QLabel>(rig.form->METERS, "TimeLabel")->text().isEmpty());
}

// Every record is one the simulated battery gave: 12.5 V, stamped with a time, and the
// minutes advancing by one storage interval (6 s) from record to record. `from` skips
// records that were in the table before, whose last minutes the new ones go on from.
void checkOnlyTrueRecords(const FaultRig& rig, int from = 0, double fromMinutes = 0.0) {
  for (int i = from; i < rig.records(); ++i) {
    const kelvor::MeasurementRecord record = rig.record(i);
    const QString where =
        QStringLiteral("record %1: %2 %3")
            .arg(i)
            .arg(QString::fromStdString(record.minutes), QString::fromStdString(record.voltage));
    QVERIFY2(record.voltage == "12.500", qPrintable(where));
    QVERIFY2(record.minutes == kelvor::formatFixed(fromMinutes + (i - from + 1) / 10.0, 6, 1),
             qPrintable(where));
    QVERIFY2(record.time.has_value(), qPrintable(where));
  }
}

void checkNothingReachedTheOperator(const FaultRig& rig) {
  for (const ScriptedDialogs::Shown& shown : rig.dialogs->messages)
    qWarning("shown to the operator: %s", qPrintable(shown.text));
  QVERIFY(rig.dialogs->messages.empty());
}

// The loop kept answering: it never hung, whatever the machine's load.
void checkLoopAnswered(const LoopProbe& probe) {
  qInfo("event loop: %d probes, longest gap %lld ms; the program's own longest %lld ms, "
        "ended %lld ms after the start",
        probe.ticks(), probe.worstGapMs(), probe.worstOwnGapMs(), probe.worstOwnGapEndMs());
  QVERIFY(probe.ticks() > 0);
  QVERIFY2(
      probe.worstOwnGapMs() <= kLoopHungMs,
      qPrintable(QStringLiteral("the event loop was deaf for %1 ms").arg(probe.worstOwnGapMs())));
}

bool hasDigit(const QString& text) {
  return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// Characters the terminal pane shows, one per received byte, without the line breaks.
qsizetype shownBytes(const FaultRig& rig) {
  const QStringList lines = rig.terminalLines();
  qsizetype count = 0;
  for (const QString& line : lines)
    count += line.size();
  return count;
}

// Samples of the resident set while a fault lasts.
struct MemoryWatch {
  std::int64_t before = residentBytes();
  std::int64_t peak = before;

  void sample() { peak = std::max(peak, residentBytes()); }
  std::int64_t growth() const { return peak - before; }
  void check(std::int64_t bound) const {
    qInfo("resident set: %lld KiB before, %lld KiB growth at most",
          static_cast<long long>(before / 1024), static_cast<long long>(growth() / 1024));
    QVERIFY(before > 0);
    QVERIFY2(growth() <= bound + kSanitizerSlack,
             qPrintable(QStringLiteral("grew by %1 KiB").arg(growth() / 1024)));
  }
};

// The bytes of a line that has nothing to do with the logger's protocol: everything but the
// decimal digits, so that no piece of it can read as a voltage.
QByteArray lineNoise(std::mt19937& random, qsizetype size) {
  static const QByteArray alphabet = [] {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
      if (b < '0' || b > '9')
        bytes.append(static_cast<char>(b));
    return bytes;
  }();
  std::uniform_int_distribution<qsizetype> pick(0, alphabet.size() - 1);
  QByteArray noise(size, Qt::Uninitialized);
  for (char& byte : noise)
    byte = alphabet[pick(random)];
  return noise;
}

// Line noise at the pace of a serial line, written into the far end from a thread of its
// own, so that the bytes come steadily whatever the program's thread is doing.
class NoiseStream {
public:
  NoiseStream(const PtyPeer& line, qint64 bytesPerSecond)
      : m_thread([this, &line, bytesPerSecond](const std::stop_token& stop) {
          run(stop, line, bytesPerSecond);
        }) {}

  // Stops the stream; returns the number of bytes written. Bytes the terminal would not take
  // when they were due (a busy machine holding the program's reader up) wait their turn, as
  // the test's own line has no overrun to lose them in.
  qint64 finish() {
    m_thread.request_stop();
    m_thread.join();
    qInfo("the line fell behind its speed %d times, by %lld bytes at most", m_fellBehind,
          static_cast<long long>(m_mostBehind));
    return m_sent;
  }

private:
  void run(const std::stop_token& stop, const PtyPeer& line, qint64 bytesPerSecond) {
    std::mt19937 random(9);
    const auto start = std::chrono::steady_clock::now();
    qint64 made = 0;
    QByteArray waiting;
    while (!stop.stop_requested()) {
      const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
          std::chrono::steady_clock::now() - start);
      const qint64 due = elapsed.count() * bytesPerSecond / 1000000;
      if (due > made) {
        waiting += lineNoise(random, due - made);
        made = due;
      }
      if (!waiting.isEmpty()) {
        const qsizetype taken = line.offer(waiting);
        m_sent += taken;
        waiting.remove(0, taken);
        if (!waiting.isEmpty()) {
          ++m_fellBehind;
          m_mostBehind = std::max<qint64>(m_mostBehind, waiting.size());
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  qint64 m_sent = 0;
  int m_fellBehind = 0;
  qint64 m_mostBehind = 0;
  std::jthread m_thread;
};

constexpr int kPrefilledRecords = 20000;
// The minutes of the last prefilled record, which a run over the table goes on from.
constexpr double kPrefilledMinutes = (kPrefilledRecords - 1) / 10.0;

// A table that already holds a long measurement, read by every instance that starts.
void prefillTable(const QTemporaryDir& dir) {
  kelvor::MeasurementTable table;
  table.open(dir.filePath(QStringLiteral("Kelvor/Kelvor.db")).toStdString());
  kelvor::MeasurementTable::Batch batch(table);
  for (int i = 0; i < kPrefilledRecords; ++i) {
    table.append();
    table.setTime(i % kelvor::kSecondsPerDay);
    table.setMinutes(kelvor::formatFixed(i / 10.0, 6, 1));
    table.setVoltage("11.000");
  }
  batch.commit();
  table.close();
}

std::string settingOf(const kelvor::ProfileFile& ini, const char* section, const char* key) {
  return ini.readString(section, key, "<missing>");
}

// The settings file is whole and carries the choices the first instance was started with.
void checkSettingsOfTheFirst(const QString& path, const QString& device) {
  using namespace kelvor::settings;
  const kelvor::ProfileFile ini(path.toStdString());
  QCOMPARE(settingOf(ini, kDevices, "COM2"), device.toStdString());
  QCOMPARE(settingOf(ini, kSerial, kSerialPort), std::string("COM2"));
  QCOMPARE(settingOf(ini, kSerial, kBaudRate), std::string("19200"));
  QCOMPARE(settingOf(ini, kUkladani, kDoba), std::string("6"));
  QCOMPARE(settingOf(ini, kSheet, kStranka), std::string("METERS"));
  QCOMPARE(settingOf(ini, kGraph, kScaleX), std::string("60"));
  QCOMPARE(settingOf(ini, kGraph, kScaleY), std::string("15"));
  QCOMPARE(settingOf(ini, kGraph, kTitulek), std::string("Zkouška"));
  QCOMPARE(settingOf(ini, kGraph, kBarva), std::string("clBlue"));
  QCOMPARE(settingOf(ini, kTabulka, kHlavickaTab), std::string("Baterie"));
  QCOMPARE(settingOf(ini, kConvertor, kKonstStr), std::string("  1.000000000"));
  QCOMPARE(settingOf(ini, kTransfer, kPocetRadku), std::string("100"));
}

} // namespace

class TestLoggerFaults : public QObject {
  Q_OBJECT

private slots:
  void silentLoggerShowsChybaAndRecovers() {
    LoggerProcess sim(heldLogger());
    QVERIFY(!sim.path().isEmpty());
    FaultRig rig(measuringSettings(sim.path(), 19200));
    rig.switchOnTimeLapsed();
    QVERIFY(rig.waitForRecords(2, ticksMs(2)));
    LoopProbe probe(kLoopLateMs);
    probe.start();

    QVERIFY(sim.control("silent on"));
    QVERIFY(
        waitUntil([&rig] { return rig.caption() == QStringLiteral("CHYBA"); }, noReplyShownMs()));
    checkNoReplyLook(rig);
    const int stored = rig.records();
    const std::uint16_t counted = rig.form->measuring().cycle.StoreSeconds;
    const qsizetype replies = rig.terminalLines().size();
    // The program goes on asking, and the fault stays on the display.
    QSignalSpy ticks(rig.form->measuring().Timer1, &QTimer::timeout);
    bool faultShown = true;
    QVERIFY(waitUntil(
        [&] {
          faultShown = faultShown && rig.caption() == QStringLiteral("CHYBA");
          return ticks.count() >= 2;
        },
        ticksMs(2)));
    QVERIFY(faultShown);
    checkNoReplyLook(rig);
    QCOMPARE(rig.records(), stored);
    QCOMPARE(rig.form->measuring().cycle.StoreSeconds, counted);
    QCOMPARE(rig.terminalLines().size(), replies);

    QVERIFY(sim.control("silent off"));
    QVERIFY(rig.waitForRecords(stored + 2, ticksMs(3)));
    checkReadingLook(rig);
    probe.stop();
    checkLoopAnswered(probe);
    checkOnlyTrueRecords(rig);
    checkNothingReachedTheOperator(rig);
  }

  // Every reply of the logger turns into line noise of its own length for a whole minute.
  void garbageForAMinuteAt115200Baud() {
    const int noiseMs = faultRunLength(60000, 10000);
    LoggerProcess sim(heldLogger({QStringLiteral("--baud"), QStringLiteral("115200")}));
    QVERIFY(!sim.path().isEmpty());
    FaultRig rig(measuringSettings(sim.path(), 115200));
    QCOMPARE(rig.form->measuring().serialLine().BaudRate(), 115200u);
    rig.switchOnTimeLapsed();
    QVERIFY(rig.waitForRecords(2, ticksMs(2)));
    MemoryWatch memory;
    LoopProbe probe(kLoopLateMs);
    probe.start();

    QVERIFY(sim.control("noise on"));
    // A true reply may still be on its way; from the first noise on, only noise comes.
    QVERIFY(waitUntil([&rig] { return !hasDigit(rig.terminalLines().last()); }, ticksMs(2)));
    const int stored = rig.records();
    const qsizetype firstNoise = rig.terminalLines().size() - 1;
    bool neverFalse = true;
    bool neverNoReply = true;
    QSignalSpy ticks(rig.form->measuring().Timer1, &QTimer::timeout);
    QElapsedTimer minute;
    minute.start();
    runFor(noiseMs, [&] {
      memory.sample();
      neverFalse = neverFalse && rig.caption() == kHeldCaption;
      neverNoReply = neverNoReply && rig.caption() != QStringLiteral("CHYBA");
    });
    const QStringList noise = rig.terminalLines().mid(firstNoise);
    qInfo("%lld noisy replies in %lld ms", static_cast<long long>(noise.size()), minute.elapsed());
    // Each tick was answered, with noise only; the last answer may still be on its way.
    QVERIFY(ticks.count() >= 2);
    QVERIFY(noise.size() >= ticks.count() - 1);
    for (const QString& line : noise)
      QVERIFY2(!hasDigit(line) && line.endsWith(QChar(0x240D)), qPrintable(line));
    // Every cluster is an answer, so the watchdog never fires; no noise became a reading.
    QVERIFY(neverNoReply);
    QVERIFY(neverFalse);
    QCOMPARE(rig.records(), stored);
    memory.check(4 * kMiB);

    QVERIFY(sim.control("noise off"));
    QVERIFY(rig.waitForRecords(stored + 2, ticksMs(3)));
    checkReadingLook(rig);
    probe.stop();
    checkLoopAnswered(probe);
    checkOnlyTrueRecords(rig);
    checkNothingReachedTheOperator(rig);
  }

  // Something that is no logger talks on the line without a pause: every byte it sends is
  // shown, none becomes a record, and the program keeps pace with the line.
  void continuousNoiseAt115200Baud() {
    PtyPeer line;
    QVERIFY(!line.path().isEmpty());
    FaultRig rig(measuringSettings(line.path(), 115200));
    rig.switchOnTimeLapsed();
    runFor(200);
    MemoryWatch memory;
    LoopProbe probe(kLoopLateMs);
    probe.start();

    constexpr qint64 kBytesPerSecond = 115200 / 10;
    const int streamMs = faultRunLength(10000, 3000);
    NoiseStream stream(line, kBytesPerSecond);
    bool neverNoReply = true;
    runFor(streamMs, [&] {
      line.take();
      memory.sample();
      neverNoReply = neverNoReply && rig.caption() != QStringLiteral("CHYBA");
    });
    const qint64 sent = stream.finish();
    QVERIFY(sent > 0);
    QVERIFY(waitUntil([&] { return shownBytes(rig) >= sent; }, 5000));
    qInfo("%lld bytes in %lld clusters", sent, static_cast<long long>(rig.terminalLines().size()));
    QCOMPARE(shownBytes(rig), sent);
    QVERIFY(neverNoReply);
    QCOMPARE(rig.records(), 0);
    QCOMPARE(rig.caption(), QStringLiteral("VYPNUTO"));
    QCOMPARE(rig.form->measuring().cycle.StoreSeconds, std::uint16_t(0));
    memory.check(8 * kMiB);
    probe.stop();
    checkLoopAnswered(probe);
    checkNothingReachedTheOperator(rig);
  }

  void splitReplies() {
    LoggerProcess sim(heldLogger({QStringLiteral("--split"), QStringLiteral("40")}));
    QVERIFY(!sim.path().isEmpty());
    FaultRig rig(measuringSettings(sim.path(), 19200));
    rig.switchOnTimeLapsed();
    LoopProbe probe(kLoopLateMs);
    probe.start();
    // Halves 40 ms apart come within the port's cut time: one cluster, one reading. On a
    // loaded machine the simulator's bytes can come with longer pauses anywhere in a reply,
    // which the port rightly cuts at; such pieces are only shown (the records are checked at
    // the end), and all pieces together are the logger's replies, byte for byte.
    QVERIFY(rig.waitForRecords(3, ticksMs(3)));
    QVERIFY(arePiecesOfHeldReplies(rig.terminalLines()));
    checkReadingLook(rig);

    // Halves further apart than the cut time are two clusters, and neither holds the
    // voltage where a reply holds it: nothing is read, nothing stored. A reply already on
    // its way may still come whole.
    QVERIFY(sim.control("split 600"));
    const int stored = rig.records();
    const qsizetype from = rig.terminalLines().size();
    const auto repliesSince = [&] {
      return rig.terminalLines().mid(from).join(QString()).count(kShownReturn);
    };
    bool neverNoReply = true;
    QVERIFY(waitUntil(
        [&] {
          neverNoReply = neverNoReply && rig.caption() != QStringLiteral("CHYBA");
          return repliesSince() >= 4;
        },
        ticksMs(6)));
    const QStringList pieces = rig.terminalLines().mid(from);
    QVERIFY2(pieces.size() >= 2 * repliesSince() - 1,
             qPrintable(QStringLiteral("%1 clusters").arg(pieces.size())));
    QVERIFY(rig.records() <= stored + 1);
    QVERIFY(neverNoReply);
    QCOMPARE(rig.caption(), kHeldCaption);

    QVERIFY(sim.control("split 0"));
    QVERIFY(rig.waitForRecords(rig.records() + 2, ticksMs(3)));
    checkReadingLook(rig);
    probe.stop();
    checkLoopAnswered(probe);
    checkOnlyTrueRecords(rig);
    checkNothingReachedTheOperator(rig);
  }

  void hangUpThenANewLogger() {
    QTemporaryDir links;
    const QString device = links.filePath(QStringLiteral("ttyLOGGER"));
    std::optional<LoggerProcess> sim;
    sim.emplace(heldLogger(
        {QStringLiteral("--link"), device, QStringLiteral("--hangup-after"), QStringLiteral("3")}));
    QVERIFY(!sim->path().isEmpty());
    FaultRig rig(measuringSettings(device, 19200));
    QVERIFY(rig.form->measuring().serialLine().Active());
    rig.switchOnTimeLapsed();
    LoopProbe probe(kLoopLateMs);
    probe.start();

    // After its third reply the logger closes the line.
    QVERIFY(waitUntil([&rig] { return rig.caption() == QStringLiteral("CHYBA"); },
                      ticksMs(3) + noReplyShownMs()));
    checkNoReplyLook(rig);
    // The last reply may go down with the line; what came before it is stored.
    const int stored = rig.records();
    QVERIFY(stored >= 2 && stored <= 3);
    // The program goes on asking a line that is gone; its processor share then is a figure
    // of kelvor-bench (BM_ProgramAfterHangUp).
    QSignalSpy ticks(rig.form->measuring().Timer1, &QTimer::timeout);
    QVERIFY(waitUntil([&] { return ticks.count() >= 2; }, ticksMs(2)));
    checkNoReplyLook(rig);
    QCOMPARE(rig.records(), stored);

    // A logger on the same device name again; the operator chooses the port once more.
    // Closing a port waits for its worker in steps of 75 ms: that belongs to the operator's
    // choice of a port, not to the fault, and is left out of the probe.
    probe.suspend();
    sim.reset();
    sim.emplace(heldLogger({QStringLiteral("--link"), device}));
    QVERIFY(!sim->path().isEmpty());
    controlOf<kelvor::RadioGroup>(rig.form->PARAMETRY, "SeriovyPort")->setItemIndex(2);
    controlOf<kelvor::RadioGroup>(rig.form->PARAMETRY, "SeriovyPort")->setItemIndex(1);
    probe.resume();
    QCOMPARE(rig.form->PARAMETRY->SerialPort, QStringLiteral("COM2"));
    QVERIFY(rig.form->measuring().serialLine().Active());
    QVERIFY(rig.waitForRecords(stored + 2, ticksMs(3)));
    checkReadingLook(rig);
    probe.stop();
    checkLoopAnswered(probe);
    checkOnlyTrueRecords(rig);
    checkNothingReachedTheOperator(rig);
  }

  // The program started a second time beside the one that measures: it reads the same
  // settings and table, cannot take the port, and disturbs neither.
  void secondInstanceWhileMeasuring() {
    LoggerProcess sim(heldLogger());
    QVERIFY(!sim.path().isEmpty());
    FaultRig rig(measuringSettings(sim.path(), 19200), prefillTable);
    QCOMPARE(rig.records(), kPrefilledRecords);
    rig.switchOnTimeLapsed();
    QVERIFY(rig.waitForRecords(kPrefilledRecords + 2, ticksMs(2)));
    const QString program = rig.dir.filePath(QStringLiteral("kelvor"));
    QVERIFY(QFile::copy(QStringLiteral(KELVOR_EXECUTABLE), program));
    const std::filesystem::path table =
        rig.dir.filePath(QStringLiteral("Kelvor/Kelvor.db")).toStdString();
    const std::filesystem::path port = sim.path().toStdString();
    QVERIFY(holdsDescriptorOn(::getpid(), port));

    QSignalSpy ticks(rig.form->measuring().Timer1, &QTimer::timeout);
    const qsizetype repliesBefore = rig.terminalLines().size();
    const int recordsBefore = rig.records();
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(program, {});
    QVERIFY(second.waitForStarted());
    const qint64 pid = second.processId();
    LoopProbe probe(kLoopLateMs);
    probe.start();

    // The second builds its window: it opens the table first, then its port.
    QVERIFY(waitUntil([&] { return holdsDescriptorOn(pid, table); }, 60000));
    // While it comes up and runs, the first goes on measuring. Opening the port and finding it
    // taken lasts a moment; holding it would show in two samples running.
    int heldSamples = 0;
    int longestHeld = 0;
    const int recordsAtSecond = rig.records();
    QVERIFY(waitUntil(
        [&] {
          heldSamples = holdsDescriptorOn(pid, port) ? heldSamples + 1 : 0;
          longestHeld = std::max(longestHeld, heldSamples);
          return rig.records() >= recordsAtSecond + 6;
        },
        ticksMs(6) + 20000));
    QCOMPARE(second.state(), QProcess::Running);
    QVERIFY2(longestHeld < 2, "the second instance holds the port");
    QVERIFY(holdsDescriptorOn(::getpid(), port));

    // A logout ends it. It traps the signal only once its start-up, the opening of its port
    // included, is done; a normal end therefore shows that it did try the port.
    QCOMPARE(::kill(static_cast<pid_t>(pid), SIGTERM), 0);
    QVERIFY(waitUntil([&] { return second.state() == QProcess::NotRunning; }, 60000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    checkSettingsOfTheFirst(rig.dir.filePath(QStringLiteral("Kelvor.ini")), sim.path());

    // The first lost no reply and no record while the second ran, and measures on.
    QVERIFY(rig.waitForRecords(rig.records() + 2, ticksMs(2)));
    probe.stop();
    checkLoopAnswered(probe);
    const qsizetype replies = rig.terminalLines().size() - repliesBefore;
    qInfo("%lld ticks, %lld replies while the second instance lived",
          static_cast<long long>(ticks.count()), static_cast<long long>(replies));
    QVERIFY(replies >= ticks.count() - 1);
    QCOMPARE(rig.records() - recordsBefore, static_cast<int>(replies));
    checkOnlyTrueRecords(rig, kPrefilledRecords, kPrefilledMinutes);
    checkNothingReachedTheOperator(rig);

    // The first ends as the program ends; the file then holds every record, whole.
    const int records = rig.records();
    rig.program->shutdown();
    rig.program.reset();
    kelvor::SqliteDatabase file(table);
    QCOMPARE(file.queryText("PRAGMA integrity_check"), std::string("ok"));
    QCOMPARE(file.queryText("SELECT count(*) FROM Kelvor"), std::to_string(records));
    QCOMPARE(file.queryText("SELECT count(*) FROM Kelvor WHERE VOLTAGE = '11.000'"),
             std::to_string(kPrefilledRecords));
    QCOMPARE(file.queryText("SELECT count(*) FROM Kelvor WHERE VOLTAGE = '12.500'"),
             std::to_string(records - kPrefilledRecords));
    checkSettingsOfTheFirst(rig.dir.filePath(QStringLiteral("Kelvor.ini")), sim.path());
    const kelvor::ProfileFile ini(rig.dir.filePath(QStringLiteral("Kelvor.ini")).toStdString());
    QCOMPARE(settingOf(ini, kelvor::settings::kUkladani, kelvor::settings::kMinuty),
             kelvor::formatFixed(kPrefilledMinutes + (records - kPrefilledRecords) / 10.0, 6, 1));
  }
};

QTEST_MAIN(TestLoggerFaults)
#include "tst_loggerfaults.moc"
