// The wizard's backdrop: the interface background colour with faint contour lines, like a
// relief map seen through haze. The picture repeats seamlessly in both directions.

#include <cmath>
#include <cstdint>

#include "art/painters.h"
#include "art/theme.h"

namespace art {
namespace {

constexpr int size = 1024;

// Gradient noise on a lattice that wraps every `period` cells, so the field tiles the picture.
struct PeriodicNoise {
    int period;
    uint32_t seed;

    void gradient(int ix, int iy, float& gx, float& gy) const {
        ix = ((ix % period) + period) % period;
        iy = ((iy % period) + period) % period;
        uint32_t h = static_cast<uint32_t>(ix) * 73856093u ^ static_cast<uint32_t>(iy) * 19349663u ^ seed;
        h ^= h >> 13;
        h *= 0x5bd1e995u;
        h ^= h >> 15;
        const float a = (h & 0xFFFF) / 65536.0f * 6.2831853f;
        gx = std::cos(a);
        gy = std::sin(a);
    }

    float operator()(float x, float y) const {  // x, y in cells
        const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
        const float fx = x - x0, fy = y - y0;
        auto fade = [](float t) { return t * t * t * (t * (t * 6 - 15) + 10); };
        auto dot = [&](int ix, int iy, float dx, float dy) {
            float gx, gy;
            gradient(ix, iy, gx, gy);
            return gx * dx + gy * dy;
        };
        const float n00 = dot(x0, y0, fx, fy), n10 = dot(x0 + 1, y0, fx - 1, fy);
        const float n01 = dot(x0, y0 + 1, fx, fy - 1), n11 = dot(x0 + 1, y0 + 1, fx - 1, fy - 1);
        const float u = fade(fx), v = fade(fy);
        return (n00 + (n10 - n00) * u) + ((n01 + (n11 - n01) * u) - (n00 + (n10 - n00) * u)) * v;
    }
};

float relief(float x, float y) {
    static const PeriodicNoise a{3, 0x9e3779b9u}, b{6, 0x85ebca6bu}, c{12, 0xc2b2ae35u};
    const float u = x / size, v = y / size;
    return a(u * 3, v * 3) + 0.45f * b(u * 6, v * 6) + 0.18f * c(u * 12, v * 12);
}

}  // namespace

Canvas paint_background() {
    Canvas c(size, size);
    const Colour base = theme::backdrop(), line = theme::backdrop_line();
    constexpr float spacing = 0.085f;  // relief units between contour lines
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            c.set(x, y, base);
            const float px = x + 0.5f, py = y + 0.5f;
            const float f = relief(px, py);
            const float gx = (relief(px + 0.5f, py) - relief(px - 0.5f, py));
            const float gy = (relief(px, py + 0.5f) - relief(px, py - 0.5f));
            const float grad = std::sqrt(gx * gx + gy * gy) + 1e-6f;
            const float level = f / spacing;
            const float nearest = std::round(level);
            const float dist = std::fabs(level - nearest) * spacing / grad;  // in texels
            const bool index_line = static_cast<int>(std::lround(nearest)) % 5 == 0;
            const float half = index_line ? 0.75f : 0.5f;
            const float cover = std::fmin(std::fmax(half + 0.5f - dist, 0.0f), 1.0f);
            if (cover > 0) c.blend(x, y, line, cover * (index_line ? 0.9f : 0.55f));
        }
    return c;
}

}  // namespace art
