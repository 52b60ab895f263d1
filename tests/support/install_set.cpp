#include "support/install_set.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

#include <minizip/zip.h>

#include "core/shared_constants.h"
#include "install/install_builder.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "support/temp_dir.h"

namespace testsupport {

namespace fs = std::filesystem;

namespace {

std::string shell_quote(const std::string& s) {
    std::string out = "'";
    for (char ch : s) {
        if (ch == '\'') out += "'\\''";
        else out += ch;
    }
    return out + "'";
}

std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string name_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The plug-in files every master folder must hold, with the platforms the builder gives them.
struct skeleton_file {
    const char* path;
    int platform;
};
const skeleton_file kSkeleton[] = {
    {"All/Resources/plugins/Commands.txt", 0},
    {"All/Resources/plugins/DataRefs.txt", 0},
    {"All/Resources/plugins/PluginAdmin/lin.vnp", 0},
    {"All/Resources/plugins/PluginAdmin/mac.vnp", 0},
    {"All/Resources/plugins/PluginAdmin/win.vnp", 0},
    {"All/Resources/plugins/VNLM.dll", 2},
    {"All/Resources/plugins/VNLM.framework/VNLM", 1},
    {"All/Resources/plugins/VNLM.shlb", 1},
    {"All/Resources/plugins/VNLM.so", 6},
    {"All/Resources/plugins/VNWidgets.dll", 2},
    {"All/Resources/plugins/VNWidgets.framework/VNWidgets", 1},
    {"All/Resources/plugins/VNWidgets.shlb", 1},
    {"All/Resources/plugins/VNWidgets.so", 6},
};
// The folders it must hold, empty or not; a disc set wants the scenery folders too.
const char* const kSkeletonFolders[] = {
    "Macintosh", "Windows", "Linux", "All/Instructions", "All/Weapons", "All/Airfoils", "All/Aircraft",
    "All/Output", "All/Custom Scenery", "All/Global Scenery", "All/Resources/default scenery/900 red terrain",
    "All/Resources/bitmaps/Earth Orbit Textures",
};

// The skeleton with the set's own files over it, in the set's order after the skeleton's.
std::vector<set_file> master_files(const install_set& set) {
    std::vector<set_file> out;
    for (const set_file& f : master_skeleton()) {
        const bool own = std::any_of(set.files.begin(), set.files.end(), [&](const set_file& s) { return s.path == f.path; });
        if (!own) out.push_back(f);
    }
    out.insert(out.end(), set.files.begin(), set.files.end());
    return out;
}

// 2020-01-01 12:00 UTC.
fs::file_time_type fixed_time() {
    return std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1577880000)));
}

// Moves a folder, copying it when it lies on another file system.
void move_folder(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (!ec) return;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    fs::remove_all(from);
}

// The engine's manifest model and install state are the installer's; the builder borrows them
// to read the previous manifest, so they are put back as they were.
class builder_run {
public:
    builder_run() : sim_info_(sim_info), stg_(stg), deleted_(deleted_files) {}
    ~builder_run() {
        sim_info = sim_info_;
        stg = stg_;
        deleted_files = deleted_;
    }

private:
    std::vector<file_history_struct> sim_info_;
    install_state stg_;
    std::set<std::string> deleted_;
};

}  // namespace

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& ch : s) ch = char(rng());
    return s;
}

std::vector<std::string> md5_hex_of_files(const std::vector<std::string>& paths) {
    std::vector<std::string> out;
    const size_t batch = 200;
    for (size_t at = 0; at < paths.size(); at += batch) {
        std::string cmd = "md5sum --";
        for (size_t i = at; i < paths.size() && i < at + batch; ++i) {
            cmd += ' ';
            cmd += shell_quote(paths[i]);
        }
        FILE* p = ::popen(cmd.c_str(), "r");
        if (!p) throw std::runtime_error("md5sum cannot be started");
        char line[8192];
        while (std::fgets(line, sizeof line, p)) out.emplace_back(line, 32);
        ::pclose(p);
    }
    if (out.size() != paths.size()) throw std::runtime_error("md5sum gave the wrong number of digests");
    return out;
}

std::string md5_hex(const std::string& bytes) {
    temp_dir t;
    write_file(t / "f", bytes);
    return md5_hex_of_files({t / "f"})[0];
}

void write_zip(const std::string& zip_path, const std::vector<std::pair<std::string, std::string>>& entries,
               unsigned mode) {
    const std::string folder = folder_of(zip_path);
    if (!folder.empty()) std::filesystem::create_directories(folder);
    zipFile zf = zipOpen64(zip_path.c_str(), 0);
    if (!zf) throw std::runtime_error("cannot create " + zip_path);
    for (const auto& [name, bytes] : entries) {
        zip_fileinfo info{};
        info.tmz_date = {0, 0, 12, 1, 0, 2020};
        info.external_fa = (uLong)(0100000 | mode) << 16;
        if (zipOpenNewFileInZip4_64(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1, 0,
                                    -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, (3 << 8) | 20, 0, 0) != ZIP_OK)
            throw std::runtime_error("cannot add " + name);
        if (!bytes.empty() && zipWriteInFileInZip(zf, bytes.data(), (unsigned)bytes.size()) != ZIP_OK)
            throw std::runtime_error("cannot write " + name);
        zipCloseFileInZip(zf);
    }
    if (zipClose(zf, nullptr) != ZIP_OK) throw std::runtime_error("cannot close " + zip_path);
}

std::vector<set_file> master_skeleton() {
    std::vector<set_file> out;
    for (const skeleton_file& f : kSkeleton) out.push_back({f.path, std::string("stand-in for ") + f.path, false, {}});
    return out;
}

int master_platform(const std::string& path) {
    for (const skeleton_file& f : kSkeleton)
        if (path == f.path) return f.platform;
    const std::string top = path.substr(0, path.find('/'));
    if (top == "Macintosh") return 1;
    if (top == "Windows") return 2;
    if (top == "Linux") return 3;
    return 0;
}

void write_master(const std::string& folder, const install_set& set) {
    for (const char* f : kSkeletonFolders) fs::create_directories(folder + "/" + f);
    // A fixed time: the archives carry it, so a set is the same bytes whenever it is made.
    const fs::file_time_type when = fixed_time();
    for (const set_file& f : master_files(set)) {
        if (f.gone) continue;
        const std::string path = folder + "/" + f.path;
        write_file(path, f.bytes);
        if (f.path.find("Contents/MacOS/") != std::string::npos)
            fs::permissions(path, fs::perms(0755), fs::perm_options::replace);
        fs::last_write_time(path, when);
    }
}

std::string previous_manifest_text(const install_set& set) {
    temp_dir staging;
    std::vector<std::string> paths;
    for (size_t i = 0; i < set.files.size(); ++i) {
        for (size_t k = 0; k < set.files[i].older.size(); ++k) {
            paths.push_back(staging / (std::to_string(i) + "_" + std::to_string(k)));
            write_file(paths.back(), set.files[i].older[k]);
        }
    }
    const std::vector<std::string> digests = md5_hex_of_files(paths);
    size_t d = 0;
    std::string text = "I\n900 version\nINSTALLER\n\n";
    for (const set_file& f : set.files) {
        if (f.older.empty()) continue;
        text += "\nDIR " + folder_of(f.path) + "\n";
        int version = 1;
        for (const std::string& old : f.older)
            text += "FILE 0 " + std::to_string(master_platform(f.path)) + " " + std::to_string(version++) + " 0 " +
                    std::to_string(old.size() / 1000) + " " + digests[d++] + " " + name_of(f.path) + "\n";
    }
    return text;
}

void build_from_master(int type, const std::string& master, const std::string& out, const std::string& previous,
                       float disk_kb, int threads) {
    const builder_run keep;
    build_type = type;
    src_fold = master;
    dst_fold_base = out;
    old_dir_path = previous;
    disk_full_kb = disk_kb;
    builder_threads = threads;
    build_install_set();
}

void write_install_set(const std::string& root, const install_set& set) {
    temp_dir scratch;
    write_master(scratch / "master", set);
    write_file(scratch / "previous.txt", previous_manifest_text(set));
    build_from_master(0, scratch / "master/", scratch / "out/", scratch / "previous.txt", 7670000.0f, 0);
    const std::string target = root + "/" + set.name;
    fs::remove_all(target);
    fs::create_directories(root);
    move_folder(scratch / ("out/" + version_string), target);
}

void write_disc_set(const std::string& out, const install_set& set, float disk_full_kb, int threads) {
    temp_dir scratch;
    write_master(scratch / "master", set);
    fs::create_directories(out);
    build_from_master(1, scratch / "master/", out + "/", "", disk_full_kb, threads);
}

std::map<std::string, std::string> mac_copy_of(const install_set& set) {
    std::vector<set_file> files;
    for (const set_file& f : master_files(set))
        if (!f.gone && master_platform(f.path) <= 1) files.push_back(f);
    temp_dir staging;
    std::vector<std::string> paths;
    for (size_t i = 0; i < files.size(); ++i) {
        paths.push_back(staging / std::to_string(i));
        write_file(paths.back(), files[i].bytes);
    }
    const std::vector<std::string> digests = md5_hex_of_files(paths);
    std::map<std::string, std::string> out;
    for (size_t i = 0; i < files.size(); ++i) out[files[i].path.substr(files[i].path.find('/') + 1)] = digests[i];
    return out;
}

void write_mac_copy(const std::string& folder, const install_set& set, const std::vector<std::string>& skip) {
    for (const set_file& f : master_files(set)) {
        if (f.gone || master_platform(f.path) > 1) continue;
        if (std::find(skip.begin(), skip.end(), f.path) != skip.end()) continue;
        const std::string path = folder + f.path.substr(f.path.find('/') + 1);
        write_file(path, f.bytes);
        if (f.path.find("Contents/MacOS/") != std::string::npos)
            fs::permissions(path, fs::perms(0755), fs::perm_options::replace);
    }
}

// One stored entry whose recorded CRC-32 is off by one.
static void write_zip_with_wrong_crc(const std::string& zip_path, const std::string& name, const std::string& bytes) {
    zipFile zf = zipOpen64(zip_path.c_str(), 0);
    if (!zf) throw std::runtime_error("cannot create " + zip_path);
    zip_fileinfo info{};
    info.tmz_date = {0, 0, 12, 1, 0, 2020};
    info.external_fa = (uLong)0100644 << 16;
    if (zipOpenNewFileInZip2(zf, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, 0, 0, 1) != ZIP_OK)
        throw std::runtime_error("cannot add " + name);
    if (!bytes.empty() && zipWriteInFileInZip(zf, bytes.data(), (unsigned)bytes.size()) != ZIP_OK)
        throw std::runtime_error("cannot write " + name);
    const uLong crc = crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.data()), (uInt)bytes.size());
    zipCloseFileInZipRaw(zf, (uLong)bytes.size(), crc + 1);
    if (zipClose(zf, nullptr) != ZIP_OK) throw std::runtime_error("cannot close " + zip_path);
}

void write_faulty_copies(const std::string& root, const install_set& set, copy_fault fault,
                         const std::vector<std::string>& only) {
    const std::string base = root + "/" + set.name + "/";
    for (const auto& f : set.files) {
        if (f.gone) continue;
        if (!only.empty() && std::find(only.begin(), only.end(), f.path) == only.end()) continue;
        const std::string zip = base + f.path + ".zip";
        const std::string name = name_of(f.path);
        switch (fault) {
            case copy_fault::wrong_bytes: {
                std::string other = f.bytes.empty() ? std::string("x") : f.bytes;
                for (auto& ch : other) ch = char(ch ^ 0x5a);
                write_zip(zip, {{name, other}});
                break;
            }
            case copy_fault::extra_entries:
                write_zip(zip, {{"planted.txt", "not in the manifest"},
                                {name, f.bytes},
                                {"deeper/planted.txt", "not in the manifest"},
                                {"../planted above.txt", "not in the manifest"}});
                break;
            case copy_fault::bad_crc:
                write_zip_with_wrong_crc(zip, name, f.bytes);
                break;
            case copy_fault::truncated: {
                write_zip(zip, {{name, f.bytes}});
                const std::string whole = read_file(zip);
                write_file(zip, whole.substr(0, whole.size() / 2));
                break;
            }
        }
    }
}

std::string server_list_text(const std::string& final_name, const std::vector<list_server>& list,
                             const std::string& extra_lines, const std::string& beta_name) {
    std::string text = "I\n820 version\nSERVERS\n\n";
    if (!final_name.empty()) text += "FINAL " + final_name + "\n";
    if (!beta_name.empty()) text += "BETA " + beta_name + "\n";
    text += extra_lines;
    for (const auto& s : list) text += "SERVER " + s.host + "\n" + s.path + "\n" + s.label + "\n\n";
    text += "ENDOFLIST\n";
    return text;
}

}  // namespace testsupport
