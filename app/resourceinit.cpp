#include "app/resourceinit.h"

#include <QtCore/qglobal.h>

void kelvorInitResources() {
  Q_INIT_RESOURCE(kelvor_app);
}
