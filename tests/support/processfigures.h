#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>

#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

// Figures of running processes, read from /proc and the kernel's accounting.

// Resident set size of this process.
inline std::int64_t residentBytes() {
  QFile statm(QStringLiteral("/proc/self/statm"));
  if (!statm.open(QIODevice::ReadOnly))
    return -1;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  if (fields.size() < 2)
    return -1;
  return fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE);
}

// CPU time used by all threads of this process.
inline double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Whether process `pid` has a descriptor open on `file` (both sides with links resolved).
inline bool holdsDescriptorOn(qint64 pid, const std::filesystem::path& file) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path target = fs::canonical(file, error);
  if (error)
    return false;
  fs::directory_iterator entry("/proc/" + std::to_string(pid) + "/fd", error);
  for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
    std::error_code unreadable;
    if (fs::read_symlink(entry->path(), unreadable) == target)
      return true;
  }
  return false;
}
