#pragma once

#include <string>
#include <vector>

namespace kelvor::sim {

// A named pipe that takes control lines from scripts and tests. It holds a writing end of
// its own, so a writer that closes does not leave the pipe signalling a hang-up forever.
// Each line taken is acknowledged in the file PATH.ack, rewritten whole, so a writer can wait
// until its line is in force instead of guessing how long that takes.
class ControlFifo {
public:
  explicit ControlFifo(std::string path); // throws std::system_error
  ~ControlFifo();
  ControlFifo(const ControlFifo&) = delete;
  ControlFifo& operator=(const ControlFifo&) = delete;

  int fd() const { return m_read; }
  // The complete lines that have arrived.
  std::vector<std::string> readLines();
  // Rewrites the acknowledgement file: how many lines were taken so far, whether the last
  // one was obeyed ("ok" or "unknown"), and the line itself.
  void acknowledge(const std::string& line, bool obeyed);

private:
  std::string m_path;
  bool m_created = false;
  int m_read = -1;
  int m_keepOpen = -1;
  std::string m_pending;
  long m_taken = 0;
};

} // namespace kelvor::sim
