#pragma once
// Finding the install DVD: a mounted volume whose root holds "dvd_version.txt".
#include <string>

// The volume's mount point, without a trailing '/', or empty when none is mounted.
std::string platform_find_install_media();

// Reads mount points from another mount table (test seam); empty restores /proc/self/mounts.
void platform_set_mount_table(const std::string& path);
