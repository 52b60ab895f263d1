#include "platform/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/beneath.h"

namespace platform {
namespace {

std::string env_abs(const char* name) {
    const char* v = std::getenv(name);
    if (!v || v[0] != '/') return std::string();
    return v;
}

std::string strip_slashes(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string home_folder() {
    std::string h = env_abs("HOME");
    if (!h.empty()) return strip_slashes(h);
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* res = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &res) == 0 && res && res->pw_dir &&
        res->pw_dir[0] == '/')
        return strip_slashes(res->pw_dir);
    return std::string();
}

std::string config_home() {
    std::string c = env_abs("XDG_CONFIG_HOME");
    if (!c.empty()) return strip_slashes(c);
    const std::string h = home_folder();
    return h.empty() ? h : h + "/.config";
}

// The value of XDG_DESKTOP_DIR in user-dirs.dirs: "$HOME/rel" or "/abs", quoted.
std::string desktop_from_user_dirs(const std::string& home) {
    const std::string cfg = config_home();
    if (cfg.empty()) return std::string();
    std::ifstream in(cfg + "/user-dirs.dirs");
    std::string line;
    std::string found;
    while (std::getline(in, line)) {
        std::size_t i = line.find_first_not_of(" \t");
        if (i == std::string::npos || line[i] == '#') continue;
        const std::string key = "XDG_DESKTOP_DIR=";
        if (line.compare(i, key.size(), key) != 0) continue;
        std::string v = line.substr(i + key.size());
        while (!v.empty() && (v.back() == ' ' || v.back() == '\t' || v.back() == '\r')) v.pop_back();
        if (v.size() < 2 || v.front() != '"' || v.back() != '"') continue;
        v = v.substr(1, v.size() - 2);
        if (v.compare(0, 5, "$HOME") == 0 && (v.size() == 5 || v[5] == '/')) {
            if (home.empty()) continue;
            v = home + v.substr(5);
        }
        if (v.empty() || v[0] != '/') continue;
        found = v;  // the last assignment wins, as in a shell
    }
    found = strip_slashes(found);
    // A desktop set to the home folder itself means "no desktop folder".
    if (!found.empty() && found == home) return std::string();
    return found;
}

int make_folder_chain(const std::string& path, mode_t mode) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        const int err = make_folder_chain(path.substr(0, slash), mode);
        if (err) return err;
    }
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return errno;
    if (::stat(path.c_str(), &st) != 0) return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

int plain_folder(const std::string& path, std::string& out, std::string* why, const char* what, mode_t mode) {
    if (path.empty()) {
        if (why) *why = std::string("cannot find the ") + what + " folder: no home folder is known";
        return ENOENT;
    }
    const int err = make_folder_chain(path, mode);
    if (err) {
        if (why) *why = std::string("cannot make the ") + what + " folder " + path + ": " + std::strerror(err);
        return err;
    }
    out = path;
    return 0;
}

int private_temp(std::string& out, std::string* why) {
    std::string base = strip_slashes(env_abs("TMPDIR"));
    if (base.empty()) base = "/tmp";
    const std::string path = (base == "/" ? std::string() : base) + "/ventaro-" + std::to_string(::getuid());
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        const int err = errno;
        if (why) *why = "cannot make the temporary folder " + path + ": " + std::strerror(err);
        return err;
    }
    // Whether we just made it or found it, check what is really there now.
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (why) *why = "cannot check the temporary folder " + path + ": " + std::strerror(err);
        return err;
    }
    const char* problem = nullptr;
    if (S_ISLNK(st.st_mode))
        problem = "it is a symbolic link";
    else if (!S_ISDIR(st.st_mode))
        problem = "it is not a folder";
    else if (st.st_uid != ::getuid())
        problem = "it belongs to another user";
    else if (st.st_mode & 077)
        problem = "other users have access to it";
    if (problem) {
        if (why) *why = "refusing the temporary folder " + path + ": " + problem;
        return EACCES;
    }
    out = path;
    return 0;
}

// This run's own folder: its path, the descriptor that holds its lock, and the process that made
// it (a forked child that exits must not remove its parent's folder).
struct run_folder_state {
    std::string path;
    int fd = -1;
    pid_t owner = 0;
};
run_folder_state g_run;

void release_run_folder() {
    if (g_run.fd < 0 || ::getpid() != g_run.owner) return;
    const std::size_t slash = g_run.path.find_last_of('/');
    const int base = ::open(g_run.path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (base >= 0) {
        remove_tree_beneath(base, g_run.path.substr(slash + 1));
        ::close(base);
    }
    ::close(g_run.fd);
    g_run.fd = -1;
}

bool is_run_folder_name(const char* name) { return std::strncmp(name, "run-", 4) == 0 && std::strlen(name) == 10; }

// Removes the run folders in base whose lock nobody holds.
void sweep_run_folders(int base) {
    const int listing = ::openat(base, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR* dir = ::fdopendir(listing);
    if (!dir) {
        ::close(listing);
        return;
    }
    std::vector<std::string> abandoned;
    while (const dirent* e = ::readdir(dir)) {
        if (!is_run_folder_name(e->d_name)) continue;
        const int fd = ::openat(base, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) abandoned.push_back(e->d_name);
        ::close(fd);
    }
    ::closedir(dir);
    for (const std::string& name : abandoned) remove_tree_beneath(base, name);
}

}  // namespace

int make_run_folder(const std::string& base_path, std::string& out, std::string* why) {
    const std::string base = strip_slashes(base_path);
    if (g_run.fd >= 0 && g_run.owner == ::getpid()) {
        if (g_run.path.compare(0, base.size() + 1, base + "/") == 0) {
            out = g_run.path;
            return 0;
        }
        release_run_folder();   // asked for one elsewhere: the old one is done with
    }
    const auto fail = [&](const std::string& what) {
        const int err = errno;
        if (why) *why = what + " " + base + ": " + std::strerror(err);
        return err;
    };
    const int basefd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (basefd < 0) return fail("cannot open the temporary folder");
    // Making a folder and locking it is one step to a sweeping run.
    const int lockfd = ::openat(basefd, "runs.lock", O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lockfd < 0) {
        const int err = fail("cannot open the lock file in");
        ::close(basefd);
        return err;
    }
    ::flock(lockfd, LOCK_EX);
    sweep_run_folders(basefd);
    std::string made = base + "/run-XXXXXX";
    int err = 0;
    if (!::mkdtemp(made.data())) {
        err = fail("cannot make a folder for this run in");
    } else {
        g_run.fd = ::open(made.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (g_run.fd < 0 || ::flock(g_run.fd, LOCK_EX | LOCK_NB) != 0) {
            err = fail("cannot lock this run's folder in");
            if (g_run.fd >= 0) ::close(g_run.fd);
            g_run.fd = -1;
            ::rmdir(made.c_str());
        }
    }
    ::close(lockfd);
    ::close(basefd);
    if (err) return err;
    g_run.path = made;
    g_run.owner = ::getpid();
    static const bool registered = (std::atexit(release_run_folder), true);
    (void)registered;
    out = made;
    return 0;
}

int find_user_folder(user_folder which, std::string& out, std::string* why) {
    switch (which) {
        case user_folder::desktop: {
            const std::string home = home_folder();
            std::string d = strip_slashes(env_abs("XDG_DESKTOP_DIR"));
            if (d.empty()) d = desktop_from_user_dirs(home);
            if (d.empty() && !home.empty()) d = home + "/Desktop";
            const int err = plain_folder(d, out, why, "desktop", 0755);
            // A desktop that cannot be made (a read-only home, a name taken by a file): the home
            // folder itself, when there is one.
            struct stat st {};
            if (err && !home.empty() && ::stat(home.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                if (why) *why += "; using the home folder " + home;
                out = home;
                return 0;
            }
            return err;
        }
        case user_folder::prefs:
            return plain_folder(config_home(), out, why, "preferences", 0700);
        case user_folder::temp:
            return private_temp(out, why);
    }
    if (why) *why = "unknown folder";
    return EINVAL;
}

}  // namespace platform
