#pragma once
// The header every versioned file starts with, and the one stream files are written through.
//
// Text: "I" (or "A") on line 1, "<version> version" on line 2, then a type word line for most
// kinds. Binary: 'i' (little-endian) or 'a' (big-endian), then a 32-bit version.
// The reader side is xmap_class::check_file (see xmap.h).
#include <fstream>
#include <string>

enum { file_kind_binary = 10000, file_kind_text = 10001 };

// The output stream for ouf_open; the caller writes the body and closes it.
extern std::ofstream ouf;

// Opens ouf on the path (truncating; its last three characters are lower-cased) and writes the
// header. A missing last folder is made once. 1 on success; 0 after a warning alert.
int ouf_open(const std::string& path, int kind, int version, const std::string& note);
