#include "data/chartreport.h"
#include "data/form3.h"
#include "data/reportengine.h"

#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>

using namespace kelvor;

namespace {

class RowsSource : public ReportDataSource {
public:
  explicit RowsSource(int count) {
    for (int i = 0; i < count; ++i) {
      const int seconds = 8 * 3600 + 6 * i;
      m_rows.emplace_back(QStringLiteral("%1:%2:%3")
                              .arg(seconds / 3600)
                              .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 60, 2, 10, QLatin1Char('0')),
                          QStringLiteral("%1").arg(12.0 + 0.001 * i, 6, 'f', 3));
    }
  }
  int rowCount() const override { return static_cast<int>(m_rows.size()); }
  QString fieldText(int row, const QString& fieldName) const override {
    const auto& record = m_rows.at(static_cast<std::size_t>(row));
    if (fieldName == QLatin1String("TIME"))
      return record.first;
    if (fieldName == QLatin1String("VOLTAGE"))
      return record.second;
    return QString();
  }

private:
  std::vector<std::pair<QString, QString>> m_rows;
};

const QDate kPrintDate(2026, 12, 8);

// Pixels that are mostly of one primary colour, so that smoothed edges count as well.
int countMostly(const QImage& image, int channel) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      const int values[] = {qRed(pixel), qGreen(pixel), qBlue(pixel)};
      bool mostly = values[channel] > 150;
      for (int other = 0; other < 3; ++other)
        mostly = mostly && (other == channel || values[other] < 110);
      count += mostly ? 1 : 0;
    }
  }
  return count;
}

QString czechDate(const QDate& date) {
  return date.toString(QStringLiteral("dd.MM.yyyy"));
}

const ReportElement& elementOf(const Report& report, const char* name) {
  const ReportElement* element = report.findElement(QString::fromLatin1(name));
  if (!element)
    qFatal("no element %s", name);
  return *element;
}

int pdfPageCount(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly))
    return -1;
  const QString content = QString::fromLatin1(file.readAll());
  return static_cast<int>(content.count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
}

QImage renderPage(const Report& report, const ReportLayout& layout, int page,
                  const ReportDataSource& source, double dotsPerMm) {
  const QSize size = (layout.paperMm * dotsPerMm).toSize();
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::gray);
  QPainter painter(&image);
  report.renderPage(painter, layout, page, &source, dotsPerMm);
  painter.end();
  return image;
}

// Dark pixels in a run across the row `y` from x0 to x1.
int darkRun(const QImage& image, int y, int x0, int x1) {
  int dark = 0;
  for (int x = x0; x <= x1; ++x)
    dark += qGray(image.pixel(x, y)) < 80 ? 1 : 0;
  return dark;
}

bool allWhite(const QImage& image, const QRect& area) {
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
        return false;
    }
  }
  return true;
}

QRect pixelsOf(const QRectF& mm, double dotsPerMm) {
  return QRectF(mm.topLeft() * dotsPerMm, mm.size() * dotsPerMm).toAlignedRect();
}

} // namespace

class TestReportEngine : public QObject {
  Q_OBJECT

private slots:
  void tableReportAsDesigned();
  void headerPictureIsSixteenColours();
  void multiPageLayout();
  void headerAndFooterOnFirstAndLastPageAreOptional();
  void pdfCarriesEveryPage();
  void renderedPageFramesAndTexts();
  void headerCaptionWrapsInItsBox();
  void emptyTablePrintsNothing();
  void chartReportAsDesigned();
  void previewShowsTheReportTitle();
  void printingFromThePreviewPrintsThePreparedPages();
  void theChartPreviewKeepsTheChartItOpenedWith();
};

void TestReportEngine::tableReportAsDesigned() {
  const TForm3 form;
  QVERIFY(!form.isVisible());
  QCOMPARE(form.windowTitle(), QStringLiteral("Form3"));
  const Report& report = form.Report1();
  QCOMPARE(report.title(),
           QString::fromUtf8("NÁHLED  TABULKY  S  NAMĚŘENÝMI  HODNOTAMI  PŘED  TISKEM:"));
  QCOMPARE(report.orientation(), QPageLayout::Portrait);
  QCOMPARE(report.marginsMm(), QMarginsF(12.7, 12.7, 12.7, 12.7));
  QVERIFY(!report.printIfEmpty());
  QVERIFY(report.headerOnFirstPage());
  QVERIFY(report.footerOnLastPage());
  QCOMPARE(report.paperSizeMm().toSize(), QSize(210, 297));

  QCOMPARE(report.bands().size(), std::size_t{4});
  const struct {
    const char* name;
    ReportBandKind kind;
    double height;
    int frame;
  } bands[] = {{"PageHeaderBand1", ReportBandKind::PageHeader, 40.7, 0},
               {"ColumnHeaderBand1", ReportBandKind::ColumnHeader, 10.6, 3},
               {"DetailBand1", ReportBandKind::Detail, 10.6, 1},
               {"PageFooterBand1", ReportBandKind::PageFooter, 10.6, 0}};
  for (std::size_t i = 0; i < 4; ++i) {
    QCOMPARE(report.bands()[i].name, QString::fromLatin1(bands[i].name));
    QVERIFY(report.bands()[i].kind == bands[i].kind);
    QCOMPARE(report.bands()[i].heightMm, bands[i].height);
    QCOMPARE(report.bands()[i].frameWidth, bands[i].frame);
    QCOMPARE(report.bands()[i].color, QColor(Qt::white));
  }

  const ReportElement& caption = elementOf(report, "HlavickaRepLabel");
  QCOMPARE(caption.text, QString::fromUtf8("TABULKA  NAMĚŘENÝCH  HODNOT:"));
  QCOMPARE(caption.boxMm, QRectF(7.9, 24.8, 167.0, 12.6));
  QCOMPARE(caption.font.pointSize, 26.0);
  QVERIFY(caption.font.bold && caption.font.underline && caption.fixedSize);
  QCOMPARE(caption.alignment, Qt::Alignment(Qt::AlignLeft));
  QCOMPARE(form.headerCaption(), caption.text);

  const ReportElement& time = elementOf(report, "RepDBText1");
  QVERIFY(time.kind == ReportElementKind::Field);
  QCOMPARE(time.text, QStringLiteral("TIME"));
  QCOMPARE(time.boxMm, QRectF(12.2, 2.6, 59.5, 8.3));
  QVERIFY(!time.font.bold);
  QCOMPARE(elementOf(report, "RepDBText2").text, QStringLiteral("VOLTAGE"));
  QCOMPARE(elementOf(report, "RepDBText2").boxMm, QRectF(96.9, 2.6, 51.6, 8.3));
  QVERIFY(elementOf(report, "RepSysData1").kind == ReportElementKind::PageNumber);
  QCOMPARE(elementOf(report, "RepSysData1").font.pointSize, 20.0);
  QVERIFY(elementOf(report, "RepSysData2").kind == ReportElementKind::PrintDate);
  QCOMPARE(elementOf(report, "RepSysData2").boxMm, QRectF(138.6, 3.3, 25.8, 6.3));
  QCOMPARE(elementOf(report, "RepLabel4").text, QString::fromUtf8("Strana  č:"));
  QCOMPARE(elementOf(report, "RepLabel1").text, QString::fromUtf8("ČAS [ H:M:S ]:"));
  QCOMPARE(elementOf(report, "RepLabel2").text, QString::fromUtf8("NAPĚTÍ [ V ]:"));
  QCOMPARE(elementOf(report, "RepLabel5").text,
           QString::fromUtf8("Naměřeno  pomocí  software  Kelvor  dne:"));
  QCOMPARE(elementOf(report, "RepLabel5").alignment, Qt::Alignment(Qt::AlignLeft));
  QCOMPARE(elementOf(report, "RepLabel1").alignment, Qt::Alignment(Qt::AlignHCenter));
}

void TestReportEngine::headerPictureIsSixteenColours() {
  const TForm3 form;
  const QImage& picture = elementOf(form.Report1(), "RepImage1").picture;
  QCOMPARE(picture.size(), QSize(1600, 297));
  QCOMPARE(picture.format(), QImage::Format_Indexed8);
  QVERIFY(picture.colorCount() > 2 && picture.colorCount() <= 16);
  QCOMPARE(elementOf(form.Report1(), "RepImage1").boxMm, QRectF(10.6, 3.0, 92.9, 15.9));
}

void TestReportEngine::multiPageLayout() {
  TForm3 form;
  form.Report1().setDateFormatter(czechDate);
  const RowsSource source(100);
  const Report& report = form.Report1();
  const ReportLayout layout = report.layout(source, report.paperSizeMm(), kPrintDate);

  const double detailTop = 12.7 + 40.7 + 10.6;
  const double footerTop = 297.0 - 12.7 - 10.6;
  const int perPage = static_cast<int>(std::floor((footerTop - detailTop) / 10.6));
  const int expectedPages = (100 + perPage - 1) / perPage;
  QVERIFY(expectedPages > 2);
  QCOMPARE(static_cast<int>(layout.pages.size()), expectedPages);

  int nextRow = 0;
  for (int page = 0; page < expectedPages; ++page) {
    const auto& placed = layout.pages[static_cast<std::size_t>(page)].bands;
    QVERIFY(placed.size() >= 4);
    const PlacedBand& header = placed.front();
    QCOMPARE(report.bands()[static_cast<std::size_t>(header.band)].kind,
             ReportBandKind::PageHeader);
    QCOMPARE(header.topMm, 12.7);
    QCOMPARE(report.elementText(layout, page, header, elementOf(report, "RepSysData1"), &source),
             QString::number(page + 1));
    QCOMPARE(
        report.elementText(layout, page, header, elementOf(report, "HlavickaRepLabel"), &source),
        QString::fromUtf8("TABULKA  NAMĚŘENÝCH  HODNOT:"));
    QCOMPARE(report.bands()[static_cast<std::size_t>(placed[1].band)].kind,
             ReportBandKind::ColumnHeader);
    QCOMPARE(placed[1].topMm, 12.7 + 40.7);

    const PlacedBand& footer = placed.back();
    QCOMPARE(report.bands()[static_cast<std::size_t>(footer.band)].kind,
             ReportBandKind::PageFooter);
    QCOMPARE(footer.topMm, footerTop);
    QCOMPARE(report.elementText(layout, page, footer, elementOf(report, "RepSysData2"), &source),
             QStringLiteral("08.12.2026"));

    const std::size_t details = placed.size() - 3;
    QCOMPARE(static_cast<int>(details), std::min(perPage, 100 - nextRow));
    for (std::size_t i = 2; i < placed.size() - 1; ++i) {
      QCOMPARE(report.bands()[static_cast<std::size_t>(placed[i].band)].kind,
               ReportBandKind::Detail);
      QCOMPARE(placed[i].row, nextRow);
      QVERIFY(std::abs(placed[i].topMm - (detailTop + 10.6 * static_cast<double>(i - 2))) < 1e-9);
      QVERIFY(placed[i].topMm + 10.6 <= footerTop + 1e-9);
      QCOMPARE(
          report.elementText(layout, page, placed[i], elementOf(report, "RepDBText2"), &source),
          source.fieldText(nextRow, QStringLiteral("VOLTAGE")));
      ++nextRow;
    }
  }
  QCOMPARE(nextRow, 100);
}

void TestReportEngine::headerAndFooterOnFirstAndLastPageAreOptional() {
  TForm3 form;
  Report& report = form.Report1();
  report.setHeaderOnFirstPage(false);
  report.setFooterOnLastPage(false);
  const ReportLayout layout = report.layout(RowsSource(50));
  QCOMPARE(layout.pages.size(), std::size_t{3});
  const auto kindAt = [&](std::size_t page, std::size_t index) {
    return report.bands()[static_cast<std::size_t>(layout.pages[page].bands[index].band)].kind;
  };
  QCOMPARE(kindAt(0, 0), ReportBandKind::ColumnHeader);
  QCOMPARE(layout.pages[0].bands[0].topMm, 12.7);
  QCOMPARE(kindAt(1, 0), ReportBandKind::PageHeader);
  QCOMPARE(kindAt(1, layout.pages[1].bands.size() - 1), ReportBandKind::PageFooter);
  QCOMPARE(kindAt(2, layout.pages[2].bands.size() - 1), ReportBandKind::Detail);
  // Without the header the first page takes more rows.
  QVERIFY(layout.pages[0].bands.size() > layout.pages[1].bands.size() - 2);
}

void TestReportEngine::pdfCarriesEveryPage() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const TForm3 form;
  const RowsSource source(45);
  const int pages = static_cast<int>(form.Report1().layout(source).pages.size());
  QCOMPARE(pages, 3);
  const QString fileName = dir.filePath(QStringLiteral("table.pdf"));
  QCOMPARE(form.Report1().writePdf(fileName, source), pages);
  QCOMPARE(pdfPageCount(fileName), pages);
  QFile::copy(fileName, QStringLiteral("/tmp/kelvor_table.pdf"));

  const RowsSource many(200);
  QCOMPARE(form.Report1().writePdf(fileName, many),
           static_cast<int>(form.Report1().layout(many).pages.size()));
  QCOMPARE(pdfPageCount(fileName), static_cast<int>(form.Report1().layout(many).pages.size()));
}

void TestReportEngine::renderedPageFramesAndTexts() {
  TForm3 form;
  form.Report1().setDateFormatter(czechDate);
  const Report& report = form.Report1();
  const RowsSource source(30);
  const ReportLayout layout = report.layout(source, report.paperSizeMm(), kPrintDate);
  constexpr double kDots = 4.0;
  const QImage page = renderPage(report, layout, 0, source, kDots);
  page.save(QStringLiteral("/tmp/kelvor_table_page1.png"));
  renderPage(report, layout, 1, source, kDots).save(QStringLiteral("/tmp/kelvor_table_page2.png"));

  // A 3-pixel frame round the column header, a 1-pixel frame round each detail band, at
  // 96 pixels to the inch: 3 and 1 device pixels at 4 dots per millimetre.
  const int left = static_cast<int>(12.7 * kDots);
  const int columnMiddle = static_cast<int>((12.7 + 40.7 + 5.3) * kDots);
  const int detailMiddle = static_cast<int>((12.7 + 40.7 + 10.6 + 5.3) * kDots);
  QCOMPARE(darkRun(page, columnMiddle, left - 3, left + 8), 3);
  QCOMPARE(darkRun(page, detailMiddle, left - 3, left + 8), 1);
  const int right = static_cast<int>((210.0 - 12.7) * kDots);
  QCOMPARE(darkRun(page, columnMiddle, right - 8, right + 3), 3);
  QCOMPARE(screenPixelsToDevice(3, 600 / 25.4), 19.0);
  QCOMPARE(screenPixelsToDevice(1, 600 / 25.4), 6.0);
  QCOMPARE(screenPixelsToDevice(1, 1.0), 1.0);

  // Outside the bands the page stays white; the margins carry nothing.
  QVERIFY(allWhite(page, QRect(0, 0, page.width(), static_cast<int>(12.7 * kDots) - 1)));
  QVERIFY(allWhite(page, QRect(0, 0, static_cast<int>(12.7 * kDots) - 1, page.height())));

  // The page number is drawn in its box on the header.
  const QRectF numberMm(12.7 + 145.5, 12.7 + 10.6, 29.4, 8.9);
  QVERIFY(!allWhite(page, pixelsOf(numberMm, kDots)));
  // The date is drawn in its box on the footer.
  const QRectF dateMm(12.7 + 138.6, 297 - 12.7 - 10.6 + 3.3, 25.8, 6.3);
  QVERIFY(!allWhite(page, pixelsOf(dateMm, kDots)));
}

void TestReportEngine::headerCaptionWrapsInItsBox() {
  TForm3 form;
  Report& report = form.Report1();
  constexpr double kDots = 8.0;
  const QString longCaption = QString::fromUtf8(
      "TABULKA  NAMĚŘENÝCH  HODNOT:  AKUMULÁTOR  12 V  44 Ah  ZE  DNE  8. 12. 2026  ZKOUŠKA  KAPACITY  Č.  3");
  const ReportElement& caption = elementOf(report, "HlavickaRepLabel");
  const QFont font = reportFont(caption.font, kDots);
  const QFontMetricsF metrics(font);

  // In the designed box the first line fits and the rest does not print.
  const QStringList lines = wrapLinesThatFit(longCaption, font, caption.boxMm.width() * kDots,
                                             caption.boxMm.height() * kDots);
  QVERIFY(!lines.isEmpty());
  QVERIFY(lines.size() * metrics.height() <= caption.boxMm.height() * kDots);
  QVERIFY(lines.join(QLatin1Char(' ')).size() < longCaption.size());
  for (const QString& line : lines) {
    QVERIFY(metrics.horizontalAdvance(line) <= caption.boxMm.width() * kDots);
    QVERIFY(longCaption.contains(line));
  }
  QVERIFY(longCaption.startsWith(lines.front()));
  // Given room, the same text wraps into several lines that together hold all of it.
  const QStringList all = wrapLinesThatFit(longCaption, font, caption.boxMm.width() * kDots,
                                           caption.boxMm.height() * kDots * 10);
  QVERIFY(all.size() > lines.size());
  QCOMPARE(all.join(QString()).remove(QLatin1Char(' ')),
           QString(longCaption).remove(QLatin1Char(' ')));

  // On the page nothing of the caption shows outside its box.
  form.setHeaderCaption(longCaption);
  QCOMPARE(form.headerCaption(), longCaption);
  const RowsSource source(3);
  const ReportLayout layout = report.layout(source);
  const QImage page = renderPage(report, layout, 0, source, kDots);
  page.save(QStringLiteral("/tmp/kelvor_table_caption.png"));
  const QRectF boxMm = caption.boxMm.translated(12.7, 12.7);
  QVERIFY(!allWhite(page, pixelsOf(boxMm, kDots)));
  const QRectF belowMm(boxMm.left(), boxMm.bottom() + 0.2, boxMm.width(),
                       12.7 + 40.7 - boxMm.bottom() - 0.4);
  QVERIFY(allWhite(page, pixelsOf(belowMm, kDots)));
  const QRectF rightMm(boxMm.right() + 0.2, boxMm.top(), 210 - 12.7 - boxMm.right() - 0.4,
                       boxMm.height());
  QVERIFY(allWhite(page, pixelsOf(rightMm, kDots)));

  // An empty caption prints nothing.
  form.setHeaderCaption(QString());
  const QImage empty = renderPage(report, report.layout(source), 0, source, kDots);
  QVERIFY(allWhite(empty, pixelsOf(boxMm.adjusted(0.2, 0.2, -0.2, -0.2), kDots)));
}

void TestReportEngine::emptyTablePrintsNothing() {
  QTemporaryDir dir;
  TForm3 form;
  Report& report = form.Report1();
  const RowsSource none(0);
  QVERIFY(report.layout(none).pages.empty());
  const QString fileName = dir.filePath(QStringLiteral("empty.pdf"));
  QCOMPARE(report.writePdf(fileName, none), 0);

  report.setPrintIfEmpty(true);
  const ReportLayout layout = report.layout(none);
  QCOMPARE(layout.pages.size(), std::size_t{1});
  QCOMPARE(layout.pages[0].bands.size(), std::size_t{3});
  for (const PlacedBand& placed : layout.pages[0].bands)
    QVERIFY(report.bands()[static_cast<std::size_t>(placed.band)].kind != ReportBandKind::Detail);
}

void TestReportEngine::chartReportAsDesigned() {
  ChartReport chartReport;
  const Report& report = chartReport.report();
  QCOMPARE(report.title(),
           QString::fromUtf8("ZOBRAZENÍ  NÁHLEDU  VÝSLEDNÉHO  GRAFU  PŘED  TISKEM:"));
  QCOMPARE(report.orientation(), QPageLayout::Landscape);
  QCOMPARE(report.paperSizeMm().toSize(), QSize(297, 210));
  QCOMPARE(report.marginsMm(), QMarginsF(12.7, 12.7, 12.7, 12.7));
  QVERIFY(!report.printIfEmpty());
  QCOMPARE(report.bands().size(), std::size_t{1});
  QCOMPARE(report.bands()[0].kind, ReportBandKind::ColumnHeader);
  QCOMPARE(report.bands()[0].heightMm, 35.7);
  QCOMPARE(report.bands()[0].frameWidth, 0);
  QCOMPARE(elementOf(report, "ReportChart1").boxMm, QRectF(7.1, 17.6, 272.1, 183.9));

  QVERIFY(report.layout(RowsSource(0)).pages.empty());
  QCOMPARE(report.layout(RowsSource(5000)).pages.size(), std::size_t{1});

  for (int i = 0; i < 300; ++i)
    chartReport.chart().series().addPoint(i, 12.0 - i / 300.0, "");
  QTemporaryDir dir;
  const QString fileName = dir.filePath(QStringLiteral("chart.pdf"));
  QCOMPARE(report.writePdf(fileName, RowsSource(300)), 1);
  QCOMPARE(pdfPageCount(fileName), 1);
  QFile::copy(fileName, QStringLiteral("/tmp/kelvor_chart.pdf"));
}

void TestReportEngine::previewShowsTheReportTitle() {
  TForm3 form;
  const RowsSource source(25);
  QString seenTitle;
  bool toolbarWhole = false;
  QString fileName;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible())
      return;
    seenTitle = dialog->windowTitle();
    // A toolbar too narrow for its buttons hides the last ones behind its extension button.
    auto* extension = dialog->findChild<QWidget*>(QStringLiteral("qt_toolbar_ext_button"));
    toolbarWhole = extension == nullptr || !extension->isVisible();
    fileName = dialog->printer()->docName();
    dialog->reject();
  });
  poll.start(50);
  form.preview(source);
  poll.stop();
  QCOMPARE(seenTitle, form.Report1().title());
  QVERIFY(toolbarWhole);
  // Offered as the name of a PDF file: no colon, the day it was printed.
  QCOMPARE(fileName,
           QStringLiteral("Kelvor-tabulka-") + QDate::currentDate().toString(Qt::ISODate));
}

void TestReportEngine::printingFromThePreviewPrintsThePreparedPages() {
  // A source that gains rows while the preview is open, as the table does while measuring.
  class GrowingRows : public ReportDataSource {
  public:
    int count = 25;
    int rowCount() const override { return count; }
    QString fieldText(int row, const QString& fieldName) const override {
      return fieldName + QString::number(row);
    }
  };
  TForm3 form;
  GrowingRows source;
  const int prepared = static_cast<int>(form.Report1().layout(source).pages.size());
  QVERIFY(prepared >= 2);
  QTemporaryDir dir;
  const QString fileName = dir.filePath(QStringLiteral("printed.pdf"));
  int previewPages = 0;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
    auto* pages = dialog ? dialog->findChild<QPrintPreviewWidget*>() : nullptr;
    if (pages == nullptr || pages->pageCount() == 0)
      return;
    previewPages = pages->pageCount();
    source.count = 400;
    dialog->printer()->setOutputFileName(fileName);
    pages->print();
    dialog->reject();
  });
  poll.start(50);
  form.preview(source);
  poll.stop();
  QCOMPARE(previewPages, prepared);
  QCOMPARE(pdfPageCount(fileName), prepared);
  // Opened again, the preview prepares the rows as they are now.
  QVERIFY(static_cast<int>(form.Report1().layout(source).pages.size()) > 5 * prepared);
}

void TestReportEngine::theChartPreviewKeepsTheChartItOpenedWith() {
  ChartReport report;
  for (int i = 0; i < 60; ++i)
    report.chart().series().addPoint(i, 5.0 + i / 10.0, "");
  const RowsSource source(60);
  int blueBefore = -1;
  int blueAfter = -1;
  int redAfter = -1;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
    auto* pages = dialog ? dialog->findChild<QPrintPreviewWidget*>() : nullptr;
    if (pages == nullptr || pages->pageCount() == 0)
      return;
    poll.stop();
    const auto grab = [pages] {
      return pages->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    blueBefore = countMostly(grab(), 2);
    // The chart changes while the preview is open, as a new reading would change it.
    report.chart().series().setColor(clRed);
    pages->updatePreview();
    const QImage after = grab();
    blueAfter = countMostly(after, 2);
    redAfter = countMostly(after, 0);
    dialog->reject();
  });
  poll.start(50);
  report.preview(source);
  poll.stop();
  QVERIFY(blueBefore > 50);
  QCOMPARE(blueAfter, blueBefore);
  QCOMPARE(redAfter, 0);
}

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
