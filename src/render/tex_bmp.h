#pragma once
// Uncompressed 24-bit Windows bitmaps, decoded into alpha, RGB or RGBA buffers.
#include <string>

#include "render/tex_image.h"

class xmap_class;

// Decodes the bitmap at file's cursor; the arguments mean what they mean for TEX_load_png. Rows
// stay bottom-up as the file stores them; RGB channels pass through the palette's gamma table
// while it is in use, and pure magenta becomes transparent black in RGBA. Pixels the file is too
// short to hold are left as the buffer had them (zero in a buffer allocated here).
// Returns 1 when decoded; 0 when the file has no mapping, or its size is not one this reader
// takes (a side below 1 or above TEX_max_image_side, rows stored top-down, an image wider than
// row_pixels, or one that does not fit the staging buffer).
int TEX_load_bmp(const std::string& path, xmap_class& file, unsigned char*& buffer, unsigned long format,
                 int row_pixels, int pow2, TEX_image_desc& desc);
