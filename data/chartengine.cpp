#include "data/chartengine.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLineF>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace kelvor {
namespace {

constexpr double kMargin = 10.0;
constexpr double kGap = 6.0;
constexpr double kTickLength = 4.0;
constexpr double kLabelGap = 2.0;
// Labels keep at least this share of their own size free between each other.
constexpr double kLabelSeparation = 0.2;
constexpr double kRightMarginShare = 0.03;
constexpr int kMaxLeftLabels = 1000;
// Coordinates are kept within a distance the rasteriser handles; the line itself is cut to
// the plot before it is drawn.
constexpr double kFarAway = 1.0e9;

QFont titleFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(27);
  font.setBold(true);
  font.setUnderline(true);
  return font;
}

QFont axisFont() {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(19);
  font.setBold(true);
  return font;
}

QString groupThousands(std::uint64_t whole) {
  QString digits = QString::number(whole);
  for (qsizetype pos = digits.size() - 3; pos > 0; pos -= 3)
    digits.insert(pos, QLatin1Char(','));
  return digits;
}

double niceStepAtLeast(double minimum) {
  const double power = std::pow(10.0, std::floor(std::log10(minimum)));
  for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (factor * power >= minimum * (1.0 - 1e-12))
      return factor * power;
  }
  return 10.0 * power;
}

// Cuts the segment a-b to the rows top..bottom; false when nothing of it lies there.
bool clipToRows(QPointF& a, QPointF& b, double top, double bottom) {
  double enter = 0.0;
  double leave = 1.0;
  const double dy = b.y() - a.y();
  for (const auto& [distance, direction] :
       {std::pair{a.y() - top, -dy}, std::pair{bottom - a.y(), dy}}) {
    if (direction == 0.0) {
      if (distance < 0.0)
        return false;
      continue;
    }
    const double t = distance / direction;
    if (direction < 0.0)
      enter = std::max(enter, t);
    else
      leave = std::min(leave, t);
  }
  if (enter > leave)
    return false;
  const QPointF delta = b - a;
  const QPointF start = enter > 0.0 ? a + delta * enter : a;
  const QPointF end = leave < 1.0 ? a + delta * leave : b;
  a = start;
  b = end;
  return true;
}

// Cuts the segment a-b to the columns left..right; false when nothing of it lies there.
bool clipToColumns(QPointF& a, QPointF& b, double left, double right) {
  QPointF ta = a.transposed();
  QPointF tb = b.transposed();
  if (!clipToRows(ta, tb, left, right))
    return false;
  a = ta.transposed();
  b = tb.transposed();
  return true;
}

// floor((x - origin) * pixelsPerUnit) without a library call: this runs once per point.
std::int64_t pixelColumn(double x, double origin, double pixelsPerUnit) {
  const double position = std::clamp((x - origin) * pixelsPerUnit, -kFarAway, kFarAway);
  const auto truncated = static_cast<std::int64_t>(position);
  return static_cast<double>(truncated) > position ? truncated - 1 : truncated;
}

double axisSpan(const ChartAxis& axis) {
  const double span = axis.maximum - axis.minimum;
  return span > 0.0 ? span : 1.0;
}

} // namespace

QString formatAxisValue(double value) {
  if (!std::isfinite(value))
    return QString::number(value);
  const double thousandths = std::round(std::fabs(value) * 1000.0);
  if (thousandths >= 9.0e18)
    return QString::number(value, 'f', 1);
  const auto scaled = static_cast<std::uint64_t>(thousandths);
  QString decimals = QStringLiteral("%1").arg(scaled % 1000, 3, 10, QLatin1Char('0'));
  while (decimals.size() > 1 && decimals.endsWith(QLatin1Char('0')))
    decimals.chop(1);
  const QString sign = (value < 0.0 && scaled != 0) ? QStringLiteral("-") : QString();
  return sign + groupThousands(scaled / 1000) + QLatin1Char('.') + decimals;
}

void ChartSeries::clear() {
  m_x.clear();
  m_y.clear();
  m_labelText.clear();
  m_labelEnd.clear();
  ++m_revision;
}

void ChartSeries::reserve(std::size_t count, std::size_t labelBytes) {
  m_y.reserve(count);
  if (labelBytes > 0) {
    m_labelEnd.reserve(count);
    m_labelText.reserve(labelBytes);
  }
}

void ChartSeries::keepOwnX(double x) {
  if (m_x.empty()) {
    m_x.reserve(m_y.capacity());
    for (std::size_t i = 0; i < m_y.size(); ++i)
      m_x.push_back(static_cast<double>(i));
  }
  m_x.push_back(x);
}

void ChartSeries::addPoint(double x, double y, std::string_view label) {
  if (count() > 0 && x < this->x(count() - 1))
    throw std::invalid_argument("chart points must be added in ascending x order");
  if (!m_x.empty() || x != static_cast<double>(count()))
    keepOwnX(x);
  m_labelEnd.resize(count(), m_labelText.size());
  m_y.push_back(static_cast<float>(y));
  m_labelText.append(label);
  m_labelEnd.push_back(m_labelText.size());
}

void ChartSeries::addPositionalPoint(double y) {
  if (!m_x.empty())
    keepOwnX(static_cast<double>(count()));
  m_y.push_back(static_cast<float>(y));
}

void ChartSeries::addPositionalPoints(std::span<const float> ys) {
  if (!m_x.empty()) {
    for (const float y : ys)
      addPositionalPoint(y);
    return;
  }
  m_y.insert(m_y.end(), ys.begin(), ys.end());
}

void ChartSeries::setLabelSource(LabelSource source) {
  m_labelSource = std::move(source);
  ++m_revision;
}

std::string ChartSeries::label(std::size_t index) const {
  if (index < m_labelEnd.size()) {
    const std::size_t begin = index == 0 ? 0 : m_labelEnd[index - 1];
    return m_labelText.substr(begin, m_labelEnd[index] - begin);
  }
  return m_labelSource ? m_labelSource(index) : std::string();
}

std::size_t ChartSeries::lowerBound(double x, std::size_t from, std::size_t end) const {
  if (m_x.empty()) {
    if (std::isnan(x) || x <= static_cast<double>(from))
      return from;
    if (x > static_cast<double>(end))
      return end;
    return std::clamp(static_cast<std::size_t>(std::ceil(x)), from, end);
  }
  const auto found = std::lower_bound(m_x.begin() + static_cast<std::ptrdiff_t>(from),
                                      m_x.begin() + static_cast<std::ptrdiff_t>(end), x);
  return static_cast<std::size_t>(found - m_x.begin());
}

std::size_t ChartSeries::upperBound(double x, std::size_t from, std::size_t end) const {
  if (m_x.empty()) {
    if (std::isnan(x) || x >= static_cast<double>(end))
      return end;
    if (x < static_cast<double>(from))
      return from;
    return std::clamp(static_cast<std::size_t>(std::floor(x)) + 1, from, end);
  }
  const auto found = std::upper_bound(m_x.begin() + static_cast<std::ptrdiff_t>(from),
                                      m_x.begin() + static_cast<std::ptrdiff_t>(end), x);
  return static_cast<std::size_t>(found - m_x.begin());
}

std::vector<std::size_t> reduceToPixelColumns(const std::vector<double>& xs,
                                              const std::vector<double>& ys, std::size_t begin,
                                              std::size_t end, double origin,
                                              double pixelsPerUnit) {
  std::vector<std::size_t> kept;
  if (begin < end) {
    const double columns = (xs[end - 1] - xs[begin]) * pixelsPerUnit + 2.0;
    kept.reserve(std::min<std::size_t>(end - begin,
                                       static_cast<std::size_t>(std::min(columns, kFarAway)) * 4));
  }
  std::size_t first = begin;
  while (first < end) {
    const std::int64_t column = pixelColumn(xs[first], origin, pixelsPerUnit);
    const auto inColumn = [&](std::size_t index) {
      return pixelColumn(xs[index], origin, pixelsPerUnit) == column;
    };
    // The x values ascend, so the column's points are found by galloping, not one by one.
    std::size_t inside = first;
    std::size_t step = 1;
    while (step < end - inside && inColumn(inside + step)) {
      inside += step;
      step *= 2;
    }
    std::size_t outside = std::min(end, inside + step);
    while (outside - inside > 1) {
      const std::size_t middle = inside + (outside - inside) / 2;
      (inColumn(middle) ? inside : outside) = middle;
    }
    const std::size_t last = inside;
    std::size_t lowest = first;
    std::size_t highest = first;
    double low = ys[first];
    double high = ys[first];
    for (std::size_t i = first + 1; i <= last; ++i) {
      const double y = ys[i];
      if (y < low) {
        low = y;
        lowest = i;
      }
      if (y > high) {
        high = y;
        highest = i;
      }
    }
    for (const std::size_t index :
         {first, std::min(lowest, highest), std::max(lowest, highest), last}) {
      if (kept.empty() || kept.back() != index)
        kept.push_back(index);
    }
    first = last + 1;
  }
  return kept;
}

const std::vector<std::size_t>& ColumnReduction::reduce(const ChartSeries& series,
                                                        std::size_t begin, std::size_t end,
                                                        double origin, double pixelsPerUnit) {
  const bool sameBasis = m_valid && m_revision == series.revision() && m_begin == begin &&
                         m_origin == origin && m_pixelsPerUnit == pixelsPerUnit && m_end <= end;
  if (!sameBasis)
    restart(series, begin, origin, pixelsPerUnit);
  if (m_end < end) {
    for (std::size_t i = m_end; i < end; ++i)
      addPoint(series, i);
    m_end = end;
    keepLastColumn(series);
  }
  return m_kept;
}

void ColumnReduction::restart(const ChartSeries& series, std::size_t begin, double origin,
                              double pixelsPerUnit) {
  m_revision = series.revision();
  m_begin = begin;
  m_end = begin;
  m_origin = origin;
  m_pixelsPerUnit = pixelsPerUnit;
  m_valid = true;
  m_hasColumn = false;
  m_kept.clear();
  m_keptPoints.clear();
  m_keptBeforeLast = 0;
}

void ColumnReduction::addPoint(const ChartSeries& series, std::size_t index) {
  const std::int64_t pixel = pixelColumn(series.x(index), m_origin, m_pixelsPerUnit);
  if (!m_hasColumn || pixel != m_last.pixel) {
    keepLastColumn(series);
    m_keptBeforeLast = m_kept.size();
    m_last = Column{pixel, index, index, index, index};
    m_hasColumn = true;
    return;
  }
  const double y = series.y(index);
  if (y < series.y(m_last.lowest))
    m_last.lowest = index;
  if (y > series.y(m_last.highest))
    m_last.highest = index;
  m_last.last = index;
}

void ColumnReduction::keepLastColumn(const ChartSeries& series) {
  if (!m_hasColumn)
    return;
  m_kept.resize(m_keptBeforeLast);
  m_keptPoints.resize(m_keptBeforeLast);
  for (const std::size_t index : {m_last.first, std::min(m_last.lowest, m_last.highest),
                                  std::max(m_last.lowest, m_last.highest), m_last.last}) {
    if (m_kept.empty() || m_kept.back() != index) {
      m_kept.push_back(index);
      m_keptPoints.emplace_back(series.x(index), series.y(index));
    }
  }
}

ChartEngine::ChartEngine() {
  m_titleLines = QStringList{QString::fromUtf8(kDesignedChartTitle)};
  m_leftAxis = ChartAxis{0.0, 20.0, 0.0, QString::fromUtf8(kLeftAxisTitle)};
  m_bottomAxis = ChartAxis{0.0, 60.0, 0.0, QString::fromUtf8(kBottomAxisTitle)};
}

void ChartEngine::setTitleLines(const QStringList& lines) {
  m_titleLines = lines;
}

QString ChartEngine::firstTitleLine() const {
  return m_titleLines.isEmpty() ? QString() : m_titleLines.front();
}

void ChartEngine::setFirstTitleLine(const QString& text) {
  if (m_titleLines.isEmpty())
    m_titleLines.append(text);
  else
    m_titleLines.front() = text;
}

ChartLayout ChartEngine::layout(const QSizeF& size) const {
  const QFontMetricsF titleMetrics(titleFont());
  const QFontMetricsF axisMetrics(axisFont());
  const double width = size.width();
  const double height = size.height();
  const double lineHeight = axisMetrics.height();

  ChartLayout g;
  g.chart = QRectF(QPointF(0.0, 0.0), size);
  const auto titleLineCount = std::max<qsizetype>(1, m_titleLines.size());
  g.title = QRectF(kMargin, kMargin, std::max(0.0, width - 2 * kMargin),
                   static_cast<double>(titleLineCount) * titleMetrics.height());
  const double plotTop = g.title.bottom() + kGap;
  g.bottomTitle = QRectF(kMargin, height - kMargin - lineHeight, std::max(0.0, width - 2 * kMargin),
                         lineHeight);
  const double plotBottom =
      std::max(plotTop, g.bottomTitle.top() - kGap - lineHeight - kLabelGap - kTickLength);
  g.bottomLabelTop = plotBottom + kTickLength + kLabelGap;
  g.leftTitle = QRectF(kMargin, plotTop, lineHeight, plotBottom - plotTop);
  g.leftLabelRight = g.leftTitle.right() + kGap + leftLabelWidth(plotBottom - plotTop);
  const double plotLeft = g.leftLabelRight + kLabelGap + kTickLength;
  const double plotRight = std::max(plotLeft, width - std::max(kMargin, width * kRightMarginShare));
  g.plot = QRectF(QPointF(plotLeft, plotTop), QPointF(plotRight, plotBottom));
  return g;
}

double ChartEngine::leftStep(double plotHeight) const {
  const double span = m_leftAxis.maximum - m_leftAxis.minimum;
  if (span <= 0.0 || plotHeight <= 0.0)
    return 0.0;
  const double labelHeight = QFontMetricsF(axisFont()).height();
  const double spread =
      std::max(span * labelHeight * (1.0 + kLabelSeparation) / plotHeight, span / kMaxLeftLabels);
  if (m_leftAxis.increment > 0.0)
    return m_leftAxis.increment * std::max(1.0, std::ceil(spread / m_leftAxis.increment - 1e-9));
  return niceStepAtLeast(spread);
}

double ChartEngine::leftLabelWidth(double plotHeight) const {
  const double step = leftStep(plotHeight);
  if (step <= 0.0)
    return 0.0;
  const QFontMetricsF metrics(axisFont());
  const double first = std::ceil(m_leftAxis.minimum / step - 1e-9);
  double widest = 0.0;
  for (double k = first; k * step <= m_leftAxis.maximum + step * 1e-9; k += 1.0)
    widest = std::max(widest, metrics.horizontalAdvance(formatAxisValue(k * step)));
  return widest;
}

double ChartEngine::xToPixel(const ChartLayout& layout, double x) const {
  const double pixel = layout.plot.left() +
                       (x - m_bottomAxis.minimum) / axisSpan(m_bottomAxis) * layout.plot.width();
  return std::clamp(pixel, -kFarAway, kFarAway);
}

double ChartEngine::yToPixel(const ChartLayout& layout, double y) const {
  const double pixel =
      layout.plot.bottom() - (y - m_leftAxis.minimum) / axisSpan(m_leftAxis) * layout.plot.height();
  return std::clamp(pixel, -kFarAway, kFarAway);
}

std::vector<ChartAxisLabel> ChartEngine::leftLabels(const ChartLayout& layout) const {
  std::vector<ChartAxisLabel> labels;
  const double step = leftStep(layout.plot.height());
  if (step <= 0.0)
    return labels;
  const QFontMetricsF metrics(axisFont());
  const double first = std::ceil(m_leftAxis.minimum / step - 1e-9);
  for (double k = first; k * step <= m_leftAxis.maximum + step * 1e-9; k += 1.0) {
    const double value = k * step;
    ChartAxisLabel label;
    label.text = formatAxisValue(value);
    label.position = yToPixel(layout, value);
    const double width = metrics.horizontalAdvance(label.text);
    label.box = QRectF(layout.leftLabelRight - width, label.position - metrics.height() / 2, width,
                       metrics.height());
    labels.push_back(label);
  }
  return labels;
}

std::pair<std::size_t, std::size_t> ChartEngine::visibleRange() const {
  const std::size_t first = m_series.lowerBound(m_bottomAxis.minimum, 0, m_series.count());
  return {first, m_series.upperBound(m_bottomAxis.maximum, first, m_series.count())};
}

std::vector<ChartAxisLabel> ChartEngine::bottomLabels(const ChartLayout& layout) const {
  std::vector<ChartAxisLabel> labels;
  const QFontMetricsF metrics(axisFont());
  const std::pair<std::size_t, std::size_t> range = visibleRange();
  const std::size_t begin = range.first;
  const std::size_t end = range.second;
  const double unitsPerPixel = axisSpan(m_bottomAxis) / std::max(1.0, layout.plot.width());
  // The first index at or after `from` whose point lies at or right of `pixel`.
  const auto firstAtPixel = [&](std::size_t from, double pixel) {
    const double x = m_bottomAxis.minimum + (pixel - layout.plot.left()) * unitsPerPixel;
    return m_series.lowerBound(x, from, end);
  };
  double takenUpTo = -std::numeric_limits<double>::infinity();
  std::size_t i = begin;
  while (i < end) {
    const std::string raw = m_series.label(i);
    if (raw.empty()) {
      ++i;
      continue;
    }
    const QString text = QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
    const double width = metrics.horizontalAdvance(text);
    const double position = xToPixel(layout, m_series.x(i));
    const double left = position - width / 2;
    if (left + width > layout.chart.right())
      break; // the points further right lie further out still
    const bool apart = left >= takenUpTo + width * kLabelSeparation;
    if (apart && left >= layout.chart.left()) {
      labels.push_back(ChartAxisLabel{
          text, QRectF(left, layout.bottomLabelTop, width, metrics.height()), position});
      takenUpTo = left + width;
    }
    // A label of about this width fits no sooner than this pixel; skip the points before it.
    const double nextPixel = std::max(takenUpTo + width * (kLabelSeparation + 0.5), position);
    i = std::max(i + 1, firstAtPixel(i + 1, nextPixel - 1e-6));
  }
  return labels;
}

void ChartEngine::paint(QPainter& painter, const QRectF& rect, double pixelScale) const {
  if (pixelScale <= 0.0 || rect.isEmpty())
    return;
  painter.save();
  painter.translate(rect.topLeft());
  painter.scale(pixelScale, pixelScale);
  const ChartLayout geometry = layout(rect.size() / pixelScale);
  const Backdrop backdrop = backdropOf(geometry);
  if (!copyBackdrop(painter, backdrop))
    paintBackdrop(painter, backdrop);
  paintReference(painter, geometry);
  paintLine(painter, geometry, pixelScale);
  paintFrame(painter, geometry);
  painter.restore();
}

ChartEngine::Backdrop ChartEngine::backdropOf(const ChartLayout& layout) const {
  return {layout,
          m_titleLines,
          m_leftAxis.title,
          m_bottomAxis.title,
          leftLabels(layout),
          bottomLabels(layout)};
}

void ChartEngine::paintBackdrop(QPainter& painter, const Backdrop& backdrop) const {
  painter.fillRect(backdrop.layout.chart, Qt::white);
  paintTitles(painter, backdrop);
  paintLeftAxis(painter, backdrop);
  paintBottomAxis(painter, backdrop);
}

// Drawing the texts and the dotted grid costs as much as the line of a million points, and a
// new reading changes neither: on a raster device the backdrop drawn last time is copied while
// it and the painter's transform and hints are the same. The copy is drawn with the same
// transform moved by whole pixels, so it holds exactly the pixels a drawing would give; where
// the chart does not cover whole pixels, the pixels around it stay transparent. A printer, a
// metafile and any other painting draw it anew.
bool ChartEngine::copyBackdrop(QPainter& painter, const Backdrop& backdrop) const {
  const QPaintEngine* engine = painter.paintEngine();
  if (engine == nullptr || engine->type() != QPaintEngine::Raster || painter.opacity() != 1.0 ||
      painter.compositionMode() != QPainter::CompositionMode_SourceOver)
    return false;
  const QTransform device = painter.deviceTransform();
  if (device.type() > QTransform::TxScale || device != painter.worldTransform())
    return false;
  const QRectF area = device.mapRect(backdrop.layout.chart);
  const QRect pixels = area.toAlignedRect();
  if (pixels.isEmpty())
    return false;
  BackdropPicture& picture = m_backdropPicture;
  const int hints = static_cast<int>(painter.renderHints());
  if (picture.image.size() != pixels.size() || picture.transform != device ||
      picture.renderHints != hints || !(picture.backdrop == backdrop)) {
    const bool opaque = QRectF(pixels) == area;
    picture = {
        backdrop, device, hints,
        QImage(pixels.size(), opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied)};
    if (!opaque)
      picture.image.fill(Qt::transparent);
    QPainter drawing(&picture.image);
    drawing.setRenderHints(painter.renderHints());
    drawing.setTransform(device * QTransform::fromTranslate(-pixels.left(), -pixels.top()));
    paintBackdrop(drawing, backdrop);
  }
  painter.save();
  painter.resetTransform();
  painter.drawImage(pixels.topLeft(), picture.image);
  painter.restore();
  return true;
}

void ChartEngine::paintTitles(QPainter& painter, const Backdrop& backdrop) const {
  const ChartLayout& layout = backdrop.layout;
  painter.setPen(Qt::black);
  painter.setFont(titleFont());
  const double lineHeight = QFontMetricsF(titleFont()).height();
  QRectF line(layout.title.left(), layout.title.top(), layout.title.width(), lineHeight);
  for (const QString& text : backdrop.titleLines) {
    painter.drawText(line, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, text);
    line.translate(0.0, lineHeight);
  }

  painter.setFont(axisFont());
  painter.drawText(layout.bottomTitle, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip,
                   backdrop.bottomTitle);
  painter.save();
  const QPointF centre = layout.leftTitle.center();
  painter.translate(centre);
  painter.rotate(-90.0);
  const QRectF turned(-layout.leftTitle.height() / 2, -layout.leftTitle.width() / 2,
                      layout.leftTitle.height(), layout.leftTitle.width());
  painter.drawText(turned, Qt::AlignCenter | Qt::TextDontClip, backdrop.leftTitle);
  painter.restore();
}

void ChartEngine::paintLeftAxis(QPainter& painter, const Backdrop& backdrop) const {
  const ChartLayout& layout = backdrop.layout;
  const QPen grid(QColor(128, 128, 128), 1.0, Qt::DotLine);
  const QPen tick(Qt::black, 1.0);
  painter.setFont(axisFont());
  for (const ChartAxisLabel& label : backdrop.leftLabels) {
    painter.setPen(grid);
    painter.drawLine(QPointF(layout.plot.left(), label.position),
                     QPointF(layout.plot.right(), label.position));
    painter.setPen(tick);
    painter.drawLine(QPointF(layout.plot.left() - kTickLength, label.position),
                     QPointF(layout.plot.left(), label.position));
    painter.drawText(label.box, Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, label.text);
  }
}

void ChartEngine::paintBottomAxis(QPainter& painter, const Backdrop& backdrop) const {
  const ChartLayout& layout = backdrop.layout;
  const QPen grid(QColor(128, 128, 128), 1.0, Qt::DotLine);
  const QPen tick(Qt::black, 1.0);
  painter.setFont(axisFont());
  for (const ChartAxisLabel& label : backdrop.bottomLabels) {
    painter.setPen(grid);
    painter.drawLine(QPointF(label.position, layout.plot.top()),
                     QPointF(label.position, layout.plot.bottom()));
    painter.setPen(tick);
    painter.drawLine(QPointF(label.position, layout.plot.bottom()),
                     QPointF(label.position, layout.plot.bottom() + kTickLength));
    // Drawn as one run from its left edge, so leading blanks keep their width.
    painter.drawText(label.box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, label.text);
  }
}

void ChartEngine::paintLine(QPainter& painter, const ChartLayout& layout, double pixelScale) const {
  const auto [begin, end] = visibleRange();
  if (end - begin < 2)
    return;
  const double devicePixelsPerUnit = layout.plot.width() * pixelScale / axisSpan(m_bottomAxis);
  m_reduction.reduce(m_series, begin, end, m_bottomAxis.minimum, devicePixelsPerUnit);
  const std::vector<QPointF>& kept = m_reduction.points();
  // The line goes out as separate segments cut to the plot's rows (plus the pen's width):
  // voltages far off the axis then never make the rasteriser stroke huge segments, and
  // square-capped segments take the rasteriser's fast path, where one stroked polyline with
  // joins costs tens of times more.
  const double top = layout.plot.top() - m_series.width();
  const double bottom = layout.plot.bottom() + m_series.width();
  std::vector<QLineF> segments;
  segments.reserve(kept.size());
  QPointF previous(xToPixel(layout, kept.front().x()), yToPixel(layout, kept.front().y()));
  for (std::size_t k = 1; k < kept.size(); ++k) {
    const QPointF next(xToPixel(layout, kept[k].x()), yToPixel(layout, kept[k].y()));
    QPointF a = previous;
    QPointF b = next;
    if (clipToRows(a, b, top, bottom))
      segments.emplace_back(a, b);
    previous = next;
  }
  painter.save();
  painter.setClipRect(layout.plot, Qt::IntersectClip);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(toQColor(m_series.color()), m_series.width(), Qt::SolidLine, Qt::SquareCap,
                      Qt::BevelJoin));
  painter.drawLines(segments.data(), static_cast<int>(segments.size()));
  painter.restore();
}

void ChartEngine::setReference(std::vector<ReferencePoint> points) {
  m_reference = std::move(points);
  ++m_referenceRevision;
}

void ChartEngine::setStorageInterval(std::function<double()> seconds) {
  m_storageInterval = std::move(seconds);
}

double ChartEngine::storageInterval() const {
  return m_storageInterval ? m_storageInterval() : 60.0;
}

// The segments are cut to the plot before they are drawn, so a reference far longer than the
// time axis costs the rasteriser nothing beyond it. Drawn before the line, which so stays whole
// where the two cross.
void ChartEngine::paintReference(QPainter& painter, const ChartLayout& layout) const {
  if (m_reference.size() < 2)
    return;
  const double interval = storageInterval();
  if (!(interval > 0.0))
    return;
  // One position per storage interval, so both curves share elapsed time.
  const double positionsPerMinute = 60.0 / interval;
  const auto pixelOf = [&](const ReferencePoint& point) {
    return QPointF(xToPixel(layout, point.minutes * positionsPerMinute),
                   yToPixel(layout, point.volts));
  };
  const QRectF& plot = layout.plot;
  std::vector<QLineF> segments;
  segments.reserve(m_reference.size());
  QPointF previous = pixelOf(m_reference.front());
  for (std::size_t k = 1; k < m_reference.size(); ++k) {
    const QPointF next = pixelOf(m_reference[k]);
    QPointF a = previous;
    QPointF b = next;
    if (clipToColumns(a, b, plot.left(), plot.right()) &&
        clipToRows(a, b, plot.top(), plot.bottom()))
      segments.emplace_back(a, b);
    previous = next;
  }
  painter.save();
  painter.setClipRect(plot, Qt::IntersectClip);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(QPen(toQColor(kReferenceColor), kReferenceWidth, Qt::SolidLine, Qt::SquareCap,
                      Qt::BevelJoin));
  painter.drawLines(segments.data(), static_cast<int>(segments.size()));
  painter.restore();
}

void ChartEngine::paintFrame(QPainter& painter, const ChartLayout& layout) const {
  // The back wall is transparent: only its border is drawn, and the left wall as a 3-pixel
  // line along the value axis.
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::black, 1.0));
  painter.drawRect(layout.plot);
  painter.setPen(QPen(Qt::black, 3.0, Qt::SolidLine, Qt::FlatCap));
  painter.drawLine(QPointF(layout.plot.left(), layout.plot.top()),
                   QPointF(layout.plot.left(), layout.plot.bottom()));
}

} // namespace kelvor
