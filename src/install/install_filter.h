#pragma once
// Which manifest files concern the current job, the size totals, and the per-file
// install / keep / delete decisions.
#include <string>

extern int g_want_sim;      // simulator files (no global-scenery flag)
extern int g_want_global;   // global-scenery files

void set_install_filter(int want_sim, int want_global);
int want_this_f(int file_index, int version_index);
void scenery_take_none();
void scenery_take_all();
void scenery_from_install();
void recalc_disk_sizes();
void trim_dest_folder(std::string& path);
std::string suffix_for_file(int file_index);
// 1 when done, 0 when the user cancelled.
int choose_files();

// dest_dir_path followed by the manifest path less its first folder.
std::string local_path_for(const std::string& manifest_path);
// True when the path, normalised, lies strictly inside dest_dir_path (also normalised).
bool path_is_inside_dest(const std::string& path);
// Lexical normal form: no empty or "." components, ".." folded; keeps a leading '/', drops a trailing one.
std::string normalise_path(const std::string& path);
