#include "install/master_scan.h"

#include <algorithm>
#include <utility>

#include "core/app_globals.h"
#include "core/number_text.h"
#include "core/shared_constants.h"
#include "files/file_ops.h"
#include "files/launch.h"
#include "files/paths.h"
#include "files/whole_file_map.h"
#include "install/builder_display.h"
#include "install/install_builder.h"

const char* const kRequiredPaths[] = {
    "Resources/plugins/Commands.txt",
    "Resources/plugins/DataRefs.txt",
    "Resources/plugins/PluginAdmin",
    "Resources/plugins/PluginAdmin/lin.vnp",
    "Resources/plugins/PluginAdmin/mac.vnp",
    "Resources/plugins/PluginAdmin/win.vnp",
    "Resources/plugins/VNLM.dll",
    "Resources/plugins/VNLM.framework",
    "Resources/plugins/VNLM.framework/VNLM",
    "Resources/plugins/VNLM.shlb",
    "Resources/plugins/VNLM.so",
    "Resources/plugins/VNWidgets.dll",
    "Resources/plugins/VNWidgets.framework",
    "Resources/plugins/VNWidgets.framework/VNWidgets",
    "Resources/plugins/VNWidgets.shlb",
    "Resources/plugins/VNWidgets.so",
    nullptr,
};

std::vector<int> found_needed;
std::set<std::string> controlled_folders;

int found_all_fold, found_apl_fold, found_win_fold, found_LIN_fold, found_ins_fold, found_wpn_fold, found_afl_fold,
    found_acf_fold, found_res_fold, found_out_fold, found_cus_fold, found_glo_fold, found_plug, found_redt, found_orbt,
    found_com_file;

namespace {

bool has(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }
bool has(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }
bool ends_with(const std::string& s, const char* tail) {
    const std::string t = tail;
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

std::string all_fold() { return src_fold + ALL_str + "/"; }

// The named paths of the master folder, below src_fold.
std::string str_all_fold() { return all_fold(); }
std::string str_pfc_fold() { return all_fold() + "install_pfc Aircraft/"; }
std::string str_glo_fold() { return all_fold() + "Global Scenery/"; }
std::string str_redt() { return all_fold() + "Resources/default scenery/900 red terrain/"; }
std::string str_orbt() { return all_fold() + bmp_path + "Earth Orbit Textures/"; }
std::string str_erth1() { return all_fold() + "Global Scenery/-global overlays-"; }
std::string str_erth2() { return all_fold() + "Global Scenery/-global terrain-"; }
std::string str_corvel() { return all_fold() + "Custom Scenery/DSF 900 Corvel World-Wide"; }
std::string str_pellin() { return all_fold() + "Custom Scenery/DSF 900 Pellin World-Wide"; }
std::string str_com_file() { return all_fold() + "Resources-KVR/ac_threat.dat"; }

// The folders that carry a flag, in the order the closing checks test them.
struct flagged_folder {
    int* flag;
    const char* flag_text;
    bool disc_only;
    std::string (*path)();
};
const flagged_folder kFlaggedFolders[] = {
    {&found_all_fold, "!found_all_fold", false, &str_all_fold},
    {&found_apl_fold, "!found_apl_fold", false, [] { return src_fold + APL_str + "/"; }},
    {&found_win_fold, "!found_win_fold", false, [] { return src_fold + WIN_str + "/"; }},
    {&found_LIN_fold, "!found_X86_fold", false, [] { return src_fold + LIN_str + "/"; }},
    {&found_ins_fold, "!found_ins_fold", false, [] { return all_fold() + "Instructions/"; }},
    {&found_wpn_fold, "!found_wpn_fold", false, [] { return all_fold() + "Weapons/"; }},
    {&found_afl_fold, "!found_afl_fold", false, [] { return all_fold() + "Airfoils/"; }},
    {&found_acf_fold, "!found_acf_fold", false, [] { return all_fold() + "Aircraft/"; }},
    {&found_res_fold, "!found_res_fold", false, [] { return all_fold() + "Resources/"; }},
    {&found_out_fold, "!found_out_fold", false, [] { return all_fold() + "Output/"; }},
    {&found_cus_fold, "!found_cus_fold", false, [] { return all_fold() + "Custom Scenery/"; }},
    {&found_glo_fold, "!found_glo_fold", true, &str_glo_fold},
    {&found_plug, "!found_plug\t ", false, [] { return all_fold() + "Resources/plugins/"; }},
    {&found_redt, "!found_redt\t ", true, &str_redt},
    {&found_orbt, "!found_orbt\t ", true, &str_orbt},
};

// The only folders the All folder may hold.
const char* const kAllFolders[] = {"Aircraft/", "Airfoils/", "Instructions/", "Output/", "install_pfc Aircraft/",
                                   "Resources/", "Weapons/", "Custom Scenery/", "Global Scenery/"};

// Never shipped, wherever in the path they stand.
const char* const kNeverParts[] = {"MacCVS.", ".7z", "Thumbs.db", "work.", "._", ".DS_Store", ".sandboxinfo",
                                   ".xSYM", "serverlist.txt", "Ventaro Pilot.txt", ".dsf.txt",
                                   "/Output/preferences/", "iphone", "IPHONE"};
const char* const kNeverEndings[] = {".ovw", ".ac", ".prf", ".fms", ".sit", ".rep", ".bak"};

std::string int_text(int n) {
    std::string s;
    int_to_str(n, &s, 1, sft_plain, 0);
    return s;
}

// The output folders a shipped file needs, on every disk a disc set may use.
void add_output_folders(const std::string& full_path) {
    const std::string rel = full_path.substr(src_fold.size());
    for (int disk = 0; disk <= 5; ++disk) {
        set_dest_dvd(disk);
        std::string o = dst_folder + sim_name + "/" + rel;
        for (size_t slash; (slash = o.rfind('/')) != std::string::npos;) {
            o.erase(slash);
            if (!o.empty() && o.size() >= dst_fold_base.size()) comp_paths.insert(o);
        }
    }
}

// Moves the entry of that name to the end of the listing; it must be a folder.
void scan_last(std::vector<std::pair<std::string, int>>& entries, const char* name) {
    const auto it = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == name; });
    if (it == entries.end()) return;
    if (it->second != 1)
        BUILDER_CRASH("rel_assert Error! Possibly an out of range vector! Attach the debugger and see who called this!",
                      "dir_file_types[n] == tFOL", "pref_level", "Please report this to Quillon Research.");
    const auto e = *it;
    entries.erase(it);
    entries.push_back(e);
}

void check_restricted_folder(const std::string& folder, const std::vector<std::pair<std::string, int>>& entries) {
    const std::string all = all_fold();
    if (folder.size() <= all.size() || folder.compare(0, all.size(), all) != 0) return;
    const std::string rel = folder.substr(all.size());
    if (!controlled_folders.count(rel)) return;
    for (const auto& [name, kind] : entries) {
        const std::string q = rel + name;
        bool required = false;
        for (size_t i = 0; kRequiredPaths[i]; ++i) {
            if (q == kRequiredPaths[i]) {
                found_needed[i] = 1;
                required = true;
                break;
            }
        }
        if (name.compare(0, 3, "CVS") == 0) continue;
        if (!required)
            BUILDER_CRASH("ERROR: I found a file in a restricted folder, and it should not be there.", rel, q,
                          "Either this is a NEW file and the installer maker must be modified, OR perhaps this file "
                          "should be nuked!");
    }
}

void check_name(const std::string& name, const std::string& p) {
    if (!name.empty() && name.back() == ' ')
        BUILDER_CRASH("YOU IDIOT!", "You tried to include a file or directory with a space at the end!",
                      "Some systems drop the blank, and then the installers cannot find it.", p);
    if (has(p, ":")) BUILDER_CRASH("YOU IDIOT!", "found a  : in the path!", p, "");
    if (has(p, "\\")) BUILDER_CRASH("YOU IDIOT!", "found a \\ in the path!", p, "");
}

void scan_folder_entry(const std::string& folder, const std::string& name, const std::string& p) {
    for (const flagged_folder& f : kFlaggedFolders)
        if (p == f.path()) *f.flag = 1;
    if (folder == all_fold()) {
        const std::string here = name + "/";
        if (std::find(std::begin(kAllFolders), std::end(kAllFolders), here) == std::end(kAllFolders))
            BUILDER_CRASH("What the hell is THIS doing in here!?!?!?", name, p, here);
    }
    pref_level(folder + name + "/");
}

void scan_file_entry(const std::string& folder, const std::string& name, const std::string& p) {
    if (p == str_com_file()) found_com_file = 1;
    if (has(p, "copy") && !has(p, "bitmaps/interface/copy.png")) BUILDER_CRASH("YOU IDIOT!", "found a copy file!", p, "");
    if (has(p, ".cpp")) BUILDER_CRASH("YOU IDIOT!", "found a .cpp file!", p, "");
    if (has(p, ".CPP")) BUILDER_CRASH("YOU IDIOT!", "found a .CPP file!", p, "");
    std::string parent;
    get_path_with_path(parent, p);
    if (parent == all_fold())
        BUILDER_CRASH("YOU IDIOT!", "I FOUND A FILE INSIDE THE 'ALL' FOLDER! WE SHOULD ONLY HAVE FOLDERS THERE!", p, "");
    ++num_files_rec;
    const std::string path = folder + name;
    if (is_good_file(path, 0, 1)) {
        ++num_files_use;
        comp_files.push_back(path);
        add_output_folders(path);
    }
    if (num_files_rec % 500 == 0)
        builder_show_progress("reg: " + int_text(reg) + ": total files recursed: " + int_text(num_files_rec) +
                                  ". will compress: " + int_text(num_files_use) + ".",
                              path);
}

}  // namespace

void scan_reset() {
    found_needed.clear();
    controlled_folders.clear();
    for (const flagged_folder& f : kFlaggedFolders) *f.flag = 0;
    found_com_file = 0;
}

void pref_level(const std::string& folder) {
    std::vector<std::string> names;
    std::vector<int> kinds;
    opensave_getitems(folder, 0, names, kinds);
    // The walk and so the manifest follow byte order, whatever order the listing gives.
    std::vector<std::pair<std::string, int>> entries;
    for (size_t i = 0; i < names.size(); ++i) entries.emplace_back(names[i], kinds[i] == 1 ? 1 : 0);
    std::sort(entries.begin(), entries.end());

    check_restricted_folder(folder, entries);
    // Platform folders before All, and the global scenery last within All.
    if (folder == all_fold()) scan_last(entries, "Global Scenery");
    if (folder == src_fold) scan_last(entries, ALL_str);

    for (const auto& [name, kind] : entries) {
        const std::string p = app_path + folder + name + (kind == 1 ? "/" : "");
        check_name(name, p);
        if (kind == 1) scan_folder_entry(folder, name, p);
        else scan_file_entry(folder, name, p);
    }
}

int is_good_file(std::string x, int a, int b) {
    for (const char* part : kNeverParts)
        if (has(x, part)) return 0;
    if (has(x, str_pfc_fold())) return 0;
    for (const char* tail : kNeverEndings)
        if (ends_with(x, tail)) return 0;

    int ships = 0;
    if (build_type == 0) {
        ships = !(has(x, str_redt()) || has(x, str_orbt()) || has(x, str_erth1()) || has(x, str_erth2()) ||
                  has(x, str_corvel()) || has(x, str_pellin()));
    } else if (build_type == 1) {
        const bool other_edition = has(x, str_corvel()) || has(x, str_pellin());
        const bool global = has(x, str_erth1()) || has(x, str_erth2());
        ships = !(other_edition && !global);
    } else {
        BUILDER_CRASH("I can not tell what type of install this is!", "", "", "");
        return 0;
    }
    // A file that would ship must be readable: leaving it out would drop it from the set, and
    // from every copy that updates to it.
    if (ships && a == 0 && b != 0 && !is_sim_link(x, nullptr)) {
        const whole_file_map image(x);
        if (!image.ok()) BUILDER_CRASH("ERROR: could not read a file of the master folder!", x, "", "");
    }
    return ships;
}

void scan_closing_checks() {
    for (size_t i = 0; i < found_needed.size() && kRequiredPaths[i]; ++i)
        if (!found_needed[i]) BUILDER_CRASH("A required file is missing.", "That file is:", kRequiredPaths[i], "");
    for (const flagged_folder& f : kFlaggedFolders)
        if (!*f.flag && (!f.disc_only || build_type == 1)) BUILDER_CRASH("YOU IDIOT!", f.flag_text, f.path(), "");
    if (found_com_file) BUILDER_CRASH("YOU IDIOT!", " found_com_file", str_com_file(), "");
}
