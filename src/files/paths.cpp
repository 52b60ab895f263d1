#include "files/paths.h"

#include "core/number_text.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "platform/bundle.h"
#include "platform/folders.h"
#include "core/app_globals.h"
#include "core/log.h"

namespace {

// Index of the first byte of the last component; a single trailing '/' is passed over
// only for paths of three or more bytes.
std::size_t last_component_start(const std::string& path) {
    if (path.empty()) return 0;
    std::size_t i = path.size() - 1;
    if (i > 1 && path[i] == '/') --i;
    while (i > 0 && path[i] != '/') --i;
    return path[i] == '/' ? i + 1 : 0;
}

bool same_ignoring_ascii_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

int open_folder(const char* folder) { return ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

// The first entry of the open folder, in the order the system lists them, whose name equals the
// component but for ASCII letter case is copied over it. False when no entry matches.
bool take_spelling(int dir, char* component, std::size_t size) {
    alignas(8) char buf[8192];
    const std::string_view want(component, size);
    for (;;) {
        const ssize_t got = ::getdents64(dir, buf, sizeof buf);
        if (got <= 0) return false;
        for (ssize_t at = 0; at < got;) {
            const auto* e = reinterpret_cast<const struct dirent64*>(buf + at);
            at += e->d_reclen;
            if (same_ignoring_ascii_case(e->d_name, want)) {
                std::memcpy(component, e->d_name, size);
                return true;
            }
        }
    }
}

}  // namespace

void get_file_with_path(std::string& out, const std::string& path) {
    out = path.substr(last_component_start(path));
}

void get_path_with_path(std::string& out, const std::string& path) {
    out = path.substr(0, last_component_start(path));
}

bool is_path_full(const std::string& path) { return !path.empty() && path[0] == '/'; }

void set_path_to_full(std::string& path) {
    if (path.empty() || path[0] != '/') path = app_path + path;
    if (!g_case_sensitive || path.empty()) return;
    // The correction works in a 500-byte buffer; a longer path is left as it is.
    char buf[500];
    if (path.size() >= sizeof(buf)) return;
    std::memcpy(buf, path.data(), path.size());
    buf[path.size()] = 0;
    findPath(buf);
    path.assign(buf, path.size());
}

void findPath(char* path) {
    struct stat st {};
    if (!path || !path[0] || ::stat(path, &st) == 0) return;
    const std::size_t len = std::strlen(path);
    // Folders found under the name as written need no correcting: only the parts after the
    // longest such folder are looked for letter-case-blind. (A new file in a known folder then
    // costs one folder listing, not one per level from the root.) Opening the folder both proves
    // it is there and gives the listing.
    std::size_t start = 0;
    int dir = -1;
    for (std::size_t slash = len; slash > 1;) {
        slash = std::string_view(path, slash - 1).rfind('/');
        if (slash == std::string_view::npos || slash == 0) break;
        const std::string folder(path, slash);
        dir = open_folder(folder.c_str());
        if (dir >= 0) {
            start = slash;
            break;
        }
        // A folder that is there but cannot be listed ends the correction.
        if (errno != ENOENT && errno != ENOTDIR && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    }
    while (start < len) {
        while (start < len && path[start] == '/') ++start;  // empty components are passed over
        if (start >= len) break;
        std::size_t end = start;
        while (end < len && path[end] != '/') ++end;

        if (dir < 0) {
            std::string folder;
            if (start == 0)
                folder = ".";
            else if (std::strspn(path, "/") == start)
                folder = "/";
            else
                folder.assign(path, start);  // up to and including the '/' before the component
            dir = open_folder(folder.c_str());
            if (dir < 0) return;
        }
        const bool matched = take_spelling(dir, path + start, end - start);
        ::close(dir);
        dir = -1;
        if (!matched) return;
        start = end;
    }
    if (dir >= 0) ::close(dir);
}

void set_path_to_right_dirchars(std::string& path) {
    if (!path.empty() && !string_is_utf8(path)) {
        if (CFStringRef s = platform::cf_string_create(path, kCFStringEncodingMacRoman)) {
            path = platform::cf_string_get_bytes(*s, kCFStringEncodingUTF8);
            platform::cf_release(s);
        }
    }
    for (char& c : path)
        if (c == '\\' || c == ':') c = '/';
}

void get_OS_abs_path(os_dir_type which, std::string& out) {
    if (which == os_dir_this_app || which == os_dir_app_bundle) {
        MACIBM_set_app_path(out, which == os_dir_app_bundle ? 1 : 0);
        return;
    }
    platform::user_folder kind;
    switch (which) {
        case os_dir_desktop:
        case os_dir_default_apps: kind = platform::user_folder::desktop; break;
        case os_dir_temp: kind = platform::user_folder::temp; break;
        case os_dir_prefs: kind = platform::user_folder::prefs; break;
        default: return;  // no such folder
    }
    std::string found, why;
    if (platform::find_user_folder(kind, found, &why) != 0) {
        xer << "ERROR: " << why << "\n";
        return;
    }
    if (found.back() != '/') found += '/';
    set_path_to_right_dirchars(found);
    out = found;
}

bool UTL_path_is_resource(std::string& path) {
    if (path.size() > 8 && path.compare(0, 9, "RESOURCE:") == 0) {
        path.erase(0, 9);
        return true;
    }
    return false;
}

std::string UTL_resource_get_file(const std::string& name) {
    if (name.empty() || !string_is_utf8(name)) return std::string();
    return platform::bundle_resource(name);
}

int FilePathToFSRefAndName(const char* path, FSRef* ref, std::string* name) {
    const std::string p = path ? path : "";
    if (!name) return platform::FSPathMakeRef(p, ref);
    std::string folder;
    get_file_with_path(*name, p);
    get_path_with_path(folder, p);
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return platform::FSPathMakeRef(folder, ref);
}

int FSRefToFilePath(const FSRef& ref, std::string& out) {
    std::string p;
    if (platform::FSRefMakePath(ref, p) != 0) return -1;
    if (p.size() > 2046) return -1;  // the path and its zero must fit 2047 bytes
    out = p;
    return 0;
}

CFStringRef STLToCFString(const std::string& s) { return platform::cf_string_create(s, kCFStringEncodingUTF8); }

void CFStringToSTL(CFStringRef s, std::string& out, CFStringEncoding encoding) {
    out = s ? platform::cf_string_get_bytes(*s, encoding) : std::string();
}

void ConvertPathToCFM(std::string& path) {
    const bool folder = !path.empty() && path.back() == '/';
    if (!path.empty() && string_is_utf8(path)) {
        std::string abs = path;
        if (abs[0] != '/') {
            std::vector<char> cwd(4096);
            if (::getcwd(cwd.data(), cwd.size())) abs = std::string(cwd.data()) + "/" + abs;
            else abs.clear();
        }
        if (!abs.empty()) {
            CFStringRef s = platform::cf_string_create(platform::hfs_path_from_posix(abs), kCFStringEncodingUTF8);
            bool complete = false;
            std::string hfs = s ? platform::cf_string_get_bytes(*s, kCFStringEncodingMacRoman, &complete) : "";
            platform::cf_release(s);
            if (complete) path = hfs;
        }
    }
    if (folder && (path.empty() || path.back() != ':')) path += ':';
}

void MACIBM_set_app_path(std::string& out, int bundle) {
    const std::string b = platform::bundle_path();
    out = b;
    set_path_to_right_dirchars(out);
    if (!bundle) {
        // The folder is cut from the repaired path; a '/' at the very end does not count.
        const std::size_t slash = out.size() > 1 ? out.find_last_of('/', out.size() - 2) : std::string::npos;
        out = slash == std::string::npos ? std::string("/") : out.substr(0, slash + 1);
    }
    const int cs = platform::volume_case_sensitive(b);
    if (cs >= 0) g_case_sensitive = cs;
}
