#pragma once

#include <cstddef>
#include <string_view>

namespace kelvor {

// Names the program compares without regard to case (settings keys and sections, field
// names, port names, AM/PM markers) are ASCII: the comparison folds A to Z only, the same on
// every locale.
constexpr char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i]))
      return false;
  return true;
}

constexpr bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         equalIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

} // namespace kelvor
