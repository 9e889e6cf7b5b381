#include "serial/platform/millisecondclock.h"

#include <chrono>
#include <thread>

namespace kelvor {

std::uint32_t SteadyMillisecondClock::tickCount() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void SteadyMillisecondClock::sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace kelvor
