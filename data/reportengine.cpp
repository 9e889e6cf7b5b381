#include "data/reportengine.h"

#include "data/screenunits.h"

#include <QFontMetricsF>
#include <QLayout>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QTextLayout>
#include <QToolBar>

#include <algorithm>
#include <cmath>

namespace kelvor {
namespace {

constexpr double kPointsPerInch = 72.0;
// Rounding slack when a band has to fit exactly into what is left of the page.
constexpr double kFitSlackMm = 1e-6;

// The texts a report prints, copied from its source at one moment: pages prepared from it
// stay as they were while the source grows.
class PreparedRows : public ReportDataSource {
public:
  PreparedRows(const ReportDataSource& source, const QStringList& fieldNames)
      : m_fieldNames(fieldNames), m_rowCount(source.rowCount()) {
    m_texts.reserve(static_cast<std::size_t>(m_rowCount) *
                    static_cast<std::size_t>(fieldNames.size()));
    for (int row = 0; row < m_rowCount; ++row) {
      for (const QString& name : fieldNames)
        m_texts.push_back(source.fieldText(row, name));
    }
  }

  int rowCount() const override { return m_rowCount; }
  QString fieldText(int row, const QString& fieldName) const override {
    const auto field = m_fieldNames.indexOf(fieldName);
    if (row < 0 || row >= m_rowCount || field < 0)
      return QString();
    return m_texts[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_fieldNames.size()) +
                   static_cast<std::size_t>(field)];
  }

private:
  QStringList m_fieldNames;
  int m_rowCount = 0;
  std::vector<QString> m_texts;
};

QRectF scaled(const QRectF& mm, double dotsPerMm) {
  return QRectF(mm.left() * dotsPerMm, mm.top() * dotsPerMm, mm.width() * dotsPerMm,
                mm.height() * dotsPerMm);
}

// A frame of `width` device pixels drawn inside `box`, as four filled strips so that it
// covers exactly the band's edge whatever the pen rules of the device.
void drawFrame(QPainter& painter, const QRectF& box, double width) {
  const QColor ink(Qt::black);
  painter.fillRect(QRectF(box.left(), box.top(), box.width(), width), ink);
  painter.fillRect(QRectF(box.left(), box.bottom() - width, box.width(), width), ink);
  painter.fillRect(QRectF(box.left(), box.top(), width, box.height()), ink);
  painter.fillRect(QRectF(box.right() - width, box.top(), width, box.height()), ink);
}

} // namespace

QFont reportFont(const ReportFont& font, double dotsPerMm) {
  QFont result(font.family);
  const double pixels = font.pointSize / kPointsPerInch * kMmPerInch * dotsPerMm;
  result.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
  result.setBold(font.bold);
  result.setUnderline(font.underline);
  return result;
}

QStringList wrapLinesThatFit(const QString& text, const QFont& font, double width, double height) {
  QStringList lines;
  QTextLayout layout(text, font);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  double used = 0.0;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    if (used + line.height() > height)
      break;
    used += line.height();
    QString part = text.mid(line.textStart(), line.textLength());
    while (part.endsWith(QLatin1Char(' ')))
      part.chop(1);
    lines.append(part);
  }
  layout.endLayout();
  return lines;
}

double screenPixelsToDevice(double pixels, double dotsPerMm) {
  return std::max(1.0, std::round(pixels * kMmPerInch / kScreenDpi * dotsPerMm));
}

void Report::setDateFormatter(std::function<QString(const QDate&)> formatter) {
  m_dateFormatter = std::move(formatter);
}

ReportBand& Report::addBand(ReportBand band) {
  m_bands.push_back(std::move(band));
  return m_bands.back();
}

ReportElement* Report::findElement(const QString& name) {
  return const_cast<ReportElement*>(std::as_const(*this).findElement(name));
}

const ReportElement* Report::findElement(const QString& name) const {
  for (const ReportBand& band : m_bands) {
    for (const ReportElement& element : band.elements) {
      if (element.name == name)
        return &element;
    }
  }
  for (const ReportElement& element : m_pageElements) {
    if (element.name == name)
      return &element;
  }
  return nullptr;
}

QPageLayout Report::pageLayout() const {
  return QPageLayout(QPageSize(QPageSize::A4), m_orientation, QMarginsF(0, 0, 0, 0),
                     QPageLayout::Millimeter);
}

QSizeF Report::paperSizeMm() const {
  return pageLayout().fullRect(QPageLayout::Millimeter).size();
}

const ReportBand* Report::bandOfKind(ReportBandKind kind, int* index) const {
  for (std::size_t i = 0; i < m_bands.size(); ++i) {
    if (m_bands[i].kind == kind) {
      *index = static_cast<int>(i);
      return &m_bands[i];
    }
  }
  *index = -1;
  return nullptr;
}

ReportLayout Report::layout(const ReportDataSource& source) const {
  return layout(source, paperSizeMm(), QDate::currentDate());
}

ReportLayout Report::layout(const ReportDataSource& source, const QSizeF& paperMm,
                            const QDate& printDate) const {
  ReportLayout result;
  result.printDate = printDate;
  result.paperMm = paperMm;
  const int rows = std::max(0, source.rowCount());
  if (rows == 0 && !m_printIfEmpty)
    return result;

  int headerIndex = -1;
  int columnIndex = -1;
  int detailIndex = -1;
  int footerIndex = -1;
  const ReportBand* header = bandOfKind(ReportBandKind::PageHeader, &headerIndex);
  const ReportBand* column = bandOfKind(ReportBandKind::ColumnHeader, &columnIndex);
  const ReportBand* detail = bandOfKind(ReportBandKind::Detail, &detailIndex);
  const ReportBand* footer = bandOfKind(ReportBandKind::PageFooter, &footerIndex);
  const double bottom = paperMm.height() - m_marginsMm.bottom();
  const double footerTop = footer ? bottom - footer->heightMm : bottom;

  int row = 0;
  do {
    ReportPage page;
    double y = m_marginsMm.top();
    const bool first = result.pages.empty();
    if (header && (!first || m_headerOnFirstPage)) {
      page.bands.push_back(PlacedBand{headerIndex, -1, y});
      y += header->heightMm;
    }
    if (column) {
      page.bands.push_back(PlacedBand{columnIndex, -1, y});
      y += column->heightMm;
    }
    bool placedDetail = false;
    // A detail band taller than the room of an empty page still prints, one per page.
    while (detail && row < rows &&
           (y + detail->heightMm <= footerTop + kFitSlackMm || !placedDetail)) {
      page.bands.push_back(PlacedBand{detailIndex, row, y});
      y += detail->heightMm;
      ++row;
      placedDetail = true;
    }
    const bool last = !detail || row >= rows;
    if (footer && (!last || m_footerOnLastPage))
      page.bands.push_back(PlacedBand{footerIndex, -1, footerTop});
    result.pages.push_back(std::move(page));
  } while (detail && row < rows);
  return result;
}

ReportLayout Report::pageTemplate() const {
  ReportLayout result;
  result.printDate = QDate::currentDate();
  result.paperMm = paperSizeMm();
  ReportPage page;
  double y = m_marginsMm.top();
  double footerTop = result.paperMm.height() - m_marginsMm.bottom();
  for (std::size_t i = 0; i < m_bands.size(); ++i) {
    if (m_bands[i].kind == ReportBandKind::PageFooter)
      footerTop -= m_bands[i].heightMm;
  }
  for (std::size_t i = 0; i < m_bands.size(); ++i) {
    const ReportBand& band = m_bands[i];
    if (band.kind == ReportBandKind::PageHeader || band.kind == ReportBandKind::ColumnHeader) {
      page.bands.push_back(PlacedBand{static_cast<int>(i), -1, y});
      y += band.heightMm;
    } else if (band.kind == ReportBandKind::PageFooter) {
      page.bands.push_back(PlacedBand{static_cast<int>(i), -1, footerTop});
    }
  }
  result.pages.push_back(std::move(page));
  return result;
}

QString Report::elementText(const ReportLayout& layout, int page, const PlacedBand& placed,
                            const ReportElement& element, const ReportDataSource* source) const {
  switch (element.kind) {
  case ReportElementKind::Text:
    return element.text;
  case ReportElementKind::Field:
    return (source && placed.row >= 0) ? source->fieldText(placed.row, element.text) : QString();
  case ReportElementKind::PageNumber:
    return QString::number(page + 1);
  case ReportElementKind::PrintDate:
    return m_dateFormatter ? m_dateFormatter(layout.printDate)
                           : QLocale().toString(layout.printDate, QLocale::ShortFormat);
  case ReportElementKind::Picture:
  case ReportElementKind::Custom:
    break;
  }
  return QString();
}

void Report::renderPage(QPainter& painter, const ReportLayout& layout, int page,
                        const ReportDataSource* source, double dotsPerMm) const {
  if (page < 0 || page >= static_cast<int>(layout.pages.size()))
    return;
  painter.save();
  painter.fillRect(QRectF(QPointF(0, 0), layout.paperMm * dotsPerMm), Qt::white);
  for (const PlacedBand& placed : layout.pages[static_cast<std::size_t>(page)].bands)
    renderBand(painter, layout, page, placed, source, dotsPerMm);
  for (const ReportElement& element : m_pageElements) {
    renderElement(painter, element, scaled(element.boxMm, dotsPerMm),
                  elementText(layout, page, PlacedBand{}, element, source), dotsPerMm);
  }
  painter.restore();
}

void Report::renderBand(QPainter& painter, const ReportLayout& layout, int page,
                        const PlacedBand& placed, const ReportDataSource* source,
                        double dotsPerMm) const {
  const ReportBand& band = m_bands[static_cast<std::size_t>(placed.band)];
  const double width = layout.paperMm.width() - m_marginsMm.left() - m_marginsMm.right();
  const QRectF bandMm(m_marginsMm.left(), placed.topMm, width, band.heightMm);
  const QRectF bandBox = scaled(bandMm, dotsPerMm);
  painter.fillRect(bandBox, band.color);
  for (const ReportElement& element : band.elements) {
    const QRectF box = scaled(element.boxMm.translated(bandMm.topLeft()), dotsPerMm);
    renderElement(painter, element, box, elementText(layout, page, placed, element, source),
                  dotsPerMm);
  }
  if (band.frameWidth > 0)
    drawFrame(painter, bandBox, screenPixelsToDevice(band.frameWidth, dotsPerMm));
}

void Report::renderElement(QPainter& painter, const ReportElement& element, const QRectF& box,
                           const QString& text, double dotsPerMm) const {
  switch (element.kind) {
  case ReportElementKind::Picture:
    if (!element.picture.isNull()) {
      painter.save();
      painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
      painter.drawImage(box, element.picture);
      painter.restore();
    }
    return;
  case ReportElementKind::Custom:
    if (element.paint)
      element.paint(painter, box, dotsPerMm * kMmPerInch / kScreenDpi);
    return;
  case ReportElementKind::Text:
  case ReportElementKind::Field:
  case ReportElementKind::PageNumber:
  case ReportElementKind::PrintDate:
    break;
  }
  const QFont font = reportFont(element.font, dotsPerMm);
  const Qt::Alignment horizontal = element.alignment & Qt::AlignHorizontal_Mask;
  painter.save();
  painter.setFont(font);
  painter.setPen(Qt::black);
  if (!element.fixedSize) {
    painter.drawText(box, horizontal | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine, text);
  } else {
    painter.setClipRect(box, Qt::IntersectClip);
    const double lineHeight = QFontMetricsF(font).height();
    QRectF line(box.left(), box.top(), box.width(), lineHeight);
    for (const QString& part : wrapLinesThatFit(text, font, box.width(), box.height())) {
      painter.drawText(line, horizontal | Qt::AlignTop | Qt::TextSingleLine, part);
      line.translate(0.0, lineHeight);
    }
  }
  painter.restore();
}

int Report::print(QPagedPaintDevice& device, const ReportDataSource& source) const {
  return print(device, source, QDate::currentDate());
}

int Report::print(QPagedPaintDevice& device, const ReportDataSource& source,
                  const QDate& printDate) const {
  const QSizeF paper = device.pageLayout().fullRect(QPageLayout::Millimeter).size();
  const ReportLayout pages = layout(source, paper, printDate);
  if (pages.pages.empty())
    return 0;
  QPainter painter;
  if (!painter.begin(&device))
    return 0;
  const double dotsPerMm = device.logicalDpiX() / kMmPerInch;
  for (std::size_t i = 0; i < pages.pages.size(); ++i) {
    if (i > 0)
      device.newPage();
    renderPage(painter, pages, static_cast<int>(i), &source, dotsPerMm);
  }
  painter.end();
  return static_cast<int>(pages.pages.size());
}

int Report::writePdf(const QString& fileName, const ReportDataSource& source) const {
  QPdfWriter writer(fileName);
  writer.setPageLayout(pageLayout());
  writer.setTitle(m_title);
  return print(writer, source);
}

void Report::applyPrinterSettings(QPrinter& printer) const {
  printer.setFullPage(true);
  printer.setPageLayout(pageLayout());
  printer.setCopyCount(1);
  printer.setDuplex(QPrinter::DuplexNone);
  printer.setPrintRange(QPrinter::AllPages);
  printer.setPaperSource(QPrinter::Upper);
  printer.setDocName(documentName(QDate::currentDate()));
}

QString Report::documentName(const QDate& printDate) const {
  if (m_documentStem.isEmpty())
    return m_title;
  return m_documentStem + QLatin1Char('-') + printDate.toString(Qt::ISODate);
}

QStringList Report::fieldNames() const {
  QStringList names;
  const auto addFieldsOf = [&names](const std::vector<ReportElement>& elements) {
    for (const ReportElement& element : elements) {
      if (element.kind == ReportElementKind::Field && !names.contains(element.text))
        names << element.text;
    }
  };
  for (const ReportBand& band : m_bands)
    addFieldsOf(band.elements);
  addFieldsOf(m_pageElements);
  return names;
}

namespace {

// The preview opens wide enough for every button of its toolbar (the print button last of
// all), within the screen, and at most of the screen's height for a readable page.
void showEveryToolButton(QPrintPreviewDialog& dialog) {
  const auto* toolbar = dialog.findChild<QToolBar*>();
  const QScreen* screen = dialog.screen();
  if (toolbar == nullptr || screen == nullptr)
    return;
  const QRect room = screen->availableGeometry();
  const QMargins margins =
      dialog.layout() != nullptr ? dialog.layout()->contentsMargins() : QMargins();
  const int width = toolbar->sizeHint().width() + margins.left() + margins.right();
  dialog.resize(
      std::min(std::max(width, dialog.sizeHint().width()), room.width()),
      std::min(std::max(dialog.sizeHint().height(), room.height() * 3 / 4), room.height()));
}

} // namespace

// The pages are prepared once, before the preview opens: the preview shows them and the
// printer gets them, whatever the table gains meanwhile (the measuring cycle keeps running).
void Report::preview(const ReportDataSource& source, QWidget* parent) const {
  const PreparedRows prepared(source, fieldNames());
  const QDate printDate = QDate::currentDate();
  QPrinter printer(QPrinter::HighResolution);
  applyPrinterSettings(printer);
  printer.setDocName(documentName(printDate));
  QPrintPreviewDialog dialog(&printer, parent);
  dialog.setWindowTitle(m_title);
  showEveryToolButton(dialog);
  QObject::connect(
      &dialog, &QPrintPreviewDialog::paintRequested,
      [this, &prepared, &printDate](QPrinter* target) { print(*target, prepared, printDate); });
  dialog.exec();
}

} // namespace kelvor
