#include "art/shapes.h"

#include <algorithm>
#include <cmath>

namespace art {

void bordered_box(Canvas& c, const Box& clip, float x0, float y0, float x1, float y1, const BoxStyle& s) {
    if (s.shadow_alpha > 0) {
        const float blur = s.shadow_blur;
        const Colour shade = {0.043f, 0.082f, 0.125f, 1.0f};
        // A soft falloff outside the box, dropped a little, reads as the box floating above.
        for (int y = clip.y0; y < clip.y1; ++y)
            for (int x = clip.x0; x < clip.x1; ++x) {
                const float d = sd_box(x + 0.5f, y + 0.5f + s.shadow_drop, x0, y0, x1, y1, s.radius + 1);
                if (d >= blur) continue;
                const float t = std::clamp(1.0f - (d + 1.0f) / (blur + 1.0f), 0.0f, 1.0f);
                c.blend(x, y, with_alpha(shade, s.shadow_alpha * t * t), 1.0f);
            }
    }
    const float r = s.radius;
    c.fill(clip, [=](float px, float py) { return sd_box(px, py, x0, y0, x1, y1, r); }, s.edge);
    if (s.edge_width > 0) {
        const float w = s.edge_width;
        c.fill(clip, [=](float px, float py) { return sd_box(px, py, x0 + w, y0 + w, x1 - w, y1 - w, std::max(r - w, 0.0f)); },
               s.fill);
    } else {
        c.fill(clip, [=](float px, float py) { return sd_box(px, py, x0, y0, x1, y1, r); }, s.fill);
    }
}

void outlined(Canvas& c, const Box& clip, const Distance& d, const Colour& fill, const Colour& outline,
              float outline_width) {
    c.fill(clip, [&](float x, float y) { return d(x, y) - outline_width; }, outline);
    c.fill(clip, d, fill);
}

Distance arrow(float ax, float ay, float bx, float by, float shaft_half, float head_length, float head_half) {
    const float len = std::hypot(bx - ax, by - ay);
    const float ux = (bx - ax) / len, uy = (by - ay) / len;
    const float nx = -uy, ny = ux;
    const float hx = bx - ux * head_length, hy = by - uy * head_length;
    std::vector<float> head = {bx, by, hx + nx * head_half, hy + ny * head_half, hx - nx * head_half, hy - ny * head_half};
    return [=](float px, float py) {
        const float shaft = sd_segment(px, py, ax, ay, hx + ux * 0.5f, hy + uy * 0.5f, shaft_half);
        return std::min(shaft, sd_polygon(px, py, head));
    };
}

Distance triangle(float ax, float ay, float bx, float by, float cx, float cy) {
    std::vector<float> pts = {ax, ay, bx, by, cx, cy};
    return [pts](float px, float py) { return sd_polygon(px, py, pts); };
}

Distance arc_arrow(float cx, float cy, float radius, float half_width, float from_deg, float to_deg,
                   float head_length, float head_half) {
    const float pi = 3.14159265f;
    const float a0 = std::min(from_deg, to_deg) * pi / 180, a1 = std::max(from_deg, to_deg) * pi / 180;
    const float tip = to_deg * pi / 180;
    const float dir = to_deg > from_deg ? 1.0f : -1.0f;  // counter-clockwise when positive
    // The head sits at the arc's end and points along the arc.
    const float ex = cx + radius * std::cos(tip), ey = cy + radius * std::sin(tip);
    const float tx = -std::sin(tip) * dir, ty = std::cos(tip) * dir;
    const float nx = std::cos(tip), ny = std::sin(tip);
    std::vector<float> head = {ex + tx * head_length, ey + ty * head_length, ex + nx * head_half, ey + ny * head_half,
                               ex - nx * head_half, ey - ny * head_half};
    return [=](float px, float py) {
        float a = std::atan2(py - cy, px - cx);
        while (a < a0) a += 2 * pi;
        float d;
        if (a <= a1) {
            d = std::fabs(std::hypot(px - cx, py - cy) - radius) - half_width;
        } else {
            const float d0 = std::hypot(px - (cx + radius * std::cos(a0)), py - (cy + radius * std::sin(a0)));
            const float d1 = std::hypot(px - (cx + radius * std::cos(a1)), py - (cy + radius * std::sin(a1)));
            d = std::min(d0, d1) - half_width;
        }
        return std::min(d, sd_polygon(px, py, head));
    };
}

Distance unite(const Distance& a, const Distance& b) {
    return [a, b](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

}  // namespace art
