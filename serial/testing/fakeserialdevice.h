#pragma once

#include "serial/platform/serialdevice.h"
#include "serial/testing/fakeclock.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace kelvor {

// The operations of the fake device whose answer a test can replace by a failure.
enum class FakeOp {
  CreateCompletion,
  SignalCompletion,
  ResetCompletion,
  Open,
  Close,
  SetupQueues,
  GetLineSettings,
  SetLineSettings,
  GetTimeouts,
  SetTimeouts,
  SetEventMask,
  Purge,
  ControlLine,
  ModemStatus,
  DriverStatus,
  StartWrite,
  WriteResult,
  StartRead,
  ReadResult,
  StartEventWait,
  Wait
};

// A scripted serial device for tests. Time is the FakeClock's: bytes arrive at the ticks a
// test schedules, and a wait moves the clock on to the next arrival or by its whole time-out,
// so what happens at which tick does not depend on how fast the machine runs.
class FakeSerialDevice : public SerialDevice {
public:
  enum class WriteMode { Immediate, Pending, PendingReported };

  struct Poll {
    std::uint32_t tick = 0;
    std::uint32_t inQueue = 0;
  };
  struct Read {
    std::uint32_t tick = 0;
    std::uint32_t count = 0;
  };

  explicit FakeSerialDevice(std::shared_ptr<FakeClock> clock);

  // Script.
  void addPath(const std::string& path);
  void removePath(const std::string& path);
  // The open device hangs up: what was on its way is lost, and it stays hung up until it is
  // closed and opened again.
  void hangUp();
  void setFailure(FakeOp op, std::uint32_t code); // 0 takes the failure back
  void setPlatformFamily(std::int32_t family);
  // Gives the tick at which the bytes arrive.
  std::uint32_t scheduleArrival(std::uint32_t afterMs, const std::string& bytes);
  // Bytes as a UART delivers them at `baud` (one byte per 10 bit times) from afterMs on; with
  // burstMs > 0 they are handed over in blocks at every burstMs boundary, as a USB adapter
  // does. Gives the tick of the last arrival.
  std::uint32_t scheduleAtLineSpeed(std::uint32_t afterMs, const std::string& bytes,
                                    std::uint32_t baud, std::uint32_t burstMs = 0);
  // Milliseconds from now, each with the bytes that arrive then.
  using Arrivals = std::vector<std::pair<std::uint32_t, std::string>>;
  static Arrivals atLineSpeed(std::uint32_t afterMs, const std::string& bytes, std::uint32_t baud,
                              std::uint32_t burstMs = 0);
  // All from one and the same now. Gives the tick of the last arrival.
  std::uint32_t scheduleArrivals(const Arrivals& arrivals);
  void setModemBits(std::uint32_t bits);
  void injectLineErrors(std::uint32_t errors); // seen by the next status poll only
  void raiseEvents(std::uint32_t mask);
  void setWriteMode(WriteMode mode);
  void completeWrite(std::uint32_t count);
  void setReadsPending(bool pending);
  void completePendingRead();
  void limitNextRead(std::uint32_t count);
  // Waits block (in real time) from now until the next purge.
  void holdWaitsUntilPurge();
  // After every `everyNth` status poll the clock moves on by `ms` before the worker goes on,
  // as when a busy machine holds the worker up: bytes arrive meanwhile.
  void holdUpAfterPolls(std::uint32_t everyNth, std::uint32_t ms);

  // What happened.
  bool isOpen() const;
  std::string openedPath() const;
  std::string sent() const;
  std::vector<Poll> polls() const;
  std::vector<Read> reads() const;
  LineSettings lineSettings() const;
  Timeouts timeouts() const;
  std::uint32_t eventMask() const;
  std::array<bool, 3> controlLines() const; // RTS, DTR, BREAK
  std::vector<std::pair<ControlLine, bool>> controlCalls() const;
  std::pair<std::uint32_t, std::uint32_t> queueSizes() const;
  bool isReadPending() const;
  bool isWaitPending() const;
  bool isWritePending() const;
  int purgeCount() const;

  std::int32_t platformFamily() const override;
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
  struct Arrival {
    std::uint32_t tick = 0;
    std::string bytes;
  };

  std::uint32_t failureOf(FakeOp op) const;
  std::uint32_t failureOrClosed(FakeOp op) const;
  void deliverDue();
  void insertArrival(Arrival arrival);
  void signal(Completion which) { m_signalled[static_cast<std::size_t>(which)] = true; }
  void finishWait(std::uint32_t mask);
  void finishWrite(IoResult result);
  std::uint32_t takeInput(char* buffer, std::uint32_t count);

  std::shared_ptr<FakeClock> m_clock;
  mutable std::mutex m_lock;
  std::condition_variable m_released;
  std::set<std::string> m_paths;
  std::map<FakeOp, std::uint32_t> m_failures;
  std::int32_t m_platformFamily = 2;
  bool m_open = false;
  bool m_hungUp = false;
  std::string m_openedPath;
  std::uint32_t m_nextHandle = 3;
  std::array<bool, 3> m_signalled{};
  std::deque<Arrival> m_arrivals;
  std::string m_input;
  std::uint32_t m_modemBits = 0;
  std::uint32_t m_lineErrors = 0;
  std::uint32_t m_holdUpEvery = 0;
  std::uint32_t m_holdUpMs = 0;
  std::uint32_t m_eventMask = 0;
  std::uint32_t m_pendingEvents = 0;
  bool m_waitPending = false;
  std::uint32_t m_waitMask = 0;
  WriteMode m_writeMode = WriteMode::Immediate;
  bool m_writePending = false;
  IoResult m_writeResult;
  bool m_readsPending = false;
  bool m_readPending = false;
  char* m_readBuffer = nullptr;
  std::uint32_t m_readCount = 0;
  IoResult m_readResult;
  bool m_limitRead = false;
  std::uint32_t m_readLimit = 0;
  bool m_hold = false;
  std::string m_sent;
  std::vector<Poll> m_polls;
  std::vector<Read> m_reads;
  LineSettings m_settings;
  Timeouts m_timeouts;
  std::array<bool, 3> m_lines{};
  std::vector<std::pair<ControlLine, bool>> m_controlCalls;
  std::pair<std::uint32_t, std::uint32_t> m_queueSizes{0, 0};
  int m_purges = 0;
};

} // namespace kelvor
