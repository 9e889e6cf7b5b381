#pragma once

#include "widgets/tcolor.h"

#include <QImage>
#include <QWidget>

#include <stdexcept>

namespace kelvor {

enum class TProgressGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };

// A range bound written past the other bound: "Value must be between %d and %d".
class EGaugeRangeError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Percent done, cut toward zero; 0 for an empty range. Wide ranges are computed without
// overflow.
int gaugePercent(int progress, int minValue, int maxValue);
// share(p, L): L × (p × 0.01), cut toward zero.
int gaugeShare(int percent, int length);

// Shows how far Progress has come between MinValue and MaxValue, with the percentage printed
// in the inverse of whatever lies beneath it.
class TProgressGauge : public QWidget {
public:
  enum class TBorderStyle { bsNone, bsSingle };

  explicit TProgressGauge(QWidget* parent = nullptr);

  TProgressGaugeKind Kind() const { return m_kind; }
  void setKind(TProgressGaugeKind kind);
  bool ShowText() const { return m_showText; }
  void setShowText(bool show);
  TBorderStyle BorderStyle() const { return m_borderStyle; }
  void setBorderStyle(TBorderStyle style);
  TColor ForeColor() const { return m_foreColor; }
  void setForeColor(TColor color);
  TColor BackColor() const { return m_backColor; }
  void setBackColor(TColor color);
  TColor Color() const { return m_color; }
  void setColor(TColor color);
  int MinValue() const { return m_minValue; }
  void setMinValue(int value);
  int MaxValue() const { return m_maxValue; }
  void setMaxValue(int value);
  int Progress() const { return m_progress; }
  void setProgress(int value);

  int percentDone() const { return gaugePercent(m_progress, m_minValue, m_maxValue); }
  // The control's look at its present size, as painted.
  QImage renderImage() const;

protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  template <typename T> void setAndRepaint(T& stored, T value);

  TProgressGaugeKind m_kind = TProgressGaugeKind::gkHorizontalBar;
  bool m_showText = true;
  TBorderStyle m_borderStyle = TBorderStyle::bsSingle;
  TColor m_foreColor = clBlack;
  TColor m_backColor = clWhite;
  TColor m_color = clWindow;
  int m_minValue = 0;
  int m_maxValue = 100;
  int m_progress = 0;
};

} // namespace kelvor
