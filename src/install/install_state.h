#pragma once
// The install state shared by the engine, the wizard's screens and the preferences,
// and the path globals every engine step works from.
#include <set>
#include <string>

struct install_state {
    int stage;             // 0 fetch manifest archive, 1 read it, 2 newer format, 3 ready
    int platform_filter;   // 0 all, 1 Mac, 2 Windows, 3 Linux
    int log_actions;          // per-file log lines; preference "_log_actions"
    int format_flag;       // 2 once a newer file format was announced
    int error_flag;        // 1 once an archive failed to extract
    int manifest_server;   // index into servers of the manifest's source
    int chosen_tiles[36][18];    // [longitude index][latitude index]
    int offered_tiles[36][18];
    int file_status;       // 0 deleting, 1 installing, 2 present, 3 not needed
    float file_progress;   // 0..1, -0.01 while the length is unknown
    int stream_count;      // preference "_stream_count"; nothing else reads it
    int get_beta;         // preference "_get_beta"
    float download_size;   // kilobytes
    float needed_space;    // kilobytes
    int files_to_get;
    int files_to_delete;
    int offers_global;
    int offers_other;
};

extern install_state stg;

// The values the program starts its install state with, before --os and the preferences apply.
void stg_set_initial();

extern std::string install_name;    // name of the install set
extern std::string dest_dir_path;   // copy being installed, ends in '/'
extern std::string temp_path;       // temporary folder, ends in '/'
extern std::string dvd_path;        // install DVD volume, ends in '/', or empty
extern std::set<std::string> deleted_files;   // folders touched by deletions, each ending in '/'
