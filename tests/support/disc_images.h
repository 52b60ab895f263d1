#pragma once
// Install discs for tests, as a drive would hold them: each disk of a disc set becomes a squashfs
// image, mounted read-only through a loop device, and a disc change unmounts one and mounts the
// next. Mounting needs root; the mounts live in a mount namespace of the test process's own, so
// that tests running side by side never see each other's discs.
#include <string>

namespace testsupport {

// Gives the process a private mount namespace (once). False, with the reason, when discs cannot
// be mounted here: not root, no namespace, or mksquashfs missing. Call it on the main thread
// before any worker thread starts.
bool disc_mounts_possible(std::string* why);

// A read-only squashfs image of folder. Throws on failure.
void make_disc_image(const std::string& folder, const std::string& image);

// Mounts the image read-only at mount_point (made when missing); unmounts what is mounted there.
// Both throw on failure.
void mount_disc(const std::string& image, const std::string& mount_point);
void unmount_disc(const std::string& mount_point);
// True when something is mounted at mount_point (per this process's mount table).
bool is_mounted(const std::string& mount_point);

}  // namespace testsupport
