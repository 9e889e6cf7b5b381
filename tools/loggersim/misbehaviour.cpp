#include "tools/loggersim/misbehaviour.h"

#include "data/core/numbertext.h"
#include "instrument/core/loggerprotocol.h"

#include <charconv>
#include <optional>

namespace kelvor::sim {
namespace {

// Line noise that carries no digit, sign or point, so it never reads as a number, and no
// terminator, so a reply keeps its length.
constexpr std::string_view kNoiseBytes =
    "!\"#$%&'()*/:;<=>?@[\\]^_`{|}~ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz\x7f\x80\x9f\xa5\xe4\xfe";

void garble(std::string& bytes, std::mt19937& random) {
  std::uniform_int_distribution<std::size_t> pick(0, kNoiseBytes.size() - 1);
  const std::size_t end =
      !bytes.empty() && bytes.back() == kTerminator ? bytes.size() - 1 : bytes.size();
  for (std::size_t i = 0; i < end; ++i)
    bytes[i] = kNoiseBytes[pick(random)];
}

std::optional<long> readWhole(std::string_view text) {
  long value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size())
    return std::nullopt;
  return value;
}

std::optional<bool> readSwitch(std::string_view text) {
  if (text == "on")
    return true;
  if (text == "off")
    return false;
  return std::nullopt;
}

} // namespace

std::vector<Chunk> shapeReply(std::vector<Chunk> reply, const Misbehaviour& how,
                              std::mt19937& random) {
  if (how.silent || reply.empty())
    return {};
  if (how.noise)
    for (Chunk& chunk : reply)
      garble(chunk.bytes, random);
  if (how.split.count() > 0) {
    std::vector<Chunk> halves;
    for (Chunk& chunk : reply) {
      const std::size_t half = chunk.bytes.size() / 2;
      halves.push_back({chunk.bytes.substr(0, half), chunk.gapBefore});
      halves.push_back({chunk.bytes.substr(half), how.split});
    }
    reply = std::move(halves);
  }
  reply.front().gapBefore += how.delay;
  return reply;
}

ControlResult applyControl(std::string_view line, Misbehaviour& how, SimulatedLogger& logger) {
  const std::size_t blank = line.find(' ');
  const std::string_view word = line.substr(0, blank);
  const std::string_view value =
      blank == std::string_view::npos ? std::string_view{} : line.substr(blank + 1);
  const auto number = readWhole(value);
  const auto onOff = readSwitch(value);

  if (word == "quit")
    return ControlResult::Quit;
  if (word == "hangup")
    return ControlResult::HangUp;
  if (word == "silent" && onOff)
    how.silent = *onOff;
  else if (word == "noise" && onOff)
    how.noise = *onOff;
  else if (word == "delay" && number && *number >= 0)
    how.delay = std::chrono::milliseconds(*number);
  else if (word == "split" && number && *number >= 0)
    how.split = std::chrono::milliseconds(*number);
  else if (word == "hangup-after" && number)
    how.hangupAfter = *number;
  else if (word == "rows-back-to-back" && number && *number >= 0)
    logger.setRowsBackToBack(static_cast<unsigned>(*number));
  else if (word == "hold" && value == "off")
    logger.holdVolts(false, 0.0);
  else if (word == "hold" && parseFloat(value))
    logger.holdVolts(true, *parseFloat(value));
  else
    return ControlResult::Unknown;
  return ControlResult::Applied;
}

} // namespace kelvor::sim
