#pragma once

#include <cstdint>

namespace kelvor {

// A record's time and its MINUTES and VOLTAGE read as numbers: what a walk that weighs every
// reading needs of it.
struct PlainReading {
  static constexpr std::int32_t kNoTime = -1;

  std::int32_t time = kNoTime; // seconds of the day
  double minutes = 0.0;
  double volts = 0.0;
};

} // namespace kelvor
