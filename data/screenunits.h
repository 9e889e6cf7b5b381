#pragma once

namespace kelvor {

// The screen resolution the designed sizes (pixels, fonts) refer to.
inline constexpr double kScreenDpi = 96.0;
inline constexpr double kMmPerInch = 25.4;

} // namespace kelvor
