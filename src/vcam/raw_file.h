// Reading a raw frame file for the virtual camera's raw scene.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tavlin::vcam {

// The whole contents of a regular file; nothing for a missing or unreadable path, or one that
// is not a regular file. A FIFO would block the opener (the daemon's control loop runs these
// loads) and a device such as /dev/zero would never end.
std::optional<std::vector<uint8_t>> ReadRegularFile(const char* path);

}  // namespace tavlin::vcam
