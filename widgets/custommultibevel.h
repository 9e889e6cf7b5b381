#pragma once

#include "widgets/tcolor.h"

#include <QImage>
#include <QString>
#include <QWidget>

namespace kelvor {

enum class TBevelShape {
  bspBottomLine,
  bspLeftLine,
  bspPortrait,
  bspRect,
  bspRightLine,
  bspTopLine
};
enum class TBevelStyle { bstLowered, bstNone, bstRaised };
enum class TTransparence { trNone, trSemi, trTransparent };
enum class TShadowStyle {
  ssBlack,
  ssCopy,
  ssDithered,
  ssMask,
  ssMaskNotPen,
  ssMerge,
  ssMergeNotPen,
  ssNot,
  ssNotAND,
  ssNotCopy,
  ssNotMask,
  ssNotMerge,
  ssNotOR,
  ssNotXOR,
  ssTransparent,
  ssWhite,
  ssXOR
};
enum class TCaptionPosition {
  cpTopLeft,
  cpTopCenter,
  cpTopRight,
  cpLeft,
  cpLeftVertical,
  cpCenter,
  cpRight,
  cpRightVertical,
  cpBottomLeft,
  cpBottomCenter,
  cpBottomRight
};
enum class TCaptionOutfit {
  coHeavy,
  coInsetHeavy,
  coInsetLight,
  coNormal,
  coRaisedHeavy,
  coRaisedLight,
  coShadowed
};
// Opacity in per cent, 0..100.
using TDensity = int;

// Colour `top` at `percent` per cent over colour `under` (both plain 0x00BBGGRR colours), each
// channel rounded to the nearest integer, ties to even.
TColor blend(TColor top, TColor under, int percent);

// The pixel raster operation of a shadow style: pen colour `pen` over surface colour `surface`
// (both 0x00BBGGRR). ssDithered, which blends, is handled by the frame itself and gives `pen`.
TColor shadowRasterOp(TShadowStyle style, TColor pen, TColor surface);

// The behaviour of the decorative frame: outer bevel, border band, inner bevel, drop shadow
// and caption. The inside of the inner bevel is left to whatever lies beneath.
class TCustomMultiBevel : public QWidget {
public:
  explicit TCustomMultiBevel(QWidget* parent = nullptr);

  TBevelShape Shape() const { return m_shape; }
  void setShape(TBevelShape shape);
  TBevelStyle BevelOuter() const { return m_bevelOuter; }
  void setBevelOuter(TBevelStyle style);
  TBevelStyle BevelInner() const { return m_bevelInner; }
  void setBevelInner(TBevelStyle style);
  int BevelWidth() const { return m_bevelWidth; }
  void setBevelWidth(int width);
  int BorderWidth() const { return m_borderWidth; }
  void setBorderWidth(int width);
  TColor Color() const { return m_color; }
  void setColor(TColor color);
  bool ColorFixed() const { return m_colorFixed; }
  void setColorFixed(bool fixed);
  TColor ColorHighlight() const { return m_colorHighlight; }
  void setColorHighlight(TColor color);
  TColor ColorShadow() const { return m_colorShadow; }
  void setColorShadow(TColor color);
  TDensity ColorDensity() const { return m_colorDensity; }
  void setColorDensity(TDensity density);
  TTransparence Transparence() const { return m_transparence; }
  void setTransparence(TTransparence transparence);
  bool Shadowed() const { return m_shadowed; }
  void setShadowed(bool shadowed);
  TColor ShadowColor() const { return m_shadowColor; }
  void setShadowColor(TColor color);
  TDensity ShadowDensity() const { return m_shadowDensity; }
  void setShadowDensity(TDensity density);
  bool DensityDepended() const { return m_densityDepended; }
  void setDensityDepended(bool depended);
  int ShadowOffsetX() const { return m_shadowOffsetX; }
  void setShadowOffsetX(int offset);
  int ShadowOffsetY() const { return m_shadowOffsetY; }
  void setShadowOffsetY(int offset);
  TShadowStyle ShadowStyle() const { return m_shadowStyle; }
  void setShadowStyle(TShadowStyle style);
  int EdgeSize() const { return m_edgeSize; }
  void setEdgeSize(int size);
  QString Caption() const { return m_caption; }
  void setCaption(const QString& caption);
  TCaptionPosition CaptionPosition() const { return m_captionPosition; }
  void setCaptionPosition(TCaptionPosition position);
  TCaptionOutfit CaptionOutfit() const { return m_captionOutfit; }
  void setCaptionOutfit(TCaptionOutfit outfit);

  // Draws the frame onto `surface`, which holds what lies beneath the control at its size;
  // pixels the frame does not cover keep their colour.
  void paintFrame(QImage& surface) const;
  // What the parent and the controls below this one show under its rectangle.
  QImage backgroundBeneath() const;

protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  void deriveBevelColors();
  void drawFrame(const QImage& beneath, QImage& layer) const;
  void renderBeneath(QImage& image) const;
  QRect untouchedInside() const;
  template <typename T> void setAndUpdate(T& stored, T value);

  TBevelShape m_shape = TBevelShape::bspRect;
  TBevelStyle m_bevelOuter = TBevelStyle::bstRaised;
  TBevelStyle m_bevelInner = TBevelStyle::bstLowered;
  int m_bevelWidth = 1;
  int m_borderWidth = 0;
  TColor m_color = clBtnFace;
  bool m_colorFixed = true;
  TColor m_colorHighlight = clBtnHighlight;
  TColor m_colorShadow = clBtnShadow;
  TDensity m_colorDensity = 100;
  TTransparence m_transparence = TTransparence::trNone;
  bool m_shadowed = false;
  TColor m_shadowColor = clGray;
  TDensity m_shadowDensity = 60;
  bool m_densityDepended = true;
  int m_shadowOffsetX = 3;
  int m_shadowOffsetY = 3;
  TShadowStyle m_shadowStyle = TShadowStyle::ssDithered;
  int m_edgeSize = 15;
  QString m_caption;
  TCaptionPosition m_captionPosition = TCaptionPosition::cpTopLeft;
  TCaptionOutfit m_captionOutfit = TCaptionOutfit::coRaisedLight;
  // The ColorDensity last used with trSemi.
  TDensity m_semiDensity = 50;
  QImage m_beneath;
  QImage m_layer;
};

} // namespace kelvor
