#include "platform/xattrs.h"

#include <linux/limits.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdint>

namespace platform {

const char* const xattr_resource_fork = "user.com.apple.ResourceFork";
const char* const xattr_finder_info = "user.com.apple.FinderInfo";

int set_attr(int fd, const char* name, const void* data, size_t size) {
    if (::fsetxattr(fd, name, data, size, 0) == 0) return 0;
    const int err = errno;
    if (err == E2BIG || err == ERANGE) return ENOTSUP;
    if (err == ENOSPC) {
        // ext4 says ENOSPC for a value that does not fit its attribute block; a volume that
        // still has room is refusing the size, not full.
        struct statvfs vs;
        if (::fstatvfs(fd, &vs) == 0 && uint64_t(vs.f_bavail) * vs.f_frsize > (uint64_t(1) << 20)) return ENOTSUP;
    }
    return err;
}

int get_attr(const std::string& path, const char* name, std::string& out) {
    for (int tries = 0; tries < 4; ++tries) {
        const ssize_t n = ::getxattr(path.c_str(), name, nullptr, 0);
        if (n < 0) return errno;
        std::string buf(size_t(n), '\0');
        const ssize_t got = ::getxattr(path.c_str(), name, buf.data(), buf.size());
        if (got >= 0) {
            buf.resize(size_t(got));
            out.swap(buf);
            return 0;
        }
        if (errno != ERANGE) return errno;   // grew in between: ask again
    }
    return ERANGE;
}

size_t attr_size_limit() { return XATTR_SIZE_MAX; }

bool attr_refused(int err) { return err == ENOTSUP || err == EOPNOTSUPP; }

}  // namespace platform
