#include "render/ogl_xdl.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/alert.h"
#include "render/gl_api.h"
#include "render/ogl_client_state.h"
#include "render/ogl_extensions.h"

// A batch's first words hold subregion addresses while it records.
static_assert(sizeof(unsigned long) >= sizeof(void*));

UTL_stat num_xdl_draw("xdl/num_xdl_draw", stat_per_frame, 0.0f);
UTL_stat num_xdl_vert("xdl/num_xdl_vert", stat_per_frame, 0.0f);
UTL_stat num_xdl("xdl/num_xdl", stat_level, 0.0f);
UTL_stat num_xdl_group("xdl/num_xdl_group", stat_level, 0.0f);
UTL_stat num_xdl_group_map("xdl/num_xdl_group_map", stat_level, 0.0f);

unsigned char gTex_Map1 = 0;
unsigned char gTex_Map2 = 0;
int gTex_Color = 0;

namespace {

constexpr int kChunk = 1024;
constexpr int kNoIndices = 16;
const char* const kFile = "QFutils/OGL/OGL_xdl";

subregion_t* vertex_region(const xdl* x) { return reinterpret_cast<subregion_t*>(x->vert_offset); }
subregion_t* index_region(const xdl* x) { return reinterpret_cast<subregion_t*>(x->vert_bytes); }
int format(const xdl* x) { return x->flags & 15; }
int vertex_size(const xdl* x) { return static_cast<int>(vertex_size_table[format(x)]); }
bool has(const xdl* x, int attribute_bit) { return (x->flags >> attribute_bit) & 1; }

// Where a store's packed data lies for OpenGL: the memory block, or (for a buffer object, whose
// data pointer is null) the offset itself.
const unsigned char* packed(const OGL_chunkybuffer& b, unsigned long offset) {
    return reinterpret_cast<const unsigned char*>(reinterpret_cast<uintptr_t>(b.data) + offset);
}

chunk_t* open_chunk(subregion_t* r, int capacity) {
    chunk_t* c = chunky_new_chunk(capacity);
    r->last->next = c;
    r->last = c;
    r->write_pos = c->data();
    return c;
}

template <typename T>
void append(subregion_t* r, T value) {
    static_assert(sizeof(T) == 4);
    if (r->last->free_bytes < 4) open_chunk(r, kChunk);
    std::memcpy(r->write_pos, &value, 4);
    r->write_pos += 4;
    r->last->free_bytes -= 4;
}

// n bytes that never straddle two chunks.
unsigned char* reserve(subregion_t* r, int n) {
    if (n > r->last->free_bytes) open_chunk(r, std::max(n, kChunk));
    unsigned char* at = r->write_pos;
    r->write_pos += n;
    r->last->free_bytes -= n;
    return at;
}

void append_vertices(xdl* x, int count, const float* p, const float* n, const float* c, const float* t1,
                     const float* t2, int stride) {
    subregion_t* r = vertex_region(x);
    auto put = [&](const float*& from, int floats) {
        for (int i = 0; i < floats; ++i) append(r, from[i]);
        from += stride ? stride : floats;
    };
    for (int v = 0; v < count; ++v) {
        put(p, 3);
        if (has(x, 0)) put(n, 3);
        if (has(x, 1)) put(c, 4);
        if (has(x, 2)) put(t1, 2);
        if (has(x, 3)) put(t2, 2);
    }
}

void draw_call(xdl* x, float fraction) {
    const unsigned s = vertex_size_table[format(x)];
    const GLenum mode = static_cast<GLenum>((x->flags >> 8) & 0xFF);
    const bool without_indices = x->flags & kNoIndices;
    const unsigned long count = without_indices ? x->vert_bytes / s : x->idx_bytes / 4;
    const GLsizei drawn = fraction == 0 ? static_cast<GLsizei>(count)
                                        : static_cast<GLsizei>(fraction * static_cast<float>(count));
    if (without_indices)
        gl.glDrawArrays(mode, 0, drawn);
    else
        gl.glDrawElements(mode, drawn, GL_UNSIGNED_INT, packed(x->group->idx_buf, x->idx_offset));
    *num_xdl_vert.value += static_cast<float>(count);
    *num_xdl_draw.value += 1.0f;
}

}  // namespace

// Format bits: 1 normal (3 floats), 2 colour (4), 4 first and 8 second texture coordinates (2 each),
// stored in that order after the position. An absent attribute's offset is where it would start.
const unsigned vertex_size_table[16] = {12, 24, 28, 40, 20, 32, 36, 48, 20, 32, 36, 48, 28, 40, 44, 56};
const unsigned vertex_offset_table[16] = {};
const unsigned normal_offset_table[16] = {12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12};
const unsigned color_offset_table[16] = {12, 24, 12, 24, 12, 24, 12, 24, 12, 24, 12, 24, 12, 24, 12, 24};
const unsigned tex1_offset_table[16] = {12, 24, 28, 40, 12, 24, 28, 40, 12, 24, 28, 40, 12, 24, 28, 40};
const unsigned tex2_offset_table[16] = {12, 24, 28, 40, 20, 32, 36, 48, 12, 24, 28, 40, 20, 32, 36, 48};

xdl_group* xdl_allocate_group(xdl_storage_option storage) {
    auto* g = new xdl_group;
    g->storage = storage;
    *num_xdl_group.value += 1.0f;
    return g;
}

xdl* xdl_allocate(xdl_group* group, int mode, int normals, int colors, int tex1, int tex2, int no_indices) {
    auto* x = new xdl{};
    x->group = group;
    x->flags = (mode << 8) | (normals ? 1 : 0) | (colors ? 2 : 0) | (tex1 ? 4 : 0) | (tex2 ? 8 : 0) |
               (no_indices ? kNoIndices : 0);
    x->vert_offset = reinterpret_cast<unsigned long>(
        group->vert_buf.new_subregion(&x->vert_offset, &x->vert_bytes, vertex_size(x)));
    x->vert_bytes =
        reinterpret_cast<unsigned long>(group->idx_buf.new_subregion(&x->idx_offset, &x->idx_bytes, 0));
    x->idx_offset = 0;
    *num_xdl.value += 1.0f;
    return x;
}

void xdl_texmap(unsigned char map1, unsigned char map2, int color) {
    gTex_Map1 = map1;
    gTex_Map2 = map2;
    gTex_Color = color;
}

void xdl_add_command(xdl* x, int type, int count, const float* positions, const float* normals, const float* colors,
                     const float* tex1, const float* tex2) {
    subregion_t* idx = index_region(x);
    const long v = static_cast<long>(x->idx_offset);
    auto index = [&](long i) { append(idx, static_cast<int32_t>(i)); };
    switch (type) {
    case GL_POINTS:
    case GL_LINES:
    case GL_TRIANGLES:
    case GL_QUADS:
        if (x->flags & kNoIndices) break;
        for (long i = 0; i < count; ++i) index(v + i);
        x->idx_offset = static_cast<unsigned long>(v + count);
        break;
    case GL_LINE_STRIP:
        for (long i = 1; i < count; ++i) {
            index(v + i - 1);
            index(v + i);
        }
        x->idx_offset = static_cast<unsigned long>(v + count);
        break;
    case GL_TRIANGLE_STRIP:
        for (long i = 2; i < count; ++i) {
            index(v + i - 2);
            index(i % 2 ? v + i : v + i - 1);
            index(i % 2 ? v + i - 1 : v + i);
        }
        x->idx_offset = static_cast<unsigned long>(v + count);
        break;
    case GL_TRIANGLE_FAN:
        for (long i = 2; i < count; ++i) {
            index(v);
            index(v + i - 1);
            index(v + i);
        }
        x->idx_offset = static_cast<unsigned long>(v + count);
        break;
    case GL_QUAD_STRIP:
        for (long k = 0; k <= count / 2 - 2; ++k) {
            index(v + 2 * k);
            index(v + 2 * k + 1);
            index(v + 2 * k + 3);
            index(v + 2 * k + 2);
        }
        x->idx_offset = static_cast<unsigned long>(v + count);
        break;
    default:
        __MACIBM_alert(0, "Polygon or unknown command in XDL.", "", "", "", t_crash, kFile, 386);
        return;
    }
    append_vertices(x, count, positions, normals, colors, tex1, tex2, 0);
}

void xdl_add_command_indexed(xdl* x, int type, int count, int index_count, const float* positions,
                             const float* normals, const float* colors, const float* tex1, const float* tex2,
                             const int* indices, int stride) {
    if (type != GL_POINTS && type != GL_LINES && type != GL_TRIANGLES && type != GL_QUADS) {
        __MACIBM_alert(0, "Polygon or stripped primitive or unknown command in indexed XDL.", "", "", "", t_crash,
                       kFile, 473);
        return;
    }
    const long v = static_cast<long>(x->idx_offset);
    for (int j = 0; j < index_count; ++j) append(index_region(x), static_cast<int32_t>(v + indices[j]));
    x->idx_offset = static_cast<unsigned long>(v + count);
    append_vertices(x, count, positions, normals, colors, tex1, tex2, stride);
}

void xdl_reserve_command(xdl* x, int count, int index_count, float** position, float** normal, float** color,
                         float** tex1, float** tex2, int** indices, int* vertex_base, int* vertex_floats) {
    const int f = format(x);
    if (indices) {
        *vertex_base = static_cast<int>(x->idx_offset);
        *indices = index_count ? reinterpret_cast<int*>(reserve(index_region(x), 4 * index_count)) : nullptr;
    }
    if (vertex_floats) *vertex_floats = vertex_size(x) / 4;
    unsigned char* start = count ? reserve(vertex_region(x), count * vertex_size(x)) : nullptr;
    auto at = [&](float** out, unsigned offset) {
        if (out) *out = start ? reinterpret_cast<float*>(start + offset) : nullptr;
    };
    at(position, vertex_offset_table[f]);
    at(normal, normal_offset_table[f]);
    at(color, color_offset_table[f]);
    at(tex1, tex1_offset_table[f]);
    at(tex2, tex2_offset_table[f]);
    x->idx_offset += static_cast<unsigned long>(count);
}

void xdl_finish(xdl* x, float* sphere) {
    x->group->ref_count += 1;
    if (!sphere) return;
    sphere[3] = -1.0f;
    const int floats = vertex_size(x) / 4;
    // The recorded floats in order; a vertex may straddle two chunks.
    float p[3] = {};
    int within = 0;   // floats of the current vertex read so far
    bool first = true;
    float cx = 0, cy = 0, cz = 0, r = 0;
    for (chunk_t* c = vertex_region(x)->first; c; c = c->next) {
        const int used = (c->capacity - c->free_bytes) / 4;
        for (int i = 0; i < used; ++i, within = (within + 1) % floats) {
            if (within >= 3) continue;
            std::memcpy(&p[within], c->data() + 4 * i, 4);
            if (within < 2) continue;
            if (first) {
                cx = p[0];
                cy = p[1];
                cz = p[2];
                first = false;
                continue;
            }
            const float dx = p[0] - cx, dy = p[1] - cy, dz = p[2] - cz;
            const float d2 = dx * dx + dy * dy + dz * dz;
            if (d2 <= r * r) continue;
            const float d = std::sqrt(d2);
            const float grown = (r + d) * 0.5f;
            const float k = (d - grown) / d;
            cx += dx * k;
            cy += dy * k;
            cz += dz * k;
            r = grown;
        }
    }
    if (first) return;
    sphere[0] = cx;
    sphere[1] = cy;
    sphere[2] = cz;
    sphere[3] = r;
}

int xdl_group_is_finalized(xdl_group* group) { return group->vert_buf.vbo || group->vert_buf.data ? 1 : 0; }

xdl_group* xdl_finalize_group(xdl_group* group) {
    if (group->ref_count == 0) {
        *num_xdl_group.value -= 1.0f;
        delete group;
        return nullptr;
    }
    const bool objects = glExt.vbo_avail && group->storage != xdl_store_memory;
    const int static_use = group->storage == xdl_store_static ? 1 : 0;
    if (objects) group->vert_buf.finalize_vbo(static_use);
    else group->vert_buf.finalize_mem();
    if (objects && glExt.idx_in_vram) group->idx_buf.finalize_vbo(static_use);
    else group->idx_buf.finalize_mem();
    return group;
}

int xdl_is_empty(xdl* x) { return x->idx_bytes == 0 && x->vert_bytes == 0 ? 1 : 0; }

void xdl_draw(xdl* x, float fraction) {
    const int f = format(x);
    const GLsizei s = static_cast<GLsizei>(vertex_size_table[f]);
    xdl_group* g = x->group;
    if (glExt.vbo_avail) {
        OGL_bind_vbo(g->vert_buf.vbo);
        OGL_bind_vbo_ind(g->idx_buf.vbo);
    }
    const unsigned char* base = packed(g->vert_buf, x->vert_offset);
    const unsigned char m1 = has(x, 2) ? gTex_Map1 : 0;
    const unsigned char m2 = has(x, 3) ? gTex_Map2 : 0;
    const bool colors = gTex_Color && has(x, 1);
    OGL_setclientstate(has(x, 0) ? ogl_nrm_on : ogl_nrm_off, colors ? ogl_col_on : ogl_col_off,
                       static_cast<unsigned char>(m1 | m2));
    gl.glVertexPointer(3, GL_FLOAT, s, base + vertex_offset_table[f]);
    if (has(x, 0)) gl.glNormalPointer(GL_FLOAT, s, base + normal_offset_table[f]);
    if (colors) gl.glColorPointer(4, GL_FLOAT, s, base + color_offset_table[f]);
    const unsigned char* t1 = base + tex1_offset_table[f];
    const unsigned char* t2 = base + tex2_offset_table[f];
    if (m1 & 1) gl.glTexCoordPointer(2, GL_FLOAT, s, t1);
    if (m2 & 1) gl.glTexCoordPointer(2, GL_FLOAT, s, t2);
    for (int u = 1; u <= 4; ++u) {
        if ((m1 >> u) & 1) {
            gl.glClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(u));
            gl.glTexCoordPointer(2, GL_FLOAT, s, t1);
        }
        if ((m2 >> u) & 1) {
            gl.glClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(u));
            gl.glTexCoordPointer(2, GL_FLOAT, s, t2);
        }
    }
    gl.glClientActiveTexture(GL_TEXTURE0);
    draw_call(x, fraction);
}

void xdl_redraw(xdl* x, float fraction) { draw_call(x, fraction); }

void xdl_get_data(xdl* x, const float** positions, const float** normals, const float** colors, const float** tex1,
                  const float** tex2, const int** indices, int* vertex_count, int* index_count, int* vertex_floats) {
    const int f = format(x);
    const unsigned char* base = packed(x->group->vert_buf, x->vert_offset);
    auto at = [&](const float** out, unsigned offset) {
        if (out) *out = reinterpret_cast<const float*>(base + offset);
    };
    at(positions, vertex_offset_table[f]);
    at(normals, normal_offset_table[f]);
    at(colors, color_offset_table[f]);
    at(tex1, tex1_offset_table[f]);
    at(tex2, tex2_offset_table[f]);
    if (vertex_count) *vertex_count = static_cast<int>(x->vert_bytes / vertex_size_table[f]);
    if (vertex_floats) *vertex_floats = vertex_size(x) / 4;
    if (x->flags & kNoIndices) return;
    if (indices) *indices = reinterpret_cast<const int*>(packed(x->group->idx_buf, x->idx_offset));
    if (index_count) *index_count = static_cast<int>(x->idx_bytes / 4);
}

void xdl_process(xdl* previous, xdl* current, void (*callback)(float*, int, int, int, void*), void* ref) {
    xdl_group* pg = previous ? previous->group : nullptr;
    xdl_group* cg = current ? current->group : nullptr;
    if (pg != cg) {
        bool rebound = false;
        if (pg) {
            pg->vert_buf.unmap();
            rebound = pg->vert_buf.vbo != 0;
            *num_xdl_group_map.value -= 1.0f;
        }
        if (cg) {
            cg->vert_buf.map();
            rebound = rebound || cg->vert_buf.vbo != 0;
            *num_xdl_group_map.value += 1.0f;
        }
        // Mapping leaves no array buffer bound; the cache must agree.
        if (rebound) OGL_bind_vbo(0);
    }
    if (!current) return;
    const int f = format(current);
    unsigned char* base = cg->vert_buf.data + current->vert_offset;
    const int count = static_cast<int>(current->vert_bytes / vertex_size_table[f]);
    const int stride = vertex_size(current) / 4;
    callback(reinterpret_cast<float*>(base + vertex_offset_table[f]), count, stride, 0, ref);
    if (has(current, 0)) callback(reinterpret_cast<float*>(base + normal_offset_table[f]), count, stride, 1, ref);
}

void xdl_destroy(xdl* x) {
    xdl_group* g = x->group;
    if (--g->ref_count == 0) {
        *num_xdl_group.value -= 1.0f;
        delete g;
    }
    delete x;
    *num_xdl.value -= 1.0f;
}
