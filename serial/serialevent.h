#pragma once

#include <atomic>
#include <functional>
#include <utility>

namespace kelvor {

// One event of the port: a handler bound on the event-loop thread and called there. Whether
// it is bound can be asked from any thread, so the worker hands off only what will run.
template <typename... Args> class TEvent {
public:
  using Handler = std::function<void(Args...)>;

  void bind(Handler handler) {
    m_handler = std::move(handler);
    m_assigned.store(static_cast<bool>(m_handler));
  }
  bool assigned() const { return m_assigned.load(); }
  void operator()(Args... args) const {
    if (m_handler)
      m_handler(args...);
  }

private:
  Handler m_handler;
  std::atomic<bool> m_assigned{false};
};

} // namespace kelvor
