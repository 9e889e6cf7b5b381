#include "data/chartreport.h"

namespace kelvor {

ChartReport::ChartReport() {
  m_report.setTitle(QString::fromUtf8(kChartReportTitle));
  m_report.setDocumentStem(QStringLiteral("Kelvor-graf"));
  m_report.setOrientation(QPageLayout::Landscape);
  m_report.setMarginsMm(QMarginsF(12.7, 12.7, 12.7, 12.7));
  m_report.setPrintIfEmpty(false);

  ReportBand columnHeader;
  columnHeader.name = QStringLiteral("ColumnHeaderBand1");
  columnHeader.kind = ReportBandKind::ColumnHeader;
  columnHeader.heightMm = 35.7;
  m_report.addBand(std::move(columnHeader));

  ReportElement chartObject;
  chartObject.name = QStringLiteral("ReportChart1");
  chartObject.kind = ReportElementKind::Custom;
  chartObject.boxMm = QRectF(7.1, 17.6, 272.1, 183.9);
  chartObject.paint = [this](QPainter& painter, const QRectF& box, double pixelScale) {
    m_chart.paint(painter, box, pixelScale);
  };
  m_report.pageElements().push_back(std::move(chartObject));
}

void ChartReport::bindTable(MeasurementTable& table, std::function<void()> changed) {
  m_binding.reset();
  m_binding = std::make_unique<ChartBinding>(table, m_chart.series(), std::move(changed));
}

QRectF ChartReport::chartBoxMm() const {
  const ReportElement* chartObject = m_report.findElement(QStringLiteral("ReportChart1"));
  return chartObject ? chartObject->boxMm : QRectF();
}

void ChartReport::paintPage(QPainter& painter, double dotsPerMm) const {
  m_report.renderPage(painter, m_report.pageTemplate(), 0, nullptr, dotsPerMm);
}

// The preview and its printout show the chart as it stands when the preview opens, even
// when the chart follows records appended meanwhile.
void ChartReport::preview(const ReportDataSource& table, QWidget* parent) const {
  const ChartEngine prepared = m_chart;
  Report report = m_report;
  if (ReportElement* chartObject = report.findElement(QStringLiteral("ReportChart1"))) {
    chartObject->paint = [&prepared](QPainter& painter, const QRectF& box, double pixelScale) {
      prepared.paint(painter, box, pixelScale);
    };
  }
  report.preview(table, parent);
}

} // namespace kelvor
