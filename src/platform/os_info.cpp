#include "platform/os_info.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace platform {

namespace {
std::string cpuinfo_field(const std::string& key) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) != 0) continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::size_t start = line.find_first_not_of(" \t", colon + 1);
        return start == std::string::npos ? std::string() : line.substr(start);
    }
    return std::string();
}
}  // namespace

std::string os_name() {
    struct utsname u {};
    return ::uname(&u) == 0 ? std::string(u.sysname) : std::string("Linux");
}

std::string os_release() {
    struct utsname u {};
    return ::uname(&u) == 0 ? std::string(u.release) : std::string();
}

int os_version_parts(int part) {
    const std::string r = os_release();
    std::size_t pos = 0;
    for (int i = 0; i <= part; ++i) {
        if (pos >= r.size() || !std::isdigit(static_cast<unsigned char>(r[pos]))) return -1;
        std::size_t end = pos;
        while (end < r.size() && std::isdigit(static_cast<unsigned char>(r[end]))) ++end;
        if (i == part) return std::atoi(r.substr(pos, end - pos).c_str());
        pos = end + 1;
    }
    return -1;
}

int system_version_bcd() { return 0x1099; }

std::string cpu_model() { return cpuinfo_field("model name"); }

int cpu_mhz() {
    const std::string v = cpuinfo_field("cpu MHz");
    return v.empty() ? -1 : static_cast<int>(std::atof(v.c_str()) + 0.5);
}

int64_t physical_memory_mb() {
    struct sysinfo si {};
    if (::sysinfo(&si) != 0) return -1;
    return static_cast<int64_t>(si.totalram) * si.mem_unit / (1024 * 1024);
}

int processor_count() {
    const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
    return n < 1 ? 1 : static_cast<int>(n);
}

long page_size() {
    const long n = ::sysconf(_SC_PAGESIZE);
    return n < 1 ? 4096 : n;
}

}  // namespace platform
