#pragma once
// User extended attributes: where this system keeps a file's resource fork and Finder information.
//
// [x] set an attribute on an open file, read one by path (links followed)
// [x] volumes that keep no user attributes, or not that large: told apart from failures
// [x] the largest value any volume keeps (64 KiB on Linux), so bigger forks are never read
// [ ] forks larger than that: not kept
#include <cstddef>
#include <string>

namespace platform {

extern const char* const xattr_resource_fork;   // "user.com.apple.ResourceFork"
extern const char* const xattr_finder_info;     // "user.com.apple.FinderInfo"

// 0 or errno; ENOTSUP when the file system does not keep attributes of this kind or size.
int set_attr(int fd, const char* name, const void* data, size_t size);

// 0 with the value in out, or errno (ENODATA when the file has no such attribute). Follows links.
int get_attr(const std::string& path, const char* name, std::string& out);

// The largest value the system keeps in one attribute; bigger ones are refused whatever the volume.
size_t attr_size_limit();

// True when err says the file system refused the attribute (rather than failed).
bool attr_refused(int err);

}  // namespace platform
