#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>

// Measures how promptly the event loop answers: a precise timer asks every few milliseconds,
// and the longest time between two of its ticks is the longest the loop was deaf. On a busy
// machine part of such a gap is time the kernel kept the thread waiting for a processor;
// the thread's scheduler statistics tell that part, so the program's own share of a gap
// (working, or waiting on something of its own) is known apart from it.
class LoopProbe {
public:
  // Gaps of the program's own longer than `lateMs` are counted as late answers.
  explicit LoopProbe(qint64 lateMs, int intervalMs = 10)
      : m_lateMs(lateMs), m_schedstat(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(intervalMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { measure(); });
  }
  ~LoopProbe() {
    if (m_schedstat >= 0)
      ::close(m_schedstat);
  }
  LoopProbe(const LoopProbe&) = delete;
  LoopProbe& operator=(const LoopProbe&) = delete;

  void start() {
    m_worstMs = 0;
    m_worstOwnMs = 0;
    m_worstOwnEndMs = 0;
    m_lateAnswers = 0;
    m_ticks = 0;
    m_clock.start();
    resume();
  }
  // Around what the test itself does in the loop's thread (starting a process, say).
  void suspend() {
    measure();
    m_timer.stop();
  }
  void resume() {
    m_lastMs = m_clock.elapsed();
    m_lastWaitNs = runQueueWaitNs();
    m_timer.start();
  }
  void stop() { suspend(); }

  // The longest gap as the clock on the wall saw it.
  qint64 worstGapMs() const { return m_worstMs; }
  // The longest gap without the time the thread waited for a processor.
  qint64 worstOwnGapMs() const { return m_worstOwnMs; }
  // When the program's longest gap ended, counted from start().
  qint64 worstOwnGapEndMs() const { return m_worstOwnEndMs; }
  int lateAnswers() const { return m_lateAnswers; }
  int ticks() const { return m_ticks; }

private:
  // Nanoseconds this thread has spent runnable but not running.
  std::int64_t runQueueWaitNs() const {
    char text[96] = {};
    if (m_schedstat < 0 || ::pread(m_schedstat, text, sizeof text - 1, 0) <= 0)
      return 0;
    long long onCpu = 0;
    long long waiting = 0;
    return std::sscanf(text, "%lld %lld", &onCpu, &waiting) == 2 ? waiting : 0;
  }

  void measure() {
    const qint64 now = m_clock.elapsed();
    const std::int64_t waitNs = runQueueWaitNs();
    const qint64 gap = now - m_lastMs;
    const qint64 starved = (waitNs - m_lastWaitNs) / 1000000;
    m_worstMs = std::max(m_worstMs, gap);
    const qint64 own = gap - starved;
    if (own > m_worstOwnMs) {
      m_worstOwnMs = own;
      m_worstOwnEndMs = now;
    }
    if (own > m_lateMs)
      ++m_lateAnswers;
    m_lastMs = now;
    m_lastWaitNs = waitNs;
    ++m_ticks;
  }

  qint64 m_lateMs = 0;
  int m_schedstat = -1;
  QTimer m_timer;
  QElapsedTimer m_clock;
  qint64 m_lastMs = 0;
  std::int64_t m_lastWaitNs = 0;
  qint64 m_worstMs = 0;
  qint64 m_worstOwnMs = 0;
  qint64 m_worstOwnEndMs = 0;
  int m_lateAnswers = 0;
  int m_ticks = 0;
};

// Runs a real event loop, as the program's own, until `condition` holds or the time is up.
// (QTest::qWaitFor sleeps between its rounds, which would show up as a deaf loop.)
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
  if (condition())
    return true;
  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (condition() || clock.elapsed() >= timeoutMs)
      loop.quit();
  });
  check.start(20);
  loop.exec();
  return condition();
}

// Keeps the event loop running for `ms`, calling `during` every 20 ms.
inline void runFor(int ms, const std::function<void()>& during = {}) {
  QElapsedTimer clock;
  clock.start();
  waitUntil(
      [&] {
        if (during)
          during();
        return clock.elapsed() >= ms;
      },
      ms + 1000);
}
