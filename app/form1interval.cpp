#include "app/applicationtitle.h"
#include "app/form1.h"
#include "data/core/numbertext.h"
#include "data/core/tablecommands.h"
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

// Keeps the records whose minutes lie within the window's bounds, both included; the bounds
// are read afresh for every record.
void TForm1::SelectButtonClick() {
  const QString question = QStringLiteral("Opravdu  chcete vymazat") + QLatin1Char('\n') +
                           QStringLiteral("všechna Vaše naměřená data") + QLatin1Char('\n') +
                           QStringLiteral("kromě vybraného intervalu ???");
  if (!m_dialogs->askYesNo(kApplicationTitle, question, OperatorDialogs::Icon::Question))
    return;
  runCommand([this] {
    BoundReader lower(*Form7->ZacatekEdit);
    BoundReader upper(*Form7->KonecEdit);
    keepMinutesWithin(
        Table1, [&lower] { return lower.value(); }, [&upper] { return upper.value(); });
  });
  chartReread();
}

} // namespace kelvor
