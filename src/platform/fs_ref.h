#pragma once
// A stand-in for the desktop OS's file references: a reference names an existing file or
// folder by its resolved absolute path. Results are that OS's status codes (0, -43, ...).
#include <string>

struct FSRef {
    std::string path;  // absolute, links resolved
};

namespace platform {

// 0 and the reference when the path exists; -43 when it does not, -120 when a folder on
// the way is missing or not a folder, -5000 when access is refused, -37 for an empty path.
int FSPathMakeRef(const std::string& path, FSRef* ref);

// 0 and the reference's path, or -1 when the reference names nothing.
int FSRefMakePath(const FSRef& ref, std::string& out);

// The colon-separated form of an absolute path: the boot volume's name, then each component,
// a ':' inside a name becoming '/'. "root" stands for the volume name, which Linux lacks.
std::string hfs_path_from_posix(const std::string& abs_path);

}  // namespace platform
