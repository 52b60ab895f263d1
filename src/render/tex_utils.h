#pragma once
// Images in memory: loading by content, flips, box reduction, pasting, alpha clean-up and slopes.
// Every function trusts the description and buffers it is given (they must hold the layout the
// description implies); the loaders are the ones that face files.
#include <string>

#include "render/tex_image.h"

// Maps the file, decodes it as a BMP ("BM") or a PNG (by its signature) without power-of-two
// padding, and releases it. The other arguments mean what they mean for TEX_load_png.
// 0 when the file cannot be mapped, holds 7 bytes or fewer, is neither, or does not decode.
int TEX_load_any(const std::string& path, unsigned char*& buffer, unsigned long format, int row_pixels,
                 png_alpha_mode mode, int gamma, TEX_image_desc& desc);
// The path with its extension (if any) replaced by ".png", then by ".bmp".
int TEX_load_any_ext(const std::string& path, unsigned char*& buffer, unsigned long format, int row_pixels,
                     png_alpha_mode mode, int gamma, TEX_image_desc& desc);

// Turns every level upside down in place (S3TC images block row by block row, gamma-correcting
// the blocks). 1 when a DXT1 image has a three-colour block using the transparent index.
int TEX_flip_y(const TEX_image_desc& desc, unsigned char* pixels);

// Box-filters in place by power-of-two factors that divide the sides; desc gets the new size.
void TEX_downscale(TEX_image_desc& desc, unsigned char* pixels, int x_factor, int y_factor);

// Pastes the source with its bottom-left pixel at (x, y); the source must fit.
void TEX_copy(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, const unsigned char* src,
              unsigned char* dst, int x, int y);
// Scales the source bilinearly into the rectangle and blends it by its alpha.
void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, const unsigned char* src,
                   unsigned char* dst, float left, float bottom, float right, float top);

// RGBA only: transparent pixels become black; transparent pixels take the average colour of the
// opaque ones within two pixels (so filtering shows no dark fringe); pixels close to the key
// colour (sum of channel distances below the tolerance) become transparent.
void TEX_zap_alpha(const TEX_image_desc& desc, unsigned char* pixels);
void TEX_clean_edge(const TEX_image_desc& desc, unsigned char* pixels);
void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* pixels, const unsigned char key[3], int tolerance);
void TEX_chroma_key_wrap(const TEX_image_desc* desc, unsigned char* pixels, const unsigned char key[3], int tolerance);

// Red and green become the slopes of the blue channel to the right and upwards (wrapping).
void TEX_make_gradient(unsigned char* pixels, const TEX_image_desc& desc, float scale);
void TEX_make_gradient(float* pixels, const TEX_image_desc& desc, float scale);
