#include "support/install_set.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <sys/stat.h>
#include <zlib.h>

#include <minizip/zip.h>

#include "support/temp_dir.h"

namespace testsupport {

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

long file_size(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? (long)st.st_size : 0;
}

}  // namespace

static std::string manifest_with_sizes(const install_set& set, const std::map<std::string, long>& zipped_sizes);

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

std::string manifest_text(const install_set& set) { return manifest_with_sizes(set, {}); }

static std::string manifest_with_sizes(const install_set& set, const std::map<std::string, long>& zipped_sizes) {
    // Digests of every version in one md5sum run.
    temp_dir staging;
    std::vector<std::string> paths;
    for (size_t i = 0; i < set.files.size(); ++i) {
        const auto& f = set.files[i];
        for (size_t k = 0; k < f.older.size(); ++k) {
            paths.push_back(staging / (std::to_string(i) + "_" + std::to_string(k)));
            write_file(paths.back(), f.older[k]);
        }
        if (!f.gone) {
            paths.push_back(staging / (std::to_string(i) + "_c"));
            write_file(paths.back(), f.bytes);
        }
    }
    const std::vector<std::string> digests = md5_hex_of_files(paths);
    size_t d = 0;

    std::string text = "I\n900 version\nINSTALLER\n\n";
    std::string dir = "\x01";
    for (const auto& f : set.files) {
        const std::string folder = folder_of(f.path);
        if (folder != dir) {
            text += "\nDIR " + folder + "\n";
            dir = folder;
        }
        int version = 1;
        for (const auto& old : f.older) {
            text += "FILE 0 " + std::to_string(f.platform) + " " + std::to_string(version++) + " 0 " +
                    std::to_string(old.size() / 1000) + " " + digests[d++] + " " + name_of(f.path) + "\n";
        }
        if (f.gone) {
            text += "FILE 0 " + std::to_string(f.platform) + " 100001 0 0 GONE " + name_of(f.path) + "\n";
        } else {
            const auto it = zipped_sizes.find(f.path);
            const long zipped = it == zipped_sizes.end() ? 0 : it->second;
            text += "FILE 0 " + std::to_string(f.platform) + " " + std::to_string(version) + " " +
                    std::to_string(zipped / 1000) + " " + std::to_string(f.bytes.size() / 1000) + " " +
                    digests[d++] + " " + name_of(f.path) + "\n";
        }
    }
    return text;
}

void write_install_set(const std::string& root, const install_set& set) {
    const std::string base = root + "/" + set.name + "/";
    std::map<std::string, long> sizes;
    for (const auto& f : set.files) {
        if (f.gone) continue;
        const std::string zip = base + f.path + ".zip";
        write_zip(zip, {{name_of(f.path), f.bytes}},
                  f.path.find("Contents/MacOS/") != std::string::npos ? 0755 : 0644);
        sizes[f.path] = file_size(zip);
    }
    write_zip(base + "directory.txt.zip", {{"directory.txt", manifest_with_sizes(set, sizes)}});
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
