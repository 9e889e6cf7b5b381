#include "applicationtitle.h"
#include "form1.h"
#include "form7.h"
#include "maskedit.h"
#include "numbertext.h"

namespace kelvor {

void TForm1::Vyber_IntervaluClick() {
  Form7->exec();
}

// Keeps the records whose minutes lie within the window's bounds, both included. The
// bounds are read afresh for every record. The passes run in one transaction, so a crash
// leaves the table as it was before or after; a bound or minutes text that is not a number
// stops the selection where it is read, and what was deleted before stays deleted.
void TForm1::SelectButtonClick() {
  const QString question = QStringLiteral("Opravdu  chcete vymazat") + QLatin1Char('\n') +
                           QStringLiteral("všechna Vaše naměřená data") + QLatin1Char('\n') +
                           QStringLiteral("kromě vybraného intervalu ???");
  if (!m_dialogs->askYesNo(kApplicationTitle, question, OperatorDialogs::Icon::Question))
    return;
  runCommand([this] {
    MeasurementTable::Batch batch(Table1);
    std::optional<std::string> invalidNumber;
    {
      MeasurementTable::ViewSuspension suspended(Table1);
      try {
        upperPass();
        lowerPass();
      } catch (const ConversionError& error) {
        invalidNumber = error.what();
      }
    }
    batch.commit();
    if (invalidNumber)
      throw ConversionError(*invalidNumber);
  });
  chartReread();
}

void TForm1::upperPass() {
  Table1.last();
  while (!Table1.bof()) {
    const double minutes = Table1.fieldAsFloat(Table1MINUTES);
    if (strToFloat(Form7->KonecEdit->text().toStdString()) >= minutes)
      Table1.prior();
    else
      Table1.deleteCurrent();
  }
}

void TForm1::lowerPass() {
  Table1.first();
  while (!Table1.eof()) {
    const double minutes = Table1.fieldAsFloat(Table1MINUTES);
    if (strToFloat(Form7->ZacatekEdit->text().toStdString()) <= minutes)
      Table1.next();
    else
      Table1.deleteCurrent();
  }
}

} // namespace kelvor
