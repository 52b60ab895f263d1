#pragma once
// Writes install sets for tests: one zip per file, the zipped manifest, and a server list.
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct set_file {
    std::string path;                 // manifest path, beginning with the set's top folder
    std::string bytes;                // current contents; unused when gone
    int platform = 0;
    bool gone = false;                // the current version removes the file
    std::vector<std::string> older;   // contents of earlier versions, oldest first
};

struct install_set {
    std::string name;                 // install name: the folder the set lies in on a server
    std::vector<set_file> files;
};

struct list_server {
    std::string host;
    std::string path;                 // prefix the install name is appended to, e.g. "/sets/"
    std::string label = "mirror";
};

// MD5 digests as 32 lower-case hex digits, computed by the system's md5sum (not our own code).
std::string md5_hex(const std::string& bytes);
std::vector<std::string> md5_hex_of_files(const std::vector<std::string>& paths);

// One zip archive; each entry is (name, bytes) and is stored with the given Unix mode.
void write_zip(const std::string& zip_path, const std::vector<std::pair<std::string, std::string>>& entries,
               unsigned mode = 0644);

// The text of "directory.txt" for the set, header included. Archive sizes are those written by
// write_install_set when it has run, else 0.
std::string manifest_text(const install_set& set);

// Writes root/<name>/<path>.zip for every current file that is not gone, then
// root/<name>/directory.txt.zip holding the manifest.
void write_install_set(const std::string& root, const install_set& set);

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
