#pragma once
// Zip and 7z archives: extracting into a folder, and zipping one file.
//
// Extraction never writes outside the output folder: names that are absolute, hold a ".." part or
// a NUL byte are refused with EPERM, names of 256 bytes or more with ENAMETOOLONG, and links whose
// target leaves the folder with EPERM. Files are created and modes set without following links.
#include <cstddef>
#include <cstdint>
#include <cstdio>
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
