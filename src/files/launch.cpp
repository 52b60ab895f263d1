#include "files/launch.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/shared_constants.h"
#include "files/file_ops.h"
#include "files/paths.h"
#include "platform/spawn.h"
#include "core/alert.h"
#include "core/command_registry.h"
#include "core/log.h"
#include "core/shell_services.h"

namespace {

struct ext_kind {
    const char* ext;
    int kind;
};

const ext_kind kExtKinds[] = {
    {".BMP", 2},  {".PNG", 2},  {".ACF", 3},  {".AFL", 4},  {".WPN", 5},  {".WAV", 6},  {".OBJ", 7},
    {".FDR", 8},  {".SIT", 9},  {".REP", 10}, {".FMS", 11}, {".TRA", 13}, {".CAR", 14}, {".SPA", 15},
    {".REG", 16}, {".DSF", 17}, {".HGT", 18}, {".TXT", 20}, {".PRO", 21},
};

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool starts_with_nocase(const std::string& s, const std::string& prefix) {
    if (s.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (ascii_lower(s[i]) != ascii_lower(prefix[i])) return false;
    return true;
}

// Byte order with ASCII letters folded; bytes compare as signed, so bytes above 0x7F come first.
bool name_before(const std::string& a, const std::string& b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const signed char x = static_cast<signed char>(ascii_lower(a[i]));
        const signed char y = static_cast<signed char>(ascii_lower(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

// The executable inside an application bundle: CFBundleExecutable of Contents/Info.plist, else
// Contents/MacOS/ named after the bundle. Empty when the path is not such a bundle.
std::string bundle_executable(const std::string& bundle) {
    struct stat st;
    if (::stat(bundle.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "";
    std::string name;
    std::ifstream plist(bundle + "/Contents/Info.plist");
    if (plist) {
        std::stringstream ss;
        ss << plist.rdbuf();
        const std::string text = ss.str();
        const size_t key = text.find("<key>CFBundleExecutable</key>");
        if (key != std::string::npos) {
            const size_t open = text.find("<string>", key);
            const size_t close = open == std::string::npos ? open : text.find("</string>", open);
            if (close != std::string::npos) name = text.substr(open + 8, close - open - 8);
        }
    }
    if (name.empty() || name.find('/') != std::string::npos) {
        std::string last;
        get_file_with_path(last, bundle);
        const size_t dot = last.rfind('.');
        name = dot == std::string::npos ? last : last.substr(0, dot);
    }
    const std::string exe = bundle + "/Contents/MacOS/" + name;
    if (::stat(exe.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
    return exe;
}

}  // namespace

int opensave_takeit(const std::string& folder, const std::string& name, int filter, int& entry_kind) {
    const std::string full_name = folder + name;
    if (name.size() >= 4) {
        std::string tail = name.substr(name.size() - 4);
        for (char& c : tail) c = ascii_upper(c);
        for (const ext_kind& e : kExtKinds)
            if (tail == e.ext) entry_kind = e.kind;
        if (tail.compare(1, 3, ".OZ") == 0) entry_kind = 19;
    }
    if (filter == 12) {
        const std::string panels = bmp_path + "cockpit/-panels-/";
        if (starts_with_nocase(full_name, panels.substr(0, panels.size() - 3))) return 0;
        if (full_name.size() >= 6) {
            const std::string mark = full_name.substr(full_name.size() - 6, 3);
            for (const char* variant : {"-1.", "-2.", "-3.", "-4."})
                if (starts_with_nocase(mark, variant)) return 0;
        }
    }
    if (name.empty() || name[0] == '.') return 0;
    return (entry_kind == 1 || entry_kind == filter || filter == 0 || (filter == 12 && entry_kind == 2)) ? 1 : 0;
}

int opensave_getitems(const std::string& folder, int kind, std::vector<std::string>& names, std::vector<int>& kinds) {
    names.clear();
    kinds.clear();
    if (kind == 22 || kind == 23) {
        if (kind == 23) cmnd.get_cmds_in_path(folder, names);
        kinds.assign(names.size(), kind);
        for (size_t i = 0; i < names.size(); ++i) {
            if (!names[i].empty() && names[i].back() == '/') {
                names[i].pop_back();
                kinds[i] = 1;
            }
        }
        return int(names.size());
    }

    std::string full = folder;
    set_path_to_full(full);
    if (full.size() >= 2 && full.back() != '/')
        MACIBM_alert(0, "Working path does not appear to be a directory!",
                     "This is not consistent with my labelling practices!",
                     "I need to end all paths with the directory indicator!", folder, t_crash);

    DIR* dir = ::opendir(full.c_str());
    if (!dir) return 0;
    while (const dirent* de = ::readdir(dir)) {
        const std::string name = de->d_name;
        if (name == "." || name == "..") continue;
        bool is_folder;
        if (de->d_type != DT_UNKNOWN) {
            is_folder = de->d_type == DT_DIR;
        } else {
            struct stat st;
            is_folder = ::lstat((full + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        int entry_kind = is_folder ? 1 : 0;
        if (opensave_takeit(folder, name, kind, entry_kind)) {
            names.push_back(name);
            kinds.push_back(entry_kind);
        }
    }
    ::closedir(dir);

    opensave_sort(names, kinds);
    return int(names.size());
}

// Sorts by name_before into the very order of the exchange sort the listing has always used:
// for i, for each j < i, swap entries i and j when i's name comes before j's. That order is
// sorted; among names equal but for letter case, each later entry that sorts strictly before a
// run of equal names moves the run's first name to its end. A folder of thousands of entries is
// listed every frame, so the order is built in n log n plus that rotation for each run of equals.
void opensave_sort(std::vector<std::string>& names, std::vector<int>& kinds) {
    const std::size_t n = names.size();
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return name_before(names[a], names[b]); });
    // Runs of equal names, in arrival order; each entry arriving later that sorts before the run
    // rotates it left by one.
    for (std::size_t r = 0; r < n;) {
        std::size_t e = r + 1;
        while (e < n && !name_before(names[order[r]], names[order[e]])) ++e;
        if (e - r > 1) {
            std::vector<std::size_t> run(order.begin() + static_cast<long>(r), order.begin() + static_cast<long>(e));
            std::sort(run.begin(), run.end());   // arrival order
            std::vector<std::size_t> sorted_run;
            std::size_t next = 0;
            for (std::size_t i = run.front(); i < n; ++i) {
                if (next < run.size() && i == run[next]) {
                    sorted_run.push_back(i);
                    ++next;
                } else if (!sorted_run.empty() && name_before(names[i], names[run.front()])) {
                    std::rotate(sorted_run.begin(), sorted_run.begin() + 1, sorted_run.end());
                }
            }
            std::copy(sorted_run.begin(), sorted_run.end(), order.begin() + static_cast<long>(r));
        }
        r = e;
    }
    std::vector<std::string> sorted_names(n);
    std::vector<int> sorted_kinds(n);
    for (std::size_t i = 0; i < n; ++i) {
        sorted_names[i] = std::move(names[order[i]]);
        sorted_kinds[i] = kinds[order[i]];
    }
    names = std::move(sorted_names);
    kinds = std::move(sorted_kinds);
}

int opensave_folder_readable(const std::string& folder) {
    std::string full = folder;
    set_path_to_full(full);
    DIR* dir = ::opendir(full.c_str());
    if (!dir) return 0;
    ::closedir(dir);
    return 1;
}

int launch_app(const std::string& bundle, const std::string& argument, int finish) {
    std::string path = bundle;
    if (!path.empty() && path.back() == '/') path.pop_back();
    set_path_to_full(path);
    const std::string exe = bundle_executable(path);
    if (!exe.empty()) path = exe;

    xer << "Launching: " << path << " with " << argument << "\n";
    std::vector<std::string> argv{path};
    if (!argument.empty()) {
        argv.push_back("-path");
        argv.push_back(argument);
    }
    if (const int err = platform::spawn_detached(path, argv)) {
        xer.flush();
        return err;
    }
    if (finish) MACIBM_finishup(1);
    xer.flush();
    std::exit(1);
}

int load_bundle_by_filename(const char* name, int alerts, bundle_handle* out) {
    if (!name) {
        if (alerts) MACIBM_alert(0, "Could not make strsing.", "", "", "", t_crash);
        return -50;
    }
    std::string stem = name;
    const std::string suffix = ".framework";
    if (stem.size() > suffix.size() && stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) == 0)
        stem.resize(stem.size() - suffix.size());
    void* handle = nullptr;
    for (const char* version : {"", ".1", ".0"}) {
        handle = ::dlopen(("lib" + stem + ".so" + version).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle) break;
    }
    if (!handle) {
        if (alerts) MACIBM_alert(0, "Could not find bundle in frameworks folder", "", "", name, t_quit);
        return -43;
    }
    if (out) *out = handle;
    else ::dlclose(handle);
    return 0;
}

int make_file_large_address_aware(const std::string& path) {
    std::string full = path;
    set_path_to_full(full);
    FILE* f = std::fopen(full.c_str(), "r+b");
    if (!f) return errno;
    auto finish = [f](int result) {
        if (std::fclose(f) != 0 && result == 0) result = errno;
        return result;
    };
    unsigned char dos[64];
    if (std::fread(dos, 1, 64, f) != 64) return finish(5);
    if (dos[0] != 'M' || dos[1] != 'Z') return finish(20013);
    const uint32_t pe_at = uint32_t(dos[60]) | uint32_t(dos[61]) << 8 | uint32_t(dos[62]) << 16 | uint32_t(dos[63]) << 24;
    if (::fseeko(f, off_t(pe_at), SEEK_SET) != 0) return finish(errno);
    unsigned char head[24];
    if (std::fread(head, 1, 24, f) != 24) return finish(5);
    if (std::memcmp(head, "PE\0\0", 4) != 0) return finish(20014);
    head[22] |= 0x20;
    if (::fseeko(f, off_t(pe_at), SEEK_SET) != 0) return finish(errno);
    if (std::fwrite(head, 1, 24, f) != 24) return finish(5);
    return finish(0);
}
