// The receive path of the main window without its window: a cluster as the port hands it over,
// its field cut under the last command sent, and the measuring or read-out step that follows.

#include "data/core/numbertext.h"
#include "fuzz/fuzzinput.h"
#include "instrument/core/eepromwrite.h"
#include "instrument/core/loggerprotocol.h"
#include "instrument/core/measuringcycle.h"
#include "serial/rxcluster.h"
#include "serial/terminatorcut.h"

#include <algorithm>
#include <cmath>
#include <string>

using kelvor::fuzz::FuzzInput;

namespace {

constexpr std::size_t kPresentValueOffset = 8; // characters 9 to 16
constexpr std::size_t kReadoutRowOffset = 17;  // characters 18 to 25
constexpr std::size_t kFieldLength = 8;
constexpr std::size_t kTypedCommandLimit = 40;

// LastCommand as the window can hold it: a service or measuring command, an EEPROM write, an
// empty one after the terminal was cleared, or whatever the operator typed and sent.
std::string lastCommand(FuzzInput& input) {
  const auto& commands = kelvor::serviceCommands();
  const std::size_t choice = input.byte() % (commands.size() + 3);
  if (choice < commands.size())
    return std::string(commands[choice].command);
  switch (choice - commands.size()) {
  case 0: {
    const auto high = input.byte();
    const auto address = static_cast<std::uint16_t>(high << 8 | input.byte());
    return kelvor::writeCommand(address, input.byte());
  }
  case 1:
    return {};
  default:
    return std::string(input.textUntil('\0', kTypedCommandLimit));
  }
}

// The cut field is the reply's own characters from a fixed place, never more than eight and
// never past the byte the terminator takes.
void checkField(const kelvor::ReplyField& reply, const std::string& text, std::size_t offset) {
  KELVOR_FUZZ_CHECK(reply.field.size() <= kFieldLength);
  const std::size_t replyLength = text.empty() ? 0 : text.size() - 1;
  if (replyLength <= offset) {
    KELVOR_FUZZ_CHECK(reply.field.empty());
    return;
  }
  KELVOR_FUZZ_CHECK(reply.field ==
                    text.substr(offset, std::min(kFieldLength, replyLength - offset)));
}

// A written number reads back as nearly the value it was written from.
void checkWrittenNumber(const std::string& written, double value, int decimals) {
  const auto back = kelvor::parseFloat(written);
  KELVOR_FUZZ_CHECK(back.has_value());
  const double tolerance = 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9) + std::abs(value) * 1e-15;
  KELVOR_FUZZ_CHECK(std::abs(*back - value) <= tolerance);
}

void presentValue(kelvor::MeasuringCycle& cycle, const kelvor::ReplyField& reply) {
  const auto voltage = kelvor::presentValueOf(reply);
  if (!voltage)
    return;
  // Only a whole reply whose field is a clean number is a reading.
  KELVOR_FUZZ_CHECK(reply.terminated && kelvor::isCleanDecimal(reply.field));
  KELVOR_FUZZ_CHECK(std::isfinite(*voltage));
  const double minutes = cycle.NextMinutes;
  const bool storeDue = cycle.acceptPresentValue(*voltage);
  KELVOR_FUZZ_CHECK(storeDue == (cycle.StoreSeconds >= cycle.Doba));
  KELVOR_FUZZ_CHECK(cycle.LastVoltage == *voltage);
  checkWrittenNumber(cycle.VoltageText, *voltage, 3);
  checkWrittenNumber(cycle.MinutesText, minutes, 1);
  static_cast<void>(kelvor::MeasuringCycle::levelPosition(*voltage));
  if (storeDue) {
    cycle.presentValueStored();
    KELVOR_FUZZ_CHECK(cycle.StoreSeconds == 0);
    KELVOR_FUZZ_CHECK(cycle.NextMinutes == minutes + cycle.minutesPerRecord());
  }
}

void readoutRow(kelvor::MeasuringCycle& cycle, const kelvor::ReplyField& reply) {
  if (!kelvor::isStorableReadoutRow(reply))
    return;
  KELVOR_FUZZ_CHECK(reply.terminated && reply.field.size() == kFieldLength);
  KELVOR_FUZZ_CHECK(kelvor::parseFloat(reply.field).has_value());
  const double minutes = cycle.ReadoutMinutes;
  const std::string& text = cycle.prepareReadoutRow();
  KELVOR_FUZZ_CHECK(text.size() >= 12);
  checkWrittenNumber(text, minutes, 1);
  cycle.readoutRowStored();
  KELVOR_FUZZ_CHECK(cycle.ReadoutMinutes == minutes + cycle.minutesPerRecord());
}

void receiveCluster(kelvor::MeasuringCycle& cycle, const std::string& command,
                    std::string_view bytes) {
  const kelvor::TRxCluster cluster(bytes.data(), static_cast<std::int32_t>(bytes.size()), 0);
  const std::string text = cluster.text();
  KELVOR_FUZZ_CHECK(text == bytes);
  cycle.replyReceived();
  KELVOR_FUZZ_CHECK(cycle.ReplyWatchdog == 0);

  const kelvor::ReplyField reply = kelvor::cutReplyField(command, text);
  if (command == kelvor::kValDir) {
    KELVOR_FUZZ_CHECK(reply.kind == kelvor::ReplyKind::PresentValue);
    checkField(reply, text, kPresentValueOffset);
    presentValue(cycle, reply);
  } else if (command == kelvor::kValMul) {
    KELVOR_FUZZ_CHECK(reply.kind == kelvor::ReplyKind::ReadoutRow);
    checkField(reply, text, kReadoutRowOffset);
    readoutRow(cycle, reply);
  } else {
    KELVOR_FUZZ_CHECK(reply.kind == kelvor::ReplyKind::ShowOnly);
    KELVOR_FUZZ_CHECK(reply.field.empty());
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string command = lastCommand(input);

  kelvor::MeasuringCycle cycle;
  const auto dobaHigh = input.byte();
  cycle.Doba = static_cast<std::uint16_t>(dobaHigh << 8 | input.byte());
  cycle.StoreSeconds = static_cast<std::uint16_t>(input.byte() << 8);
  cycle.resumeMinutes("", input.byte());

  // What arrives comes in cuts of any size, which the port splits after each terminator; a
  // cut without any terminator comes whole, and nothing is lost, repeated or reordered.
  kelvor::TerminatorCut cut;
  std::string arrived;
  std::string delivered;
  while (!input.empty()) {
    const std::size_t size = input.byte();
    const std::string_view bytes = input.textUntil('\0', size);
    arrived += bytes;
    for (const std::string& piece : cut.cut(bytes, kelvor::kTerminator)) {
      const std::size_t terminators =
          static_cast<std::size_t>(std::count(piece.begin(), piece.end(), kelvor::kTerminator));
      KELVOR_FUZZ_CHECK(terminators == 0 || (terminators == 1 && piece.back() == '\r'));
      delivered += piece;
      receiveCluster(cycle, command, piece);
    }
    KELVOR_FUZZ_CHECK(cut.held() == arrived.size() - delivered.size());
  }
  KELVOR_FUZZ_CHECK(delivered + cut.whole({}) == arrived);
  return 0;
}
