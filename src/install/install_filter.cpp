#include "install/install_filter.h"

#include <cstring>
#include <vector>

#include "files/paths.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/prompts.h"
#include "core/log.h"

int g_want_sim = 1;
int g_want_global = 1;

namespace {
bool tile_chosen(const file_version_struct& c) { return stg.chosen_tiles[c.lon_index][c.lat_index] != 0; }

bool contains(const std::vector<std::string>& list, const std::string& s) {
    for (const auto& e : list)
        if (e == s) return true;
    return false;
}
}  // namespace

void set_install_filter(int want_sim, int want_global) {
    g_want_sim = want_sim;
    g_want_global = want_global;
}

int want_this_f(int file_index, int version_index) {
    const file_version_struct& v = sim_info[file_index].versions[version_index];
    if (v.global_scenery ? !g_want_global : !g_want_sim) return 0;
    const int filter = stg.platform_filter;
    if (filter == 0 || v.platform == filter || v.platform == 0) return 1;
    return (v.platform == 6 && filter == 3) ? 1 : 0;
}

static int want_current(int i) { return want_this_f(i, (int)sim_info[i].versions.size() - 1); }

void scenery_take_none() { std::memset(stg.chosen_tiles, 0, sizeof stg.chosen_tiles); }

void scenery_take_all() { std::memcpy(stg.chosen_tiles, stg.offered_tiles, sizeof stg.chosen_tiles); }

void scenery_from_install() {
    scenery_take_none();
    for (const auto& h : sim_info) {
        const auto& c = h.current();
        if (c.global_scenery && c.sig_have != "NONE") stg.chosen_tiles[c.lon_index][c.lat_index] = 1;
    }
}

void recalc_disk_sizes() {
    stg.download_size = 0.0f;
    stg.needed_space = 0.0f;
    stg.files_to_get = 0;
    stg.files_to_delete = 0;
    for (int i = 0; i < (int)sim_info.size(); ++i) {
        const auto& c = sim_info[i].current();
        const bool wanted = want_current(i) != 0;
        const bool gone = c.sig_want == "GONE";
        if (!gone && !c.match && wanted && (!c.global_scenery || tile_chosen(c))) {
            stg.download_size += c.comp_size;
            stg.needed_space += c.uncomp_size;
            ++stg.files_to_get;
        }
        // Whatever is present goes, matching or not (a gone file never matches its "GONE"); a file
        // both no longer shipped and of an unchosen tile is still one deletion.
        const bool present = c.sig_have != "NONE";
        if (present && wanted && (gone || (c.global_scenery && !tile_chosen(c)))) ++stg.files_to_delete;
    }
}

void trim_dest_folder(std::string& path) {
    const size_t slash = path.find('/');
    if (slash != std::string::npos) path.erase(0, slash + 1);
}

std::string suffix_for_file(int file_index) {
    return sim_info[file_index].current().path.find("Global Scenery") != std::string::npos ? ".7z" : ".zip";
}

std::string local_path_for(const std::string& manifest_path) {
    std::string rest = manifest_path;
    trim_dest_folder(rest);
    return dest_dir_path + rest;
}

std::string normalise_path(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        const std::string comp = path.substr(start, slash - start);
        if (comp == "..") {
            if (!parts.empty() && parts.back() != "..") parts.pop_back();
            else if (path.empty() || path[0] != '/') parts.push_back(comp);
        } else if (!comp.empty() && comp != ".") {
            parts.push_back(comp);
        }
        start = slash + 1;
    }
    std::string out = (!path.empty() && path[0] == '/') ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '/';
        out += parts[i];
    }
    return out;
}

bool path_is_inside_dest(const std::string& path) {
    if (dest_dir_path.empty()) return false;
    std::string base = normalise_path(dest_dir_path);
    if (base.empty()) return false;
    if (base.back() != '/') base += '/';
    const std::string p = normalise_path(path);
    return p.size() > base.size() && p.compare(0, base.size(), base) == 0;
}

int choose_files() {
    std::vector<std::string> act_list, keep_list;
    for (int i = 0; i < (int)sim_info.size(); ++i) {
        file_history_struct& h = sim_info[i];
        file_version_struct& c = h.current();
        c.install = 0;
        c.del = 0;
        if (!want_current(i)) continue;

        const std::string local = local_path_for(c.path);
        bool gone = c.sig_want == "GONE";
        const bool present = c.sig_have != "NONE";
        // A quick scan marks a present "GONE" file as matching; it still has to go.
        bool same = present && !gone && c.sig_have == c.sig_want;
        if (c.global_scenery && !tile_chosen(c)) {
            gone = true;
            same = false;
        }
        bool act = !(same || (gone && !present));

        if (present && !same) {
            bool known = false;
            for (const auto& v : h.versions)
                if (v.sig_want == c.sig_have) known = true;
            if (!known) {
                std::string folder;
                get_path_with_path(folder, local);
                if (contains(act_list, folder)) {
                    act = true;
                } else if (contains(keep_list, folder)) {
                    act = false;
                } else {
                    xer << "File: " << local << "  sig_want=" << c.sig_want << "  sig_have=" << c.sig_have << "\n";
                    switch (select_alert(local, gone ? 1 : 0)) {
                        case 1: act = true; break;
                        case 2: act = false; break;
                        case 4: act_list.push_back(folder); act = true; break;
                        case 5: keep_list.push_back(folder); act = false; break;
                        default: return 0;
                    }
                }
            }
        }
        c.install = (act && !gone) ? 1 : 0;
        c.del = (act && gone) ? 1 : 0;
    }

    float total = 0.0f;
    for (const auto& h : sim_info)
        if (h.current().install) total += h.current().uncomp_size;
    if (total > 0.0f) {
        float running = 0.0f;
        for (auto& h : sim_info) {
            auto& c = h.current();
            c.progress_weight = running / total;
            if (c.install) running += c.uncomp_size;
        }
    } else {
        for (auto& h : sim_info) h.current().progress_weight = 0.5f;
    }
    return 1;
}
