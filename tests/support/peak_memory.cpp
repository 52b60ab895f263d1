#include "support/peak_memory.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace testsupport {

namespace {

int g_report_fd = -1;
long g_base_kb = 0;

long peak_kb() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmHWM:", 6) == 0) kb = std::strtol(line + 6, nullptr, 10);
    std::fclose(f);
    return kb;
}

void report() {
    const long growth = peak_kb() - g_base_kb;
    (void)!::write(g_report_fd, &growth, sizeof growth);
}

}  // namespace

long peak_growth_kb(const std::function<void()>& work) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::close(fds[0]);
        // Writing 5 to clear_refs sets the peak back to the present size.
        FILE* f = std::fopen("/proc/self/clear_refs", "w");
        if (!f || std::fputs("5", f) < 0 || std::fclose(f) != 0) ::_exit(3);
        g_report_fd = fds[1];
        g_base_kb = peak_kb();
        std::atexit(report);
        work();
        std::exit(0);
    }
    ::close(fds[1]);
    long growth = -1;
    if (::read(fds[0], &growth, sizeof growth) != static_cast<ssize_t>(sizeof growth)) growth = -1;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return growth;
}

}  // namespace testsupport
