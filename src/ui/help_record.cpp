#include "ui/help_record.h"

#include <algorithm>
#include <cmath>

#include "core/frame_clock.h"
#include "core/mouse_record.h"
#include "platform/events.h"
#include "render/ogl_draw.h"
#include "render/tex_flags.h"
#include "ui/frames.h"
#include "render/panel_record.h"
#include "ui/tt_font.h"

help_class help;

namespace {
void help_pass(int panel) { help.mouse_help_per_wind(panel); }
// Opening a panel draws a pending tip and empties the help text.
const bool help_pass_offered = (wins_hooks.help_pass = &help_pass, true);
}  // namespace

namespace {

// A cursor picture: art s0..s1, t0..t1 in atlas texels, and how far its middle sits from the
// pointer (subtracted).
struct cursor_art {
    float s0, s1, t0, t1, dx, dy;
};

// Cells of the 32-texel grid the small cursors are cut from.
constexpr cursor_art grid_cell(int column, int row) {
    return {200.0f + 32.0f * static_cast<float>(column), 230.0f + 32.0f * static_cast<float>(column),
            293.0f + 32.0f * static_cast<float>(row), 323.0f + 32.0f * static_cast<float>(row), 0, 0};
}

cursor_art cursor_for(int code, bool held) {
    switch (code) {
    case 3: return {199, 261, 328, 357, 0, 0};
    case 4: return {199, 230, 328, 357, 6, 1};
    case 5: return {230, 261, 328, 357, -4, 1};
    case 6: return {199, 261, 291, 327, 0, 0};
    case 7: return {199, 230, 291, 327, 1, 1};
    case 8: return {230, 261, 291, 327, 0, 1};
    case 9: return {262, 326, 310, 357, 0, 0};
    case 10: return {262, 294, 310, 357, -3, 1};
    case 11: return {294, 326, 310, 357, 5, 1};
    case 12: return {487, 506, 309, 357, 0, 0};
    case 13: return {487, 506, 309, 333, 1, -5};
    case 14: return {487, 506, 333, 357, 1, 5};
    case 15: return {262, 326, 291, 309, 0, 0};
    case 16: return {262, 294, 291, 309, 0, 0};
    case 17: return {294, 326, 291, 309, 0, 0};
    case 18: return grid_cell(held ? 5 : 4, 1);
    case 19: return grid_cell(held ? 5 : 4, 0);
    case 21: return grid_cell(-1, 0);
    case 22: return {199, 239, 250, 290, 0, 0};
    case 23: return grid_cell(8, 1);
    case 24: return grid_cell(7, 1);
    default: return grid_cell(-1, 1);   // 20, and every code above 24
    }
}

void draw_tip(const std::string& text) {
    const float off_x = wins.off_x, off_y = wins.off_y;
    const int h = std::clamp(10 * (static_cast<int>(text.size()) / 50) + 20, 60, 300);
    const float fh = static_cast<float>(h);

    // Down and to the left of the pointer, kept inside the window.
    float x = mnw.mouse_x - 415;
    if (x < 10 - off_x) x = 10 - off_x;
    else x = std::min(x, static_cast<float>(wins.win_px_w) - 410 - off_x);
    float y = mnw.mouse_y + 15;
    if (y < 10 - off_y) y = 10 - off_y;
    else y = std::min(y, static_cast<float>(wins.win_px_h) - 20 - off_y - fh);

    BTN_frame2(17, x - 10, y - 10, 420, fh + 20, "", 1);
    OGL_string(52, x + 3, y + fh - 11, text, 394, cs_regular, just_left);
}

void draw_cursor(int code) {
    const cursor_art a = cursor_for(code, mnw.mouse_held != 0);
    const float w = a.s1 - a.s0, h = a.t1 - a.t0;
    const float x = mnw.mouse_x - a.dx - std::floor(w / 2), y = mnw.mouse_y - a.dy - std::floor(h / 2);
    constexpr float kAtlas = 512;
    OGL_2dquad_d(tex_ref_interface, 57, 1.0f, x, y, a.s0 / kAtlas, a.t0 / kAtlas, w, h, w / kAtlas, h / kAtlas,
                 ogl_al_blend);
}

}  // namespace

void help_class::mouse_help_per_wind(int panel) {
    static int OS_mouse_showing = 1;
    static int mouse_was_plugin = 0;

    const float rested = xtim.real_time - mnw.move_time;
    if (!help_text.empty() && rested > 1.0f) draw_tip(help_text);
    help_text.clear();

    int& code = mnw.cursor_code;
    if (rested > 10.0f && wins.panel_id == 0) code = 2;
    if (panel >= 992 && panel <= 999) code = 0;
    if (mnw.mouse_x >= wins.panel_w - 15 && mnw.mouse_x <= wins.panel_w && mnw.mouse_y >= 0 && mnw.mouse_y <= 15)
        code = 0;

    if (code >= 2 && OS_mouse_showing) {
        OS_mouse_showing = 0;
        platform::cursor_show(false);
    } else if (code <= 1 && !OS_mouse_showing) {
        OS_mouse_showing = 1;
        platform::cursor_show(true);
    }
    if (mouse_was_plugin && code != 1) {
        mouse_was_plugin = 0;
        platform::cursor_arrow();
    }
    if (code == 1) mouse_was_plugin = 1;

    if (code >= 3) draw_cursor(code);
}
