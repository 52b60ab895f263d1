#pragma once
// The walk of the master folder before a set is built: its layout checks, the rules that say
// which files ship in a web set and which in a disc set, and the checks that close the walk.
// Every failure is a crash alert; nothing is compressed before the walk is over.
#include <set>
#include <string>
#include <vector>

// Paths below the All folder that must be there, ended by a null entry.
extern const char* const kRequiredPaths[];
// One mark per required path, set when the walk meets it.
extern std::vector<int> found_needed;
// Folders below the All folder (ending in '/') that may hold required paths only.
extern std::set<std::string> controlled_folders;

extern int found_all_fold, found_apl_fold, found_win_fold, found_LIN_fold, found_ins_fold, found_wpn_fold,
    found_afl_fold, found_acf_fold, found_res_fold, found_out_fold, found_cus_fold, found_glo_fold, found_plug,
    found_redt, found_orbt, found_com_file;

// Clears the marks and flags of an earlier walk, so one process can build more than one set.
void scan_reset();
// Walks the folder (a full path ending in '/') and everything below it.
void pref_level(const std::string& folder);
// 1 when the file ships. With a 0 and b nonzero the file must also be readable (links are not
// read); a file that would ship but cannot be read stops the build.
int is_good_file(std::string path, int a, int b);
// After the walk of src_fold: every required path and folder met, no customer file.
void scan_closing_checks();
