#pragma once
// Finding the install DVD: a mounted volume whose root holds "dvd_version.txt".
//   [x] any mounted volume from the mount table (blanks and other escaped bytes in mount points)
//   [x] another mount table for tests
//   [ ] volumes that are not mounted, or the drive's tray and disc-change events
#include <string>

// The volume's mount point, without a trailing '/', or empty when none is mounted.
std::string platform_find_install_media();

// Reads mount points from another mount table (test seam); empty restores /proc/self/mounts.
void platform_set_mount_table(const std::string& path);
