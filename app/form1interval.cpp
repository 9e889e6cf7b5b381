#include "app/applicationtitle.h"
#include "app/form1.h"
#include "data/core/numbertext.h"
#include "data/form7.h"
#include "widgets/maskedit.h"

#include <optional>

namespace kelvor {
namespace {

// A bound read afresh from its edit for every record; the text is shaped and converted
// again only when the edit shows another text than at the last record. The shown text is the
// edit's own, shared and not copied.
class BoundReader {
public:
  explicit BoundReader(const MaskEdit& edit) : m_edit(edit) {}

  double value() {
    const QString shown = m_edit.QLineEdit::text();
    if (!m_value || shown != m_shown) {
      m_value = strToFloat(m_edit.text().toStdString());
      m_shown = shown;
    }
    return *m_value;
  }

private:
  const MaskEdit& m_edit;
  QString m_shown;
  std::optional<double> m_value;
};

} // namespace

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
  BoundReader upper(*Form7->KonecEdit);
  Table1.last();
  while (!Table1.bof()) {
    const double minutes = Table1.fieldAsFloat(Table1MINUTES);
    if (upper.value() >= minutes)
      Table1.prior();
    else
      Table1.deleteCurrent();
  }
}

void TForm1::lowerPass() {
  BoundReader lower(*Form7->ZacatekEdit);
  Table1.first();
  while (!Table1.eof()) {
    const double minutes = Table1.fieldAsFloat(Table1MINUTES);
    if (lower.value() <= minutes)
      Table1.next();
    else
      Table1.deleteCurrent();
  }
}

} // namespace kelvor
