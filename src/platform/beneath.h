#pragma once
// Opening files under a folder with a guarantee that resolution never leaves it: no absolute
// names, no ".." above the folder, no symbolic link that points out of it. Used where names
// come from untrusted input (archives).
#include <sys/types.h>

#include <string>

namespace platform {

// Opens rel (relative to the folder open as dirfd) like openat(), but fails with EXDEV when
// resolving it would leave the folder. Returns a descriptor, or -1 with errno set.
int open_beneath(int dirfd, const std::string& rel, int flags, mode_t mode = 0);

// Opens the folder that holds rel's last component (O_PATH) and stores that component in leaf.
// A name with no folder part gives a duplicate of dirfd. -1 with errno on failure.
int open_parent_beneath(int dirfd, const std::string& rel, std::string& leaf);

}  // namespace platform
