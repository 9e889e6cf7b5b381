#include "app/applicationtitle.h"
#include "app/form1.h"
#include "app/tablereportsource.h"
#include "data/form3.h"

#include <QApplication>

namespace kelvor {

void TForm1::Vymazat_dataClick() {
  const QString question = QStringLiteral("Opravdu  chcete vymazat") + QLatin1Char('\n') +
                           QStringLiteral("všechna Vaše pracně  naměřená data ???");
  if (!m_dialogs->askYesNo(kApplicationTitle, question, OperatorDialogs::Icon::Question))
    return;
  const bool cleared = runCommand([this] {
    MeasurementTable::Batch batch(Table1);
    MeasurementTable::ViewSuspension suspended(Table1);
    // The walk deletes the second-last record first and the record that was last at the
    // end, when the move before the first record fails.
    Table1.last();
    while (!Table1.bof()) {
      Table1.prior();
      Table1.deleteCurrent();
    }
    batch.commit();
  });
  if (!cleared)
    return;
  cycle.tableCleared();
  chartReread();
}

void TForm1::Hlavicka_TabulkyClick() {
  const std::optional<QString> header = m_dialogs->inputText(
      QStringLiteral("HLAVIČKA  TABULKY  NAHOŘE:"),
      QStringLiteral("Zadejte  hlavičku [ Max. 30 znaků ]:"), HlavickaTab, 255);
  if (!header)
    return;
  HlavickaTab = *header;
  Form3->setHeaderCaption(HlavickaTab);
}

void TForm1::Tisk_tabulkyClick() {
  QApplication::processEvents();
  runCommand([this] {
    Table1.first();
    Form3->preview(TableReportSource(Table1), this);
  });
}

} // namespace kelvor
