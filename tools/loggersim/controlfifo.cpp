#include "tools/loggersim/controlfifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace kelvor::sim {
namespace {

constexpr std::size_t kLongestLine = 256;

} // namespace

ControlFifo::ControlFifo(std::string path) : m_path(std::move(path)) {
  if (::mkfifo(m_path.c_str(), 0600) == 0)
    m_created = true;
  else if (errno != EEXIST)
    throw std::system_error(errno, std::generic_category(), "mkfifo " + m_path);
  m_read = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK);
  if (m_read < 0)
    throw std::system_error(errno, std::generic_category(), "open " + m_path);
  struct stat status {};
  if (::fstat(m_read, &status) != 0 || !S_ISFIFO(status.st_mode)) {
    ::close(m_read);
    throw std::runtime_error(m_path + " exists and is not a FIFO");
  }
  m_keepOpen = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK);
  // An acknowledgement left by an earlier simulator on this FIFO must not count for this one.
  ::unlink((m_path + ".ack").c_str());
}

void ControlFifo::acknowledge(const std::string& line, bool obeyed) {
  ++m_taken;
  const std::string ackPath = m_path + ".ack";
  const std::string written = ackPath + ".new";
  {
    std::ofstream file(written, std::ios::trunc);
    file << m_taken << ' ' << (obeyed ? "ok" : "unknown") << ' ' << line << '\n';
  }
  // Renamed into place, so a reader never sees half a line.
  std::rename(written.c_str(), ackPath.c_str());
}

ControlFifo::~ControlFifo() {
  if (m_keepOpen >= 0)
    ::close(m_keepOpen);
  if (m_read >= 0)
    ::close(m_read);
  if (m_created)
    ::unlink(m_path.c_str());
  ::unlink((m_path + ".ack").c_str());
}

std::vector<std::string> ControlFifo::readLines() {
  std::array<char, 512> buffer{};
  ssize_t n = 0;
  while ((n = ::read(m_read, buffer.data(), buffer.size())) > 0)
    m_pending.append(buffer.data(), static_cast<std::size_t>(n));
  std::vector<std::string> lines;
  std::size_t end = 0;
  while ((end = m_pending.find('\n')) != std::string::npos) {
    lines.push_back(m_pending.substr(0, end));
    m_pending.erase(0, end + 1);
  }
  if (m_pending.size() > kLongestLine)
    m_pending.clear();
  return lines;
}

} // namespace kelvor::sim
