#include "widgets/progressgauge.h"

#include <QEvent>
#include <QPainter>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>

namespace kelvor {
namespace {

// A rectangle by its edges; right and bottom are the first column and row outside.
struct Edges {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

int nearest(double value) {
  return int(std::nearbyint(value));
}

QRect toQRect(int left, int top, int right, int bottom) {
  return QRect(left, top, right - left, bottom - top);
}

void fillEdges(QImage& image, int left, int top, int right, int bottom, QRgb color) {
  const QRect area = toQRect(left, top, right, bottom).intersected(image.rect());
  for (int y = area.top(); y <= area.bottom(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    std::fill(line + area.left(), line + area.right() + 1, color);
  }
}

// A one-pixel line without its end point.
void drawLine(QImage& image, QPoint from, QPoint to, QRgb color) {
  const int dx = std::abs(to.x() - from.x());
  const int dy = -std::abs(to.y() - from.y());
  const int stepX = from.x() < to.x() ? 1 : -1;
  const int stepY = from.y() < to.y() ? 1 : -1;
  int error = dx + dy;
  QPoint p = from;
  while (p != to) {
    if (image.rect().contains(p))
      image.setPixel(p, color);
    const int doubled = 2 * error;
    if (doubled >= dy) {
      error += dy;
      p.rx() += stepX;
    }
    if (doubled <= dx) {
      error += dx;
      p.ry() += stepY;
    }
  }
}

// The ellipse inside the box whose right and bottom edges are excluded, as an aliased one-pixel
// outline sees it.
QRect ellipseBox(int left, int top, int right, int bottom) {
  return QRect(left, top, right - left - 1, bottom - top - 1);
}

QPainter& preparePainter(QPainter& painter, TColor pen, TColor brush) {
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(toQColor(pen), 1));
  painter.setBrush(toQColor(brush));
  return painter;
}

struct LookColors {
  QRgb fore;
  QRgb back;
  QRgb around;
};

void drawHorizontalBar(QImage& overlay, Edges r, int rw, int rh, int percent, const LookColors& c) {
  fillEdges(overlay, r.left, r.top, r.right, r.bottom, c.back);
  const int n = std::min(gaugeShare(percent, rw), rw);
  if (n > 0)
    fillEdges(overlay, r.left, r.top, n, rh, c.fore);
}

void drawVerticalBar(QImage& overlay, Edges r, int rw, int rh, int percent, const LookColors& c) {
  fillEdges(overlay, r.left, r.top, r.right, r.bottom, c.back);
  int n = gaugeShare(percent, rh);
  if (n >= rh)
    n = rh - 1;
  fillEdges(overlay, r.left, rh - n, rw, rh, c.fore);
}

// The pie's start point lies on the ellipse at a = (percent / 50 + 0.5) π; its parametric
// angle from three o'clock, counterclockwise, is where Qt's pie begins, and the slice runs
// on to twelve o'clock.
void drawPie(QImage& overlay, Edges r, int w, int h, int percent, TColor fore, TColor back,
             QRgb around) {
  fillEdges(overlay, r.left, r.top, r.right, r.bottom, around);
  const QRect box = ellipseBox(r.left, r.top, w, h);
  QPainter painter(&overlay);
  preparePainter(painter, fore, back).drawEllipse(box);
  if (percent <= 0)
    return;
  const int mx = w / 2;
  const int my = h / 2;
  const double a = (percent / 50.0 + 0.5) * std::numbers::pi;
  const int x = nearest(mx * (1 - std::cos(a)));
  const int y = nearest(my * (1 - std::sin(a)));
  const double startDegrees =
      std::atan2(mx > 0 && my > 0 ? double(my - y) / my : 1.0, mx > 0 ? double(x - mx) / mx : 0.0) *
      180 / std::numbers::pi;
  double span = 90 - startDegrees;
  while (span <= 0.0)
    span += 360;
  while (span > 360.0)
    span -= 360;
  painter.setBrush(toQColor(fore));
  painter.drawPie(box, nearest(startDegrees * 16), nearest(span * 16));
}

void drawNeedle(QImage& overlay, Edges r, int w, int h, int percent, TColor fore, TColor back,
                QRgb around) {
  fillEdges(overlay, r.left, r.top, r.right, r.bottom, around);
  {
    QPainter painter(&overlay);
    preparePainter(painter, fore, back)
        .drawPie(ellipseBox(r.left, r.top, w, 2 * h - 1), 0, 180 * 16);
  }
  const QRgb foreRgb = toQColor(fore).rgb();
  drawLine(overlay, QPoint(r.left, r.bottom), QPoint(r.left + w, r.bottom), foreRgb);
  if (percent <= 0)
    return;
  const int cx = overlay.width() / 2;
  const double a = percent / 100.0 * std::numbers::pi;
  const QPoint tip(nearest((1 - std::cos(a)) * cx), nearest((1 - std::sin(a)) * (r.bottom - 1)));
  drawLine(overlay, QPoint(cx, r.bottom - 1), tip, foreRgb);
}

void combineByXor(QImage& image, const QImage& overlay) {
  for (int y = 0; y < image.height(); ++y) {
    auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
    const auto* source = reinterpret_cast<const QRgb*>(overlay.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      target[x] = ((target[x] ^ source[x]) & 0x00FFFFFF) | 0xFF000000;
  }
}

QImage blackImage(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::black);
  return image;
}

} // namespace

int gaugePercent(int progress, int minValue, int maxValue) {
  if (maxValue == minValue)
    return 0;
  const std::int64_t done = std::int64_t(progress) - minValue;
  const std::int64_t range = std::int64_t(maxValue) - minValue;
  return int(done * 100 / range);
}

int gaugeShare(int percent, int length) {
  return int(length * (percent * 0.01));
}

TProgressGauge::TProgressGauge(QWidget* parent) : QWidget(parent) {
  if (parent)
    m_color = fromQColor(parent->palette().color(parent->backgroundRole()));
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(100, 100);
}

template <typename T> void TProgressGauge::setAndRepaint(T& stored, T value) {
  if (value == stored)
    return;
  stored = value;
  repaint();
}

void TProgressGauge::setKind(TProgressGaugeKind kind) {
  setAndRepaint(m_kind, kind);
}
void TProgressGauge::setShowText(bool show) {
  setAndRepaint(m_showText, show);
}
void TProgressGauge::setBorderStyle(TBorderStyle style) {
  setAndRepaint(m_borderStyle, style);
}
void TProgressGauge::setForeColor(TColor color) {
  setAndRepaint(m_foreColor, color);
}
void TProgressGauge::setBackColor(TColor color) {
  setAndRepaint(m_backColor, color);
}
void TProgressGauge::setColor(TColor color) {
  setAndRepaint(m_color, color);
}

void TProgressGauge::setMinValue(int value) {
  if (value == m_minValue)
    return;
  if (value > m_maxValue)
    throw EGaugeRangeError("Value must be between -2147483647 and " +
                           std::to_string(std::int64_t(m_maxValue) - 1));
  m_minValue = value;
  if (m_progress < value)
    m_progress = value;
  repaint();
}

void TProgressGauge::setMaxValue(int value) {
  if (value == m_maxValue)
    return;
  if (value < m_minValue)
    throw EGaugeRangeError("Value must be between " + std::to_string(std::int64_t(m_minValue) + 1) +
                           " and 2147483647");
  m_maxValue = value;
  if (m_progress > value)
    m_progress = value;
  repaint();
}

void TProgressGauge::setProgress(int value) {
  value = std::clamp(value, m_minValue, m_maxValue);
  if (value == m_progress)
    return;
  const int percentBefore = percentDone();
  m_progress = value;
  if (percentDone() != percentBefore)
    repaint();
}

QImage TProgressGauge::renderImage() const {
  const int inset = m_borderStyle == TBorderStyle::bsSingle ? 1 : 0;
  const Edges r{inset, inset, width() - inset, height() - inset};
  const int rw = r.right - r.left + 1;
  const int rh = r.bottom - r.top + 1;
  const int w = r.right - r.left + inset;
  const int h = r.bottom - r.top + inset;
  const int percent = percentDone();
  const LookColors colors{toQColor(m_foreColor).rgb(), toQColor(m_backColor).rgb(),
                          toQColor(m_color).rgb()};

  QImage image = blackImage(size());
  QImage overlay = blackImage(size());
  switch (m_kind) {
  case TProgressGaugeKind::gkText:
    fillEdges(overlay, r.left, r.top, r.right, r.bottom, colors.back);
    break;
  case TProgressGaugeKind::gkHorizontalBar:
    drawHorizontalBar(overlay, r, rw, rh, percent, colors);
    break;
  case TProgressGaugeKind::gkVerticalBar:
    drawVerticalBar(overlay, r, rw, rh, percent, colors);
    break;
  case TProgressGaugeKind::gkPie:
    drawPie(overlay, r, w, h, percent, m_foreColor, m_backColor, colors.around);
    break;
  case TProgressGaugeKind::gkNeedle:
    drawNeedle(overlay, r, w, h, percent, m_foreColor, m_backColor, colors.around);
    break;
  }
  combineByXor(image, overlay);

  if (m_showText) {
    // Without antialiasing every text pixel is pure white, so the exclusive-or inverts exactly.
    QFont textFont = font();
    textFont.setStyleStrategy(QFont::NoAntialias);
    const QFontMetrics metrics(textFont);
    const QString text = QString::asprintf("%d%%", percent);
    const int x = (rw - metrics.horizontalAdvance(text)) / 2;
    const int y = (rh - metrics.height()) / 2;
    QImage textImage = blackImage(size());
    QPainter painter(&textImage);
    painter.setClipRect(toQRect(r.left, r.top, r.right, r.bottom));
    painter.setFont(textFont);
    painter.setPen(Qt::white);
    painter.drawText(QPoint(x, y + metrics.ascent()), text);
    painter.end();
    combineByXor(image, textImage);
  }
  return image;
}

void TProgressGauge::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, renderImage());
}

void TProgressGauge::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange)
    repaint();
}

} // namespace kelvor
