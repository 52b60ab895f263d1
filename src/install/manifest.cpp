#include "install/manifest.h"

#include <cctype>
#include <cstring>

#include "core/number_text.h"
#include "files/xmap.h"
#include "install/install_state.h"
#include "install/prompts.h"
#include "core/alert.h"

std::vector<file_history_struct> sim_info;

namespace {

bool ends_with_dsf(const char* path) {
    const size_t n = std::strlen(path);
    if (n <= 4) return false;
    const char* s = path + n - 4;
    return s[0] == '.' && std::tolower((unsigned char)s[1]) == 'd' && std::tolower((unsigned char)s[2]) == 's' &&
           std::tolower((unsigned char)s[3]) == 'f';
}

void bad_path_alert(const std::string& path) {
    MACIBM_alert(0, "I am reading the directory text file and found a path that has no file!",
                 "This is impossible to download or delete!", "It is:", path, t_quit);
}

}  // namespace

bool manifest_path_is_safe(const std::string& path) {
    if (path.empty()) return false;
    size_t start = 0;
    while (true) {
        const size_t slash = path.find('/', start);
        const std::string comp = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (comp.empty() || comp == "." || comp == "..") return false;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    for (unsigned char ch : path)
        if (ch == '\\' || ch < 0x20 || ch == 0x7f) return false;
    return true;
}

bool manifest_sig_is_valid(const std::string& sig) {
    if (sig == "GONE") return true;
    if (sig.size() != 32) return false;
    for (unsigned char ch : sig)
        if (!std::isxdigit(ch)) return false;
    return true;
}

int is_global_scenery_f(const char* path) {
    const bool marked = std::strstr(path, "Global Scenery/") || std::strstr(path, "/-global overlays-/") ||
                        std::strstr(path, "/-global terrain-/") || std::strstr(path, "/default scenery/DSF 820");
    return (marked && ends_with_dsf(path)) ? 1 : 0;
}

int find_sector(int* lon_index, int* lat_index, std::string path) {
    std::string name = path;
    if (!name.empty() && name.back() == '/') name.pop_back();
    const size_t slash = name.rfind('/');
    if (slash != std::string::npos) name = name.substr(slash + 1);
    if (name.size() < 3) return 0;
    const int lat = str_to_int(name.substr(0, 3));
    const int lon = str_to_int(name.substr(3, 4));
    *lat_index = (lat + 90) / 10;
    *lon_index = (lon + 180) / 10;
    return (*lat_index >= 0 && *lat_index <= 17 && *lon_index >= 0 && *lon_index <= 35) ? 1 : 0;
}

int path_has_no_file(std::string path) { return (!path.empty() && path.back() == '/') ? 1 : 0; }

int read_directory(const std::string& path) {
    deleted_files.clear();
    stg.download_size = 0.0f;
    stg.needed_space = 0.0f;
    stg.files_to_get = 0;
    stg.files_to_delete = 0;
    sim_info.clear();

    xmap_class map(path, 0, 0);
    if (!map.mem_start) {
        MACIBM_alert(0, "I tried to read a directory file that does not exist!", "The file is:", path, "", t_quit);
        return 2;
    }
    static const int versions[] = {840, 900, 0};
    if (!map.check_file(10001, versions, "INSTALLER", nullptr)) {
        new_format(path);
        return 2;
    }

    std::string prefix, prev_path;
    int disk = 0;
    while (map.mem_cur < map.mem_end) {
        if (map.TXT_str_scan_match("DIR", 0, 0)) {
            map.TXT_str_scan_eoln(&prefix);
            continue;
        }
        if (map.TXT_str_scan_match("DISK", 0, 0)) {
            disk = map.TXT_int_scan();
            map.TXT_str_scan_eoln(nullptr);
            continue;
        }
        if (!map.TXT_str_scan_match("FILE", 0, 0)) {
            map.TXT_str_scan_eoln(nullptr);
            continue;
        }
        file_version_struct v;
        map.TXT_int_scan();
        v.platform = map.TXT_int_scan();
        if (v.platform < 0) v.platform = 0;
        if (v.platform > 6) v.platform = 6;
        v.version = map.TXT_int_scan();
        v.comp_size = (float)map.TXT_int_scan();
        v.uncomp_size = (float)map.TXT_int_scan();
        map.TXT_str_scan_space(&v.sig_want);
        std::string name;
        map.TXT_str_scan_eoln(&name);

        if (name.find("900 red terrain") != std::string::npos ||
            name.find("Earth Orbit Textures") != std::string::npos)
            continue;

        // Checked before the two are joined: a long prefix must not be copied into every line's path.
        if (prefix.size() + name.size() > manifest_path_max) bad_path_alert(prefix.substr(0, 200) + "...");
        v.path = prefix + name;
        v.global_scenery = is_global_scenery_f(v.path.c_str());
        if (v.global_scenery && !find_sector(&v.lon_index, &v.lat_index, v.path)) v.global_scenery = 0;
        if (!v.global_scenery) v.lat_index = v.lon_index = 0;

        if (v.path != prev_path || sim_info.empty()) {
            sim_info.emplace_back();
            prev_path = v.path;
        }
        if (path_has_no_file(v.path) || !manifest_path_is_safe(v.path)) bad_path_alert(v.path);
        if (!manifest_sig_is_valid(v.sig_want)) {
            MACIBM_alert(0, "I am reading the directory text file and found a file with a bad checksum!",
                         "This is impossible to download or check!", "It is:", v.path + " " + v.sig_want, t_quit);
        }
        if (v.sig_want != "GONE")
            for (char& ch : v.sig_want) ch = (char)std::tolower((unsigned char)ch);
        v.disk = disk;
        sim_info.back().versions.push_back(std::move(v));
    }

    int global_count = 0, other_count = 0;
    std::memset(stg.offered_tiles, 0, sizeof stg.offered_tiles);
    for (const auto& h : sim_info) {
        const auto& c = h.current();
        if (c.global_scenery) {
            stg.offered_tiles[c.lon_index][c.lat_index] = 1;
            ++global_count;
        } else {
            ++other_count;
        }
    }
    stg.offers_global = global_count > 0 ? 1 : 0;
    stg.offers_other = other_count > 0 ? 1 : 0;
    return 3;
}
