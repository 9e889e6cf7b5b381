#pragma once

#include "serial/eventhandoff.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace kelvor {

// A hand-off without an event loop: calls wait in a queue until the thread that created the
// hand-off (the "event-loop thread") serves them. For tests, benchmarks and tools.
class QueuedEventHandoff : public EventHandoff {
public:
  QueuedEventHandoff();

  void runOnEventThread(const std::function<void()>& call) override;
  void serveUntil(const std::function<bool()>& done) override;

  // Runs the calls waiting now; gives how many ran.
  int servePending();
  // Serves until done() is true or the time is up; gives done().
  bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // Serves for the whole time.
  void serveFor(std::chrono::milliseconds time);
  // Runs one call, waiting for it up to the limit; false when none came.
  bool serveOne(std::chrono::milliseconds limit);
  // Calls handed over and not served yet: each one's worker waits in it.
  std::size_t waitingCalls();

private:
  struct Task {
    std::function<void()> call;
    bool finished = false;
  };

  std::shared_ptr<Task> takeTask();
  void finish(const std::shared_ptr<Task>& task);

  std::thread::id m_owner;
  std::mutex m_lock;
  std::condition_variable m_arrived;
  std::condition_variable m_finished;
  std::deque<std::shared_ptr<Task>> m_tasks;
};

// Runs a call and swallows what it throws: the worker must go on whatever a handler did.
void runGuarded(const std::function<void()>& call) noexcept;

} // namespace kelvor
