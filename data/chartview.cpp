#include "data/chartview.h"

#include "data/chartreport.h"

#include <QPainter>

namespace kelvor {
namespace {

constexpr double kScreenDotsPerMm = 96.0 / 25.4;

bool sameAxis(const ChartAxis& a, const ChartAxis& b) {
  return a.minimum == b.minimum && a.maximum == b.maximum && a.increment == b.increment &&
         a.title == b.title;
}

} // namespace

bool ChartView::PageState::operator==(const PageState& other) const {
  return size == other.size && devicePixelRatio == other.devicePixelRatio && zoom == other.zoom &&
         background == other.background && sameAxis(left, other.left) &&
         sameAxis(bottom, other.bottom) && title == other.title && color == other.color &&
         width == other.width && revision == other.revision && visible == other.visible &&
         referenceRevision == other.referenceRevision && storageInterval == other.storageInterval;
}

ChartView::ChartView(const ChartReport& report, QWidget* parent)
    : QWidget(parent), m_report(report) {}

void ChartView::setZoom(double zoom) {
  if (zoom <= 0.0 || zoom == m_zoom)
    return;
  m_zoom = zoom;
  update();
}

ChartPicture ChartView::chartPicture() const {
  const double ratio = devicePixelRatioF();
  const double dotsPerMm = m_zoom * kScreenDotsPerMm;
  const QSizeF onScreen = m_report.chartBoxMm().size() * dotsPerMm;
  return ChartPicture{(onScreen * ratio).toSize(), m_zoom * ratio, ratio};
}

ChartView::PageState ChartView::pageState() const {
  const ChartEngine& chart = m_report.chart();
  PageState state;
  state.size = size();
  state.devicePixelRatio = devicePixelRatioF();
  state.zoom = m_zoom;
  state.background = palette().window().color().rgba();
  state.left = chart.leftAxis();
  state.bottom = chart.bottomAxis();
  state.title = chart.titleLines();
  state.color = chart.series().color();
  state.width = chart.series().width();
  state.revision = chart.series().revision();
  state.visible = chart.visibleRange();
  state.referenceRevision = chart.referenceRevision();
  state.storageInterval = chart.storageInterval();
  return state;
}

void ChartView::paintPicture() {
  const double ratio = devicePixelRatioF();
  m_picture = QImage(size() * ratio, QImage::Format_RGB32);
  m_picture.setDevicePixelRatio(ratio);
  QPainter painter(&m_picture);
  painter.fillRect(rect(), palette().window());
  m_report.paintPage(painter, m_zoom * kScreenDotsPerMm);
}

void ChartView::paintEvent(QPaintEvent*) {
  PageState state = pageState();
  if (m_pictured != state) {
    paintPicture();
    m_pictured = std::move(state);
  }
  QPainter painter(this);
  painter.drawImage(QPointF(0, 0), m_picture);
}

} // namespace kelvor
