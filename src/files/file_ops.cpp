#include "files/file_ops.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include <fcntl.h>

#include "files/launch.h"
#include "files/paths.h"
#include "platform/beneath.h"
#include "platform/volumes.h"

namespace {

std::string full(const std::string& path) {
    std::string p = path;
    set_path_to_full(p);
    return p;
}

// File Manager style results for the volume queries.
constexpr int fnfErr = -43;
constexpr int ioErr = -36;
constexpr int fBsyErr = -47;
constexpr int dupFNErr = -48;

// The root folder open for contained operations, and the path relative to it.
struct inside_root {
    int fd = -1;
    int err = 0;
    std::string rel;
    inside_root(const std::string& root, const std::string& path) {
        if (root.empty() || root.back() != '/' || path.compare(0, root.size(), root) != 0) {
            err = EXDEV;
            return;
        }
        rel = path.substr(root.size());
        fd = ::open(full(root).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) err = errno;
    }
    ~inside_root() {
        if (fd >= 0) ::close(fd);
    }
    inside_root(const inside_root&) = delete;
    inside_root& operator=(const inside_root&) = delete;
};

}  // namespace

int file_exists(const std::string& path) {
    struct stat st;
    return ::stat(full(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

int dir_exists(const std::string& path) {
    std::string p = path;
    if (!p.empty() && p.back() == '/') p.pop_back();
    struct stat st;
    return ::stat(full(p).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int is_sim_link(const std::string& path, std::string* target) {
    char buf[500];
    const ssize_t n = ::readlink(full(path).c_str(), buf, 499);
    if (n < 0) return 0;
    if (target) target->assign(buf, size_t(n));
    return 1;
}

int APL_file_size(const std::string& path) {
    struct stat st;
    if (::stat(full(path).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return int(uint32_t(uint64_t(st.st_size)));
}

int make_file_executable(const std::string& path) {
    return ::chmod(full(path).c_str(), 0755) == 0 ? 0 : errno;
}

int delete_file(const std::string& path) {
    if (path.empty()) return 2;
    std::string p = full(path);
    if (!p.empty() && p.back() == '/') {
        p.pop_back();
        return ::rmdir(p.c_str()) == 0 ? 0 : errno;
    }
    return ::unlink(p.c_str()) == 0 ? 0 : errno;
}

int make_folder(const std::string& path) {
    std::string p = path;
    if (!p.empty() && p.back() == '/') p.pop_back();
    return ::mkdir(full(p).c_str(), 0755) == 0 ? 0 : errno;
}

int rename_file(const std::string& folder, const std::string& old_name, const std::string& new_name) {
    return ::rename(full(folder + old_name).c_str(), full(folder + new_name).c_str()) == 0 ? 0 : errno;
}

int make_hard_link(const std::string& existing, const std::string& link_path) {
    return ::link(full(existing).c_str(), full(link_path).c_str()) == 0 ? 0 : errno;
}

int copy_file(const std::string& src, const std::string& dst) {
    // One buffer for the whole run; callers never copy on two threads at once.
    static std::vector<unsigned char> buffer;
    const std::string s = full(src), d = full(dst);
    FILE* in = std::fopen(s.c_str(), "rb");
    FILE* out = in ? std::fopen(d.c_str(), "wb") : nullptr;
    if (!in || !out) {
        if (in) std::fclose(in);
        return 2;
    }
    buffer.resize(65536);
    int result = 0;
    while (!std::feof(in)) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
        if (got == 0) {
            if (std::ferror(in)) result = errno ? errno : EIO;
            break;
        }
        if (std::fwrite(buffer.data(), 1, got, out) != got) {
            result = errno ? errno : EIO;
            break;
        }
    }
    std::fclose(in);
    // Buffered bytes reach the disk only here: a full disk shows up at the close.
    if (std::fclose(out) != 0 && result == 0) result = errno ? errno : EIO;
    struct stat st;
    if (::stat(s.c_str(), &st) == 0) ::chmod(d.c_str(), st.st_mode & 0777);
    return result;
}

int copy_file_recursive(const std::string& src, const std::string& dst) {
    if (!dir_exists(src)) return copy_file(src, dst);
    const std::string s = src + "/", d = dst + "/";
    make_folder(d);
    std::vector<std::string> names;
    std::vector<int> kinds;
    opensave_getitems(s, 0, names, kinds);
    for (const std::string& name : names) {
        if (const int err = copy_file_recursive(s + name, d + name)) return err;
    }
    return 0;
}

int recursive_delete_folder(const std::string& folder) {
    std::vector<std::string> names;
    std::vector<int> kinds;
    opensave_getitems(folder, 0, names, kinds);
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string child = folder + names[i];
        // A folder whose name carries a listed extension still is a folder (not a link).
        struct stat st;
        const bool is_folder = kinds[i] == 1 || (::lstat(full(child).c_str(), &st) == 0 && S_ISDIR(st.st_mode));
        const int err = is_folder ? recursive_delete_folder(child + "/") : delete_file(child);
        if (err) return err;
    }
    // rmdir refuses a folder that still holds anything, so 0 here means it is gone.
    return delete_file(folder);
}

int delete_folder_tree(const std::string& folder) {
    std::string p = full(folder);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const size_t slash = p.find_last_of('/');
    if (slash == std::string::npos || slash + 1 >= p.size()) return EINVAL;
    const int parent = ::open(slash == 0 ? "/" : p.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) return errno == ENOENT ? 0 : errno;
    const int err = platform::remove_tree_beneath(parent, p.substr(slash + 1));
    ::close(parent);
    return err;
}

int get_free_space(const std::string& path, uint64_t* total, uint64_t* free_bytes) {
    std::string p = full(path);
    std::string parent;
    get_path_with_path(parent, p);
    if (parent.size() > 1 && parent.back() == '/') parent.pop_back();
    if (parent.empty()) return fnfErr;
    uint64_t t = 0, f = 0;
    const int err = platform::volume_space(parent, &t, &f);
    if (err) return (err == ENOENT || err == ENOTDIR) ? fnfErr : ioErr;
    if (total) *total = t;
    if (free_bytes) *free_bytes = f;
    return 0;
}

int eject_dvd(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return fnfErr;
    return platform::eject_volume(path) == 0 ? 0 : fBsyErr;
}

int APL_is_dvd_disk(int16_t volume) { return platform::volume_is_optical(volume); }

int show_del_err(int) { return 0; }

int show_make_dir_err(int err) { return (err == 0 || err == EEXIST || err == dupFNErr) ? 0 : 1; }

int delete_file_in(const std::string& root, const std::string& path) {
    if (path.empty()) return 2;
    const inside_root in(root, path);
    if (in.err) return in.err;
    if (!in.rel.empty() && in.rel.back() == '/') return platform::rmdir_beneath(in.fd, in.rel.substr(0, in.rel.size() - 1));
    return platform::unlink_beneath(in.fd, in.rel);
}

int make_folder_in(const std::string& root, const std::string& path) {
    const inside_root in(root, path);
    if (in.err) return in.err;
    std::string rel = in.rel;
    if (!rel.empty() && rel.back() == '/') rel.pop_back();
    return platform::mkdir_beneath(in.fd, rel, 0755);
}

int make_file_executable_in(const std::string& root, const std::string& path) {
    const inside_root in(root, path);
    if (in.err) return in.err;
    return platform::chmod_beneath(in.fd, in.rel, 0755);
}

int rename_file_in(const std::string& root, const std::string& folder, const std::string& old_name,
                   const std::string& new_name) {
    const inside_root in(root, folder);
    if (in.err) return in.err;
    return platform::rename_beneath(in.fd, in.rel, old_name, new_name);
}

int is_sim_link_in(const std::string& root, const std::string& path) {
    const inside_root in(root, path);
    struct stat st;
    return !in.err && platform::lstat_beneath(in.fd, in.rel, st) == 0 && S_ISLNK(st.st_mode);
}

int count_items_in(const std::string& root, const std::string& folder) {
    const inside_root in(root, folder);
    if (in.err) return 0;
    const int n = platform::count_visible_beneath(in.fd, in.rel);
    return n < 0 ? 0 : n;
}
