#pragma once

#include "serial/platform/millisecondclock.h"

#include <atomic>

namespace kelvor {

// A millisecond tick that moves only when told, or when someone sleeps on it (by exactly the
// time slept). Each sleep also yields one real millisecond so that the threads around it
// keep their order without burning a core.
class FakeClock : public MillisecondClock {
public:
  explicit FakeClock(std::uint32_t start = 0) : m_now(start) {}

  std::uint32_t tickCount() override { return m_now.load(); }
  void sleep(std::uint32_t ms) override;

  void advance(std::uint32_t ms) { m_now.fetch_add(ms); }
  void set(std::uint32_t tick) { m_now.store(tick); }

private:
  std::atomic<std::uint32_t> m_now;
};

} // namespace kelvor
