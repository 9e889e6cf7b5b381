#include "tools/loggersim/simulatedlogger.h"

#include "data/core/numbertext.h"
#include "instrument/core/eepromwrite.h"
#include "instrument/core/loggerprotocol.h"

#include <algorithm>
#include <cmath>

namespace kelvor::sim {
namespace {

using std::chrono::milliseconds;

constexpr std::uint8_t kErased = 0xFF;
// A voltage-to-frequency converter: 1 kHz per volt.
constexpr double kHertzPerVolt = 1000.0;

std::string line(std::string text) {
  text += kTerminator;
  return text;
}

std::vector<Chunk> single(std::string text) {
  return {Chunk{line(std::move(text)), {}}};
}

std::string zeroPadded(unsigned long value, std::size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width)
    digits.insert(0, width - digits.size(), '0');
  return digits;
}

std::string hex4(std::uint16_t value) {
  return ByteToHex(static_cast<std::uint8_t>(value >> 8)) +
         ByteToHex(static_cast<std::uint8_t>(value & 0xFF));
}

bool isUpperHex(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

unsigned parseHex(std::string_view text) {
  unsigned value = 0;
  for (char c : text)
    value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'A' + 10);
  return value;
}

} // namespace

SimulatedLogger::SimulatedLogger(const LoggerSettings& settings)
    : m_settings(settings), m_random(settings.seed), m_recording(settings.recording) {
  m_eeprom.fill(kErased);
  if (const auto code = intervalCode(settings.intervalSeconds))
    writeEeprom(kIntervalAddress, *code);
  const SingleBytes konst = singleBytes(settings.konstanta);
  for (std::size_t i = 0; i < konst.size(); ++i)
    writeEeprom(static_cast<std::uint16_t>(kKonstantaAddress + i), konst[i]);
  writeEeprom(kRowsLowAddress, static_cast<std::uint8_t>(settings.rows & 0xFF));
  writeEeprom(kRowsHighAddress, static_cast<std::uint8_t>((settings.rows >> 8) & 0xFF));

  const unsigned interval = std::max(recordInterval(), 1U);
  const std::size_t prefill = std::min<std::size_t>(settings.memoryRows, kMemoryCapacity);
  for (std::size_t i = 0; i < prefill; ++i)
    record(static_cast<double>(i * interval));
  // The memory holds an earlier battery's discharge; the battery on the terminals now is
  // fresh when the clock starts.
  m_startSeconds = static_cast<double>(prefill * interval);
  m_batteryStart = m_startSeconds;
  m_now = m_startSeconds;
  m_nextRecord = m_startSeconds + recordInterval();
}

unsigned SimulatedLogger::intervalSeconds(std::uint8_t code) {
  switch (code) {
  case 0x06:
    return 6;
  case 0x12:
    return 18;
  case 0x24:
    return 36;
  case 0x36:
    return 60;
  case 0xB4:
    return 180;
  case 0xF0:
    return 600;
  case kErased:
    return 0;
  default:
    return code;
  }
}

double SimulatedLogger::modelVolts(double seconds) const {
  const double t = std::clamp(seconds / m_settings.dischargeSeconds, 0.0, 1.0);
  // A quick first drop, a long slope, and the knee at the end of the charge.
  const double early = (1.0 - std::exp(-8.0 * t)) / (1.0 - std::exp(-8.0));
  const double used = 0.15 * early + 0.55 * t + 0.30 * std::pow(t, 8);
  return m_settings.startVolts - (m_settings.startVolts - m_settings.endVolts) * used;
}

double SimulatedLogger::measure(double seconds) {
  if (m_settings.holdVolts)
    return m_settings.heldVolts;
  std::uniform_real_distribution<double> noise(-m_settings.noiseVolts, m_settings.noiseVolts);
  return modelVolts(seconds - m_batteryStart) +
         (m_settings.noiseVolts > 0.0 ? noise(m_random) : 0.0);
}

unsigned SimulatedLogger::recordInterval() const {
  return intervalSeconds(m_eeprom[kIntervalAddress]);
}

unsigned SimulatedLogger::rowCount() const {
  return m_eeprom[kRowsLowAddress] | (unsigned{m_eeprom[kRowsHighAddress]} << 8);
}

double SimulatedLogger::konstanta() const {
  SingleBytes bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = m_eeprom[kKonstantaAddress + i];
  return singleFromBytes(bytes);
}

void SimulatedLogger::writeEeprom(std::uint16_t address, std::uint8_t byte) {
  m_eeprom[address] = byte;
  if (address == kIntervalAddress)
    m_nextRecord = m_now + recordInterval();
}

void SimulatedLogger::record(double seconds) {
  if (m_memory.size() < kMemoryCapacity)
    m_memory.push_back({seconds, measure(seconds)});
}

void SimulatedLogger::advanceTo(double seconds) {
  m_now = std::max(m_now, seconds);
  const unsigned interval = recordInterval();
  if (!m_recording || interval == 0) {
    m_nextRecord = m_now + interval;
    return;
  }
  while (m_nextRecord <= m_now) {
    record(m_nextRecord);
    m_nextRecord += interval;
  }
}

void SimulatedLogger::holdVolts(bool hold, double volts) {
  m_settings.holdVolts = hold;
  m_settings.heldVolts = volts;
}

std::string SimulatedLogger::rowText(std::size_t index, const Reading& reading) const {
  const auto seconds = static_cast<unsigned long>(std::max(reading.seconds, 0.0)) % 1000000;
  return "R" + zeroPadded((index + 1) % 10000, 4) + " t=" + zeroPadded(seconds, 6) +
         " U=" + formatFixed(reading.volts, 8, 4);
}

std::vector<Chunk> SimulatedLogger::readOut() {
  const bool backToBack = m_settings.rowsBackToBack > 0;
  const std::size_t wanted = backToBack ? m_settings.rowsBackToBack : rowCount();
  const milliseconds gap = backToBack ? milliseconds{0} : m_settings.rowGap;
  const unsigned interval = std::max(recordInterval(), 1U);
  std::vector<Chunk> rows;
  for (std::size_t i = 0; i < wanted; ++i) {
    Reading reading;
    if (m_readPointer < m_memory.size()) {
      reading = m_memory[m_readPointer];
    } else if (backToBack) { // rows beyond the memory, for measuring the line alone
      const double seconds = m_now + static_cast<double>(i * interval);
      reading = {seconds, measure(seconds)};
    } else {
      break;
    }
    rows.push_back({line(rowText(m_readPointer, reading)), rows.empty() ? milliseconds{0} : gap});
    ++m_readPointer;
  }
  return rows;
}

std::vector<Chunk> SimulatedLogger::hexDump() const {
  std::vector<Chunk> lines;
  for (std::uint16_t base : {std::uint16_t{0x03E0}, std::uint16_t{0x03F0}, kKonstantaAddress}) {
    std::string text = hex4(base) + ":";
    for (std::uint16_t i = 0; i < 16; ++i)
      text += " " + ByteToHex(m_eeprom[base + i]);
    lines.push_back({line(text), lines.empty() ? milliseconds{0} : m_settings.rowGap});
  }
  return lines;
}

std::vector<Chunk> SimulatedLogger::writeCommand(std::string_view command) {
  if (command.size() != 8)
    return single("ERR");
  const std::string_view address = command.substr(2, 4);
  const std::string_view byte = command.substr(6, 2);
  if (!isUpperHex(address) || !isUpperHex(byte))
    return single("ERR");
  writeEeprom(static_cast<std::uint16_t>(parseHex(address)),
              static_cast<std::uint8_t>(parseHex(byte)));
  return single("W " + std::string(address) + "=" + std::string(byte) + " OK");
}

std::vector<Chunk> SimulatedLogger::memoryValue(bool asFrequency) {
  if (m_readPointer >= m_memory.size())
    return single("MEM: END");
  const Reading reading = m_memory[m_readPointer];
  if (asFrequency)
    return single("F[Hz]:  " + formatFixed(reading.volts * kHertzPerVolt, 8, 1));
  const std::string text = rowText(m_readPointer, reading);
  ++m_readPointer;
  return single(text);
}

std::vector<Chunk> SimulatedLogger::answer(std::string_view command) {
  if (command.empty())
    return {};
  if (command == kValDir)
    return single("U[V]:   " + formatFixed(measure(m_now), 8, 4) + " ");
  if (command == kValMul)
    return readOut();
  if (command == kFreDir)
    return single("F[Hz]:  " + formatFixed(measure(m_now) * kHertzPerVolt, 8, 1));
  if (command == kValMem)
    return memoryValue(false);
  if (command == kFreMem)
    return memoryValue(true);
  if (command == kAktAdr)
    return single("ADR: " + hex4(static_cast<std::uint16_t>(kMemoryBase + 2 * m_memory.size())));
  if (command == kBegMem) {
    m_readPointer = 0;
    return single("BEG-MEM: OK");
  }
  if (command == kDisTim || command == kEnaTim) {
    m_recording = command == kEnaTim;
    m_nextRecord = m_now + recordInterval();
    return single(std::string(command.substr(1)) + ": OK");
  }
  if (command == kKalKon)
    return single("KON: " + formatFixed(konstanta(), 1, 6));
  if (command == kHexMem)
    return hexDump();
  if (command == kVerPrg)
    return single("KELVOR-SIM V1.0");
  if (command == kVyrCis)
    return single("VYR-CIS: " + m_settings.serialNumber);
  if (command == kZerMem) {
    m_memory.clear();
    m_readPointer = 0;
    return single("ZER-MEM: OK");
  }
  if (command.starts_with("@W"))
    return writeCommand(command);
  return single("ERR");
}

} // namespace kelvor::sim
