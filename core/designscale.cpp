#include "core/designscale.h"

#include <cmath>

namespace kelvor {

int scaledDesignLength(int length, double factor) {
  const double exact = length * factor;
  const double below = std::floor(exact);
  const double rest = exact - below;
  const bool up = rest > 0.5 || (rest == 0.5 && std::fmod(below, 2.0) != 0.0);
  return static_cast<int>(up ? below + 1.0 : below);
}

} // namespace kelvor
