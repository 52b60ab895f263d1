#include "art/canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace art {

Colour hex(const char* rgb, float alpha) {
    unsigned v = 0;
    std::sscanf(rgb + (rgb[0] == '#' ? 1 : 0), "%6x", &v);
    return {((v >> 16) & 255) / 255.0f, ((v >> 8) & 255) / 255.0f, (v & 255) / 255.0f, alpha};
}

Colour mix(const Colour& a, const Colour& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Colour with_alpha(Colour c, float alpha) {
    c.a = alpha;
    return c;
}

Canvas::Canvas(int width, int height)
    : w_(width), h_(height), px_(static_cast<size_t>(width) * height * 4, 0.0f) {}

void Canvas::blend(int x, int y, const Colour& c, float coverage) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_ || coverage <= 0) return;
    const float a = std::clamp(c.a * std::min(coverage, 1.0f), 0.0f, 1.0f);
    float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    p[0] = c.r * a + p[0] * (1 - a);
    p[1] = c.g * a + p[1] * (1 - a);
    p[2] = c.b * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
}

Colour Canvas::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return {0, 0, 0, 0};
    const float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    if (p[3] <= 0) return {0, 0, 0, 0};
    return {p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

void Canvas::set(int x, int y, const Colour& c) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    p[0] = c.r * c.a;
    p[1] = c.g * c.a;
    p[2] = c.b * c.a;
    p[3] = c.a;
}

void Canvas::fill(const Box& clip, const std::function<float(float, float)>& distance, const Colour& c) {
    fill(clip, distance, [&c](float, float) { return c; });
}

void Canvas::fill(const Box& clip, const std::function<float(float, float)>& distance,
                  const std::function<Colour(float, float)>& colour) {
    const int x0 = std::max(clip.x0, 0), x1 = std::min(clip.x1, w_);
    const int y0 = std::max(clip.y0, 0), y1 = std::min(clip.y1, h_);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float cover = std::clamp(0.5f - distance(px, py), 0.0f, 1.0f);
            if (cover > 0) blend(x, y, colour(px, py), cover);
        }
}

std::vector<uint8_t> Canvas::rgba_top_down() const {
    std::vector<uint8_t> out(static_cast<size_t>(w_) * h_ * 4);
    auto byte = [](float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            const Colour c = at(x, y);
            uint8_t* o = &out[(static_cast<size_t>(h_ - 1 - y) * w_ + x) * 4];
            o[3] = byte(c.a);
            // Fully transparent texels keep a neutral black so gutters compress and filter cleanly.
            o[0] = o[3] ? byte(c.r) : 0;
            o[1] = o[3] ? byte(c.g) : 0;
            o[2] = o[3] ? byte(c.b) : 0;
        }
    return out;
}

float sd_box(float px, float py, float x0, float y0, float x1, float y1, float radius) {
    const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    const float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
    const float qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
    const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - radius;
}

float sd_circle(float px, float py, float cx, float cy, float radius) {
    return std::hypot(px - cx, py - cy) - radius;
}

float sd_segment(float px, float py, float ax, float ay, float bx, float by, float half_width) {
    const float dx = bx - ax, dy = by - ay;
    const float len2 = dx * dx + dy * dy;
    const float t = len2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy)) - half_width;
}

float sd_polygon(float px, float py, const std::vector<float>& xy) {
    const size_t n = xy.size() / 2;
    float best = 1e30f;
    bool inside = false;
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const float ax = xy[2 * j], ay = xy[2 * j + 1], bx = xy[2 * i], by = xy[2 * i + 1];
        best = std::min(best, sd_segment(px, py, ax, ay, bx, by, 0.0f));
        if ((ay > py) != (by > py) && px < ax + (bx - ax) * (py - ay) / (by - ay)) inside = !inside;
    }
    return inside ? -best : best;
}

bool write_png(const Canvas& canvas, const std::string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    const std::vector<uint8_t> pixels = canvas.rgba_top_down();
    std::vector<png_const_bytep> rows(canvas.height());
    for (int y = 0; y < canvas.height(); ++y) rows[y] = &pixels[static_cast<size_t>(y) * canvas.width() * 4];
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file.get());
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, canvas.width(), canvas.height(), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_gAMA(png, info, 1.0 / 2.2);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fflush(file.get()) == 0 && !std::ferror(file.get());
}

}  // namespace art
