#include "platform/beneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace platform {

namespace {

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

}  // namespace

int open_beneath(int dirfd, const std::string& rel, int flags, mode_t mode) {
    // Several extractions run at once on worker threads.
    static std::atomic<bool> no_openat2{false};
    if (!no_openat2.load(std::memory_order_relaxed)) {
        struct open_how how = {};
        how.flags = uint64_t(flags | O_CLOEXEC);
        how.mode = (flags & (O_CREAT | O_TMPFILE)) ? mode : 0;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        const char* name = rel.empty() ? "." : rel.c_str();
        long fd;
        do {
            fd = ::syscall(SYS_openat2, dirfd, name, &how, sizeof how);
        } while (fd < 0 && errno == EAGAIN);
        if (fd >= 0 || errno != ENOSYS) return int(fd);
        no_openat2.store(true, std::memory_order_relaxed);
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

}  // namespace platform
