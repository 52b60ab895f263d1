#pragma once
// Opening and changing files under a folder with a guarantee that resolution never leaves it: no
// absolute names, no ".." above the folder, no symbolic link that points out of it. Used where
// names come from untrusted input (archives, manifests) and wherever the install engine writes,
// changes modes or deletes inside a destination that may already hold links.
//
// [x] contained opens through openat2(RESOLVE_BENEATH): links inside the folder are followed
// [x] kernels or sandboxes without openat2 (ENOSYS, EPERM): a walk that refuses every link
// [x] make a folder, delete, rename, change mode, look at an entry, count a folder's entries
// [x] delete a whole tree, hidden entries included, removing links rather than following them
// [ ] links that leave the folder: refused (EXDEV), never followed
#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace platform {

// Opens rel (relative to the folder open as dirfd) like openat(), but fails with EXDEV when
// resolving it would leave the folder. Returns a descriptor, or -1 with errno set.
int open_beneath(int dirfd, const std::string& rel, int flags, mode_t mode = 0);

// Opens the folder that holds rel's last component (O_PATH) and stores that component in leaf.
// A name with no folder part gives a duplicate of dirfd. -1 with errno on failure.
int open_parent_beneath(int dirfd, const std::string& rel, std::string& leaf);

// The operations below take a path relative to dirfd and return 0 or an errno value. Every
// folder on the way is resolved beneath dirfd; the last component itself is never followed,
// except by chmod_beneath, which follows a link only while it stays beneath.
int mkdir_beneath(int dirfd, const std::string& rel, mode_t mode);
int unlink_beneath(int dirfd, const std::string& rel);   // a file or link
int rmdir_beneath(int dirfd, const std::string& rel);    // an empty folder
// rel and everything beneath it (a file or link alone is simply removed). Goes on past entries it
// cannot remove and returns the first failure's errno, or 0 when rel is gone.
int remove_tree_beneath(int dirfd, const std::string& rel);
int rename_beneath(int dirfd, const std::string& folder_rel, const std::string& old_name,
                   const std::string& new_name);
int chmod_beneath(int dirfd, const std::string& rel, mode_t mode);
int lstat_beneath(int dirfd, const std::string& rel, struct stat& st);

// Entries of a folder whose names do not begin with '.', or -1 with errno when it cannot be read.
int count_visible_beneath(int dirfd, const std::string& folder_rel);

// Test seam: with true, open_beneath behaves as on a kernel without openat2.
void beneath_force_walk_for_test(bool on);

}  // namespace platform
