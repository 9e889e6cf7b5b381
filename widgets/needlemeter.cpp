#include "widgets/needlemeter.h"

#include <QFontMetrics>
#include <QLocale>
#include <QMetaMethod>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace kelvor {
namespace {

constexpr int kMinWidth = 52;
constexpr int kMinHeight = 37;
constexpr int kMinAngularRange = 10;
constexpr int kMaxAngularRange = 360;
constexpr int kMaxTickCount = 100;
constexpr int kMaxCaptionShift = 30;

// Our bounding boxes exclude their right and bottom edges; Qt's outlined shapes cover one
// pixel more than their QRect, so the rectangle is shrunk by that pixel.
QRect boxRect(int left, int top, int right, int bottom) {
  return {left, top, right - left - 1, bottom - top - 1};
}

// Unsigned 8-bit properties: out-of-range input is held at the type's ends.
int toByte(int value) {
  return std::clamp(value, 0, 255);
}

QPen solidPen(TColor color, int width) {
  QPen pen(toQColor(color), width);
  pen.setCapStyle(Qt::FlatCap); // flat caps leave out a line's end point
  return pen;
}

void drawSegment(QPainter& painter, MeterPoint from, MeterPoint to) {
  if (from == to)
    return;
  painter.drawLine(QPoint(from.x, from.y), QPoint(to.x, to.y));
}

} // namespace

TNeedleMeter::TNeedleMeter(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(kMinWidth, kMinHeight);
  resize(121, 117);
  adoptSize();
}

// ---- writes ----

template <typename T> void TNeedleMeter::assign(T& field, T value, Layers layers) {
  if (field == value)
    return;
  field = value;
  redraw(layers);
}

void TNeedleMeter::setCaption(const QString& caption) {
  assign(m_caption, caption.trimmed(), Layers::Foreground);
}

void TNeedleMeter::setCaptionPosition(TCaptionPos position) {
  assign(m_captionPosition, position, Layers::Both);
}

void TNeedleMeter::setCaptionVertAdj(int shift) {
  if (shift < -kMaxCaptionShift || shift > kMaxCaptionShift)
    return;
  assign(m_captionVertAdj, shift, Layers::Both);
}

void TNeedleMeter::setMin(float min) {
  if (std::isnan(min))
    return;
  min = std::min(min, m_max);
  if (min == m_min)
    return;
  const int low = lowZone();
  const int high = highZone();
  m_min = min;
  if (m_value < min)
    setValue(min);
  setLowZone(low);
  setHighZone(high);
}

void TNeedleMeter::setMax(float max) {
  if (std::isnan(max))
    return;
  max = std::max(max, m_min);
  if (max == m_max)
    return;
  const int low = lowZone();
  const int high = highZone();
  m_max = max;
  if (m_value > max)
    setValue(max);
  setLowZone(low);
  setHighZone(high);
}

void TNeedleMeter::setValue(float value) {
  if (std::isnan(value))
    return;
  value = std::clamp(value, m_min, m_max);
  if (value == m_value)
    return;
  m_previousValue = m_value;
  m_value = value;
  emit onChange(this);
  redraw(Layers::Foreground);
  raiseValueZoneEvents(m_previousValue, value);
}

void TNeedleMeter::setTickPrecision(int precision) {
  assign(m_tickPrecision, toByte(precision), Layers::Foreground);
}

void TNeedleMeter::setTickDigits(int digits) {
  assign(m_tickDigits, toByte(digits), Layers::Foreground);
}

void TNeedleMeter::setValuePrecision(int precision) {
  assign(m_valuePrecision, toByte(precision), Layers::Both);
}

void TNeedleMeter::setValueDigits(int digits) {
  assign(m_valueDigits, toByte(digits), Layers::Both);
}

void TNeedleMeter::setAngularRange(int degrees) {
  degrees = std::clamp(degrees, kMinAngularRange, kMaxAngularRange);
  if (degrees == m_angularRange)
    return;
  m_angularRange = degrees;
  m_startAngle = scaleStartAngle(degrees);
  m_layout = computeNeedleLayout(width(), height(), m_textHeight, m_startAngle);
  redraw(Layers::Both);
}

void TNeedleMeter::setTickCount(int count) {
  assign(m_tickCount, std::min(toByte(count), kMaxTickCount), Layers::Foreground);
}

int TNeedleMeter::lowZone() const {
  if (m_max == m_min)
    return 0;
  return roundHalfEven((m_lowZoneValue - m_min) * 100.0f / (m_max - m_min));
}

int TNeedleMeter::highZone() const {
  if (m_max == m_min)
    return 0;
  return roundHalfEven((m_highZoneValue - m_min) * 100.0f / (m_max - m_min));
}

void TNeedleMeter::setLowZone(int percent) {
  const auto share = static_cast<float>(std::min(toByte(percent), 100));
  setLowZoneValue(m_min + (m_max - m_min) * share / 100.0f);
}

void TNeedleMeter::setHighZone(int percent) {
  const auto share = static_cast<float>(std::min(toByte(percent), 100));
  setHighZoneValue(m_min + (m_max - m_min) * share / 100.0f);
}

void TNeedleMeter::setLowZoneValue(float value) {
  if (std::isnan(value))
    return;
  value = std::clamp(value, m_min, m_max);
  if (value > m_highZoneValue)
    m_highZoneValue = value;
  const float old = m_lowZoneValue;
  m_lowZoneValue = value;
  redraw(Layers::Both);
  if (!m_enableZoneEvents)
    return;
  if (m_value >= old && m_value < value)
    emit onFallBelowLow(this);
  if (m_value < old && m_value >= value)
    emit onRiseAboveLow(this);
}

void TNeedleMeter::setHighZoneValue(float value) {
  if (std::isnan(value))
    return;
  value = std::clamp(value, m_min, m_max);
  if (value < m_lowZoneValue)
    m_lowZoneValue = value;
  const float old = m_highZoneValue;
  m_highZoneValue = value;
  redraw(Layers::Both);
  if (!m_enableZoneEvents)
    return;
  if (m_value >= old && m_value < value)
    emit onFallBelowHigh(this);
  if (m_value < old && m_value >= value)
    emit onRiseAboveHigh(this);
}

void TNeedleMeter::setHighZoneColor(TColor color) {
  assign(m_highZoneColor, color, Layers::Both);
}

void TNeedleMeter::setLowZoneColor(TColor color) {
  assign(m_lowZoneColor, color, Layers::Both);
}

void TNeedleMeter::setOKZoneColor(TColor color) {
  assign(m_okZoneColor, color, Layers::Both);
}

void TNeedleMeter::setKnobSize(int size) {
  assign(m_knobSize, toByte(size), Layers::Foreground);
}

void TNeedleMeter::setNeedleWidth(int width) {
  assign(m_needleWidth, toByte(width), Layers::Foreground);
}

void TNeedleMeter::setTickColor(TColor color) {
  assign(m_tickColor, color, Layers::Foreground);
}

void TNeedleMeter::setShowTicks(bool show) {
  assign(m_showTicks, show, Layers::Both);
}

void TNeedleMeter::setShowTicksScale(bool show) {
  assign(m_showTicksScale, show, Layers::Both);
}

void TNeedleMeter::setShowZones(bool show) {
  assign(m_showZones, show, Layers::Both);
}

void TNeedleMeter::setShowFrame(bool show) {
  assign(m_showFrame, show, Layers::Both);
}

void TNeedleMeter::setShowValue(bool show) {
  assign(m_showValue, show, Layers::Both);
}

void TNeedleMeter::setColor(TColor color) {
  assign(m_color, color, Layers::Both);
}

void TNeedleMeter::setMeterFont(const QFont& font) {
  if (&font == &m_font)
    return;
  m_font = font;
  m_textHeight = QFontMetrics(m_font, &m_buffer).height();
  if (m_showValue || m_showTicksScale || !m_caption.isEmpty())
    redraw(Layers::Both);
}

void TNeedleMeter::setMeterFontAttributes(const QFont& font) {
  if (font == m_font)
    return;
  m_font = font;
  redraw(Layers::Both);
}

void TNeedleMeter::setFontColor(TColor color) {
  assign(m_fontColor, color, Layers::Both);
}

// ---- events ----

bool TNeedleMeter::isBound(void (TNeedleMeter::*signal)(TNeedleMeter*)) const {
  return isSignalConnected(QMetaMethod::fromSignal(signal));
}

void TNeedleMeter::raiseValueZoneEvents(float previous, float current) {
  if (!m_enableZoneEvents)
    return;
  const float low = m_lowZoneValue;
  const float high = m_highZoneValue;
  const bool riseHigh =
      isBound(&TNeedleMeter::onRiseAboveHigh) && previous < high && high <= current;
  const bool fallLow = isBound(&TNeedleMeter::onFallBelowLow) && previous >= low && low > current;
  if (fallLow)
    emit onFallBelowLow(this);
  if (riseHigh)
    emit onRiseAboveHigh(this);
  if (fallLow || riseHigh)
    return;
  if (isBound(&TNeedleMeter::onFallBelowHigh) && previous >= high && high > current)
    emit onFallBelowHigh(this);
  if (isBound(&TNeedleMeter::onRiseAboveLow) && previous < low && low <= current)
    emit onRiseAboveLow(this);
}

void TNeedleMeter::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  adoptSize();
}

void TNeedleMeter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, m_buffer);
}

// ---- drawing ----

// A hidden widget learns its new size only when it is shown; writes made before that
// adopt the size themselves so that the buffer always matches the control.
void TNeedleMeter::adoptSize() {
  if (m_buffer.size() == size())
    return;
  emit onResize(this);
  m_layout = computeNeedleLayout(width(), height(), m_textHeight, m_startAngle);
  m_buffer = QImage(size(), QImage::Format_RGB32);
  paintBackground();
  paintForeground();
}

void TNeedleMeter::redraw(Layers layers) {
  adoptSize();
  if (layers == Layers::Both)
    paintBackground();
  paintForeground();
  repaint();
}

float TNeedleMeter::angleOf(float value) const {
  return scaleAngle(value, m_min, m_max, m_angularRange);
}

MeterPoint TNeedleMeter::pointAt(int a, int b, float theta) const {
  const MeterPoint offset = ellipseOffset(a, b, theta);
  return {m_layout.cx + offset.x, m_layout.cy + offset.y};
}

TColor TNeedleMeter::outlineColor() const {
  return m_color == clBtnShadow ? cl3DLight : clBtnShadow;
}

TColor TNeedleMeter::zoneColor(Zone zone) const {
  switch (zone) {
  case Zone::Low:
    return m_lowZoneColor;
  case Zone::High:
    return m_highZoneColor;
  case Zone::OK:
    break;
  }
  return m_okZoneColor;
}

TColor TNeedleMeter::knobColor() const {
  if (m_lowZoneValue > m_min && m_value <= m_lowZoneValue)
    return m_lowZoneColor;
  if (m_highZoneValue < m_max && m_value >= m_highZoneValue)
    return m_highZoneColor;
  return m_okZoneColor;
}

QString TNeedleMeter::fixedPoint(float value, int precision, int digits) const {
  const std::string separator = QLocale().decimalPoint().toStdString();
  return QString::fromStdString(formatFixedPoint(value, precision, digits, separator));
}

QString TNeedleMeter::valueText(float value) const {
  return fixedPoint(value, m_valuePrecision, m_valueDigits);
}

std::vector<float> TNeedleMeter::tickValues() const {
  std::vector<float> values;
  if (m_tickCount <= 1)
    return values;
  const auto last = static_cast<float>(m_tickCount - 1);
  for (int i = 0; i < m_tickCount; ++i)
    values.push_back(m_min + (m_max - m_min) * static_cast<float>(i) / last);
  return values;
}

QStringList TNeedleMeter::tickLabels() const {
  QStringList labels;
  for (float v : tickValues())
    labels << fixedPoint(v, m_tickPrecision, m_tickDigits);
  return labels;
}

void TNeedleMeter::paintBackground() {
  QPainter painter(&m_buffer);
  painter.fillRect(m_buffer.rect(), toQColor(m_color));
  if (!m_showZones)
    return;
  const NeedleLayout& l = m_layout;
  painter.setPen(solidPen(outlineColor(), 2));
  const QRect box = boxRect(l.cx - l.rx, l.cy - l.ry, l.cx + l.rx, l.cy + l.ry);
  for (const ZoneSector& sector :
       zoneSectors(m_min, m_max, m_lowZoneValue, m_highZoneValue, m_angularRange)) {
    painter.setBrush(toQColor(zoneColor(sector.zone)));
    const QtArc arc = qtEllipseArc(l.rx, l.ry, sector.from, sector.to);
    painter.drawPie(box, arc.start16, arc.span16);
  }
}

void TNeedleMeter::paintForeground() {
  QPainter painter(&m_buffer);
  // Without smoothing, redrawing a text in the face colour erases it completely.
  painter.setRenderHint(QPainter::TextAntialiasing, false);
  painter.setFont(m_font);
  paintFace(painter);
  if (m_showTicks && m_tickCount > 1)
    paintTicks(painter);
  if (m_showTicksScale && m_tickCount > 1)
    paintTickLabels(painter);
  if (!m_caption.isEmpty())
    paintCaption(painter);
  if (m_showValue)
    paintValueText(painter, m_previousValue, m_color);
  paintNeedleAndKnob(painter);
  if (m_showValue)
    paintValueText(painter, m_value, m_fontColor);
  if (m_showFrame)
    paintFrame(painter);
}

void TNeedleMeter::paintFace(QPainter& painter) const {
  const NeedleLayout& l = m_layout;
  painter.setBrush(Qt::NoBrush);
  painter.setPen(solidPen(outlineColor(), 2));
  if (m_showZones) {
    const QtArc arc = qtEllipseArc(l.irx, l.iry, m_startAngle, 360.0f - m_startAngle);
    painter.drawArc(boxRect(l.cx - l.irx, l.cy - l.iry, l.cx + l.irx, l.cy + l.iry), arc.start16,
                    arc.span16);
  }
  painter.setPen(solidPen(m_color, 2));
  painter.setBrush(toQColor(m_color));
  painter.drawEllipse(
      boxRect(l.cx - l.irx + 2, l.cy - l.iry + 2, l.cx + l.irx - 2, l.cy + l.iry - 2));
}

void TNeedleMeter::paintTicks(QPainter& painter) const {
  const NeedleLayout& l = m_layout;
  const int t = (width() + height()) / 35;
  painter.setPen(solidPen(m_tickColor, 1));
  for (float v : tickValues()) {
    const float theta = angleOf(v);
    drawSegment(painter, pointAt(l.irx, l.iry, theta), pointAt(l.irx - t, l.iry - t, theta));
  }
}

void TNeedleMeter::paintTickLabels(QPainter& painter) const {
  const NeedleLayout& l = m_layout;
  const int t = (width() + height()) / 35;
  const QFontMetrics metrics(m_font, &m_buffer);
  painter.setPen(toQColor(m_tickColor));
  for (float v : tickValues()) {
    const QString text = fixedPoint(v, m_tickPrecision, m_tickDigits);
    const float theta = angleOf(v);
    const MeterPoint anchor = pointAt(l.irx - t, l.iry - t, theta);
    const MeterPoint corner =
        tickLabelTopLeft(anchor, metrics.horizontalAdvance(text), metrics.height(), theta);
    painter.drawText(corner.x, corner.y + metrics.ascent(), text);
  }
}

void TNeedleMeter::paintCaption(QPainter& painter) const {
  const NeedleLayout& l = m_layout;
  const QFontMetrics metrics(m_font, &m_buffer);
  const int cw = metrics.horizontalAdvance(m_caption);
  const int ch = metrics.height();
  int top = 0;
  if (m_captionPosition == cpBottom) {
    const int middle =
        (width() + height()) / 40 + l.cy + height() - m_textHeight - 2 - (l.ry - l.iry);
    top = middle / 2 + m_captionVertAdj - ch / 2;
  } else {
    top = ((l.cy - l.m) + (l.cy - l.iry - 1)) / 2 + m_captionVertAdj;
  }
  const int left = l.cx - cw / 2;
  painter.fillRect(QRect(left, top, cw, ch), toQColor(m_color));
  painter.setPen(toQColor(m_fontColor));
  painter.drawText(left, top + metrics.ascent(), m_caption);
}

void TNeedleMeter::paintValueText(QPainter& painter, float value, TColor color) const {
  const QFontMetrics metrics(m_font, &m_buffer);
  const QString text = valueText(value);
  const int left = m_layout.cx - metrics.horizontalAdvance(text) / 2;
  const int top = height() - m_layout.m - m_textHeight - 1;
  painter.setPen(toQColor(color));
  painter.drawText(left, top + metrics.ascent(), text);
}

void TNeedleMeter::paintNeedleAndKnob(QPainter& painter) const {
  const NeedleLayout& l = m_layout;
  const int inset = m_needleWidth + 1;
  painter.setPen(solidPen(m_tickColor, m_needleWidth));
  drawSegment(painter, {l.cx, l.cy}, pointAt(l.irx - inset, l.iry - inset, angleOf(m_value)));
  const int k = m_knobSize * (width() + height()) / 400;
  if (k <= 0)
    return;
  painter.setPen(solidPen(clBtnShadow, 3));
  painter.setBrush(Qt::NoBrush);
  painter.drawEllipse(boxRect(l.cx - k + 1, l.cy - k, l.cx + k + 1, l.cy + k));
  const TColor knob = knobColor();
  painter.setPen(solidPen(knob, 1));
  painter.setBrush(toQColor(knob));
  painter.drawEllipse(boxRect(l.cx - k, l.cy - k, l.cx + k, l.cy + k));
}

void TNeedleMeter::paintFrame(QPainter& painter) const {
  const int w = width();
  const int h = height();
  const QColor shadow = toQColor(clBtnShadow);
  const QColor highlight = toQColor(clBtnHighlight);
  painter.fillRect(QRect(0, 1, 1, h - 1), shadow);        // left edge, upward to the corner
  painter.fillRect(QRect(0, 0, w - 1, 1), shadow);        // top edge
  painter.fillRect(QRect(w - 1, 0, 1, h - 1), highlight); // right edge
  painter.fillRect(QRect(1, h - 1, w - 1, 1), highlight); // bottom edge, back to the left
}

} // namespace kelvor
