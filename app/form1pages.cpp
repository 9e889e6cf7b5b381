#include "app/form1.h"
#include "app/hints.h"
#include "app/pages/authorpicture.h"
#include "app/pages/pagebuilder.h"
#include "app/pages/printbuttonicon.h"
#include "data/chartview.h"
#include "data/dbgrid.h"
#include "data/dbnavigator.h"
#include "data/tablemodel.h"
#include "widgets/led.h"

#include <QLabel>
#include <QToolButton>

namespace kelvor {
namespace {

QWidget* newPage(QWidget* owner, const char* caption) {
  auto* page = new QWidget(owner);
  shapePage(page, caption);
  return page;
}

QToolButton* placePrintButton(QWidget* page, const char* name, const QRect& rect,
                              const char* hint) {
  auto* button = new QToolButton(page);
  place(button, name, rect);
  button->setAutoRaise(true);
  button->setIcon(printButtonIcon());
  setHint(button, QString::fromUtf8(hint));
  return button;
}

} // namespace

QWidget* TForm1::createGrafPage() {
  QWidget* page = newPage(this, "GRAF");
  Report1 = new ChartView(chartReport, page);
  place(Report1, "Report1", {56, -24, 674, 476});
  setHint(Report1, QString::fromUtf8(kChartHint));
  Led1 = placeLed(page, "Led1", {608, 416}, TLEDStyle::LEDSmall);
  Graf_Measure_Led = placeLed(page, "Graf_Measure_Led", {752, 16}, TLEDStyle::LEDLarge);
  setHint(Graf_Measure_Led, QString::fromUtf8(kMeasuringLedHint));
  SpeedButton3 =
      placePrintButton(page, "SpeedButton3", {752, 424, 25, 25},
                       "Tímto  tlačítkem  můžete  zobrazit  náhled  a  vytisknout  graf");
  connect(SpeedButton3, &QToolButton::clicked, this, &TForm1::Tisk_GrafuClick);
  return page;
}

QWidget* TForm1::createTabulkaPage() {
  QWidget* page = newPage(this, "TABULKA");
  placeLabel(page, "Label6", QStringLiteral("TABULKA  NAMĚŘENÝCH  HODNOT:"), {160, 16, 443, 29},
             kHeading);
  m_dataSource = std::make_unique<TableModel>(Table1);
  DataSource1 = m_dataSource.get();
  DataSource1->setObjectName(QStringLiteral("DataSource1"));
  DBGrid1 = new DBGrid(page);
  place(DBGrid1, "DBGrid1", {88, 64, 593, 321});
  DBGrid1->setDataSource(DataSource1);
  setHint(DBGrid1,
          QStringLiteral(
              "V  této  tabulce  můžete  pozorovat  závislost  naměřených  hodnot  na  čase"));
  DBNavigator1 = new DBNavigator(page);
  place(DBNavigator1, "DBNavigator1", {88, 410, 490, 25});
  DBNavigator1->setDataSource(DataSource1);
  Tabulka_Measure_Led = placeLed(page, "Tabulka_Measure_Led", {608, 408}, TLEDStyle::LEDLarge);
  setHint(Tabulka_Measure_Led, QString::fromUtf8(kMeasuringLedHint));
  SpeedButton1 =
      placePrintButton(page, "SpeedButton1", {656, 408, 25, 25},
                       "Tímto  tlačítkem  můžete  zobrazit  náhled  a  vytisknout  tabulku");
  connect(SpeedButton1, &QToolButton::clicked, this, &TForm1::Tisk_tabulkyClick);
  connect(DataSource1, &TableModel::errorOccurred, this, &TForm1::showError);
  return page;
}

QWidget* TForm1::createAutorPage() {
  QWidget* page = newPage(this, "AUTOR");
  auto* panel = new QWidget(page);
  place(panel, "Panel2", {120, 40, 561, 377});
  QPalette white = panel->palette();
  white.setColor(QPalette::Window, Qt::white);
  panel->setPalette(white);
  panel->setAutoFillBackground(true);
  place(new AuthorPicture(panel), "Image1", {24, 24, 160, 200});
  const TextLook line{.text = Qt::black, .pixelSize = 19, .bold = true};
  placeLabel(panel, "AutorLabel", QStringLiteral("Autor:  vývojový  tým  Kelvor"),
             {208, 40, 337, 33}, line);
  placeLabel(panel, "FirmaLabel", QStringLiteral("Firma:  Dílna  měřicí  techniky  Voltov"),
             {208, 96, 337, 33}, line);
  placeLabel(panel, "TelefonLabel", QStringLiteral("Telefon:  +420 000 000 000"),
             {208, 152, 337, 33}, line);
  placeLabel(panel, "AdresaLabel", QStringLiteral("Adresa:  Akumulátorová 12,  000 00  Voltov"),
             {208, 208, 337, 33}, line);
  return page;
}

} // namespace kelvor
