#include "app/applicationtitle.h"
#include "app/filelocations.h"
#include "app/form1.h"
#include "app/settingskeys.h"
#include "app/shutdownsignals.h"
#include "data/form3.h"
#include "data/form7.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(kelvor::kApplicationTitle);

  // Qt's own dialogs speak Czech like the rest of the program.
  QTranslator qtTranslator;
  if (qtTranslator.load(QLocale(QLocale::Czech), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTranslator);

  const auto locations =
      kelvor::FileLocations::forExecutableDir(QApplication::applicationDirPath());
  kelvor::TForm1 form1(locations);
  form1.FormCreate();
  kelvor::TForm3 form3;
  kelvor::TForm7 form7(form1.selectKey(kelvor::settings::kZacatek),
                       form1.selectKey(kelvor::settings::kKonec), &form1);
  form1.attachForms(&form3, &form7);
  kelvor::ShutdownSignals shutdownSignals;
  QObject::connect(&shutdownSignals, &kelvor::ShutdownSignals::shutdownRequested, &form1,
                   &kelvor::TForm1::closeWithoutQuestion);
  form1.show();
  // For tests that signal the program: from the loop's first turn on, a signal is handled.
  if (qEnvironmentVariableIsSet("KELVOR_REPORT_READY"))
    QTimer::singleShot(0, [] { std::fputs("kelvor: ready\n", stderr); });
  const int result = QApplication::exec();
  form1.FormDestroy();
  return result;
}
