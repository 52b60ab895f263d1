#pragma once
// Vertex or index data gathered in many regions that grow chunk by chunk (nothing moves while
// they grow), then packed once into one block: ordinary memory or one buffer object. Each
// region learns its offset in the block and its size through two words its owner handed in.
//
//   OGL_chunkybuffer buf;
//   unsigned long off = 0, size = 0;
//   subregion_t* r = buf.new_subregion(&off, &size, 12);
//   ... append whole 32-bit words into r's chunks ...
//   buf.finalize_vbo(1);          // off and size are now set; the chunks are gone
//
// Also the binding caches of the array and element-array targets. Main thread, context current.
#include "core/stats.h"

// One piece of a region: a head, then `capacity` bytes of data. The used bytes (capacity less
// free) lie at the start of the data.
struct chunk_t {
    chunk_t* next;
    int capacity;
    int free_bytes;
    unsigned char* data() { return reinterpret_cast<unsigned char*>(this + 1); }
};

struct subregion_t {
    subregion_t* next;
    chunk_t* first;
    chunk_t* last;
    unsigned char* write_pos;   // where the next byte goes in `last`
    unsigned long* offset_out;
    unsigned long* size_out;
    int alignment;              // 0: none; else the offset is a multiple of it
};

// A chunk of `capacity` data bytes, all free; xfree releases it.
chunk_t* chunky_new_chunk(int capacity);

class OGL_chunkybuffer {
public:
    OGL_chunkybuffer() = default;
    ~OGL_chunkybuffer();
    OGL_chunkybuffer(const OGL_chunkybuffer&) = delete;
    OGL_chunkybuffer& operator=(const OGL_chunkybuffer&) = delete;

    // A region of one empty 1024-byte chunk, appended to the list.
    subregion_t* new_subregion(unsigned long* offset_out, unsigned long* size_out, int alignment);
    // The layout alone: offsets, sizes and the total, nothing moved.
    void calc_offsets();
    void finalize_mem();
    // static_use nonzero: static usage, else stream. An empty buffer goes to memory instead.
    void finalize_vbo(int static_use);
    void map();
    void unmap();
    int is_mapped() const { return vbo && data; }

    unsigned char* data = nullptr;   // the packed block, or the mapping while mapped
    unsigned vbo = 0;
    int total = 0;
    subregion_t* first = nullptr;
    subregion_t* last = nullptr;

private:
    void free_regions();
    template <typename F>
    void consume(F put);
};

// Bind a buffer object to the array-buffer (element-array-buffer) target unless the cache says
// it is bound already; each bind issued is counted.
void OGL_bind_vbo(unsigned long name);
void OGL_bind_vbo_ind(unsigned long name);

extern UTL_stat g_mem_used;   // "memory/chunky_buffers": bytes in packed blocks

// Test seam: both binding caches back to 0, as at start.
void OGL_bind_vbo_forget_for_test();
// The array-buffer bind counter this frame (0 until its first bind).
float OGL_bind_vbo_count();
