#pragma once

#include "tools/loggersim/simulatedlogger.h"

#include <chrono>
#include <deque>
#include <optional>

namespace kelvor::sim {

// Sends chunks no faster than the line speed (start bit, 8 data bits, stop bit: 10 bits a
// byte), each after its pause, in order. The file descriptor is non-blocking; a full
// buffer only delays the bytes.
class PacedOutput {
public:
  using Clock = std::chrono::steady_clock;

  explicit PacedOutput(unsigned baud);

  void push(Chunk chunk);
  bool idle() const { return m_queue.empty(); }
  // Writes the bytes that are due. Returns when the next byte is due (none when idle);
  // false in `ok` when the line has failed.
  std::optional<Clock::time_point> pump(int fd, bool& ok);

private:
  std::chrono::nanoseconds m_byteTime{0};
  std::deque<Chunk> m_queue;
  bool m_started = false;
  Clock::time_point m_startAt;
  std::size_t m_sent = 0;
  Clock::time_point m_lineFreeAt;
};

} // namespace kelvor::sim
