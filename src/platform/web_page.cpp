#include "platform/web_page.h"

#include <SDL.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <strings.h>

extern char** environ;

namespace {
std::string g_program;
void (*g_log)(const std::string&) = nullptr;

// "http://" or "https://" in any letter case, and something after it.
bool is_web_address(const std::string& url) {
    for (const char* scheme : {"http://", "https://"}) {
        const size_t n = std::char_traits<char>::length(scheme);
        if (url.size() > n && ::strncasecmp(url.c_str(), scheme, n) == 0) return true;
    }
    return false;
}

// The refused address as one short log line.
std::string printable(const std::string& url) {
    std::string out = url.substr(0, 200);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return url.size() > 200 ? out + "..." : out;
}
}  // namespace

void platform_set_web_page_program(const std::string& program) { g_program = program; }

void platform_set_web_page_log(void (*log)(const std::string& line)) { g_log = log; }

int platform_open_web_page(const std::string& url) {
    // The address may come from the network: a file: or other address could start anything.
    if (!is_web_address(url)) {
        const std::string line = "Refusing to open a web page whose address is not http or https: " + printable(url) + "\n";
        if (g_log) g_log(line);
        else std::fputs(line.c_str(), stderr);
        return EINVAL;
    }
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
