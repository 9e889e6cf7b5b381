#include "serial/platform/openfailure.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>

namespace kelvor {
namespace {

namespace fs = std::filesystem;

std::optional<long> pidOf(const fs::path& entry) {
  const std::string name = entry.filename().string();
  long pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
  if (error != std::errc() || end != name.data() + name.size())
    return std::nullopt;
  return pid;
}

bool holdsDevice(const fs::path& processDir, const fs::path& device) {
  std::error_code error;
  for (fs::directory_iterator fd(processDir / "fd", error), end; !error && fd != end;
       fd.increment(error)) {
    std::error_code linkError;
    const fs::path target = fs::read_symlink(fd->path(), linkError);
    if (!linkError && target == device)
      return true;
  }
  return false;
}

std::string commandNameOf(const fs::path& processDir) {
  std::ifstream comm(processDir / "comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

std::string holdersText(const std::vector<DeviceHolder>& holders) {
  if (holders.empty())
    return "port  má  otevřený  jiný  program";
  std::string text = "port  má  otevřený  ";
  for (std::size_t i = 0; i < holders.size(); ++i) {
    if (i > 0)
      text += ", ";
    text += holders[i].name + " (PID " + std::to_string(holders[i].pid) + ")";
  }
  return text;
}

} // namespace

std::vector<DeviceHolder> findDeviceHolders(const fs::path& device, const fs::path& procRoot) {
  std::error_code error;
  const fs::path node = fs::canonical(device, error);
  if (error)
    return {};
  std::vector<DeviceHolder> holders;
  for (fs::directory_iterator entry(procRoot, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::optional<long> pid = pidOf(entry->path());
    if (pid && holdsDevice(entry->path(), node))
      holders.push_back({*pid, commandNameOf(entry->path())});
  }
  return holders;
}

// flock refuses with EWOULDBLOCK, TIOCEXCL (for anyone but root) with EBUSY.
bool isTakenByAnother(std::uint32_t error) {
  return error == EWOULDBLOCK || error == EBUSY;
}

std::string describeOpenFailure(const OpenFailure& failure,
                                const std::vector<DeviceHolder>& holders) {
  std::string text = "Port  " + failure.path +
                     "  nelze  otevřít:  " + std::strerror(static_cast<int>(failure.error));
  if (failure.error == EACCES)
    text += "  –  přidejte  se  do  skupiny  dialout  (sudo usermod -aG dialout $USER)  a  "
            "přihlaste  se  znovu";
  else if (isTakenByAnother(failure.error))
    text += "  –  " + holdersText(holders);
  return text;
}

} // namespace kelvor
