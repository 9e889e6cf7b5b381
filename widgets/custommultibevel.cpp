#include "widgets/custommultibevel.h"

#include <QEvent>
#include <QFontInfo>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

namespace kelvor {
namespace {

// A rectangle by its edges; right and bottom are the first column and row outside.
struct Edges {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int height() const { return bottom - top; }
  bool isEmpty() const { return right <= left || bottom <= top; }
  QRect toQRect() const { return QRect(left, top, right - left, bottom - top); }
  Edges offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
  Edges inset(int n) const { return {left + n, top + n, right - n, bottom - n}; }
};

using Plot = std::function<void(int x, int y)>;

int nearest(double value) {
  return int(std::nearbyint(value));
}

int red(TColor c) {
  return int(c & 0xFF);
}
int green(TColor c) {
  return int((c >> 8) & 0xFF);
}
int blue(TColor c) {
  return int((c >> 16) & 0xFF);
}
TColor fromRgb(QRgb rgb) {
  return rgbColor(qRed(rgb), qGreen(rgb), qBlue(rgb));
}
QRgb toRgb(TColor c) {
  return qRgb(red(c), green(c), blue(c));
}

// One-pixel line without its end point.
void plotLine(QPoint from, QPoint to, const Plot& plot) {
  const int dx = std::abs(to.x() - from.x());
  const int dy = -std::abs(to.y() - from.y());
  const int stepX = from.x() < to.x() ? 1 : -1;
  const int stepY = from.y() < to.y() ? 1 : -1;
  int error = dx + dy;
  QPoint p = from;
  while (p != to) {
    plot(p.x(), p.y());
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

// `n` nested one-pixel outlines, the first on `rect`, each next one inset by a pixel; every
// pixel is visited once.
void plotOutlines(Edges rect, int n, const Plot& plot) {
  for (int i = 0; i < n; ++i) {
    const Edges ring = rect.inset(i);
    const int last = ring.right - 1;
    const int bottom = ring.bottom - 1;
    if (ring.left > last || ring.top > bottom)
      return;
    for (int x = ring.left; x <= last; ++x) {
      plot(x, ring.top);
      if (bottom > ring.top)
        plot(x, bottom);
    }
    for (int y = ring.top + 1; y < bottom; ++y) {
      plot(ring.left, y);
      if (last > ring.left)
        plot(last, y);
    }
  }
}

// Bevel rings: the left column and top row of each ring in the top colour, its right column
// and bottom row, both corners included, in the bottom colour.
void plotBevelRings(Edges rect, int n, const Plot& top, const Plot& bottom) {
  for (int i = 0; i < n; ++i) {
    const Edges ring = rect.inset(i);
    const int last = ring.right - 1;
    const int lastRow = ring.bottom - 1;
    if (ring.left > last || ring.top > lastRow)
      return;
    for (int x = ring.left; x < last; ++x)
      top(x, ring.top);
    for (int y = ring.top + 1; y < lastRow; ++y)
      top(ring.left, y);
    for (int y = ring.top; y <= lastRow; ++y)
      bottom(last, y);
    for (int x = ring.left; x < last; ++x)
      bottom(x, lastRow);
  }
}

void plotFill(Edges rect, const Plot& plot) {
  for (int y = rect.top; y < rect.bottom; ++y)
    for (int x = rect.left; x < rect.right; ++x)
      plot(x, y);
}

// Octagonal rings of the cut-corner shape on `rect` (whose last column and row are right - 1
// and bottom - 1), with the short lines that close the gaps along the cuts.
void plotPortraitRings(Edges rect, int n, int e, const Plot& first, const Plot& second) {
  const int l = rect.left;
  const int t = rect.top;
  const int r = rect.right - 1;
  const int b = rect.bottom - 1;
  for (int i = 0; i < n; ++i) {
    const int f = i / 2;
    const QPoint corners[8] = {{l + i, b - e - f}, {l + i, t + e + f}, {l + e + f, t + i},
                               {r - e - f, t + i}, {r - i, t + e + f}, {r - i, b - e - f},
                               {r - e - f, b - i}, {l + e + f, b - i}};
    for (int k = 0; k < 4; ++k)
      plotLine(corners[k], corners[k + 1], first);
    for (int k = 4; k < 8; ++k)
      plotLine(corners[k], corners[(k + 1) % 8], second);
  }
  for (int j = 1; j <= (n - 1) / 2; ++j) {
    plotLine({l + e + j - 1, t + 2 * j}, {l + 2 * j - 1, t + e + j}, first);
    plotLine({r - e - j + 1, t + 2 * j}, {r - 2 * j + 1, t + e + j}, first);
    plotLine({r - e - j + 1, b - 2 * j}, {r - 2 * j + 1, b - e - j}, second);
    plotLine({l + e + j - 1, b - 2 * j}, {l + 2 * j - 1, b - e - j}, second);
  }
}

// The frame is drawn into a transparent layer above what lies beneath: reads see the layer
// where the frame has already drawn and the pixels beneath elsewhere. Everything outside the
// control is ignored.
class Surface {
public:
  Surface(const QImage& beneath, QImage& layer)
      : m_beneath(beneath), m_layer(layer), m_width(layer.width()), m_height(layer.height()) {}

  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }
  TColor at(int x, int y) const {
    if (!contains(x, y))
      return clBlack;
    const QRgb drawn = reinterpret_cast<const QRgb*>(m_layer.constScanLine(y))[x];
    return fromRgb(qAlpha(drawn) == 255
                       ? drawn
                       : reinterpret_cast<const QRgb*>(m_beneath.constScanLine(y))[x]);
  }
  void set(int x, int y, TColor c) {
    if (contains(x, y))
      reinterpret_cast<QRgb*>(m_layer.scanLine(y))[x] = toRgb(c);
  }
  Plot solid(TColor c) {
    return [this, c](int x, int y) { set(x, y, c); };
  }
  Plot rasterOp(TShadowStyle style, TColor pen) {
    return [this, style, pen](int x, int y) {
      if (contains(x, y))
        set(x, y, shadowRasterOp(style, pen, at(x, y)));
    };
  }
  // Uniform unless some pixel of the row differs from the first one by more than 2 in its
  // packed value.
  bool isRowUniform(int y, int left, int right) const {
    if (left >= right)
      return true;
    const long first = long(at(left, y));
    for (int x = left + 1; x < right; ++x)
      if (std::labs(long(at(x, y)) - first) > 2)
        return false;
    return true;
  }
  QImage& layer() { return m_layer; }

private:
  const QImage& m_beneath;
  QImage& m_layer;
  int m_width;
  int m_height;
};

// Blends a colour into each pixel the shape covers exactly once, however often the shape
// visits it.
class BlendMask {
public:
  explicit BlendMask(QSize size)
      : m_width(size.width()), m_height(size.height()),
        m_covered(std::size_t(std::max(0, size.width() * size.height())), 0) {}

  Plot marker() {
    return [this](int x, int y) {
      if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
      const int index = y * m_width + x;
      if (!m_covered[std::size_t(index)]) {
        m_covered[std::size_t(index)] = 1;
        m_pixels.push_back(index);
      }
    };
  }
  void apply(Surface& surface, TColor color, int percent) const {
    for (const int index : m_pixels) {
      const int x = index % m_width;
      const int y = index / m_width;
      surface.set(x, y, blend(color, surface.at(x, y), percent));
    }
  }

private:
  int m_width;
  int m_height;
  std::vector<unsigned char> m_covered;
  std::vector<int> m_pixels;
};

bool isBoxShape(TBevelShape shape) {
  return shape == TBevelShape::bspRect || shape == TBevelShape::bspPortrait;
}

// The strip of thickness `d` along one edge of the body that the line shapes draw.
Edges lineStrip(TBevelShape shape, Edges body, int d) {
  switch (shape) {
  case TBevelShape::bspBottomLine:
    return {body.left, body.bottom - d, body.right, body.bottom};
  case TBevelShape::bspTopLine:
    return {body.left, body.top, body.right, body.top + d};
  case TBevelShape::bspLeftLine:
    return {body.left, body.top, body.left + d, body.bottom};
  case TBevelShape::bspRightLine:
    return {body.right - d, body.top, body.right, body.bottom};
  default:
    return body;
  }
}

// The stage rectangle inset by `margin` from the control's sides, pushed away from the shadow.
Edges stageRect(int w, int h, int margin, int sx, int sy) {
  return {std::max(margin - sx, margin), std::max(margin - sy, margin),
          std::min(w - margin, w - sx - margin), std::min(h - margin, h - sy - margin)};
}

bool isTopRow(TCaptionPosition p) {
  return p == TCaptionPosition::cpTopLeft || p == TCaptionPosition::cpTopCenter ||
         p == TCaptionPosition::cpTopRight;
}
bool isBottomRow(TCaptionPosition p) {
  return p == TCaptionPosition::cpBottomLeft || p == TCaptionPosition::cpBottomCenter ||
         p == TCaptionPosition::cpBottomRight;
}
bool isVertical(TCaptionPosition p) {
  return p == TCaptionPosition::cpLeftVertical || p == TCaptionPosition::cpRightVertical;
}

QPoint captionPoint(TCaptionPosition p, Edges a, int w, int h) {
  const int centreX = a.left + (a.right - a.left - w) / 2;
  const int middleY = a.top + (a.bottom - a.top - h) / 2;
  const int verticalY = a.top + (a.bottom - a.top + w) / 2;
  switch (p) {
  case TCaptionPosition::cpTopLeft:
    return {a.left, a.top};
  case TCaptionPosition::cpTopCenter:
    return {centreX, a.top};
  case TCaptionPosition::cpTopRight:
    return {a.right - w - 2, a.top};
  case TCaptionPosition::cpLeft:
    return {a.left, middleY};
  case TCaptionPosition::cpLeftVertical:
    return {a.left, verticalY};
  case TCaptionPosition::cpCenter:
    return {centreX, middleY};
  case TCaptionPosition::cpRight:
    return {a.right - w - 2, middleY};
  case TCaptionPosition::cpRightVertical:
    return {a.right - h + 2, verticalY};
  case TCaptionPosition::cpBottomLeft:
    return {a.left, a.bottom - h};
  case TCaptionPosition::cpBottomCenter:
    return {centreX, a.bottom - h};
  case TCaptionPosition::cpBottomRight:
    return {a.right - w - 2, a.bottom - h};
  }
  return {a.left, a.top};
}

// Everything one paint needs, resolved from the properties and the client size.
struct FrameLayout {
  QSize size;
  bool boxShape = true;
  bool outerBevel = true;
  bool innerBevel = true;
  bool shadowed = false;
  int ib = 0;
  int ob = 0;
  int d = 0;
  int sx = 0;
  int sy = 0;
  Edges shadow;
  Edges body;
  Edges border;
  Edges inner;
};

FrameLayout layoutFrame(const TCustomMultiBevel& frame, QSize size) {
  const int w = size.width();
  const int h = size.height();
  const int b = frame.BevelWidth();
  FrameLayout f;
  f.size = size;
  f.boxShape = isBoxShape(frame.Shape());
  f.outerBevel = frame.BevelOuter() != TBevelStyle::bstNone;
  f.innerBevel = frame.BevelInner() != TBevelStyle::bstNone && f.boxShape;
  f.ib = f.innerBevel ? b : 0;
  f.ob = !f.outerBevel ? frame.BorderWidth() : (f.boxShape ? b : 2 * b) + frame.BorderWidth();
  f.d = f.ob + f.ib;
  f.shadowed = frame.Shadowed() && f.d > 0;
  f.sx = f.shadowed ? frame.ShadowOffsetX() : 0;
  f.sy = f.shadowed ? frame.ShadowOffsetY() : 0;
  f.shadow = {std::max(f.sx, 0), std::max(f.sy, 0), std::min(w, w + f.sx), std::min(h, h + f.sy)};
  f.body = {std::max(-f.sx, 0), std::max(-f.sy, 0), std::min(w, w - f.sx), std::min(h, h - f.sy)};
  if (f.boxShape) {
    f.border = f.outerBevel ? stageRect(w, h, b, f.sx, f.sy) : f.body;
    f.inner = stageRect(w, h, f.ob, f.sx, f.sy);
  } else {
    f.body = lineStrip(frame.Shape(), f.body, f.d);
    f.shadow = f.body.offset(f.sx, f.sy);
    f.border = f.outerBevel ? f.body.inset(b) : f.body;
  }
  return f;
}

void drawShadow(Surface& surface, const TCustomMultiBevel& frame, const FrameLayout& f) {
  const TColor shadowColor = resolvedRgb(frame.ShadowColor());
  const auto shadowShape = [&](const Plot& plot) {
    if (frame.Shape() == TBevelShape::bspRect)
      plotOutlines(f.shadow, f.d, plot);
    else if (frame.Shape() == TBevelShape::bspPortrait)
      plotPortraitRings(f.shadow, f.d, frame.EdgeSize(), plot, plot);
    else
      plotFill(f.shadow, plot);
  };
  if (frame.ShadowStyle() != TShadowStyle::ssDithered) {
    shadowShape(surface.rasterOp(frame.ShadowStyle(), shadowColor));
  } else if (!surface.isRowUniform(f.shadow.top, f.shadow.left, f.shadow.right)) {
    BlendMask mask(f.size);
    shadowShape(mask.marker());
    mask.apply(surface, shadowColor, frame.ShadowDensity());
  } else {
    const TColor corner = surface.at(f.shadow.left, f.shadow.top);
    shadowShape(surface.solid(blend(shadowColor, corner, frame.ShadowDensity())));
  }
}

void drawBorder(Surface& surface, const TCustomMultiBevel& frame, const FrameLayout& f) {
  const TColor color = resolvedRgb(frame.Color());
  const int n = frame.BorderWidth();
  const auto borderShape = [&](const Plot& plot) {
    if (frame.Shape() == TBevelShape::bspRect)
      plotOutlines(f.border, n, plot);
    else if (frame.Shape() == TBevelShape::bspPortrait)
      plotPortraitRings(f.border, n, frame.EdgeSize() - frame.BevelWidth() / 2 - 1, plot, plot);
    else
      plotFill(f.border, plot);
  };
  const int density = frame.ColorDensity();
  if (frame.Transparence() != TTransparence::trSemi && density >= 100) {
    borderShape(surface.solid(color));
  } else if (frame.Shadowed() ||
             !surface.isRowUniform(f.border.top, f.border.left, f.border.right)) {
    BlendMask mask(f.size);
    borderShape(mask.marker());
    mask.apply(surface, color, density);
  } else {
    const TColor corner = surface.at(f.border.left, f.border.top);
    borderShape(surface.solid(blend(color, corner, density)));
  }
}

// The first colour goes to the left and top sides, the second to the right and bottom ones.
std::pair<Plot, Plot> bevelPlots(Surface& surface, const TCustomMultiBevel& frame,
                                 TBevelStyle style) {
  const TColor highlight = resolvedRgb(frame.ColorHighlight());
  const TColor shade = resolvedRgb(frame.ColorShadow());
  const bool raised = style == TBevelStyle::bstRaised;
  return {surface.solid(raised ? highlight : shade), surface.solid(raised ? shade : highlight)};
}

void drawOuterBevel(Surface& surface, const TCustomMultiBevel& frame, const FrameLayout& f) {
  const auto [first, second] = bevelPlots(surface, frame, frame.BevelOuter());
  if (frame.Shape() == TBevelShape::bspPortrait)
    plotPortraitRings(f.body, frame.BevelWidth(), frame.EdgeSize(), first, second);
  else
    plotBevelRings(f.body, frame.BevelWidth(), first, second);
}

// The inner cut follows the outer one, less what the outer bevel and the border take.
int innerEdge(const TCustomMultiBevel& frame, bool outerBevel) {
  const int e = frame.EdgeSize();
  const int b = frame.BevelWidth();
  const int border = frame.BorderWidth();
  if (border > 0 && outerBevel)
    return e - (b + 2) / 2 - (border + 2) / 2;
  if (border > 0)
    return e - (border + 2) / 2 - 1;
  if (outerBevel)
    return e - (b + 2) / 2;
  return e;
}

void drawInnerBevel(Surface& surface, const TCustomMultiBevel& frame, const FrameLayout& f) {
  const auto [first, second] = bevelPlots(surface, frame, frame.BevelInner());
  if (frame.Shape() == TBevelShape::bspPortrait)
    plotPortraitRings(f.inner, frame.BevelWidth(), innerEdge(frame, f.outerBevel), first, second);
  else
    plotBevelRings(f.inner, frame.BevelWidth(), first, second);
}

Edges captionArea(const TCustomMultiBevel& frame, const FrameLayout& f, Edges lastDrawn) {
  const int w = f.size.width();
  const int h = f.size.height();
  const int margin = f.d + 2;
  if (!f.boxShape) {
    Edges area{std::max(-f.sx, 0), std::max(-f.sy, 0), std::min(w, w - f.sx),
               std::min(h, h - f.sy)};
    switch (frame.Shape()) {
    case TBevelShape::bspBottomLine:
      area.bottom -= f.d;
      break;
    case TBevelShape::bspTopLine:
      area.top += margin;
      break;
    case TBevelShape::bspLeftLine:
      area.left += margin;
      break;
    default:
      area.right -= margin;
      break;
    }
    return area;
  }
  Edges area = stageRect(w, h, margin, f.sx, f.sy);
  if (frame.Shape() != TBevelShape::bspPortrait)
    return area;
  const int e = frame.EdgeSize();
  const int b = frame.BevelWidth();
  const TCaptionPosition position = frame.CaptionPosition();
  if (isTopRow(position) || isBottomRow(position)) {
    area.left = std::max(b + e - f.sx, b + e);
    area.right = std::min(w - e - b, w - f.sx - e - b);
  } else if (lastDrawn.height() - 2 * e < QFontInfo(frame.font()).pointSize()) {
    area.left += e / 2 + b;
    area.right -= e / 2 + b;
  }
  return area;
}

struct CaptionLayer {
  QColor color;
  QPoint offset;
};

// The layers of the caption, the last one in the font's colour.
std::vector<CaptionLayer> captionLayers(const TCustomMultiBevel& frame) {
  if (!frame.isEnabled())
    return {{toQColor(clBtnHighlight), {1, 1}}, {toQColor(clBtnShadow), {0, 0}}};
  const QColor text = frame.palette().color(QPalette::WindowText);
  const QColor light = toQColor(frame.ColorHighlight());
  const QColor dark = toQColor(frame.ColorShadow());
  switch (frame.CaptionOutfit()) {
  case TCaptionOutfit::coHeavy:
    return {{text, {0, 0}}, {text, {1, 1}}};
  case TCaptionOutfit::coInsetHeavy:
    return {{light, {1, 1}}, {dark, {-1, -1}}, {text, {0, 0}}};
  case TCaptionOutfit::coInsetLight:
    return {{light, {1, 1}}, {text, {0, 0}}};
  case TCaptionOutfit::coNormal:
    return {{text, {0, 0}}};
  case TCaptionOutfit::coRaisedHeavy:
    return {{light, {-1, -1}}, {dark, {1, 1}}, {text, {0, 0}}};
  case TCaptionOutfit::coRaisedLight:
    return {{light, {-1, -1}}, {text, {0, 0}}};
  case TCaptionOutfit::coShadowed:
    return {{dark, {2, 2}}, {text, {0, 0}}};
  }
  return {{text, {0, 0}}};
}

void drawCaption(QImage& layer, const TCustomMultiBevel& frame, Edges area) {
  const QFontMetrics metrics(frame.font());
  const QString caption = frame.Caption();
  const QPoint at = captionPoint(frame.CaptionPosition(), area, metrics.horizontalAdvance(caption),
                                 metrics.height());
  QPainter painter(&layer);
  painter.setClipRect(area.toQRect());
  painter.setFont(frame.font());
  for (const CaptionLayer& captionLayer : captionLayers(frame)) {
    painter.save();
    painter.setPen(captionLayer.color);
    painter.translate(at + captionLayer.offset);
    if (isVertical(frame.CaptionPosition()))
      painter.rotate(-90);
    painter.drawText(QPoint(0, metrics.ascent()), caption);
    painter.restore();
  }
}

} // namespace

TColor blend(TColor top, TColor under, int percent) {
  // Exact in integers: the hundredths decide, and a half goes to the even neighbour.
  const auto mix = [percent](int t, int u) {
    const int hundredths = (100 - percent) * u + percent * t;
    int value = hundredths / 100;
    const int rest = hundredths % 100;
    if (rest > 50 || (rest == 50 && value % 2 != 0))
      ++value;
    return std::clamp(value, 0, 255);
  };
  return rgbColor(mix(red(top), red(under)), mix(green(top), green(under)),
                  mix(blue(top), blue(under)));
}

TColor shadowRasterOp(TShadowStyle style, TColor pen, TColor surface) {
  constexpr TColor kMask = 0x00FFFFFF;
  const TColor p = pen & kMask;
  const TColor s = surface & kMask;
  switch (style) {
  case TShadowStyle::ssBlack:
    return clBlack;
  case TShadowStyle::ssCopy:
  case TShadowStyle::ssDithered:
    return p;
  case TShadowStyle::ssMask:
    return p & s;
  case TShadowStyle::ssMaskNotPen:
    return ~p & s & kMask;
  case TShadowStyle::ssMerge:
    return p | s;
  case TShadowStyle::ssMergeNotPen:
    return (~p | s) & kMask;
  case TShadowStyle::ssNot:
    return ~s & kMask;
  case TShadowStyle::ssNotAND:
    return p & ~s & kMask;
  case TShadowStyle::ssNotCopy:
    return ~p & kMask;
  case TShadowStyle::ssNotMask:
    return ~(p & s) & kMask;
  case TShadowStyle::ssNotMerge:
    return ~(p | s) & kMask;
  case TShadowStyle::ssNotOR:
    return (p | ~s) & kMask;
  case TShadowStyle::ssNotXOR:
    return ~(p ^ s) & kMask;
  case TShadowStyle::ssTransparent:
    return s;
  case TShadowStyle::ssWhite:
    return clWhite;
  case TShadowStyle::ssXOR:
    return p ^ s;
  }
  return s;
}

TCustomMultiBevel::TCustomMultiBevel(QWidget* parent) : QWidget(parent) {
  resize(75, 50);
}

template <typename T> void TCustomMultiBevel::setAndUpdate(T& stored, T value) {
  if (value == stored)
    return;
  stored = value;
  update();
}

void TCustomMultiBevel::setShape(TBevelShape shape) {
  setAndUpdate(m_shape, shape);
}
void TCustomMultiBevel::setBevelOuter(TBevelStyle style) {
  setAndUpdate(m_bevelOuter, style);
}
void TCustomMultiBevel::setBevelInner(TBevelStyle style) {
  setAndUpdate(m_bevelInner, style);
}
void TCustomMultiBevel::setBevelWidth(int width) {
  setAndUpdate(m_bevelWidth, std::max(width, 1));
}
void TCustomMultiBevel::setBorderWidth(int width) {
  setAndUpdate(m_borderWidth, std::max(width, 0));
}
void TCustomMultiBevel::setShadowColor(TColor color) {
  setAndUpdate(m_shadowColor, color);
}
void TCustomMultiBevel::setShadowOffsetX(int offset) {
  setAndUpdate(m_shadowOffsetX, offset);
}
void TCustomMultiBevel::setShadowOffsetY(int offset) {
  setAndUpdate(m_shadowOffsetY, offset);
}
void TCustomMultiBevel::setShadowStyle(TShadowStyle style) {
  setAndUpdate(m_shadowStyle, style);
}
void TCustomMultiBevel::setEdgeSize(int size) {
  setAndUpdate(m_edgeSize, size);
}
void TCustomMultiBevel::setCaption(const QString& caption) {
  setAndUpdate(m_caption, caption);
}
void TCustomMultiBevel::setCaptionPosition(TCaptionPosition position) {
  setAndUpdate(m_captionPosition, position);
}
void TCustomMultiBevel::setCaptionOutfit(TCaptionOutfit outfit) {
  setAndUpdate(m_captionOutfit, outfit);
}

void TCustomMultiBevel::setColor(TColor color) {
  m_color = color;
  if (m_colorFixed)
    deriveBevelColors();
  update();
}

void TCustomMultiBevel::setColorFixed(bool fixed) {
  m_colorFixed = fixed;
  if (fixed)
    deriveBevelColors();
  update();
}

void TCustomMultiBevel::deriveBevelColors() {
  if (m_color == clBtnFace) {
    m_colorHighlight = clBtnHighlight;
    m_colorShadow = clBtnShadow;
    return;
  }
  const TColor base = resolvedRgb(m_color);
  m_colorHighlight = blend(base, clWhite, 33);
  m_colorShadow = blend(base, clBlack, 66);
}

void TCustomMultiBevel::setColorHighlight(TColor color) {
  if (!m_colorFixed)
    setAndUpdate(m_colorHighlight, color);
}

void TCustomMultiBevel::setColorShadow(TColor color) {
  if (!m_colorFixed)
    setAndUpdate(m_colorShadow, color);
}

void TCustomMultiBevel::setColorDensity(TDensity density) {
  density = std::clamp(density, 0, 100);
  if (density == m_colorDensity)
    return;
  m_colorDensity = density;
  if (m_transparence == TTransparence::trSemi)
    m_semiDensity = density;
  if (m_densityDepended)
    m_shadowDensity = nearest(density * 60 / 100.0);
  update();
}

void TCustomMultiBevel::setDensityDepended(bool depended) {
  if (depended == m_densityDepended)
    return;
  m_densityDepended = depended;
  if (!depended)
    return;
  const TDensity before = m_shadowDensity;
  m_shadowDensity = nearest(m_colorDensity * 60 / 100.0);
  if (m_shadowDensity != before && m_shadowStyle == TShadowStyle::ssDithered)
    update();
}

void TCustomMultiBevel::setShadowDensity(TDensity density) {
  if (!m_densityDepended)
    setAndUpdate(m_shadowDensity, std::clamp(density, 0, 100));
}

// Repaints even when the density stays, because switching to trTransparent may have taken the
// shadow away.
void TCustomMultiBevel::setTransparence(TTransparence transparence) {
  if (transparence == m_transparence)
    return;
  m_transparence = transparence;
  switch (transparence) {
  case TTransparence::trNone:
    setColorDensity(100);
    break;
  case TTransparence::trSemi:
    setColorDensity(m_semiDensity);
    break;
  case TTransparence::trTransparent:
    m_shadowed = false;
    setColorDensity(0);
    break;
  }
  update();
}

void TCustomMultiBevel::setShadowed(bool shadowed) {
  if (m_transparence != TTransparence::trTransparent)
    setAndUpdate(m_shadowed, shadowed);
}

void TCustomMultiBevel::paintFrame(QImage& surface) const {
  QImage layer(size(), QImage::Format_ARGB32_Premultiplied);
  layer.fill(Qt::transparent);
  drawFrame(surface, layer);
  QPainter painter(&surface);
  painter.drawImage(0, 0, layer);
}

void TCustomMultiBevel::drawFrame(const QImage& beneath, QImage& layer) const {
  Surface surface(beneath, layer);
  const FrameLayout f = layoutFrame(*this, size());
  Edges lastDrawn{0, 0, width(), height()};
  if (f.shadowed) {
    drawShadow(surface, *this, f);
    lastDrawn = f.shadow;
  }
  if (m_borderWidth > 0 && m_transparence != TTransparence::trTransparent) {
    drawBorder(surface, *this, f);
    lastDrawn = f.border;
  }
  if (f.outerBevel) {
    drawOuterBevel(surface, *this, f);
    lastDrawn = f.body;
  }
  if (f.innerBevel) {
    drawInnerBevel(surface, *this, f);
    lastDrawn = f.inner;
  }
  if (!m_caption.isEmpty())
    drawCaption(layer, *this, captionArea(*this, f, lastDrawn));
}

// A control inside the frame that repaints itself asks for a paint of the frame beneath it too;
// where the frame draws nothing there, nothing needs doing.
QRect TCustomMultiBevel::untouchedInside() const {
  const FrameLayout f = layoutFrame(*this, size());
  if (!f.boxShape || f.shadowed || !m_caption.isEmpty())
    return {};
  return f.inner.inset(f.ib).toQRect();
}

QImage TCustomMultiBevel::backgroundBeneath() const {
  QImage image(size(), QImage::Format_RGB32);
  renderBeneath(image);
  return image;
}

void TCustomMultiBevel::renderBeneath(QImage& image) const {
  image.fill(palette().color(QPalette::Window));
  QWidget* parent = parentWidget();
  if (!parent)
    return;
  QPainter painter(&image);
  const QRect area = geometry();
  parent->render(&painter, QPoint(), QRegion(area), QWidget::DrawWindowBackground);
  for (QObject* child : parent->children()) {
    if (child == this)
      break;
    auto* sibling = qobject_cast<QWidget*>(child);
    if (!sibling || sibling->isWindow() || sibling->isHidden() ||
        !sibling->geometry().intersects(area))
      continue;
    const QRect shared = sibling->geometry().intersected(area);
    sibling->render(&painter, shared.topLeft() - area.topLeft(),
                    QRegion(shared.translated(-sibling->pos())),
                    QWidget::DrawWindowBackground | QWidget::DrawChildren);
  }
}

// Only the frame's own pixels go to the screen, so everything else (the inside above all)
// keeps what the parent and the controls beneath have drawn. The two images are kept between
// paints, as a paint comes with every change of a value nearby.
void TCustomMultiBevel::paintEvent(QPaintEvent* event) {
  if (untouchedInside().contains(event->region().boundingRect()))
    return;
  if (m_beneath.size() != size()) {
    m_beneath = QImage(size(), QImage::Format_RGB32);
    m_layer = QImage(size(), QImage::Format_ARGB32_Premultiplied);
  }
  renderBeneath(m_beneath);
  m_layer.fill(Qt::transparent);
  drawFrame(m_beneath, m_layer);
  QPainter painter(this);
  painter.drawImage(0, 0, m_layer);
}

void TCustomMultiBevel::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange || event->type() == QEvent::EnabledChange)
    update();
}

} // namespace kelvor
