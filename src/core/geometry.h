#pragma once
// Plane and space geometry in double precision: value types, polygon insets and thinning,
// bounding spheres, convex-polygon tests, half-plane clipping and Bezier sampling.
// Everything is stateless and works on the caller's values.
#include <vector>

struct Point2 {
    double x = 0, y = 0;
};
struct Vector2 {
    double x = 0, y = 0;
};
struct Segment2 {
    Point2 p1, p2;  // start, end
};
using Polygon2 = std::vector<Point2>;

struct Point3 {
    double x = 0, y = 0, z = 0;
};
struct Vector3 {
    double x = 0, y = 0, z = 0;
};
struct Segment3 {
    Point3 p1, p2;  // start, end
};
using Polygon3 = std::vector<Point3>;

// A point on the line and its direction (any length).
struct Line3 {
    Point3 p;
    Vector3 v;
};

// The points q with n.q == c; n.q > c is above.
struct Plane3 {
    Vector3 n;
    double c = 0;
};

// A squared radius of 0 is an empty sphere to ExtendBoundingSphereToSphere.
struct Sphere3 {
    Point3 c;
    double radius_squared = 0;
};

struct Bbox2 {
    Point2 min, max;
};

// Linear map of one rectangle onto another, axis by axis.
struct CoordTranslator {
    Bbox2 src, dst;
    Point2 Forward(const Point2& p) const;
    Point2 Reverse(const Point2& p) const;
};

// Orders by y, then x, then z.
struct lesser_y_then_x_then_z {
    bool operator()(const Point3& a, const Point3& b) const;
};

// Weights, where taken, hold one entry per edge (edge i runs from vertex i to i + 1, the last edge
// of a closed polygon back to vertex 0); a null pointer weighs every edge 1.
using EdgeWeights = std::vector<double>;

// b lies strictly counter-clockwise after a and strictly before c; a and c in one direction take
// the whole circle.
bool Is_CCW_Between(const Vector2& a, const Vector2& b, const Vector2& c);

// The largest inset before an edge shrinks to nothing; 0 when no edge limits it.
double CalcMaxInset(const Polygon2& poly, const EdgeWeights* weights, bool closed);

// Thins a closed polygon in place: chord_tol is compared with squared distances, straightness is
// a cosine, long_len and short_len are edge lengths.
void ReducePolygon(Polygon2& poly, double chord_tol, double straightness, double long_len, double short_len);

// Moves every edge left of travel by inset times its weight and joins the moved edges. A vertex
// where the outline turns straight back gets a square cap of two points; the callback then gets
// the cap's first index in out.
using InsetCapCallback = void (*)(int first_cap_index, void* ref);
void InsetPolygon(const Polygon2& poly, const EdgeWeights* weights, double inset, bool closed, Polygon2& out,
                  InsetCapCallback callback, void* ref);
// The same in space; "left" is up x direction of travel.
void InsetPolygon(const Polygon3& poly, const EdgeWeights* weights, double inset, bool closed, const Vector3& up,
                  Polygon3& out);

void ExtendBoundingSphereToSphere(const Sphere3& add, Sphere3& acc);
// Grows the sphere to reach p whether or not it already holds it.
void ExtendBoundingSphereToPt1(const Point3& p, Sphere3& s);
void ExtendBoundingSphereToPt(const Point3& p, Sphere3& s);
// An empty array leaves s as it was.
void FastBoundingSphere(const std::vector<Point3>& pts, Sphere3& s);

// p projected onto a convex polygon (either winding) lies inside or on an edge.
bool PointInPolygon3(const Polygon3& poly, const Point3& p);

// Where the two lines cross seen along their common perpendicular, placed in the plane through
// junction perpendicular to it. out is written only when true.
bool IntersectLinesAroundJunction(const Line3& l1, const Line3& l2, const Point3& junction, Point3& out);

// Samples a cubic Bezier curve; points closer than a nonzero clearance to an end are dropped.
void BezierCurve(const Point3& start, const Point3& end, bool has_c1, bool has_c2, const Point3& c1,
                 const Point3& c2, int segments, double start_clear, double end_clear, std::vector<Point3>& out);

// Keeps the part of a polygon on or below the plane.
void ClipToHalfPlane3(const Polygon3& poly, const Plane3& plane, Polygon3& out);

// Shared with the quad strips.
namespace geo {
Vector3 sub(const Point3& a, const Point3& b);
Point3 add(const Point3& p, const Vector3& v, double scale);
Vector3 cross(const Vector3& a, const Vector3& b);
double dot(const Vector3& a, const Vector3& b);
double length_squared(const Vector3& v);
Vector3 normalised(const Vector3& v);
// a*0.5 + b*0.5, a component both agree on taken unchanged.
Point3 midpoint(const Point3& a, const Point3& b);
bool same(const Point3& a, const Point3& b);
// Where the two planes n1.x == c1 and n2.x == c2 meet; false when they are parallel.
bool plane_pair_line(const Vector3& n1, double c1, const Vector3& n2, double c2, Line3& out);
// Where the line q + t*d meets the plane through on_plane with normal n; false when n.d is 0.
bool line_meets_plane(const Point3& q, const Vector3& d, const Vector3& n, const Point3& on_plane, Point3& out);
}  // namespace geo
