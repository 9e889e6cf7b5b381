#include "app/applicationtitle.h"
#include "app/form1.h"
#include "data/core/asciiformat.h"
#include "data/core/fileerror.h"
#include "data/core/numbertext.h"
#include "data/core/tablecommands.h"
#include "data/timeformat.h"
#include "data/timeofdaytexts.h"

#include <QFileInfo>

#include <stdexcept>
#include <string>
#include <string_view>

namespace kelvor {
namespace {

TimeTextFormat timeTextFormat(const TimeFormat& format) {
  TimeTextFormat text;
  text.timeSeparator = format.separator().toStdString();
  text.decimalSeparator = format.locale().decimalPoint().toStdString();
  text.amText = format.amText().toStdString();
  text.pmText = format.pmText().toStdString();
  return text;
}

} // namespace

void TForm1::ExportASCII1Click() {
  SaveDialogOptions options;
  options.filters = {QStringLiteral("Data  Files  (  *.DAT  ) (*.dat)"), kAllFilesFilter};
  const std::optional<QString> chosen = m_dialogs->saveFileName(options);
  if (!chosen)
    return;
  const bool written = runCommand([this, &chosen] {
    exportAsciiFile(Table1, chosen->toStdString(), [texts = TimeOfDayTexts()](int secondsOfDay) {
      return texts.of(secondsOfDay);
    });
  });
  if (written)
    showExportedTo(*chosen);
}

void TForm1::showExportedTo(const QString& file) {
  m_dialogs->showMessage(kApplicationTitle,
                         QStringLiteral("Exportovaná data byla uložena do souboru:") +
                             QLatin1Char('\n') + QFileInfo(file).absoluteFilePath(),
                         OperatorDialogs::Icon::None);
}

// A bad line stops the import and keeps the lines before it; a failure outside the file's
// content (a read error, the table) leaves the table and the minutes text as they were.
void TForm1::Import_ASCIIClick() {
  const std::optional<QString> chosen = m_dialogs->openFileName();
  if (!chosen) {
    m_dialogs->showMessage(kApplicationTitle,
                           QStringLiteral("CHYBA - Nebyl vybrán soubor") + QLatin1Char('\n') +
                               QStringLiteral("s naměřenými daty !!!"),
                           OperatorDialogs::Icon::None);
    return;
  }
  runCommand([this, &chosen] {
    AsciiFileReader file;
    checkFileOperation(file.open(chosen->toStdString()));
    const ImportedLines imported = importAsciiLines(Table1, file, timeTextFormat(TimeFormat()));
    if (imported.lastMinutes)
      m_measuring->cycle.MinutesText = *imported.lastMinutes;
    if (imported.stop)
      throw ConversionError(*imported.stop);
  });
}

} // namespace kelvor
