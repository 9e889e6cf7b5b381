#include "app/applicationtitle.h"
#include "app/fileerror.h"
#include "app/form1.h"
#include "data/core/asciiformat.h"
#include "data/core/numbertext.h"
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
    AsciiFileWriter file;
    checkFileOperation(file.create(chosen->toStdString()));
    AsciiTimeColumns times(
        [texts = TimeOfDayTexts()](int secondsOfDay) { return texts.of(secondsOfDay); });
    {
      MeasurementTable::ViewSuspension suspended(Table1);
      Table1.first();
      checkFileOperation(writeTableLines(file, times, Table1));
    }
    checkFileOperation(file.close());
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

// Appends a record per line until the file ends or a line's time is no time of day; the
// message of such a line is returned. Other failures throw.
std::optional<std::string> TForm1::appendImportedLines(AsciiFileReader& file) {
  const TimeTextFormat format = timeTextFormat(TimeFormat());
  AsciiRecordTexts texts;
  while (file.readLine(texts)) {
    Table1.append();
    const std::optional<int> time = parseTimeOfDay(texts.time, format);
    if (!time)
      return notAValidTimeMessage(texts.time);
    Table1.setTime(*time);
    Table1.setMinutes(texts.minutes);
    cycle.MinutesText = texts.minutes;
    Table1.setVoltage(texts.voltage);
  }
  checkFileOperation(file.error());
  return std::nullopt;
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
  const std::string minutesBefore = cycle.MinutesText;
  runCommand([this, &chosen, &minutesBefore] {
    AsciiFileReader file;
    checkFileOperation(file.open(chosen->toStdString()));
    try {
      MeasurementTable::Batch batch(Table1);
      std::optional<std::string> badLine;
      {
        MeasurementTable::ViewSuspension suspended(Table1);
        badLine = appendImportedLines(file);
        Table1.first();
      }
      batch.commit();
      if (badLine)
        throw ConversionError(*badLine);
    } catch (const ConversionError&) {
      throw;
    } catch (...) {
      cycle.MinutesText = minutesBefore;
      throw;
    }
  });
}

} // namespace kelvor
