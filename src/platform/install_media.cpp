#include "platform/install_media.h"

#include <sys/stat.h>

#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/test_switches.h"

namespace {
std::string g_table = "/proc/self/mounts";

std::mutex g_test_mutex;
bool g_test_read = false;
std::string g_test_folder;   // without a trailing '/'

std::string test_folder() {
    const std::lock_guard<std::mutex> lock(g_test_mutex);
    if (!g_test_read) {
        g_test_read = true;
        g_test_folder = platform::test_switches_now().disc_folder;
        while (g_test_folder.size() > 1 && g_test_folder.back() == '/') g_test_folder.pop_back();
    }
    return g_test_folder;
}

bool holds_disc(const std::string& dir) {
    struct stat st;
    const std::string probe = dir + "/dvd_version.txt";
    return ::stat(probe.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

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

void platform_set_test_disc_folder(const std::string& folder) {
    const std::lock_guard<std::mutex> lock(g_test_mutex);
    g_test_read = true;
    g_test_folder = folder;
    while (g_test_folder.size() > 1 && g_test_folder.back() == '/') g_test_folder.pop_back();
}

bool platform_eject_test_disc_folder(const std::string& path) {
    const std::string folder = test_folder();
    if (folder.empty()) return false;
    if (path != folder && path.compare(0, folder.size() + 1, folder + "/") != 0) return false;
    platform_set_test_disc_folder("");
    return true;
}

std::string platform_find_install_media() {
    const std::string test = test_folder();
    if (!test.empty() && holds_disc(test)) return test;
    std::ifstream in(g_table);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string device, mount_point;
        if (!(fields >> device >> mount_point)) continue;
        const std::string dir = unescape(mount_point);
        if (dir.empty() || dir == "/") continue;   // the system volume is never the DVD
        if (holds_disc(dir)) return dir;
    }
    return "";
}
