#include "platform/web_page.h"

#include <SDL.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

namespace {
std::string g_program;
}

void platform_set_web_page_program(const std::string& program) { g_program = program; }

int platform_open_web_page(const std::string& url) {
    if (g_program.empty()) return SDL_OpenURL(url.c_str()) == 0 ? 0 : -1;
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
