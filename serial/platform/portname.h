#pragma once

#include <map>
#include <string>

namespace kelvor {

// Only the first 79 characters of a port name address a device.
inline constexpr std::size_t kPortNameLimit = 79;

// The device path of a port name: "COMn" through the [Devices] map (keys compared without
// regard to case), else /dev/ttyS<n-1>; a path is used as it stands; any other name is a
// device under /dev.
std::string devicePathForPort(const std::string& commPort,
                              const std::map<std::string, std::string>& devices);

} // namespace kelvor
