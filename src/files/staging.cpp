#include "files/staging.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <vector>

#include "platform/beneath.h"

namespace {

const char kPrefix[] = ".vtz";

std::atomic<void (*)(const std::string&)> g_write_hook{nullptr};

// Writes all n bytes, at offset at, or at the file position when at is negative.
int write_all(int fd, const char* p, size_t n, off_t at) {
    while (n) {
        const ssize_t w = at < 0 ? ::write(fd, p, n) : ::pwrite(fd, p, n, at);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (w == 0) return EIO;
        p += w;
        n -= size_t(w);
        if (at >= 0) at += w;
    }
    return 0;
}

std::string next_staging_name() {
    static std::atomic<unsigned> counter{0};
    return kPrefix + std::to_string(::getpid()) + "_" + std::to_string(counter.fetch_add(1));
}

bool all_digits(const std::string& s, size_t from, size_t to) {
    if (from >= to) return false;
    for (size_t i = from; i < to; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

// A writer holds the file's lock until it has written the file; a killed one holds nothing.
bool being_written(int dirfd, const std::string& name) {
    const int fd = ::openat(dirfd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

}  // namespace

bool is_staging_name(const std::string& name) {
    const size_t start = sizeof kPrefix - 1;
    if (name.compare(0, start, kPrefix) != 0) return false;
    const size_t underscore = name.find('_', start);
    return underscore != std::string::npos && all_digits(name, start, underscore) &&
           all_digits(name, underscore + 1, name.size());
}

int sweep_staging(int dirfd) {
    const int fd = ::openat(dirfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return 0;
    }
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (is_staging_name(name)) stale.push_back(name);
    }
    int removed = 0;
    for (const std::string& name : stale) {
        struct stat st;
        // Only files and links are staged; a folder of that name is somebody else's.
        if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode)) continue;
        if (S_ISREG(st.st_mode) && being_written(::dirfd(dir), name)) continue;
        if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

staged_file::staged_file(int rootfd, const std::string& rel) {
    parent_ = platform::open_parent_beneath(rootfd, rel, leaf_);
    if (parent_ < 0) {
        // Resolution that would leave the folder is a refused name, whatever the kernel calls it.
        err_ = errno == EXDEV ? EPERM : errno;
        return;
    }
    if (leaf_.empty() || leaf_ == "." || leaf_ == "..") {
        err_ = EPERM;
        return;
    }
    tmp_ = next_staging_name();
}

staged_file::~staged_file() {
    if (fd_ >= 0) ::close(fd_);
    if (made_ && !committed_) ::unlinkat(parent_, tmp_.c_str(), 0);
    if (parent_ >= 0) ::close(parent_);
}

int staged_file::create() {
    if (err_) return err_;
    if (made_) return EEXIST;
    fd_ = ::openat(parent_, tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) return errno;
    made_ = true;
    // A file system without locks still stages; its files then look abandoned to a sweep.
    ::flock(fd_, LOCK_EX | LOCK_NB);
    return 0;
}

int staged_file::write(const void* p, size_t n) {
    if (fd_ < 0) return EBADF;
    const int err = write_all(fd_, static_cast<const char*>(p), n, -1);
    if (auto hook = g_write_hook.load()) hook(leaf_);
    return err;
}

int staged_file::pwrite_all(const void* p, size_t n, long long at) {
    if (fd_ < 0) return EBADF;
    return write_all(fd_, static_cast<const char*>(p), n, off_t(at));
}

int staged_file::close_file() {
    if (fd_ < 0) return 0;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
}

int staged_file::make_link(const std::string& text) {
    if (err_) return err_;
    if (made_) return EEXIST;
    if (::symlinkat(text.c_str(), parent_, tmp_.c_str()) != 0) return errno;
    made_ = true;
    return 0;
}

int staged_file::commit() {
    if (err_) return err_;
    if (!made_) return EBADF;
    if (const int err = close_file()) return err;
    if (::renameat(parent_, tmp_.c_str(), parent_, leaf_.c_str()) != 0) return errno;
    committed_ = true;
    return 0;
}

void set_staging_write_hook(void (*hook)(const std::string& leaf)) { g_write_hook.store(hook); }
