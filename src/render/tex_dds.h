#pragma once
// DDS files (S3TC blocks or uncompressed BGR/BGRA, with or without a mip chain) and the S3TC
// conversions, on libsquish.
#include <string>

#include "render/tex_image.h"

class xmap_class;

// How hard the S3TC compressor tries.
enum TEX_s3tc_quality {
    tex_s3tc_fast = 0,     // range fit
    tex_s3tc_normal = 1,   // cluster fit
    tex_s3tc_best = 2,     // iterative cluster fit
};

// Reads the DDS header at file's cursor and points buffer at the pixel data inside the mapping
// (valid while the mapping lives; rows top-down). Returns 1 for a supported format whose every
// level the file holds; 0 otherwise (desc.format left 0): wrong magic, unsupported pixel format,
// a side below 1 or above TEX_max_image_side, or a file shorter than its header and levels.
int TEX_load_dds(const std::string& path, xmap_class& file, const unsigned char*& buffer, TEX_image_desc& desc);

// Writes a GL_RGB (as DXT1) or GL_RGBA (as DXT5) image, bottom-up with any row padding, as a DDS
// file with every mip level down to 1 × 1. 1 written; 0 when the file cannot be created, a write
// or the close fails, or the image has a side below 1 or above TEX_max_image_side.
int TEX_save_dds(const std::string& path, const unsigned char* pixels, const TEX_image_desc& desc);

// RGBA pixels (4 bytes each, no padding) of the source's size into blocks of the destination's
// S3TC format, and back.
void TEX_encode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, const unsigned char* src,
                     unsigned char* dst_blocks, TEX_s3tc_quality quality);
void TEX_decode_s3tc(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, const unsigned char* src_blocks,
                     unsigned char* dst);
