#include "platform/volumes.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/install_media.h"
#include "platform/spawn.h"

namespace platform {

namespace {

struct mount_entry {
    std::string source, target, type;
};

// The mount table, unescaping the octal escapes it uses for blanks in names.
std::vector<mount_entry> mounts() {
    auto unescape = [](const std::string& s) {
        std::string out;
        for (size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\\' && i + 3 < s.size()) {
                const std::string oct = s.substr(i + 1, 3);
                if (oct.find_first_not_of("01234567") == std::string::npos) {
                    out += char(std::stoi(oct, nullptr, 8));
                    i += 3;
                    continue;
                }
            }
            out += s[i];
        }
        return out;
    };
    std::vector<mount_entry> out;
    std::ifstream in("/proc/self/mounts");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        mount_entry m;
        if (ls >> m.source >> m.target >> m.type) {
            m.source = unescape(m.source);
            m.target = unescape(m.target);
            out.push_back(m);
        }
    }
    return out;
}

bool is_optical(const mount_entry& m) {
    return m.type == "iso9660" || m.type == "udf" || m.source.rfind("/dev/sr", 0) == 0 ||
           m.source.rfind("/dev/cdrom", 0) == 0;
}

// The mount whose folder holds path (the longest matching mount point on the same device).
const mount_entry* mount_of(const std::vector<mount_entry>& all, const std::string& path) {
    struct stat ps;
    if (::stat(path.c_str(), &ps) != 0) return nullptr;
    const mount_entry* best = nullptr;
    for (const mount_entry& m : all) {
        const std::string& t = m.target;
        const bool prefix = t == "/" || path == t || (path.rfind(t, 0) == 0 && path.size() > t.size() && path[t.size()] == '/');
        if (!prefix) continue;
        struct stat ms;
        if (::stat(t.c_str(), &ms) != 0 || ms.st_dev != ps.st_dev) continue;
        if (!best || t.size() >= best->target.size()) best = &m;
    }
    return best;
}

}  // namespace

int volume_space(const std::string& folder, uint64_t* total, uint64_t* free_bytes) {
    struct statvfs vs;
    if (::statvfs(folder.c_str(), &vs) != 0) return errno;
    if (total) *total = uint64_t(vs.f_blocks) * vs.f_frsize;
    if (free_bytes) *free_bytes = uint64_t(vs.f_bavail) * vs.f_frsize;
    return 0;
}

int eject_volume(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (platform_eject_test_disc_folder(p)) return 0;
    const std::vector<mount_entry> all = mounts();
    const mount_entry* m = mount_of(all, p);
    if (!m) return errno ? errno : ENOENT;
    if (is_optical(*m)) return run_and_wait("eject", {"eject", m->target}) == 0 ? 0 : EBUSY;
    struct stat st;
    const std::string probe = m->target + "/dvd_version.txt";
    const bool install_disc = m->target != "/" && ::stat(probe.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (!install_disc) return 0;
    return run_and_wait("umount", {"umount", m->target}) == 0 ? 0 : EBUSY;
}

int volume_is_optical(int volume_number) {
    const std::vector<mount_entry> all = mounts();
    const long index = -long(volume_number) - 1;
    if (index < 0 || index >= long(all.size())) return 0;
    return is_optical(all[size_t(index)]) ? 1 : 0;
}

}  // namespace platform
