#include "data/core/numbertext.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace kelvor {
namespace {

bool isBlank(char c) {
  return c == ' ';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Scans sign, digits, optional point and digits, optional exponent from `pos`. Returns the
// end of the number and whether a mantissa digit was seen; an exponent without digits is
// not taken.
struct Scan {
  std::size_t end = 0;
  bool digits = false;
  bool point = false;
};

Scan scanNumber(std::string_view s, std::size_t pos) {
  Scan r;
  std::size_t i = pos;
  if (i < s.size() && (s[i] == '+' || s[i] == '-'))
    ++i;
  while (i < s.size() && isDigit(s[i])) {
    ++i;
    r.digits = true;
  }
  if (i < s.size() && s[i] == '.') {
    ++i;
    r.point = true;
    while (i < s.size() && isDigit(s[i])) {
      ++i;
      r.digits = true;
    }
  }
  r.end = i;
  if (r.digits && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-'))
      ++j;
    const std::size_t expDigits = j;
    while (j < s.size() && isDigit(s[j]))
      ++j;
    if (j > expDigits)
      r.end = j;
  }
  return r;
}

// The scanned number in a form from_chars takes: no leading '+', a digit on both sides of
// the point. Values beyond the range of a double are not numbers.
std::optional<double> convert(std::string_view number) {
  if (!number.empty() && number.front() == '+')
    number.remove_prefix(1);
  std::string buffer(number);
  const std::size_t dot = buffer.find('.');
  if (dot != std::string::npos) {
    if (dot + 1 == buffer.size() || !isDigit(buffer[dot + 1]))
      buffer.insert(dot + 1, "0");
    if (dot == 0 || !isDigit(buffer[dot - 1]))
      buffer.insert(dot, "0");
  }
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(buffer.data(), buffer.data() + buffer.size(), value);
  if (ec != std::errc() || ptr != buffer.data() + buffer.size())
    return std::nullopt;
  return value;
}

} // namespace

std::optional<double> parseFloat(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && isBlank(text[begin]))
    ++begin;
  std::size_t end = text.size();
  while (end > begin && isBlank(text[end - 1]))
    --end;
  const std::string_view core = text.substr(begin, end - begin);
  if (core.empty())
    return std::nullopt;
  const Scan scan = scanNumber(core, 0);
  if (scan.end != core.size())
    return std::nullopt;
  if (!scan.digits)
    return scan.point && core.size() == 1 ? std::optional<double>(0.0) : std::nullopt;
  return convert(core);
}

double strToFloat(std::string_view text) {
  if (const auto value = parseFloat(text))
    return *value;
  throw ConversionError(notAValidFloatMessage(text));
}

std::optional<double> parseLeadingNumber(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && isBlank(text[begin]))
    ++begin;
  const Scan scan = scanNumber(text, begin);
  if (!scan.digits)
    return std::nullopt;
  return convert(text.substr(begin, scan.end - begin));
}

std::string formatFixed(double value, int width, int decimals) {
  std::array<char, 512> buffer{};
  const auto [ptr, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::fixed, decimals);
  std::string text = ec == std::errc() ? std::string(buffer.data(), ptr) : std::string("0");
  if (std::signbit(value) && text.front() == '-' &&
      text.find_first_not_of("-0.") == std::string::npos)
    text.erase(0, 1); // no "-0.0"
  if (static_cast<int>(text.size()) < width)
    text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
  return text;
}

std::string notAValidFloatMessage(std::string_view text) {
  return "'" + textForMessage(text) + "' is not a valid floating point value";
}

std::string textForMessage(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    if (c == '\0')
      shown += "\u2400";
    else
      shown += c;
  }
  return shown;
}

} // namespace kelvor
