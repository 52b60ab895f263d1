#include "support/peak_memory.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace testsupport {

namespace {

long status_kb(const char* field) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    const std::size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0) kb = std::strtol(line + n, nullptr, 10);
    std::fclose(f);
    return kb;
}

}  // namespace

long peak_growth_kb(const std::function<void()>& work) {
    // The child starts as large as this process is now; its peak, which the kernel keeps for us
    // however the child ends (an alert may leave through _Exit), is measured against that.
    const long base_kb = status_kb("VmRSS:");
    if (base_kb < 0) return -1;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        work();
        std::_Exit(0);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)) return -1;
    const long growth = usage.ru_maxrss - base_kb;
    return growth < 0 ? 0 : growth;
}

}  // namespace testsupport
