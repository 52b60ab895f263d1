#pragma once
// Vertex batches: geometry recorded once and drawn many times. Batches (xdl) live in storage
// groups (xdl_group); once every batch of a group is recorded and finished, the group packs all
// their vertices into one block and all their indices into another, in client memory or in
// buffer objects, and each batch draws with one call.
//
//   xdl_group* g = xdl_allocate_group(xdl_store_static);
//   xdl* tris = xdl_allocate(g, GL_TRIANGLES, 0, 1, 0, 0, 0);   // positions and colours, indexed
//   xdl_add_command(tris, GL_TRIANGLE_FAN, 5, positions, nullptr, colours, nullptr, nullptr);
//   float sphere[4];
//   xdl_finish(tris, sphere);
//   xdl_finalize_group(g);
//   xdl_draw(tris, 0);
//   ...
//   xdl_destroy(tris);                                           // the last one takes the group
//
// Vertices are interleaved: position, then normal, colour, first and second texture coordinates
// as the format has them (flags bits 0 to 3). Indices are 32-bit and relative to the batch.
#include "core/stats.h"
#include "render/ogl_chunkybuffer.h"

enum xdl_storage_option { xdl_store_memory = 0, xdl_store_stream = 1, xdl_store_static = 2 };

struct xdl_group {
    OGL_chunkybuffer vert_buf;
    OGL_chunkybuffer idx_buf;   // destroyed before vert_buf
    xdl_storage_option storage = xdl_store_memory;
    int ref_count = 0;          // finished batches not yet destroyed
};

// Words 1 to 3 carry the recording state until the group is finalised (the vertex subregion,
// the index subregion, the vertex count), then the packed offsets and sizes in bytes.
struct xdl {
    unsigned long vert_offset;
    unsigned long vert_bytes;
    unsigned long idx_offset;
    unsigned long idx_bytes;
    xdl_group* group;
    int flags;   // bits 0-3 format, bit 4 drawn without indices, bits 8-15 the primitive mode
};

// Byte layout of a vertex by format (0 to 15).
extern const unsigned vertex_size_table[16];
extern const unsigned vertex_offset_table[16];
extern const unsigned normal_offset_table[16];
extern const unsigned color_offset_table[16];
extern const unsigned tex1_offset_table[16];
extern const unsigned tex2_offset_table[16];

// Which texture units get a batch's first and second coordinates (units 0 to 4), and whether its
// colours are used when drawing.
extern unsigned char gTex_Map1;
extern unsigned char gTex_Map2;
extern int gTex_Color;

extern UTL_stat num_xdl_draw;        // "xdl/num_xdl_draw": draw calls this frame
extern UTL_stat num_xdl_vert;        // "xdl/num_xdl_vert": elements those calls named
extern UTL_stat num_xdl;             // "xdl/num_xdl": live batches
extern UTL_stat num_xdl_group;       // "xdl/num_xdl_group": live groups
extern UTL_stat num_xdl_group_map;   // "xdl/num_xdl_group_map": groups mapped by xdl_process

xdl_group* xdl_allocate_group(xdl_storage_option storage);
xdl* xdl_allocate(xdl_group* group, int mode, int normals, int colors, int tex1, int tex2, int no_indices);
void xdl_texmap(unsigned char map1, unsigned char map2, int color);

// type: an OpenGL primitive 0 to 8 other than GL_LINE_LOOP; anything else is a crash alert.
// Strips, fans and quad strips become lists of indices. Arrays the batch's format
// lacks are not read.
void xdl_add_command(xdl* x, int type, int count, const float* positions, const float* normals, const float* colors,
                     const float* tex1, const float* tex2);
// type: GL_POINTS, GL_LINES, GL_TRIANGLES or GL_QUADS (else a crash alert); indices count from the
// command's first vertex; stride in floats per vertex for every array (0: packed arrays).
void xdl_add_command_indexed(xdl* x, int type, int count, int index_count, const float* positions,
                             const float* normals, const float* colors, const float* tex1, const float* tex2,
                             const int* indices, int stride);
// Room the caller fills: count interleaved vertices from *position on, vertex_floats apart, and
// index_count indices (each *vertex_base plus an index into the reserved vertices). Any output
// may be null, but vertex_base must be given with indices.
void xdl_reserve_command(xdl* x, int count, int index_count, float** position, float** normal, float** color,
                         float** tex1, float** tex2, int** indices, int* vertex_base, int* vertex_floats);
// Once per batch, before the group is finalised; sphere (centre x, y, z, radius; radius -1 for
// no vertices) when given. The sphere holds every position but need not be the smallest.
void xdl_finish(xdl* x, float* sphere);
int xdl_group_is_finalized(xdl_group* group);
// Packs the group's stores; a group without finished batches is deleted instead (null).
xdl_group* xdl_finalize_group(xdl_group* group);
int xdl_is_empty(xdl* x);
// fraction 0 draws every element, else that share of them.
void xdl_draw(xdl* x, float fraction);
// The draw call alone, on the arrays the last xdl_draw set up.
void xdl_redraw(xdl* x, float fraction);
void xdl_get_data(xdl* x, const float** positions, const float** normals, const float** colors, const float** tex1,
                  const float** tex2, const int** indices, int* vertex_count, int* index_count, int* vertex_floats);
// Maps the current batch's group (unmapping the previous one's when the group changes) and hands
// its positions, then its normals, to the callback (first value, vertices, floats per vertex,
// 0 positions or 1 normals, ref). A run ends with a call whose current batch is null.
void xdl_process(xdl* previous, xdl* current, void (*callback)(float*, int, int, int, void*), void* ref);
void xdl_destroy(xdl* x);
