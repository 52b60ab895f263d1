#include "wizard/world_map.h"

#include <algorithm>

#include "core/mouse_record.h"
#include "install/install_filter.h"
#include "install/install_state.h"
#include "render/gl_api.h"
#include "render/ogl_draw.h"
#include "render/ogl_state.h"
#include "render/tex_flags.h"
#include "render/tman.h"
#include "render/panel_record.h"
#include "wizard/wizard_frame.h"

namespace {

// Where the last press was and what a drag writes: kept from the press to the release, and
// across frames and screens.
float o_x = 0, o_y = 0;
int o_use = 0;

enum { label_select_all = 3, label_clear = 4 };

// One tile's square of a band, as texture coordinates.
void tile_quad(int band, int j, int i, float ox, float oy) {
    const float left = world_map_left + world_map_tile * (float)j + ox;
    const float bottom = world_map_bottom + world_map_tile * (float)i + oy;
    const float right = left + world_map_tile, top = bottom + world_map_tile;
    const float s0 = world_map_tile * (float)j / world_map_tex_w;
    const float s1 = world_map_tile * (float)(j + 1) / world_map_tex_w;
    const float t0 = (world_map_band_bottom[band] + world_map_tile * (float)i) / world_map_tex_h;
    const float t1 = (world_map_band_bottom[band] + world_map_tile * (float)(i + 1)) / world_map_tex_h;
    gl.glTexCoord2f(s0, t0);
    gl.glVertex2f(left, bottom);
    gl.glTexCoord2f(s0, t1);
    gl.glVertex2f(left, top);
    gl.glTexCoord2f(s1, t1);
    gl.glVertex2f(right, top);
    gl.glTexCoord2f(s1, t0);
    gl.glVertex2f(right, bottom);
}

void set_all(int value) {
    for (auto& column : stg.chosen_tiles)
        for (int& tile : column) tile = value;
}

}  // namespace

void UTIL_world_map() {
    // The mouse is panel-relative, so hits are tested against the layout; only the vertices
    // carry the panel's offset.
    const float ox = wins.off_x, oy = wins.off_y;
    const float mx = mnw.mouse_x, my = mnw.mouse_y;
    const bool held = mnw.mouse_held != 0;
    int changed = 0;

    OGL_setstate(ogl_fog_off, 1, ogl_lit_off, ogl_al_blend, ogl_deR_off, ogl_deW_off);
    tman.bind_ref(tex_ref_map, 0, 0);

    if (mnw.click_hit) {
        o_x = mx;
        o_y = my;
        // Closed squares, visited column by column: on a shared edge the last one decides.
        for (int j = 0; j < world_map_columns; ++j)
            for (int i = 0; i < world_map_rows; ++i) {
                const float l = world_map_left + world_map_tile * (float)j;
                const float b = world_map_bottom + world_map_tile * (float)i;
                if (mx >= l && mx <= l + world_map_tile && my >= b && my <= b + world_map_tile)
                    o_use = stg.chosen_tiles[j][i] ? 0 : 1;
            }
    }

    const float rl = std::min(o_x, mx), rr = std::max(o_x, mx);
    const float rb = std::min(o_y, my), rt = std::max(o_y, my);

    gl.glBegin(GL_QUADS);
    gl.glColor4f(1, 1, 1, 1);
    const float gl_l = world_map_left + ox, gl_b = world_map_bottom + oy;
    const float gl_r = gl_l + world_map_tile * world_map_columns, gl_t = gl_b + world_map_tile * world_map_rows;
    const float band_s = world_map_tile * world_map_columns / world_map_tex_w;
    const float band_t = world_map_tile * world_map_rows / world_map_tex_h;
    gl.glTexCoord2f(0, 0);
    gl.glVertex2f(gl_l, gl_b);
    gl.glTexCoord2f(0, band_t);
    gl.glVertex2f(gl_l, gl_t);
    gl.glTexCoord2f(band_s, band_t);
    gl.glVertex2f(gl_r, gl_t);
    gl.glTexCoord2f(band_s, 0);
    gl.glVertex2f(gl_r, gl_b);
    for (int j = 0; j < world_map_columns; ++j)
        for (int i = 0; i < world_map_rows; ++i) {
            if (held) {
                const float l = world_map_left + world_map_tile * (float)j;
                const float b = world_map_bottom + world_map_tile * (float)i;
                // Touching edges do not count; the press's own point lies strictly inside a cell.
                if (l + world_map_tile > rl && rr > l && b + world_map_tile > rb && rt > b) {
                    stg.chosen_tiles[j][i] = o_use;
                    changed = 1;
                }
            }
            if (stg.offered_tiles[j][i]) {
                OGL_set_palette_color(57, 1.0f);
                tile_quad(stg.chosen_tiles[j][i] ? 2 : 1, j, i, ox, oy);
            }
        }
    gl.glEnd();

    if (held) {
        OGL_setstate(ogl_fog_off, 0, ogl_lit_off, ogl_al_blend, ogl_deR_off, ogl_deW_off);
        gl.glColor4f(0, 0, 0, 0.5f);
        gl.glBegin(GL_LINE_LOOP);
        gl.glVertex2f(mx + ox, my + oy);
        gl.glVertex2f(o_x + ox, my + oy);
        gl.glVertex2f(o_x + ox, o_y + oy);
        gl.glVertex2f(mx + ox, o_y + oy);
        gl.glEnd();
    }

    int w = 0;
    if (interface_rect(770, 122, label_clear, -1, &w, 1, 0)) {
        set_all(0);
        changed = 1;
    }
    if (interface_rect((float)(765 - w), 122, label_select_all, -1, nullptr, 1, 0)) {
        set_all(1);
        recalc_disk_sizes();
        return;
    }
    if (changed) recalc_disk_sizes();
}

void world_map_reset_for_test() {
    o_x = o_y = 0;
    o_use = 0;
}
