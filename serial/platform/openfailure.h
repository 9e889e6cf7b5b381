#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kelvor {

// A port that would not open: the device path tried and the system's error number.
struct OpenFailure {
  std::string path;
  std::uint32_t error = 0;

  bool operator==(const OpenFailure&) const = default;
};

// A process that has a device open.
struct DeviceHolder {
  long pid = 0;
  std::string name;
};

// The processes under procRoot whose open files include the device (links such as
// /dev/serial/by-id/… are followed first). Processes whose files cannot be read are passed
// over: without root rights only one's own are readable.
std::vector<DeviceHolder> findDeviceHolders(const std::filesystem::path& device,
                                            const std::filesystem::path& procRoot = "/proc");

// Whether the error means that another program keeps the device to itself.
bool isTakenByAnother(std::uint32_t error);

// The operator's sentence (UTF-8, Czech around the system's own words for the error): the
// path, why, and what to do where there is a remedy.
std::string describeOpenFailure(const OpenFailure& failure,
                                const std::vector<DeviceHolder>& holders);

} // namespace kelvor
