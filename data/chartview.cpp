#include "chartview.h"

#include "chartreport.h"

#include <QPainter>

namespace kelvor {
namespace {

constexpr double kScreenDotsPerMm = 96.0 / 25.4;

} // namespace

ChartView::ChartView(const ChartReport& report, QWidget* parent)
    : QWidget(parent), m_report(report) {}

void ChartView::setZoom(double zoom) {
  if (zoom <= 0.0 || zoom == m_zoom)
    return;
  m_zoom = zoom;
  update();
}

void ChartView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  m_report.paintPage(painter, m_zoom * kScreenDotsPerMm);
}

} // namespace kelvor
