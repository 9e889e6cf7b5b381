#include "tools/loggersim/simoptions.h"

#include "data/core/numbertext.h"
#include "instrument/core/eepromwrite.h"

#include <charconv>
#include <functional>
#include <map>

namespace kelvor::sim {
namespace {

unsigned long readCount(std::string_view option, std::string_view text) {
  unsigned long value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size())
    throw UsageError(std::string(option) + ": not a whole number: " + std::string(text));
  return value;
}

double readNumber(std::string_view option, std::string_view text) {
  const auto value = parseFloat(text);
  if (!value)
    throw UsageError(std::string(option) + ": not a number: " + std::string(text));
  return *value;
}

std::chrono::milliseconds readMilliseconds(std::string_view option, std::string_view text) {
  return std::chrono::milliseconds(readCount(option, text));
}

} // namespace

SimOptions parseOptions(int argc, const char* const* argv) {
  SimOptions o;
  LoggerSettings& l = o.logger;
  Misbehaviour& m = o.misbehaviour;
  using Setter = std::function<void(std::string_view, std::string_view)>;
  const std::map<std::string_view, Setter> withValue{
      {"--link", [&](auto, auto v) { o.link = v; }},
      {"--path-file", [&](auto, auto v) { o.pathFile = v; }},
      {"--control", [&](auto, auto v) { o.controlFifo = v; }},
      {"--baud", [&](auto n, auto v) { o.baud = static_cast<unsigned>(readCount(n, v)); }},
      {"--speed", [&](auto n, auto v) { o.speed = readNumber(n, v); }},
      {"--start-volts", [&](auto n, auto v) { l.startVolts = readNumber(n, v); }},
      {"--end-volts", [&](auto n, auto v) { l.endVolts = readNumber(n, v); }},
      {"--discharge-hours",
       [&](auto n, auto v) { l.dischargeSeconds = readNumber(n, v) * 3600.0; }},
      {"--noise-volts", [&](auto n, auto v) { l.noiseVolts = readNumber(n, v); }},
      {"--hold-volts",
       [&](auto n, auto v) {
         l.holdVolts = true;
         l.heldVolts = readNumber(n, v);
       }},
      {"--seed", [&](auto n, auto v) { l.seed = static_cast<unsigned>(readCount(n, v)); }},
      {"--interval",
       [&](auto n, auto v) { l.intervalSeconds = static_cast<unsigned>(readCount(n, v)); }},
      {"--rows", [&](auto n, auto v) { l.rows = static_cast<unsigned>(readCount(n, v)); }},
      {"--konstanta", [&](auto n, auto v) { l.konstanta = readNumber(n, v); }},
      {"--memory-rows",
       [&](auto n, auto v) { l.memoryRows = static_cast<unsigned>(readCount(n, v)); }},
      {"--serial", [&](auto, auto v) { l.serialNumber = v; }},
      {"--row-gap", [&](auto n, auto v) { l.rowGap = readMilliseconds(n, v); }},
      {"--rows-back-to-back",
       [&](auto n, auto v) { l.rowsBackToBack = static_cast<unsigned>(readCount(n, v)); }},
      {"--delay", [&](auto n, auto v) { m.delay = readMilliseconds(n, v); }},
      {"--split", [&](auto n, auto v) { m.split = readMilliseconds(n, v); }},
      {"--hangup-after",
       [&](auto n, auto v) { m.hangupAfter = static_cast<long>(readCount(n, v)); }},
  };
  const std::map<std::string_view, std::function<void()>> flags{
      {"--help", [&] { o.help = true; }},
      {"--no-record", [&] { l.recording = false; }},
      {"--silent", [&] { m.silent = true; }},
      {"--noise", [&] { m.noise = true; }},
  };

  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (const auto flag = flags.find(name); flag != flags.end()) {
      flag->second();
      continue;
    }
    const auto option = withValue.find(name);
    if (option == withValue.end())
      throw UsageError("unknown option: " + std::string(name));
    if (i + 1 >= argc)
      throw UsageError(std::string(name) + " needs a value");
    option->second(name, argv[++i]);
  }

  if (!intervalCode(l.intervalSeconds))
    throw UsageError("--interval: no interval code for " + std::to_string(l.intervalSeconds));
  if (l.rows > 0xFFFF)
    throw UsageError("--rows: at most 65535");
  if (o.speed <= 0.0)
    throw UsageError("--speed must be above 0");
  if (l.dischargeSeconds <= 0.0)
    throw UsageError("--discharge-hours must be above 0");
  return o;
}

const char* usageText() {
  return R"(Usage: kelvor-logger-sim [options]

A simulated data logger on a pseudo-terminal. Prints the terminal's path on the first line
of standard output, then answers the logger's commands until SIGINT/SIGTERM or "quit".

Where:
  --link PATH            also make PATH a symbolic link to the terminal
  --path-file PATH       also write the terminal's path into PATH
  --control PATH         read control lines from the FIFO PATH (created when missing)
Line and clock:
  --baud N               line speed for pacing the output, 10 bits a byte (19200; 0: unpaced)
  --speed F              simulated seconds per real second (1)
Battery:
  --start-volts V        12.8      --end-volts V   10.5     --discharge-hours H   4
  --noise-volts V        0.003     --seed N        1
  --hold-volts V         answer exactly V, no model and no noise
Logger:
  --interval S           recording interval written to 03EA (60; 6 18 36 60 180 or > 180;
                         the code F0 of every interval above 180 s records every 600 s)
  --rows N               rows sent per #VAL-MUL, 03F0/03F1 (100)
  --konstanta X          calibration constant at 3000-3003 (1.0)
  --memory-rows N        readings already in memory (100)
  --no-record            start with recording stopped (as after @DIS-TIM)
  --serial TEXT          serial number for @VYR-CIS
  --row-gap MS           pause between read-out rows (0: back to back, each byte at the
                         line speed, as the logger's firmware sends them)
  --rows-back-to-back N  #VAL-MUL sends N rows without pauses, beyond the memory if need be
Misbehaviour:
  --silent               answer nothing
  --delay MS             answer late
  --noise                replies replaced by line noise of the same length
  --split MS             every reply in two halves, MS apart
  --hangup-after N       close the line after N replies

Replies end with a carriage return. #VAL-DIR: "U[V]:   " and the volts in characters 9 to
16, then a blank. #VAL-MUL: rows such as "R0001 t=000060 U= 12.7931", the volts in
characters 18 to 25, from the read pointer, as many as 03F0/03F1 say and the memory holds.
Unknown commands: "ERR".

Control lines (FIFO): silent on|off, noise on|off, delay MS, split MS, hangup-after N,
hold V|off, rows-back-to-back N, hangup, quit. Each line taken is acknowledged in PATH.ack,
rewritten whole: "COUNT ok|unknown LINE", COUNT the lines taken so far.
Signals: SIGUSR1 toggles silence, SIGUSR2 hangs up.
)";
}

} // namespace kelvor::sim
