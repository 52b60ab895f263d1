#pragma once
// Paths as UTF-8 strings with '/' as the only separator: splitting, completing relative
// paths, case correction, the OS's standard folders and "RESOURCE:" names in the bundle.
#include <string>

#include "platform/cf_string.h"
#include "platform/fs_ref.h"

enum os_dir_type {
    os_dir_this_app = 0,      // the folder holding the application bundle, ending in '/'
    os_dir_app_bundle = 1,    // the bundle itself, no trailing '/'
    os_dir_desktop = 2,
    os_dir_default_apps = 3,  // also the desktop
    os_dir_temp = 4,          // the user's private temporary folder
    os_dir_prefs = 5
};

void get_file_with_path(std::string& out, const std::string& path);   // last component
void get_path_with_path(std::string& out, const std::string& path);   // folder part, with its '/'
bool is_path_full(const std::string& path);

// Puts app_path before a relative path, then fixes letter case when g_case_sensitive is set.
void set_path_to_full(std::string& path);

// Replaces each component of the zero-terminated path by its spelling on disk, ignoring
// ASCII case; stops at the first folder it cannot read or name it cannot match. Never
// changes the length.
void findPath(char* path);

// Mac Roman text that is not UTF-8 becomes UTF-8; every '\' and ':' becomes '/'.
void set_path_to_right_dirchars(std::string& path);

// flag 0: the folder holding the bundle, ending in "/"; flag 1: the bundle itself, no trailing "/".
// Also records g_case_sensitive.
void MACIBM_set_app_path(std::string& out, int bundle);

// The folder's absolute path ending in '/'; out is left as it was when it cannot be found.
void get_OS_abs_path(os_dir_type which, std::string& out);

bool UTL_path_is_resource(std::string& path);          // strips a leading "RESOURCE:"
std::string UTL_resource_get_file(const std::string& name);  // "" when the bundle lacks it

// With name null: a reference to the path. With name: a reference to its folder, and the last
// component in *name. 0 or an OS status code.
int FilePathToFSRefAndName(const char* path, FSRef* ref, std::string* name);
int FSRefToFilePath(const FSRef& ref, std::string& out);   // 0, or -1 with out unchanged

CFStringRef STLToCFString(const std::string& s);           // caller releases; null when not UTF-8
void CFStringToSTL(CFStringRef s, std::string& out, CFStringEncoding encoding);

// A POSIX path in the colon-separated form, Mac Roman encoded.
void ConvertPathToCFM(std::string& path);
