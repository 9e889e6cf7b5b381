#include "instrument/core/measuringcycle.h"

#include "data/core/numbertext.h"
#include "instrument/core/loggerprotocol.h"

#include <cmath>
#include <limits>

namespace kelvor {
namespace {

constexpr double kLevelZeroVolts = 10.0;
constexpr double kLevelSpanVolts = 5.0;
constexpr double kLevelSegments = 50.0;

constexpr std::uint16_t kStoreSecondsMax = std::numeric_limits<std::uint16_t>::max();

} // namespace

double MeasuringCycle::minutesPerRecord() const {
  return Doba / 60.0;
}

void MeasuringCycle::resumeMinutes(std::string_view minutyText, double minuty) {
  MinutesText = std::string(minutyText);
  NextMinutes = minuty + minutesPerRecord();
}

bool MeasuringCycle::acceptPresentValue(double voltage) {
  // Saturating, so that even a Doba near the top of the 16-bit range is reached instead of
  // the count wrapping past it.
  StoreSeconds = StoreSeconds > kStoreSecondsMax - kSecondsPerReply
                     ? kStoreSecondsMax
                     : static_cast<std::uint16_t>(StoreSeconds + kSecondsPerReply);
  MinutesText = formatFixed(NextMinutes, 6, 1);
  LastVoltage = voltage;
  VoltageText = formatFixed(LastVoltage, 6, 3);
  // At or past the interval rather than exactly on it: a shorter interval chosen while
  // measuring, or one that is not a multiple of 6, stores at the next reply.
  return StoreSeconds >= Doba;
}

void MeasuringCycle::presentValueStored() {
  NextMinutes += minutesPerRecord();
  StoreSeconds = 0;
}

int MeasuringCycle::levelPosition(double voltage) {
  const double position =
      std::nearbyint((voltage - kLevelZeroVolts) / kLevelSpanVolts * kLevelSegments);
  constexpr double kLowest = std::numeric_limits<int>::min();
  constexpr double kHighest = std::numeric_limits<int>::max();
  if (std::isnan(position))
    return 0;
  if (position <= kLowest)
    return std::numeric_limits<int>::min();
  if (position >= kHighest)
    return std::numeric_limits<int>::max();
  return static_cast<int>(position);
}

bool MeasuringCycle::watchdogTick() {
  if (ReplyWatchdog < kWatchdogLimit)
    ++ReplyWatchdog;
  return ReplyWatchdog > kWatchdogTolerance;
}

MeasuringCycle::ReadoutTick MeasuringCycle::readoutTick() {
  ++ReadoutStep;
  switch (ReadoutStep) {
  case 1:
    return {kDisTim, false};
  case 2:
    return {kBegMem, false};
  case 3:
    return {kValMul, true};
  default:
    return {{}, true};
  }
}

const std::string& MeasuringCycle::prepareReadoutRow() {
  ReadoutMinutesText = formatFixed(ReadoutMinutes, 12, 1);
  return ReadoutMinutesText;
}

void MeasuringCycle::readoutRowStored() {
  ReadoutMinutes += minutesPerRecord();
}

void MeasuringCycle::tableCleared() {
  NextMinutes = 0.0;
  MinutesText = "0.0";
  ReadoutMinutes = 0.0;
  ReadoutMinutesText = "0.0";
}

} // namespace kelvor
