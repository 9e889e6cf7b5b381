#include "serial/qt/qteventhandoff.h"

#include "serial/queuedeventhandoff.h"

#include <QThread>

#include <algorithm>
#include <chrono>

namespace kelvor {

namespace {
constexpr auto kServeSlice = std::chrono::milliseconds(5);
}

QtEventHandoff::QtEventHandoff() : m_context(std::make_unique<QObject>()) {}

QtEventHandoff::~QtEventHandoff() = default;

void QtEventHandoff::runOnEventThread(const std::function<void()>& call) {
  if (QThread::currentThread() == m_context->thread()) {
    runGuarded(call);
    return;
  }
  auto task = std::make_shared<Task>();
  task->call = call;
  {
    std::lock_guard lock(m_lock);
    m_waiting.push_back(task);
    m_changed.notify_all();
  }
  QMetaObject::invokeMethod(
      m_context.get(), [this, task] { runIfWaiting(task); }, Qt::QueuedConnection);
  std::unique_lock lock(m_lock);
  m_changed.wait(lock, [&] { return task->finished; });
}

// The posted call finds its task already run when serveUntil() got there first.
void QtEventHandoff::runIfWaiting(const std::shared_ptr<Task>& task) {
  {
    std::lock_guard lock(m_lock);
    if (task->taken)
      return;
    task->taken = true;
    m_waiting.erase(std::find(m_waiting.begin(), m_waiting.end(), task));
  }
  run(task);
}

std::shared_ptr<QtEventHandoff::Task> QtEventHandoff::takeNext() {
  std::lock_guard lock(m_lock);
  if (m_waiting.empty())
    return nullptr;
  auto task = m_waiting.front();
  m_waiting.pop_front();
  task->taken = true;
  return task;
}

void QtEventHandoff::run(const std::shared_ptr<Task>& task) {
  runGuarded(task->call);
  std::lock_guard lock(m_lock);
  task->finished = true;
  m_changed.notify_all();
}

void QtEventHandoff::serveUntil(const std::function<bool()>& done) {
  for (;;) {
    while (auto task = takeNext())
      run(task);
    if (done())
      return;
    std::unique_lock lock(m_lock);
    m_changed.wait_for(lock, kServeSlice, [this] { return !m_waiting.empty(); });
  }
}

} // namespace kelvor
