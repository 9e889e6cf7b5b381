#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor {

// Puts `bytes` under `path` whole or not at all: they go to a new temporary file beside it,
// which is flushed to the disk and then renamed over the name; on any failure the temporary
// file is removed and whatever the name held before stays. An existing file keeps its
// permissions. A name that follows a symbolic link replaces the file the link leads to. A
// name that is a device, a pipe or a socket is written as it stands (there is nothing to
// rename over it). Returns 0 or the errno of the call that failed.
[[nodiscard]] int writeWholeFile(const std::string& path, std::string_view bytes);
[[nodiscard]] int writeWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace kelvor
