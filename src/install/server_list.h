#pragma once
// The download servers and getting the manifest, from the web or from an install DVD.
#include <string>
#include <vector>

struct server_t {
    std::string host;    // as the HTTP client takes it, no trailing '/'
    std::string path;    // URL prefix ending in the install name and '/'
    std::string label;   // kept, never shown
};

extern std::vector<server_t> servers;

const int this_installer_version = 20603;

// Host serving "serverlist9.txt".
const char* const server_list_host = VENTARO_SERVER_HOST;

// One step of the web road; the caller watches servers and stg's stage.
void UTL_download_directory();
// One step of the DVD road; the caller watches dvd_path, install_name and stg's stage.
void UTIL_scan_dvd();

// Longest host, and longest server path with the install name, taken from a list or an option.
const size_t server_path_max = 1024;

// Reads a downloaded server list into servers and install_name and applies the command-line
// server options. Returns 0 when read, 1 after a newer installer was announced, 2 after a
// newer format was announced.
int read_server_list(const std::string& path);

// The last failed fetch of the server list or of the manifest while the engine tries again; the
// host is empty when there is none (nothing failed yet, or a later fetch succeeded).
struct directory_failure {
    std::string host;
    std::string error;        // what went wrong, a sentence for the user
    float retry_time = 0.0f;  // frame-clock seconds of the next attempt
};
const directory_failure& UTL_directory_failure();

// Forgets the retry pace and the logged warnings (tests start each case from nothing).
void server_list_reset_for_test();
