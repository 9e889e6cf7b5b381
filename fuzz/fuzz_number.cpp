// Number text as it comes from the logger, the settings file, import files and the edits.

#include "data/core/numbertext.h"
#include "data/core/recordgapbuffer.h"
#include "fuzz/fuzzinput.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using kelvor::fuzz::FuzzInput;

namespace {

constexpr std::size_t kTextLimit = 256;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// What a strictly read number may consist of once the blanks around it are gone.
bool onlyNumberCharacters(std::string_view text) {
  for (const char c : text) {
    if (!isDigit(c) && std::strchr("+-.eE ", c) == nullptr)
      return false;
  }
  return true;
}

void checkStrictReading(std::string_view text) {
  const auto value = kelvor::parseFloat(text);
  bool thrown = false;
  try {
    const double converted = kelvor::strToFloat(text);
    KELVOR_FUZZ_CHECK(value.has_value());
    KELVOR_FUZZ_CHECK(converted == *value || (std::isnan(converted) && std::isnan(*value)));
  } catch (const kelvor::ConversionError& error) {
    thrown = true;
    // Compared as C strings: a zero byte in the text ends the message there.
    const std::string expected = kelvor::notAValidFloatMessage(text);
    KELVOR_FUZZ_CHECK(std::string_view(error.what()) == std::string_view(expected.c_str()));
  }
  KELVOR_FUZZ_CHECK(thrown != value.has_value());
  if (!value)
    return;
  KELVOR_FUZZ_CHECK(std::isfinite(*value));
  KELVOR_FUZZ_CHECK(onlyNumberCharacters(text));
  // A whole number is also the longest number at its own start, unless it has no digit.
  const bool hasDigit = text.find_first_of("0123456789") != std::string_view::npos;
  const auto leading = kelvor::parseLeadingNumber(text);
  KELVOR_FUZZ_CHECK(leading.has_value() == hasDigit);
  if (leading)
    KELVOR_FUZZ_CHECK(*leading == *value);
}

void checkLeadingReading(std::string_view text) {
  const auto leading = kelvor::parseLeadingNumber(text);
  if (!leading)
    return;
  KELVOR_FUZZ_CHECK(std::isfinite(*leading));
  const std::size_t start = text.find_first_not_of(' ');
  KELVOR_FUZZ_CHECK(start != std::string_view::npos);
  // The number starts right after the blanks: a sign, a digit or a point.
  KELVOR_FUZZ_CHECK(isDigit(text[start]) || std::strchr("+-.", text[start]) != nullptr);
}

// Blanks, a sign, digits around at most one point, blanks: the texts the table reads straight
// from its packed codes.
bool isPlainDecimal(std::string_view text) {
  const std::size_t start = text.find_first_not_of(' ');
  const std::size_t end = text.find_last_not_of(' ');
  if (start == std::string_view::npos)
    return false;
  std::string_view run = text.substr(start, end - start + 1);
  if (run.front() == '+' || run.front() == '-')
    run.remove_prefix(1);
  const bool digit = run.find_first_of("0123456789") != std::string_view::npos;
  const bool onlyDigitsAndPoints = run.find_first_not_of("0123456789.") == std::string_view::npos;
  return digit && onlyDigitsAndPoints && run.find('.') == run.rfind('.');
}

bool sameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The texts between the semicolons as the records' VOLTAGE, and in the reverse order as their
// MINUTES: read in one block from the packed codes, each gives what the general reading gives,
// and the block stops at the first record with a text that is no plain decimal.
void checkPackedReadings(std::string_view text) {
  std::vector<std::string_view> texts;
  for (std::size_t begin = 0; begin <= text.size();) {
    const std::size_t end = std::min(text.find(';', begin), text.size());
    texts.push_back(text.substr(begin, std::min<std::size_t>(end - begin, 12)));
    begin = end + 1;
  }
  kelvor::RecordGapBuffer records;
  for (std::size_t i = 0; i < texts.size(); ++i)
    records.pushBack(static_cast<std::int64_t>(i), 0, texts[texts.size() - 1 - i], texts[i]);
  std::vector<kelvor::PlainReading> readings(texts.size());
  const std::size_t read = records.plainReadings(0, readings);
  for (std::size_t i = 0; i <= read && i < texts.size(); ++i) {
    const std::string_view minutes = texts[texts.size() - 1 - i];
    const bool plain = isPlainDecimal(minutes) && isPlainDecimal(texts[i]);
    KELVOR_FUZZ_CHECK(plain == (i < read));
    if (!plain)
      break;
    KELVOR_FUZZ_CHECK(sameBits(readings[i].minutes, *kelvor::parseFloat(minutes)));
    KELVOR_FUZZ_CHECK(sameBits(readings[i].volts, *kelvor::parseFloat(texts[i])));
  }
}

// Fixed-point text reads back as the value rounded to its decimals, fills its width, and
// never shows a negative zero.
void checkFormatRoundTrip(double value, int width, int decimals) {
  if (!std::isfinite(value))
    return;
  const std::string text = kelvor::formatFixed(value, width, decimals);
  KELVOR_FUZZ_CHECK(text.size() >= static_cast<std::size_t>(width));
  const auto back = kelvor::parseFloat(text);
  KELVOR_FUZZ_CHECK(back.has_value());
  const double tolerance = 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9) + std::abs(value) * 1e-15;
  KELVOR_FUZZ_CHECK(std::abs(*back - value) <= tolerance);
  const std::size_t start = text.find_first_not_of(' ');
  if (text[start] == '-')
    KELVOR_FUZZ_CHECK(*back != 0.0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const auto width = static_cast<int>(input.byte() % 24);
  const auto decimals = static_cast<int>(input.byte() % 10);
  const std::string_view text = input.textUntil('\n', kTextLimit);
  checkStrictReading(text);
  checkLeadingReading(text);
  checkPackedReadings(text);
  if (const auto value = kelvor::parseLeadingNumber(text))
    checkFormatRoundTrip(*value, width, decimals);

  // The remaining bytes as a raw double reach values no text of ours would write.
  double raw = 0.0;
  const std::string_view bits = input.rest();
  if (bits.size() >= sizeof raw) {
    std::memcpy(&raw, bits.data(), sizeof raw);
    if (std::abs(raw) < 1e300)
      checkFormatRoundTrip(raw, width, decimals);
  }
  return 0;
}
