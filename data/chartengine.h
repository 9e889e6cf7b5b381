#pragma once

#include "data/core/referencecurve.h"
#include "widgets/tcolor.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
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

// The points of the one line series. A series filled from the table has its points at the
// positions 0, 1, 2 … and takes its labels from the table, so it keeps only its y values,
// in single precision (a millionth of a volt is far below a pixel even on paper); a series
// given other x values or its own labels keeps those as well. The x values never
// decrease (the chart looks points up by x).
class ChartSeries {
public:
  // The label of the point at an index, for a series that keeps no labels of its own.
  using LabelSource = std::function<std::string(std::size_t)>;

  void clear();
  void reserve(std::size_t count, std::size_t labelBytes);
  // Throws std::invalid_argument when x is smaller than the previous point's x.
  void addPoint(double x, double y, std::string_view label);
  // A point at the next position, labelled by the label source.
  void addPositionalPoint(double y);
  void addPositionalPoints(std::span<const float> ys);
  void setLabelSource(LabelSource source);

  std::size_t count() const { return m_y.size(); }
  double x(std::size_t index) const {
    return m_x.empty() ? static_cast<double>(index) : m_x[index];
  }
  double y(std::size_t index) const { return m_y[index]; }
  std::string label(std::size_t index) const;
  // True while every point's x is its position.
  bool isPositional() const { return m_x.empty(); }
  // The first index at or after `from` (and before `end`) whose x is not below `x`.
  std::size_t lowerBound(double x, std::size_t from, std::size_t end) const;
  // The first index at or after `from` (and before `end`) whose x lies above `x`.
  std::size_t upperBound(double x, std::size_t from, std::size_t end) const;

  // Changes with every change of the points other than one added at the end, so a picture
  // of the points drawn before stays right while this and the points it showed are the same.
  std::uint64_t revision() const { return m_revision; }

  TColor color() const { return m_color; }
  void setColor(TColor color) { m_color = color; }
  double width() const { return m_width; }

private:
  void keepOwnX(double x);

  std::vector<double> m_x;
  std::vector<float> m_y;
  std::string m_labelText;
  std::vector<std::size_t> m_labelEnd;
  LabelSource m_labelSource;
  std::uint64_t m_revision = 0;
  TColor m_color = clBlue;
  double m_width = 3.0;
};

// Indices of the points in [begin, end) worth drawing when x maps to pixel columns as
// floor((x - origin) * pixelsPerUnit): per column the first, the lowest, the highest and the
// last point, in series order, each once.
std::vector<std::size_t> reduceToPixelColumns(const std::vector<double>& xs,
                                              const std::vector<double>& ys, std::size_t begin,
                                              std::size_t end, double origin, double pixelsPerUnit);

// The same reduction of a series, kept between paints: points added at the end extend it at
// a constant cost each, so a chart of millions of points repaints at the cost of its columns.
class ColumnReduction {
public:
  const std::vector<std::size_t>& reduce(const ChartSeries& series, std::size_t begin,
                                         std::size_t end, double origin, double pixelsPerUnit);
  // The x and y of the points the last reduce kept, in its order. A paint reads them here in
  // one run instead of gathering them from all over a series of millions.
  const std::vector<QPointF>& points() const { return m_keptPoints; }

private:
  struct Column {
    std::int64_t pixel = 0;
    std::size_t first = 0;
    std::size_t lowest = 0;
    std::size_t highest = 0;
    std::size_t last = 0;
  };

  void restart(const ChartSeries& series, std::size_t begin, double origin, double pixelsPerUnit);
  void addPoint(const ChartSeries& series, std::size_t index);
  void keepLastColumn(const ChartSeries& series);

  std::uint64_t m_revision = 0;
  std::size_t m_begin = 0;
  std::size_t m_end = 0;
  double m_origin = 0.0;
  double m_pixelsPerUnit = 0.0;
  bool m_valid = false;
  bool m_hasColumn = false;
  Column m_last;
  std::vector<std::size_t> m_kept;
  std::vector<QPointF> m_keptPoints;
  // m_kept without the entries of the last column, which may still change.
  std::size_t m_keptBeforeLast = 0;
};

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

  bool operator==(const ChartLayout&) const = default;
};

struct ChartAxisLabel {
  QString text;
  QRectF box;
  double position = 0.0;

  bool operator==(const ChartAxisLabel&) const = default;
};

inline constexpr const char* kDesignedChartTitle = "HLAVNI  TITULEK  GRAFU:";
inline constexpr const char* kBottomAxisTitle = "Celková  doba  měření  [minuty]:";
inline constexpr const char* kLeftAxisTitle = "Napětí  akumulátoru [V]:";
inline constexpr TColor kReferenceColor = clGray;
inline constexpr double kReferenceWidth = 2.0;

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

  // An earlier discharge, drawn in grey behind the line; none when empty.
  const std::vector<ReferencePoint>& reference() const { return m_reference; }
  void setReference(std::vector<ReferencePoint> points);
  // Changes with every reference set.
  std::uint64_t referenceRevision() const { return m_referenceRevision; }
  // The storage interval in seconds, asked for whenever the reference is drawn: the line has
  // one position per interval, so the reference follows a new interval at its next paint.
  // Without it a position stands for a minute.
  void setStorageInterval(std::function<double()> seconds);
  double storageInterval() const;

private:
  double xToPixel(const ChartLayout& layout, double x) const;
  double yToPixel(const ChartLayout& layout, double y) const;
  double leftStep(double plotHeight) const;
  double leftLabelWidth(double plotHeight) const;
  // Everything but the line and the frame: back wall, titles, axes, grid and labels.
  struct Backdrop {
    ChartLayout layout;
    QStringList titleLines;
    QString leftTitle;
    QString bottomTitle;
    std::vector<ChartAxisLabel> leftLabels;
    std::vector<ChartAxisLabel> bottomLabels;

    bool operator==(const Backdrop&) const = default;
  };
  // The backdrop as last drawn for a raster device, in that device's pixels.
  struct BackdropPicture {
    Backdrop backdrop;
    QTransform transform;
    int renderHints = 0;
    QImage image;
  };

  Backdrop backdropOf(const ChartLayout& layout) const;
  void paintBackdrop(QPainter& painter, const Backdrop& backdrop) const;
  bool copyBackdrop(QPainter& painter, const Backdrop& backdrop) const;
  void paintFrame(QPainter& painter, const ChartLayout& layout) const;
  void paintTitles(QPainter& painter, const Backdrop& backdrop) const;
  void paintLeftAxis(QPainter& painter, const Backdrop& backdrop) const;
  void paintBottomAxis(QPainter& painter, const Backdrop& backdrop) const;
  void paintLine(QPainter& painter, const ChartLayout& layout, double pixelScale) const;
  void paintReference(QPainter& painter, const ChartLayout& layout) const;

  ChartSeries m_series;
  mutable ColumnReduction m_reduction;
  mutable BackdropPicture m_backdropPicture;
  ChartAxis m_leftAxis;
  ChartAxis m_bottomAxis;
  QStringList m_titleLines;
  std::vector<ReferencePoint> m_reference;
  std::uint64_t m_referenceRevision = 0;
  std::function<double()> m_storageInterval;
};

} // namespace kelvor
