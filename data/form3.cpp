#include "data/form3.h"

#include <QFont>

namespace kelvor {
namespace {

struct Look {
  double pointSize = 10.0;
  bool bold = false;
  Qt::Alignment alignment = Qt::AlignLeft;
};

ReportElement element(const char* name, ReportElementKind kind, const QString& text,
                      const QRectF& boxMm, const Look& look) {
  ReportElement result;
  result.name = QString::fromLatin1(name);
  result.kind = kind;
  result.text = text;
  result.boxMm = boxMm;
  result.font.pointSize = look.pointSize;
  result.font.bold = look.bold;
  result.alignment = look.alignment;
  return result;
}

ReportBand band(const char* name, ReportBandKind kind, double heightMm, int frameWidth) {
  ReportBand result;
  result.name = QString::fromLatin1(name);
  result.kind = kind;
  result.heightMm = heightMm;
  result.frameWidth = frameWidth;
  return result;
}

ReportBand pageHeaderBand() {
  ReportBand header = band("PageHeaderBand1", ReportBandKind::PageHeader, 40.7, 0);
  ReportElement picture = element("RepImage1", ReportElementKind::Picture, QString(),
                                  QRectF(10.6, 3.0, 92.9, 15.9), Look{10.0, false, Qt::AlignLeft});
  picture.picture = QImage(QString::fromLatin1(kReportHeaderPicture));
  header.elements.push_back(std::move(picture));
  header.elements.push_back(element("RepLabel4", ReportElementKind::Text,
                                    QString::fromUtf8("Strana  č:"), QRectF(145.5, 3.3, 26.8, 6.6),
                                    Look{16.0, true, Qt::AlignHCenter}));
  header.elements.push_back(element("RepSysData1", ReportElementKind::PageNumber, QString(),
                                    QRectF(145.5, 10.6, 29.4, 8.9),
                                    Look{20.0, true, Qt::AlignHCenter}));
  ReportElement caption =
      element("HlavickaRepLabel", ReportElementKind::Text, QString::fromUtf8(kDesignedTableHeader),
              QRectF(7.9, 24.8, 167.0, 12.6), Look{26.0, true, Qt::AlignLeft});
  caption.font.underline = true;
  caption.fixedSize = true;
  header.elements.push_back(std::move(caption));
  return header;
}

ReportBand columnHeaderBand() {
  ReportBand columns = band("ColumnHeaderBand1", ReportBandKind::ColumnHeader, 10.6, 3);
  columns.elements.push_back(
      element("RepLabel1", ReportElementKind::Text, QString::fromUtf8("ČAS [ H:M:S ]:"),
              QRectF(12.2, 3.3, 59.5, 7.6), Look{14.0, true, Qt::AlignHCenter}));
  columns.elements.push_back(
      element("RepLabel2", ReportElementKind::Text, QString::fromUtf8("NAPĚTÍ [ V ]:"),
              QRectF(96.9, 3.3, 53.2, 7.6), Look{14.0, true, Qt::AlignHCenter}));
  return columns;
}

ReportBand detailBand() {
  ReportBand detail = band("DetailBand1", ReportBandKind::Detail, 10.6, 1);
  detail.elements.push_back(element("RepDBText1", ReportElementKind::Field, QStringLiteral("TIME"),
                                    QRectF(12.2, 2.6, 59.5, 8.3),
                                    Look{14.0, false, Qt::AlignHCenter}));
  detail.elements.push_back(element("RepDBText2", ReportElementKind::Field,
                                    QStringLiteral("VOLTAGE"), QRectF(96.9, 2.6, 51.6, 8.3),
                                    Look{14.0, false, Qt::AlignHCenter}));
  return detail;
}

ReportBand pageFooterBand() {
  ReportBand footer = band("PageFooterBand1", ReportBandKind::PageFooter, 10.6, 0);
  footer.elements.push_back(element("RepLabel5", ReportElementKind::Text,
                                    QString::fromUtf8("Naměřeno  pomocí  software  Kelvor  dne:"),
                                    QRectF(10.6, 3.6, 106.2, 7.3),
                                    Look{14.0, true, Qt::AlignLeft}));
  footer.elements.push_back(element("RepSysData2", ReportElementKind::PrintDate, QString(),
                                    QRectF(138.6, 3.3, 25.8, 6.3),
                                    Look{14.0, true, Qt::AlignHCenter}));
  return footer;
}

} // namespace

TForm3::TForm3(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("Form3"));
  setGeometry(-4, 109, 808, 580);
  QFont designFont(QStringLiteral("Arial"));
  designFont.setPixelSize(13);
  setFont(designFont);

  m_report1.setTitle(QString::fromUtf8(kTableReportTitle));
  m_report1.setDocumentStem(QStringLiteral("Kelvor-tabulka"));
  m_report1.setOrientation(QPageLayout::Portrait);
  m_report1.setMarginsMm(QMarginsF(12.7, 12.7, 12.7, 12.7));
  m_report1.setPrintIfEmpty(false);
  m_report1.setHeaderOnFirstPage(true);
  m_report1.setFooterOnLastPage(true);
  m_report1.addBand(pageHeaderBand());
  m_report1.addBand(columnHeaderBand());
  m_report1.addBand(detailBand());
  m_report1.addBand(pageFooterBand());
}

QString TForm3::headerCaption() const {
  const ReportElement* caption = m_report1.findElement(QStringLiteral("HlavickaRepLabel"));
  return caption ? caption->text : QString();
}

void TForm3::setHeaderCaption(const QString& caption) {
  if (ReportElement* label = m_report1.findElement(QStringLiteral("HlavickaRepLabel")))
    label->text = caption;
}

void TForm3::preview(const ReportDataSource& table, QWidget* parent) const {
  m_report1.preview(table, parent);
}

} // namespace kelvor
