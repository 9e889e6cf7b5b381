#pragma once

#include <string>

namespace kelvor::sim {

// The logger's end of a pseudo-terminal pair. The slave side is opened once and kept open
// in raw mode, so that the program under test may open and close it as often as it likes
// without the master seeing a hang-up, and nothing is echoed back or translated.
class PseudoTerminal {
public:
  PseudoTerminal(); // throws std::system_error
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  int master() const { return m_master; }
  const std::string& slavePath() const { return m_slavePath; }

  // A symbolic link to the slave (an existing link is replaced), removed again at the end.
  void linkAs(const std::string& linkPath);
  // The slave's path written into a file (replaced as a whole), removed again at the end.
  void writePathTo(const std::string& file);

  // Closes both ends: the program on the other side sees the line hang up.
  void hangUp();
  bool isOpen() const { return m_master >= 0; }

private:
  int m_master = -1;
  int m_slave = -1;
  std::string m_slavePath;
  std::string m_link;
  std::string m_pathFile;
};

} // namespace kelvor::sim
