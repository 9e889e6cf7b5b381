#include "app/pages/tabulkapage.h"

#include "app/applicationtitle.h"
#include "app/core/settingsvalues.h"
#include "app/pages/exportmessage.h"
#include "app/pages/pagebuilder.h"
#include "app/pages/pagehost.h"
#include "app/tablereportsource.h"
#include "data/core/asciiformat.h"
#include "data/core/fileerror.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "data/core/tablecommands.h"
#include "data/dbgrid.h"
#include "data/dbnavigator.h"
#include "data/form3.h"
#include "data/form7.h"
#include "data/tablemodel.h"
#include "data/timeformat.h"
#include "data/timeofdaytexts.h"
#include "instrument/core/measuringcycle.h"
#include "instrument/measuringcontroller.h"
#include "widgets/controlhint.h"
#include "widgets/led.h"

#include <QApplication>
#include <QToolButton>

#include <optional>
#include <stdexcept>
#include <string>

namespace kelvor {

TabulkaPage::TabulkaPage(PageHost& host, MeasurementTable& table, MeasuringController& measuring,
                         QWidget* parent)
    : QWidget(parent), m_host(host), m_table(table), m_cycle(measuring.cycle),
      m_dataSource(std::make_unique<TableModel>(table)) {
  setUpPage(this, "TABULKA");
  placeLabel(this, "Label6", QStringLiteral("TABULKA  NAMĚŘENÝCH  HODNOT:"), {160, 16, 443, 29},
             kHeading);
  DataSource1 = m_dataSource.get();
  DataSource1->setObjectName(QStringLiteral("DataSource1"));
  DBGrid1 = new DBGrid(this);
  place(DBGrid1, "DBGrid1", {88, 64, 593, 321});
  DBGrid1->setDataSource(DataSource1);
  setHint(DBGrid1,
          QStringLiteral(
              "V  této  tabulce  můžete  pozorovat  závislost  naměřených  hodnot  na  čase"));
  DBNavigator1 = new DBNavigator(this);
  place(DBNavigator1, "DBNavigator1", {88, 410, 490, 25});
  DBNavigator1->setDataSource(DataSource1);
  Tabulka_Measure_Led = placeLed(this, "Tabulka_Measure_Led", {608, 408}, TLEDStyle::LEDLarge);
  setHint(Tabulka_Measure_Led, QString::fromUtf8(kMeasuringLedHint));
  SpeedButton1 =
      placePrintButton(this, "SpeedButton1", {656, 408, 25, 25},
                       "Tímto  tlačítkem  můžete  zobrazit  náhled  a  vytisknout  tabulku");
  connect(SpeedButton1, &QToolButton::clicked, this, &TabulkaPage::Tisk_tabulkyClick);
  connect(DataSource1, &TableModel::errorOccurred, this,
          [this](const QString& message) { m_host.showError(message); });
  connect(&measuring, &MeasuringController::measuringSwitched, this, &TabulkaPage::setMeasuringLed);
}

TabulkaPage::~TabulkaPage() = default;

void TabulkaPage::attachForms(TForm3* form3, TForm7* form7) {
  Form3 = form3;
  Form7 = form7;
  connect(Form7, &TForm7::selectRequested, this, &TabulkaPage::SelectButtonClick);
}

void TabulkaPage::scaleGrid(double factor) {
  DBGrid1->setScale(factor);
}

void TabulkaPage::Vymazat_dataClick() {
  const QString question = QStringLiteral("Opravdu  chcete vymazat") + QLatin1Char('\n') +
                           QStringLiteral("všechna Vaše pracně  naměřená data ???");
  if (!m_host.dialogs().askYesNo(kApplicationTitle, question, OperatorDialogs::Icon::Question))
    return;
  const bool cleared = m_host.runCommand([this] { clearTable(m_table); });
  if (!cleared)
    return;
  m_cycle.tableCleared();
  emit recordsChanged();
}

void TabulkaPage::Hlavicka_TabulkyClick() {
  const std::optional<QString> header = m_host.dialogs().inputText(
      QStringLiteral("HLAVIČKA  TABULKY  NAHOŘE:"),
      QStringLiteral("Zadejte  hlavičku [ Max. 30 znaků ]:"), HlavickaTab, 255);
  if (!header)
    return;
  HlavickaTab = *header;
  Form3->setHeaderCaption(HlavickaTab);
}

void TabulkaPage::Tisk_tabulkyClick() {
  QApplication::processEvents();
  m_host.runCommand([this] {
    m_table.requireOpen();
    m_table.first();
    Form3->preview(TableReportSource(m_table), window());
  });
}

void TabulkaPage::Vyber_IntervaluClick() {
  Form7->exec();
}

// Keeps the records whose minutes lie within the window's bounds, both included; the bounds
// are read afresh for every record.
void TabulkaPage::SelectButtonClick() {
  const QString question = QStringLiteral("Opravdu  chcete vymazat") + QLatin1Char('\n') +
                           QStringLiteral("všechna Vaše naměřená data") + QLatin1Char('\n') +
                           QStringLiteral("kromě vybraného intervalu ???");
  if (!m_host.dialogs().askYesNo(kApplicationTitle, question, OperatorDialogs::Icon::Question))
    return;
  m_host.runCommand(
      [this] { keepMinutesWithin(m_table, Form7->zacatekReader(), Form7->konecReader()); });
  emit recordsChanged();
}

void TabulkaPage::ExportASCII1Click() {
  SaveDialogOptions options;
  options.filters = {QStringLiteral("Data  Files  (  *.DAT  ) (*.dat)"), kAllFilesFilter};
  const std::optional<QString> chosen = m_host.dialogs().saveFileName(options);
  if (!chosen)
    return;
  const bool written = m_host.runCommand([this, &chosen] {
    exportAsciiFile(m_table, chosen->toStdString(), [texts = TimeOfDayTexts()](int secondsOfDay) {
      return texts.of(secondsOfDay);
    });
  });
  if (written)
    showExportedTo(m_host.dialogs(), *chosen);
}

// A bad line stops the import and keeps the lines before it; a failure outside the file's
// content (a read error, the table) leaves the table and the minutes text as they were.
void TabulkaPage::Import_ASCIIClick() {
  const std::optional<QString> chosen = m_host.dialogs().openFileName();
  if (!chosen) {
    m_host.dialogs().showMessage(kApplicationTitle,
                                 QStringLiteral("CHYBA - Nebyl vybrán soubor") + QLatin1Char('\n') +
                                     QStringLiteral("s naměřenými daty !!!"),
                                 OperatorDialogs::Icon::None);
    return;
  }
  m_host.runCommand([this, &chosen] {
    AsciiFileReader file;
    checkFileOperation(file.open(chosen->toStdString()));
    const ImportedLines imported = importAsciiLines(m_table, file, timeTextFormat(TimeFormat()));
    if (imported.lastMinutes)
      m_cycle.MinutesText = *imported.lastMinutes;
    if (imported.stop)
      throw ConversionError(*imported.stop);
  });
}

void TabulkaPage::takeSettings(const SettingsValues& values) {
  HlavickaTab = QString::fromStdString(values.HlavickaTab);
}

void TabulkaPage::collectSettings(SettingsValues& values) const {
  values.HlavickaTab = HlavickaTab.toStdString();
}

void TabulkaPage::setMeasuringLed(bool on) {
  Tabulka_Measure_Led->setValue(on);
}

} // namespace kelvor
