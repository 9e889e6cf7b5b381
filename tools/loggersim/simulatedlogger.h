#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor::sim {

// A piece of output that leaves the line after a pause. Each read-out row is one piece; by
// default the rows follow each other without any pause, as the logger's firmware loop sends
// them, and a pause between them is an option.
struct Chunk {
  std::string bytes;
  std::chrono::milliseconds gapBefore{0};
};

struct LoggerSettings {
  double startVolts = 12.8;
  double endVolts = 10.5;
  double dischargeSeconds = 4 * 3600.0;
  double noiseVolts = 0.003;
  bool holdVolts = false; // answer heldVolts exactly instead of the battery model
  double heldVolts = 12.5;
  unsigned seed = 1;
  unsigned intervalSeconds = 60;
  unsigned rows = 100;
  double konstanta = 1.0;
  unsigned memoryRows = 100;
  bool recording = true;
  std::string serialNumber = "KLV-000123";
  std::chrono::milliseconds rowGap{0};
  unsigned rowsBackToBack = 0; // 0: read-out rows are paced by rowGap
};

// The data logger's behaviour: its EEPROM, its memory of readings recorded on its own clock,
// the battery it measures, and its reply to each command. Time is given by the caller in
// seconds of the simulated clock.
class SimulatedLogger {
public:
  static constexpr std::size_t kMemoryCapacity = 8000;
  static constexpr std::uint16_t kMemoryBase = 0x4000;

  explicit SimulatedLogger(const LoggerSettings& settings);

  // Seconds on the logger's clock when it starts: the pre-filled memory lies behind it.
  double startSeconds() const { return m_startSeconds; }

  // Lets the clock run to `seconds`, recording readings that fall due while enabled.
  void advanceTo(double seconds);

  // The reply to one command (without its carriage return); no pieces for an empty line.
  std::vector<Chunk> answer(std::string_view command);

  void holdVolts(bool hold, double volts);
  void setRowsBackToBack(unsigned rows) { m_settings.rowsBackToBack = rows; }

  // Seconds between recorded readings for an interval code at 03EA; 0 records nothing.
  static unsigned intervalSeconds(std::uint8_t code);
  // The present voltage of the battery model at a time, without noise.
  double modelVolts(double seconds) const;

private:
  struct Reading {
    double seconds = 0.0;
    double volts = 0.0;
  };

  double measure(double seconds);
  unsigned recordInterval() const;
  unsigned rowCount() const;
  double konstanta() const;
  void writeEeprom(std::uint16_t address, std::uint8_t byte);
  void record(double seconds);

  std::string rowText(std::size_t index, const Reading& reading) const;
  std::vector<Chunk> readOut();
  std::vector<Chunk> hexDump() const;
  std::vector<Chunk> writeCommand(std::string_view command);
  std::vector<Chunk> memoryValue(bool asFrequency);

  LoggerSettings m_settings;
  std::mt19937 m_random;
  std::array<std::uint8_t, 0x10000> m_eeprom{};
  std::vector<Reading> m_memory;
  std::size_t m_readPointer = 0;
  bool m_recording = true;
  double m_startSeconds = 0.0;
  double m_batteryStart = 0.0;
  double m_now = 0.0;
  double m_nextRecord = 0.0;
};

} // namespace kelvor::sim
