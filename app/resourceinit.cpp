#include "app/resourceinit.h"

#include <QtCore/qglobal.h>

void kelvorInitResources() {
  Q_INIT_RESOURCE(kelvor_app);
  // Nothing else names the reports' resources; without this the linker leaves them out of
  // the program and the table report prints an empty picture box.
  Q_INIT_RESOURCE(kelvor_reports);
}
