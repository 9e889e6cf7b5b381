#pragma once

namespace kelvor {

// Positions, sizes and font sizes are pixels of an 800-pixel-wide design, scaled once by the
// ratio of the screen's width to 800: the main window and its pages, the grid's columns and
// the interval selection window alike.
inline constexpr int kDesignWidth = 800;

inline double designScaleFactor(int screenWidth) {
  return screenWidth / double(kDesignWidth);
}

// A designed length on the screen: the nearest whole pixel, halves to the even neighbour.
int scaledDesignLength(int length, double factor);

} // namespace kelvor
