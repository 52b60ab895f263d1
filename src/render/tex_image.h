#pragma once
// The description every decoded, converted, uploaded or written image carries, and the byte count
// it implies.
//
// Buffer layout: a row is width × bytes-per-pixel bytes followed by row_padding bytes; rows follow
// each other with no gap, bottom row first; with mipmaps each smaller level follows the last row of
// the one before, down to 1 × 1. Compressed levels are whole 4 × 4 blocks and carry no padding.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdint>

struct TEX_image_desc {
    uint32_t format = 0;      // an OpenGL pixel-format or internal-format constant
    int32_t width = 0;
    int32_t height = 0;
    int32_t row_padding = 0;  // bytes after the pixels of every row, the same on every level
    int32_t has_mipmaps = 0;  // 1: every smaller level down to 1 × 1 follows the top one
};

// How TEX_load_png picks the decoded layout.
enum png_alpha_mode {
    png_mode_exact = 0,        // exactly the requested format
    png_mode_follow_alpha = 1, // RGB and RGBA requests follow whether the file has alpha
    png_mode_own_layout = 2,   // the file's own layout: RGBA, RGB or (greyscale) ALPHA
};

// The decoders refuse pictures wider or taller than this, before allocating anything.
constexpr int TEX_max_image_side = 16384;

// Bytes of the image the description describes, every mipmap level included when it has them;
// 0 for a format this table does not know.
int TEX_bytes_needed_for_image(const TEX_image_desc& desc);
// The same count without the int's range: for checking untrusted sizes before trusting them.
// Negative when a side is below 1.
int64_t TEX_bytes_needed_for_image64(const TEX_image_desc& desc);

// Smallest power of two not below n (1 for n below 2).
int TEX_next_pow2(int n);
