#pragma once

#include <QByteArray>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <utility>

// The far end of a pseudo-terminal, played by the test itself: it sees the exact bytes the
// program writes and answers with whatever bytes a case needs.
class PtyPeer {
public:
  PtyPeer() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
      return;
    if (const char* name = ::ptsname(m_master))
      m_path = QString::fromLocal8Bit(name);
  }
  ~PtyPeer() {
    if (m_master >= 0)
      ::close(m_master);
  }
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  const QString& path() const { return m_path; }

  // Waits, with the event loop running, until `count` bytes have come since the last take.
  bool waitForBytes(qsizetype count, int timeoutMs = 3000) {
    return QTest::qWaitFor(
        [this, count] {
          readWaiting();
          return m_received.size() >= count;
        },
        timeoutMs);
  }
  // What has come so far, emptying the record.
  QByteArray take() {
    readWaiting();
    return std::exchange(m_received, QByteArray());
  }

  bool reply(const QByteArray& bytes) const { return offer(bytes) == bytes.size(); }
  // Writes what the terminal takes now of `bytes`: a full terminal takes fewer or none.
  qsizetype offer(const QByteArray& bytes) const {
    const ssize_t taken =
        ::write(m_master, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return taken > 0 ? static_cast<qsizetype>(taken) : 0;
  }

private:
  void readWaiting() {
    char buffer[512];
    ssize_t n = 0;
    while ((n = ::read(m_master, buffer, sizeof buffer)) > 0)
      m_received.append(buffer, n);
  }

  int m_master = -1;
  QString m_path;
  QByteArray m_received;
};
