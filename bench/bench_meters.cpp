#include "widgets/levelmeter.h"
#include "widgets/needlemeter.h"

#include <QCoreApplication>
#include <QFont>

#include <benchmark/benchmark.h>

namespace {

using namespace kelvor;

// A shown control whose window the platform has taken up, so that repaint() really paints.
void showForPainting(QWidget& widget) {
  widget.show();
  QCoreApplication::processEvents();
}

// The needle meter as the METERS page shows it.
void setUpNeedleMeter1(TNeedleMeter& meter) {
  meter.resize(217, 137);
  meter.setMax(15.0f);
  meter.setMin(10.0f);
  meter.setValue(10.0f);
  meter.setCaption(QStringLiteral("[ V ]"));
  meter.setAngularRange(180);
  meter.setTickCount(6);
  meter.setTickDigits(0);
  meter.setLowZoneValue(11.0f);
  meter.setHighZoneValue(14.0f);
  meter.setOKZoneColor(clLime);
  meter.setShowValue(false);
  meter.setColor(clWhite);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(13);
  font.setBold(true);
  meter.setMeterFontAttributes(font);
  meter.setShowTicksScale(true);
}

void BM_NeedleMeterValue(benchmark::State& state) {
  TNeedleMeter meter;
  setUpNeedleMeter1(meter);
  showForPainting(meter);
  bool high = false;
  for (auto _ : state) {
    high = !high;
    meter.setValue(high ? 13.7f : 11.2f);
  }
}
BENCHMARK(BM_NeedleMeterValue);

void BM_LevelMeterPaint(benchmark::State& state) {
  TLevelMeter meter;
  meter.resize(201, 33);
  meter.setGreens(10);
  meter.setGreenMax(10);
  meter.setGreenColor(clYellow);
  meter.setYellows(30);
  meter.setYellowMax(30);
  meter.setYellowColor(clLime);
  meter.setReds(10);
  meter.setRedMax(10);
  meter.setPosition(27);
  showForPainting(meter);
  for (auto _ : state)
    meter.repaint();
}
BENCHMARK(BM_LevelMeterPaint);

} // namespace
