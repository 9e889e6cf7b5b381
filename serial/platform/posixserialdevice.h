#pragma once

#include "serial/platform/serialdevice.h"

#include <array>
#include <chrono>
#include <mutex>
#include <vector>

namespace kelvor {

// A serial device on POSIX termios (Linux). Reads never pend: they take what is waiting. A
// send that does not fit at once stays pending and is pushed on while the worker waits. Line
// events are found by poll() and by comparing the modem lines and error counters between
// looks, so a waiting byte is announced once and not on every wait.
//
// Devices without modem lines or error counters (a pseudo-terminal, many adapters) read as
// lines low and no errors. A hang-up (other end closed, adapter unplugged) is answered with
// one failure; afterwards the worker's polls read an empty, quiet line and waits sleep their
// full time, so nothing repeats and nothing spins. Sends still fail.
class PosixSerialDevice : public SerialDevice {
public:
  PosixSerialDevice();
  ~PosixSerialDevice() override;
  PosixSerialDevice(const PosixSerialDevice&) = delete;
  PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

  std::int32_t platformFamily() const override { return kPlatformFamily; }

  std::uint32_t createCompletion(Completion which) override;
  std::uint32_t signalCompletion(Completion which) override;
  std::uint32_t resetCompletion(Completion which) override;

  std::uint32_t open(const std::string& path, std::uint32_t& handle) override;
  std::uint32_t close() override;
  std::uint32_t setupQueues(std::uint32_t rxSize, std::uint32_t txSize) override;
  std::uint32_t getLineSettings(LineSettings& settings) override;
  std::uint32_t setLineSettings(const LineSettings& settings) override;
  std::uint32_t getTimeouts(Timeouts& timeouts) override;
  std::uint32_t setTimeouts(const Timeouts& timeouts) override;
  std::uint32_t setEventMask(std::uint32_t mask) override;
  std::uint32_t purge() override;
  std::uint32_t setControlLine(ControlLine line, bool on) override;
  std::uint32_t modemStatus(std::uint32_t& bits) override;
  std::uint32_t driverStatus(DriverStatus& status) override;

  IoResult startWrite(const char* data, std::uint32_t count) override;
  IoResult writeResult() override;
  IoResult startRead(char* buffer, std::uint32_t count) override;
  IoResult readResult() override;
  IoResult startEventWait() override;
  IoResult eventWaitResult() override;

  bool hasHungUp() const override;
  std::uint32_t waitForAny(std::span<const Completion> which, std::uint32_t timeoutMs) override;

private:
  // Not the Windows 95 family: the driver reports ring edges itself.
  static constexpr std::int32_t kPlatformFamily = 2;

  enum class Hangup { None, Detected, Reported };

  struct ErrorCounters {
    int frame = 0;
    int overrun = 0;
    int parity = 0;
    int brk = 0;
    int bufOverrun = 0;
  };

  struct PendingWrite {
    std::vector<char> bytes;
    std::uint32_t written = 0;
    bool pending = false;
    bool hasDeadline = false;
    std::chrono::steady_clock::time_point deadline;
    IoResult result;
  };

  bool isOpen() const { return m_fd >= 0; }
  void resetForOpen();
  std::uint32_t applyRawMode();
  std::uint32_t failure(int error);
  void noteHangup();
  void wake();
  void pushWrite();
  void finishWrite(IoResult result);
  void completeWait(std::uint32_t mask);
  std::uint32_t readModemBits();
  bool readCounters(ErrorCounters& counters);
  std::uint32_t collectEvents();
  bool outputQueueDrained();

  mutable std::mutex m_lock;
  int m_fd = -1;
  int m_wakeFd = -1;
  int m_wakeError = 0;
  std::array<bool, 3> m_signalled{};
  LineSettings m_settings;
  Timeouts m_timeouts;
  std::uint32_t m_eventMask = 0;
  std::uint32_t m_pendingEvents = 0;
  bool m_waitPending = false;
  std::uint32_t m_waitMask = 0;
  std::uint32_t m_seenInput = 0;
  std::uint32_t m_lastRead = 0;
  bool m_linesSupported = true;
  bool m_countersSupported = true;
  std::uint32_t m_eventModem = 0;
  ErrorCounters m_eventCounters;
  ErrorCounters m_statusCounters;
  Hangup m_hangup = Hangup::None;
  bool m_hangupAnnounced = false;
  // A finished send whose bytes may still sit in the output queue.
  bool m_awaitTxEmpty = false;
  PendingWrite m_write;
};

} // namespace kelvor
