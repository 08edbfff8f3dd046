// Shared by the POSIX files of the platform layer.
#pragma once

namespace platform {
// Moves a descriptor of 0 or 1 to the lowest free number from 2 up, so that
// the engine never receives a handle it reads as "none" or "claimed".
// Negative values pass through.
int KeepAboveOne(int fd);
}  // namespace platform
