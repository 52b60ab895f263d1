#include "platform/bundle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace platform {

std::string executable_path() {
    std::vector<char> buf(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return std::string();
        if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

std::string bundle_path() {
    const std::string exe = executable_path();
    const std::string marker = ".app/Contents/MacOS/";
    const std::size_t at = exe.rfind(marker);
    if (at != std::string::npos && exe.find('/', at + marker.size()) == std::string::npos)
        return exe.substr(0, at + 4);
    const std::size_t slash = exe.find_last_of('/');
    return slash == std::string::npos ? exe : exe.substr(0, slash);
}

std::string bundle_resource(const std::string& name) {
    const std::string p = bundle_path() + "/Contents/Resources/" + name;
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? p : std::string();
}

namespace {
std::string current_folder() {
    std::vector<char> buf(4096);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE) return std::string();
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

std::string& launched_in() {
    static std::string folder = current_folder();
    return folder;
}
}  // namespace

bool set_current_folder(const std::string& folder) {
    launched_in();   // taken before the first change
    return !folder.empty() && ::chdir(folder.c_str()) == 0;
}

std::string launch_folder() { return launched_in(); }

int volume_case_sensitive(const std::string& path) {
    // Probe the volume: make a file with a lower-case name and look for its upper-case twin.
    std::string dir = path;
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) return -1;
    if (!S_ISDIR(st.st_mode)) {
        const std::size_t slash = dir.find_last_of('/');
        dir = slash == std::string::npos ? "." : dir.substr(0, slash);
    }
    std::string probe = dir + "/.ventaro_case_probe_" + std::to_string(::getpid());
    const int fd = ::open(probe.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
    if (fd < 0) return -1;
    ::close(fd);
    std::string upper = probe;
    for (std::size_t i = dir.size() + 1; i < upper.size(); ++i)
        upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
    const int found = ::stat(upper.c_str(), &st) == 0;
    ::unlink(probe.c_str());
    return found ? 0 : 1;
}

}  // namespace platform
