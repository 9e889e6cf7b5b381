#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kelvor {

// Status values of the device layer. Zero is success; the values below are the layer's own
// answers that the engine branches on; every other failure carries errno.
inline constexpr std::uint32_t kStatusOk = 0;
inline constexpr std::uint32_t kStatusAlreadyExists = 183;
inline constexpr std::uint32_t kStatusAborted = 995;
inline constexpr std::uint32_t kStatusIncomplete = 996;
inline constexpr std::uint32_t kStatusPending = 997;

// Results of waitForAny: the index of the first signalled completion, the time-out, or a
// failed wait.
inline constexpr std::uint32_t kWaitObject0 = 0;
inline constexpr std::uint32_t kWaitTimeout = 258;
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFF;

inline constexpr std::uint32_t kNoHandle = 0xFFFFFFFF;

// Line events (the bits of an event mask).
inline constexpr std::uint32_t kEventRxChar = 0x1;
inline constexpr std::uint32_t kEventRxFlag = 0x2;
inline constexpr std::uint32_t kEventTxEmpty = 0x4;
inline constexpr std::uint32_t kEventCts = 0x8;
inline constexpr std::uint32_t kEventDsr = 0x10;
inline constexpr std::uint32_t kEventRlsd = 0x20;
inline constexpr std::uint32_t kEventBreak = 0x40;
inline constexpr std::uint32_t kEventLineError = 0x80;
inline constexpr std::uint32_t kEventRing = 0x100;
inline constexpr std::uint32_t kAllLineEvents = 0x1FF;

// Modem input bits.
inline constexpr std::uint32_t kModemCts = 0x10;
inline constexpr std::uint32_t kModemDsr = 0x20;
inline constexpr std::uint32_t kModemRing = 0x40;
inline constexpr std::uint32_t kModemRlsd = 0x80;

// Line-error flags of a driver status poll.
inline constexpr std::uint32_t kErrorRxOver = 0x1;
inline constexpr std::uint32_t kErrorOverrun = 0x2;
inline constexpr std::uint32_t kErrorParity = 0x4;
inline constexpr std::uint32_t kErrorFrame = 0x8;
inline constexpr std::uint32_t kErrorBreak = 0x10;

// Bits of the line-control flags word.
inline constexpr std::uint32_t kFlagBinary = 0x1;
inline constexpr std::uint32_t kFlagParity = 0x2;
inline constexpr std::uint32_t kFlagOutxCtsFlow = 0x4;
inline constexpr std::uint32_t kFlagOutX = 0x100;
inline constexpr std::uint32_t kFlagInX = 0x200;
inline constexpr std::uint32_t kFlagErrorChar = 0x400;
inline constexpr std::uint32_t kFlagNull = 0x800;
inline constexpr std::uint32_t kFlagRtsControlMask = 0x3000;
inline constexpr std::uint32_t kFlagRtsHandshake = 0x2000;

// The line-control block: speed, framing, flow control and the special characters.
struct LineSettings {
  std::uint32_t baudRate = 9600;
  std::uint32_t flags = kFlagBinary;
  std::uint16_t xonLim = 0;
  std::uint16_t xoffLim = 0;
  std::uint8_t byteSize = 8;
  std::uint8_t parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t stopBits = 0; // 0 one, 1 one and a half, 2 two
  char xonChar = 17;
  char xoffChar = 19;
  char errorChar = 0;
  char eofChar = 0;
  char evtChar = 0;

  bool operator==(const LineSettings&) const = default;
};

// Milliseconds; a write total of 0 means no write time-out.
struct Timeouts {
  std::uint32_t readInterval = 0;
  std::uint32_t readTotalMultiplier = 0;
  std::uint32_t readTotalConstant = 0;
  std::uint32_t writeTotalMultiplier = 0;
  std::uint32_t writeTotalConstant = 0;

  bool operator==(const Timeouts&) const = default;
};

struct DriverStatus {
  std::uint32_t errors = 0;
  std::uint32_t flags = 0;
  std::uint32_t inQueue = 0;
  std::uint32_t outQueue = 0;
};

// status is kStatusOk (with the byte count or event mask), kStatusPending, or a failure.
struct IoResult {
  std::uint32_t status = kStatusOk;
  std::uint32_t count = 0;
};

enum class Completion { Write, Read, Wait };
enum class ControlLine { Rts, Dtr, Break };

// One serial device with the asynchronous model the engine is written against: a send, a
// read and a line-event wait can each be outstanding, and each owns a completion that is
// signalled when it has finished. Every operation returns a status (see above) and never
// throws. Operations on a closed device fail (EBADF). Implementations are safe to call from
// the event-loop thread and the worker at the same time.
class SerialDevice {
public:
  virtual ~SerialDevice() = default;

  // -1 when unknown; 1 switches on the engine's ring emulation.
  virtual std::int32_t platformFamily() const = 0;

  virtual std::uint32_t createCompletion(Completion which) = 0;
  virtual std::uint32_t signalCompletion(Completion which) = 0;
  virtual std::uint32_t resetCompletion(Completion which) = 0;

  virtual std::uint32_t open(const std::string& path, std::uint32_t& handle) = 0;
  virtual std::uint32_t close() = 0;
  virtual std::uint32_t setupQueues(std::uint32_t rxSize, std::uint32_t txSize) = 0;
  virtual std::uint32_t getLineSettings(LineSettings& settings) = 0;
  virtual std::uint32_t setLineSettings(const LineSettings& settings) = 0;
  virtual std::uint32_t getTimeouts(Timeouts& timeouts) = 0;
  virtual std::uint32_t setTimeouts(const Timeouts& timeouts) = 0;
  // An empty mask also finishes a pending line-event wait (with an empty mask).
  virtual std::uint32_t setEventMask(std::uint32_t mask) = 0;
  // Discards both queues and aborts a pending read and send.
  virtual std::uint32_t purge() = 0;
  virtual std::uint32_t setControlLine(ControlLine line, bool on) = 0;
  virtual std::uint32_t modemStatus(std::uint32_t& bits) = 0;
  // Also clears the device's error condition.
  virtual std::uint32_t driverStatus(DriverStatus& status) = 0;

  // The layer keeps its own copy of the bytes.
  virtual IoResult startWrite(const char* data, std::uint32_t count) = 0;
  // Without waiting: kStatusOk with the count written, kStatusIncomplete, kStatusPending
  // with the count so far, or a failure.
  virtual IoResult writeResult() = 0;
  // The buffer must stay valid until a pending read has finished.
  virtual IoResult startRead(char* buffer, std::uint32_t count) = 0;
  virtual IoResult readResult() = 0;
  virtual IoResult startEventWait() = 0;
  virtual IoResult eventWaitResult() = 0;

  // True once the open device has hung up (other end gone, adapter pulled out): it will not
  // come back under this descriptor.
  virtual bool hasHungUp() const = 0;

  // Waits at most timeoutMs for any of the completions; earlier entries win.
  virtual std::uint32_t waitForAny(std::span<const Completion> which, std::uint32_t timeoutMs) = 0;
};

} // namespace kelvor
