#pragma once

#include "data/core/numbertext.h"

#include <string>

namespace kelvor::bench {

// The records the table-command benchmarks and their floors work on: minutes 0.000 to
// 999.999, so an interval window bound ("999.9") can cut anywhere in them.
inline std::string rowMinutes(int n) {
  return formatFixed(n / 1000.0, 8, 3);
}

inline std::string rowVoltage(int n) {
  return formatFixed(1.0 + (n % 1000) / 1000.0, 6, 3);
}

// The interval selection keeps minutes 333.3 to 666.6: a middle third.
inline constexpr int kSelectionLowerThousandths = 333300;
inline constexpr int kSelectionUpperThousandths = 666600;

} // namespace kelvor::bench
