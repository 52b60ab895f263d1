#include "support/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>

extern char** environ;

namespace testsupport {

namespace {
std::vector<char*> c_args(std::vector<std::string>& args) {
    std::vector<char*> out;
    for (std::string& a : args) out.push_back(a.data());
    out.push_back(nullptr);
    return out;
}

std::vector<std::string> env_with(const std::string& key, const std::string& value) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind(key + "=", 0) != 0) env.emplace_back(*e);
    env.push_back(key + "=" + value);
    return env;
}
}  // namespace

xvfb::xvfb(const std::string& screen) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen,
                                     "-nolisten", "tcp", "-noreset"};
    std::vector<char*> argv = c_args(args);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addclose(&fa, fds[0]);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    const int rc = ::posix_spawnp(&pid_, "Xvfb", &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(fds[1]);
    if (rc != 0) {
        pid_ = -1;
        ::close(fds[0]);
        return;
    }
    // The server writes its display number once it accepts connections.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        char buf[32];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        number.append(buf, static_cast<std::size_t>(n));
        if (number.find('\n') != std::string::npos) break;
    }
    ::close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
    if (!number.empty()) display_ = ":" + number;
}

xvfb::~xvfb() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
}

int run_with_display(const std::string& display, const std::vector<std::string>& argv_in, std::string* out) {
    std::vector<std::string> args = argv_in;
    std::vector<char*> argv = c_args(args);
    std::vector<std::string> env = env_with("DISPLAY", display);
    std::vector<char*> envp = c_args(env);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, args[0].c_str(), &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    ::close(fds[1]);
    std::string text;
    if (rc == 0) {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0) text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    if (rc != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace testsupport
