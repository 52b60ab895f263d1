#include "platform/install_media.h"

#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {
std::string g_table = "/proc/self/mounts";

// The mount table escapes blanks and other bytes in octal ("\040").
std::string unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto octal = [&](size_t k) { return s[k] >= '0' && s[k] <= '7'; };
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] <= '3' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out += (char)((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}
}  // namespace

void platform_set_mount_table(const std::string& path) { g_table = path.empty() ? "/proc/self/mounts" : path; }

std::string platform_find_install_media() {
    std::ifstream in(g_table);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string device, mount_point;
        if (!(fields >> device >> mount_point)) continue;
        const std::string dir = unescape(mount_point);
        if (dir.empty() || dir == "/") continue;   // the system volume is never the DVD
        struct stat st;
        const std::string probe = dir + "/dvd_version.txt";
        if (::stat(probe.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return dir;
    }
    return "";
}
