#include "data/core/wholefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace kelvor {
namespace {

constexpr int kTemporaryNameTries = 100;

// Closes a descriptor when it goes out of scope unless it was closed on purpose.
class Descriptor {
public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (m_fd >= 0)
      ::close(m_fd);
  }
  int get() const { return m_fd; }
  bool isOpen() const { return m_fd >= 0; }
  // 0 or the errno of close().
  int close() {
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0 ? 0 : errno;
  }

private:
  int m_fd;
};

int writeAll(int fd, std::string_view bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return errno;
    if (n == 0)
      return EIO;
    written += static_cast<std::size_t>(n);
  }
  return 0;
}

// The file the name stands for: a symbolic link's target, otherwise the name itself.
std::string resolvedTarget(const std::string& path) {
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
    return path;
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                         &std::free);
  return real ? std::string(real.get()) : path;
}

// Writes into a name that cannot be renamed over: a device, a pipe, a socket. Without
// O_NONBLOCK a pipe that nobody reads would keep open() waiting for ever.
int writeInPlace(const std::string& path, std::string_view bytes) {
  Descriptor file(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.isOpen())
    return errno;
  if (::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK) != 0)
    return errno;
  const int error = writeAll(file.get(), bytes);
  const int closeError = file.close();
  return error != 0 ? error : closeError;
}

int replaceRegularFile(const std::string& target, std::string_view bytes, const mode_t* keptMode) {
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < kTemporaryNameTries && fd < 0; ++attempt) {
    temporary = target + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST)
      return errno;
  }
  if (fd < 0)
    return EEXIST;
  Descriptor file(fd);
  int error = writeAll(file.get(), bytes);
  if (error == 0 && keptMode && ::fchmod(file.get(), *keptMode) != 0)
    error = errno;
  if (error == 0 && ::fsync(file.get()) != 0)
    error = errno;
  const int closeError = file.close();
  if (error == 0)
    error = closeError;
  if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0)
    error = errno;
  if (error != 0)
    ::unlink(temporary.c_str());
  return error;
}

} // namespace

int writeWholeFile(const std::string& path, std::string_view bytes) {
  if (path.empty())
    return ENOENT;
  const std::string target = resolvedTarget(path);
  struct stat existing {};
  if (::stat(target.c_str(), &existing) != 0)
    return replaceRegularFile(target, bytes, nullptr);
  if (S_ISREG(existing.st_mode)) {
    const mode_t mode = existing.st_mode & 07777;
    return replaceRegularFile(target, bytes, &mode);
  }
  if (S_ISDIR(existing.st_mode))
    return replaceRegularFile(target, bytes, nullptr);
  return writeInPlace(target, bytes);
}

int writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  return writeWholeFile(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace kelvor
