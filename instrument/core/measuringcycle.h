#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvor {

// The counters of the measuring cycle and of the logger memory read-out. The values keep
// their window-wide names and are public, as the main window reads and sets them freely
// (start-up, import, shutdown); the steps below are the only arithmetic done on them.
class MeasuringCycle {
public:
  // Seconds a present-value reply stands for.
  static constexpr std::uint16_t kSecondsPerReply = 6;
  static constexpr std::uint16_t kWatchdogLimit = 1000;
  // Seconds without a reply after which the display shows the no-reply look.
  static constexpr std::uint16_t kWatchdogTolerance = 20;

  std::uint16_t Doba = 0;
  std::uint16_t StoreSeconds = 0;
  double NextMinutes = 0.0;
  std::string MinutesText;
  double LastVoltage = 0.0;
  std::string VoltageText;
  std::uint16_t ReplyWatchdog = 0;
  std::uint8_t ReadoutStep = 0;
  double ReadoutMinutes = 0.0;
  std::string ReadoutMinutesText;

  // Elapsed minutes one stored record adds: Doba / 60.
  double minutesPerRecord() const;

  // Start-up: the saved `Minuty` text and the number read from it; the next record carries
  // that number plus one storage interval.
  void resumeMinutes(std::string_view minutyText, double minuty);

  // Present-value handling up to the decision: counts 6 seconds, writes MinutesText,
  // LastVoltage and VoltageText. Returns whether a record is due (StoreSeconds >= Doba).
  // The caller appends the record (MinutesText, VoltageText) and then calls
  // presentValueStored(); if the append fails the record stays due for the next reply.
  bool acceptPresentValue(double voltage);
  void presentValueStored();

  // Level meter position for a voltage: nearest((V - 10) / 5 * 50), halves to even, not
  // clipped to the meter's 0..50 (saturated only at the limits of int).
  static int levelPosition(double voltage);

  // Any received cluster.
  void replyReceived() { ReplyWatchdog = 0; }
  // One watchdog second; returns whether the no-reply look is to be shown.
  bool watchdogTick();

  // The read-out start: the VAL-MUL button, then one call per Timer3 tick.
  void startReadout() { ReadoutStep = 0; }
  struct ReadoutTick {
    std::string_view command; // to send now; empty when the sequence is over
    bool finished = false;    // stop the timer
  };
  ReadoutTick readoutTick();

  // Read-out row handling: writes ReadoutMinutesText (12.1) for the row to append; after the
  // row is in the table, readoutRowStored() advances ReadoutMinutes by one interval.
  const std::string& prepareReadoutRow();
  void readoutRowStored();

  // The measurement table was cleared.
  void tableCleared();
};

} // namespace kelvor
