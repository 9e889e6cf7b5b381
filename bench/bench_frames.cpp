#include "widgets/multibevel.h"

#include <QPainter>
#include <QWidget>

#include <benchmark/benchmark.h>

using namespace kelvor;

namespace {

// The needle meter's frame of the METERS page, with its border made semi-transparent so that
// every border pixel is blended with what lies beneath.
void setUpSemiTransparentFrame(TMultiBevel& frame) {
  frame.setGeometry(72, 96, 281, 193);
  frame.setBevelWidth(5);
  frame.setBorderWidth(5);
  frame.setColor(clBlack);
  frame.setTransparence(TTransparence::trSemi);
}

// One paint as the screen sees it: what lies beneath is rendered, the frame is drawn over it
// and its pixels are put on the widget. A control beneath the frame's upper edge makes the
// background uneven, so the border is blended pixel by pixel.
void BM_MultiBevelPaint(benchmark::State& state) {
  QWidget page;
  page.resize(800, 600);
  page.setAutoFillBackground(true);
  auto* beneath = new QWidget(&page);
  beneath->setGeometry(100, 90, 120, 40);
  beneath->setAutoFillBackground(true);
  QPalette palette = beneath->palette();
  palette.setColor(QPalette::Window, Qt::darkCyan);
  beneath->setPalette(palette);
  auto* frame = new TMultiBevel(&page);
  setUpSemiTransparentFrame(*frame);
  QImage target(frame->size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter painter(&target);
    frame->render(&painter, QPoint(), QRegion(), QWidget::RenderFlags());
    painter.end();
    benchmark::DoNotOptimize(target.constBits());
  }
}
BENCHMARK(BM_MultiBevelPaint)->Unit(benchmark::kMicrosecond);

// The frame's own arithmetic alone, over an image of what lies beneath.
void BM_MultiBevelPaintFrame(benchmark::State& state) {
  TMultiBevel frame;
  setUpSemiTransparentFrame(frame);
  QImage beneath(frame.size(), QImage::Format_RGB32);
  for (int x = 0; x < beneath.width(); ++x)
    for (int y = 0; y < beneath.height(); ++y)
      beneath.setPixel(x, y, qRgb(x % 256, 128, y % 256));
  for (auto _ : state) {
    QImage surface = beneath.copy();
    frame.paintFrame(surface);
    benchmark::DoNotOptimize(surface.constBits());
  }
}
BENCHMARK(BM_MultiBevelPaintFrame)->Unit(benchmark::kMicrosecond);

} // namespace
