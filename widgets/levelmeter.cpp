#include "widgets/levelmeter.h"

#include "widgets/metermath.h"

#include <QPainter>

#include <algorithm>
#include <limits>

namespace kelvor {
namespace {

// Group sums are taken wide so that extreme settings cannot overflow.
using Wide = long long;

} // namespace

int litSegmentCount(int position, const LevelGroups& g) {
  const Wide all = Wide{g.greens} + g.yellows + g.reds;
  const Wide gm = g.greens != 0 ? g.greenMax : 0;
  const Wide ym = g.yellows != 0 ? g.yellowMax : 0;
  const Wide p = position;
  Wide k = 0;
  if (p >= gm + ym + g.redMax) {
    k = all;
  } else if (p <= gm) {
    k = gm == 0 ? 0 : roundHalfEven(static_cast<double>(g.greens) / static_cast<double>(gm) * p);
  } else if (p <= gm + ym) {
    if (g.yellows == 0) {
      k = all;
    } else {
      k = g.greens + Wide{roundHalfEven(static_cast<double>(g.yellows) / static_cast<double>(ym) *
                                        static_cast<double>(p - gm))};
      if (k == g.greens)
        ++k;
    }
  } else if (g.reds == 0) {
    k = all;
  } else {
    const Wide before = Wide{g.greens} + g.yellows;
    k = before +
        roundHalfEven(static_cast<double>(g.reds) / g.redMax * static_cast<double>(p - gm - ym));
    if (k == before)
      ++k;
  }
  if (k == 0 && p != 0)
    k = 1;
  return static_cast<int>(
      std::clamp<Wide>(k, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

QRect levelSegmentRect(const LevelLayout& l, int i) {
  const int s = l.segmentLength;
  const int from = s * (i - 1);
  const int to = s * i;
  if (l.style == dsHorizontal) {
    const int cross = l.height - 1;
    if (l.direction == ddLeftUp)
      return QRect(l.width - to, 0, to - from, cross);
    return QRect(from, 0, to - from, cross);
  }
  const int cross = l.width - 1;
  if (l.direction == ddLeftUp)
    return QRect(0, l.height - to, cross, to - from);
  return QRect(0, from, cross, to - from);
}

QRect levelSeparatorRect(const LevelLayout& l, int i) {
  const int from = l.segmentLength * i - l.sepWidth;
  const int to = l.segmentLength * i + 1;
  if (l.style == dsHorizontal) {
    const int cross = l.height - 1;
    if (l.direction == ddLeftUp)
      return QRect(l.width - to, 0, to - from, cross);
    return QRect(from, 0, to - from, cross);
  }
  const int cross = l.width - 1;
  if (l.direction == ddLeftUp)
    return QRect(0, l.height - to, cross, to - from);
  return QRect(0, from, cross, to - from);
}

TLevelMeter::TLevelMeter(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(80, 17);
}

template <typename T> void TLevelMeter::assign(T& field, T value) {
  if (field == value)
    return;
  field = value;
  repaint();
}

void TLevelMeter::setBevelStyle(TBevelCut style) {
  assign(m_bevelStyle, style);
}

void TLevelMeter::setBevelWidth(int width) {
  width = std::clamp(width, 0, 255);
  if (width == 0 || width > height() / 3 || width > this->width() / 3)
    width = 1;
  assign(m_bevelWidth, width);
}

void TLevelMeter::setGreens(int count) {
  assign(m_groups.greens, count);
}
void TLevelMeter::setGreenMax(int positions) {
  assign(m_groups.greenMax, positions);
}
void TLevelMeter::setGreenColor(TColor color) {
  assign(m_greenColor, color);
}
void TLevelMeter::setGreenBack(TColor color) {
  assign(m_greenBack, color);
}
void TLevelMeter::setYellows(int count) {
  assign(m_groups.yellows, count);
}
void TLevelMeter::setYellowMax(int positions) {
  assign(m_groups.yellowMax, positions);
}
void TLevelMeter::setYellowColor(TColor color) {
  assign(m_yellowColor, color);
}
void TLevelMeter::setYellowBack(TColor color) {
  assign(m_yellowBack, color);
}
void TLevelMeter::setReds(int count) {
  assign(m_groups.reds, count);
}
void TLevelMeter::setRedMax(int positions) {
  assign(m_groups.redMax, positions);
}
void TLevelMeter::setRedColor(TColor color) {
  assign(m_redColor, color);
}
void TLevelMeter::setRedBack(TColor color) {
  assign(m_redBack, color);
}
void TLevelMeter::setShowJustOne(bool justOne) {
  assign(m_showJustOne, justOne);
}
void TLevelMeter::setSepWidth(int width) {
  assign(m_sepWidth, width);
}
void TLevelMeter::setSepColor(TColor color) {
  assign(m_sepColor, color);
}
void TLevelMeter::setMeterStyle(TLevelMeterStyle style) {
  assign(m_style, style);
}
void TLevelMeter::setDirection(TLevelMeterDirection direction) {
  assign(m_direction, direction);
}
void TLevelMeter::setPosition(int position) {
  assign(m_position, position);
}

void TLevelMeter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, paintBackBuffer());
}

const QImage& TLevelMeter::paintBackBuffer() {
  if (m_buffer.size() != size())
    m_buffer = QImage(size(), QImage::Format_RGB32);
  QPainter painter(&m_buffer);
  painter.fillRect(m_buffer.rect(), toQColor(m_sepColor));
  paintSegments(painter);
  paintBorder(painter);
  return m_buffer;
}

TColor TLevelMeter::segmentColor(int i, int lit) const {
  const bool on = i <= lit && (!m_showJustOne || i >= lit);
  if (i > m_groups.greens + m_groups.yellows)
    return on ? m_redColor : m_redBack;
  if (i > m_groups.greens)
    return on ? m_yellowColor : m_yellowBack;
  return on ? m_greenColor : m_greenBack;
}

void TLevelMeter::paintSegments(QPainter& painter) const {
  const long long all = static_cast<long long>(m_groups.greens) + m_groups.yellows + m_groups.reds;
  if (all <= 0)
    return;
  const int length = m_style == dsHorizontal ? width() : height();
  const int s = static_cast<int>(length / all);
  if (s <= 0 || m_sepWidth >= s)
    return;
  const auto n = static_cast<int>(all); // s > 0, so there are no more segments than pixels
  const LevelLayout layout{width(), height(), s, m_sepWidth, m_style, m_direction};
  const int lit = litCount();
  for (int i = 1; i <= n; ++i)
    painter.fillRect(levelSegmentRect(layout, i), toQColor(segmentColor(i, lit)));
  // The separators go on top of both neighbours: each covers the last pixels of its segment
  // and the first pixel of the next.
  if (m_sepWidth <= 0)
    return;
  const QColor separator = toQColor(m_sepColor);
  for (int i = 1; i <= n; ++i)
    painter.fillRect(levelSeparatorRect(layout, i), separator);
}

void TLevelMeter::paintBorder(QPainter& painter) const {
  const int w = width();
  const int h = height();
  int b = m_bevelStyle == bvNone ? 0 : m_bevelWidth;
  if (h / 3 < b || w / 3 < b)
    b = 1;
  if (b <= 0)
    return;
  const QColor white = toQColor(clWhite);
  const QColor gray = toQColor(clGray);
  const QColor bottomRight = m_bevelStyle == bvRaised ? gray : white;
  const QColor topLeft = m_bevelStyle == bvRaised ? white : gray;
  for (int i = 0; i < b; ++i) {
    painter.fillRect(QRect(0, h - i - 1, w - i - 1, 1), bottomRight);
    painter.fillRect(QRect(w - i - 1, 0, 1, h - i), bottomRight);
  }
  for (int i = 0; i < b; ++i) {
    painter.fillRect(QRect(i + 1, i, std::max(w - i - 1, 0), 1), topLeft);
    painter.fillRect(QRect(i, i, 1, std::max(h - b - i, 0)), topLeft);
  }
}

} // namespace kelvor
