#include "render/tex_scratch.h"

#include <cstdint>

unsigned char scratch_array_storage[scratch_array_bytes + 16];
unsigned char* scratch_array = TEX_scratch_aligned_start();
int scratch_dx = 0;
int scratch_dy = 0;

unsigned char* TEX_scratch_aligned_start() {
    const auto at = reinterpret_cast<std::uintptr_t>(scratch_array_storage);
    return scratch_array_storage + ((16 - at % 16) % 16);
}

std::size_t TEX_room_at(const unsigned char* dest) {
    const auto d = reinterpret_cast<std::uintptr_t>(dest);
    const auto begin = reinterpret_cast<std::uintptr_t>(scratch_array_storage);
    const auto end = reinterpret_cast<std::uintptr_t>(TEX_scratch_aligned_start()) + scratch_array_bytes;
    if (d < begin || d >= end) return SIZE_MAX;
    return end - d;
}
