#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kelvor {

// The logger's command texts, without the carriage return that ends each line on the wire.
inline constexpr std::string_view kValDir = "#VAL-DIR";
inline constexpr std::string_view kValMul = "#VAL-MUL";
inline constexpr std::string_view kAktAdr = "@AKT-ADR";
inline constexpr std::string_view kBegMem = "@BEG-MEM";
inline constexpr std::string_view kDisTim = "@DIS-TIM";
inline constexpr std::string_view kEnaTim = "@ENA-TIM";
inline constexpr std::string_view kFreDir = "#FRE-DIR";
inline constexpr std::string_view kFreMem = "#FRE-MEM";
inline constexpr std::string_view kValMem = "#VAL-MEM";
inline constexpr std::string_view kKalKon = "@KAL-KON";
inline constexpr std::string_view kHexMem = "#HEX-MEM";
inline constexpr std::string_view kVerPrg = "@VER-PRG";
inline constexpr std::string_view kZerMem = "@ZER-MEM";
inline constexpr std::string_view kVyrCis = "@VYR-CIS";

// Ends every command and every reply.
inline constexpr char kTerminator = '\r';

// One button of the service page: the command it stands for, the control's name, its
// caption and its hint (UTF-8, double blanks as the operator sees them).
struct ServiceCommand {
  std::string_view command;
  std::string_view buttonName;
  std::string_view caption;
  std::string_view hint;
};

inline constexpr std::size_t kServiceCommandCount = 14;

// The whole command set with the service page's buttons.
const std::array<ServiceCommand, kServiceCommandCount>& serviceCommands();

// The entry for a command text; none for a text outside the command set.
std::optional<ServiceCommand> findServiceCommand(std::string_view command);

// What a reply means under the last command sent.
enum class ReplyKind {
  ShowOnly,     // shown in the terminal, nothing else
  PresentValue, // the field holds the present voltage
  ReadoutRow,   // the field holds one voltage of the logger's memory, taken as text
};

struct ReplyField {
  ReplyKind kind = ReplyKind::ShowOnly;
  std::string field;       // empty for ShowOnly
  bool terminated = false; // the cluster ends in the reply terminator
};

// Cuts the field out of one received cluster (terminator included) as `lastCommand` asks:
// characters 9 to 16 of the text without its last byte after "#VAL-DIR", characters 18 to
// 25 after "#VAL-MUL"; the comparison is exact and case-sensitive. A short reply gives the
// characters that are there, possibly none.
ReplyField cutReplyField(std::string_view lastCommand, std::string_view clusterText);

// A clean decimal number: blanks (spaces) before and after, an optional sign, one or more
// digits, optionally a point followed by one or more digits; nothing else.
bool isCleanDecimal(std::string_view field);

// The present voltage in a field, when the field is a clean decimal number; anything else
// (empty, letters, units, exponents, line noise that begins with a digit) is no reading.
std::optional<double> readPresentValue(std::string_view field);

// The reading of a present-value reply: a reply that was cut short (no terminator at its
// end) is no reading even where its field happens to be a number.
std::optional<double> presentValueOf(const ReplyField& reply);

// A read-out reply is stored only when it ends in its terminator and its field is the whole
// eight characters of a clean decimal number; the field is then stored as it stands.
bool isStorableReadoutRow(const ReplyField& reply);

} // namespace kelvor
