#pragma once

#include <sys/resource.h>

#include <csignal>

// Lowers the size up to which this process may write files, SIGXFSZ ignored so that a write
// beyond it fails with EFBIG, as on a full disk, instead of ending the process.
class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &m_before);
    rlimit limit = m_before;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_before);
    std::signal(SIGXFSZ, m_handler);
  }

private:
  rlimit m_before{};
  void (*m_handler)(int);
};
