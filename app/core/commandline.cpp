#include "app/core/commandline.h"

namespace kelvor {

CommandLineAction commandLineAction(std::span<const std::string_view> arguments) {
  if (arguments.empty())
    return CommandLineAction::Run;
  if (arguments.size() == 1 && arguments.front() == "--version")
    return CommandLineAction::PrintVersion;
  if (arguments.size() == 1 && arguments.front() == "--help")
    return CommandLineAction::PrintUsage;
  return CommandLineAction::Refuse;
}

std::string usageText() {
  return "Použití: kelvor [--help | --version]\n"
         "Spustí program Kelvor pro měření akumulátorů; volby čte ze souboru Kelvor.ini.\n"
         "  --help     vypíše tento text a skončí\n"
         "  --version  vypíše verzi programu a skončí\n";
}

} // namespace kelvor
