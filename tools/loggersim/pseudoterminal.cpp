#include "tools/loggersim/pseudoterminal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace kelvor::sim {
namespace {

[[noreturn]] void fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void makeRaw(int fd) {
  termios settings{};
  if (::tcgetattr(fd, &settings) != 0)
    fail("tcgetattr");
  ::cfmakeraw(&settings);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &settings) != 0)
    fail("tcsetattr");
}

} // namespace

PseudoTerminal::PseudoTerminal() {
  m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (m_master < 0)
    fail("posix_openpt");
  if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
    fail("grantpt/unlockpt");
  const char* name = ::ptsname(m_master);
  if (name == nullptr)
    fail("ptsname");
  m_slavePath = name;
  m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY);
  if (m_slave < 0)
    fail("open slave");
  makeRaw(m_slave);
  if (::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK) != 0)
    fail("fcntl");
}

PseudoTerminal::~PseudoTerminal() {
  hangUp();
  if (!m_link.empty())
    ::unlink(m_link.c_str());
  if (!m_pathFile.empty())
    ::unlink(m_pathFile.c_str());
}

void PseudoTerminal::linkAs(const std::string& linkPath) {
  struct stat existing {};
  if (::lstat(linkPath.c_str(), &existing) == 0) {
    if (!S_ISLNK(existing.st_mode))
      throw std::runtime_error(linkPath + " exists and is not a symbolic link");
    ::unlink(linkPath.c_str());
  }
  if (::symlink(m_slavePath.c_str(), linkPath.c_str()) != 0)
    fail("symlink");
  m_link = linkPath;
}

void PseudoTerminal::writePathTo(const std::string& file) {
  const std::string temporary = file + ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << m_slavePath << '\n';
    if (!out.flush())
      throw std::runtime_error("cannot write " + temporary);
  }
  if (std::rename(temporary.c_str(), file.c_str()) != 0)
    fail("rename");
  m_pathFile = file;
}

void PseudoTerminal::hangUp() {
  if (m_slave >= 0)
    ::close(m_slave);
  if (m_master >= 0)
    ::close(m_master);
  m_slave = -1;
  m_master = -1;
}

} // namespace kelvor::sim
