#include "platform/web_page.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {
std::string g_program = "xdg-open";
}

void platform_set_web_page_program(const std::string& program) {
    g_program = program.empty() ? "xdg-open" : program;
}

int platform_open_web_page(const std::string& url) {
    std::string prog = g_program, arg = url;
    char* argv[] = {prog.data(), arg.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, prog.c_str(), nullptr, nullptr, argv, environ);
    if (rc != 0) return rc;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return errno;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return ECHILD;
}
