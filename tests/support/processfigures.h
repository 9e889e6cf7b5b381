#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

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

// The work process `pid` has done so far, all its threads together: processor time in clock
// ticks plus the bytes it has read and written. Only its growth means anything; -1 once the
// process has ended.
inline std::int64_t workDone(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly))
    return -1;
  const QByteArray line = stat.readAll();
  // The fields are counted from the end of the name, which may hold spaces: the state, then
  // user and system time as the 12th and 13th.
  const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 13 || fields[0] == "Z")
    return -1;
  std::int64_t work = fields[11].toLongLong() + fields[12].toLongLong();
  QFile io(QStringLiteral("/proc/%1/io").arg(pid));
  if (io.open(QIODevice::ReadOnly)) {
    for (const QByteArray& entry : io.readAll().split('\n'))
      if (entry.startsWith("rchar:") || entry.startsWith("wchar:"))
        work += entry.mid(6).trimmed().toLongLong();
  }
  return work;
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
