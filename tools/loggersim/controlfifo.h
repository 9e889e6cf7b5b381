#pragma once

#include <string>
#include <vector>

namespace kelvor::sim {

// A named pipe that takes control lines from scripts and tests. It holds a writing end of
// its own, so a writer that closes does not leave the pipe signalling a hang-up forever.
class ControlFifo {
public:
  explicit ControlFifo(std::string path); // throws std::system_error
  ~ControlFifo();
  ControlFifo(const ControlFifo&) = delete;
  ControlFifo& operator=(const ControlFifo&) = delete;

  int fd() const { return m_read; }
  // The complete lines that have arrived.
  std::vector<std::string> readLines();

private:
  std::string m_path;
  bool m_created = false;
  int m_read = -1;
  int m_keepOpen = -1;
  std::string m_pending;
};

} // namespace kelvor::sim
