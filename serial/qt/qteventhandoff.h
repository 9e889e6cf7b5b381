#pragma once

#include "serial/eventhandoff.h"

#include <QObject>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace kelvor {

// Hands the worker's calls to the Qt event loop of the thread that created the adapter and
// blocks the worker until the call has returned there. A waiting call can also be run by
// serveUntil(), so the thread that destroys a port keeps the worker moving while it waits
// for it (a blocking queued connection plus a wait would deadlock there).
class QtEventHandoff : public EventHandoff {
public:
  QtEventHandoff();
  ~QtEventHandoff() override;
  QtEventHandoff(const QtEventHandoff&) = delete;
  QtEventHandoff& operator=(const QtEventHandoff&) = delete;

  void runOnEventThread(const std::function<void()>& call) override;
  void serveUntil(const std::function<bool()>& done) override;

private:
  struct Task {
    std::function<void()> call;
    bool taken = false;
    bool finished = false;
  };

  void runIfWaiting(const std::shared_ptr<Task>& task);
  std::shared_ptr<Task> takeNext();
  void run(const std::shared_ptr<Task>& task);

  std::mutex m_lock;
  std::condition_variable m_changed;
  std::deque<std::shared_ptr<Task>> m_waiting;
  // Last, so that it goes first: calls still posted to it are dropped with it.
  std::unique_ptr<QObject> m_context;
};

} // namespace kelvor
