#pragma once

#include <functional>

namespace kelvor {

// How the worker gets a call run on the event-loop thread.
class EventHandoff {
public:
  virtual ~EventHandoff() = default;

  // Runs the call on the event-loop thread and returns once it has returned. Called on the
  // event-loop thread itself, it runs the call at once. An exception the call throws ends
  // the call and goes no further.
  virtual void runOnEventThread(const std::function<void()>& call) = 0;

  // On the event-loop thread: runs every hand-off that arrives until done() is true. Used
  // while waiting for a worker, so a worker in the middle of a hand-off can always finish.
  virtual void serveUntil(const std::function<bool()>& done) = 0;
};

} // namespace kelvor
