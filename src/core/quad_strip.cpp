#include "core/quad_strip.h"

#include <algorithm>
#include <cmath>

namespace {

using geo::add;
using geo::dot;
using geo::length_squared;
using geo::normalised;
using geo::sub;

double distance(const Point3& a, const Point3& b) { return std::sqrt(length_squared(sub(a, b))); }

// The ends come back exactly, so a cut on a rung lands on its points.
double lerp(double a, double b, double f) { return a == b ? a : a * (1 - f) + b * f; }
Point3 interpolate(const Point3& a, const Point3& b, double f) {
    if (f == 0) return a;
    if (f == 1) return b;
    return {lerp(a.x, b.x, f), lerp(a.y, b.y, f), lerp(a.z, b.z, f)};
}

// Where one side (every second point from first) reaches length along itself; -1 when it is
// shorter. reach_exactly also takes a length that ends right on a point.
int cut_side(const QuadStrip& strip, int first, int last_start, double length, bool reach_exactly, Point3& cut) {
    double sum = 0;
    for (int k = first; k <= last_start; k += 2) {
        const double len = distance(strip[k + 2], strip[k]);
        if (sum + len > length || (reach_exactly && sum + len == length)) {
            cut = interpolate(strip[k], strip[k + 2], (length - sum) / len);
            return k;
        }
        sum += len;
    }
    return -1;
}

}  // namespace

double LongerSideOfQuad(const QuadStrip& s) {
    const Point3 &p0 = s[0], &p1 = s[1], &p2 = s[2], &p3 = s[3];
    const Vector3 odd = sub(p1, p3), even = sub(p0, p2);
    const double t1 = dot(sub(p0, p3), odd) / length_squared(odd);
    const double t2 = dot(sub(p1, p2), even) / length_squared(even);
    if (!(t1 < 1)) return distance(add(p2, even, t2), p0);
    return -distance(add(p3, odd, t1), p1);
}

void ReverseQuadStrip(QuadStrip& strip) { std::reverse(strip.begin(), strip.end()); }

void ChainToQuadStrip(const std::vector<Point3>& chain, const std::vector<Vector3>& up,
                      const std::vector<double>& width, QuadStrip& out) {
    const size_t n = chain.size();
    if (n < 2) return;
    out.clear();
    auto rung = [&out](const Point3& p, const Vector3& side, double h) {
        out.push_back(add(p, side, h));
        out.push_back(add(p, side, -h));
    };
    for (size_t i = 0; i < n; ++i) {
        const Point3& p = chain[i];
        const Vector3& up_i = up[i];
        const double h = 0.5 * width[i];
        if (i == 0) {
            rung(p, normalised(geo::cross(sub(chain[1], p), up_i)), h);
            continue;
        }
        if (i == n - 1) {
            rung(p, normalised(geo::cross(sub(p, chain[i - 1]), up_i)), h);
            continue;
        }
        const Vector3 side_in = normalised(geo::cross(normalised(sub(p, chain[i - 1])), up_i));
        const Vector3 side_out = normalised(geo::cross(normalised(sub(chain[i + 1], p)), up_i));
        const double k = dot(side_in, side_out);
        if (k > 0.9995) {
            rung(p, side_in, h);
        } else if (k < -0.9995) {
            rung(p, side_in, h);
            rung(p, side_out, h);
        } else {
            // Mitre: the two offset edges meet along a line, which crosses the plane of the point.
            const Vector3 n_in = normalised({h * side_in.x, h * side_in.y, h * side_in.z});
            const Vector3 n_out = normalised({h * side_out.x, h * side_out.y, h * side_out.z});
            for (const double sigma : {1.0, -1.0}) {
                const Point3 edge_in = add(p, side_in, sigma * h);
                const Point3 edge_out = add(p, side_out, sigma * h);
                const double c_in = dot(n_in, {edge_in.x, edge_in.y, edge_in.z});
                const double c_out = dot(n_out, {edge_out.x, edge_out.y, edge_out.z});
                Line3 meet;
                if (!geo::plane_pair_line(n_in, c_in, n_out, c_out, meet)) meet = {edge_in, up_i};
                Point3 end;
                if (!geo::line_meets_plane(meet.p, meet.v, normalised(up_i), p, end)) end = edge_in;
                out.push_back(end);
            }
        }
    }
}

void RemoveFromQuadStripFront(QuadStrip& strip, double dist, QuadStrip& removed, bool square_cut) {
    removed.clear();
    const int n = static_cast<int>(strip.size());
    if (n < 4) return;
    double even_len = dist, odd_len = dist;
    if (square_cut) {
        const double e = LongerSideOfQuad(strip);
        if (e >= 0)
            even_len = dist + e;
        else
            odd_len = dist - e;
    }
    if (!(dist > 0)) return;

    Point3 a, b;
    const int ko = cut_side(strip, 1, n - 3, odd_len, false, a);
    if (ko < 0) return;
    const int ke = cut_side(strip, 0, n - 4, even_len, true, b);
    if (ke < 0) return;

    const int j = ke + 1;
    removed.assign(strip.begin(), strip.begin() + std::min(ko, j) + 1);
    strip.erase(strip.begin(), strip.begin() + std::max(ko, j) + 1);
    removed.push_back(b);
    removed.push_back(a);
    if (geo::same(strip[0], b) || geo::same(strip[1], a)) return;
    strip.insert(strip.begin(), {b, a});
}

void RemoveFromQuadStripBack(QuadStrip& strip, double dist, QuadStrip& removed, bool square_cut) {
    ReverseQuadStrip(strip);
    RemoveFromQuadStripFront(strip, dist, removed, square_cut);
    ReverseQuadStrip(strip);
}
