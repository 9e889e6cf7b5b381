#include "app/pages/exportmessage.h"

#include "app/applicationtitle.h"
#include "app/operatordialogs.h"

#include <QFileInfo>

namespace kelvor {

void showExportedTo(OperatorDialogs& dialogs, const QString& file) {
  dialogs.showMessage(kApplicationTitle,
                      QStringLiteral("Exportovaná data byla uložena do souboru:") +
                          QLatin1Char('\n') + QFileInfo(file).absoluteFilePath(),
                      OperatorDialogs::Icon::None);
}

} // namespace kelvor
