#include "install/install_builder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/number_text.h"
#include "core/shared_constants.h"
#include "core/threads.h"
#include "files/archives.h"
#include "files/error_codes.h"
#include "files/file_header.h"
#include "files/file_ops.h"
#include "files/paths.h"
#include "install/builder_compress.h"
#include "install/builder_display.h"
#include "install/manifest.h"
#include "install/master_scan.h"

int build_type = 0;
const char* const build_name[3] = {"Ventaro Meridian", "Ventaro Meridian Professional", "Ventaro Meridian Regional"};
std::string src_fold = "/VOLUMES/VENTARO9/9xx/V-System Reference/";
std::string dst_fold_base = "/VOLUMES/VENTARO9/9xx/-upload-/";
std::string old_dir_path = "/VOLUMES/VENTARO9/9xx/directory940rc11.txt";
float disk_full_kb = 7670000.0f;
int builder_threads = 0;

const char* const ALL_str = "All";
const char* const APL_str = "Macintosh";
const char* const WIN_str = "Windows";
const char* const LIN_str = "Linux";

std::string sim_name;
std::string dst_folder;
int dvd_now = 0;
float zip_size_dvd = 0.0f;
int num_files_rec = 0, num_files_use = 0, num_files_com = 0;
int reg = 0;
std::string prev_dir = "---";
std::vector<std::string> comp_files;
std::set<std::string> comp_paths;
std::map<std::string, int, no_case_compare_string> sim_info_index;

bool no_case_compare_char(char a, char b) {
    return std::tolower((unsigned char)a) < std::tolower((unsigned char)b);
}

bool no_case_compare_string::operator()(const std::string& a, const std::string& b) const {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        if (no_case_compare_char(a[i], b[i])) return true;
        if (no_case_compare_char(b[i], a[i])) return false;
    }
    return a.size() < b.size();
}

namespace {

// Every version this build writes is newer than any in the previous manifest.
constexpr int version_number = 100001;
constexpr int manifest_version = 900;
const char* const kNoNote = "no-copyright-string";

// Which platform a file in the common plug-in folder is for.
struct plugin_platform {
    const char* path;
    int platform;
};
const plugin_platform kPluginPlatforms[] = {
    {"All/Resources/plugins/VNLM.shlb", 1},
    {"All/Resources/plugins/VNWidgets.shlb", 1},
    {"All/Resources/plugins/VNLM.framework/VNLM", 1},
    {"All/Resources/plugins/VNWidgets.framework/VNWidgets", 1},
    {"All/Resources/plugins/VNLM.dll", 2},
    {"All/Resources/plugins/VNWidgets.dll", 2},
    {"All/Resources/plugins/VNLM.so", 6},
    {"All/Resources/plugins/VNWidgets.so", 6},
    {"All/Resources/plugins/PluginAdminMac.vnp", 1},
    {"All/Resources/plugins/PluginAdminWin.vnp", 2},
    {"All/Resources/plugins/PluginAdminLin.vnp", 6},
};

comp_ahead* g_ahead = nullptr;

std::string text_of(long long n) {
    std::string s;
    int_to_str(int(n), &s, 1, sft_plain, 0);
    return s;
}

std::string float_text(const char* format, double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

// Byte counts become whole kilobytes of 1000 bytes, truncated.
long long kilobytes(long long bytes) { return (long long)((double)bytes * 0.001); }

void write_dir_line(const std::string& folder) {
    if (folder == prev_dir) return;
    prev_dir = folder;
    ouf << "\nDIR " << folder << "\n";
}

void write_file_line(int platform, int version, long long comp_kb, long long uncomp_kb, const std::string& sig,
                     const std::string& name) {
    ouf << "FILE 0 " << platform << ' ' << version << ' ' << comp_kb << ' ' << uncomp_kb << ' ' << sig << ' '
        << name << '\n';
}

void split_path(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

// The history's first (oldest) version carries the build's mark: 1 unseen, 0 seen.
int& unseen_mark(file_history_struct& h) { return h.versions.front().install; }

// What a worker needs to know of a file before it starts on it. A disc set's archive goes to the
// disk current when the file is handed out, and moves to a later disk if the manifest puts it there.
void first_result(comp_result& r) {
    const std::string rel = r.src.substr(src_fold.size());
    const std::string windows = src_fold + WIN_str + "/";
    r.patch_exe = r.src.find(windows) != std::string::npos && r.src.find(".exe") != std::string::npos;
    r.archive = file_exists(r.src + ".7z") ? std::string() : dst_folder + sim_name + "/" + rel + ".zip";
}

int platform_of(const std::string& full_path, const std::string& folder) {
    const std::string top = folder.substr(0, folder.find('/'));
    int p;
    if (top == ALL_str) p = 0;
    else if (top == APL_str) p = 1;
    else if (top == WIN_str) p = 2;
    else if (top == LIN_str) p = 3;
    else {
        BUILDER_CRASH("WHAT THE FUCK? I CAN'T TELL WHAT TYPE OF FILE THIS IS!", folder, top, "");
        return 0;
    }
    if (p == 0 && full_path.find("All/Resources/plugins/") != std::string::npos) {
        for (const plugin_platform& row : kPluginPlatforms) {
            if (full_path.find(row.path) != std::string::npos) return row.platform;
        }
    }
    return p;
}

void index_previous_manifest() {
    for (int i = 0; i < (int)sim_info.size(); ++i) {
        file_history_struct& h = sim_info[i];
        std::string key = h.versions.front().path;
        chop_platform(key, h.versions.front().platform);
        if (sim_info_index.count(key))
            BUILDER_CRASH("WARNING: you appear to have a file TWICE in an old directory file.", "", "",
                          h.versions.front().path);
        else
            sim_info_index[key] = i;
        unseen_mark(h) = 1;
        for (const file_version_struct& v : h.versions) {
            if (v.version > version_number - 1)
                BUILDER_CRASH("You idiot! Version numbers must always go up!  I already have a version:",
                              float_text("version_number %f", version_number), "in file ", v.path);
        }
    }
}

void write_removed_files() {
    for (file_history_struct& h : sim_info) {
        if (!unseen_mark(h)) continue;
        const file_version_struct& first = h.versions.front();
        if (!is_good_file(src_fold + first.path, 0, 0)) continue;
        std::string folder, name;
        split_path(first.path, folder, name);
        write_dir_line(folder);
        for (const file_version_struct& v : h.versions)
            write_file_line(v.platform, v.version, (long long)v.comp_size, (long long)v.uncomp_size, v.sig_want, name);
        const file_version_struct& last = h.versions.back();
        if (last.sig_want != "GONE") write_file_line(last.platform, version_number, 0, 0, "GONE", name);
    }
}

void write_dvd_version(const std::string& path) {
    if (!ouf_open(path, file_kind_text, manifest_version, kNoNote)) return;
    ouf << "DVD\n\nVERSION " << sim_name << "\n";
    ouf.close();
}

// Keeps the workers ahead of comp_file for as long as the list is being compressed.
class compress_ahead_scope {
public:
    compress_ahead_scope()
        : ahead_(comp_files, &first_result, builder_threads > 0 ? builder_threads : UTL_count_processors()) {
        g_ahead = &ahead_;
    }
    ~compress_ahead_scope() { g_ahead = nullptr; }

private:
    comp_ahead ahead_;
};

}  // namespace

void set_dest_dvd(int disk) {
    if (build_type != 1) return;
    char folder[32];
    std::snprintf(folder, sizeof folder, "disk_%d/", disk);
    dst_folder = dst_fold_base + folder;
}

void chop_platform(std::string& path, int platform) {
    const size_t slash = path.find('/');
    if (slash == std::string::npos) {
        BUILDER_CRASH("Could not find the dir char!", path, "", "");
        return;
    }
    static const char* const kTags[] = {"ALL_os", "APL_os", "IBM_os", "LIN_os"};
    path = (platform >= 0 && platform <= 3 ? kTags[platform] : "") + path.substr(slash);
}

void comp_file(std::string s) {
    const std::string rel = s.substr(src_fold.size());
    std::string folder, name;
    split_path(rel, folder, name);

    comp_result r;
    if (g_ahead && g_ahead->next() == s) {
        r = g_ahead->take();
    } else {
        r.src = s;
        first_result(r);
        comp_prepare(r);
    }

    if (r.patch_error)
        BUILDER_CRASH("Oops! We could not make a windows exe file large-address-aware!",
                      float_text("error# %f", r.patch_error), s, "");

    std::string a = dst_folder + sim_name + "/" + rel;
    if (r.archive.empty()) {
        a += ".7z";
        if (make_hard_link(s + ".7z", a) != 0) BUILDER_CRASH("ERROR: could not make hard link!", "", "", "");
        r.zip_bytes = file_bytes(a);
    } else {
        a += ".zip";
        if (r.zip_error) BUILDER_CRASH("I could not zip a file!", error_str(r.zip_error), s, a);
        // Made on disk 0 ahead of time; this file belongs to a later disk.
        if (r.archive != a) {
            if (const int e = rename_file("", r.archive, a)) BUILDER_CRASH("I could not zip a file!", error_str(e), s, a);
        }
    }

    if (r.zip_bytes < 0) BUILDER_CRASH("ERROR: could not get file size!", "", "", "");
    if (r.src_bytes < 0) BUILDER_CRASH("ERROR: could not get src file size!", "", "", "");
    const long long zip_kb = kilobytes(r.zip_bytes);
    const long long src_kb = kilobytes(r.src_bytes);
    zip_size_dvd += (float)zip_kb;

    // Without its own digest the file cannot be listed: any other would be a lie.
    if (r.md5_error) BUILDER_CRASH("Could not MD5 file!", s, "", "");

    write_dir_line(folder);
    const int platform = platform_of(s, folder);

    std::string key = rel;
    chop_platform(key, platform);
    const auto found = sim_info_index.find(key);
    if (found != sim_info_index.end()) {
        file_history_struct& h = sim_info[found->second];
        for (const file_version_struct& v : h.versions) {
            if (v.sig_want == r.md5 || v.sig_want == "GONE") continue;
            write_file_line(v.platform, v.version, (long long)v.comp_size, (long long)v.uncomp_size, v.sig_want, name);
            if (name.empty())
                BUILDER_CRASH("0-size filename!", "Now how am I supposed to deal with this?", "This is in the OLD file list.",
                              name);
        }
        unseen_mark(h) = 0;
    }

    write_file_line(platform, version_number, zip_kb, src_kb, r.md5, name);
    if (name.empty())
        BUILDER_CRASH("0-size filename!", "Now how am I supposed to deal with this?", "This is in the NEW file loop", name);

    if (zip_size_dvd > disk_full_kb) {
        std::printf("Going to next disk - last file on disk %d was %s\n", dvd_now, name.c_str());
        std::fflush(stdout);
        zip_size_dvd = 0.0f;
        ++dvd_now;
        ouf << "DISK " << dvd_now << "\n";
        set_dest_dvd(dvd_now);
    }

    if (++num_files_com % 20 == 0)
        builder_show_progress("reg: " + text_of(reg) + ": total files to compress: " + text_of(num_files_use) +
                                  ". now doing: " + text_of(num_files_com) + ".",
                              a);
}

void sub_install() {
    scan_reset();
    for (size_t i = 0; kRequiredPaths[i]; ++i) {
        found_needed.push_back(0);
        std::string folder;
        get_path_with_path(folder, kRequiredPaths[i]);
        controlled_folders.insert(folder);
    }

    dst_folder = dst_fold_base;
    set_dest_dvd(0);
    const std::string target = dst_folder + sim_name + "/";
    const std::string manifest = target + "directory.txt";
    const std::string manifest_zip = target + "directory.txt.zip";

    zip_size_dvd = 0.0f;
    dvd_now = 0;
    prev_dir = "---";
    num_files_rec = num_files_use = num_files_com = 0;
    comp_paths.clear();
    comp_files.clear();
    sim_info.clear();
    sim_info_index.clear();

    if (build_type == 0) {
        if (read_directory(old_dir_path) != 3)
            BUILDER_CRASH("I could not read the old directory!",
                          "This means that this installer will not delete old files (needed even for the Ventaro / "
                          "USA scenery install).",
                          "It also means I will forget to fix this, and release without an old directory, and think "
                          "that older versions of stuff is all user-modified cause I don't recognize it!",
                          "So fix this.");
    } else {
        old_dir_path.clear();
    }
    index_previous_manifest();

    if (make_folder(dst_folder) != 0 && build_type == 0)
        BUILDER_CRASH("Could not make the dst_folder!", dst_folder, "THIS MAY SIMPLY BE BECAUSE THE FOLDER ALREADY EXISTS THOUGH!",
                      "");
    if (make_folder(target) != 0 && build_type == 0)
        BUILDER_CRASH("Could not make the target_folder!", target, "THIS MAY SIMPLY BE BECAUSE THE FOLDER ALREADY EXISTS THOUGH!",
                      "");

    ouf_open(manifest, file_kind_text, manifest_version, kNoNote);
    ouf << "INSTALLER\n\n";

    pref_level(src_fold);
    scan_closing_checks();

    set_dest_dvd(dvd_now);
    for (const std::string& folder : comp_paths) make_folder(folder);

    {
        const compress_ahead_scope ahead;
        for (const std::string& s : comp_files) comp_file(s);
    }

    write_removed_files();
    ouf.close();
    // Every disc of a set carries the file a drive's volume is known as an install disc by: each
    // disk folder laid out, whether or not a file's archive went onto it.
    for (int disk = 0; disk <= dvd_now || (build_type == 1 && dir_exists(dst_fold_base + "disk_" + text_of(disk))); ++disk) {
        set_dest_dvd(disk);
        write_dvd_version(dst_folder + "dvd_version.txt");
        if (build_type != 1) break;
    }
    set_dest_dvd(0);

    // The text goes only once its archive is whole: a failed zip leaves it to look at.
    const int zipped = file_to_zip(manifest, manifest_zip);
    if (zipped != 0) BUILDER_CRASH("zip!=0", "", manifest, manifest_zip);
    if (delete_file(manifest) != 0) BUILDER_CRASH("del!=0", "", "", manifest);
}

void build_install_set() {
    if (build_type == 0) {
        reg = 0;
        sim_name = version_string;
        sub_install();
    } else if (build_type == 1) {
        sim_name = build_name[0];
        reg = 0;
        sub_install();
    }
}

void build_install() {
    build_install_set();
    BUILDER_WARN("OK compression is done. Checklist if doing net:",
                 std::string("Get the version string and version number from qf_types into the serverlist.txt file "
                             "in the internet folder, and get that to ") +
                     VENTARO_SERVER_HOST,
                 "Upload the -NET uploads- folder stuff.",
                 "Extract directory.txt.zip to the next previous directory file for use next time.");
}
