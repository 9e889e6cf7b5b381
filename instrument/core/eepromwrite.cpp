#include "instrument/core/eepromwrite.h"

#include "data/core/numbertext.h"

#include <bit>
#include <cmath>
#include <limits>

namespace kelvor {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Beyond this magnitude round-to-nearest gives infinity: the largest single plus half of
// its last place.
const double kSingleOverflow = std::ldexp(2.0 - std::ldexp(1.0, -24), 127);

struct RowCountEntry {
  unsigned rows = 0;
  RowCountCommands commands;
};

constexpr std::array<RowCountEntry, 7> kRowCounts{{
    {100, {"@W03F064", "@W03F100"}},
    {180, {"@W03F0B4", "@W03F100"}},
    {360, {"@W03F068", "@W03F101"}},
    {600, {"@W03F058", "@W03F102"}},
    {1000, {"@W03F0E8", "@W03F103"}},
    {1800, {"@W03F008", "@W03F107"}},
    {3600, {"@W03F010", "@W03F10E"}},
}};

bool isMaskBlank(std::string_view text) {
  return text.find_first_not_of(" .") == std::string_view::npos &&
         text.find('.') == text.rfind('.');
}

} // namespace

std::string ByteToHex(std::uint8_t byte) {
  return {kHexDigits[byte >> 4], kHexDigits[byte & 0x0F]};
}

std::string writeCommand(std::uint16_t address, std::uint8_t byte) {
  return "@W" + ByteToHex(static_cast<std::uint8_t>(address >> 8)) +
         ByteToHex(static_cast<std::uint8_t>(address & 0xFF)) + ByteToHex(byte);
}

SingleBytes singleBytes(double value) {
  float single = 0.0F;
  if (std::isnan(value))
    single = std::numeric_limits<float>::quiet_NaN();
  else if (std::fabs(value) >= kSingleOverflow)
    single = std::copysign(std::numeric_limits<float>::infinity(), static_cast<float>(value));
  else
    single = static_cast<float>(value); // the conversion rounds to nearest, ties to even
  const auto bits = std::bit_cast<std::uint32_t>(single);
  return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
          static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
}

double singleFromBytes(const SingleBytes& bytes) {
  const std::uint32_t bits = bytes[0] | (std::uint32_t{bytes[1]} << 8) |
                             (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
  return std::bit_cast<float>(bits);
}

double readKonstanta(std::string_view text) {
  if (isMaskBlank(text))
    return 0.0;
  return strToFloat(text);
}

std::optional<std::uint8_t> intervalCode(unsigned doba) {
  switch (doba) {
  case 6:
    return 0x06;
  case 18:
    return 0x12;
  case 36:
    return 0x24;
  case 60:
    return 0x36;
  case 180:
    return 0xB4;
  default:
    if (doba > 180)
      return 0xF0;
    return std::nullopt;
  }
}

std::optional<RowCountCommands> rowCountCommands(unsigned pocetRadku) {
  for (const RowCountEntry& entry : kRowCounts)
    if (entry.rows == pocetRadku)
      return entry.commands;
  return std::nullopt;
}

void EepromWrite::start(unsigned doba, std::string_view konstantaText, unsigned pocetRadku) {
  EepromStep = 0;
  if (const auto code = intervalCode(doba))
    EepromCommands[0] = writeCommand(kIntervalAddress, *code);
  EncodeKonstanta(konstantaText);
  if (const auto rows = rowCountCommands(pocetRadku)) {
    EepromCommands[5] = std::string(rows->low);
    EepromCommands[6] = std::string(rows->high);
  }
}

void EepromWrite::EncodeKonstanta(std::string_view konstantaText) {
  KonstBytes = singleBytes(readKonstanta(konstantaText));
  for (std::size_t i = 0; i < KonstBytes.size(); ++i)
    EepromCommands[1 + i] = std::string(kKonstantaCommands[i]) + ByteToHex(KonstBytes[i]);
}

EepromWrite::Tick EepromWrite::tick() {
  Tick tick;
  if (EepromStep < kCommandCount)
    tick.command = EepromCommands[EepromStep];
  if (EepromStep < std::numeric_limits<std::uint8_t>::max())
    ++EepromStep;
  tick.finished = EepromStep >= kCommandCount;
  return tick;
}

} // namespace kelvor
