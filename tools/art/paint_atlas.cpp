// The widget atlas: every frame, control, icon and cursor the toolkit cuts out of interface.png,
// painted inside its own rectangle, plus the theme swatches read at start-up.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "art/atlas_table.h"
#include "art/painters.h"
#include "art/shapes.h"
#include "art/theme.h"

namespace art {
namespace {

using namespace theme;

const AtlasRect& rect(const char* name) {
    for (const AtlasRect& r : atlas_rects)
        if (std::strcmp(r.name, name) == 0) return r;
    std::fprintf(stderr, "ventaro_art: no atlas rectangle named '%s'\n", name);
    std::abort();
}

Box clip_of(const AtlasRect& r) { return {r.s0, r.t0, r.s1, std::min(r.t1, atlas_size)}; }

// A box inset from a rectangle's edges (left, right, bottom, top).
void inset_box(Canvas& c, const AtlasRect& r, float l, float rt, float b, float t, const BoxStyle& s) {
    bordered_box(c, clip_of(r), r.s0 + l, r.t0 + b, r.s1 - rt, r.t1 - t, s);
}

void frames(Canvas& c) {
    // Panels float over the backdrop with a soft shadow; the visible body stays a few units
    // outside the rectangle the code frames, so content placed at its edge keeps a margin.
    const BoxStyle panel_style{panel(), panel_edge(), 1, 6, 0.35f, 5, 2};
    for (const char* name : {"panel", "panel, no close boxes"}) {
        const AtlasRect& r = rect(name);
        inset_box(c, r, 6, 6, 10, 2, panel_style);
        // Title band: the panel's title and close boxes sit in the top 24 units.
        const bool boxed = std::strcmp(name, "panel") == 0;
        const Colour band = boxed ? accent() : hex("#E1E7EE");
        const float x0 = r.s0 + 7, x1 = r.s1 - 7, y0 = r.t0 + 11, top = r.t1 - 3.0f, band_bottom = top - 24;
        auto inner = [=](float px, float py) { return sd_box(px, py, x0, y0, x1, top, 5); };
        c.fill(clip_of(r), [=](float px, float py) { return std::max(inner(px, py), band_bottom - py); }, band);
        c.fill(clip_of(r), [=](float px, float py) {
            return std::max(std::fabs(py - band_bottom) - 0.5f, inner(px, py));
        }, boxed ? accent_dark() : hex("#C3CCD6"));
    }
    inset_box(c, rect("sub-panel"), 8, 8, 13, 3, {group(), group_edge(), 1, 4});
    inset_box(c, rect("help tip"), 8, 8, 12, 2, {dark_panel(), dark_panel_edge(), 1, 5, 0.3f, 4, 2});
    inset_box(c, rect("dialog sub-panel"), 8, 8, 13, 3, {dark_panel(), dark_panel_edge(), 1, 4});
    inset_box(c, rect("list box"), 1, 1, 1, 1, {field(), field_edge(), 1, 2});
    const BoxStyle menu_style{hex("#FBFCFD"), hex("#B5C1CD"), 1, 4, 0.3f, 4, 2};
    inset_box(c, rect("menu"), 6, 6, 10, 1, menu_style);
    inset_box(c, rect("small frame"), 6, 6, 8, 1, menu_style);
    inset_box(c, rect("small frame 2"), 4, 4, 6, 2, menu_style);
}

void bars(Canvas& c) {
    // Menu bar and title bar: flat bands with a hairline edge.
    {
        const AtlasRect& r = rect("menu bar");
        // The top texel row stays empty: the bar is read one row past the picture's edge.
        const Box clip = {r.s0, r.t0, r.s1, atlas_size - 1};
        c.fill(clip, [&](float, float py) { return r.t0 + 0.5f - py; }, shadow(0.15f));
        c.fill(clip, [&](float, float py) { return r.t0 + 1.0f - py; }, hex("#B5C1CD"));
        c.fill(clip, [&](float, float py) { return r.t0 + 2.0f - py; }, panel());
    }
    inset_box(c, rect("panel title bar"), 0, 0, 2, 3, {hex("#E1E7EE"), hex("#C3CCD6"), 1, 3});
    inset_box(c, rect("push button"), 0, 0, 3, 3, {control(), control_edge(), 1, 4, 0.12f, 1.5f, 1});
    inset_box(c, rect("push button lit"), 0, 0, 3, 3, {control_pressed(), accent(), 1, 4, 0.12f, 1.5f, 1});
    inset_box(c, rect("progress trough"), 0, 0, 1, 1, {groove(), groove_edge(), 1, 7});
    {
        const AtlasRect& r = rect("progress fill");
        inset_box(c, r, 2, 2, 2, 2, {accent(), accent_dark(), 1, 6});
        // A light line along the top gives the fill a little depth without a gradient.
        c.fill(clip_of(r), [&](float px, float py) {
            return std::max(std::fabs(py - (r.t1 - 3.5f)) - 0.5f, sd_box(px, py, r.s0 + 5, 0, r.s1 - 5, 600, 0));
        }, with_alpha(accent_light(), 0.8f));
    }
    inset_box(c, rect("slider trough"), 2, 2, 12, 4, {groove(), groove_edge(), 1, 4});
    inset_box(c, rect("slider fill"), 1, 1, 4, 4, {hex("#FFFFFF"), hex("#E4E8EE"), 1, 4});
    {
        const AtlasRect& r = rect("text field");
        inset_box(c, r, 0, 0, 4, 3, {field(), field_edge(), 1, 3});
        c.fill(clip_of(r), [&](float px, float py) {
            return std::max(std::fabs(py - (r.t1 - 4.5f)) - 0.5f, sd_box(px, py, r.s0 + 3, 0, r.s1 - 3, 600, 0));
        }, field_shade());
    }
    {
        const AtlasRect& r = rect("popup list");
        inset_box(c, r, 0, 0, 3, 3, {field(), field_edge(), 1, 3});
        const float cx = r.s1 - 11.5f, cy = r.t0 + 12.0f;
        const Box clip = clip_of(r);
        c.fill(clip, triangle(cx - 3.5f, cy + 1.5f, cx + 3.5f, cy + 1.5f, cx, cy + 5.5f), ink_soft());
        c.fill(clip, triangle(cx - 3.5f, cy - 1.5f, cx + 3.5f, cy - 1.5f, cx, cy - 5.5f), ink_soft());
    }
    {
        const AtlasRect& r = rect("scroll track");
        bordered_box(c, clip_of(r), r.s0 + 6, r.t0 + 1, r.s1 - 6, r.t1 - 1, {groove(), groove_edge(), 1, 4});
    }
}

Distance check_glyph(float x, float y) {
    return [=](float px, float py) {
        return std::min(sd_segment(px, py, x - 3.5f, y + 0.5f, x - 1.0f, y - 2.0f, 1.15f),
                        sd_segment(px, py, x - 1.0f, y - 2.0f, x + 3.8f, y + 3.0f, 1.15f));
    };
}

Distance cross_glyph(float x, float y, float size, float half) {
    return [=](float px, float py) {
        return std::min(sd_segment(px, py, x - size, y - size, x + size, y + size, half),
                        sd_segment(px, py, x - size, y + size, x + size, y - size, half));
    };
}

void controls(Canvas& c) {
    {
        const AtlasRect& r = rect("check box");
        inset_box(c, r, 2, 2, 2, 2, {field(), hex("#8E9DAD"), 1, 3});
    }
    {
        const AtlasRect& r = rect("check mark");
        inset_box(c, r, 2, 2, 2, 2, {accent(), accent_dark(), 1, 3});
        c.fill(clip_of(r), check_glyph(r.s0 + 9, r.t0 + 9), hex("#FFFFFF"));
    }
    for (const char* name : {"radio button", "radio mark"}) {
        const AtlasRect& r = rect(name);
        const float cx = r.s0 + 9, cy = r.t0 + 9;
        const bool mark = std::strcmp(name, "radio mark") == 0;
        c.fill(clip_of(r), [=](float px, float py) { return sd_circle(px, py, cx, cy, 7); },
               mark ? accent_dark() : hex("#8E9DAD"));
        c.fill(clip_of(r), [=](float px, float py) { return sd_circle(px, py, cx, cy, 6); }, mark ? accent() : field());
        if (mark) c.fill(clip_of(r), [=](float px, float py) { return sd_circle(px, py, cx, cy, 2.6f); }, hex("#FFFFFF"));
    }
    for (const char* name : {"close box", "close box lit"}) {
        const AtlasRect& r = rect(name);
        const bool lit = std::strcmp(name, "close box lit") == 0;
        const float cx = r.s0 + 9, cy = r.t0 + 9;
        c.fill(clip_of(r), [=](float px, float py) { return sd_circle(px, py, cx, cy, 6.5f); },
               lit ? hex("#FFFFFF") : hex("#FFFFFF", 0.22f));
        c.fill(clip_of(r), cross_glyph(cx, cy, 2.6f, 0.8f), lit ? accent() : hex("#FFFFFF"));
    }
    for (const char* name : {"tab", "tab selected"}) {
        const AtlasRect& r = rect(name);
        const bool on = std::strcmp(name, "tab selected") == 0;
        const Box clip = clip_of(r);
        const float top = on ? r.t1 - 0.0f : r.t1 - 2.0f;
        // Rounded on top, square at the bottom where the tab meets its panel.
        auto shape = [=](float inset) {
            return [=](float px, float py) {
                return std::max(sd_box(px, py, r.s0 + 1 + inset, r.t0 - 10, r.s1 - 1 - inset, top - inset, 5),
                                r.t0 - py);
            };
        };
        c.fill(clip, shape(0), on ? panel_edge() : hex("#B5C1CD"));
        c.fill(clip, shape(1), on ? panel() : hex("#DCE2E9"));
        if (on)
            c.fill(clip, [=](float px, float py) { return sd_box(px, py, r.s0 + 2, top - 3, r.s1 - 2, top - 1, 4); },
                   accent());
    }
    {
        const AtlasRect& r = rect("submenu arrow");
        c.fill(clip_of(r), triangle(r.s0 + 7, r.t0 + 5, r.s0 + 7, r.t0 + 13, r.s0 + 12, r.t0 + 9), ink_soft());
    }
    {
        const AtlasRect& d = rect("number step down");
        const float cx = d.s0 + 7;
        c.fill(clip_of(d), triangle(cx - 3.5f, d.t0 + 10, cx + 3.5f, d.t0 + 10, cx, d.t0 + 5.5f), ink_soft());
        const AtlasRect& u = rect("number step up");
        c.fill(clip_of(u), triangle(cx - 3.5f, u.t0 + 9, cx + 3.5f, u.t0 + 9, cx, u.t0 + 13.5f), ink_soft());
    }
    {
        // The scroll bar: end buttons with arrows, and a thumb.
        const BoxStyle button{hex("#EEF1F5"), groove_edge(), 1, 3};
        const AtlasRect& up = rect("scroll arrow up");
        inset_box(c, up, 1, 1, 2, 2, button);
        const float cx = up.s0 + 9;
        c.fill(clip_of(up), triangle(cx - 4, up.t0 + 9, cx + 4, up.t0 + 9, cx, up.t0 + 14), ink_soft());
        const AtlasRect& dn = rect("scroll arrow down");
        inset_box(c, dn, 1, 1, 2, 2, button);
        c.fill(clip_of(dn), triangle(cx - 4, dn.t0 + 13, cx + 4, dn.t0 + 13, cx, dn.t0 + 8), ink_soft());
        const AtlasRect& th = rect("scroll thumb");
        inset_box(c, th, 4, 4, 1, 1, {hex("#A4B2C1"), hex("#7F90A3"), 1, 5});
    }
    {
        const AtlasRect& r = rect("slider thumb");
        const float cx = r.s0 + 9, cy = r.t0 + 13;
        const Box clip = clip_of(r);
        c.fill(clip, [=](float px, float py) { return sd_circle(px, py + 1, cx, cy, 7.5f) - 0.5f; }, shadow(0.2f));
        c.fill(clip, [=](float px, float py) { return sd_circle(px, py, cx, cy, 7); }, hex("#7F90A3"));
        c.fill(clip, [=](float px, float py) { return sd_circle(px, py, cx, cy, 6); }, field());
    }
    {
        // The folder button beside a path field, as tall as the field it stands by.
        const AtlasRect& r = rect("folder button");
        inset_box(c, r, 1, 1, 4, 3, {control(), control_edge(), 1, 4});
        const float x = r.s0 + 7, y = r.t0 + 9;
        c.fill(clip_of(r), [=](float px, float py) { return sd_box(px, py, x, y, x + 12, y + 8.5f, 1.2f); }, hex("#D9A441"));
        c.fill(clip_of(r), [=](float px, float py) { return sd_box(px, py, x, y + 7, x + 5, y + 10, 1); }, hex("#D9A441"));
        c.fill(clip_of(r), [=](float px, float py) { return sd_box(px, py, x, y, x + 12, y + 7, 1.2f); }, hex("#ECC05F"));
    }
}

void heading(Canvas& c) {
    {
        const AtlasRect& r = rect("heading dial");
        const float cx = r.s0 + 28, cy = r.t0 + 29;
        const Box clip = clip_of(r);
        c.fill(clip, [=](float px, float py) { return sd_circle(px, py, cx, cy, 27); }, hex("#8E9DAD"));
        c.fill(clip, [=](float px, float py) { return sd_circle(px, py, cx, cy, 26); }, field());
        for (int k = 0; k < 36; ++k) {
            const float a = k * 10 * 3.14159265f / 180;
            const bool major = k % 9 == 0, mid = k % 3 == 0;
            const float inner = major ? 19.0f : mid ? 21.5f : 23.5f;
            const float sx = std::sin(a), sy = std::cos(a);
            c.fill(clip, [=](float px, float py) {
                return sd_segment(px, py, cx + sx * inner, cy + sy * inner, cx + sx * 24.5f, cy + sy * 24.5f,
                                  major ? 0.9f : 0.5f);
            }, k == 0 ? accent() : ink_soft());
        }
    }
    for (const char* name : {"heading needle", "heading needle 2"}) {
        const AtlasRect& r = rect(name);
        const bool alt = std::strcmp(name, "heading needle 2") == 0;
        const float cx = r.s0 + 5, cy = r.t0 + 21;
        const Box clip = clip_of(r);
        c.fill(clip, triangle(cx - 3.5f, cy, cx + 3.5f, cy, cx, r.t1 - 1.0f), alt ? hex("#C8702A") : accent());
        c.fill(clip, triangle(cx - 3.5f, cy, cx + 3.5f, cy, cx, r.t0 + 6.0f), hex("#A9B5C2"));
        c.fill(clip, [=](float px, float py) { return sd_circle(px, py, cx, cy, 2.2f); }, ink());
    }
}

void icons(Canvas& c) {
    auto at = [&](const char* name) { const AtlasRect& r = rect(name); return std::make_pair(clip_of(r), r); };
    {
        auto [clip, r] = at("icon folder");
        c.fill(clip, [=](float px, float py) { return sd_box(px, py, r.s0 + 0.5f, r.t0 + 1, r.s0 + 5.5f, r.t0 + 10.5f, 1); }, hex("#C48F2C"));
        c.fill(clip, [=](float px, float py) { return sd_box(px, py, r.s0 + 0.5f, r.t0 + 1, r.s1 - 0.5f, r.t0 + 9, 1); }, hex("#C48F2C"));
        c.fill(clip, [=](float px, float py) { return sd_box(px, py, r.s0 + 1.5f, r.t0 + 2, r.s1 - 1.5f, r.t0 + 8, 0.5f); }, hex("#ECC05F"));
    }
    {
        auto [clip, r] = at("icon aircraft");
        const float x = r.s0 + 6, y = r.t0;
        const Distance body = [=](float px, float py) { return sd_segment(px, py, x, y + 1.5f, x, y + 10.5f, 1.0f); };
        const Distance wing = triangle(x - 5.5f, y + 5, x + 5.5f, y + 5, x, y + 8.5f);
        const Distance tail = triangle(x - 2.8f, y + 1, x + 2.8f, y + 1, x, y + 3.2f);
        c.fill(clip, unite(body, unite(wing, tail)), accent());
    }
    {
        auto [clip, r] = at("icon airfoil");
        const float x0 = r.s0 + 0.8f, y = r.t0 + 6;
        c.fill(clip, [=](float px, float py) {
            const float u = std::clamp((px - x0) / 10.4f, 0.0f, 1.0f);
            const float half = 3.2f * std::sqrt(u) * (1 - u) * 1.6f;
            const float camber = 1.0f * std::sin(u * 3.14159265f);
            const float d = std::fabs(py - (y + camber)) - half;
            return std::max(d, std::max(x0 - px, px - (x0 + 10.4f)));
        }, ink_soft());
    }
    {
        auto [clip, r] = at("icon weapon");
        const float x = r.s0, y = r.t0;
        c.fill(clip, [=](float px, float py) { return sd_segment(px, py, x + 2.5f, y + 2.5f, x + 9, y + 9, 1.3f); }, ink_soft());
        c.fill(clip, triangle(x + 8, y + 11.5f, x + 11.5f, y + 11.5f, x + 11.5f, y + 8), ink_soft());
        c.fill(clip, triangle(x + 0.5f, y + 5.5f, x + 3.5f, y + 2.5f, x + 0.5f, y + 0.5f), hex("#C8702A"));
        c.fill(clip, triangle(x + 5.5f, y + 0.5f, x + 2.5f, y + 3.5f, x + 0.5f, y + 0.5f), hex("#C8702A"));
    }
    {
        auto [clip, r] = at("icon situation");
        const float x = r.s0, y = r.t0;
        c.fill(clip, [=](float px, float py) { return sd_segment(px, py, x + 3, y + 1, x + 3, y + 11, 0.6f); }, ink());
        c.fill(clip, [=](float px, float py) { return sd_box(px, py, x + 3.5f, y + 6, x + 11, y + 11, 0.5f); }, hex("#3C8D5A"));
    }
    {
        auto [clip, r] = at("icon replay");
        const float cx = r.s0 + 6, cy = r.t0 + 6;
        c.fill(clip, [=](float px, float py) { return sd_circle(px, py, cx, cy, 5.5f); }, accent());
        c.fill(clip, triangle(cx - 1.8f, cy - 3, cx - 1.8f, cy + 3, cx + 3, cy), hex("#FFFFFF"));
    }
    {
        auto [clip, r] = at("icon flight plan");
        const float x = r.s0, y = r.t0;
        const float p[4][2] = {{1.5f, 2}, {5, 8.5f}, {8, 4}, {10.5f, 10}};
        for (int k = 0; k < 3; ++k)
            c.fill(clip, [=](float px, float py) { return sd_segment(px, py, x + p[k][0], y + p[k][1], x + p[k + 1][0], y + p[k + 1][1], 0.55f); }, accent());
        for (auto& q : p)
            c.fill(clip, [=](float px, float py) { return sd_circle(px, py, x + q[0], y + q[1], 1.5f); }, accent_dark());
    }
    {
        auto [clip, r] = at("icon object");
        const float x = r.s0 + 6, y = r.t0 + 6;
        c.fill(clip, [=](float px, float py) { return sd_polygon(px, py, {x, y + 5.5f, x + 5, y + 3, x, y + 0.5f, x - 5, y + 3}); }, hex("#C9D2DC"));
        c.fill(clip, [=](float px, float py) { return sd_polygon(px, py, {x - 5, y + 3, x, y + 0.5f, x, y - 5.5f, x - 5, y - 3}); }, hex("#8E9DAD"));
        c.fill(clip, [=](float px, float py) { return sd_polygon(px, py, {x, y + 0.5f, x + 5, y + 3, x + 5, y - 3, x, y - 5.5f}); }, ink_soft());
    }
}

void cursors(Canvas& c) {
    const Colour fill = hex("#FFFFFF"), line = ink();
    auto draw = [&](const char* name, const Distance& d) { outlined(c, clip_of(rect(name)), d, fill, line, 1.2f); };
    auto mid = [&](const char* name) {
        const AtlasRect& r = rect(name);
        return std::make_pair((r.s0 + r.s1) * 0.5f, (r.t0 + r.t1) * 0.5f);
    };
    // Horizontal pairs: the left half points left, the right half right; the whole reads as both.
    for (auto [left, right, shaft, head, half] : {std::make_tuple("cursor 4", "cursor 5", 2.2f, 9.0f, 7.0f),
                                                  std::make_tuple("cursor 16", "cursor 17", 1.6f, 6.0f, 5.0f)}) {
        const AtlasRect& l = rect(left);
        const AtlasRect& rr = rect(right);
        const float y = (l.t0 + l.t1) * 0.5f;
        // Shafts run on past the shared edge (and are clipped there), so the halves join cleanly.
        draw(left, arrow(l.s1 + 4.0f, y, l.s0 + 3.0f, y, shaft, head, half));
        draw(right, arrow(rr.s0 - 4.0f, y, rr.s1 - 3.0f, y, shaft, head, half));
    }
    {
        const auto [lx, ly] = mid("cursor 7");
        const auto [rx, ry] = mid("cursor 8");
        draw("cursor 7", triangle(lx + 7, ly - 10, lx + 7, ly + 10, lx - 9, ly));
        draw("cursor 8", triangle(rx - 7, ry - 10, rx - 7, ry + 10, rx + 9, ry));
    }
    {
        const auto [lx, ly] = mid("cursor 10");
        const auto [rx, ry] = mid("cursor 11");
        draw("cursor 10", arc_arrow(lx + 1, ly - 1, 9, 2, 10, 215, 7, 5.5f));
        draw("cursor 11", arc_arrow(rx - 1, ry - 1, 9, 2, 170, -35, 7, 5.5f));
    }
    {
        const AtlasRect& dn = rect("cursor 13");
        const AtlasRect& up = rect("cursor 14");
        const float x = (dn.s0 + dn.s1) * 0.5f;
        draw("cursor 13", arrow(x, dn.t1 + 4.0f, x, dn.t0 + 3.0f, 2, 9, 7));
        draw("cursor 14", arrow(x, up.t0 - 4.0f, x, up.t1 - 3.0f, 2, 9, 7));
    }
    for (auto [name, up, held] : {std::make_tuple("cursor 18", true, false), std::make_tuple("cursor 18 held", true, true),
                                  std::make_tuple("cursor 19", false, false), std::make_tuple("cursor 19 held", false, true)}) {
        const auto [x, y] = mid(name);
        const Box clip = clip_of(rect(name));
        c.fill(clip, [=](float px, float py) { return sd_circle(px, py, x, y, 13); }, line);
        c.fill(clip, [=](float px, float py) { return sd_circle(px, py, x, y, 11.8f); }, held ? hex("#C9D8EA") : fill);
        const float s = up ? 1.0f : -1.0f;
        c.fill(clip, triangle(x - 6, y - 3 * s, x + 6, y - 3 * s, x, y + 5 * s), held ? accent_dark() : accent());
    }
    {
        const auto [x, y] = mid("cursor 20");
        draw("cursor 20", arrow(x, y - 11, x, y + 12, 2, 9, 7.5f));
        const auto [x2, y2] = mid("cursor 21");
        draw("cursor 21", arrow(x2, y2 + 11, x2, y2 - 12, 2, 9, 7.5f));
    }
    {
        const auto [x, y] = mid("cursor 22");
        const Distance h = unite(arrow(x, y, x + 17, y, 1.8f, 6, 5), arrow(x, y, x - 17, y, 1.8f, 6, 5));
        const Distance v = unite(arrow(x, y, x, y + 17, 1.8f, 6, 5), arrow(x, y, x, y - 17, 1.8f, 6, 5));
        draw("cursor 22", unite(h, v));
    }
    {
        const auto [x, y] = mid("cursor 23");
        draw("cursor 23", arc_arrow(x, y - 1, 8.5f, 1.8f, 150, -110, 6, 5));
        const auto [x2, y2] = mid("cursor 24");
        draw("cursor 24", arc_arrow(x2, y2 - 1, 8.5f, 1.8f, 30, 290, 6, 5));
    }
}

void swatches(Canvas& c) {
    for (const Swatch& s : theme_swatches) {
        const Colour col = {((s.rgb >> 16) & 255) / 255.0f, ((s.rgb >> 8) & 255) / 255.0f, (s.rgb & 255) / 255.0f, 1};
        for (int y = s.t - 3; y <= s.t + 3; ++y)
            for (int x = s.s - 3; x <= s.s + 3; ++x) c.set(x, y, col);
    }
}

}  // namespace

Canvas paint_atlas() {
    Canvas c(atlas_size, atlas_size);
    frames(c);
    bars(c);
    controls(c);
    heading(c);
    icons(c);
    cursors(c);
    swatches(c);
    return c;
}

}  // namespace art
