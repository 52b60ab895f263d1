#include "support/run_answering.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace testsupport {

int run_answering(const std::vector<std::string>& args, std::string* out, const std::function<void()>& turn,
                  int wait_ms, int max_turns) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    // xclip -i leaves a child serving the selection: without out it must not hold the pipe open.
    if (out) posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    else posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return -1;
    }
    int status = -1;
    bool open = true, reaped = false;
    for (int i = 0; i < max_turns && (open || !reaped); ++i) {
        turn();
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, open ? 1 : 0, wait_ms) > 0) {
            char buf[4096];
            const ssize_t n = ::read(fds[0], buf, sizeof buf);
            if (n > 0 && out) out->append(buf, static_cast<std::size_t>(n));
            if (n == 0 || (n < 0 && errno != EINTR)) open = false;
        }
        if (!reaped && ::waitpid(pid, &status, WNOHANG) == pid) reaped = true;
    }
    ::close(fds[0]);
    if (!reaped) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testsupport
