#pragma once
// The manifest model: every path of the install set with its version history,
// and the reader of "directory.txt" that fills it.
#include <string>
#include <vector>

struct file_version_struct {
    int platform = 0;           // 0 all, 1 Mac, 2 Windows, 3 Linux, 6 Linux plug-ins in the common folder
    int version = 0;
    float comp_size = 0.0f;     // kilobytes of the archive
    float uncomp_size = 0.0f;   // kilobytes of the installed file
    std::string sig_want;       // 32 lower-case hex digits, or "GONE"
    std::string sig_have;       // MD5 of the local file, "NONE" when missing
    std::string path;           // begins with the set's top folder
    int disk = 0;
    int match = 0;
    int global_scenery = 0;
    int lat_index = 0;          // 0..17
    int lon_index = 0;          // 0..35
    int install = 0;
    int del = 0;
    float progress_weight = 0.0f;
};

struct file_history_struct {
    std::vector<file_version_struct> versions;   // oldest first; the last is current

    file_history_struct() = default;
    file_history_struct(const file_history_struct& o) : versions(o.versions) {}
    file_history_struct& operator=(const file_history_struct&) = default;

    file_version_struct& current() { return versions.back(); }
    const file_version_struct& current() const { return versions.back(); }
};

extern std::vector<file_history_struct> sim_info;

// Longest path a manifest may give a file (its folder prefix and name together).
const size_t manifest_path_max = 1024;

// 3 when read, 2 when the header is not accepted (a newer format has been announced).
int read_directory(const std::string& path);

int is_global_scenery_f(const char* path);
int find_sector(int* lon_index, int* lat_index, std::string path);
int path_has_no_file(std::string path);

// A manifest path is safe when every component is a real name: not empty, "." or "..",
// without backslashes or control characters.
bool manifest_path_is_safe(const std::string& path);
// An MD5 field is 32 hex digits or "GONE".
bool manifest_sig_is_valid(const std::string& sig);
