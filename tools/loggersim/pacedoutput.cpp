#include "tools/loggersim/pacedoutput.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kelvor::sim {
namespace {

constexpr std::chrono::milliseconds kRetryAfterFullBuffer{1};

} // namespace

PacedOutput::PacedOutput(unsigned baud) {
  if (baud > 0)
    m_byteTime = std::chrono::nanoseconds(10'000'000'000LL / baud);
}

void PacedOutput::push(Chunk chunk) {
  if (!chunk.bytes.empty())
    m_queue.push_back(std::move(chunk));
}

std::optional<PacedOutput::Clock::time_point> PacedOutput::pump(int fd, bool& ok) {
  ok = true;
  const Clock::time_point now = Clock::now();
  while (!m_queue.empty()) {
    const Chunk& chunk = m_queue.front();
    if (!m_started) {
      m_startAt = std::max(now, m_lineFreeAt) + chunk.gapBefore;
      m_sent = 0;
      m_started = true;
    }
    if (now < m_startAt)
      return m_startAt;
    std::size_t due = chunk.bytes.size();
    if (m_byteTime.count() > 0)
      due =
          std::min<std::size_t>(due, static_cast<std::size_t>((now - m_startAt) / m_byteTime) + 1);
    if (due > m_sent) {
      const ssize_t written = ::write(fd, chunk.bytes.data() + m_sent, due - m_sent);
      if (written < 0 && (errno == EAGAIN || errno == EINTR))
        return now + kRetryAfterFullBuffer;
      if (written < 0) {
        ok = false;
        m_queue.clear();
        m_started = false;
        return std::nullopt;
      }
      m_sent += static_cast<std::size_t>(written);
      if (m_sent < due)
        return now + kRetryAfterFullBuffer;
    }
    if (m_sent < chunk.bytes.size())
      return m_startAt + m_byteTime * static_cast<long>(m_sent);
    m_lineFreeAt = m_startAt + m_byteTime * static_cast<long>(chunk.bytes.size());
    m_queue.pop_front();
    m_started = false;
  }
  return std::nullopt;
}

} // namespace kelvor::sim
