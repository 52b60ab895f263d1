#include "core/convex_hull_lists.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "core/convex_hull.h"
#include "core/memory.h"
#include "core/shared_constants.h"

namespace {

// Cuts a coordinate to 1/1024 units toward zero. Working in double on the value itself keeps
// every finite float in range; from 2^14 up a float is already on the grid.
bool snap(float c, float& out) {
    if (!std::isfinite(c)) return false;
    const double scaled = static_cast<double>(c) * 1024.0;
    if (std::fabs(scaled) >= 16777216.0) {
        out = c;
        return true;
    }
    const double k = std::trunc(scaled);
    out = k == 0 ? 0.0f : static_cast<float>(k) * 0.0009765625f;
    return true;
}

struct grid_point {
    float v[3];
    bool operator==(const grid_point& o) const { return v[0] == o.v[0] && v[1] == o.v[1] && v[2] == o.v[2]; }
};

// Snapped zeros are always +0, so equal points have equal bits.
struct grid_hash {
    size_t operator()(const grid_point& p) const {
        uint32_t b[3];
        std::memcpy(b, p.v, sizeof b);
        uint64_t h = b[0];
        h = h * 0x9E3779B97F4A7C15ull ^ b[1];
        h = h * 0x9E3779B97F4A7C15ull ^ b[2];
        return static_cast<size_t>(h ^ (h >> 29));
    }
};

float plane_value(const float* plane, const float* p) {
    return plane[0] * p[0] + plane[1] * p[1] + plane[2] * p[2] + plane[3];
}

}  // namespace

void UTL_create_ch_brute_force(const std::vector<float>& points, std::vector<float>& planes,
                               std::vector<float>& triangles) {
    triangles.clear();
    planes.clear();
    if (points.size() < 9) return;

    const size_t n = points.size() / 3;
    std::vector<float> input;
    input.reserve(n * 3);
    std::unordered_set<grid_point, grid_hash> seen;
    seen.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        grid_point g;
        if (!snap(points[3 * i], g.v[0]) || !snap(points[3 * i + 1], g.v[1]) || !snap(points[3 * i + 2], g.v[2]))
            continue;
        if (!seen.insert(g).second) continue;
        input.insert(input.end(), g.v, g.v + 3);
    }
    if (input.empty()) return;

    Chull3D hull(input.data(), static_cast<int>(input.size() / 3));
    hull.compute();
    float* verts = nullptr;
    int* faces = nullptr;
    int n_verts = 0, n_faces = 0;
    if (!hull.get_convex_hull(verts, n_verts, faces, n_faces)) return;

    triangles.reserve(static_cast<size_t>(n_faces) * 9);
    planes.reserve(static_cast<size_t>(n_faces) * 4);
    for (int f = 0; f < n_faces; ++f) {
        const float* p[3];
        for (int k = 0; k < 3; ++k) p[k] = verts + 3 * faces[3 * f + 2 - k];
        for (const float* c : p) triangles.insert(triangles.end(), c, c + 3);
        const float u[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
        const float w[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
        const float a = u[1] * w[2] - u[2] * w[1];
        const float b = u[2] * w[0] - u[0] * w[2];
        const float c = u[0] * w[1] - u[1] * w[0];
        planes.insert(planes.end(), {a, b, c, -(a * p[0][0] + b * p[0][1] + c * p[0][2])});
    }
    xfree(verts);
    xfree(faces);
}

void UTL_trim_to_inside_hull(const std::vector<float>& planes, std::vector<float>& points, bool keep_inside) {
    const size_t n_planes = planes.size() / 4;
    const size_t n = points.size() / 3;
    size_t kept = 0;
    for (size_t i = 0; i < n; ++i) {
        const float* p = &points[3 * i];
        bool keep;
        if (keep_inside) {
            keep = true;
            for (size_t j = 0; j < n_planes && keep; ++j) keep = !(plane_value(&planes[4 * j], p) < 0);
        } else {
            keep = false;
            for (size_t j = 0; j < n_planes && !keep; ++j) {
                const float v = plane_value(&planes[4 * j], p);
                keep = !(v > 0) && !std::isnan(v);
            }
        }
        if (!keep) continue;
        if (kept != i) std::memmove(&points[3 * kept], p, 3 * sizeof(float));
        ++kept;
    }
    points.erase(points.begin() + static_cast<long>(3 * kept), points.begin() + static_cast<long>(3 * n));
}

void UTL_create_ch_two_stage(const std::vector<float>& points, std::vector<float>& planes,
                             std::vector<float>& triangles) {
    const size_t n = points.size() / 3;
    // Greatest x, y, z, then least x, y, z; the first of equal points wins.
    size_t most[3] = {0, 0, 0}, least[3] = {0, 0, 0};
    for (size_t i = 1; i < n; ++i) {
        for (int a = 0; a < 3; ++a) {
            const float v = points[3 * i + a];
            if (v > points[3 * most[a] + a]) most[a] = i;
            if (v < points[3 * least[a] + a]) least[a] = i;
        }
    }
    if (n == 0 || most[0] == least[0] || most[1] == least[1] || most[2] == least[2]) {
        UTL_create_ch_brute_force(points, planes, triangles);
        return;
    }

    std::vector<float> extremes;
    for (const size_t i : {least[0], least[1], least[2], most[0], most[1], most[2]})
        extremes.insert(extremes.end(), &points[3 * i], &points[3 * i] + 3);
    std::vector<float> first_planes, first_triangles;
    UTL_create_ch_brute_force(extremes, first_planes, first_triangles);
    // Extremes on one line hull to nothing, which would trim every point away.
    if (first_planes.empty()) {
        UTL_create_ch_brute_force(points, planes, triangles);
        return;
    }

    std::vector<float> rest(points.begin(), points.begin() + static_cast<long>(3 * n));
    UTL_trim_to_inside_hull(first_planes, rest, false);
    rest.insert(rest.end(), extremes.begin(), extremes.end());
    std::printf("Would have done %d, really doing %d.\n", static_cast<int>(points.size()), static_cast<int>(rest.size()));
    UTL_create_ch_brute_force(rest, planes, triangles);
}
