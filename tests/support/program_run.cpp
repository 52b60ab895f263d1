#include "support/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>

extern char** environ;
namespace fs = std::filesystem;

namespace testsupport {

program_sandbox::program_sandbox(const std::string& root) : root_(root) {
    fs::create_directories(root_ + "/app");
    fs::copy(VENTARO_TEST_BUNDLE, bundle(), fs::copy_options::recursive);
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
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e; ++e) {
        const std::string kv(*e);
        const std::size_t eq = kv.find('=');
        if (eq != std::string::npos) merged[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const auto& [k, v] : env) merged[k] = v;
    std::vector<std::string> env_strings;
    for (const auto& [k, v] : merged) env_strings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& s : env_strings) envp.push_back(s.data());
    envp.push_back(nullptr);

    const std::string exe = bundle() + "/Contents/MacOS/Ventaro Installer";
    std::vector<std::string> argv_strings{exe};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argv_strings) argv.push_back(s.data());
    argv.push_back(nullptr);

    int out_pipe[2], err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err_pipe[1], 2);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addchdir_np(&fa, cwd().c_str());
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, exe.c_str(), &fa, nullptr, argv.data(), envp.data());
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
