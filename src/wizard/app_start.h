#pragma once
// The installer's own start-up around the framework's: before it, the relaunch of a copy when the
// program runs off the install DVD; after it, the OS folders in the log, the install state, the
// platform to install (--os), the preferences, the folder named by -path and the installed copies.
#include <string>

extern std::string cmd_line_path;   // the folder after a leading "-path": absolute, ending in '/'

// dvd_path from the mounted volumes: the install DVD's root ending in '/', or empty.
void locate_install_dvd();

// True when the bundle lies inside the volume: the volume's whole path (ending in '/') begins
// the bundle's path. An empty volume holds nothing.
bool bundle_is_on_volume(const std::string& volume, const std::string& bundle);

// Copies the bundle into temp_folder (ending in '/') under its own name and starts the copy, which
// ends this process with exit code 1. Returns only when the copy or its start failed: the error
// code, and the program goes on from where it is.
int relaunch_copy(const std::string& bundle, const std::string& temp_folder);

// main's first step: when the bundle lies on the install DVD, copies it to the temporary folder and
// starts the copy, which ends this process. Returns the temporary folder when it goes on.
std::string relaunch_off_install_dvd();

// Writes the OS folders to the log, one "label=path" line each, and flushes it.
void log_os_folders();

// The platform filter for an --os value: ALL 0, APL 1, IBM 2, LIN 3; anything else 1 (Mac).
int os_filter_from_option(const std::string& value);

// A folder given on the command line as the program uses it: relative to the current folder made
// absolute, "." and ".." steps resolved, ending in '/'. Empty stays empty.
std::string absolute_folder(const std::string& path);

// The installer's start state, after MACIBM_init and the bottom-bar art, in this order: the OS
// folders logged, temp_path and install_name, the install state, --os, the preferences, -path,
// and the list of installed copies. temp_folder is what main found before the framework started.
// With VENTARO_TEST_REPORT_START set, the state read ends with one line on standard error.
void wizard_start_state(int argc, char** argv, const std::string& temp_folder);
