#include "data/wmfpaintdevice.h"

#include "core/textencoding.h"
#include "data/core/wmfwriter.h"
#include "data/screenunits.h"

#include <QPaintEngine>
#include <QPainterPath>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

namespace kelvor {
namespace {

std::int16_t toUnit(double value) {
  const double rounded = std::round(value);
  if (!(rounded >= std::numeric_limits<std::int16_t>::min()))
    return std::numeric_limits<std::int16_t>::min();
  if (rounded > std::numeric_limits<std::int16_t>::max())
    return std::numeric_limits<std::int16_t>::max();
  return static_cast<std::int16_t>(rounded);
}

WmfWriter::Point toPoint(const QPointF& point) {
  return {toUnit(point.x()), toUnit(point.y())};
}

std::uint32_t colorRef(const QColor& color) {
  const QColor rgb = color.toRgb();
  return static_cast<std::uint32_t>(rgb.red()) | static_cast<std::uint32_t>(rgb.green()) << 8 |
         static_cast<std::uint32_t>(rgb.blue()) << 16;
}

// How much longer a length becomes under the transform (its mean over all directions).
double lengthScale(const QTransform& transform) {
  return std::sqrt(
      std::fabs(transform.m11() * transform.m22() - transform.m12() * transform.m21()));
}

WmfWriter::PenStyle penStyle(Qt::PenStyle style) {
  switch (style) {
  case Qt::NoPen:
    return WmfWriter::PenStyle::Null;
  case Qt::DashLine:
    return WmfWriter::PenStyle::Dash;
  case Qt::DotLine:
    return WmfWriter::PenStyle::Dot;
  case Qt::DashDotLine:
    return WmfWriter::PenStyle::DashDot;
  case Qt::DashDotDotLine:
    return WmfWriter::PenStyle::DashDotDot;
  default:
    return WmfWriter::PenStyle::Solid;
  }
}

WmfWriter::PenCap penCap(Qt::PenCapStyle cap) {
  switch (cap) {
  case Qt::FlatCap:
    return WmfWriter::PenCap::Flat;
  case Qt::SquareCap:
    return WmfWriter::PenCap::Square;
  default:
    return WmfWriter::PenCap::Round;
  }
}

WmfWriter::PenJoin penJoin(Qt::PenJoinStyle join) {
  switch (join) {
  case Qt::BevelJoin:
    return WmfWriter::PenJoin::Bevel;
  case Qt::MiterJoin:
  case Qt::SvgMiterJoin:
    return WmfWriter::PenJoin::Miter;
  default:
    return WmfWriter::PenJoin::Round;
  }
}

std::string windows1250(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return utf8ToWindows1250(
      std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

} // namespace

class WmfPaintEngine : public QPaintEngine {
public:
  WmfPaintEngine(QSize size, std::uint16_t unitsPerInch)
      : QPaintEngine(QPaintEngine::AllFeatures),
        m_writer(toUnit(size.width()), toUnit(size.height()), unitsPerInch) {}

  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  Type type() const override { return QPaintEngine::User; }

  void updateState(const QPaintEngineState& state) override;
  void drawLines(const QLineF* lines, int lineCount) override;
  void drawRects(const QRectF* rects, int rectCount) override;
  void drawTextItem(const QPointF& origin, const QTextItem& item) override;
  // Pictures have no place in the chart's metafile; the chart draws none.
  void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}

  std::vector<std::uint8_t> finish();

private:
  // The line Qt draws under an underlined text item: the font's underline already draws it.
  struct Underline {
    QTransform transform;
    double left = 0.0;
    double right = 0.0;
    double baseline = 0.0;
    double descent = 0.0;
  };

  void updateClip(const QPaintEngineState& state);
  void applyClip();
  bool isUnderlineOfText(const QLineF& line);
  void selectPen();
  void flushRun(std::vector<WmfWriter::Point>& run);

  WmfWriter m_writer;
  QTransform m_transform;
  QPen m_pen;
  QBrush m_brush;
  std::optional<QRectF> m_clip;
  std::optional<QRectF> m_writtenClip;
  std::vector<Underline> m_underlines;
};

void WmfPaintEngine::updateState(const QPaintEngineState& state) {
  const DirtyFlags flags = state.state();
  if (flags & DirtyTransform)
    m_transform = state.transform();
  if (flags & DirtyPen)
    m_pen = state.pen();
  if (flags & DirtyBrush)
    m_brush = state.brush();
  if (flags & (DirtyClipRegion | DirtyClipPath | DirtyClipEnabled))
    updateClip(state);
}

void WmfPaintEngine::updateClip(const QPaintEngineState& state) {
  const DirtyFlags flags = state.state();
  if ((flags & DirtyClipEnabled) && !state.isClipEnabled()) {
    m_clip.reset();
    return;
  }
  if (!(flags & (DirtyClipRegion | DirtyClipPath)))
    return;
  const QRectF area = (flags & DirtyClipPath) ? state.clipPath().boundingRect()
                                              : QRectF(state.clipRegion().boundingRect());
  const QRectF mapped = state.transform().mapRect(area);
  switch (state.clipOperation()) {
  case Qt::NoClip:
    m_clip.reset();
    break;
  case Qt::ReplaceClip:
    m_clip = mapped;
    break;
  case Qt::IntersectClip:
    m_clip = m_clip ? m_clip->intersected(mapped) : mapped;
    break;
  }
}

// The metafile narrows its clip only inside a saved state; a wider clip needs the state
// restored first.
void WmfPaintEngine::applyClip() {
  if (m_clip == m_writtenClip)
    return;
  if (m_writtenClip) {
    m_writer.restoreState();
    m_writtenClip.reset();
  }
  if (m_clip) {
    m_writer.saveState();
    m_writer.intersectClip({toUnit(m_clip->left()), toUnit(m_clip->top()), toUnit(m_clip->right()),
                            toUnit(m_clip->bottom())});
    m_writtenClip = m_clip;
  }
}

void WmfPaintEngine::selectPen() {
  WmfWriter::Pen pen;
  pen.style = penStyle(m_pen.style());
  pen.cap = penCap(m_pen.capStyle());
  pen.join = penJoin(m_pen.joinStyle());
  const double width =
      m_pen.isCosmetic() ? m_pen.widthF() : m_pen.widthF() * lengthScale(m_transform);
  pen.width = std::max<std::int16_t>(1, toUnit(width));
  pen.color = colorRef(m_pen.color());
  m_writer.setPen(pen);
}

bool WmfPaintEngine::isUnderlineOfText(const QLineF& line) {
  constexpr double kTolerance = 1e-3;
  const auto found =
      std::find_if(m_underlines.begin(), m_underlines.end(), [&](const Underline& u) {
        return u.transform == m_transform && std::fabs(line.y1() - line.y2()) < kTolerance &&
               std::fabs(line.x1() - u.left) < kTolerance &&
               std::fabs(line.x2() - u.right) < kTolerance &&
               line.y1() >= u.baseline - kTolerance &&
               line.y1() <= u.baseline + u.descent + kTolerance;
      });
  if (found == m_underlines.end())
    return false;
  m_underlines.erase(found);
  return true;
}

void WmfPaintEngine::flushRun(std::vector<WmfWriter::Point>& run) {
  if (run.size() == 2)
    m_writer.line(run[0], run[1]);
  else if (run.size() > 2)
    m_writer.polyline(run);
  run.clear();
}

// Lines that continue one another (each starting where the one before ended) go out as one
// polyline; a line on its own goes out as a move and a line.
void WmfPaintEngine::drawLines(const QLineF* lines, int lineCount) {
  std::vector<WmfWriter::Point> run;
  QPointF runEnd;
  bool penSelected = false;
  for (int i = 0; i < lineCount; ++i) {
    if (isUnderlineOfText(lines[i]))
      continue;
    if (!penSelected) {
      applyClip();
      selectPen();
      penSelected = true;
    }
    const QPointF from = m_transform.map(lines[i].p1());
    const QPointF to = m_transform.map(lines[i].p2());
    if (run.empty() || from != runEnd) {
      flushRun(run);
      run.push_back(toPoint(from));
    }
    run.push_back(toPoint(to));
    runEnd = to;
  }
  flushRun(run);
  if (penSelected)
    m_underlines.clear();
}

void WmfPaintEngine::drawRects(const QRectF* rects, int rectCount) {
  m_underlines.clear();
  applyClip();
  selectPen();
  WmfWriter::Brush brush;
  brush.hollow = m_brush.style() == Qt::NoBrush;
  brush.color = colorRef(m_brush.color());
  m_writer.setBrush(brush);
  // Without an outline, GDI fills one unit less to the right and at the bottom.
  const std::int16_t outlineless = m_pen.style() == Qt::NoPen ? 1 : 0;
  for (int i = 0; i < rectCount; ++i) {
    const QRectF r = m_transform.mapRect(rects[i]);
    m_writer.rectangle({toUnit(r.left()), toUnit(r.top()),
                        static_cast<std::int16_t>(toUnit(r.right()) + outlineless),
                        static_cast<std::int16_t>(toUnit(r.bottom()) + outlineless)});
  }
}

void WmfPaintEngine::drawTextItem(const QPointF& origin, const QTextItem& item) {
  applyClip();
  const QFont font = item.font();
  const double pixels =
      font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * kScreenDpi / 72.0;
  // Text runs along the transformed x axis; the metafile counts its angle counter-clockwise
  // on the screen, where y grows downwards.
  const double degrees =
      std::atan2(-m_transform.m12(), m_transform.m11()) * 180.0 / std::numbers::pi;
  const int tenths = static_cast<int>(std::lround(degrees * 10.0));
  const bool underline = font.underline() || item.renderFlags().testFlag(QTextItem::Underline);

  WmfWriter::Font wmfFont;
  wmfFont.height = static_cast<std::int16_t>(-toUnit(pixels * lengthScale(m_transform)));
  wmfFont.escapement = static_cast<std::int16_t>(((tenths % 3600) + 3600) % 3600);
  wmfFont.weight = static_cast<std::int16_t>(font.weight());
  wmfFont.italic = font.italic();
  wmfFont.underline = underline;
  wmfFont.face = windows1250(font.family());
  m_writer.setFont(wmfFont);
  m_writer.setTextColor(colorRef(m_pen.color()));
  m_writer.text(toPoint(m_transform.map(origin)), windows1250(item.text()));
  if (underline)
    m_underlines.push_back({m_transform, std::floor(origin.x()),
                            std::floor(origin.x() + item.width()), origin.y(), item.descent()});
}

std::vector<std::uint8_t> WmfPaintEngine::finish() {
  m_clip.reset();
  applyClip();
  return m_writer.finish();
}

WmfPaintDevice::WmfPaintDevice(QSize size, std::uint16_t unitsPerInch)
    : m_size(size), m_engine(std::make_unique<WmfPaintEngine>(size, unitsPerInch)) {}

WmfPaintDevice::~WmfPaintDevice() = default;

QPaintEngine* WmfPaintDevice::paintEngine() const {
  return m_engine.get();
}

std::vector<std::uint8_t> WmfPaintDevice::finish() {
  return m_engine->finish();
}

int WmfPaintDevice::metric(PaintDeviceMetric metric) const {
  switch (metric) {
  case PdmWidth:
    return m_size.width();
  case PdmHeight:
    return m_size.height();
  case PdmWidthMM:
    return static_cast<int>(std::lround(m_size.width() * kMmPerInch / kScreenDpi));
  case PdmHeightMM:
    return static_cast<int>(std::lround(m_size.height() * kMmPerInch / kScreenDpi));
  case PdmNumColors:
    return std::numeric_limits<int>::max();
  case PdmDepth:
    return 32;
  case PdmDpiX:
  case PdmDpiY:
  case PdmPhysicalDpiX:
  case PdmPhysicalDpiY:
    return static_cast<int>(kScreenDpi);
  case PdmDevicePixelRatio:
    return 1;
  case PdmDevicePixelRatioScaled:
    return static_cast<int>(devicePixelRatioFScale());
  }
  return 0;
}

} // namespace kelvor
