#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <utility>

// The simulated logger's control FIFO, seen from a test. A line counts as sent once the
// simulator has acknowledged it in the file beside the FIFO, so the next step of a test runs
// against the behaviour it asked for, however long the simulator took to get to the line.
class ControlChannel {
public:
  explicit ControlChannel(QString fifoPath) : m_fifo(std::move(fifoPath)) {}

  // Sends one line, such as "hold 9" or "silent on", and waits, with the event loop running,
  // until it is in force. False when it could not be written, was not acknowledged in time,
  // or the simulator did not understand it.
  bool send(const QByteArray& line, int timeoutMs = 20000) {
    if (!post(line))
      return false;
    bool obeyed = false;
    const bool taken = QTest::qWaitFor(
        [&] {
          const auto [count, ok] = acknowledged();
          obeyed = ok;
          return count >= m_sent;
        },
        timeoutMs);
    return taken && obeyed;
  }

  // Sends one line without waiting for it, for a line such as "quit" that ends the simulator
  // and its acknowledgement with it.
  bool post(const QByteArray& line) {
    const QByteArray text = line + '\n';
    const int fd = ::open(QFile::encodeName(m_fifo).constData(), O_WRONLY | O_NONBLOCK);
    if (fd < 0)
      return false;
    const bool written = ::write(fd, text.constData(), static_cast<std::size_t>(text.size())) ==
                         static_cast<ssize_t>(text.size());
    ::close(fd);
    if (written)
      ++m_sent;
    return written;
  }

  QString ackPath() const { return m_fifo + QStringLiteral(".ack"); }

private:
  // The count of lines taken so far and whether the last one was obeyed.
  std::pair<long, bool> acknowledged() const {
    QFile file(ackPath());
    if (!file.open(QIODevice::ReadOnly))
      return {0, false};
    const QList<QByteArray> fields = file.readLine().split(' ');
    if (fields.size() < 2)
      return {0, false};
    return {fields[0].toLong(), fields[1] == "ok"};
  }

  QString m_fifo;
  long m_sent = 0;
};
