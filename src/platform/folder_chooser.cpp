#include "platform/folder_chooser.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace platform {

int run_chooser(int mode, const std::string& title, const std::string& start, std::string& out) {
    if (mode < 0 || mode > 2) return 0;
    std::vector<std::string> args = {"zenity", "--file-selection", "--title=" + title};
    if (mode == choose_folder) args.push_back("--directory");
    if (mode == choose_save_file) args.push_back("--save");
    if (!start.empty()) args.push_back("--filename=" + start);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return 0;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, pipe_fds[1], 1);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, "zenity", &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(pipe_fds[1]);
    std::string text;
    if (rc == 0) {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(pipe_fds[0], buf, sizeof buf);
            if (n > 0) { text.append(buf, static_cast<std::size_t>(n)); continue; }
            if (n < 0 && errno == EINTR) continue;
            break;
        }
    }
    ::close(pipe_fds[0]);
    if (rc != 0) return 0;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return 0;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 0;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty()) return 0;
    out = text;
    return 1;
}

}  // namespace platform
