#include "support/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

extern char** environ;
namespace fs = std::filesystem;

namespace testsupport {

namespace {
// The program's argument and environment arrays: this process's environment with the sandbox's on top.
struct spawn_lists {
    spawn_lists(std::string program, const std::vector<std::string>& args, const std::map<std::string, std::string>& env)
        : exe(std::move(program)) {
        std::map<std::string, std::string> merged;
        for (char** e = environ; *e; ++e) {
            const std::string kv(*e);
            const std::size_t eq = kv.find('=');
            if (eq != std::string::npos) merged[kv.substr(0, eq)] = kv.substr(eq + 1);
        }
        for (const auto& [k, v] : env) merged[k] = v;
        for (const auto& [k, v] : merged) env_strings.push_back(k + "=" + v);
        argv_strings.push_back(exe);
        argv_strings.insert(argv_strings.end(), args.begin(), args.end());
        for (auto& s : env_strings) env_ptrs.push_back(s.data());
        env_ptrs.push_back(nullptr);
        for (auto& s : argv_strings) argv_ptrs.push_back(s.data());
        argv_ptrs.push_back(nullptr);
    }
    char* const* argv() const { return argv_ptrs.data(); }
    char* const* envp() const { return env_ptrs.data(); }

    std::string exe;
    std::vector<std::string> env_strings, argv_strings;
    std::vector<char*> env_ptrs, argv_ptrs;
};
}  // namespace

program_sandbox::program_sandbox(const std::string& root, program_bundle program)
    : root_(root), program_(std::move(program)) {
    fs::create_directories(root_ + "/app");
    fs::copy(program_.source, bundle(), fs::copy_options::recursive);
    for (const char* d : {"/home", "/home/Desktop", "/home/.config", "/tmp", "/cwd", "/home/.local/share"})
        fs::create_directories(root_ + d);
    env["HOME"] = home();
    env["TMPDIR"] = root_ + "/tmp";
    env["XDG_CONFIG_HOME"] = home() + "/.config";
    env["XDG_DATA_HOME"] = home() + "/.local/share";
    env["XDG_DESKTOP_DIR"] = home() + "/Desktop";
    // No display needed and nobody at the screen: SDL's offscreen driver gives a real GL context,
    // alerts answer themselves, and the frame loop ends after a few frames.
    env["SDL_VIDEODRIVER"] = "offscreen";
    env["VENTARO_TEST_UNATTENDED"] = "1";
    env["VENTARO_TEST_EXIT_AFTER_FRAMES"] = "3";
}

program_result program_sandbox::run(const std::vector<std::string>& args, int timeout_seconds) const {
    const spawn_lists lists(exe(), args, env);
    const std::string& exe = lists.exe;

    int out_pipe[2], err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err_pipe[1], 2);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addchdir_np(&fa, cwd().c_str());
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, exe.c_str(), &fa, nullptr, lists.argv(), lists.envp());
    posix_spawn_file_actions_destroy(&fa);
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    if (rc != 0) {
        ::close(out_pipe[0]);
        ::close(err_pipe[0]);
        throw std::runtime_error("posix_spawn failed");
    }

    program_result r;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    bool out_open = true, err_open = true;
    char buf[65536];
    while (out_open || err_open) {
        pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
        const int n = ::poll(fds, 2, 100);
        if (n > 0) {
            for (int i = 0; i < 2; ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
                if (got <= 0) { (i == 0 ? out_open : err_open) = false; continue; }
                (i == 0 ? r.out : r.err).append(buf, static_cast<std::size_t>(got));
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            break;
        }
    }
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

}  // namespace testsupport

namespace testsupport {

namespace {
std::string slurp(const std::string& path) {
    std::string s;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
        std::fclose(f);
    }
    return s;
}
}  // namespace

program_sandbox::running program_sandbox::start(const std::vector<std::string>& args) const {
    const spawn_lists lists(exe(), args, env);
    const std::string& exe = lists.exe;

    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out_path().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, err_path().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&fa, cwd().c_str());
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, exe.c_str(), &fa, nullptr, lists.argv(), lists.envp());
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) throw std::runtime_error("posix_spawn failed");
    return running(pid, err_path());
}

program_sandbox::running::~running() {
    if (pid_ > 0 && alive()) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool program_sandbox::running::alive() {
    if (pid_ <= 0 || code_ >= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return false;
    }
    return true;
}

std::string program_sandbox::running::err() const { return slurp(err_path_); }

std::size_t program_sandbox::running::wait_for_err(const std::string& needle, int timeout_seconds, std::size_t from) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    for (;;) {
        const bool was_alive = alive();
        const std::string s = slurp(err_path_);
        const std::size_t at = s.find(needle, from);
        if (at != std::string::npos) return at;
        if (!was_alive || std::chrono::steady_clock::now() > deadline) return std::string::npos;
        ::usleep(20000);
    }
}

int program_sandbox::running::wait_exit(int timeout_seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
    while (alive()) {
        if (std::chrono::steady_clock::now() > deadline) return -1;
        ::usleep(20000);
    }
    return code_;
}

}  // namespace testsupport
