#pragma once
// Volumes: size and free space, optical media, ejecting.
//   [x] size and free space of the volume holding a folder (statvfs)
//   [x] optical media: a CD or DVD drive (/dev/sr*, /dev/cdrom*) or an ISO 9660 or UDF file system
//   [x] ejecting an optical drive's disc with util-linux's `eject`, which unmounts it and opens the tray
//   [x] ejecting an install disc that is not in an optical drive (a disc image mounted through a
//       loop device): unmounted with util-linux's `umount`; the test disc folder is taken off the list
//   [ ] ejecting without the right to unmount (a user mount needs "user" in its options): EBUSY
//   [ ] other removable drives (USB sticks): nothing to eject, result 0
#include <cstdint>
#include <string>

namespace platform {

// Total and free bytes (free to this user) of the volume holding an existing folder. 0 or errno.
int volume_space(const std::string& folder, uint64_t* total, uint64_t* free_bytes);

// Ejects the volume that holds path: an optical drive's disc, or the install disc (a volume whose
// root holds "dvd_version.txt") wherever it is mounted. Any other volume has nothing to eject and
// the result is 0. 0, or errno when ejecting failed.
int eject_volume(const std::string& path);

// Volumes are numbered -1, -2, ... in the order of the mount table. 1 when that volume is
// optical media (a CD or DVD drive, or an ISO 9660 or UDF file system), else 0.
int volume_is_optical(int volume_number);

}  // namespace platform
