#include "serial/platform/serialdevicelist.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <set>
#include <string_view>
#include <system_error>

namespace kelvor {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 3> kNodePrefixes{"ttyUSB", "ttyACM", "ttyS"};

std::string firstLineOf(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// The number after the prefix, or -1 when the rest is not all digits.
long nodeNumber(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix) || name.size() == prefix.size())
    return -1;
  const std::string_view digits = name.substr(prefix.size());
  long number = -1;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  return error == std::errc() && end == digits.data() + digits.size() ? number : -1;
}

// The USB device above the tty's place in the device tree: the first folder upwards that
// names a vendor.
void readUsbDetails(const DeviceFolders& folders, SerialDeviceEntry& entry) {
  const std::string name = fs::path(entry.node).filename().string();
  std::error_code error;
  const fs::path sysRoot = fs::canonical(folders.sys, error);
  fs::path dir = fs::canonical(folders.sys / "class" / "tty" / name / "device", error);
  if (error)
    return;
  for (; dir.has_relative_path() && dir != sysRoot; dir = dir.parent_path()) {
    if (fs::exists(dir / "idVendor", error)) {
      entry.maker = firstLineOf(dir / "manufacturer");
      entry.product = firstLineOf(dir / "product");
      entry.serialNumber = firstLineOf(dir / "serial");
      return;
    }
  }
}

bool hasNoPortHardware(const DeviceFolders& folders, const std::string& name) {
  return name.starts_with("ttyS") &&
         firstLineOf(folders.sys / "class" / "tty" / name / "type") == "0";
}

std::vector<SerialDeviceEntry> byIdLinks(const DeviceFolders& folders) {
  std::vector<SerialDeviceEntry> links;
  std::error_code error;
  for (fs::directory_iterator link(folders.dev / "serial" / "by-id", error), end;
       !error && link != end; link.increment(error)) {
    std::error_code linkError;
    const fs::path target = fs::read_symlink(link->path(), linkError);
    const fs::path node = (link->path().parent_path() / target).lexically_normal();
    if (!linkError && fs::exists(node, linkError))
      links.push_back({link->path().string(), node.string(), {}, {}, {}});
  }
  std::ranges::sort(links, {}, &SerialDeviceEntry::path);
  return links;
}

std::vector<SerialDeviceEntry> nodesOfKind(const DeviceFolders& folders, std::string_view prefix,
                                           const std::set<std::string>& linked) {
  std::vector<std::pair<long, SerialDeviceEntry>> nodes;
  std::error_code error;
  for (fs::directory_iterator entry(folders.dev, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    const long number = nodeNumber(name, prefix);
    const std::string node = entry->path().lexically_normal().string();
    if (number < 0 || linked.contains(node) || hasNoPortHardware(folders, name))
      continue;
    nodes.push_back({number, {node, node, {}, {}, {}}});
  }
  std::ranges::sort(nodes, {}, &std::pair<long, SerialDeviceEntry>::first);
  std::vector<SerialDeviceEntry> entries;
  entries.reserve(nodes.size());
  for (auto& [number, node] : nodes)
    entries.push_back(std::move(node));
  return entries;
}

} // namespace

std::vector<SerialDeviceEntry> listSerialDevices(const DeviceFolders& folders) {
  std::vector<SerialDeviceEntry> devices = byIdLinks(folders);
  std::set<std::string> linked;
  for (const SerialDeviceEntry& device : devices)
    linked.insert(device.node);
  for (std::string_view prefix : kNodePrefixes) {
    std::vector<SerialDeviceEntry> nodes = nodesOfKind(folders, prefix, linked);
    devices.insert(devices.end(), nodes.begin(), nodes.end());
  }
  for (SerialDeviceEntry& device : devices)
    readUsbDetails(folders, device);
  return devices;
}

} // namespace kelvor
