#pragma once

#include <QByteArray>
#include <QList>
#include <QSocketNotifier>
#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <memory>

// Stands on the line between the program and the simulated logger and writes down what the
// program sent: a pseudo-terminal of its own for the program, the simulator's terminal on the
// other side, every byte passed on at once in both directions.
class PtyRelay {
public:
  explicit PtyRelay(const QString& loggerTerminal) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
      return;
    m_programTerminal = QString::fromLocal8Bit(::ptsname(m_master));
    // Held open so that the line does not hang up whenever the program closes and reopens it.
    m_keepOpen = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    m_logger = ::open(loggerTerminal.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_logger < 0)
      return;
    termios raw{};
    if (::tcgetattr(m_logger, &raw) == 0) {
      ::cfmakeraw(&raw);
      ::tcsetattr(m_logger, TCSANOW, &raw);
    }
    m_fromProgram = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    QObject::connect(m_fromProgram.get(), &QSocketNotifier::activated,
                     [this] { passOn(m_master, m_logger, &m_sent); });
    m_fromLogger = std::make_unique<QSocketNotifier>(m_logger, QSocketNotifier::Read);
    QObject::connect(m_fromLogger.get(), &QSocketNotifier::activated,
                     [this] { passOn(m_logger, m_master, &m_received); });
  }

  ~PtyRelay() {
    m_fromProgram.reset();
    m_fromLogger.reset();
    if (m_logger >= 0)
      ::close(m_logger);
    if (m_keepOpen >= 0)
      ::close(m_keepOpen);
    if (m_master >= 0)
      ::close(m_master);
  }

  PtyRelay(const PtyRelay&) = delete;
  PtyRelay& operator=(const PtyRelay&) = delete;

  bool isReady() const { return m_logger >= 0 && !m_programTerminal.isEmpty(); }
  // The device the program opens.
  const QString& programTerminal() const { return m_programTerminal; }

  // The commands the program sent so far, each without its carriage return.
  QList<QByteArray> commands() const {
    QList<QByteArray> lines = m_sent.split('\r');
    lines.removeLast();
    return lines;
  }
  qsizetype count(const QByteArray& command) const { return commands().count(command); }
  // The replies that reached the program so far (each ends with a carriage return).
  qsizetype replyCount() const { return m_received.count('\r'); }

private:
  static void passOn(int from, int to, QByteArray* log) {
    char buffer[512];
    for (;;) {
      const ssize_t n = ::read(from, buffer, sizeof buffer);
      if (n <= 0)
        return;
      if (log != nullptr)
        log->append(buffer, n);
      for (ssize_t done = 0; done < n;) {
        const ssize_t written = ::write(to, buffer + done, static_cast<std::size_t>(n - done));
        if (written <= 0)
          break;
        done += written;
      }
    }
  }

  int m_master = -1;
  int m_logger = -1;
  int m_keepOpen = -1;
  QString m_programTerminal;
  QByteArray m_sent;
  QByteArray m_received;
  std::unique_ptr<QSocketNotifier> m_fromProgram;
  std::unique_ptr<QSocketNotifier> m_fromLogger;
};
