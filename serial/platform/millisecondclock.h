#pragma once

#include <cstdint>

namespace kelvor {

// The millisecond tick the engine measures its delays with; it wraps after 49.7 days.
class MillisecondClock {
public:
  virtual ~MillisecondClock() = default;
  virtual std::uint32_t tickCount() = 0;
  virtual void sleep(std::uint32_t ms) = 0;
};

class SteadyMillisecondClock : public MillisecondClock {
public:
  std::uint32_t tickCount() override;
  void sleep(std::uint32_t ms) override;
};

} // namespace kelvor
