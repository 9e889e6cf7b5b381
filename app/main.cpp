#include "app/filelocations.h"
#include "app/program.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  kelvor::Program program(
      kelvor::FileLocations::forExecutableDir(QApplication::applicationDirPath()), nullptr,
      kelvor::Program::Host::Operator);
  return program.run();
}
