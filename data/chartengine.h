#pragma once

#include "tcolor.h"

#include <QRectF>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class QPainter;

namespace kelvor {

// Axis value labels in the pattern "#,##0.0##": thousands grouped by ",", "." as the decimal
// point (the program writes every number with "."), one to three decimals, halves rounded
// away from zero.
QString formatAxisValue(double value);

// One axis of the chart with a fixed range. An increment of 0 lets the chart choose a step
// that keeps the labels apart; a set increment is widened by whole multiples when its labels
// would crowd.
struct ChartAxis {
  double minimum = 0.0;
  double maximum = 1.0;
  double increment = 0.0;
  QString title;
};

// The points of the one line series, stored column-wise so that a million points fill and
// paint quickly. The x values never decrease (the chart looks points up by x).
class ChartSeries {
public:
  void clear();
  void reserve(std::size_t count, std::size_t labelBytes);
  // Throws std::invalid_argument when x is smaller than the previous point's x.
  void addPoint(double x, double y, std::string_view label);

  std::size_t count() const { return m_x.size(); }
  double x(std::size_t index) const { return m_x[index]; }
  double y(std::size_t index) const { return m_y[index]; }
  std::string_view label(std::size_t index) const;
  const std::vector<double>& xValues() const { return m_x; }
  const std::vector<double>& yValues() const { return m_y; }

  TColor color() const { return m_color; }
  void setColor(TColor color) { m_color = color; }
  double width() const { return m_width; }

private:
  std::vector<double> m_x;
  std::vector<double> m_y;
  std::string m_labelText;
  std::vector<std::size_t> m_labelEnd;
  TColor m_color = clBlue;
  double m_width = 3.0;
};

// Indices of the points in [begin, end) worth drawing when x maps to pixel columns as
// floor((x - origin) * pixelsPerUnit): per column the first, the lowest, the highest and the
// last point, in series order, each once.
std::vector<std::size_t> reduceToPixelColumns(const std::vector<double>& xs,
                                              const std::vector<double>& ys, std::size_t begin,
                                              std::size_t end, double origin, double pixelsPerUnit);

// Geometry of one paint, in the chart's own pixels (a chart pixel is a screen pixel at 100 %;
// a printer gets several device pixels per chart pixel).
struct ChartLayout {
  QRectF chart;
  QRectF title;
  QRectF plot;
  QRectF leftTitle;
  QRectF bottomTitle;
  double leftLabelRight = 0.0;
  double bottomLabelTop = 0.0;
};

struct ChartAxisLabel {
  QString text;
  QRectF box;
  double position = 0.0;
};

inline constexpr const char* kDesignedChartTitle = "HLAVNI  TITULEK  GRAFU:";
inline constexpr const char* kBottomAxisTitle = "Celková  doba  měření  [minuty]:";
inline constexpr const char* kLeftAxisTitle = "Napětí  akumulátoru [V]:";

// The voltage chart: one line series over a white back wall, a left value axis and a bottom
// axis labelled with the points' label texts. It starts as designed: title
// kDesignedChartTitle, left axis 0 to 20 with automatic steps, bottom axis 0 to 60.
class ChartEngine {
public:
  ChartEngine();

  ChartSeries& series() { return m_series; }
  const ChartSeries& series() const { return m_series; }
  ChartAxis& leftAxis() { return m_leftAxis; }
  const ChartAxis& leftAxis() const { return m_leftAxis; }
  ChartAxis& bottomAxis() { return m_bottomAxis; }
  const ChartAxis& bottomAxis() const { return m_bottomAxis; }

  const QStringList& titleLines() const { return m_titleLines; }
  void setTitleLines(const QStringList& lines);
  QString firstTitleLine() const;
  void setFirstTitleLine(const QString& text);

  // Paints the whole chart into `rect` (painter coordinates); `pixelScale` is the number of
  // painter units per chart pixel, so fonts, pens and gaps keep their proportions on paper.
  void paint(QPainter& painter, const QRectF& rect, double pixelScale = 1.0) const;

  ChartLayout layout(const QSizeF& size) const;
  std::vector<ChartAxisLabel> leftLabels(const ChartLayout& layout) const;
  std::vector<ChartAxisLabel> bottomLabels(const ChartLayout& layout) const;
  // The points [first, last) whose x lies within the bottom axis.
  std::pair<std::size_t, std::size_t> visibleRange() const;

private:
  double xToPixel(const ChartLayout& layout, double x) const;
  double yToPixel(const ChartLayout& layout, double y) const;
  double leftStep(double plotHeight) const;
  double leftLabelWidth(double plotHeight) const;
  void paintFrame(QPainter& painter, const ChartLayout& layout) const;
  void paintTitles(QPainter& painter, const ChartLayout& layout) const;
  void paintLeftAxis(QPainter& painter, const ChartLayout& layout) const;
  void paintBottomAxis(QPainter& painter, const ChartLayout& layout) const;
  void paintLine(QPainter& painter, const ChartLayout& layout, double pixelScale) const;

  ChartSeries m_series;
  ChartAxis m_leftAxis;
  ChartAxis m_bottomAxis;
  QStringList m_titleLines;
};

} // namespace kelvor
