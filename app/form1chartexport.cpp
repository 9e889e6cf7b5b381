#include "app/form1.h"
#include "data/chartexport.h"
#include "data/chartview.h"
#include "data/core/fileerror.h"

#include <QFile>

namespace kelvor {

// The chart goes out as the GRAF page shows it. The file appears under the chosen name
// whole or not at all; a failure reaches the operator as the other file commands report it.
void TForm1::exportChart(const SaveDialogOptions& options, ChartFileWriter write) {
  const std::optional<QString> chosen = m_dialogs->saveFileName(options);
  if (!chosen)
    return;
  const bool written = runCommand([this, &chosen, write] {
    const std::string path = QFile::encodeName(*chosen).toStdString();
    checkFileOperation(write(chartReport.chart(), Report1->chartPicture(), path));
  });
  if (written)
    showExportedTo(*chosen);
}

void TForm1::Export_BMPClick() {
  exportChart({{QStringLiteral("Bitmap  (  *.BMP  ) (*.bmp)"), kAllFilesFilter},
               QStringLiteral("bmp"),
               true},
              &exportChartBitmap);
}

void TForm1::Export_WMFClick() {
  exportChart({{QStringLiteral("Metafile  (  *.WMF  ) (*.wmf)"), kAllFilesFilter},
               QStringLiteral("wmf"),
               true},
              &exportChartMetafile);
}

} // namespace kelvor
