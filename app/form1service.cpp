#include "app/applicationtitle.h"
#include "app/form1.h"
#include "instrument/core/loggerprotocol.h"
#include "widgets/progressgauge.h"

#include <QLineEdit>
#include <QPlainTextEdit>

namespace kelvor {

void TForm1::Zer_Mem_ButtonClick() {
  const QString question = QStringLiteral("Opravdu  chcete  vymazat  z  paměti  EEprom  ") +
                           QLatin1Char('\n') +
                           QStringLiteral("všechna  Vaše  pracně  naměřená  DATA ???");
  if (m_dialogs->askYesNo(kApplicationTitle, question, OperatorDialogs::Icon::Question))
    sendServiceCommand(kZerMem);
}

// The command line keeps its text, so SEND repeats the last command sent by anyone, or
// sends what the operator typed over it.
void TForm1::SendButtonClick() {
  LastCommand = PrikazEdit->text();
  Posli_Servisni_Prikaz(LastCommand);
}

void TForm1::Button2Click() {
  LastCommand.clear();
  PrikazEdit->clear();
  TerminalMemo->clear();
  runCommand([this] { Table1.first(); });
  Gauge2->setProgress(0);
}

} // namespace kelvor
