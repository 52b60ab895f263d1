#pragma once
// PNG images on libpng: decoding from a mapped file into a buffer of a chosen layout, and writing
// buffers (screenshots) as PNG files.
#include <string>

#include "render/tex_image.h"

class xmap_class;

// Decodes the PNG at file's cursor. buffer null: allocated here with xmalloc (stride × rows);
// else decoded into it, which must hold that much (inside the staging buffer this is checked).
// format: GL_ALPHA, GL_RGB or GL_RGBA; row_pixels: 0, or the buffer's row width in pixels;
// pow2: pad width and height to powers of two (the margin cleared); gamma: correct from the
// art gamma to the display gamma. Rows land bottom-up; desc gets the layout, size and padding.
// Returns 1 when decoded; 0 for an empty or tiny (7 bytes or fewer) mapping, and 0 after the
// "PNG error!" warning for a damaged, truncated, oversized or unplaceable picture, with nothing
// left allocated.
int TEX_load_png(const std::string& path, xmap_class& file, unsigned char*& buffer, unsigned long format,
                 int row_pixels, int pow2, png_alpha_mode mode, int gamma, TEX_image_desc& desc);

// Writes pixels laid out as desc says (GL_ALPHA, GL_RGB or GL_RGBA, bottom-up, any padding) as a
// PNG at path. 1 written; 0 when the file cannot be opened, libpng fails, or closing fails.
int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* pixels);

// Writes the first width × height pixels of the staging buffer, 4 channels as RGBA, else RGB.
int write_png_to_disk(const std::string& path, int width, int height, int channels);
