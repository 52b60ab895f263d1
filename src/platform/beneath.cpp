#include "platform/beneath.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace platform {

namespace {

// Several extractions run at once on worker threads.
std::atomic<bool> g_walk_only{false};

long raw_openat2(int dirfd, const char* name, int flags, mode_t mode) {
    struct open_how how = {};
    how.flags = uint64_t(flags | O_CLOEXEC);
    how.mode = (flags & (O_CREAT | O_TMPFILE)) ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    long fd;
    do {
        fd = ::syscall(SYS_openat2, dirfd, name, &how, sizeof how);
    } while (fd < 0 && errno == EAGAIN);
    return fd;
}

// Some container sandboxes answer every openat2 with EPERM instead of ENOSYS. A real permission
// problem of one name still lets the folder itself be opened.
bool openat2_usable(int dirfd) {
    const long fd = raw_openat2(dirfd, ".", O_PATH | O_DIRECTORY, 0);
    if (fd < 0) return errno != EPERM && errno != ENOSYS;
    ::close(int(fd));
    return true;
}

// Kernels without openat2: walk the folders one by one and refuse any link or "..".
int open_walking(int dirfd, const std::string& rel, int flags, mode_t mode) {
    if (!rel.empty() && rel[0] == '/') {
        errno = EXDEV;
        return -1;
    }
    int cur = ::fcntl(dirfd, F_DUPFD_CLOEXEC, 0);
    if (cur < 0) return -1;
    size_t start = 0;
    while (true) {
        const size_t slash = rel.find('/', start);
        const std::string comp = rel.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (comp == "..") {
            ::close(cur);
            errno = EXDEV;
            return -1;
        }
        if (slash == std::string::npos) {
            const int fd = ::openat(cur, comp.empty() ? "." : comp.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode);
            const int err = errno;
            ::close(cur);
            errno = err;
            return fd;
        }
        if (!comp.empty() && comp != ".") {
            const int next = ::openat(cur, comp.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            const int err = errno;
            ::close(cur);
            if (next < 0) {
                errno = err;
                return -1;
            }
            cur = next;
        }
        start = slash + 1;
    }
}

struct fd_holder {
    int fd;
    explicit fd_holder(int f) : fd(f) {}
    ~fd_holder() {
        if (fd >= 0) ::close(fd);
    }
    fd_holder(const fd_holder&) = delete;
    fd_holder& operator=(const fd_holder&) = delete;
};

// A leaf that names no entry of its folder ("", "." or "..") cannot be made, deleted or renamed.
bool real_leaf(const std::string& leaf) { return !leaf.empty() && leaf != "." && leaf != ".."; }

}  // namespace

int open_beneath(int dirfd, const std::string& rel, int flags, mode_t mode) {
    if (!g_walk_only.load(std::memory_order_relaxed)) {
        const long fd = raw_openat2(dirfd, rel.empty() ? "." : rel.c_str(), flags, mode);
        if (fd >= 0) return int(fd);
        const int err = errno;
        if (err != ENOSYS && err != EPERM) return -1;
        if (err == EPERM && openat2_usable(dirfd)) {
            errno = EPERM;
            return -1;
        }
        g_walk_only.store(true, std::memory_order_relaxed);
    }
    return open_walking(dirfd, rel, flags, mode);
}

int open_parent_beneath(int dirfd, const std::string& rel, std::string& leaf) {
    std::string r = rel;
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    const size_t slash = r.rfind('/');
    if (slash == std::string::npos) {
        leaf = r;
        return ::fcntl(dirfd, F_DUPFD_CLOEXEC, 0);
    }
    leaf = r.substr(slash + 1);
    return open_beneath(dirfd, r.substr(0, slash), O_PATH | O_DIRECTORY);
}

int mkdir_beneath(int dirfd, const std::string& rel, mode_t mode) {
    std::string leaf;
    const fd_holder parent(open_parent_beneath(dirfd, rel, leaf));
    if (parent.fd < 0) return errno;
    if (!real_leaf(leaf)) return EEXIST;
    return ::mkdirat(parent.fd, leaf.c_str(), mode) == 0 ? 0 : errno;
}

int unlink_beneath(int dirfd, const std::string& rel) {
    std::string leaf;
    const fd_holder parent(open_parent_beneath(dirfd, rel, leaf));
    if (parent.fd < 0) return errno;
    if (!real_leaf(leaf)) return EISDIR;
    return ::unlinkat(parent.fd, leaf.c_str(), 0) == 0 ? 0 : errno;
}

int rmdir_beneath(int dirfd, const std::string& rel) {
    std::string leaf;
    const fd_holder parent(open_parent_beneath(dirfd, rel, leaf));
    if (parent.fd < 0) return errno;
    if (!real_leaf(leaf)) return EBUSY;
    return ::unlinkat(parent.fd, leaf.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

namespace {

// name in the folder open as parent, with whatever it holds; every folder is opened without
// following a link, so a link swapped in mid-way is removed, never entered.
int remove_entry(int parent, const char* name) {
    if (::unlinkat(parent, name, 0) == 0) return 0;
    if (errno != EISDIR && errno != EPERM) return errno == ENOENT ? 0 : errno;
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? 0 : errno;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    int first = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (!real_leaf(e->d_name)) continue;
        const int err = remove_entry(::dirfd(dir), e->d_name);
        if (err && !first) first = err;
    }
    ::closedir(dir);
    if (::unlinkat(parent, name, AT_REMOVEDIR) != 0 && !first) first = errno;
    return first;
}

}  // namespace

int remove_tree_beneath(int dirfd, const std::string& rel) {
    std::string leaf;
    const fd_holder parent(open_parent_beneath(dirfd, rel, leaf));
    if (parent.fd < 0) return errno == ENOENT ? 0 : errno;
    if (!real_leaf(leaf)) return EINVAL;
    return remove_entry(parent.fd, leaf.c_str());
}

int rename_beneath(int dirfd, const std::string& folder_rel, const std::string& old_name, const std::string& new_name) {
    if (!real_leaf(old_name) || !real_leaf(new_name) || old_name.find('/') != std::string::npos ||
        new_name.find('/') != std::string::npos)
        return EINVAL;
    const fd_holder folder(open_beneath(dirfd, folder_rel, O_PATH | O_DIRECTORY));
    if (folder.fd < 0) return errno;
    return ::renameat(folder.fd, old_name.c_str(), folder.fd, new_name.c_str()) == 0 ? 0 : errno;
}

int chmod_beneath(int dirfd, const std::string& rel, mode_t mode) {
    const fd_holder fd(open_beneath(dirfd, rel, O_PATH));
    if (fd.fd < 0) return errno;
    struct stat st;
    if (::fstat(fd.fd, &st) != 0) return errno;
    if (S_ISLNK(st.st_mode)) return ELOOP;   // only the walk opens a link itself
    // A descriptor opened for its path only takes a mode through its /proc name.
    char name[64];
    std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd.fd);
    if (::chmod(name, mode) == 0) return 0;
    const int err = errno;
    if (err != ENOENT) return err;
    // No /proc mounted: open it for reading, which needs read permission.
    const fd_holder rd(open_beneath(dirfd, rel, O_RDONLY | O_NONBLOCK | O_NOCTTY));
    if (rd.fd < 0) return errno;
    return ::fchmod(rd.fd, mode) == 0 ? 0 : errno;
}

int lstat_beneath(int dirfd, const std::string& rel, struct stat& st) {
    std::string leaf;
    const fd_holder parent(open_parent_beneath(dirfd, rel, leaf));
    if (parent.fd < 0) return errno;
    return ::fstatat(parent.fd, leaf.empty() ? "." : leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

int count_visible_beneath(int dirfd, const std::string& folder_rel) {
    const int fd = open_beneath(dirfd, folder_rel, O_RDONLY | O_DIRECTORY);
    if (fd < 0) return -1;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    int count = 0;
    while (const dirent* e = ::readdir(dir))
        if (e->d_name[0] != '.') ++count;
    ::closedir(dir);
    return count;
}

void beneath_force_walk_for_test(bool on) { g_walk_only.store(on, std::memory_order_relaxed); }

}  // namespace platform
