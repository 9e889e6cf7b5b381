#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kelvor {

// Where the device nodes and the kernel's device tree are read from; tests lay out trees of
// their own.
struct DeviceFolders {
  std::filesystem::path dev = "/dev";
  std::filesystem::path sys = "/sys";
};

// A serial device present on the machine. `path` is the name to map a port to: the stable
// /dev/serial/by-id/… link where there is one, else the node itself.
struct SerialDeviceEntry {
  std::string path;
  std::string node;
  std::string maker;
  std::string product;
  std::string serialNumber;

  bool operator==(const SerialDeviceEntry&) const = default;
};

// The by-id links first (by name), then the ttyUSB, ttyACM and ttyS nodes that no link names,
// each kind in number order. A ttyS node the kernel knows as having no port hardware behind
// it (type 0) is left out: most machines have 32 of them.
std::vector<SerialDeviceEntry> listSerialDevices(const DeviceFolders& folders = {});

} // namespace kelvor
