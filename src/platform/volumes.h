#pragma once
// Volumes: size and free space, optical media, ejecting.
#include <cstdint>
#include <string>

namespace platform {

// Total and free bytes (free to this user) of the volume holding an existing folder. 0 or errno.
int volume_space(const std::string& folder, uint64_t* total, uint64_t* free_bytes);

// Ejects the removable volume that holds path. Where it is not on an optical or removable drive
// there is nothing to eject and the result is 0. 0, or errno when ejecting failed.
int eject_volume(const std::string& path);

// Volumes are numbered -1, -2, ... in the order of the mount table. 1 when that volume is
// optical media (a CD or DVD drive, or an ISO 9660 or UDF file system), else 0.
int volume_is_optical(int volume_number);

}  // namespace platform
