#pragma once

#include "data/reportdatasource.h"

#include <QColor>
#include <QDate>
#include <QFont>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

namespace kelvor {

enum class ReportBandKind { PageHeader, ColumnHeader, Detail, PageFooter };

enum class ReportElementKind { Text, Field, PageNumber, PrintDate, Picture, Custom };

struct ReportFont {
  QString family = QStringLiteral("Arial");
  double pointSize = 10.0;
  bool bold = false;
  bool underline = false;
};

// Paints a custom element into `box` (device units); `pixelScale` is device pixels per screen
// pixel, so a drawing designed in screen pixels keeps its proportions.
using ReportPaintFunction = std::function<void(QPainter&, const QRectF& box, double pixelScale)>;

// An element of a band. Positions are millimetres from the band's top left corner. Texts are
// drawn on one line at the top of their box and may run past it, unless `fixedSize` is set:
// then the text wraps at words within the box, and lines that do not fit are not printed.
struct ReportElement {
  QString name;
  ReportElementKind kind = ReportElementKind::Text;
  QRectF boxMm;
  QString text; // the caption of a Text element, the field name of a Field element
  ReportFont font;
  Qt::Alignment alignment = Qt::AlignLeft;
  bool fixedSize = false;
  QImage picture; // stretched to the box
  ReportPaintFunction paint;
};

struct ReportBand {
  QString name;
  ReportBandKind kind = ReportBandKind::Detail;
  double heightMm = 10.0;
  QColor color = Qt::white;
  // Frame around all four sides, in screen pixels (1/96 inch); 0 draws none.
  int frameWidth = 0;
  std::vector<ReportElement> elements;
};

struct PlacedBand {
  int band = 0;       // index into Report::bands()
  int row = -1;       // the data row of a detail band
  double topMm = 0.0; // from the paper's top edge
};

struct ReportPage {
  std::vector<PlacedBand> bands;
};

struct ReportLayout {
  std::vector<ReportPage> pages;
  QDate printDate;
  QSizeF paperMm;
};

// A banded report: page header, column header, one detail band per row and page footer,
// printed onto A4 (or whatever paper the printer set-up chose) within the report's margins.
class Report {
public:
  const QString& title() const { return m_title; }
  void setTitle(const QString& title) { m_title = title; }
  QPageLayout::Orientation orientation() const { return m_orientation; }
  void setOrientation(QPageLayout::Orientation orientation) { m_orientation = orientation; }
  const QMarginsF& marginsMm() const { return m_marginsMm; }
  void setMarginsMm(const QMarginsF& margins) { m_marginsMm = margins; }
  bool printIfEmpty() const { return m_printIfEmpty; }
  void setPrintIfEmpty(bool on) { m_printIfEmpty = on; }
  bool headerOnFirstPage() const { return m_headerOnFirstPage; }
  void setHeaderOnFirstPage(bool on) { m_headerOnFirstPage = on; }
  bool footerOnLastPage() const { return m_footerOnLastPage; }
  void setFooterOnLastPage(bool on) { m_footerOnLastPage = on; }
  // The name of the printed document and of the PDF file the print dialog offers:
  // "<stem>-<yyyy-MM-dd>" with the day of printing ("Kelvor-tabulka-2026-12-09"); the title
  // while no stem is set.
  void setDocumentStem(const QString& stem) { m_documentStem = stem; }
  QString documentName(const QDate& printDate) const;
  // How the date of printing is written; the locale's short date format unless set.
  void setDateFormatter(std::function<QString(const QDate&)> formatter);

  std::vector<ReportBand>& bands() { return m_bands; }
  const std::vector<ReportBand>& bands() const { return m_bands; }
  ReportBand& addBand(ReportBand band);
  // Elements placed from the paper's top left corner, drawn on every page.
  std::vector<ReportElement>& pageElements() { return m_pageElements; }
  ReportElement* findElement(const QString& name);
  const ReportElement* findElement(const QString& name) const;

  // A4 in the report's orientation, in millimetres.
  QSizeF paperSizeMm() const;
  QPageLayout pageLayout() const;

  // Breaks the rows into pages; no pages for an empty source unless print-if-empty is on.
  ReportLayout layout(const ReportDataSource& source) const;
  ReportLayout layout(const ReportDataSource& source, const QSizeF& paperMm,
                      const QDate& printDate) const;
  // One page with the bands other than the detail band, for showing the page's design.
  ReportLayout pageTemplate() const;

  // The text an element prints on a page: its caption, field value, page number or date.
  QString elementText(const ReportLayout& layout, int page, const PlacedBand& placed,
                      const ReportElement& element, const ReportDataSource* source) const;

  // Paints page `page` with its top left paper corner at the painter's origin.
  void renderPage(QPainter& painter, const ReportLayout& layout, int page,
                  const ReportDataSource* source, double dotsPerMm) const;
  // Lays out and prints every page onto a printer or PDF writer whose painter starts at the
  // paper's corner (full page); returns the number of pages.
  int print(QPagedPaintDevice& device, const ReportDataSource& source) const;
  int print(QPagedPaintDevice& device, const ReportDataSource& source,
            const QDate& printDate) const;
  int writePdf(const QString& fileName, const ReportDataSource& source) const;
  // The report's printer settings: paper, orientation, one copy, no duplex, all pages, first
  // paper bin, full-page painting.
  void applyPrinterSettings(QPrinter& printer) const;
  // The fields the report's elements print, each once.
  QStringList fieldNames() const;
  // Prepares the pages from the source as it is now and shows them in the print preview,
  // titled with the report title; printing from the preview prints those pages. Returns when
  // the preview closes.
  void preview(const ReportDataSource& source, QWidget* parent = nullptr) const;

private:
  const ReportBand* bandOfKind(ReportBandKind kind, int* index) const;
  void renderBand(QPainter& painter, const ReportLayout& layout, int page, const PlacedBand& placed,
                  const ReportDataSource* source, double dotsPerMm) const;
  void renderElement(QPainter& painter, const ReportElement& element, const QRectF& box,
                     const QString& text, double dotsPerMm) const;

  QString m_title;
  QString m_documentStem;
  QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
  QMarginsF m_marginsMm{12.7, 12.7, 12.7, 12.7};
  bool m_printIfEmpty = false;
  bool m_headerOnFirstPage = true;
  bool m_footerOnLastPage = true;
  std::function<QString(const QDate&)> m_dateFormatter;
  std::vector<ReportBand> m_bands;
  std::vector<ReportElement> m_pageElements;
};

// The font of a report element at a device resolution (fonts are sized in points).
QFont reportFont(const ReportFont& font, double dotsPerMm);

// The lines of `text` wrapped at words within `width` that fit into `height` whole, for a
// fixed-size element; the rest is not printed.
QStringList wrapLinesThatFit(const QString& text, const QFont& font, double width, double height);

// Screen pixels (1/96 inch) as device pixels, at least one.
double screenPixelsToDevice(double pixels, double dotsPerMm);

} // namespace kelvor
