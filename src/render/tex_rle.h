#pragma once
// A run-length code for 32-bit RGBA pictures, cut so that any rectangle of whole tiles unpacks
// without decoding the rest. The stream is 32-bit words: n > 0 and n pixels (a literal run),
// n < 0 and one pixel standing for -n (a repeat run), 0 the end (everything after is absent).
// Every row is cut into segments of the tile width and no run crosses a segment edge, so
// skipping whole segments skips whole runs.
#include "render/tex_image.h"

// Packs a 4-byte-per-pixel picture (its row padding skipped) into a stream out_width pixels
// wide (out_height rows, those below the picture absent, after one end word). The stream
// is xmalloc'd and the caller's, to xfree.
void TEX_pack_image_rle(const TEX_image_desc& desc, const unsigned char* pixels, int out_width, int out_height,
                        int tile_width, unsigned char*& stream);
// Skips skip_first stream pixels, then writes rows x width pixels (rows of width x 4 bytes),
// skipping skip_per_row pixels after each row. Past the end of the stream pixels are zero.
void TEX_unpack_image_rle(const unsigned char* stream, int skip_first, int skip_per_row, int width, int rows,
                          unsigned char* pixels);
// The same walk, blending each pixel over the destination by its alpha and the opacity (0 to
// 256); transparent pixels and whatever lies past the end of the stream leave it as it was.
void TEX_unpack_composite_rle(const unsigned char* stream, int skip_first, int skip_per_row, int width, int rows,
                              unsigned char* pixels, int opacity);
// The same walk over a base stream and a weight stream of the same picture size at once: each
// row is the base tinted by factors its weight texels pick from T0..T3 and B (unpack_mix).
void TEX_unpack_multi_mix_rle(const unsigned char* base, const unsigned char* weights, int skip_first,
                              int skip_per_row, int width, int rows, unsigned char* pixels, int* T0, int* T1,
                              int* T2, int* T3, int* B);
// count RGBA pixels from four planes, one byte of each per pixel; a null plane gives 0.
void TEX_pack_rgba(const unsigned char* red, const unsigned char* green, const unsigned char* blue,
                   const unsigned char* alpha, int count, unsigned char* pixels);
