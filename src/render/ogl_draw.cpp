#include "render/ogl_draw.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/app_globals.h"
#include "core/shared_constants.h"
#include "render/gl_api.h"
#include "render/palette.h"
#include "render/tman.h"
#include "render/panel_record.h"

float lookup_sin[361];
float lookup_cos[361];

namespace {

// The spectrum's seven stops.
constexpr float col_r[7] = {0, 1.0f, 1.0f, 1.0f, 0, 0, 0.8f};
constexpr float col_g[7] = {0, 0, 0.32f, 1.0f, 1.0f, 0, 0};
constexpr float col_b[7] = {0, 0, 0.08f, 0, 0, 1.0f, 0.8f};

// Steps after the brightness scaling: fade or monochrome, then alpha.
void finish_colour(float r, float g, float b, float alpha) {
    if (colr.fade > 0) {
        const float f = colr.fade;
        const float s = std::clamp(r + g + b, 0.01f, 1.0f);
        r = std::clamp(r + 2.0f * f * (s - r), std::min(r, s), std::max(r, s));
        g = std::clamp(g - 2.0f * f * g, std::min(g, 0.0f), std::max(g, 0.0f));
        b = std::clamp(b - 2.0f * f * b, std::min(b, 0.0f), std::max(b, 0.0f));
    } else if (colr.mono) {
        const float s = std::clamp(r + g + b, 0.01f, 1.0f);
        r = 0;
        g = s;
        b = 0;
    }
    const float a = alpha * ren.alpha;
    if (static_cast<double>(a) > 0.99) gl.glColor3f(r, g, b);
    else gl.glColor4f(r, g, b, a);
}

void flat_state() { OGL_setstate(ogl_fog_off, 0, ogl_lit_off, ogl_al_blend, ogl_deR_off, ogl_deW_off); }

void add_point(const float p[3], float min[3], float max[3]) {
    for (int i = 0; i < 3; ++i) {
        min[i] = std::min(min[i], p[i]);
        max[i] = std::max(max[i], p[i]);
    }
}

float clamp_between(float v, float a, float b) { return std::clamp(v, std::min(a, b), std::max(a, b)); }

}  // namespace

void OGL_set_palette_color(int n, float alpha) {
    float r = 0, g = 0, b = 0;
    if (n >= 0 && n < colr_class::slot_count) {
        r = colr.slots[n][0];
        g = colr.slots[n][1];
        b = colr.slots[n][2];
        if (n <= 38) {
            r *= colr.bright[0];
            g *= colr.bright[2];
            b *= colr.bright[4];
        }
    }
    finish_colour(r, g, b, alpha);
}

void OGL_spectrum_rgb(float value) {
    float r = col_r[0], g = col_g[0], b = col_b[0];
    if (value >= 0) {
        const float v = std::min(value, 1.0f);
        // The sixth v falls into, 1 to 6; a boundary belongs to the upper sixth, and 1.0 itself
        // to the last one.
        const int k = std::min(6, static_cast<int>(std::floor(static_cast<double>(v) * 6.0)) + 1);
        const float t = (v - static_cast<float>(k - 1) / 6.0f) * 6.0f;
        r = (1 - t) * col_r[k - 1] + t * col_r[k];
        g = (1 - t) * col_g[k - 1] + t * col_g[k];
        b = (1 - t) * col_b[k - 1] + t * col_b[k];
    }
    finish_colour(r, g, b, 1.0f);
}

void OGL_2dquad(int tex_ref, int colour, float alpha, float x1, float y1, float s1, float t1, float x2, float y2,
                float s2, float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4,
                int units, ogl_al_mode alpha_mode, int env_mode) {
    OGL_setstate(ogl_fog_off, units, ogl_lit_off, alpha_mode, ogl_deR_off, ogl_deW_off);
    if (tex_ref > 0) tman.bind_ref(tex_ref, 0, env_mode);
    OGL_set_palette_color(colour, alpha);
    const float ox = wins.off_x, oy = wins.off_y;
    gl.glBegin(GL_QUADS);
    gl.glTexCoord2f(s1, t1);
    gl.glVertex2f(x1 + ox, y1 + oy);
    gl.glTexCoord2f(s2, t2);
    gl.glVertex2f(x2 + ox, y2 + oy);
    gl.glTexCoord2f(s3, t3);
    gl.glVertex2f(x3 + ox, y3 + oy);
    gl.glTexCoord2f(s4, t4);
    gl.glVertex2f(x4 + ox, y4 + oy);
    gl.glEnd();
}

void OGL_2dquad_d(int tex_ref, int colour, float alpha, float x, float y, float s, float t, float w, float h, float tw,
                  float th, ogl_al_mode alpha_mode) {
    OGL_setstate(ogl_fog_off, 1, ogl_lit_off, alpha_mode, ogl_deR_off, ogl_deW_off);
    if (tex_ref > 0) tman.bind_ref(tex_ref, 0, 0);
    OGL_set_palette_color(colour, alpha);
    const float X = x + wins.off_x, Y = y + wins.off_y;
    gl.glBegin(GL_QUADS);
    gl.glTexCoord2f(s, t);
    gl.glVertex2f(X, Y);
    gl.glTexCoord2f(s, t + th);
    gl.glVertex2f(X, Y + h);
    gl.glTexCoord2f(s + tw, t + th);
    gl.glVertex2f(X + w, Y + h);
    gl.glTexCoord2f(s + tw, t);
    gl.glVertex2f(X + w, Y);
    gl.glEnd();
}

void OGL_fillrect(int colour, float alpha, float x, float y, float w, float h) {
    flat_state();
    OGL_set_palette_color(colour, alpha);
    const float X = x + wins.off_x, Y = y + wins.off_y;
    gl.glBegin(GL_QUADS);
    gl.glVertex2f(X, Y);
    gl.glVertex2f(X, Y + h);
    gl.glVertex2f(X + w, Y + h);
    gl.glVertex2f(X + w, Y);
    gl.glEnd();
}

void OGL_framerect(int colour, float alpha, float x, float y, float w, float h) {
    flat_state();
    OGL_set_palette_color(colour, alpha);
    const float X = x + wins.off_x + 0.5f, Y = y + wins.off_y + 0.5f;
    gl.glBegin(GL_LINE_LOOP);
    gl.glVertex2f(X, Y);
    gl.glVertex2f(X, Y + h);
    gl.glVertex2f(X + w, Y + h);
    gl.glVertex2f(X + w, Y);
    gl.glEnd();
}

void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha) {
    flat_state();
    OGL_set_palette_color(12, alpha);
    const float ox = wins.off_x, oy = wins.off_y;
    gl.glBegin(GL_QUADS);
    gl.glVertex2f(x1 + ox, y1 + oy);
    gl.glVertex2f(x1 + ox, y2 + oy);
    gl.glVertex2f(x2 + ox, y2 + oy);
    gl.glVertex2f(x2 + ox, y1 + oy);
    gl.glEnd();
}

void OGL_line(int colour, float alpha, float x1, float y1, float x2, float y2) {
    flat_state();
    OGL_set_palette_color(colour, alpha);
    const float ox = wins.off_x + 0.5f, oy = wins.off_y + 0.5f;
    gl.glBegin(GL_LINES);
    gl.glVertex2f(x1 + ox, y1 + oy);
    gl.glVertex2f(x2 + ox, y2 + oy);
    gl.glEnd();
}

void OGL_filltri(int colour, float alpha, float x1, float y1, float x2, float y2, float x3, float y3) {
    flat_state();
    OGL_set_palette_color(colour, alpha);
    const float ox = wins.off_x + 0.5f, oy = wins.off_y + 0.5f;
    gl.glBegin(GL_TRIANGLES);
    gl.glVertex2f(x1 + ox, y1 + oy);
    gl.glVertex2f(x2 + ox, y2 + oy);
    gl.glVertex2f(x3 + ox, y3 + oy);
    gl.glEnd();
}

void OGL_fillcircle(int colour, float alpha, float x, float y, float radius) {
    for (float d = -radius; d <= radius; d += 1.0f) {
        const float half = std::sqrt(std::max(0.0f, radius * radius - d * d));
        OGL_line(colour, alpha, x - half, y + d, x + half, y + d);
    }
}

void OGL_framecircle(int colour, float alpha, float x, float y, float radius) {
    flat_state();
    OGL_set_palette_color(colour, alpha);
    const float X = x + wins.off_x + 0.5f, Y = y + wins.off_y + 0.5f;
    gl.glBegin(GL_LINE_STRIP);
    for (int a = 0; a <= 360; a += 5) gl.glVertex2f(X + radius * lookup_sin[a], Y + radius * lookup_cos[a]);
    gl.glEnd();
}

void OGL_arc(int colour, float x, float y, float inner, float outer, float start_deg, float end_deg) {
    flat_state();
    OGL_set_palette_color(colour, 1.0f);
    const float X = x + wins.off_x, Y = y + wins.off_y;
    gl.glBegin(GL_QUAD_STRIP);
    for (float a = start_deg; a <= end_deg; a += 1.0f) {
        const float s = std::sin(a * degtorad), c = std::cos(a * degtorad);
        gl.glVertex2f(X + s * inner, Y + c * inner);
        gl.glVertex2f(X + s * outer, Y + c * outer);
    }
    gl.glEnd();
}

void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2) {
    gl.glVertex3f(x1, y1, z1);
    gl.glVertex3f(x2, y2, z2);
}

namespace {

void quad_normal(const float p1[3], const float p2[3], const float p3[3]) {
    const float a[3] = {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]};
    const float b[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
    float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (len > 0) {
        for (float& c : n) c /= len;
    } else {
        n[0] = 0;
        n[1] = 1;
        n[2] = 0;
    }
    gl.glNormal3f(n[0], n[1], n[2]);
}

}  // namespace

void OGL_3dquad(const float p1[3], const float p2[3], const float p3[3], const float p4[3]) {
    OGL_3dquad_st(p1, p2, p3, p4, 1, 1, 0, 0);
}

void OGL_3dquad_st(const float p1[3], const float p2[3], const float p3[3], const float p4[3], float s0, float t0,
                   float s1, float t1) {
    quad_normal(p1, p2, p3);
    gl.glTexCoord2f(s0, t0);
    gl.glVertex3fv(p1);
    gl.glTexCoord2f(s0, t1);
    gl.glVertex3fv(p2);
    gl.glTexCoord2f(s1, t1);
    gl.glVertex3fv(p3);
    gl.glTexCoord2f(s1, t0);
    gl.glVertex3fv(p4);
}

void OGL_cube(float x, float y, float z, float width, float height, float depth, float s0, float s1, float t_bottom,
              float t_top) {
    const float hw = width / 2, hd = depth / 2;
    gl.glPushMatrix();
    gl.glTranslatef(x, y, z);

    const float corner[5][2] = {{-hw, -hd}, {hw, -hd}, {hw, hd}, {-hw, hd}, {-hw, -hd}};
    const float normal[5][3] = {{0, 0, -1}, {0, 0, -1}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}};
    gl.glBegin(GL_QUAD_STRIP);
    for (int i = 0; i < 5; ++i) {
        const float s = (i % 2) ? s1 : s0;
        gl.glNormal3f(normal[i][0], normal[i][1], normal[i][2]);
        gl.glTexCoord2f(s, t_top);
        gl.glVertex3f(corner[i][0], height, corner[i][1]);
        gl.glTexCoord2f(s, t_bottom);
        gl.glVertex3f(corner[i][0], 0, corner[i][1]);
    }
    gl.glEnd();

    gl.glBegin(GL_QUADS);
    gl.glNormal3f(0, 1, 0);
    gl.glTexCoord2f(s0, t_top);
    gl.glVertex3f(-hw, height, -hd);
    gl.glTexCoord2f(s1, t_top);
    gl.glVertex3f(hw, height, -hd);
    gl.glTexCoord2f(s1, t_top);
    gl.glVertex3f(hw, height, hd);
    gl.glTexCoord2f(s0, t_top);
    gl.glVertex3f(-hw, height, hd);
    gl.glNormal3f(0, -1, 0);
    gl.glTexCoord2f(s0, t_bottom);
    gl.glVertex3f(-hw, 0, hd);
    gl.glTexCoord2f(s1, t_bottom);
    gl.glVertex3f(hw, 0, hd);
    gl.glTexCoord2f(s1, t_bottom);
    gl.glVertex3f(hw, 0, -hd);
    gl.glTexCoord2f(s0, t_bottom);
    gl.glVertex3f(-hw, 0, -hd);
    gl.glEnd();

    gl.glPopMatrix();
}

void OGL_disc(float x, float y, float z, float size) {
    const float m = 0.38f * size;
    // The profile's four rings, back to front: x and radius.
    const float ring[4][2] = {{-size, m}, {-m, size}, {m, size}, {size, m}};
    auto ring_point = [&](int r, int deg) {
        gl.glVertex3f(ring[r][0], ring[r][1] * lookup_cos[deg], -ring[r][1] * lookup_sin[deg]);
    };

    gl.glPushMatrix();
    gl.glTranslatef(x, y, z);

    gl.glBegin(GL_TRIANGLE_FAN);
    gl.glNormal3f(-1, 0, 0);
    gl.glVertex3f(-size, 0, 0);
    for (int deg = 360; deg >= 0; deg -= 30) ring_point(0, deg);
    gl.glEnd();

    gl.glBegin(GL_TRIANGLE_FAN);
    gl.glNormal3f(1, 0, 0);
    gl.glVertex3f(size, 0, 0);
    for (int deg = 0; deg <= 360; deg += 30) ring_point(3, deg);
    gl.glEnd();

    for (int band = 0; band < 3; ++band) {
        gl.glBegin(GL_QUAD_STRIP);
        for (int deg = 360; deg >= 0; deg -= 30) {
            ring_point(band, deg);
            ring_point(band + 1, deg);
        }
        gl.glEnd();
    }

    gl.glPopMatrix();
}

void accum_segment(float low, float high, const float p1[3], const float p2[3], float min[3], float max[3]) {
    const float* a = p1;
    const float* b = p2;
    if (a[1] > b[1]) std::swap(a, b);

    // The point of the segment at height y; x and z stay within the ends despite rounding.
    auto add_at = [&](float y) {
        const float t = (y - a[1]) / (b[1] - a[1]);
        const float p[3] = {clamp_between(a[0] + t * (b[0] - a[0]), a[0], b[0]), y,
                            clamp_between(a[2] + t * (b[2] - a[2]), a[2], b[2])};
        add_point(p, min, max);
    };

    if (a[1] == b[1]) {
        if (low <= a[1] && a[1] <= high) {
            add_point(a, min, max);
            add_point(b, min, max);
        }
        return;
    }
    if (low == high) {
        if (a[1] <= low && low <= b[1]) add_at(low);
        return;
    }
    if (low <= a[1] && a[1] <= high) add_point(a, min, max);
    if (low <= b[1] && b[1] <= high) add_point(b, min, max);
    if (a[1] < low && low < b[1]) add_at(low);
    if (a[1] < high && high < b[1]) add_at(high);
}
