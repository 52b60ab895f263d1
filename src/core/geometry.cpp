#include "core/geometry.h"

#include <algorithm>
#include <cmath>

#include "core/shared_constants.h"

namespace {

const double PI = 3.141592653589793;
const double PI2 = 2.0 * PI;

// Angles of directions are taken in single precision, the way the callers were tuned.
double angle_of(double x, double y) {
    return static_cast<double>(std::atan2(static_cast<float>(y), static_cast<float>(x)));
}

double sign_of(double v) { return v > 0 ? 1.0 : (v < 0 ? -1.0 : 0.0); }

// An axis-aligned vector comes out exactly unit length.
Vector2 normalised2(Vector2 v) {
    if (v.x == 0) {
        v.y = sign_of(v.y);
    } else if (v.y == 0) {
        v.x = sign_of(v.x);
    } else {
        const double len = std::sqrt(v.x * v.x + v.y * v.y);
        if (len != 0) {
            const double r = 1.0 / len;
            v.x *= r;
            v.y *= r;
        }
    }
    return v;
}

Vector2 sub2(const Point2& a, const Point2& b) { return {a.x - b.x, a.y - b.y}; }
double dot2(const Vector2& a, const Vector2& b) { return a.x * b.x + a.y * b.y; }
double dist2_squared(const Point2& a, const Point2& b) { return dot2(sub2(a, b), sub2(a, b)); }
bool same2(const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }

void MoveSegLeft(const Segment2& s, double dist, Segment2& out) {
    const Vector2 n = normalised2({-(s.p2.y - s.p1.y), s.p2.x - s.p1.x});
    out.p1 = {s.p1.x + dist * n.x, s.p1.y + dist * n.y};
    out.p2 = {s.p2.x + dist * n.x, s.p2.y + dist * n.y};
}

void MoveSegLeft(const Segment3& s, double dist, Segment3& out, const Vector3& up) {
    const Vector3 side = geo::normalised(geo::cross(up, geo::sub(s.p2, s.p1)));
    out.p1 = geo::add(s.p1, side, dist);
    out.p2 = geo::add(s.p2, side, dist);
}

bool same_point(const Point2& a, const Point2& b) { return same2(a, b); }
bool same_point(const Point3& a, const Point3& b) { return geo::same(a, b); }

double weight_of(const EdgeWeights* w, int edge) { return w ? (*w)[edge] : 1.0; }

// Both directions lie on one line (every pair of cross-multiplied components equal).
bool parallel(const Vector3& a, const Vector3& b) {
    return a.y * b.z == a.z * b.y && a.z * b.x == a.x * b.z && a.x * b.y == a.y * b.x;
}

// The inset walk shared by the plane and the space form: moved edges joined at each vertex,
// with a square cap where the outline turns straight back.
template <class P, class Seg, class Move, class Join>
void inset_walk(const std::vector<P>& poly, const EdgeWeights* w, double inset, bool closed, std::vector<P>& out,
                Move move, Join join, InsetCapCallback callback, void* ref) {
    out.clear();
    const int n = static_cast<int>(poly.size());
    if (n == 0) return;
    if (!closed && n == 1) {
        out.push_back(poly[0]);
        return;
    }
    const int edges = closed ? n : n - 1;
    std::vector<Seg> moved(edges);
    for (int i = 0; i < edges; ++i) move(Seg{poly[i], poly[(i + 1) % n]}, inset * weight_of(w, i), moved[i]);

    int caps = 0;
    for (int k = 0; k < n; ++k) {
        const int p = k == 0 ? n - 1 : k - 1;
        if (!closed && k == 0) {
            out.push_back(moved[0].p1);
        } else if (!closed && k == n - 1) {
            out.push_back(moved[p].p2);
        } else if (same_point(poly[p], poly[(k + 1) % n])) {
            Seg cap;
            move(Seg{moved[p].p2, moved[k].p1}, inset * weight_of(w, k), cap);
            out.push_back(cap.p1);
            out.push_back(cap.p2);
            if (callback) callback(k + caps, ref);
            ++caps;
        } else {
            out.push_back(join(moved[p], moved[k]));
        }
    }
}

}  // namespace

namespace geo {
Vector3 sub(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point3 add(const Point3& p, const Vector3& v, double scale) {
    return {p.x + scale * v.x, p.y + scale * v.y, p.z + scale * v.z};
}
Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length_squared(const Vector3& v) { return dot(v, v); }
Vector3 normalised(const Vector3& v) {
    const double len = std::sqrt(length_squared(v));
    if (len == 0) return v;
    const double r = 1.0 / len;
    return {v.x * r, v.y * r, v.z * r};
}
static double mid(double a, double b) { return a == b ? a : a * 0.5 + b * 0.5; }
Point3 midpoint(const Point3& a, const Point3& b) { return {mid(a.x, b.x), mid(a.y, b.y), mid(a.z, b.z)}; }
bool same(const Point3& a, const Point3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

bool plane_pair_line(const Vector3& n1, double c1, const Vector3& n2, double c2, Line3& out) {
    if (n1.x == n2.x && n1.y == n2.y && n1.z == n2.z) return false;
    const double n11 = length_squared(n1), n22 = length_squared(n2), n12 = dot(n1, n2);
    const double det = n11 * n22 - n12 * n12;
    if (det == 0) return false;
    const double a = (c1 * n22 - c2 * n12) / det;
    const double b = (c2 * n11 - c1 * n12) / det;
    out.p = {a * n1.x + b * n2.x, a * n1.y + b * n2.y, a * n1.z + b * n2.z};
    out.v = cross(n1, n2);
    return true;
}

bool line_meets_plane(const Point3& q, const Vector3& d, const Vector3& n, const Point3& on_plane, Point3& out) {
    const double den = dot(n, d);
    if (den == 0) return false;
    const Vector3 on{on_plane.x, on_plane.y, on_plane.z}, qv{q.x, q.y, q.z};
    const double t = (dot(n, on) - dot(n, qv)) / den;
    out = add(q, d, t);
    return true;
}
}  // namespace geo

bool lesser_y_then_x_then_z::operator()(const Point3& a, const Point3& b) const {
    if (a.y != b.y) return a.y < b.y;
    if (a.x != b.x) return a.x < b.x;
    return a.z < b.z;
}

bool Is_CCW_Between(const Vector2& a, const Vector2& b, const Vector2& c) {
    double aa = angle_of(a.x, a.y), bb = angle_of(b.x, b.y), cc = angle_of(c.x, c.y);
    if (aa == cc) return true;
    if (aa <= -3.141592653589793) aa += PI2;
    if (bb <= -3.141592653589793) bb += PI2;
    if (cc <= -3.141592653589793) cc += PI2;
    if (bb < aa) bb += PI2;
    if (cc < aa) cc += PI2;
    return bb > aa && cc > bb;
}

Point2 CoordTranslator::Forward(const Point2& p) const {
    return {dst.min.x + (p.x - src.min.x) * (dst.max.x - dst.min.x) / (src.max.x - src.min.x),
            dst.min.y + (p.y - src.min.y) * (dst.max.y - dst.min.y) / (src.max.y - src.min.y)};
}

Point2 CoordTranslator::Reverse(const Point2& p) const {
    return {src.min.x + (p.x - dst.min.x) * (src.max.x - src.min.x) / (dst.max.x - dst.min.x),
            src.min.y + (p.y - dst.min.y) * (src.max.y - src.min.y) / (dst.max.y - dst.min.y)};
}

double CalcMaxInset(const Polygon2& poly, const EdgeWeights* weights, bool closed) {
    const int n = static_cast<int>(poly.size());
    const int edges = closed ? n : n - 1;
    if (edges <= 0) return 0.0;

    // Corner angle on the left of travel; negative at a reflex corner.
    auto corner = [](const Point2& a, const Point2& b, const Point2& c) {
        const Vector2 in = sub2(b, a), out = sub2(c, b);
        double ang = PI - (angle_of(out.x, out.y) - angle_of(in.x, in.y));
        if (ang > PI) ang -= PI2;
        return ang;
    };

    double result = 0.0;
    bool bounded = false;
    for (int i = 0; i < edges; ++i) {
        const Point2& cur = poly[i];
        const Point2& next = poly[(i + 1) % n];
        const double w = weight_of(weights, i);
        double s = 0;
        // The free ends of an open polyline do not shorten, so their neighbours are never read.
        if (closed || i > 0) {
            const Point2& prev = poly[i == 0 ? n - 1 : i - 1];
            const double a0 = corner(prev, cur, next);
            s += w * std::cos(a0) / std::sin(a0) + weight_of(weights, i == 0 ? n - 1 : i - 1) / std::sin(a0);
        }
        if (closed || i < edges - 1) {
            const Point2& after = poly[(i + 2) % n];
            const double a1 = corner(cur, next, after);
            const int after_edge = i + 1 < edges ? i + 1 : 0;
            s += w * std::cos(a1) / std::sin(a1) + weight_of(weights, after_edge) / std::sin(a1);
        }
        if (s > 0) {
            const double h = std::sqrt(dist2_squared(next, cur)) / s;
            if (!bounded || h < result) {
                result = h;
                bounded = true;
            }
        }
    }
    return result;
}

void ReducePolygon(Polygon2& poly, double chord_tol, double straightness, double long_len, double short_len) {
    const double short2 = short_len * short_len;
    const double long2 = long_len * long_len;
    bool removed = true;
    while (removed) {
        removed = false;
        for (size_t i = 0; i < poly.size(); ++i) {
            const size_t n = poly.size();
            if (n <= 2) return;
            const Point2 cur = poly[i];
            const Point2 prev = poly[(n + i - 1) % n];
            const Point2 next = poly[(i + 1) % n];
            const double in2 = dist2_squared(cur, prev), out2 = dist2_squared(next, cur);
            bool drop = in2 < short2 || out2 < short2;
            if (!drop && in2 > long2 && out2 > long2) {
                const Vector2 u = sub2(next, prev);
                const double k = dot2(sub2(cur, prev), u) / dot2(u, u);  // NaN when prev == next
                const Point2 foot{prev.x + u.x * k, prev.y + u.y * k};
                if (dist2_squared(foot, cur) < chord_tol &&
                    dot2(normalised2(sub2(cur, prev)), normalised2(sub2(next, cur))) > straightness)
                    drop = true;
            }
            if (drop) {
                poly.erase(poly.begin() + static_cast<long>(i));
                removed = true;
            }
        }
    }
}

void InsetPolygon(const Polygon2& poly, const EdgeWeights* weights, double inset, bool closed, Polygon2& out,
                  InsetCapCallback callback, void* ref) {
    auto move = [](const Segment2& s, double d, Segment2& o) { MoveSegLeft(s, d, o); };
    // The crossing of the two moved lines by Cramer's rule; parallel lines keep the end of the first.
    auto join = [](const Segment2& a, const Segment2& b) {
        const double a1 = a.p2.y - a.p1.y, b1 = a.p1.x - a.p2.x, c1 = a1 * a.p1.x + b1 * a.p1.y;
        const double a2 = b.p2.y - b.p1.y, b2 = b.p1.x - b.p2.x, c2 = a2 * b.p1.x + b2 * b.p1.y;
        const double det = a1 * b2 - a2 * b1;
        if (det == 0) return a.p2;
        return Point2{(c1 * b2 - c2 * b1) / det, (a1 * c2 - a2 * c1) / det};
    };
    inset_walk<Point2, Segment2>(poly, weights, inset, closed, out, move, join, callback, ref);
}

void InsetPolygon(const Polygon3& poly, const EdgeWeights* weights, double inset, bool closed, const Vector3& up,
                  Polygon3& out) {
    auto move = [&up](const Segment3& s, double d, Segment3& o) { MoveSegLeft(s, d, o, up); };
    auto join = [&up](const Segment3& a, const Segment3& b) {
        const Vector3 n = geo::normalised(geo::cross(geo::sub(a.p2, a.p1), up));
        Point3 hit;
        return geo::line_meets_plane(b.p1, geo::sub(b.p2, b.p1), n, a.p2, hit) ? hit : b.p1;
    };
    inset_walk<Point3, Segment3>(poly, weights, inset, closed, out, move, join, nullptr, nullptr);
}

void ExtendBoundingSphereToPt1(const Point3& p, Sphere3& s) {
    const Vector3 u = geo::normalised(geo::sub(p, s.c));
    const Point3 far = geo::add(s.c, u, -std::sqrt(s.radius_squared));
    s.c = geo::midpoint(far, p);
    s.radius_squared = geo::length_squared(geo::sub(p, s.c));
}

void ExtendBoundingSphereToPt(const Point3& p, Sphere3& s) {
    if (s.radius_squared >= geo::length_squared(geo::sub(p, s.c))) return;
    ExtendBoundingSphereToPt1(p, s);
}

void ExtendBoundingSphereToSphere(const Sphere3& add, Sphere3& acc) {
    if (add.radius_squared == 0) return;
    if (acc.radius_squared == 0) {
        acc = add;
        return;
    }
    const double ra = std::sqrt(add.radius_squared), rc = std::sqrt(acc.radius_squared);
    const Vector3 d = geo::sub(add.c, acc.c);
    const double dist = std::sqrt(geo::length_squared(d));
    if (rc >= ra + dist) return;
    if (ra >= rc + dist) {
        acc = add;
        return;
    }
    const Vector3 u = geo::normalised(d);
    const Point3 f = geo::add(acc.c, u, -rc);
    const Point3 g = geo::add(add.c, u, ra);
    acc.c = geo::midpoint(f, g);
    acc.radius_squared = geo::length_squared(geo::sub(f, acc.c));
}

void FastBoundingSphere(const std::vector<Point3>& pts, Sphere3& s) {
    if (pts.empty()) return;
    std::vector<Point3> sorted(pts);
    std::sort(sorted.begin(), sorted.end(), lesser_y_then_x_then_z());
    s.c = geo::midpoint(sorted.front(), sorted.back());
    s.radius_squared = geo::length_squared(geo::sub(sorted.front(), s.c));
    for (size_t i = 1; i + 1 < sorted.size(); ++i) ExtendBoundingSphereToPt(sorted[i], s);
}

bool PointInPolygon3(const Polygon3& poly, const Point3& p) {
    const size_t n = poly.size();
    if (n < 3) return false;
    const Vector3 normal = geo::normalised(geo::cross(geo::sub(poly[1], poly[0]), geo::sub(poly[1], poly[2])));
    const Vector3 pv{p.x, p.y, p.z};
    for (size_t i = 0; i < n; ++i) {
        const Point3& a = poly[i];
        const Vector3 out = geo::normalised(geo::cross(normal, geo::sub(poly[(i + 1) % n], a)));
        if (geo::dot(out, pv) - geo::dot(out, {a.x, a.y, a.z}) > 0) return false;
    }
    return true;
}

bool IntersectLinesAroundJunction(const Line3& l1, const Line3& l2, const Point3& junction, Point3& out) {
    if (parallel(l1.v, l2.v)) return false;
    const Vector3 n = geo::normalised(geo::cross(l1.v, l2.v));
    const Vector3 m1 = geo::normalised(geo::cross(l1.v, n));
    const Vector3 m2 = geo::normalised(geo::cross(l2.v, n));
    const double c1 = geo::dot(m1, {l1.p.x, l1.p.y, l1.p.z});
    const double c2 = geo::dot(m2, {l2.p.x, l2.p.y, l2.p.z});
    Line3 common;
    if (!geo::plane_pair_line(m1, c1, m2, c2, common)) return false;
    return geo::line_meets_plane(common.p, common.v, n, junction, out);
}

void BezierCurve(const Point3& start, const Point3& end, bool has_c1, bool has_c2, const Point3& c1,
                 const Point3& c2, int segments, double start_clear, double end_clear, std::vector<Point3>& out) {
    int m = (has_c1 || has_c2) ? std::max(segments, 1) : 1;
    out.clear();
    out.push_back(start);
    const Point3 a = has_c1 ? c1 : start;
    const Point3 b = has_c2 ? c2 : end;
    const Vector3 chord = geo::sub(end, start);
    if (m > 1 && parallel(geo::sub(a, start), chord) && parallel(geo::sub(b, start), chord)) m = 1;

    const double start_clear2 = start_clear * start_clear, end_clear2 = end_clear * end_clear;
    for (int i = 1; i < m; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(m);
        const float s = 1.0f - t;
        const double b0 = s * s * s;
        const double b3 = t * t * t;
        const double b1 = static_cast<float>(3.0 * s * s * t);
        const double b2 = static_cast<float>(3.0 * s * t * t);
        const Point3 p{b0 * start.x + b1 * a.x + b2 * b.x + b3 * end.x, b0 * start.y + b1 * a.y + b2 * b.y + b3 * end.y,
                       b0 * start.z + b1 * a.z + b2 * b.z + b3 * end.z};
        if (start_clear2 > 0 && start_clear2 > geo::length_squared(geo::sub(p, start))) continue;
        if (end_clear2 > 0 && end_clear2 > geo::length_squared(geo::sub(p, end))) continue;
        out.push_back(p);
    }
    out.push_back(end);
}

void ClipToHalfPlane3(const Polygon3& poly, const Plane3& plane, Polygon3& out) {
    out.clear();
    const size_t n = poly.size();
    // Each vertex is judged on its own, so one lying on the plane is kept and never flips the side
    // of the vertices after it.
    auto kept = [&plane](const Point3& p) { return !(geo::dot(plane.n, {p.x, p.y, p.z}) > plane.c); };
    for (size_t i = 0; i < n; ++i) {
        const Point3& cur = poly[i];
        const Point3& next = poly[(i + 1) % n];
        const bool cur_kept = kept(cur);
        if (cur_kept) out.push_back(cur);
        if (cur_kept == kept(next)) continue;
        const double den = geo::dot(plane.n, geo::sub(next, cur));
        if (den == 0) continue;
        const double t = (plane.c - geo::dot(plane.n, {cur.x, cur.y, cur.z})) / den;
        if (t < 0 || t > 1) continue;
        const Point3 x{cur.x * (1 - t) + next.x * t, cur.y * (1 - t) + next.y * t, cur.z * (1 - t) + next.z * t};
        if (!geo::same(x, cur) && !geo::same(x, next)) out.push_back(x);
    }
}
