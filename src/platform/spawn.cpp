#include "platform/spawn.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace platform {

namespace {

std::vector<char*> c_argv(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    out.reserve(argv.size() + 1);
    for (const std::string& a : argv) out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

}  // namespace

int spawn_detached(const std::string& path, const std::vector<std::string>& argv) {
    std::vector<char*> args = c_argv(argv);
    pid_t pid;
    // glibc's posix_spawn reports a failed exec as its result, so a missing program is seen here.
    return ::posix_spawn(&pid, path.c_str(), nullptr, nullptr, args.data(), environ);
}

int run_and_wait(const std::string& program, const std::vector<std::string>& argv) {
    std::vector<char*> args = c_argv(argv);
    pid_t pid;
    if (::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, args.data(), environ) != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace platform
