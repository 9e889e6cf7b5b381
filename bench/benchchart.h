#pragma once

#include "data/chartengine.h"
#include "data/core/numbertext.h"

#include <QSizeF>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace kelvor::bench {

// Records as the table stores them: VOLTAGE "%6.3f" and MINUTES "%6.1f" texts.
inline std::vector<std::pair<std::string, std::string>> measurementTexts(int count) {
  std::vector<std::pair<std::string, std::string>> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const double volts = 12.6 - 1.5 * i / count + 0.05 * std::sin(i * 0.01);
    rows.emplace_back(formatFixed(volts, 6, 3), formatFixed(i * 0.1, 6, 1));
  }
  return rows;
}

inline void fillChart(ChartEngine& chart,
                      const std::vector<std::pair<std::string, std::string>>& rows) {
  ChartSeries& series = chart.series();
  series.clear();
  series.reserve(rows.size(), rows.size() * 6);
  double position = 0.0;
  for (const auto& [voltage, minutes] : rows) {
    series.addPoint(position, strToFloat(voltage), minutes);
    position += 1.0;
  }
}

// The chart the paint benchmark and its floor draw: `count` records over the whole bottom
// axis, the voltage axis 10 to 13 V, on a window-sized picture.
inline constexpr QSizeF kPaintedChartSize(1280, 720);

inline void fillPaintedChart(ChartEngine& chart, int count) {
  fillChart(chart, measurementTexts(count));
  chart.bottomAxis().maximum = count;
  chart.leftAxis() = ChartAxis{10.0, 13.0, 0.5, chart.leftAxis().title};
}

} // namespace kelvor::bench
