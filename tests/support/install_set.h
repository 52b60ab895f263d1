#pragma once
// Install sets for tests, made the way a release makes them: the set's files are laid out as a
// master folder and the product's own builder makes the archives and the manifest from it.
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct set_file {
    // The master-relative path, which is also the manifest path: it begins with the platform's
    // top folder ("All", "Macintosh", "Windows" or "Linux"), which the installers leave out.
    std::string path;
    std::string bytes;                // current contents; unused when gone
    bool gone = false;                // no longer in the master: the new manifest removes it
    std::vector<std::string> older;   // contents in earlier releases, oldest first
};

struct install_set {
    std::string name;                 // install name: the folder the set lies in on a server
    std::vector<set_file> files;      // the master folder is these and master_skeleton()
};

struct list_server {
    std::string host;
    std::string path;                 // prefix the install name is appended to, e.g. "/sets/"
    std::string label = "mirror";
};

// n bytes that do not compress, the same for the same seed.
std::string random_bytes(size_t n, unsigned seed);

// MD5 digests as 32 lower-case hex digits, computed by the system's md5sum (not our own code).
std::string md5_hex(const std::string& bytes);
std::vector<std::string> md5_hex_of_files(const std::vector<std::string>& paths);

// One zip archive; each entry is (name, bytes) and is stored with the given Unix mode.
void write_zip(const std::string& zip_path, const std::vector<std::pair<std::string, std::string>>& entries,
               unsigned mode = 0644);

// The folders and plug-in files the builder demands of every master folder, as small non-empty
// files. A set's own file of the same path takes the skeleton's place.
std::vector<set_file> master_skeleton();
// The platform the builder gives a master path: 0 All, 1 Macintosh, 2 Windows, 3 Linux, and the
// plug-in libraries' own platforms (the skeleton's).
int master_platform(const std::string& path);

// Lays the set's current files (and the skeleton) out under folder, every file with the same
// modification time, so that their archives are the same bytes on every run.
void write_master(const std::string& folder, const install_set& set);
// The previous release's "directory.txt" that gives each file its older versions (versions 1,
// 2, ...); a header alone when no file has any.
std::string previous_manifest_text(const install_set& set);

// Runs the builder as a release would, with the engine's manifest model and install state put
// back afterwards: build type 0 (web) or 1 (disc), from master/ into out/ (both ending in '/'),
// with the previous manifest at previous (web sets), a disk full after disk_full_kb kilobytes
// and threads workers (0: one per processor).
void build_from_master(int type, const std::string& master, const std::string& out, const std::string& previous,
                       float disk_full_kb = 7670000.0f, int threads = 0);

// Builds the web set with the builder from the set's master folder and previous manifest, and
// puts it at root/<name>/ in place of whatever was there. The builder names a web set after the
// version string; a mirror publishes it under the install name its server list gives.
void write_install_set(const std::string& root, const install_set& set);

// Builds the disc set into out/ (out/disk_<n>/dvd_version.txt, out/disk_<n>/<set name>/...), a
// disk being full after disk_full_kb kilobytes of archives; threads 0 is one per processor.
void write_disc_set(const std::string& out, const install_set& set, float disk_full_kb = 7670000.0f,
                    int threads = 0);

// What a copy installed for the Mac holds: its path below the copy, and its MD5.
std::map<std::string, std::string> mac_copy_of(const install_set& set);
// Lays that copy out under folder (ending in '/') with the set's bytes, as an install would have
// left it, but for the files whose master paths skip lists.
void write_mac_copy(const std::string& folder, const install_set& set, const std::vector<std::string>& skip = {});

// What a bad mirror does to a file's archive.
enum class copy_fault {
    wrong_bytes,     // a well-formed zip with the right entry name and other bytes of the same size
    extra_entries,   // the right entry, and other names beside it, beneath it and above it
    truncated,       // the right archive, cut off half way
    bad_crc,         // the right bytes, stored under a CRC-32 that does not match them
};

// Rewrites, under root, the archives of the set's files whose paths are listed (every file when
// the list is empty) with the fault.
void write_faulty_copies(const std::string& root, const install_set& set, copy_fault fault,
                         const std::vector<std::string>& only = {});

// "serverlist9.txt": the header, an optional FINAL and BETA line, optional extra lines, the servers.
std::string server_list_text(const std::string& final_name, const std::vector<list_server>& list,
                             const std::string& extra_lines = "", const std::string& beta_name = "");

}  // namespace testsupport
