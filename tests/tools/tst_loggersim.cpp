#include "instrument/core/eepromwrite.h"
#include "instrument/core/loggerprotocol.h"
#include "tests/support/controlchannel.h"
#include "tests/support/filebytes.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <memory>

using namespace kelvor;

namespace {

// The simulator on one side of its pseudo-terminal, this test on the other.
class Logger {
public:
  explicit Logger(const QStringList& arguments) {
    m_process.setProgram(QStringLiteral(KELVOR_LOGGER_SIM));
    m_process.setArguments(arguments);
    m_process.start();
    if (!m_process.waitForStarted(5000))
      return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
    }
    m_path = QString::fromUtf8(m_process.readLine()).trimmed();
    m_fd = ::open(m_path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd >= 0) {
      termios raw{};
      ::tcgetattr(m_fd, &raw);
      ::cfmakeraw(&raw);
      ::tcsetattr(m_fd, TCSANOW, &raw);
    }
  }
  ~Logger() {
    if (m_fd >= 0)
      ::close(m_fd);
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
      m_process.kill();
  }
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  bool isOpen() const { return m_fd >= 0; }
  // Waits until the simulator has said `text` on its error stream since the last such wait.
  bool waitForMessage(const QByteArray& text, int timeoutMs = 20000) {
    const bool said = QTest::qWaitFor(
        [&] {
          m_messages += m_process.readAllStandardError();
          return m_messages.contains(text);
        },
        timeoutMs);
    m_messages.remove(0, m_messages.indexOf(text) + text.size());
    return said;
  }
  qint64 pid() const { return m_process.processId(); }
  QProcess& process() { return m_process; }

  void sendRaw(const QByteArray& bytes) const {
    QCOMPARE(::write(m_fd, bytes.constData(), static_cast<std::size_t>(bytes.size())),
             static_cast<ssize_t>(bytes.size()));
  }
  void send(std::string_view command) const {
    sendRaw(QByteArray(command.data(), static_cast<qsizetype>(command.size())) + '\r');
  }

  // Reads until `lines` terminators have arrived or `timeoutMs` have passed.
  QByteArray readLines(int lines, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QByteArray data;
    while (data.count('\r') < lines && clock.elapsed() < timeoutMs) {
      pollfd fd{m_fd, POLLIN, 0};
      const int ready = ::poll(&fd, 1, static_cast<int>(timeoutMs - clock.elapsed()));
      if (ready <= 0)
        continue;
      if (fd.revents & (POLLHUP | POLLERR)) {
        m_hungUp = true;
        break;
      }
      char buffer[512];
      const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
      if (n > 0)
        data.append(buffer, n);
    }
    return data;
  }
  QByteArray ask(std::string_view command, int lines = 1, int timeoutMs = 2000) {
    send(command);
    return readLines(lines, timeoutMs);
  }
  // Waits for the line to hang up; true when it did.
  bool waitForHangUp(int timeoutMs) {
    readLines(1000, timeoutMs);
    return m_hungUp;
  }

private:
  QProcess m_process;
  QString m_path;
  QByteArray m_messages;
  int m_fd = -1;
  bool m_hungUp = false;
};

QList<QByteArray> rowsOf(const QByteArray& data) {
  QList<QByteArray> rows = data.split('\r');
  rows.removeLast(); // what follows the last terminator
  return rows;
}

std::string_view view(const QByteArray& bytes) {
  return {bytes.constData(), static_cast<std::size_t>(bytes.size())};
}

unsigned address(const QByteArray& aktAdrReply) {
  return aktAdrReply.mid(aktAdrReply.indexOf(':') + 1).trimmed().toUInt(nullptr, 16);
}

// Asks for the write address until it lies beyond `than`; the logger records on its own
// clock, which a loaded machine can leave behind for a while.
bool addressMovesBeyond(Logger& logger, unsigned than) {
  return QTest::qWaitFor([&] { return address(logger.ask(kAktAdr)) > than; }, 20000);
}

} // namespace

class TestLoggerSim : public QObject {
  Q_OBJECT

private slots:
  void presentValueReply();
  void commandsAcrossWritesAndLineFeeds();
  void eepromRowCountDrivesTheReadout();
  void recordingFollowsItsOwnClock();
  void calibrationConstantRoundTrip();
  void serviceReplies();
  void outputIsPacedAtTheLineSpeed();
  void rowsBackToBack();
  void silenceDelayAndNoise();
  void splitReplies();
  void controlFifoAndSignals();
  void hangUp();
};

void TestLoggerSim::presentValueReply() {
  Logger held({"--hold-volts", "12.3456"});
  QVERIFY(held.isOpen());
  const QByteArray reply = held.ask(kValDir);
  QCOMPARE(reply.size(), 18);
  QVERIFY(reply.endsWith('\r'));
  const ReplyField cut = cutReplyField(kValDir, view(reply));
  QCOMPARE(cut.field, std::string(" 12.3456"));
  QCOMPARE(readPresentValue(cut.field), std::optional<double>(12.3456));

  Logger fresh({"--noise-volts", "0"}); // a fresh battery starts near 12.8 V
  QVERIFY(fresh.isOpen());
  const auto volts = readPresentValue(cutReplyField(kValDir, view(fresh.ask(kValDir))).field);
  QVERIFY(volts);
  QVERIFY2(*volts > 12.7 && *volts <= 12.8, qPrintable(QString::number(*volts)));
}

void TestLoggerSim::commandsAcrossWritesAndLineFeeds() {
  Logger logger({"--hold-volts", "11"});
  QVERIFY(logger.isOpen());
  logger.sendRaw("#VAL");
  QVERIFY(logger.readLines(1, 200).isEmpty());
  logger.sendRaw("-DIR\r\n@VER-PRG\r");
  const QList<QByteArray> replies = rowsOf(logger.readLines(2, 2000));
  QCOMPARE(replies.size(), 2);
  QCOMPARE(readPresentValue(cutReplyField(kValDir, view(replies[0] + '\r')).field),
           std::optional<double>(11.0));
  QVERIFY(replies[1].contains("SIM"));
}

void TestLoggerSim::eepromRowCountDrivesTheReadout() {
  Logger logger({"--memory-rows", "50", "--rows", "100", "--row-gap", "10", "--no-record"});
  QVERIFY(logger.isOpen());
  QVERIFY(logger.ask("@W03F005").endsWith("OK\r"));
  QVERIFY(logger.ask("@W03F100").endsWith("OK\r"));
  QVERIFY(!logger.ask(kBegMem).isEmpty());

  const QList<QByteArray> rows = rowsOf(logger.ask(kValMul, 6, 1500));
  QCOMPARE(rows.size(), 5);
  for (const QByteArray& row : rows) {
    QCOMPARE(row.size(), 25);
    const ReplyField cut = cutReplyField(kValMul, view(row + '\r'));
    QCOMPARE(cut.field.size(), std::size_t{8});
    const auto volts = readPresentValue(cut.field);
    QVERIFY(volts && *volts > 10.0 && *volts < 13.0);
  }
  // The read pointer moves on; @BEG-MEM rewinds it.
  const QList<QByteArray> next = rowsOf(logger.ask(kValMul, 5, 1500));
  QCOMPARE(next.size(), 5);
  QVERIFY(next.first() != rows.first());
  logger.ask(kBegMem);
  QCOMPARE(rowsOf(logger.ask(kValMul, 5, 1500)).first(), rows.first());
}

void TestLoggerSim::recordingFollowsItsOwnClock() {
  // 6 s of the logger's clock pass in 10 ms.
  Logger logger({"--memory-rows", "0", "--interval", "6", "--speed", "600"});
  QVERIFY(logger.isOpen());
  QVERIFY(addressMovesBeyond(logger, 0x4000));

  logger.ask(kDisTim);
  const unsigned stopped = address(logger.ask(kAktAdr));
  // What is tested is the passing of the logger's own time: 200 ms are 20 of its intervals.
  // The logger brings its clock up to date before each answer, so a late turn cannot hide a
  // record.
  QTest::qWait(200);
  QCOMPARE(address(logger.ask(kAktAdr)), stopped);

  logger.ask(kEnaTim);
  QVERIFY(addressMovesBeyond(logger, stopped));

  logger.ask(kDisTim);
  QVERIFY(logger.ask(kZerMem).contains("OK"));
  QCOMPARE(address(logger.ask(kAktAdr)), 0x4000U);
  logger.ask(kBegMem);
  QVERIFY(logger.ask(kValMul, 1, 500).isEmpty()); // an empty memory sends no rows
}

void TestLoggerSim::calibrationConstantRoundTrip() {
  Logger logger({});
  QVERIFY(logger.isOpen());
  QCOMPARE(logger.ask(kKalKon), QByteArray("KON: 1.000000\r"));
  EepromWrite write;
  write.start(60, "  2.5        ", 180);
  for (;;) {
    const auto tick = write.tick();
    QVERIFY(logger.ask(tick.command).endsWith("OK\r"));
    if (tick.finished)
      break;
  }
  QCOMPARE(logger.ask(kKalKon), QByteArray("KON: 2.500000\r"));
  const QList<QByteArray> dump = rowsOf(logger.ask(kHexMem, 3));
  QCOMPARE(dump.size(), 3);
  QVERIFY(dump[0].startsWith("03E0:"));
  QCOMPARE(dump[0].split(' ').at(1 + 0xA), QByteArray("36"));
  QCOMPARE(dump[1].split(' ').mid(1, 2), (QList<QByteArray>{"B4", "00"}));
  QCOMPARE(dump[2].split(' ').mid(1, 4), (QList<QByteArray>{"00", "00", "20", "40"}));
}

void TestLoggerSim::serviceReplies() {
  Logger logger({"--serial", "AB-42"});
  QVERIFY(logger.isOpen());
  QCOMPARE(logger.ask("XYZ"), QByteArray("ERR\r"));
  QCOMPARE(logger.ask("@w03ea06"), QByteArray("ERR\r")); // addresses are upper case
  QCOMPARE(logger.ask("@W03EA0"), QByteArray("ERR\r"));
  QVERIFY(logger.ask(kVyrCis).contains("AB-42"));
  const QByteArray frequency = logger.ask(kFreDir);
  QVERIFY(frequency.startsWith("F[Hz]:"));
  QVERIFY(logger.ask(kValMem).size() == 26);
  QVERIFY(logger.ask("", 1, 200).isEmpty()); // an empty line is no command
  for (std::string_view command : {kVerPrg, kFreMem, kEnaTim}) {
    const QByteArray reply = logger.ask(command);
    QVERIFY(reply.endsWith('\r'));
    QCOMPARE(reply.count('\r'), 1);
    QVERIFY(reply != "ERR\r");
  }
}

void TestLoggerSim::outputIsPacedAtTheLineSpeed() {
  Logger logger({"--baud", "1200", "--hold-volts", "12"});
  QVERIFY(logger.isOpen());
  QElapsedTimer clock;
  clock.start();
  const QByteArray reply = logger.ask(kValDir);
  QCOMPARE(reply.size(), 18);
  // 18 bytes of 10 bits at 1200 Bd take 150 ms; the first byte leaves at once.
  QVERIFY2(clock.elapsed() >= 140, qPrintable(QString::number(clock.elapsed())));
}

void TestLoggerSim::rowsBackToBack() {
  Logger logger({"--rows-back-to-back", "40", "--memory-rows", "10"});
  QVERIFY(logger.isOpen());
  QElapsedTimer clock;
  clock.start();
  const QList<QByteArray> rows = rowsOf(logger.ask(kValMul, 40, 5000));
  QCOMPARE(rows.size(), 40);
  for (const QByteArray& row : rows)
    QCOMPARE(row.size(), 25);
  QCOMPARE(rows[39].left(5), QByteArray("R0040")); // beyond the memory the rows go on
  QVERIFY2(clock.elapsed() >= 500, qPrintable(QString::number(clock.elapsed()))); // 1040 B
}

void TestLoggerSim::silenceDelayAndNoise() {
  {
    Logger silent({"--silent"});
    QVERIFY(silent.isOpen());
    QVERIFY(silent.ask(kValDir, 1, 400).isEmpty());
  }
  {
    Logger late({"--delay", "400"});
    QVERIFY(late.isOpen());
    late.send(kValDir);
    QVERIFY(late.readLines(1, 250).isEmpty());
    QCOMPARE(late.readLines(1, 2000).size(), 18);
  }
  {
    Logger noisy({"--noise"});
    QVERIFY(noisy.isOpen());
    const QByteArray reply = noisy.ask(kValDir);
    QCOMPARE(reply.size(), 18);
    QVERIFY(reply.endsWith('\r'));
    QVERIFY(!reply.startsWith("U[V]:"));
    QVERIFY(!readPresentValue(cutReplyField(kValDir, view(reply)).field));
  }
}

void TestLoggerSim::splitReplies() {
  Logger logger({"--split", "800", "--hold-volts", "12"});
  QVERIFY(logger.isOpen());
  logger.send(kValDir);
  const QByteArray first = logger.readLines(1, 400);
  QCOMPARE(first, QByteArray("U[V]:    "));
  QCOMPARE(first + logger.readLines(1, 2000), QByteArray("U[V]:    12.0000 \r"));
}

void TestLoggerSim::controlFifoAndSignals() {
  QTemporaryDir dir;
  const QString fifo = dir.filePath("control");
  Logger logger({"--control", fifo, "--hold-volts", "12"});
  QVERIFY(logger.isOpen());
  ControlChannel control(fifo);
  QVERIFY(control.send("silent on"));
  QVERIFY(logger.ask(kValDir, 1, 300).isEmpty());
  QVERIFY(control.send("silent off"));
  QVERIFY(control.send("hold 9.5"));
  QCOMPARE(readPresentValue(cutReplyField(kValDir, view(logger.ask(kValDir))).field),
           std::optional<double>(9.5));
  // A line it does not know is taken, and said to be unknown.
  QVERIFY(!control.send("sing"));
  QVERIFY(readFile(control.ackPath()).startsWith("4 unknown sing"));

  ::kill(static_cast<pid_t>(logger.pid()), SIGUSR1);
  QVERIFY(logger.waitForMessage("silent on"));
  QVERIFY(logger.ask(kValDir, 1, 300).isEmpty());
  ::kill(static_cast<pid_t>(logger.pid()), SIGUSR1);
  QVERIFY(logger.waitForMessage("silent off"));
  QCOMPARE(logger.ask(kValDir).size(), 18);

  QVERIFY(control.post("quit"));
  QTRY_COMPARE_WITH_TIMEOUT(logger.process().state(), QProcess::NotRunning, 20000);
  QCOMPARE(logger.process().exitCode(), 0);
  QVERIFY(!QFile::exists(fifo)); // removed again, as the simulator made it
  QVERIFY(!QFile::exists(control.ackPath()));
}

void TestLoggerSim::hangUp() {
  Logger afterOne({"--hangup-after", "1"});
  QVERIFY(afterOne.isOpen());
  QCOMPARE(afterOne.ask(kVerPrg).count('\r'), 1);
  QVERIFY(afterOne.waitForHangUp(2000));

  Logger bySignal({});
  QVERIFY(bySignal.isOpen());
  ::kill(static_cast<pid_t>(bySignal.pid()), SIGUSR2);
  QVERIFY(bySignal.waitForHangUp(2000));
}

QTEST_GUILESS_MAIN(TestLoggerSim)
#include "tst_loggersim.moc"
