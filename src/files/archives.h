#pragma once
// Zip and 7z archives: extracting into a folder, and zipping one file.
//
// Extraction never writes outside the output folder: names that are absolute, hold a ".." part or
// a NUL byte are refused with EPERM, names of 256 bytes or more with ENAMETOOLONG. Links with an
// absolute target are refused with EPERM; the links an archive made are judged once the whole
// archive is out, against the tree as it then stands, and any that leads out of the folder is
// removed and fails the extraction with EPERM. Files are written under a staging name and moved
// over their final name only once they are whole and their CRC is right, so a damaged entry, a
// failed write or a killed run never leaves a half-written file under a final name.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

// Extracts every entry into folder (ending in "/"): folders, links, AppleDouble data (resource
// fork and Finder information, kept as extended attributes), files with their modes and times.
// first_name, when given, receives the first entry's name; with rename set the first entry is
// written under folder + *first_name instead. 0 or the first failure's code.
int zip_to_file(const std::string& zip_path, const std::string& folder, std::string* first_name, int rename);

// Extracts every file of a 7z archive into folder (which must already hold the files' folders).
// path_out, when given, receives each written file's path; with rename set, files are written
// under folder + *path_out. 0 or the first failure's code.
int p7z_to_file(const std::string& p7z_path, const std::string& folder, std::string* path_out, int rename);

// What a checked extraction demands of one entry.
struct checked_entry {
    std::string md5;              // the MD5 its bytes (a link: its text) must have
    uint64_t max_bytes = UINT64_MAX;   // an entry that would grow past this is refused
};

// Where a checked extraction writes: a folder beneath a root that is already open, so that no
// link inside the root, however it got there, can lead the extraction out of it.
struct checked_target {
    int rootfd = -1;              // the root, open (O_PATH is enough)
    std::string root;             // its path, ending in "/", for log lines
    std::string folder;           // the folder to extract into, relative to the root: "" or ending in "/"
};

// Codes of checked extraction.
constexpr int err_entry_missing = 20015;     // the archive does not hold a wanted entry
constexpr int err_md5_mismatch = 20016;      // an entry's bytes are not the wanted ones
constexpr int err_entry_too_large = 20017;   // an entry would grow past its limit

// Extracts only the entries named in want (and each one's own AppleDouble entry, and the folder
// entries above them); every other entry is refused and logged. Each file's MD5 is taken while it
// is inflated, and the file goes under its final name only when its size, CRC and MD5 are right;
// otherwise whatever was at that name stays as it was. 0 or the first failure's code (a wanted
// entry the archive lacks: err_entry_missing). local_failure, when given, is set to true when the
// failure came from the destination's file system (a full disk, no permission) rather than from
// the archive.
int zip_to_checked_files(const std::string& zip_path, const checked_target& target,
                         const std::map<std::string, checked_entry>& want, bool* local_failure);
int p7z_to_checked_files(const std::string& p7z_path, const checked_target& target,
                         const std::map<std::string, checked_entry>& want, bool* local_failure);

// Writes a new zip holding the file (and its resource fork as "__MACOSX/._name"). 0 or a code.
int file_to_zip(const std::string& file, const std::string& zip_path);

// The 7z reader's input: a read and a seek call over an open file.
struct p7z_stream {
    int (*Read)(void* stream, void* buffer, size_t size, size_t* processed);
    int (*Seek)(void* stream, uint64_t position);
    FILE* file;
};
int SzFileReadImp(void* stream, void* buffer, size_t size, size_t* processed);   // always 0
int SzFileSeekImp(void* stream, uint64_t position);                              // 0 or 0x80004005

// 7z decoder results passed through by p7z_to_file.
enum { SZ_ERROR_DATA = 1, SZ_ERROR_MEM = 2 };
