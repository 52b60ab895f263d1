#include "render/ogl_chunkybuffer.h"

#include <cstring>

#include "core/alert.h"
#include "core/localisation.h"
#include "core/log.h"
#include "core/memory.h"
#include "render/gl_api.h"
#include "render/ogl_extensions.h"

UTL_stat g_mem_used("memory/chunky_buffers", stat_level, 0.0f);

namespace {

constexpr int kFirstChunk = 1024;

// What each target was last bound to through OGL_bind_vbo / OGL_bind_vbo_ind (or left at by
// the buffer's own binds below, which always leave 0).
unsigned long last_vbo = 0;
unsigned long last_vbo_ind = 0;
UTL_stat* num_xdl_group_bind = nullptr;
UTL_stat* num_xdl_group_bind_ind = nullptr;

void count(UTL_stat*& stat, const char* name) {
    if (!stat) stat = new UTL_stat(name, stat_per_frame, 0.0f);
    *stat->value += 1.0f;
}

int used(const chunk_t* c) { return c->capacity - c->free_bytes; }

}  // namespace

chunk_t* chunky_new_chunk(int capacity) {
    auto* c = static_cast<chunk_t*>(xmalloc(sizeof(chunk_t) + static_cast<unsigned long>(capacity)));
    c->next = nullptr;
    c->capacity = capacity;
    c->free_bytes = capacity;
    return c;
}

void OGL_bind_vbo(unsigned long name) {
    if (name == last_vbo) return;
    count(num_xdl_group_bind, "num_xdl_bind");
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(name));
    last_vbo = name;
}

void OGL_bind_vbo_ind(unsigned long name) {
    if (name == last_vbo_ind) return;
    count(num_xdl_group_bind_ind, "num_xdl_bind_ind");
    glExt.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, static_cast<GLuint>(name));
    last_vbo_ind = name;
}

void OGL_bind_vbo_forget_for_test() { last_vbo = last_vbo_ind = 0; }
float OGL_bind_vbo_count() { return num_xdl_group_bind ? *num_xdl_group_bind->value : 0.0f; }

subregion_t* OGL_chunkybuffer::new_subregion(unsigned long* offset_out, unsigned long* size_out, int alignment) {
    auto* r = static_cast<subregion_t*>(xmalloc(sizeof(subregion_t)));
    r->next = nullptr;
    r->first = r->last = chunky_new_chunk(kFirstChunk);
    r->write_pos = r->first->data();
    r->offset_out = offset_out;
    r->size_out = size_out;
    r->alignment = alignment;
    if (last) last->next = r;
    else first = r;
    last = r;
    return r;
}

void OGL_chunkybuffer::calc_offsets() {
    unsigned long at = 0;
    for (subregion_t* r = first; r; r = r->next) {
        if (r->alignment) {
            const unsigned long a = static_cast<unsigned long>(r->alignment);
            at = a * ((at + a - 1) / a);
        }
        unsigned long size = 0;
        for (const chunk_t* c = r->first; c; c = c->next) size += static_cast<unsigned long>(used(c));
        *r->offset_out = at;
        *r->size_out = size;
        at += size;
    }
    total = static_cast<int>(at);
}

// Hands each chunk to `put` with the region it belongs to and the region's bytes before it,
// freeing each chunk right after and each region after its last chunk.
template <typename F>
void OGL_chunkybuffer::consume(F put) {
    for (subregion_t* r = first; r;) {
        unsigned long within = 0;
        for (chunk_t* c = r->first; c;) {
            put(r, within, c);
            within += static_cast<unsigned long>(used(c));
            chunk_t* next = c->next;
            xfree(c);
            c = next;
        }
        subregion_t* next = r->next;
        xfree(r);
        r = next;
    }
    first = last = nullptr;
}

void OGL_chunkybuffer::free_regions() {
    consume([](const subregion_t*, unsigned long, const chunk_t*) {});
}

void OGL_chunkybuffer::finalize_mem() {
    calc_offsets();
    *g_mem_used.value += static_cast<float>(total);
    data = static_cast<unsigned char*>(xmalloc(static_cast<unsigned long>(total)));
    consume([this](const subregion_t* r, unsigned long within, chunk_t* c) {
        std::memcpy(data + *r->offset_out + within, c->data(), static_cast<std::size_t>(used(c)));
    });
}

void OGL_chunkybuffer::finalize_vbo(int static_use) {
    calc_offsets();
    if (total == 0) {
        finalize_mem();
        return;
    }
    *g_mem_used.value += static_cast<float>(total);
    GLuint name = 0;
    glExt.glGenBuffersARB(1, &name);
    vbo = name;
    GLint was_bound = 0;
    gl.glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, &was_bound);
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, vbo);
    glExt.glBufferDataARB(GL_ARRAY_BUFFER_ARB, total, nullptr, static_use ? GL_STATIC_DRAW_ARB : GL_STREAM_DRAW_ARB);
    data = nullptr;
    consume([](const subregion_t* r, unsigned long within, chunk_t* c) {
        glExt.glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLintptrARB>(*r->offset_out + within), used(c),
                                 c->data());
    });
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, static_cast<GLuint>(was_bound));
}

void OGL_chunkybuffer::map() {
    if (!vbo) return;
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, vbo);
    void* mapping = glExt.glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_READ_WRITE_ARB);
    if (!mapping) {
        const GLenum err = gl.glGetError();
        xer << "Map Buffer failed for VBO " << vbo << ", error " << err << " (" << OGL_get_token_name(err) << ")\n";
        xer.flush();
        MACIBM_alert(0, UTL_translate_string("Ventaro has run out of video card memory.", 0),
                     UTL_translate_string("I was unable to shift the scenery.", 0),
                     UTL_translate_string("Try running Ventaro with lower rendering settings.", 0),
                     UTL_translate_string("If that does not help, please report this to Quillon Research!", 0),
                     t_crash);
        return;
    }
    data = static_cast<unsigned char*>(mapping);
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    // 0 is bound now: the cache must say so, or the next bind of this very buffer is skipped.
    last_vbo = 0;
}

void OGL_chunkybuffer::unmap() {
    if (!vbo) return;
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, vbo);
    glExt.glUnmapBufferARB(GL_ARRAY_BUFFER_ARB);
    glExt.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    last_vbo = 0;
    data = nullptr;
}

OGL_chunkybuffer::~OGL_chunkybuffer() {
    if (vbo) {
        // The driver would free a mapped buffer's storage under a live mapping.
        if (is_mapped()) unmap();
        if (last_vbo) OGL_bind_vbo(0);
        if (last_vbo_ind) OGL_bind_vbo_ind(0);
        GLuint name = vbo;
        glExt.glDeleteBuffersARB(1, &name);
    } else if (data) {
        xfree(data);
    }
    free_regions();
    *g_mem_used.value -= static_cast<float>(total);
}
