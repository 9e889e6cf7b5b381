#include "data/chartengine.h"
#include "data/chartreport.h"
#include "data/chartview.h"
#include "data/core/numbertext.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <functional>
#include <limits>
#include <random>
#include <stdexcept>

using namespace kelvor;

namespace {

// The chart's size on the A4 landscape report at 100 % (272.1 × 183.9 mm at 96 dpi).
const QSize kChartSize(1028, 695);

QImage paintChart(const ChartEngine& chart, QSize size = kChartSize, double scale = 1.0) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::gray);
  QPainter painter(&image);
  chart.paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), scale);
  painter.end();
  return image;
}

// The chart drawn on a picture of its own at an offset, where no earlier picture of the chart
// can serve; `hints` are the painter's. The copy's own earlier pictures stay with the copy.
QImage freshPicture(ChartEngine chart, QSize size, double scale, QPainter::RenderHints hints = {}) {
  const QPoint offset(7, 5);
  QImage image(size + QSize(offset.x(), offset.y()), QImage::Format_RGB32);
  image.fill(Qt::gray);
  QPainter painter(&image);
  painter.setRenderHints(hints);
  chart.paint(painter, QRectF(offset, QSizeF(size)), scale);
  painter.end();
  return image.copy(QRect(offset, size));
}

QImage repaint(const ChartEngine& chart, QImage& image, double scale,
               QPainter::RenderHints hints = {}) {
  QPainter painter(&image);
  painter.setRenderHints(hints);
  chart.paint(painter, QRectF(QPointF(0, 0), QSizeF(image.size())), scale);
  painter.end();
  return image;
}

int countColour(const QImage& image, QRgb colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      count += (line[x] & 0xFFFFFF) == (colour & 0xFFFFFF) ? 1 : 0;
  }
  return count;
}

// Records as the measuring cycle stores them at a 6-second interval: minutes "   0.1" …
void fillMinutes(ChartEngine& chart, int count, double volts = 12.0) {
  chart.series().clear();
  for (int i = 0; i < count; ++i)
    chart.series().addPoint(i, volts + 0.001 * (i % 50), formatFixed(i * 0.1, 6, 1));
}

} // namespace

class TestChartEngine : public QObject {
  Q_OBJECT

private slots:
  void axisValueFormat_data();
  void axisValueFormat();
  void designedState();
  void seriesStoresPointsAndRefuses();
  void leftAxisFixedRanges();
  void leftAxisStepsKeepLabelsApart();
  void bottomLabelsKeepBlanksAndSitOnTheirPoints();
  void bottomLabelsCrowdingIsThinned();
  void reductionKeepsFirstLastMinMaxPerColumn();
  void millionPointsPaintAsTheirReduction();
  void reductionFollowsAppendedPoints();
  void positionalSeriesFindsPointsAsStoredXDoes();
  void viewRedrawsWhenWhatItShowsChanges();
  void pointsBeyondAxisMaximumAreNotDrawn();
  void longTitleIsDrawnWhole();
  void repaintShowsEveryChangeAsAFreshDrawing();
  void copiedBackdropIsWhatADrawingGives();
  void emptySeriesDrawsAxesWithoutLine();
  void chartReportPageAndView();
  void referenceLiesBehindTheLineAtItsElapsedTime();
};

void TestChartEngine::axisValueFormat_data() {
  QTest::addColumn<double>("value");
  QTest::addColumn<QString>("text");
  QTest::newRow("whole") << 10.0 << "10.0";
  QTest::newRow("one decimal") << 12.5 << "12.5";
  QTest::newRow("two decimals") << 2.25 << "2.25";
  QTest::newRow("thousands") << 1234.5 << "1,234.5";
  QTest::newRow("millions") << 1234567.125 << "1,234,567.125";
  QTest::newRow("zero") << 0.0 << "0.0";
  QTest::newRow("three decimals at most") << 0.12345 << "0.123";
  QTest::newRow("rounds half away") << 2.0005 << "2.001";
  QTest::newRow("negative") << -2.5 << "-2.5";
  QTest::newRow("negative rounding to zero") << -0.0004 << "0.0";
  QTest::newRow("exact thousand") << 1000.0 << "1,000.0";
}

void TestChartEngine::axisValueFormat() {
  QFETCH(double, value);
  QFETCH(QString, text);
  QCOMPARE(formatAxisValue(value), text);
}

void TestChartEngine::designedState() {
  const ChartEngine chart;
  QCOMPARE(chart.titleLines(), QStringList{QString::fromUtf8("HLAVNI  TITULEK  GRAFU:")});
  QCOMPARE(chart.leftAxis().minimum, 0.0);
  QCOMPARE(chart.leftAxis().maximum, 20.0);
  QCOMPARE(chart.leftAxis().increment, 0.0);
  QCOMPARE(chart.leftAxis().title, QString::fromUtf8("Napětí  akumulátoru [V]:"));
  QCOMPARE(chart.bottomAxis().minimum, 0.0);
  QCOMPARE(chart.bottomAxis().maximum, 60.0);
  QCOMPARE(chart.bottomAxis().title, QString::fromUtf8("Celková  doba  měření  [minuty]:"));
  QCOMPARE(chart.series().color(), clBlue);
  QCOMPARE(chart.series().width(), 3.0);
  QCOMPARE(chart.series().count(), std::size_t{0});
}

void TestChartEngine::seriesStoresPointsAndRefuses() {
  ChartSeries series;
  series.addPoint(0, 12.5, "   0.1");
  series.addPoint(1, 12.4, "");
  series.addPoint(1, 12.3, "  10.2");
  QCOMPARE(series.count(), std::size_t{3});
  QCOMPARE(series.label(0), std::string("   0.1"));
  QCOMPARE(series.label(1), std::string(""));
  QCOMPARE(series.label(2), std::string("  10.2"));
  QCOMPARE(series.y(2), double(12.3F));
  QVERIFY_THROWS_EXCEPTION(std::invalid_argument, series.addPoint(0.5, 1.0, "x"));
  QCOMPARE(series.count(), std::size_t{3});
  series.clear();
  QCOMPARE(series.count(), std::size_t{0});
  series.addPoint(0, 1.0, "a");
  QCOMPARE(series.label(0), std::string("a"));
}

void TestChartEngine::leftAxisFixedRanges() {
  ChartEngine chart;
  const auto texts = [&] {
    QStringList result;
    for (const ChartAxisLabel& label : chart.leftLabels(chart.layout(kChartSize)))
      result << label.text;
    return result;
  };

  chart.leftAxis() = ChartAxis{10.0, 13.0, 0.5, chart.leftAxis().title};
  QCOMPARE(texts(), (QStringList{"10.0", "10.5", "11.0", "11.5", "12.0", "12.5", "13.0"}));
  chart.leftAxis() = ChartAxis{0.0, 15.0, 2.5, chart.leftAxis().title};
  QCOMPARE(texts(), (QStringList{"0.0", "2.5", "5.0", "7.5", "10.0", "12.5", "15.0"}));

  // The ends of the range sit on the ends of the plot.
  const ChartLayout geometry = chart.layout(kChartSize);
  const auto labels = chart.leftLabels(chart.layout(kChartSize));
  QCOMPARE(labels.front().position, geometry.plot.bottom());
  QCOMPARE(labels.back().position, geometry.plot.top());
  for (const ChartAxisLabel& label : labels)
    QVERIFY(label.box.right() <= geometry.plot.left());
}

void TestChartEngine::leftAxisStepsKeepLabelsApart() {
  ChartEngine chart;
  const double labelHeight = [] {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(19);
    font.setBold(true);
    return QFontMetricsF(font).height();
  }();
  for (const QSize size : {kChartSize, QSize(600, 260), QSize(400, 160)}) {
    for (const double increment : {0.0, 0.5}) {
      chart.leftAxis().increment = increment;
      const auto labels = chart.leftLabels(chart.layout(size));
      QVERIFY2(labels.size() >= 2, qPrintable(QString::number(size.height())));
      for (std::size_t i = 1; i < labels.size(); ++i) {
        const double gap = labels[i - 1].position - labels[i].position;
        QVERIFY(gap >= labelHeight * 1.2 - 1e-6);
        if (increment > 0.0) {
          const double steps = (labels[i].text.toDouble() - labels[i - 1].text.toDouble()) / 0.5;
          QCOMPARE(steps, std::round(steps));
        }
      }
    }
  }
  // The designed 0 to 20 at full size shows a round step starting at 0 and ending at 20.
  chart.leftAxis().increment = 0.0;
  const auto labels = chart.leftLabels(chart.layout(kChartSize));
  QCOMPARE(labels.front().text, QStringLiteral("0.0"));
  QCOMPARE(labels.back().text, QStringLiteral("20.0"));
}

void TestChartEngine::bottomLabelsKeepBlanksAndSitOnTheirPoints() {
  ChartEngine chart;
  chart.bottomAxis().maximum = 4;
  const std::vector<std::string> minutes{"   0.0", "   0.1", "  10.2", " 100.3", "1000.4"};
  for (std::size_t i = 0; i < minutes.size(); ++i)
    chart.series().addPoint(static_cast<double>(i), 12.0, minutes[i]);
  const ChartLayout geometry = chart.layout(kChartSize);
  const auto labels = chart.bottomLabels(geometry);
  QCOMPARE(labels.size(), minutes.size());
  for (std::size_t i = 0; i < labels.size(); ++i) {
    QCOMPARE(labels[i].text, QString::fromStdString(minutes[i]));
    const double expected = geometry.plot.left() + geometry.plot.width() * i / 4.0;
    QCOMPARE(labels[i].position, expected);
    QCOMPARE(labels[i].box.center().x(), expected);
    QVERIFY(labels[i].box.top() > geometry.plot.bottom());
  }
  // A label with leading blanks is wider than its digits alone: the blanks take their room.
  QVERIFY(labels[1].box.width() > labels[4].box.width() * 0.5);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(19);
  font.setBold(true);
  QCOMPARE(labels[1].box.width(), QFontMetricsF(font).horizontalAdvance("   0.1"));
}

void TestChartEngine::bottomLabelsCrowdingIsThinned() {
  ChartEngine chart;
  chart.bottomAxis().maximum = 600;
  fillMinutes(chart, 700);
  const ChartLayout geometry = chart.layout(kChartSize);
  const auto labels = chart.bottomLabels(geometry);
  QVERIFY(labels.size() > 5);
  QVERIFY(labels.size() < 601);
  for (std::size_t i = 1; i < labels.size(); ++i) {
    const double free = labels[i].box.left() - labels[i - 1].box.right();
    QVERIFY(free >= 0.2 * labels[i].box.width() - 1e-9);
    // Thinning skips only labels that would crowd: the gap stays below two labels' room.
    QVERIFY(free < 2.0 * labels[i].box.width());
  }
  QCOMPARE(labels.front().text, QStringLiteral("   0.0"));
  for (const ChartAxisLabel& label : labels) {
    QVERIFY(label.box.left() >= 0 && label.box.right() <= kChartSize.width());
    QVERIFY(label.position <= geometry.plot.right());
  }
}

void TestChartEngine::reductionKeepsFirstLastMinMaxPerColumn() {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  std::vector<double> xs;
  std::vector<double> ys;
  for (int i = 0; i < 5000; ++i) {
    xs.push_back(i * 0.37);
    ys.push_back(noise(random));
  }
  const double pixelsPerUnit = 0.11;
  const std::size_t begin = 10;
  const std::size_t end = 4990;
  const auto kept = reduceToPixelColumns(xs, ys, begin, end, 0.0, pixelsPerUnit);
  QVERIFY(std::is_sorted(kept.begin(), kept.end()));
  QVERIFY(std::adjacent_find(kept.begin(), kept.end()) == kept.end());
  QCOMPARE(kept.front(), begin);
  QCOMPARE(kept.back(), end - 1);

  const auto column = [&](std::size_t i) { return std::floor(xs[i] * pixelsPerUnit); };
  std::size_t columns = 0;
  for (std::size_t first = begin; first < end;) {
    std::size_t last = first;
    std::size_t lowest = first;
    std::size_t highest = first;
    while (last + 1 < end && column(last + 1) == column(first)) {
      ++last;
      lowest = ys[last] < ys[lowest] ? last : lowest;
      highest = ys[last] > ys[highest] ? last : highest;
    }
    for (const std::size_t needed : {first, last, lowest, highest})
      QVERIFY(std::binary_search(kept.begin(), kept.end(), needed));
    ++columns;
    first = last + 1;
  }
  QVERIFY(kept.size() <= 4 * columns);
  QVERIFY(kept.size() < (end - begin) / 2);
}

void TestChartEngine::millionPointsPaintAsTheirReduction() {
  constexpr int kPoints = 1'000'000;
  std::mt19937 random(11);
  std::normal_distribution<double> step(0.0, 0.05);
  ChartEngine full;
  full.bottomAxis().maximum = kPoints;
  full.leftAxis() = ChartAxis{10.0, 13.0, 0.5, full.leftAxis().title};
  double volts = 11.5;
  full.series().reserve(kPoints, 0);
  std::vector<double> xs;
  std::vector<double> ys;
  for (int i = 0; i < kPoints; ++i) {
    volts = std::clamp(volts + step(random), 9.8, 13.2);
    full.series().addPositionalPoint(volts);
    xs.push_back(i);
    ys.push_back(full.series().y(std::size_t(i)));
  }
  QVERIFY(full.series().isPositional());

  const QSize size(1280, 720);
  const ChartLayout geometry = full.layout(size);
  const auto kept = reduceToPixelColumns(xs, ys, 0, kPoints, 0.0, geometry.plot.width() / kPoints);
  QVERIFY(kept.size() < std::size_t{4} * 1300);
  ChartEngine reduced;
  reduced.bottomAxis() = full.bottomAxis();
  reduced.leftAxis() = full.leftAxis();
  for (const std::size_t i : kept)
    reduced.series().addPoint(full.series().x(i), full.series().y(i), "");

  const QImage fullImage = paintChart(full, size);
  QCOMPARE(fullImage, paintChart(reduced, size));
  QVERIFY(countColour(fullImage, qRgb(0, 0, 255)) > 1000);
}

void TestChartEngine::reductionFollowsAppendedPoints() {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> noise(-1.0, 1.0);
  for (const bool positional : {true, false}) {
    ChartSeries series;
    std::vector<double> xs;
    std::vector<double> ys;
    ColumnReduction reduction;
    const double pixelsPerUnit = positional ? 0.013 : 0.11;
    std::size_t end = 0;
    for (const std::size_t add : {1, 1, 2, 700, 3, 1, 5000, 77}) {
      for (std::size_t k = 0; k < add; ++k, ++end) {
        const double y = double(float(noise(random)));
        const double x = positional ? double(end) : end * 0.37;
        positional ? series.addPositionalPoint(y) : series.addPoint(x, y, "");
        xs.push_back(x);
        ys.push_back(y);
      }
      const std::vector<std::size_t> kept = reduction.reduce(series, 3, end, 0.5, pixelsPerUnit);
      QCOMPARE(kept, reduceToPixelColumns(xs, ys, std::min<std::size_t>(3, end), end, 0.5,
                                          pixelsPerUnit));
      QCOMPARE(reduction.points().size(), kept.size());
      for (std::size_t k = 0; k < kept.size(); ++k)
        QCOMPARE(reduction.points()[k], QPointF(xs[kept[k]], ys[kept[k]]));
    }
    // Another scale, another first point, or new points start the reduction afresh.
    QCOMPARE(reduction.reduce(series, 0, end, 0.0, 0.2),
             reduceToPixelColumns(xs, ys, 0, end, 0.0, 0.2));
    QCOMPARE(reduction.reduce(series, 10, end - 5, 0.0, 0.2),
             reduceToPixelColumns(xs, ys, 10, end - 5, 0.0, 0.2));
    series.clear();
    for (std::size_t i = 0; i < 100; ++i) {
      positional ? series.addPositionalPoint(-ys[i]) : series.addPoint(xs[i], -ys[i], "");
      ys[i] = -ys[i];
    }
    xs.resize(100);
    ys.resize(100);
    QCOMPARE(reduction.reduce(series, 10, 100, 0.0, 0.2),
             reduceToPixelColumns(xs, ys, 10, 100, 0.0, 0.2));
    // Restarted, the points are those of the new values.
    QCOMPARE(reduction.points().front(), QPointF(xs[10], ys[10]));
    QCOMPARE(reduction.points().size(), reduction.reduce(series, 10, 100, 0.0, 0.2).size());
  }
}

void TestChartEngine::positionalSeriesFindsPointsAsStoredXDoes() {
  ChartSeries positional;
  ChartSeries stored;
  for (int i = 0; i < 20; ++i) {
    positional.addPositionalPoint(1.0);
    stored.addPoint(i, 1.0, "");
  }
  QVERIFY(positional.isPositional());
  // A point whose x is its position keeps the series positional.
  QVERIFY(stored.isPositional());
  stored.addPoint(20.5, 1.0, "");
  positional.addPositionalPoint(1.0);
  QVERIFY(!stored.isPositional());
  QCOMPARE(stored.x(19), 19.0);
  QCOMPARE(stored.x(20), 20.5);
  for (const double x :
       {-1e300, -3.0, 0.0, 0.5, 7.0, 7.25, 19.0, 19.9, 20.0, 25.0, 1e300,
        std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
    for (const auto& [from, end] : {std::pair<std::size_t, std::size_t>{0, 20}, {4, 12}}) {
      QCOMPARE(positional.lowerBound(x, from, end), stored.lowerBound(x, from, end));
      QCOMPARE(positional.upperBound(x, from, end), stored.upperBound(x, from, end));
    }
  }
}

void TestChartEngine::viewRedrawsWhenWhatItShowsChanges() {
  ChartReport report;
  ChartEngine& chart = report.chart();
  chart.bottomAxis().maximum = 100;
  chart.leftAxis() = ChartAxis{10.0, 13.0, 0.5, chart.leftAxis().title};
  for (int i = 0; i < 50; ++i)
    chart.series().addPoint(i, 11.0, formatFixed(i * 0.1, 6, 1));
  ChartView view(report);
  view.resize(674, 476);
  const auto shown = [&view] {
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
  };
  const auto painted = [&view, &report] {
    QImage page(view.size(), QImage::Format_RGB32);
    page.fill(view.palette().window().color());
    QPainter painter(&page);
    report.paintPage(painter, view.zoom() * 96.0 / 25.4);
    return page;
  };
  const QImage before = shown();
  QCOMPARE(before, painted());

  // A point beyond the axis changes nothing shown; one on it, the axis, the title, the
  // colour and a re-read do.
  chart.series().addPoint(150, 12.9, "  15.0");
  QCOMPARE(shown(), before);
  chart.series().addPoint(151, 12.9, "  15.1");
  chart.bottomAxis().maximum = 200;
  QVERIFY(shown() != before);
  QCOMPARE(shown(), painted());
  chart.setFirstTitleLine(QStringLiteral("JINY"));
  QCOMPARE(shown(), painted());
  chart.series().setColor(clRed);
  QCOMPARE(shown(), painted());
  chart.series().clear();
  for (int i = 0; i < 50; ++i)
    chart.series().addPoint(i, 12.0, formatFixed(i * 0.1, 6, 1));
  QCOMPARE(shown(), painted());
  view.setZoom(0.5);
  QCOMPARE(shown(), painted());
}

void TestChartEngine::pointsBeyondAxisMaximumAreNotDrawn() {
  // 700 records at a 6-second interval on a 60-minute axis: positions 0 to 600 show.
  ChartEngine all;
  all.bottomAxis().maximum = 600;
  all.leftAxis() = ChartAxis{10.0, 13.0, 0.5, all.leftAxis().title};
  all.series().setColor(clRed);
  ChartEngine first601 = all;
  ChartEngine first600 = all;
  for (int i = 0; i < 700; ++i) {
    // The last visible record dips, so that it shows; the records after it jump about:
    // drawn, they would cross the plot's right edge.
    const double volts =
        i < 600 ? 12.0 + 0.5 * std::sin(i / 20.0) : (i == 600 ? 10.5 : 10.0 + 3.0 * (i % 2));
    all.series().addPoint(i, volts, formatFixed(i * 0.1, 6, 1));
    if (i <= 600)
      first601.series().addPoint(i, volts, formatFixed(i * 0.1, 6, 1));
    if (i < 600)
      first600.series().addPoint(i, volts, formatFixed(i * 0.1, 6, 1));
  }
  QCOMPARE(all.visibleRange(), (std::pair<std::size_t, std::size_t>{0, 601}));
  const QImage image = paintChart(all);
  QCOMPARE(image, paintChart(first601));
  QVERIFY(image != paintChart(first600));

  // Nothing of the line leaves the plot, even for voltages off the axis.
  ChartEngine wild = all;
  wild.series().clear();
  for (int i = 0; i < 700; ++i)
    wild.series().addPoint(i, (i % 2) ? 1000.0 : -1000.0, "");
  const QImage wildImage = paintChart(wild);
  const QRectF plot = wild.layout(kChartSize).plot;
  QVERIFY(countColour(wildImage, qRgb(255, 0, 0)) > 1000);
  for (int y = 0; y < wildImage.height(); ++y) {
    for (int x = 0; x < wildImage.width(); ++x) {
      if ((wildImage.pixel(x, y) & 0xFFFFFF) == 0xFF0000)
        QVERIFY2(plot.adjusted(-1, -1, 1, 1).contains(QPointF(x, y)),
                 qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    }
  }
}

void TestChartEngine::longTitleIsDrawnWhole() {
  ChartEngine chart;
  const QString title = QStringLiteral("MERENI  AKUMULATORU  12V  44AH  C20  XYZ");
  QCOMPARE(title.size(), 40);
  chart.setFirstTitleLine(title);
  QCOMPARE(chart.firstTitleLine(), title);
  const ChartLayout geometry = chart.layout(kChartSize);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(27);
  font.setBold(true);
  font.setUnderline(true);
  const double width = QFontMetricsF(font).horizontalAdvance(title);
  QVERIFY(width < geometry.title.width());

  // The ink of the title row spans the whole text, centred on the chart.
  const QImage image = paintChart(chart);
  int left = image.width();
  int right = -1;
  for (int y = static_cast<int>(geometry.title.top());
       y < static_cast<int>(geometry.title.bottom()); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (qGray(image.pixel(x, y)) < 100) {
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  }
  QVERIFY(right > left);
  QVERIFY2(right - left + 1 >= width - 4,
           qPrintable(QStringLiteral("ink %1 of %2").arg(right - left + 1).arg(width)));
  QVERIFY(std::abs((left + right) / 2.0 - kChartSize.width() / 2.0) < 6);
  image.save(QStringLiteral("/tmp/kelvor_chart_title.png"));
}

// A repaint into the same picture after any change shows what a drawing on a new picture
// shows: nothing of the texts, axes and grid drawn before stays behind.
void TestChartEngine::repaintShowsEveryChangeAsAFreshDrawing() {
  ChartEngine chart;
  fillMinutes(chart, 400);
  chart.bottomAxis().maximum = 600;
  QImage image(kChartSize, QImage::Format_RGB32);
  double scale = 1.0;
  QPainter::RenderHints hints;
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"first paint", [] {}},
      {"unchanged", [] {}},
      {"title", [&] { chart.setFirstTitleLine(QStringLiteral("ZKOUŠKA  AKUMULÁTORU")); }},
      {"second title line",
       [&] {
         chart.setTitleLines({chart.firstTitleLine(), QStringLiteral("DRUHÝ  ŘÁDEK")});
       }},
      {"voltage scale",
       [&] {
         chart.leftAxis() = ChartAxis{10.0, 13.0, 0.5, QStringLiteral("U")};
       }},
      {"time scale", [&] { chart.bottomAxis().maximum = 1200; }},
      {"records added", [&] { fillMinutes(chart, 900); }},
      {"record labels",
       [&] {
         chart.series().clear();
         chart.series().addPoint(0, 12.0, "  17.5");
       }},
      {"bottom title", [&] { chart.bottomAxis().title = QStringLiteral("minuty"); }},
      {"line colour", [&] { chart.series().setColor(clRed); }},
      {"size", [&] { image = QImage(QSize(800, 500), QImage::Format_RGB32); }},
      {"pixel scale", [&] { scale = 0.5; }},
      {"antialiasing", [&] { hints = QPainter::Antialiasing | QPainter::TextAntialiasing; }},
      {"series cleared", [&] { chart.series().clear(); }},
  };
  for (const auto& [name, change] : changes) {
    change();
    image.fill(Qt::gray);
    const QImage shown = repaint(chart, image, scale, hints);
    QVERIFY2(shown == freshPicture(chart, image.size(), scale, hints), name);
  }
}

// A painter on a picture with a device pixel ratio draws the chart anew (its device transform
// is not its world transform); one scaled by the same factor copies its backdrop, drawn the
// first time and reused the second. Off whole pixels too: the pixels around stay as they were.
void TestChartEngine::copiedBackdropIsWhatADrawingGives() {
  ChartEngine chart;
  fillMinutes(chart, 400);
  chart.bottomAxis().maximum = 600;
  const QSize size(600, 400);
  const QRectF box(QPointF(3.5, 2.25), QSizeF(size));
  QImage drawn(size * 2 + QSize(8, 5), QImage::Format_RGB32);
  drawn.setDevicePixelRatio(2.0);
  drawn.fill(Qt::gray);
  {
    QPainter painter(&drawn);
    QVERIFY(painter.deviceTransform() != painter.worldTransform());
    chart.paint(painter, box, 1.0);
  }
  drawn.setDevicePixelRatio(1.0);
  QImage copied(drawn.size(), QImage::Format_RGB32);
  for (int round = 0; round < 2; ++round) {
    copied.fill(Qt::gray);
    QPainter painter(&copied);
    painter.scale(2.0, 2.0);
    chart.paint(painter, box, 1.0);
    painter.end();
    QVERIFY2(copied == drawn, round == 0 ? "drawn copy" : "reused copy");
  }
}

void TestChartEngine::emptySeriesDrawsAxesWithoutLine() {
  ChartEngine chart;
  chart.setFirstTitleLine(QString());
  const QImage image = paintChart(chart);
  QCOMPARE(countColour(image, qRgb(0, 0, 255)), 0);
  const ChartLayout geometry = chart.layout(kChartSize);
  QVERIFY(chart.bottomLabels(geometry).empty());
  QVERIFY(!chart.leftLabels(geometry).empty());
  // The left wall: three black pixels wide along the plot's left edge.
  const int y = static_cast<int>(geometry.plot.center().y()) + 3;
  const int x = static_cast<int>(std::round(geometry.plot.left()));
  int dark = 0;
  for (int dx = -3; dx <= 3; ++dx)
    dark += qGray(image.pixel(x + dx, y)) < 60 ? 1 : 0;
  QCOMPARE(dark, 3);
  // Nothing outside the chart's rectangle is painted, everything inside is.
  QCOMPARE(image.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
}

void TestChartEngine::chartReportPageAndView() {
  ChartReport report;
  fillMinutes(report.chart(), 700);
  report.chart().bottomAxis().maximum = 600;
  report.chart().leftAxis() = ChartAxis{10.0, 13.0, 0.5, report.chart().leftAxis().title};
  report.chart().setFirstTitleLine(QStringLiteral("ZKOUŠKA  AKUMULÁTORU"));

  ChartView view(report);
  // The chart's hint goes to the status line only.
  QVERIFY(view.toolTip().isEmpty());
  QCOMPARE(view.zoom(), 0.6);
  view.resize(674, 476);
  const QImage screen = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
  screen.save(QStringLiteral("/tmp/kelvor_chart_view.png"));
  QVERIFY(countColour(screen, qRgb(0, 0, 255)) > 100);

  // The view shows what prints: the page painted at 60 % equals the view's picture.
  QImage page(674, 476, QImage::Format_RGB32);
  page.fill(view.palette().window().color());
  QPainter painter(&page);
  report.paintPage(painter, 0.6 * 96.0 / 25.4);
  painter.end();
  QCOMPARE(screen, page);

  QImage print(3508, 2480, QImage::Format_RGB32);
  QPainter printer(&print);
  report.paintPage(printer, 300.0 / 25.4);
  printer.end();
  print.scaled(1403, 992, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
      .save(QStringLiteral("/tmp/kelvor_chart_page300.png"));
  QVERIFY(countColour(print, qRgb(0, 0, 255)) > 1000);
}

// Ten minutes of reference at a 6-second interval end at position 100; the line over the same
// volts hides it; a halved interval stretches it at the next paint.
void TestChartEngine::referenceLiesBehindTheLineAtItsElapsedTime() {
  ChartEngine chart;
  chart.bottomAxis().maximum = 200;
  chart.leftAxis() = ChartAxis{10.0, 14.0, 0.0, chart.leftAxis().title};
  for (int i = 0; i <= 50; ++i)
    chart.series().addPoint(i, 12.3, "");
  chart.setReference({{0.0, 12.3}, {10.0, 12.3}});
  double interval = 6.0;
  chart.setStorageInterval([&interval] { return interval; });
  const QRectF plot = chart.layout(kChartSize).plot;
  // The colours around the curves' row in the column of a position.
  const auto coloursAt = [&plot](const QImage& image, double position) {
    const int x = static_cast<int>(plot.left() + position / 200.0 * plot.width());
    const int y = static_cast<int>(plot.bottom() - 2.3 / 4.0 * plot.height());
    QSet<QRgb> colours;
    for (int row = y - 3; row <= y + 3; ++row)
      colours.insert(image.pixel(x, row) & 0xFFFFFF);
    return colours;
  };
  QImage image = paintChart(chart);
  QVERIFY(coloursAt(image, 25).contains(0x0000FF) && !coloursAt(image, 25).contains(0x808080));
  QVERIFY(coloursAt(image, 95).contains(0x808080));
  QVERIFY(!coloursAt(image, 105).contains(0x808080));
  interval = 3.0;
  image = paintChart(chart);
  QVERIFY(coloursAt(image, 195).contains(0x808080));
}

QTEST_MAIN(TestChartEngine)
#include "tst_chartengine.moc"
