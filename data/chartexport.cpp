#include "data/chartexport.h"

#include "data/core/wholefile.h"
#include "data/screenunits.h"
#include "data/wmfpaintdevice.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace kelvor {
namespace {

constexpr double kInchesPerMetre = 1.0 / 0.0254;
constexpr int kMaxMetafileCoordinate = 32767;
constexpr int kMaxUnitsPerPixel = 16;
constexpr qsizetype kBitmapHeadersBytes = 14 + 40;

} // namespace

QImage chartImage(const ChartEngine& chart, const ChartPicture& picture) {
  QImage image(picture.size, QImage::Format_RGB32);
  if (image.isNull())
    return image;
  const int dotsPerMetre =
      static_cast<int>(std::lround(kScreenDpi * picture.devicePixelRatio * kInchesPerMetre));
  image.setDotsPerMeterX(dotsPerMetre);
  image.setDotsPerMeterY(dotsPerMetre);
  QPainter painter(&image);
  chart.paint(painter, QRectF(QPointF(0, 0), QSizeF(picture.size)), picture.pixelScale);
  return image;
}

// Qt's writer stores an image of 32 bits per pixel as a 24-bit bitmap with the plain
// 40-byte information header, rows padded to 4 bytes: the form every viewer opens.
QByteArray chartBitmap(const ChartEngine& chart, const ChartPicture& picture) {
  const QImage image = chartImage(chart, picture);
  QByteArray bytes;
  if (image.isNull())
    return bytes;
  const qsizetype rowBytes = (qsizetype{image.width()} * 3 + 3) / 4 * 4;
  bytes.reserve(kBitmapHeadersBytes + rowBytes * image.height());
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "BMP");
  if (!writer.write(image))
    bytes.clear();
  return bytes;
}

int metafileUnitsPerPixel(QSize size) {
  const int longest = std::max({1, size.width(), size.height()});
  return std::clamp(kMaxMetafileCoordinate / longest, 1, kMaxUnitsPerPixel);
}

std::vector<std::uint8_t> chartMetafile(const ChartEngine& chart, const ChartPicture& picture) {
  const int units = metafileUnitsPerPixel(picture.size);
  const QSize size = picture.size * units;
  const auto unitsPerInch = static_cast<std::uint16_t>(
      std::clamp(std::lround(kScreenDpi * picture.devicePixelRatio * units), 1L, 65535L));
  WmfPaintDevice device(size, unitsPerInch);
  {
    QPainter painter(&device);
    chart.paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), picture.pixelScale * units);
  }
  return device.finish();
}

int exportChartBitmap(const ChartEngine& chart, const ChartPicture& picture,
                      const std::string& path) {
  const QByteArray bytes = chartBitmap(chart, picture);
  if (bytes.isEmpty())
    return EIO;
  return writeWholeFile(
      path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

int exportChartMetafile(const ChartEngine& chart, const ChartPicture& picture,
                        const std::string& path) {
  return writeWholeFile(path, chartMetafile(chart, picture));
}

} // namespace kelvor
