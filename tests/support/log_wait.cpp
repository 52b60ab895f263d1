#include "support/log_wait.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>

#include "support/temp_dir.h"

namespace testsupport {

namespace {
// Whatever changes in the file's folder wakes the wait: the file may not exist yet.
std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}
}  // namespace

bool wait_for_file(const std::string& path, const std::function<bool(const std::string&)>& found,
                   int timeout_seconds, const std::function<bool()>& alive) {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd >= 0) ::inotify_add_watch(fd, folder_of(path).c_str(), IN_MODIFY | IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    bool ok = false;
    for (;;) {
        const bool was_alive = !alive || alive();
        if (found(read_file(path))) {
            ok = true;
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (!was_alive || left.count() <= 0) break;
        // Woken by a write; a writer that dies writes nothing, so its end is looked at now and
        // then as well.
        pollfd p{fd, POLLIN, 0};
        const int wait_ms = static_cast<int>(std::min<long long>(left.count(), alive ? 500 : INT_MAX));
        if (fd >= 0 && ::poll(&p, 1, wait_ms) > 0) {
            char events[4096];
            while (::read(fd, events, sizeof events) > 0) {
            }
        }
    }
    if (fd >= 0) ::close(fd);
    return ok;
}

std::size_t wait_for_text(const std::string& path, const std::string& needle, int timeout_seconds, std::size_t from,
                          const std::function<bool()>& alive) {
    std::size_t at = std::string::npos;
    wait_for_file(
        path,
        [&](const std::string& text) {
            at = text.size() >= from ? text.find(needle, from) : std::string::npos;
            return at != std::string::npos;
        },
        timeout_seconds, alive);
    return at;
}

}  // namespace testsupport
