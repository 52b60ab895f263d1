#include "render/background.h"

#include <algorithm>
#include <cstring>

#include "core/alert.h"
#include "core/memory.h"
#include "core/shared_constants.h"
#include "core/thread_layer.h"
#include "core/threads.h"
#include "render/gl_api.h"
#include "render/ogl_draw.h"
#include "render/tex_obj.h"
#include "render/tex_rle.h"
#include "render/tex_scratch.h"
#include "render/tex_utils.h"
#include "render/tman.h"
#include "render/panel_record.h"

int back_colr = 0;
int back_dx = 0, back_dy = 0;

namespace {

int bt_cs = 0;
int first_time = 1;

constexpr int kTile = 512;
constexpr int kTilesPerSide = back_grid / kTile;

class back_lock {
public:
    back_lock() {
        if (first_time) {
            UTL_critical_section_create(&bt_cs);
            first_time = 0;
        }
        UTL_critical_section_lock(&bt_cs);
    }
    ~back_lock() { UTL_critical_section_unlock(&bt_cs); }
    back_lock(const back_lock&) = delete;
    back_lock& operator=(const back_lock&) = delete;
};

bool starting_up() { return wins.panel_id == -1; }

// The picture decoded into the staging image (rows of back_grid texels) and packed; null after
// the quit alert.
unsigned char* load_and_pack() {
    std::memset(scratch_array, 0, scratch_array_bytes);
    const std::string path = bmp_path + "intro.png";
    unsigned char* buffer = scratch_array;
    TEX_image_desc desc;
    const int ok = TEX_load_any(path, buffer, GL_RGBA, back_grid, png_mode_exact, 1, desc);
    // The packer reads back_grid x back_grid texels of the staging image; a picture beyond that
    // is refused rather than read or written past the buffer.
    if (!ok || buffer != scratch_array || desc.width < 1 || desc.height < 1 || desc.width > back_grid ||
        desc.height > back_grid) {
        MACIBM_alert(0, "Trying to load a texture that you do not have!",
                     "This smacks of a mis-installed copy of Ventaro!",
                     std::string("Get a new download from ") + VENTARO_SERVER_HOST + ". The missing file is:", path,
                     t_quit);
        return nullptr;
    }
    back_colr = 0;
    back_dx = desc.width;
    back_dy = desc.height;
    unsigned char* stream = nullptr;
    TEX_pack_image_rle(desc, scratch_array, back_grid, back_grid, kTile, stream);
    return stream;
}

void fill_tiles(const unsigned char* stream) {
    // Off the main thread the state and binding caches belong to someone else.
    const bool on_main = !THREAD_is_inited() || THREAD_is_main_thread();
    if (on_main) OGL_setstate(ogl_fog_off, 1, ogl_lit_off, ogl_al_blend, ogl_deR_off, ogl_deW_off);
    auto* tile = static_cast<unsigned char*>(xmalloc(kTile * kTile * 4));
    for (int r = 0; r < kTilesPerSide; ++r)
        for (int c = 0; c < kTilesPerSide; ++c) {
            const int ref = back_tile_first_ref + kTilesPerSide * r + c;
            if (!tman.tex_loaded(ref)) {
                scratch_dx = scratch_dy = kTile;
                tman.load_texture(tex_fail_quit, ref, 0x602, tex_load_now, "scratch_array-t_tex_back (tile)");
            }
            if (on_main) {
                tman.bind_ref(ref, 0, 0);
            } else if (TEX_obj* obj = tman.get_known_obj(ref)) {
                gl.glBindTexture(GL_TEXTURE_2D, obj->gl_id);
            }
            TEX_unpack_image_rle(stream, r * kTile * back_grid + c * kTile, back_grid - kTile, kTile, kTile, tile);
            gl.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kTile, kTile, GL_RGBA, GL_UNSIGNED_BYTE, tile);
        }
    xfree(tile);
}

}  // namespace

void OGL_plot_back_col() {
    OGL_fillrect(39, 1.0f, -wins.off_x, -wins.off_y, static_cast<float>(wins.win_px_w),
                 static_cast<float>(wins.win_px_h));
}

void GOL_set_back_tex_lighting() {}

void OGL_make_back_tex() {
    back_lock hold;
    if (!starting_up()) return;
    unsigned char* stream = load_and_pack();
    if (!stream) return;
    fill_tiles(stream);
    xfree(stream);
}

void OGL_plot_back_tex(int depth_mask) {
    back_lock hold;
    const float W = static_cast<float>(wins.win_px_w), H = static_cast<float>(wins.win_px_h);
    const float dx = static_cast<float>(back_dx), dy = static_cast<float>(back_dy);
    float left, right, bottom, top;
    if (starting_up()) {
        right = std::min(W, dx);
        left = right - dx;
        top = H + std::clamp(dy - H, 0.0f, 512.0f);
        bottom = top - dy;
        if (dx < W || dy < H) OGL_plot_back_col();
    } else {
        left = wins.ui_off_x;
        right = left + dx;
        bottom = 0;
        top = dy;
    }

    if (depth_mask) {
        OGL_setstate(ogl_fog_off, 1, ogl_lit_off, ogl_al_test, ogl_deR_on, ogl_deW_on);
        gl.glAlphaFunc(GL_GEQUAL, 1.0f);
        gl.glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        gl.glDepthRange(0, 0);
    } else {
        OGL_setstate(ogl_fog_off, 1, ogl_lit_off, ogl_al_blend_test, ogl_deR_off, ogl_deW_off);
    }
    OGL_set_palette_color(back_colr, 1.0f);

    const float w = right - left, h = top - bottom;
    for (int i = 0; i < kTilesPerSide; ++i)
        for (int j = 0; j < kTilesPerSide; ++j) {
            const float l = std::clamp(left + w * static_cast<float>(j) / kTilesPerSide, left, right);
            const float r = std::clamp(left + w * static_cast<float>(j + 1) / kTilesPerSide, left, right);
            const float b = std::clamp(bottom + h * static_cast<float>(i) / kTilesPerSide, bottom, top);
            const float t = std::clamp(bottom + h * static_cast<float>(i + 1) / kTilesPerSide, bottom, top);
            if (!(r > 0 && l < W && t > 0 && b < H)) continue;
            tman.bind_ref(back_tile_first_ref + kTilesPerSide * i + j, 0, 0);
            gl.glBegin(GL_QUADS);
            gl.glTexCoord2f(0, 0);
            gl.glVertex2f(l, b);
            gl.glTexCoord2f(0, 1);
            gl.glVertex2f(l, t);
            gl.glTexCoord2f(1, 1);
            gl.glVertex2f(r, t);
            gl.glTexCoord2f(1, 0);
            gl.glVertex2f(r, b);
            gl.glEnd();
        }

    if (depth_mask) {
        gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        gl.glDepthRange(0, 1);
        gl.glAlphaFunc(GL_GREATER, 0);
    }
}
