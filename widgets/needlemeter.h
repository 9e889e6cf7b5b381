#pragma once

#include "widgets/metermath.h"
#include "widgets/tcolor.h"

#include <QFont>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QPainter;

namespace kelvor {

enum TCaptionPos { cpTop, cpBottom };

// An elliptic dial with low, OK and high zones, ticks, a caption, an optional read-out and a
// needle. Everything is drawn into a back buffer in two layers: the background (face colour
// and zone sectors) and the foreground (what moves or carries text). A new value redraws only
// the foreground. Every write that changes the picture copies the buffer to the screen before
// it returns; the paint handler only copies the buffer.
//
// Events are Qt signals carrying the control as sender. A zone event counts as bound when a
// slot is connected to its signal.
class TNeedleMeter : public QWidget {
  Q_OBJECT

public:
  explicit TNeedleMeter(QWidget* parent = nullptr);

  QString caption() const { return m_caption; }
  void setCaption(const QString& caption);
  TCaptionPos captionPosition() const { return m_captionPosition; }
  void setCaptionPosition(TCaptionPos position);
  int captionVertAdj() const { return m_captionVertAdj; }
  void setCaptionVertAdj(int shift);

  float min() const { return m_min; }
  void setMin(float min);
  float max() const { return m_max; }
  void setMax(float max);
  float value() const { return m_value; }
  void setValue(float value);

  int tickPrecision() const { return m_tickPrecision; }
  void setTickPrecision(int precision);
  int tickDigits() const { return m_tickDigits; }
  void setTickDigits(int digits);
  int valuePrecision() const { return m_valuePrecision; }
  void setValuePrecision(int precision);
  int valueDigits() const { return m_valueDigits; }
  void setValueDigits(int digits);

  int angularRange() const { return m_angularRange; }
  void setAngularRange(int degrees);
  int tickCount() const { return m_tickCount; }
  void setTickCount(int count);

  // The zone boundaries as percentages of the range (computed, not stored).
  int lowZone() const;
  void setLowZone(int percent);
  int highZone() const;
  void setHighZone(int percent);
  float lowZoneValue() const { return m_lowZoneValue; }
  void setLowZoneValue(float value);
  float highZoneValue() const { return m_highZoneValue; }
  void setHighZoneValue(float value);

  TColor highZoneColor() const { return m_highZoneColor; }
  void setHighZoneColor(TColor color);
  TColor lowZoneColor() const { return m_lowZoneColor; }
  void setLowZoneColor(TColor color);
  TColor okZoneColor() const { return m_okZoneColor; }
  void setOKZoneColor(TColor color);

  int knobSize() const { return m_knobSize; }
  void setKnobSize(int size);
  int needleWidth() const { return m_needleWidth; }
  void setNeedleWidth(int width);
  TColor tickColor() const { return m_tickColor; }
  void setTickColor(TColor color);

  bool showTicks() const { return m_showTicks; }
  void setShowTicks(bool show);
  bool showTicksScale() const { return m_showTicksScale; }
  void setShowTicksScale(bool show);
  bool showZones() const { return m_showZones; }
  void setShowZones(bool show);
  bool showFrame() const { return m_showFrame; }
  void setShowFrame(bool show);
  bool showValue() const { return m_showValue; }
  void setShowValue(bool show);
  bool enableZoneEvents() const { return m_enableZoneEvents; }
  void setEnableZoneEvents(bool enable) { m_enableZoneEvents = enable; }

  TColor color() const { return m_color; }
  void setColor(TColor color);

  // The font of all texts. Assigning a whole font re-measures the text height that the layout
  // and the read-out use; setting attributes (as a form description does) keeps it.
  const QFont& meterFont() const { return m_font; }
  void setMeterFont(const QFont& font);
  void setMeterFontAttributes(const QFont& font);
  TColor fontColor() const { return m_fontColor; }
  void setFontColor(TColor color);

  // What the drawing works from, for those who check the picture.
  const QImage& backBuffer() const { return m_buffer; }
  const NeedleLayout& meterLayout() const { return m_layout; }
  int textHeight() const { return m_textHeight; }
  float startAngle() const { return m_startAngle; }
  QStringList tickLabels() const;
  QString valueText(float value) const;

signals:
  void onResize(kelvor::TNeedleMeter* sender);
  void onChange(kelvor::TNeedleMeter* sender);
  void onRiseAboveHigh(kelvor::TNeedleMeter* sender);
  void onFallBelowHigh(kelvor::TNeedleMeter* sender);
  void onRiseAboveLow(kelvor::TNeedleMeter* sender);
  void onFallBelowLow(kelvor::TNeedleMeter* sender);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  enum class Layers { Foreground, Both };

  void adoptSize();
  void redraw(Layers layers);
  void paintBackground();
  void paintForeground();
  void paintFace(QPainter& painter) const;
  void paintTicks(QPainter& painter) const;
  void paintTickLabels(QPainter& painter) const;
  void paintCaption(QPainter& painter) const;
  void paintValueText(QPainter& painter, float value, TColor color) const;
  void paintNeedleAndKnob(QPainter& painter) const;
  void paintFrame(QPainter& painter) const;

  float angleOf(float value) const;
  MeterPoint pointAt(int a, int b, float theta) const;
  TColor outlineColor() const;
  TColor zoneColor(Zone zone) const;
  TColor knobColor() const;
  QString fixedPoint(float value, int precision, int digits) const;
  std::vector<float> tickValues() const;
  bool isBound(void (TNeedleMeter::*signal)(TNeedleMeter*)) const;
  void raiseValueZoneEvents(float previous, float current);

  // Writes that share one shape: compare, store, redraw.
  template <typename T> void assign(T& field, T value, Layers layers);

  QString m_caption = QStringLiteral("mV");
  TCaptionPos m_captionPosition = cpTop;
  int m_captionVertAdj = 0;
  float m_min = 0.0f;
  float m_max = 100.0f;
  float m_value = 0.0f;
  float m_previousValue = 0.0f;
  int m_tickPrecision = 7;
  int m_tickDigits = 1;
  int m_valuePrecision = 7;
  int m_valueDigits = 1;
  int m_angularRange = 270;
  float m_startAngle = scaleStartAngle(270);
  int m_tickCount = 11;
  float m_lowZoneValue = 10.0f;
  float m_highZoneValue = 90.0f;
  TColor m_highZoneColor = clRed;
  TColor m_lowZoneColor = clYellow;
  TColor m_okZoneColor = cl3DLight;
  int m_knobSize = 10;
  int m_needleWidth = 2;
  TColor m_tickColor = clBlack;
  bool m_showTicks = true;
  bool m_showTicksScale = false;
  bool m_showZones = true;
  bool m_showFrame = true;
  bool m_showValue = true;
  bool m_enableZoneEvents = true;
  TColor m_color = clBtnFace;
  QFont m_font;
  TColor m_fontColor = clWindowText;
  int m_textHeight = 8;
  NeedleLayout m_layout;
  QImage m_buffer;
};

} // namespace kelvor
