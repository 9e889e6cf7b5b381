#include "serial/platform/portname.h"

#include "core/textcase.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace kelvor {

namespace {

// n of a name "COMn" with n at least 1.
std::optional<unsigned long> comNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 12 || !startsWithIgnoringAsciiCase(name, "COM"))
    return std::nullopt;
  const std::string digits = name.substr(3);
  if (!std::all_of(digits.begin(), digits.end(),
                   [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
    return std::nullopt;
  const unsigned long number = std::stoul(digits);
  if (number == 0)
    return std::nullopt;
  return number;
}

} // namespace

std::string devicePathForPort(const std::string& commPort,
                              const std::map<std::string, std::string>& devices) {
  std::string name = commPort.substr(0, std::min(commPort.size(), kPortNameLimit));
  if (!name.empty() && name.front() == '/')
    return name;
  if (const auto number = comNumber(name)) {
    for (const auto& [key, path] : devices)
      if (equalIgnoringAsciiCase(key, name) && !path.empty())
        return path;
    return "/dev/ttyS" + std::to_string(*number - 1);
  }
  return "/dev/" + name;
}

} // namespace kelvor
