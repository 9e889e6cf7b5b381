#pragma once

#include <QString>

#include <string>

namespace kelvor {

// What the measuring controller shows, and where: the program's pages implement it, a test
// records it.
class MeasuringView {
public:
  virtual ~MeasuringView() = default;

  // The measuring lamps: on while the cycle runs.
  virtual void showMeasuring(bool on) = 0;
  // The meters at rest: the cycle switched off, or no reply for too long.
  virtual void showSwitchedOff() = 0;
  virtual void showNoReply() = 0;
  // A present value: the voltage, its text as stored, and the time of day it came at.
  virtual void showReading(double voltage, const std::string& voltageText, int secondsOfDay) = 0;
  // Puts a command on the command line; what the line then holds is what goes out.
  virtual QString showCommand(const QString& command) = 0;
  // Every received cluster, whatever it holds.
  virtual void showReceived(const std::string& bytes) = 0;
  // One more EEPROM write command sent.
  virtual void advanceWriteProgress() = 0;
  // A record the cycle stored, after it is in the table.
  virtual void readingStored() = 0;
  // An error the operator must see (a record that could not be stored).
  virtual void showError(const QString& message) = 0;

protected:
  MeasuringView() = default;
  MeasuringView(const MeasuringView&) = default;
  MeasuringView& operator=(const MeasuringView&) = default;
};

} // namespace kelvor
