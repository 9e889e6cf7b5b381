#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kelvor {

// Numbers in protocol text, measurement fields and settings always use "." as the decimal
// point, whatever the user's locale.

// A conversion the operator must hear about: the message carries the runtime's own words.
class ConversionError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Strict reading: blanks before and after, an optional sign, digits, an optional point with
// digits, an optional exponent. A text of blanks and a lone point reads as 0; an empty text
// or one with a blank inside the number is not a number.
std::optional<double> parseFloat(std::string_view text);

// As parseFloat, but throws ConversionError "'<text>' is not a valid floating point value".
double strToFloat(std::string_view text);

// The longest number at the start of the text after leading blanks; whatever follows is
// ignored. No digit at all gives no number.
std::optional<double> parseLeadingNumber(std::string_view text);

// Fixed-point notation right-aligned in `width` characters with `decimals` decimals; a number
// too wide for the width is written in full.
std::string formatFixed(double value, int width, int decimals);

std::string notAValidFloatMessage(std::string_view text);

// A text as a message quotes it: a zero byte would end the message where it stands (message
// boxes take C strings), so it is shown as the symbol for NUL, U+2400.
std::string textForMessage(std::string_view text);

} // namespace kelvor
