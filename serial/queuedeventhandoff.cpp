#include "serial/queuedeventhandoff.h"

namespace kelvor {

namespace {
constexpr auto kServeSlice = std::chrono::milliseconds(5);
}

void runGuarded(const std::function<void()>& call) noexcept {
  try {
    call();
  } catch (...) {
    // A handler's failure stays with the handler; the engine never raises.
    return;
  }
}

QueuedEventHandoff::QueuedEventHandoff() : m_owner(std::this_thread::get_id()) {}

void QueuedEventHandoff::runOnEventThread(const std::function<void()>& call) {
  if (std::this_thread::get_id() == m_owner) {
    runGuarded(call);
    return;
  }
  auto task = std::make_shared<Task>();
  task->call = call;
  std::unique_lock lock(m_lock);
  m_tasks.push_back(task);
  m_arrived.notify_all();
  m_finished.wait(lock, [&] { return task->finished; });
}

std::shared_ptr<QueuedEventHandoff::Task> QueuedEventHandoff::takeTask() {
  std::lock_guard lock(m_lock);
  if (m_tasks.empty())
    return nullptr;
  auto task = m_tasks.front();
  m_tasks.pop_front();
  return task;
}

void QueuedEventHandoff::finish(const std::shared_ptr<Task>& task) {
  std::lock_guard lock(m_lock);
  task->finished = true;
  m_finished.notify_all();
}

std::size_t QueuedEventHandoff::waitingCalls() {
  std::lock_guard lock(m_lock);
  return m_tasks.size();
}

int QueuedEventHandoff::servePending() {
  int served = 0;
  while (auto task = takeTask()) {
    runGuarded(task->call);
    finish(task);
    ++served;
  }
  return served;
}

bool QueuedEventHandoff::serveUntil(const std::function<bool()>& done,
                                    std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    servePending();
    if (done())
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::unique_lock lock(m_lock);
    m_arrived.wait_for(lock, kServeSlice, [this] { return !m_tasks.empty(); });
  }
}

void QueuedEventHandoff::serveUntil(const std::function<bool()>& done) {
  while (!serveUntil(done, std::chrono::hours(1))) {
  }
}

bool QueuedEventHandoff::serveOne(std::chrono::milliseconds limit) {
  {
    std::unique_lock lock(m_lock);
    if (!m_arrived.wait_for(lock, limit, [this] { return !m_tasks.empty(); }))
      return false;
  }
  const std::shared_ptr<Task> task = takeTask();
  runGuarded(task->call);
  finish(task);
  return true;
}

void QueuedEventHandoff::serveFor(std::chrono::milliseconds time) {
  serveUntil([] { return false; }, time);
}

} // namespace kelvor
