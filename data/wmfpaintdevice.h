#pragma once

#include <QPaintDevice>
#include <QSize>

#include <cstdint>
#include <memory>
#include <vector>

namespace kelvor {

class WmfPaintEngine;

// A surface that turns what a QPainter draws into Windows metafile records: lines, runs of
// joined lines as polylines, rectangles, and texts as text records in the painter's font
// (Windows-1250, the East European character set). One device unit is one metafile unit;
// text is laid out at 96 dots per inch, as on the screen, whatever `unitsPerInch` says.
class WmfPaintDevice : public QPaintDevice {
public:
  WmfPaintDevice(QSize size, std::uint16_t unitsPerInch);
  ~WmfPaintDevice() override;
  WmfPaintDevice(const WmfPaintDevice&) = delete;
  WmfPaintDevice& operator=(const WmfPaintDevice&) = delete;

  QPaintEngine* paintEngine() const override;
  // The placeable metafile of everything painted so far; call it after the painter ended.
  std::vector<std::uint8_t> finish();

protected:
  int metric(PaintDeviceMetric metric) const override;

private:
  QSize m_size;
  std::unique_ptr<WmfPaintEngine> m_engine;
};

} // namespace kelvor
