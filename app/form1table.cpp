#include "app/applicationtitle.h"
#include "app/form1.h"
#include "app/tablereportsource.h"
#include "data/core/tablecommands.h"
#include "data/form3.h"

#include <QApplication>

namespace kelvor {

void TForm1::Vymazat_dataClick() {
  const QString question = QStringLiteral("Opravdu  chcete vymazat") + QLatin1Char('\n') +
                           QStringLiteral("všechna Vaše pracně  naměřená data ???");
  if (!m_dialogs->askYesNo(kApplicationTitle, question, OperatorDialogs::Icon::Question))
    return;
  const bool cleared = runCommand([this] { clearTable(Table1); });
  if (!cleared)
    return;
  m_measuring->cycle.tableCleared();
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
