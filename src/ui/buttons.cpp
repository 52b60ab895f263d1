#include "ui/buttons.h"

#include <cmath>

#include "core/mouse_record.h"
#include "render/gl_api.h"
#include "render/ogl_draw.h"
#include "render/tex_flags.h"
#include "render/view.h"
#include "ui/frames.h"
#include "ui/help_record.h"
#include "ui/labels.h"
#include "ui/menus.h"
#include "render/panel_record.h"
#include "ui/tt_font.h"

namespace {

constexpr float kAtlas = 512;
constexpr int kWhite = 57;

// The atlas rectangle s0..s1, t0..t1 (texels, t from the bottom) on the quad x0..x1, y0..y1.
void atlas_quad(float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1) {
    s0 /= kAtlas;
    s1 /= kAtlas;
    t0 /= kAtlas;
    t1 /= kAtlas;
    OGL_2dquad(tex_ref_interface, kWhite, 1.0f, x0, y0, s0, t0, x0, y1, s0, t1, x1, y1, s1, t1, x1, y0, s1, t0, 1,
               ogl_al_blend, 0);
}

bool pointer_in(float left, float bottom, float right, float top) {
    return mnw.mouse_x >= left && mnw.mouse_x <= right && mnw.mouse_y >= bottom && mnw.mouse_y <= top;
}

bool menu_open() { return mbar.open_menu != -1; }

}  // namespace

int BTN_action(float x, float y, float w, int lit, int flash_mode, const std::string& label,
               const std::string& side) {
    std::string left, right, tip;
    BTN_expand_label(label, &left, &right, &tip);
    if (w <= 0) w = OGL_measure_string(left) + 21.0f;

    BTN_frame1(2, x, y, w, kWhite);
    if (lit) BTN_frame1(3, x, y, w, kWhite);
    BTN_util_draw_label(x, y - 3, 1, left, lit && flash_mode == 2);
    if (side != "-") OGL_string(50, x + w / 2 + 10, y + 7, side, 500, cs_regular, just_left);

    if (menu_open() || !pointer_in(x - w / 2, y - 10, x + w / 2, y + 10)) return 0;
    help.help_text = tip;
    if (!mnw.click_hit) return 0;
    if (!lit && flash_mode != 0) {
        // Put the pressed look on the screen before the caller acts on the click.
        BTN_frame1(3, x, y, w, kWhite);
        BTN_util_draw_label(x, y - 3, 1, left, 0);
        OGL_sbuff();
    }
    return 1;
}

int BTN_bool(float x, float y, int* value, const std::string& label, int look) {
    std::string left, right, tip;
    BTN_expand_label(label, &left, &right, &tip);

    const float s0 = look ? 83 : 139, s1 = look ? 101 : 157;
    const float box_t = look ? 123 : 178, mark_t = look ? 142 : 197;
    atlas_quad(x - 9, y - 6, x + 9, y + 12, s0, box_t, s1, box_t + 18);
    if (*value) atlas_quad(x - 9, y - 6, x + 9, y + 12, s0, mark_t, s1, mark_t + 18);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + 12, y, 2, right, 0);

    if (menu_open() || !pointer_in(x - 8, y - 4, x + 8, y + 12)) return 0;
    help.help_text = tip;
    if (!mnw.click_hit) return 0;
    *value = *value == 0 ? 1 : 0;
    return 1;
}

int BTN_xbol(float x, float y, bool* value, const std::string& label) {
    int v = *value ? 1 : 0;
    const int r = BTN_bool(x, y, &v, label, 0);
    *value = v != 0;
    return r;
}

int BTN_xchr(float x, float y, char* value, const std::string& label) {
    int v = *value;
    const int r = BTN_bool(x, y, &v, label, 0);
    *value = static_cast<char>(v);
    return r;
}

int BTN_xbyt(float x, float y, unsigned char* value, const std::string& label) {
    int v = *value;
    const int r = BTN_bool(x, y, &v, label, 0);
    *value = static_cast<unsigned char>(v);
    return r;
}

int BTN_is_int(float x, float y, int* value, int own, const std::string& label) {
    int f = *value == own ? 1 : 0;
    const int r = BTN_bool(x, y, &f, label, 1);
    if (f) *value = own;
    return r;
}

int BTN_tab(int column, int row, int* selected, int own, const std::string& label) {
    const float x = 88.0f * static_cast<float>(column) + 53.0f;
    const float y = wins.panel_h - 38.0f - 32.0f * static_cast<float>(row);
    // Tabs answer presses even while a menu is open.
    int clicked = 0;
    if (mnw.click_hit && pointer_in(x - 50, y - 13, x + 40, y + 13)) {
        *selected = own;
        clicked = 1;
    }
    const bool on = *selected == own;
    const float t0 = on ? 486 : 459;
    atlas_quad(x - 49, y - 13, x + 49, y + 13, 204, t0, 302, t0 + 26);
    OGL_string(on ? 46 : 47, x - 40, y - 4, label, 9999, cs_regular, just_left);
    return clicked;
}

void plot_dir(float x, float y, float* heading, int look) {
    // The needle turns about the dial's centre; its quad is given around that centre, less the
    // panel offsets the quad adds back.
    const float ox = wins.off_x, oy = wins.off_y;
    const float b = look ? 272 : 315;
    gl.glPushMatrix();
    gl.glTranslatef(x + ox, y + oy, 0);
    gl.glRotatef(-*heading, 0, 0, 1);
    atlas_quad(-5 - ox, -21 - oy, 5 - ox, 21 - oy, 156, b, 166, b + 42);
    gl.glPopMatrix();

    atlas_quad(x - 28, y - 29, x + 28, y + 29, 178, 160, 234, 218);
    OGL_number(50, x - 14, y - 2, *heading, 3, 0, cs_fixed10, sft_plain, just_left);

    if (!mnw.mouse_held || !pointer_in(x - 30, y - 30, x + 30, y + 30)) return;
    float h = static_cast<float>(std::atan2(mnw.mouse_x - x, mnw.mouse_y - y) * 180.0 / M_PI);
    while (h < 0) h += 360;
    while (h > 360) h -= 360;
    *heading = h;
}
