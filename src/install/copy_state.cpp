#include "install/copy_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "core/log.h"
#include "install/install_state.h"

const char* const install_incomplete_name = "Install Incomplete.txt";

int mark_copy_incomplete() {
    const int dir = ::open(dest_dir_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return errno;
    const int fd = ::openat(dir, install_incomplete_name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    int err = fd < 0 ? errno : 0;
    if (fd >= 0) {
        const std::string text = "The install of this copy (" + install_name +
                                 ") has not finished: it was stopped or failed, and the copy may not be usable. "
                                 "The installer removes this file once every file is in place.\n";
        if (::write(fd, text.data(), text.size()) != ssize_t(text.size())) err = errno ? errno : EIO;
        if (::close(fd) != 0 && !err) err = errno;
    }
    ::close(dir);
    if (err) xer << "WARNING: could not mark " << dest_dir_path << " as not yet finished: errno " << err << "\n";
    return err;
}

int finish_installed_copy() {
    const int dir = ::open(dest_dir_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return errno;
    // Every file the install wrote reaches the disk before the copy stops saying it is unfinished:
    // a power cut after "Finished" loses nothing.
    int err = ::syncfs(dir) == 0 ? 0 : errno;
    if (!err && ::unlinkat(dir, install_incomplete_name, 0) != 0 && errno != ENOENT) err = errno;
    ::close(dir);
    if (err) xer << "WARNING: could not finish the copy at " << dest_dir_path << ": errno " << err << "\n";
    return err;
}
