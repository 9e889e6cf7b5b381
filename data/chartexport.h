#pragma once

#include "data/chartengine.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <string>
#include <vector>

namespace kelvor {

// How the chart is drawn into a picture: the picture's size in device pixels, the device
// pixels per chart pixel, and the device pixels per screen pixel (the screen's scale).
struct ChartPicture {
  QSize size;
  double pixelScale = 1.0;
  double devicePixelRatio = 1.0;
};

// The chart in a picture of `picture.size` pixels, as the chart page draws it.
QImage chartImage(const ChartEngine& chart, const ChartPicture& picture);
// The chart as a 24-bit Windows bitmap; empty when the picture has no pixels.
QByteArray chartBitmap(const ChartEngine& chart, const ChartPicture& picture);

// Metafile units per device pixel: as many as keep the picture within the 16-bit
// coordinates (at most 16), so the curve keeps a sixteenth of a pixel's precision.
int metafileUnitsPerPixel(QSize size);
// The chart as a placeable Windows metafile of picture.size × metafileUnitsPerPixel units,
// sized on paper as the chart is on the screen.
std::vector<std::uint8_t> chartMetafile(const ChartEngine& chart, const ChartPicture& picture);

// Write the file whole or leave the name as it was; 0 or the errno of what failed.
[[nodiscard]] int exportChartBitmap(const ChartEngine& chart, const ChartPicture& picture,
                                    const std::string& path);
[[nodiscard]] int exportChartMetafile(const ChartEngine& chart, const ChartPicture& picture,
                                      const std::string& path);

} // namespace kelvor
