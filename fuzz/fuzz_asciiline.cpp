// The ASCII import: lines cut from file bytes of any kind, and the time column's parser.

#include "core/textencoding.h"
#include "data/core/asciiformat.h"
#include "fuzz/fuzzinput.h"

#include <cstring>
#include <string>
#include <vector>

using kelvor::fuzz::FuzzInput;

namespace {

constexpr std::size_t kFormatTextLimit = 8;
constexpr int kSecondsPerDay = 24 * 60 * 60;

std::vector<kelvor::AsciiRecordTexts> readAllLines(kelvor::AsciiLineReader& reader) {
  std::vector<kelvor::AsciiRecordTexts> lines;
  kelvor::AsciiRecordTexts texts;
  while (reader.readLine(texts))
    lines.push_back(texts);
  KELVOR_FUZZ_CHECK(reader.error() == 0);
  return lines;
}

std::size_t characterCount(std::string_view utf8) {
  std::size_t count = 0;
  for (const char c : utf8)
    count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// Each column is whole UTF-8 characters, at most twelve, and the columns fill from the left:
// a column is only started when the one before it is full.
void checkColumns(const kelvor::AsciiRecordTexts& texts) {
  const std::string_view columns[] = {texts.time, texts.minutes, texts.voltage};
  bool previousFull = true;
  for (const std::string_view column : columns) {
    KELVOR_FUZZ_CHECK(kelvor::isValidUtf8(column));
    const std::size_t count = characterCount(column);
    KELVOR_FUZZ_CHECK(count <= kelvor::kAsciiColumnWidth);
    KELVOR_FUZZ_CHECK(previousFull || count == 0);
    previousFull = count == kelvor::kAsciiColumnWidth;
    KELVOR_FUZZ_CHECK(column.find_first_of("\r\n\x1A") == std::string_view::npos);
  }
}

bool sameTexts(const kelvor::AsciiRecordTexts& a, const kelvor::AsciiRecordTexts& b) {
  return a.time == b.time && a.minutes == b.minutes && a.voltage == b.voltage;
}

// The bytes handed out in pieces of the sizes the input chooses, as reads from a pipe or a
// slow disk can come.
class PiecewiseSource {
public:
  PiecewiseSource(std::string_view bytes, std::string_view pieceSizes)
      : m_bytes(bytes), m_sizes(pieceSizes) {}

  std::ptrdiff_t operator()(char* buffer, std::size_t size) {
    std::size_t piece = 1;
    if (!m_sizes.empty()) {
      piece = static_cast<unsigned char>(m_sizes[m_next++ % m_sizes.size()]) + 1;
    }
    const std::size_t count = std::min({piece, size, m_bytes.size()});
    std::memcpy(buffer, m_bytes.data(), count);
    m_bytes.remove_prefix(count);
    return static_cast<std::ptrdiff_t>(count);
  }

private:
  std::string_view m_bytes;
  std::string_view m_sizes;
  std::size_t m_next = 0;
};

void checkLineReader(std::string_view bytes, std::string_view pieceSizes) {
  kelvor::AsciiLineReader whole(bytes);
  const auto lines = readAllLines(whole);
  for (const auto& line : lines)
    checkColumns(line);

  // How the bytes arrive must not change what is read.
  kelvor::AsciiLineReader pieces(PiecewiseSource(bytes, pieceSizes));
  const auto piecewise = readAllLines(pieces);
  KELVOR_FUZZ_CHECK(piecewise.size() == lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    KELVOR_FUZZ_CHECK(sameTexts(piecewise[i], lines[i]));

  // Never more lines than line ends, plus one for a last line without one.
  std::size_t ends = 0;
  for (const char c : bytes)
    ends += c == '\r' || c == '\n';
  KELVOR_FUZZ_CHECK(lines.size() <= ends + 1);
}

void checkTime(std::string_view text, const kelvor::TimeTextFormat& format) {
  const auto seconds = kelvor::parseTimeOfDay(text, format);
  if (seconds) {
    KELVOR_FUZZ_CHECK(*seconds >= 0 && *seconds < kSecondsPerDay);
    KELVOR_FUZZ_CHECK(kelvor::strToTime(text, format) == *seconds);
  }
}

// A time written with the format's separator reads back as itself, whenever the separator
// and markers cannot be mistaken for digits, blanks or each other.
void checkTimeRoundTrip(int seconds, const kelvor::TimeTextFormat& format) {
  const auto pad = [](int value) {
    return std::string(value < 10 ? "0" : "") + std::to_string(value);
  };
  const std::string text = pad(seconds / 3600) + format.timeSeparator + pad(seconds / 60 % 60) +
                           format.timeSeparator + pad(seconds % 60);
  KELVOR_FUZZ_CHECK(kelvor::parseTimeOfDay(text, format) == seconds);
}

bool hasNoDigitOrBlank(std::string_view text) {
  return text.find_first_of("0123456789 ") == std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const int mode = input.byte() % 3;
  if (mode == 0) {
    const std::string_view pieceSizes = input.textUntil('\0', 16);
    checkLineReader(input.rest(), pieceSizes);
    return 0;
  }

  kelvor::TimeTextFormat format;
  if (mode == 2) {
    format.timeSeparator = input.textUntil('\0', kFormatTextLimit);
    format.decimalSeparator = input.textUntil('\0', kFormatTextLimit);
    format.amText = input.textUntil('\0', kFormatTextLimit);
    format.pmText = input.textUntil('\0', kFormatTextLimit);
  }
  const auto high = input.byte();
  const int seconds = (high << 16 | input.byte() << 8 | input.byte()) % kSecondsPerDay;
  checkTime(input.rest(), format);
  if (!format.timeSeparator.empty() && hasNoDigitOrBlank(format.timeSeparator) &&
      hasNoDigitOrBlank(format.amText) && hasNoDigitOrBlank(format.pmText))
    checkTimeRoundTrip(seconds, format);
  return 0;
}
