#include "app/core/commandline.h"
#include "app/filelocations.h"
#include "app/program.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

// Answered before any window or display is needed, as installed programs answer.
int answerCommandLine(kelvor::CommandLineAction action,
                      const std::vector<std::string_view>& arguments) {
  switch (action) {
  case kelvor::CommandLineAction::PrintVersion:
    std::printf("kelvor %s\n", KELVOR_VERSION);
    return 0;
  case kelvor::CommandLineAction::PrintUsage:
    std::fputs(kelvor::usageText().c_str(), stdout);
    return 0;
  default:
    std::fputs("kelvor: neznámé argumenty:", stderr);
    for (const std::string_view argument : arguments)
      std::fprintf(stderr, " %.*s", static_cast<int>(argument.size()), argument.data());
    std::fputs("\n", stderr);
    std::fputs(kelvor::usageText().c_str(), stderr);
    return 2;
  }
}

} // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + std::min(argc, 1), argv + argc);
  const kelvor::CommandLineAction action = kelvor::commandLineAction(arguments);
  if (action != kelvor::CommandLineAction::Run)
    return answerCommandLine(action, arguments);
  QApplication application(argc, argv);
  kelvor::Program program(
      kelvor::FileLocations::forExecutableDir(QApplication::applicationDirPath()), nullptr,
      kelvor::Program::Host::Operator);
  return program.run();
}
