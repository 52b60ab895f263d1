#pragma once
// File and folder operations over paths. Each path is completed with set_path_to_full before use
// (eject_dvd excepted). Functions that can fail return 0 or an error code; questions return 1 or 0.
#include <cstdint>
#include <string>

int file_exists(const std::string& path);       // a non-folder, links followed; "x/" is never a file
int dir_exists(const std::string& path);        // a folder, links followed; one trailing "/" ignored
int is_sim_link(const std::string& path, std::string* target);   // the path itself is a link
int APL_file_size(const std::string& path);     // low 32 bits of the size; -1 for a folder or failure
int make_file_executable(const std::string& path);   // mode 0755
int delete_file(const std::string& path);       // "x/" removes an empty folder, anything else is unlinked
int make_folder(const std::string& path);       // one folder, mode 0755; EEXIST when there
int rename_file(const std::string& folder, const std::string& old_name, const std::string& new_name);
int make_hard_link(const std::string& existing, const std::string& link_path);   // 0 or errno
int copy_file(const std::string& src, const std::string& dst);            // 0, 2 (cannot open) or errno
int copy_file_recursive(const std::string& src, const std::string& dst);
int recursive_delete_folder(const std::string& folder);   // folder ends in "/"
// The folder and everything in it, hidden entries too; links inside are removed, never followed.
// 0 when it is gone (or was never there), else the first failure's code.
int delete_folder_tree(const std::string& folder);
int get_free_space(const std::string& path, uint64_t* total, uint64_t* free_bytes);
int eject_dvd(const std::string& path);
int APL_is_dvd_disk(int16_t volume);
int show_del_err(int err);          // always 0: deletion errors are not shown
int show_make_dir_err(int err);     // 0 when the folder is there (0, EEXIST, -48), else 1

// The same operations for a path inside the folder root (root ends in '/', path begins with it).
// Every step of resolving the path stays beneath root, so a link inside it, however it got there,
// never leads a write, a mode change or a deletion outside: such a path fails with EXDEV, and so
// does a path that is not under root. The last component itself is not followed, except by
// make_file_executable_in, which follows a link only while it stays beneath root.
int delete_file_in(const std::string& root, const std::string& path);   // "x/" removes an empty folder
int make_folder_in(const std::string& root, const std::string& path);   // one folder, mode 0755
int make_file_executable_in(const std::string& root, const std::string& path);
int rename_file_in(const std::string& root, const std::string& folder, const std::string& old_name,
                   const std::string& new_name);
int is_sim_link_in(const std::string& root, const std::string& path);   // 1 when the path itself is a link
int count_items_in(const std::string& root, const std::string& folder); // visible entries; 0 when unreadable
