#include "ui/frames.h"

#include <algorithm>
#include <cmath>

#include "core/alert.h"
#include "core/app_globals.h"
#include "core/mouse_record.h"
#include "render/gl_api.h"
#include "render/ogl_draw.h"
#include "render/tex_flags.h"
#include "render/tman.h"
#include "ui/labels.h"
#include "render/panel_record.h"

std::string global_c_str_ram;
float io_dx = 290.0f;
float io_cx = 155.0f;
float io_dy = 220.0f;
float io_cy = 0.0f;

namespace {

// Art rectangles are in texels, s from the left and t from the bottom of the picture.
struct art_size {
    float w, h;
};
art_size size_of(int tex_ref) { return tex_ref == tex_ref_elements ? art_size{1024, 128} : art_size{512, 512}; }

struct bar_style {
    int style;
    int tex;
    float E, A, H, s0, t0;   // cap width, art width, height, art's lower-left corner
};
constexpr bar_style kBars[] = {
    {0, tex_ref_interface, 10, 100, 26, 1, 487},      {1, tex_ref_interface, 20, 100, 26, 102, 487},
    {2, tex_ref_interface, 10, 52, 26, 304, 486},     {3, tex_ref_interface, 10, 52, 26, 304, 459},
    {4, tex_ref_interface, 10, 28, 16, 112, 161},     {5, tex_ref_interface, 10, 28, 16, 83, 161},
    {7, tex_ref_interface, 10, 65, 24, 240, 242},     {8, tex_ref_interface, 7, 16, 16, 289, 219},
    {9, tex_ref_interface, 10, 51, 26, 262, 133},     {10, tex_ref_interface, 26, 68, 24, 357, 488},
    {11, tex_ref_elements, 16, 48, 31, 926, 96},      {12, tex_ref_elements, 16, 48, 31, 975, 96},
    {13, tex_ref_elements, 16, 48, 31, 877, 96},
};

struct slice_style {
    int style;
    int tex;
    float s0, t0, A;
    float Ex, Eb, Et;             // left and right column, bottom row, top row
    float side, bottom, top;      // how far the frame reaches outside its rectangle
};
// The slices are 0.35 A wide and 0.3 A high unless the art says otherwise (the menu).
constexpr float col35(float a) { return static_cast<float>(0.35 * static_cast<double>(a)); }
constexpr float row30(float a) { return static_cast<float>(0.3 * static_cast<double>(a)); }
constexpr slice_style slice(int style, int tex, float s0, float t0, float a, float side, float bottom, float top) {
    return {style, tex, s0, t0, a, col35(a), row30(a), row30(a), side, bottom, top};
}
constexpr slice_style kSlices[] = {
    slice(14, tex_ref_interface, 1, 358, 100, 9, 14, 4),
    slice(15, tex_ref_interface, 102, 358, 100, 9, 14, 4),
    slice(16, tex_ref_interface, 203, 358, 100, 9, 14, 4),
    slice(17, tex_ref_interface, 304, 358, 100, 9, 14, 4),
    slice(18, tex_ref_interface, 405, 358, 100, 9, 14, 4),
    slice(19, tex_ref_interface, 1, 289, 68, 2, 2, 2),
    {20, tex_ref_interface, 70, 315, 42, 20, 26, 14, 8, 13, 2},
    slice(21, tex_ref_interface, 113, 315, 42, 8, 13, 2),
    slice(22, tex_ref_interface, 440, 12, 44, 6, 9, 4),
    slice(23, tex_ref_elements, 982, 2, 41, 1, 1, 1),
};

float round_half_away(float v) { return v < 0 ? -std::floor(-v + 0.5f) : std::floor(v + 0.5f); }

void frame_state(int tex_ref) {
    OGL_setstate(ogl_fog_off, 1, ogl_lit_off, ogl_al_blend, ogl_deR_off, ogl_deW_off);
    tman.bind_ref(tex_ref, 0, 0);
}

// One quad inside the caller's GL_QUADS: window units x0..x1 by y0..y1 showing art texels
// s0..s1 by t0..t1; lower-left, upper-left, upper-right, lower-right.
void piece(art_size a, float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1) {
    const float u0 = s0 / a.w, u1 = s1 / a.w, v0 = t0 / a.h, v1 = t1 / a.h;
    gl.glTexCoord2f(u0, v0);
    gl.glVertex2f(x0, y0);
    gl.glTexCoord2f(u0, v1);
    gl.glVertex2f(x0, y1);
    gl.glTexCoord2f(u1, v1);
    gl.glVertex2f(x1, y1);
    gl.glTexCoord2f(u1, v0);
    gl.glVertex2f(x1, y0);
}

// Splits a span of `total` units into the runs of a tiled slice: the first cap, middle pieces of
// `middle` units, the last cap. Each run gives its unit range and its art range (relative to
// the art's start). A middle piece cut short by the last cap shows `cut_art(r)` texels for r
// units.
struct run {
    float u0, u1, a0, a1;
};
template <typename CutArt>
void tile_runs(float total, float first_cap, float middle, float last_cap, float art_len, int middle_count,
               CutArt cut_art, run* out, int& n) {
    n = 0;
    out[n++] = {0, first_cap, 0, first_cap};
    const float stop = total - last_cap;
    for (int k = 0; k < middle_count; ++k) {
        const float u0 = first_cap + static_cast<float>(k) * middle;
        float u1 = u0 + middle, a1 = first_cap + middle;
        if (u1 > stop) {
            u1 = stop;
            a1 = first_cap + cut_art(stop - u0);
        }
        out[n++] = {u0, u1, first_cap, a1};
    }
    out[n++] = {stop, total, art_len - last_cap, art_len};
}

// Enough runs for any frame the window can hold; longer spans are drawn as far as this reaches.
constexpr int kMaxRuns = 4096;
int capped_count(float count) {
    if (!(count > 0)) return 0;
    return static_cast<int>(std::min(count, static_cast<float>(kMaxRuns - 2)));
}

}  // namespace

void BTN_frame1(int style, float x, float y, float width, int colour) {
    const bar_style* b = std::find_if(std::begin(kBars), std::end(kBars), [&](const bar_style& s) { return s.style == style; });
    if (b == std::end(kBars)) {
        MACIBM_alert(0, "Bad BTN_frame1 call!", "", "", "", t_crash);
        return;
    }
    const float W = round_half_away(width / 2) * 2 + (style == 9 || style == 10 ? 4.0f : 0.0f);
    if (style == 0 || style == 1) y -= 3;
    const float X = round_half_away(x) + wins.off_x, Y = y + wins.off_y;
    const float left = X - W / 2, bottom = Y - b->H / 2;
    const float M = b->A - 2 * b->E;

    static run runs[kMaxRuns];
    int n = 0;
    const int K = capped_count(std::trunc((W - 2 * b->E) / M) + 1);
    tile_runs(W, b->E, M, b->E, b->A, K,
              [&](float r) { return std::clamp(r * M / (b->E + M), 0.0f, M); }, runs, n);

    frame_state(b->tex);
    OGL_set_palette_color(colour, 1.0f);
    const art_size a = size_of(b->tex);
    gl.glBegin(GL_QUADS);
    for (int i = 0; i < n; ++i)
        piece(a, left + runs[i].u0, bottom, left + runs[i].u1, bottom + b->H, b->s0 + runs[i].a0, b->t0,
              b->s0 + runs[i].a1, b->t0 + b->H);
    gl.glEnd();
}

void BTN_frame0(int style, float x, float y, float length) {
    if (style != 6) {
        MACIBM_alert(0, "Bad BTN_frame0 call!", "", "", "", t_crash);
        return;
    }
    if (x != std::floor(x)) MACIBM_alert(0, "BTN_frame0 non-int x_center!", "", "", "", t_crash);
    if (y != std::floor(y)) MACIBM_alert(0, "BTN_frame0 non-int y_center!", "", "", "", t_crash);
    constexpr float E = 10, M = 20, s0 = 102, s1 = 122, t0 = 248, A = 40;
    const float L = round_half_away(length / 2) * 2 + 8;
    const float left = x - 10 + wins.off_x, right = x + 10 + wins.off_x, bottom = y - L / 2 + wins.off_y;

    static run runs[kMaxRuns];
    int n = 0;
    const int K = capped_count(std::trunc((L - 2 * E) / M) + 1);
    tile_runs(L, E, M, E, A, K, [&](float r) { return std::clamp(r * M / (E + M), 0.0f, M); }, runs, n);

    frame_state(tex_ref_interface);
    OGL_set_palette_color(57, 1.0f);
    const art_size a = size_of(tex_ref_interface);
    gl.glBegin(GL_QUADS);
    for (int i = 0; i < n; ++i)
        piece(a, left, bottom + runs[i].u0, right, bottom + runs[i].u1, s0, t0 + runs[i].a0, s1, t0 + runs[i].a1);
    gl.glEnd();
}

void BTN_frame2(int style, float x, float y, float width, float height, const std::string& title, float opacity) {
    const slice_style* f =
        std::find_if(std::begin(kSlices), std::end(kSlices), [&](const slice_style& s) { return s.style == style; });
    if (f == std::end(kSlices)) {
        MACIBM_alert(0, "Bad BTN_frame2 call!", "", "", "", t_crash);
        return;
    }
    const float left = x - f->side + wins.off_x, bottom = y - f->bottom + wins.off_y;
    const float W = width + 2 * f->side, H = height + f->bottom + f->top;
    const float Mx = f->A - 2 * f->Ex, My = f->A - f->Eb - f->Et;

    // Middle pieces cut short show as many texels as units.
    auto exact = [](float r) { return r; };
    static run cols[kMaxRuns], rows[kMaxRuns];
    int nc = 0, nr = 0;
    tile_runs(W, f->Ex, Mx, f->Ex, f->A, capped_count(std::trunc((W - 2 * f->Ex) / Mx) + 1), exact, cols, nc);
    const float middle_rows = std::trunc((H - f->Eb - f->Et) / My);
    tile_runs(H, f->Eb, My, f->Et, f->A, capped_count((middle_rows > 0 ? middle_rows : 0) + 1), exact, rows, nr);

    frame_state(f->tex);
    OGL_set_palette_color(57, opacity);
    const art_size a = size_of(f->tex);
    gl.glBegin(GL_QUADS);
    for (int r = 0; r < nr; ++r)
        for (int c = 0; c < nc; ++c)
            piece(a, left + cols[c].u0, bottom + rows[r].u0, left + cols[c].u1, bottom + rows[r].u1, f->s0 + cols[c].a0,
                  f->t0 + rows[r].a0, f->s0 + cols[c].a1, f->t0 + rows[r].a1);
    gl.glEnd();

    const float tx = style == 23 ? x + 10 : x + width / 2 - OGL_measure_string(title) / 2;
    const float ty = y + height - (style == 14 ? 13.0f : 16.0f);
    const int colour = style == 14 ? 45 : style == 18 ? 52 : 48;
    OGL_string(colour, tx, ty, title, 9999, cs_regular, just_left);

    const int panel = wins.panel_id;
    if (style == 14 && panel != 0 && !(panel >= 994 && panel <= 999)) BTN_zap_boxes(0);
}

void BTN_util_element(float x, float y, float s_centre, float t_centre, float half_width, float half_height,
                      int colour) {
    constexpr float kAtlas = 512;
    const float x0 = x - half_width, x1 = x + half_width, y0 = y - half_height, y1 = y + half_height;
    const float s0 = (s_centre - half_width) / kAtlas, s1 = (s_centre + half_width) / kAtlas;
    const float t0 = (t_centre - half_height) / kAtlas, t1 = (t_centre + half_height) / kAtlas;
    OGL_2dquad(tex_ref_interface, colour, 1.0f, x0, y0, s0, t0, x0, y1, s0, t1, x1, y1, s1, t1, x1, y0, s1, t0, 1,
               ogl_al_blend, 0);
}

int BTN_zap_boxes(int lit) {
    const float PW = wins.panel_w, PH = wins.panel_h;
    const float t_centre = lit ? 206 : 187;
    const float y = PH - 10;
    // Left box x 7..25, right box PW-25..PW-7, both y PH-19..PH-1.
    for (const float left : {7.0f, PW - 25}) {
        BTN_util_element(left + 9, y, 129, t_centre, 9, 9, 57);
        if (mnw.click_hit && mnw.mouse_x >= left && mnw.mouse_x <= left + 18 && mnw.mouse_y >= PH - 19 &&
            mnw.mouse_y <= PH - 1)
            return 1;
    }
    return 0;
}

void BTN_fillwin(int close_boxes, int inner_style) {
    const float PW = wins.panel_w, PH = wins.panel_h;
    BTN_frame2(close_boxes ? 14 : 15, 0, 0, PW, PH, stls[4], 1);
    if (inner_style == 1) BTN_frame1(1, PW / 2, PH - 50, PW, 57);
    else if (inner_style != 24) BTN_frame2(inner_style, 10, 10, PW - 20, PH - 40, "", 1);
}

void BTN_subwin(float top_reserve, int style, float x, float y, float width, float height, const std::string& title,
                float* next_x, float* next_y) {
    if (x < 0) x = 10;
    if (y < 0) y = 10;
    if (width < 0) width = wins.panel_w - 10 - x;
    if (height < 0) height = wins.panel_h - 28 - y - top_reserve;
    BTN_frame2(style, x, y, width, height, title, 1);
    *next_x = x + width + 10;
    *next_y = y + height + 10;
}

void OGL_boxed_string(float x, float y, float width, const std::string& label, const std::string& text,
                      charset_t charset, int colour) {
    std::string left, right, help;
    BTN_expand_label(label, &left, &right, &help);
    BTN_frame1(9, x, y + 4, width, 57);
    BTN_util_draw_label(x - width / 2 - 8, y, 0, left, 0);
    BTN_util_draw_label(x + width / 2 + 8, y, 2, right, 0);
    OGL_string(colour, x, y, text, 9999, charset, just_centre);
}
