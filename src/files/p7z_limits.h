#pragma once
// What a 7z archive's headers may make the reader allocate. The headers give counts (streams,
// folders, files), sizes and each coder's dictionary or model memory, and a decoder sets aside
// memory for them before it reads a byte of data: a 232-byte file can ask for hundreds of
// gigabytes. These checks walk the headers first, with every number bounded by what the archive's
// own bytes could describe and by how much output the caller will take, and call anything beyond
// that a damaged archive.
#include <cstdint>
#include <string>

// Largest dictionary or model memory allowed whatever the output: what the usual compressors'
// strongest settings use, so that archives made with them are read even for small files.
constexpr uint64_t p7z_coder_memory_floor = uint64_t(64) << 20;

// 0 when the headers of the archive open as fd (archive_size bytes) stay within the bounds: no
// count beyond the header bytes that would describe it, packed streams inside the file, unpacked
// sizes of at most unpack_limit in all, and coder memory of at most the larger of
// p7z_coder_memory_floor and the output. An encoded header is decoded (LZMA, LZMA2 or stored)
// into a buffer bounded by the archive's size. 1 (a damaged archive) otherwise. A file that is not
// a 7z archive at all (no signature) passes: the reader gives its own code for that.
int p7z_check_limits(int fd, uint64_t archive_size, uint64_t unpack_limit);
