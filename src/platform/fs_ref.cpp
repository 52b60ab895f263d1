#include "platform/fs_ref.h"

#include <climits>
#include <cerrno>
#include <cstdlib>

namespace platform {

int FSPathMakeRef(const std::string& path, FSRef* ref) {
    if (path.empty()) return -37;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) {
        switch (errno) {
            case ENOENT: return -43;
            case ENOTDIR: return -120;
            case EACCES:
            case EPERM: return -5000;
            case ENAMETOOLONG: return -37;
            default: return -36;
        }
    }
    if (ref) ref->path = real;
    std::free(real);
    return 0;
}

int FSRefMakePath(const FSRef& ref, std::string& out) {
    if (ref.path.empty() || ref.path[0] != '/') return -1;
    out = ref.path;
    return 0;
}

std::string hfs_path_from_posix(const std::string& abs_path) {
    std::string out = "root";
    std::size_t i = 0;
    while (i < abs_path.size()) {
        while (i < abs_path.size() && abs_path[i] == '/') ++i;
        if (i >= abs_path.size()) break;
        std::size_t j = abs_path.find('/', i);
        if (j == std::string::npos) j = abs_path.size();
        std::string name = abs_path.substr(i, j - i);
        for (char& c : name)
            if (c == ':') c = '/';
        out += ':';
        out += name;
        i = j;
    }
    return out;
}

}  // namespace platform
