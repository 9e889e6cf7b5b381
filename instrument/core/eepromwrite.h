#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvor {

// EEPROM addresses the configuration writes.
inline constexpr std::uint16_t kIntervalAddress = 0x03EA;
inline constexpr std::uint16_t kKonstantaAddress = 0x3000; // four bytes, 3000 to 3003
inline constexpr std::uint16_t kRowsLowAddress = 0x03F0;
inline constexpr std::uint16_t kRowsHighAddress = 0x03F1;

using SingleBytes = std::array<std::uint8_t, 4>;

// The write commands of the constant's four bytes, least significant first, without the byte.
inline constexpr std::array<std::string_view, 4> kKonstantaCommands = {"@W3000", "@W3001", "@W3002",
                                                                       "@W3003"};

// Two upper-case hexadecimal digits, high nibble first.
std::string ByteToHex(std::uint8_t byte);

// "@W" + four hexadecimal digits of the address + two of the byte.
std::string writeCommand(std::uint16_t address, std::uint8_t byte);

// IEEE 754 single precision, rounded to nearest with ties to even, least significant byte
// first. Values beyond the single range become infinities of their sign.
SingleBytes singleBytes(double value);
// The inverse, for showing a stored constant.
double singleFromBytes(const SingleBytes& bytes);

// The calibration edit's text as a number. A text of blanks, with or without the mask's
// point, is 0 (the empty edit). Otherwise the number may stand anywhere between blanks
// ("  1.5        " is 1.5), but a blank inside it or any other character is not a number:
// ConversionError "'<text>' is not a valid floating point value".
double readKonstanta(std::string_view text);

// The logger's code for a storage interval; none for an interval of 180 s or less that has
// no code of its own.
std::optional<std::uint8_t> intervalCode(unsigned doba);

// The two row-count commands (low byte, high byte) for a number of rows of the parameters
// page; none for any other number.
struct RowCountCommands {
  std::string_view low;
  std::string_view high;
};
std::optional<RowCountCommands> rowCountCommands(unsigned pocetRadku);

// One EEPROM write: seven commands sent one per Timer4 tick. The commands are kept between
// writes, so an interval or row count with no code leaves the previous text in place.
class EepromWrite {
public:
  static constexpr std::size_t kCommandCount = 7;

  std::array<std::string, kCommandCount> EepromCommands;
  std::uint8_t EepromStep = 0;
  SingleBytes KonstBytes{};

  // Button3Click's preparation: rewinds the step, builds command 0 from `doba`, commands 1
  // to 4 from the calibration text and commands 5 and 6 from `pocetRadku`. A calibration
  // text that is not a number throws ConversionError after command 0 is built; commands 1
  // to 6 then stay as they were.
  void start(unsigned doba, std::string_view konstantaText, unsigned pocetRadku);

  // Fills KonstBytes and commands 1 to 4.
  void EncodeKonstanta(std::string_view konstantaText);

  struct Tick {
    std::string command;   // to send now (may be empty: nothing is sent)
    bool finished = false; // stop the timer
  };
  // Timer4Timer: the command of the present step, then the step advances.
  Tick tick();
};

} // namespace kelvor
