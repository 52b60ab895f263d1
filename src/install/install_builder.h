#pragma once
// The install-set builder: from a master folder, one archive per shipped file, the zipped
// manifest "directory.txt" with every file's history carried over from the previous release,
// and "dvd_version.txt". A web set (build type 0) is named after the version string and keeps
// histories; a disc set (1) is named after the first edition and spreads its archives over disk
// folders. Runs on the main thread from start to end; any inconsistency is a crash alert.
#include <map>
#include <set>
#include <string>
#include <vector>

// Settings of a build. The program fixes them before it builds (the builder program takes
// them from its command line); these are their values when nothing changes them.
extern int build_type;                  // 0 web set, 1 disc set; any other value makes no set
extern const char* const build_name[3]; // only the first names a disc set
extern std::string src_fold;            // the master folder, ending in '/'
extern std::string dst_fold_base;       // the output folder, ending in '/'
extern std::string old_dir_path;        // the previous release's "directory.txt" (web sets)
// Kilobytes of archives after which a disk is full; the file that passes it ends the disk.
extern float disk_full_kb;
// Threads that compress and hash ahead of the manifest; 0 for one per processor. The set's
// bytes do not depend on it.
extern int builder_threads;

extern const char* const ALL_str;       // "All", platform 0
extern const char* const APL_str;       // "Macintosh", platform 1
extern const char* const WIN_str;       // "Windows", platform 2
extern const char* const LIN_str;       // "Linux", platform 3

// The state of one build.
extern std::string sim_name;            // the set's name
extern std::string dst_folder;          // the current output folder (a disk's folder for disc sets)
extern int dvd_now;                     // the current disk, from 0
extern float zip_size_dvd;              // kilobytes of archives on the current disk
extern int num_files_rec, num_files_use, num_files_com;   // met, taken, compressed
extern int reg;                         // shown in the progress text; always 0
extern std::string prev_dir;            // folder of the last DIR line, "---" at the start
extern std::vector<std::string> comp_files;   // full master paths to compress, in scan order
extern std::set<std::string> comp_paths;      // output folders to make, in byte order

// History keys compare letter by letter with both letters lower-cased; a key that is a prefix
// of another comes first. Keys that differ only in case are one key.
bool no_case_compare_char(char a, char b);
struct no_case_compare_string {
    bool operator()(const std::string& a, const std::string& b) const;
};
extern std::map<std::string, int, no_case_compare_string> sim_info_index;

// Builds the set of build_type, then shows the release checklist.
void build_install();
// Names the set by build_type and builds it, without the checklist: what the tools and the
// tests call. Nothing is built for a build type other than 0 and 1.
void build_install_set();
// Builds one set named sim_name.
void sub_install();
// Makes one file's archive and writes its manifest lines.
void comp_file(std::string full_path);
// Turns a master-relative path into its history key.
void chop_platform(std::string& path, int platform);
// For a disc set, dst_folder becomes the folder of disk n; a web set keeps dst_fold_base.
void set_dest_dvd(int disk);
