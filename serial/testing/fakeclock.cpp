#include "serial/testing/fakeclock.h"

#include <chrono>
#include <thread>

namespace kelvor {

void FakeClock::sleep(std::uint32_t ms) {
  advance(ms);
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace kelvor
