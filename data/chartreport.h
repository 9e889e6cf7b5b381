#pragma once

#include "data/chartbinding.h"
#include "data/chartengine.h"
#include "data/reportengine.h"

#include <functional>
#include <memory>

class QWidget;

namespace kelvor {

inline constexpr const char* kChartReportTitle =
    "ZOBRAZENÍ  NÁHLEDU  VÝSLEDNÉHO  GRAFU  PŘED  TISKEM:";

// The chart report: one A4 landscape page holding an empty white column-header band and the
// chart object `ReportChart1`, which draws the voltage chart. The page the GRAF page shows
// and the page that prints are painted by the same code.
class ChartReport {
public:
  ChartReport();
  ChartReport(const ChartReport&) = delete;
  ChartReport& operator=(const ChartReport&) = delete;

  // The series follows `table` from now on; `changed` runs after it followed a change.
  void bindTable(MeasurementTable& table, std::function<void()> changed);
  // Null until bindTable().
  ChartBinding* binding() { return m_binding.get(); }

  ChartEngine& chart() { return m_chart; }
  const ChartEngine& chart() const { return m_chart; }
  Report& report() { return m_report; }
  const Report& report() const { return m_report; }

  // Where the chart object lies on the page, in millimetres from the paper's corner.
  QRectF chartBoxMm() const;
  // The page as designed (whatever the table holds), with its paper corner at the origin.
  void paintPage(QPainter& painter, double dotsPerMm) const;
  // Prepares the report over the table and shows its preview; returns when it closes. With
  // print-if-empty off, an empty table gives a preview without pages.
  void preview(const ReportDataSource& table, QWidget* parent = nullptr) const;

private:
  ChartEngine m_chart;
  Report m_report;
  std::unique_ptr<ChartBinding> m_binding;
};

} // namespace kelvor
