#include "ui/sliders.h"

#include <algorithm>
#include <cmath>

#include "core/alert.h"
#include "core/frame_clock.h"
#include "core/mouse_record.h"
#include "render/ogl_draw.h"
#include "render/tex_flags.h"
#include "ui/frames.h"
#include "ui/help_record.h"
#include "ui/labels.h"
#include "ui/tt_font.h"

namespace {

int slider_grabbed[4] = {0, 0, 0, 0};

// Atlas texels s 83..101 by t0..t1 on the quad x - 9..x + 9 by y0..y1.
void slider_art(float x, float y0, float y1, float t0, float t1, int colour) {
    constexpr float kAtlas = 512, s0 = 83 / kAtlas, s1 = 101 / kAtlas;
    t0 /= kAtlas;
    t1 /= kAtlas;
    OGL_2dquad(tex_ref_interface, colour, 1.0f, x - 9, y0, s0, t0, x - 9, y1, s0, t1, x + 9, y1, s1, t1, x + 9, y0, s1,
               t0, 1, ogl_al_blend, 0);
}

}  // namespace

int BTN_vert_slider(int slot, float x, float y_bottom, float y_top, int min, int max, int* value) {
    BTN_frame0(6, x, std::round((y_bottom + y_top) / 2), y_top - y_bottom);
    if (max <= min) return 0;

    const float top_stop = y_top - 10, bottom_stop = y_bottom + 9;
    float t = top_stop + (bottom_stop - top_stop) * static_cast<float>(*value - min) / static_cast<float>(max - min);
    t = std::clamp(t, bottom_stop, top_stop);

    // A negative slot would write outside the table as surely as one above 3.
    if (slot < 0 || slot > 3) {
        __MACIBM_alert(0, "Too many sliders!", "", "", "", t_crash, "QFutils/OOPS_cpp/butn", __LINE__);
        return 0;
    }
    int& grabbed = slider_grabbed[slot];
    const float px = mnw.mouse_x, py = mnw.mouse_y;
    const bool over_x = px >= x - 11 && px <= x + 11;
    if (!mnw.mouse_held) grabbed = 0;
    else if (over_x && py >= t - 11 && py <= t + 11) grabbed = 1;

    int v = *value;
    if (grabbed) {
        const float top = y_top - 11, bottom = y_bottom + 11;
        const float f = static_cast<float>(min) + static_cast<float>(max - min) * (py - top) / (bottom - top);
        v = static_cast<int>(std::clamp(f, static_cast<float>(min), static_cast<float>(max)));
    } else if ((mnw.click_hit || (mnw.held_quarter && xtim.act_tick_5)) && over_x) {
        if (py >= y_top && py <= y_top + 20) v -= 1;
        if (py >= y_bottom - 20 && py <= y_bottom) v += 1;
        if (py >= y_bottom && py <= y_top) v += py >= t ? -10 : 10;
    }
    *value = std::clamp(v, min, max);

    const int colour = grabbed ? 52 : 57;
    slider_art(x, y_top - 3, y_top + 19, 266, 288, colour);
    slider_art(x, t - 12, t + 12, 240, 264, colour);
    slider_art(x, y_bottom - 21, y_bottom + 1, 216, 238, colour);
    return grabbed;
}

int BTN_horz_slider(float x, float y, float width, int fill_colour, float lo, float hi, float* value, int enabled,
                    const std::string& label, const std::string& caption) {
    std::string left, right, help_part;
    BTN_expand_label(label, &left, &right, &help_part);
    if (lo < hi && hi < lo + 0.01f) hi = lo + 0.01f;
    if (lo >= hi && lo < hi + 0.01f) lo = hi + 0.01f;

    BTN_frame1(7, x + width / 2, y, width, 57);
    BTN_util_draw_label(x - 8, y, 0, left, 0);
    BTN_util_draw_label(x + width + 8, y, 2, right, 0);
    const float px = mnw.mouse_x, py = mnw.mouse_y;
    if (px >= x && px <= x + width && py >= y - 7 && py <= y + 7) help.help_text = help_part;
    OGL_string(48, x + width / 2, y + 15, caption, 9999, cs_regular, just_centre);

    const float f = std::clamp(width * (*value - lo) / (hi - lo), 0.0f, std::max(0.0f, width));
    const float low = std::min(lo, hi), high = std::max(lo, hi);
    int dragged = 0;
    if (enabled && width > 0 && mnw.mouse_held && px >= x - 20 && px <= x + width + 20 && py >= y - 20 && py <= y + 20) {
        *value = std::clamp(low + (high - low) * (px - x) / width, low, high);
        dragged = 1;
    }
    if (fill_colour != 81 && f > 0) {
        const float even = 2 * std::round(std::trunc(f) / 2);
        BTN_frame1(8, x + even / 2, y + 4, even, fill_colour);
    }
    if (enabled) {
        const float u = std::clamp(x + width * (*value - low) / (high - low), x, x + width);
        constexpr float kAtlas = 512, s0 = 263 / kAtlas, s1 = 281 / kAtlas, t0 = 267 / kAtlas, t1 = 289 / kAtlas;
        OGL_2dquad(tex_ref_interface, 57, 1.0f, u - 9, y - 9, s0, t0, u - 9, y + 13, s0, t1, u + 9, y + 13, s1, t1,
                   u + 9, y - 9, s1, t0, 1, ogl_al_blend, 0);
    }
    return dragged;
}
