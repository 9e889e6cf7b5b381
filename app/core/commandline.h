#pragma once

#include <span>
#include <string>
#include <string_view>

namespace kelvor {

// What the arguments after the program's name ask for. The run itself takes nothing from the
// command line; an installed program still answers the two questions every one answers.
enum class CommandLineAction { Run, PrintVersion, PrintUsage, Refuse };

CommandLineAction commandLineAction(std::span<const std::string_view> arguments);

// The usage, in the program's language, ending in a line end.
std::string usageText();

} // namespace kelvor
