#pragma once
// How one manifest file comes out of its own archive into the destination. The web download uses
// it now and the DVD pipeline is meant to: a file counts as installed only when its bytes have the
// manifest's MD5. The archive may write only that file and its own resource-fork entry; the file
// is inflated under a staging name beside its final name, hashed on the way, and renamed into
// place only when its size, CRC and MD5 are right, so a wrong or damaged copy leaves the old file
// untouched. Every step resolves beneath the destination's root: a link inside the copy can never
// lead the write out of it.
#include <cstdint>
#include <string>

#include "install/manifest.h"

struct install_result {
    int code = 0;        // 0: the file is in place with the wanted MD5
    bool local = false;  // the failure came from the destination's disk (full, no permission):
                         // another copy of the archive would fail the same way
    bool link = false;   // in place, and a symbolic link: where it leads depends on the whole tree
};

// The largest size a file of the manifest's size may have: sizes are whole kilobytes of 1000
// bytes, cut down, so anything below the next whole kilobyte.
uint64_t manifest_size_limit(const file_version_struct& want);

// Extracts the archive (".7z" by its name, else zip) into the file at local_path, which lies
// under root (ending in '/'); want is the file's current version.
install_result install_file_from_archive(const std::string& archive, const std::string& root,
                                         const std::string& local_path, const file_version_struct& want);

// A sentence for the codes of checked extraction, else error_sentence of the code.
std::string install_error_text(int code);
