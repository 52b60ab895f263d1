#include "render/tex_obj.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/alert.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/thread_layer.h"
#include "files/file_ops.h"
#include "files/xmap.h"
#include "render/ogl_extensions.h"
#include "render/renderer_options.h"
#include "render/tex_bind.h"
#include "render/tex_bmp.h"
#include "render/tex_dds.h"
#include "render/tex_png.h"
#include "render/tex_scratch.h"
#include "render/tex_utils.h"
#include "render/tman.h"

namespace {

UTL_message_queue<void*>* sKillQueue = nullptr;
std::atomic<int> total_texes_ctr{0};
std::atomic<int> loaded_texes_ctr{0};

constexpr int kMaxSide = 2048;

std::string number_text(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%1.0f", v);
    return buf;
}

// Misuse of the texture code: the path, "value:" and the offending number.
void misuse(const std::string& what, const std::string& path, double value) {
    MACIBM_alert(0, what, path, "value:", number_text(value), t_crash);
}

bool is_pow2(int n) { return n > 0 && (n & (n - 1)) == 0; }

bool on_main_thread() { return !THREAD_is_inited() || THREAD_is_main_thread(); }

void* name_as_item(GLuint name) { return reinterpret_cast<void*>(static_cast<uintptr_t>(name)); }

void give_up_name(GLuint name, bool on_main) {
    if (name == 0 || name == static_cast<GLuint>(tex_ref_blank_gray)) return;
    if (on_main) {
        if (gl.glDeleteTextures) gl.glDeleteTextures(1, &name);
        TEX_reset_bind();
    } else if (sKillQueue) {
        UTL_message_queue_write(sKillQueue, name_as_item(name));
    }
}

struct layout_entry {
    GLenum format;
    png_alpha_mode png_mode;
};

// Colour layout (the flags' low four bits) to the pixel format asked of the decoders.
layout_entry layout_of(int layout) {
    switch (layout) {
    case tex_layout_rgb: return {GL_RGB, png_mode_exact};
    case tex_layout_rgba: return {GL_RGBA, png_mode_exact};
    case tex_layout_alpha: return {GL_ALPHA, png_mode_exact};
    case tex_layout_png_own: return {GL_RGB, png_mode_own_layout};
    case tex_layout_rgb_follow: return {GL_RGB, png_mode_follow_alpha};
    case tex_layout_rgba_follow: return {GL_RGBA, png_mode_follow_alpha};
    case tex_layout_depth: return {GL_DEPTH_COMPONENT, png_mode_exact};
    case tex_layout_bgra: return {GL_BGRA, png_mode_exact};
    case tex_layout_one_channel: return {0x2002, png_mode_exact};
    case tex_layout_rg: return {GL_RG, png_mode_exact};
    default: return {GL_RGB, png_mode_exact};
    }
}

GLenum internal_format_of(GLenum format, int flags) {
    GLenum f = format == GL_BGRA ? GL_RGBA : format == GL_BGR ? GL_RGB : format;
    if (flags & tex_flag_float) {
        switch (f) {
        case GL_RGBA: f = GL_RGBA16F_ARB; break;
        case GL_RGB: f = GL_RGB16F_ARB; break;
        case GL_ALPHA: f = GL_ALPHA16F_ARB; break;
        case 0x2002: f = GL_R16F; break;
        case GL_RG: f = GL_RG16F; break;
        default: break;
        }
    }
    if (f == GL_DEPTH_COMPONENT) f = GL_DEPTH_COMPONENT24;
    if (flags & tex_flag_sized8) {
        if (f == GL_RGB) f = GL_RGB8;
        else if (f == GL_RGBA) f = GL_RGBA8;
    }
    return f;
}

int level_bytes(const TEX_image_desc& d, int w, int h) {
    TEX_image_desc level = d;
    level.width = w;
    level.height = h;
    level.has_mipmaps = 0;
    return TEX_bytes_needed_for_image(level);
}

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

// The picture about to be uploaded.
struct TEX_obj::image {
    TEX_image_desc desc;
    unsigned char* pixels = nullptr;   // null: storage without contents
    unsigned char* owned = nullptr;    // freed once uploaded
    bool own_mips = false;             // the buffer holds the whole chain (DDS)
    std::string tried;                 // the file looked at
};

TEX_obj::TEX_obj(int ref_, int gl_id_, const std::string& path_, int flags_, tex_fail_mode fail)
    : path(path_), from_file(1), ref(ref_), flags(flags_), fail_mode(fail),
      target((flags_ & tex_flag_3d) ? GL_TEXTURE_3D : GL_TEXTURE_2D) {
    gl_id = static_cast<unsigned>(gl_id_);
    ++total_texes_ctr;
}

TEX_obj::TEX_obj(int ref_, int gl_id_, int flags_, unsigned char* data, int dx, int dy, const std::string& name)
    : path(name), from_file(0), mem_data(data), ref(ref_), flags(flags_), fail_mode(tex_fail_quit),
      target((flags_ & tex_flag_3d) ? GL_TEXTURE_3D : GL_TEXTURE_2D) {
    gl_id = static_cast<unsigned>(gl_id_);
    dx_vis = dx;
    dy_vis = dy;
    ++total_texes_ctr;
    check_pow2_buffer(dx, dy);
}

TEX_obj::~TEX_obj() {
    --total_texes_ctr;
    if (loaded == 1) --loaded_texes_ctr;
    delete evaluator.load();
    give_up_name(gl_id.load(), on_main_thread());
    if (mem_data && mem_data != scratch_array) xfree(mem_data);
}

void TEX_obj::check_pow2_buffer(int dx, int dy) {
    if (flags == 0 && (!is_pow2(dx) || !is_pow2(dy)))
        MACIBM_alert(0, "Error: texture buffer has non-power-of-2 dims", path, "", "", t_quit);
}

int TEX_obj::do_it(int) {
    load();
    int one = 1;
    queued.compare_exchange_strong(one, 0);
    --ref_count;   // the pool's reference; the object lives on even at zero
    return 0;
}

void TEX_obj::queue_load(UTL_threadpool* pool) {
    int zero = 0;
    if (!pool || !queued.compare_exchange_strong(zero, 1)) return;
    ++ref_count;
    pool->queue_task(this, 0);
}

void TEX_obj::change_path(const std::string& new_path, tex_fail_mode fail) {
    path = new_path;
    fail_mode = fail;
}

void TEX_obj::change_mem(unsigned char* data, int dx, int dy, const std::string&) {
    // A buffer handed over earlier and never uploaded is still ours.
    if (mem_data && mem_data != scratch_array && mem_data != data) xfree(mem_data);
    dx_vis = dx;
    dy_vis = dy;
    mem_data = data;
    fail_mode = tex_fail_quit;
    check_pow2_buffer(dx, dy);
}

float TEX_obj::get_scale(float scale, int dx, int dy) {
    float r = tman_class::scale_rat();
    if (flags & tex_flag_res_double) r = std::clamp(r * 2.0f, 0.0f, 1.0f);
    if (flags & tex_flag_res_half) r = std::clamp(r / 2.0f, 0.0f, 1.0f);
    if (flags & tex_flag_res_full) r = 1.0f;
    float s = std::min(r, scale);
    if (dx > 0 && 1.0f / static_cast<float>(dx) > s) s = 1.0f / static_cast<float>(dx);
    if (dy > 0 && 1.0f / static_cast<float>(dy) > s) s = 1.0f / static_cast<float>(dy);
    const float most = static_cast<float>(glExt.max_tex_size);
    if (most > 0)
        while (s > 0 && (static_cast<float>(dx) * s > most || static_cast<float>(dy) * s > most)) s /= 2.0f;
    dx_vis = static_cast<int>(static_cast<float>(dx) * s);
    dy_vis = static_cast<int>(static_cast<float>(dy) * s);
    for (const int v : {dx, dy, dx_vis.load(), dy_vis.load()})
        if (v < 1 || v > kMaxSide)
            misuse("Trying to create a texture either less than 1 or greater than 2048!", path, v);
    return s;
}

bool TEX_obj::decode_file(unsigned long format, int alpha_mode, image& im) {
    std::string p = path;
    float scale = 1.0f;
    if (TEX_evaluator* e = evaluator.load()) e->evaluate(p, scale);
    if (p.size() > 499) MACIBM_alert(0, "String too long!", p, "", "", t_crash);

    if (!starts_with(p, "RESOURCE:")) {
        const std::string base = p.size() > 4 && p[p.size() - 4] == '.' ? p.substr(0, p.size() - 4) : p;
        const bool prefer_dds = glExt.tex_comp_avail && !(flags & tex_flag_no_dds) && reno.use_comp_tex;
        static const char* const kCompressedFirst[] = {".dds", ".png", ".bmp"};
        static const char* const kPlainFirst[] = {".png", ".dds", ".bmp"};
        for (const char* ext : prefer_dds ? kCompressedFirst : kPlainFirst)
            if (file_exists(base + ext)) {
                p = base + ext;
                break;
            }
    }
    im.tried = p;

    xmap_class file(p);
    if (!file.mem_start || file.mem_end - file.mem_start < 8) return false;
    const auto* head = reinterpret_cast<const unsigned char*>(file.mem_start);
    static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

    TEX_image_desc d;
    bool dds = false, decoded = false;
    const unsigned char* dds_data = nullptr;
    unsigned char* buffer = nullptr;
    if (std::memcmp(head, "DDS ", 4) == 0) {
        file.mem_cur = file.mem_start;
        // A DDS without its own mip chain counts as missing.
        decoded = dds = TEX_load_dds(p, file, dds_data, d) == 1 && d.has_mipmaps == 1;
    } else if (head[0] == 'B' && head[1] == 'M') {
        file.mem_cur = file.mem_start;
        decoded = TEX_load_bmp(p, file, buffer, format, 0, 1, d) == 1;
    }
    if (!decoded && std::memcmp(head, kPngSignature, 8) == 0) {
        file.mem_cur = file.mem_start;
        decoded = TEX_load_png(p, file, buffer, format, 0, 1, static_cast<png_alpha_mode>(alpha_mode),
                               (flags & tex_flag_no_gamma) ? 0 : 1, d) == 1;
    }
    if (!decoded) return false;

    float f = 1.0f / get_scale(scale, d.width, d.height);
    if (dds) {
        if (!is_pow2(d.width) || !is_pow2(d.height))
            MACIBM_alert(0, "Error: the texture", p, "is DDS but its size is not power of 2.", "", t_quit);
        // Skip the finest levels instead of decoding and shrinking them.
        int w = d.width, h = d.height;
        while (f > 1.0f && !(w == 1 && h == 1)) {
            dds_data += level_bytes(d, w, h);
            w = std::max(w / 2, 1);
            h = std::max(h / 2, 1);
            f /= 2.0f;
        }
        d.width = w;
        d.height = h;
        d.has_mipmaps = 1;
        const int bytes = TEX_bytes_needed_for_image(d);
        buffer = static_cast<unsigned char*>(xmalloc(static_cast<unsigned long>(bytes)));
        std::memcpy(buffer, dds_data, static_cast<size_t>(bytes));
        if (TEX_flip_y(d, buffer) && d.format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT)
            d.format = GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
        dx_vis = w;
        dy_vis = h;
        im.own_mips = true;
    } else {
        if ((!is_pow2(d.width) || !is_pow2(d.height)) && !(flags & (tex_flag_npot_ok_a | tex_flag_npot_ok_b)))
            xer << "WARNING: texture " << p << " has a size that is not a power of 2; it may not render correctly.\n";
        // The decoders padded the picture to powers of two.
        d.width = TEX_next_pow2(d.width);
        d.height = TEX_next_pow2(d.height);
        d.row_padding = 0;
        if (f != 1.0f) {
            const int factor = static_cast<int>(f);
            TEX_downscale(d, buffer, std::min(factor, d.width), std::min(factor, d.height));
        }
    }
    im.desc = d;
    im.pixels = im.owned = buffer;
    return true;
}

bool TEX_obj::take_memory(unsigned long format, image& im) {
    const int w = dx_vis, h = dy_vis;
    const int most = glExt.max_tex_size > 0 ? glExt.max_tex_size : INT32_MAX;
    for (const int v : {w, h})
        if (v < 1 || v > most)
            misuse("Trying to create a texture either less than 1 or greater than the hw size!", path, v);
    im.desc.format = static_cast<uint32_t>(format);
    im.desc.width = w;
    im.desc.height = h;
    // An image said to be larger than the buffer it lies in would be read past its end.
    if (mem_data && static_cast<uint64_t>(TEX_bytes_needed_for_image64(im.desc)) > TEX_room_at(mem_data))
        misuse("Trying to create a texture either less than 1 or greater than the hw size!", path,
               static_cast<double>(std::max(w, h)));
    im.pixels = mem_data;
    if (mem_data && mem_data != scratch_array) {
        im.owned = mem_data;
        mem_data = nullptr;
    }
    im.tried = path;
    return true;
}

void TEX_obj::mark_missing(const std::string&) {
    dx_vis = dy_vis = dx_tot = dy_tot = 2;
    vram = 0;
    mode = GL_RGB;
    int zero = 0;
    loaded.compare_exchange_strong(zero, 1);
}

int TEX_obj::load() {
    if (flags < 0 || flags > tex_flags_max) misuse("Trying to bind an invalid filter type!", path, flags);
    const int layout = flags & tex_layout_mask;
    if (layout == 0)
        MACIBM_alert(0, "BAD color enum for tman - see tman for valid colors!  We cannot pass 0.", "", "", "",
                     t_crash);
    const layout_entry want = layout_of(layout);

    image im;
    const bool have = from_file ? decode_file(want.format, want.png_mode, im) : take_memory(want.format, im);
    if (!have) {
        mark_missing(im.tried);
        switch (fail_mode) {
        case tex_fail_silent: return 0;
        case tex_fail_scenery: tman.got_scene_load_fail(); break;
        case tex_fail_plane: tman.got_plane_load_fail(); break;
        case tex_fail_instl: tman.got_instl_load_fail(); break;
        case tex_fail_quit:
            MACIBM_alert(0, "Trying to load a texture that you do not have!",
                         "This smacks of a mis-installed copy of Ventaro!",
                         std::string("Get a new download from ") + VENTARO_SERVER_HOST + ". The missing file is:",
                         im.tried, t_quit);
            break;
        }
        xer << "WARNING: we are missing the texture: " << im.tried << ".\n";
        return 0;
    }
    return upload(im);
}

int TEX_obj::upload(image& im) {
    TEX_image_desc& d = im.desc;
    if (d.format == GL_RGBA && from_file && im.pixels && !im.own_mips) TEX_clean_edge(d, im.pixels);
    if ((flags & tex_flag_gradient) && im.pixels) TEX_make_gradient(im.pixels, d, 1.0f);

    const GLenum format = d.format;
    const GLenum internal = internal_format_of(format, flags);
    const GLenum type = (flags & tex_flag_float) ? GL_FLOAT : GL_UNSIGNED_BYTE;
    const bool compressed = format >= GL_COMPRESSED_RGB_S3TC_DXT1_EXT && format <= GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    const bool on_main = on_main_thread();
    const bool mipmap = (flags & tex_flag_mipmap) != 0;
    const bool hw_mips = mipmap && glExt.automini_avail && !compressed && !(flags & tex_flag_sized8);
    const bool in_place = loaded == 1 && on_main && format == mode && d.width == dx_tot && d.height == dy_tot &&
                          !(mipmap && !hw_mips) && glExt.subtex_avail;
    const bool sw_mips = mipmap && !hw_mips && !im.own_mips;

    dx_tot = d.width;
    dy_tot = d.height;
    mode = format;
    TEX_image_desc sized = d;
    sized.format = internal;
    vram = TEX_bytes_needed_for_image(sized);

    // A worker fills a fresh name, so the texture the main thread draws is never half replaced.
    GLuint name = gl_id.load();
    if (name == 0) {
        gl.glGenTextures(1, &name);
        gl_id = name;
    } else if (!on_main) {
        gl.glGenTextures(1, &name);
    }
    if (on_main) TEX_bind_ref(static_cast<int>(name), 0, tex_env_modulate, target);
    else gl.glBindTexture(target, name);

    if (target == GL_TEXTURE_3D) {
        gl.glTexImage3D(GL_TEXTURE_3D, 0, static_cast<GLint>(internal), 128, 32, 16, 0, format, type, im.pixels);
    } else {
        auto compressed_image = glExt.glCompressedTexImage2DARB ? glExt.glCompressedTexImage2DARB
                                                                : gl.glCompressedTexImage2D;
        const unsigned char* at = im.pixels;
        int w = d.width, h = d.height;
        for (int level = 0;; ++level) {
            if (hw_mips) gl.glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 1);
            if (compressed) {
                if (compressed_image)
                    compressed_image(GL_TEXTURE_2D, level, format, w, h, 0, level_bytes(d, w, h), at);
            } else if (in_place) {
                if (at) gl.glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, format, type, at);
            } else {
                gl.glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(internal), w, h, 0, format, type, at);
            }
            if (w == 1 && h == 1) break;
            if (im.own_mips) {
                at += level_bytes(d, w, h);
                w = std::max(w / 2, 1);
                h = std::max(h / 2, 1);
            } else if (sw_mips) {
                if (im.pixels) {
                    TEX_image_desc level = d;
                    level.width = w;
                    level.height = h;
                    level.has_mipmaps = 0;
                    TEX_downscale(level, im.pixels, w > 1 ? 2 : 1, h > 1 ? 2 : 1);
                    w = level.width;
                    h = level.height;
                } else {
                    w = std::max(w / 2, 1);
                    h = std::max(h / 2, 1);
                }
            } else {
                break;
            }
        }
    }

    if (compressed) {
        GLint is_compressed = 0;
        gl.glGetTexLevelParameteriv(target, 0, GL_TEXTURE_COMPRESSED, &is_compressed);
        if (is_compressed) {
            GLint size = 0;
            gl.glGetTexLevelParameteriv(target, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
            vram = static_cast<int>(static_cast<float>(size) * (mipmap ? 1.33f : 1.0f));
        }
    }

    const GLint clamp = glExt.tex_clamp_avail ? GL_CLAMP_TO_EDGE : GL_CLAMP;
    gl.glTexParameteri(target, GL_TEXTURE_WRAP_S, (flags & (tex_flag_clamp | tex_flag_clamp_s)) ? clamp : GL_REPEAT);
    gl.glTexParameteri(target, GL_TEXTURE_WRAP_T, (flags & tex_flag_clamp) ? clamp : GL_REPEAT);
    if (glExt.aniso_avail) gl.glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, 1.0f);
    if (flags & tex_flag_nearest) {
        gl.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        gl.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    } else {
        gl.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, mipmap ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
        gl.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    }
    if (format == GL_DEPTH_COMPONENT) {
        gl.glTexParameteri(target, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
        gl.glTexParameteri(target, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    }
    if (!on_main) gl.glBindTexture(target, 0);
    gl.glFlush();

    GLuint old = gl_id.load();
    if (old != name) {
        while (!gl_id.compare_exchange_weak(old, name)) {
        }
        give_up_name(old, on_main);
    }
    int zero = 0;
    if (loaded.compare_exchange_strong(zero, 1)) ++loaded_texes_ctr;
    if (im.owned) xfree(im.owned);
    return 1;
}

void TEX_obj::bind(int unit, int env_mode) {
    if (loaded == 1 && vram > 0) TEX_bind_ref(static_cast<int>(gl_id.load()), unit, env_mode, target);
    else TEX_bind_ref(tex_ref_blank_gray, unit, env_mode, target);
}

void TEX_obj::retain() {
    if (++ref_count <= 0) MACIBM_alert(0, "Ref count never went positive", "", path, "", t_crash);
}

int TEX_obj::release_suspend() {
    const int left = --ref_count;
    if (left < 0) MACIBM_alert(0, "Ref count went negative", "", path, "", t_crash);
    return left;
}

int TEX_obj::release_kill() {
    const int left = --ref_count;
    if (left < 0) MACIBM_alert(0, "Ref count went negative", "", path, "", t_crash);
    if (left == 0) {
        tman.unregister_one_texture(this);
        delete this;
    }
    return left;
}

int TEX_obj::has_refs() { return ref_count.load() != 0 ? 1 : 0; }

void TEX_obj::replace_evaluator(TEX_evaluator* e) {
    if (e) e->owner = this;
    TEX_evaluator* old = evaluator.load();
    while (!evaluator.compare_exchange_weak(old, e)) {
    }
    delete old;
}

void TEX_obj::init_texes() {
    if (!sKillQueue) sKillQueue = UTL_message_queue_create<void*>();
}

void TEX_obj::delete_some_texes() {
    if (!sKillQueue) return;
    bool deleted = false;
    while (void* item = UTL_message_queue_read(sKillQueue, 0)) {
        const GLuint name = static_cast<GLuint>(reinterpret_cast<uintptr_t>(item));
        gl.glDeleteTextures(1, &name);
        deleted = true;
    }
    // The driver may hand a deleted name out again: the cache must not think it still bound.
    if (deleted) TEX_reset_bind();
}

void TEX_obj::kill_texes() {
    delete_some_texes();
    UTL_message_queue_destroy(sKillQueue);
    sKillQueue = nullptr;
}

int TEX_obj::total_texes() { return total_texes_ctr.load(); }

int TEX_obj::loaded_texes() { return loaded_texes_ctr.load(); }
