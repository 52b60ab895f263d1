#pragma once
// The staging image: a 16 MiB buffer that images decoded or drawn in memory pass through on their
// way to a texture. The caller fills it, sets scratch_dx and scratch_dy, and loads a texture whose
// name begins "scratch_array".
#include <cstddef>

constexpr std::size_t scratch_array_bytes = 16u * 1024u * 1024u;

extern unsigned char scratch_array_storage[scratch_array_bytes + 16];
// The first 16-byte boundary inside the storage (start-up points it there again before TEX_init).
extern unsigned char* scratch_array;
extern int scratch_dx;   // width in pixels of the staged image
extern int scratch_dy;   // height in pixels

// scratch_array_storage advanced to its first 16-byte boundary.
unsigned char* TEX_scratch_aligned_start();

// Bytes a decoder may write at dest: what is left of the staging buffer when dest lies inside it,
// else the caller's word alone (returned as SIZE_MAX).
std::size_t TEX_room_at(const unsigned char* dest);
