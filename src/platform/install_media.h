#pragma once
// Finding the install DVD: a mounted volume whose root holds "dvd_version.txt".
//   [x] any mounted volume from the mount table (blanks and other escaped bytes in mount points),
//       whatever its file system (a disc, or a disc image mounted through a loop device)
//   [x] another mount table for tests
//   [x] a plain folder counted as a mounted volume for tests (VENTARO_TEST_DISC_FOLDER, see
//       test_switches.h); ejecting it takes it off the list, as unmounting would
//   [ ] volumes that are not mounted, or the drive's tray and disc-change events
#include <string>

// The volume's mount point, without a trailing '/', or empty when none is mounted.
std::string platform_find_install_media();

// Reads mount points from another mount table (test seam); empty restores /proc/self/mounts.
void platform_set_mount_table(const std::string& path);

// The folder that counts as a mounted volume ahead of the mount table's (test seam); empty for
// none. Starts as VENTARO_TEST_DISC_FOLDER says.
void platform_set_test_disc_folder(const std::string& folder);
// When path is the test folder or lies inside it: takes the folder off the volume list and
// returns true.
bool platform_eject_test_disc_folder(const std::string& path);
