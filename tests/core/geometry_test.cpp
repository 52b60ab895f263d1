#include "core/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

void expect_points(const Polygon2& got, const Polygon2& want, double tol = 1e-12) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(got[i].x, want[i].x, tol) << "point " << i;
        EXPECT_NEAR(got[i].y, want[i].y, tol) << "point " << i;
    }
}

void expect_points(const Polygon3& got, const Polygon3& want, double tol = 1e-12) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(got[i].x, want[i].x, tol) << "point " << i;
        EXPECT_NEAR(got[i].y, want[i].y, tol) << "point " << i;
        EXPECT_NEAR(got[i].z, want[i].z, tol) << "point " << i;
    }
}

double distance(const Point3& a, const Point3& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

TEST(IsCcwBetween, Directions) {
    struct row {
        Vector2 a, b, c;
        bool want;
    };
    const row rows[] = {
        {{1, 0}, {0, 1}, {-1, 0}, true},
        {{1, 0}, {0, -1}, {-1, 0}, false},
        {{1, 0}, {0, -1}, {2, 0}, true},   // a and c alike: the whole circle
        {{1, 0}, {1, 0}, {1, 0}, true},
        {{1, 0}, {3, 0}, {0, 1}, false},   // b along a
        {{1, 0}, {0, 1}, {0, 1}, false},   // b along c
        {{-1, 0}, {0, -1}, {1, 0}, true},  // a on the cut of the arctangent
        {{0, -1}, {-1, 0}, {1, 0}, false},
    };
    for (const row& r : rows)
        EXPECT_EQ(Is_CCW_Between(r.a, r.b, r.c), r.want)
            << "a=(" << r.a.x << "," << r.a.y << ") b=(" << r.b.x << "," << r.b.y << ") c=(" << r.c.x << "," << r.c.y << ")";
}

TEST(CoordTranslator, MapsAndMapsBack) {
    CoordTranslator t{{{0, 0}, {10, 10}}, {{100, 200}, {300, 400}}};
    const Point2 f = t.Forward({5, 5});
    EXPECT_DOUBLE_EQ(f.x, 200);
    EXPECT_DOUBLE_EQ(f.y, 300);
    const Point2 r = t.Reverse(f);
    EXPECT_DOUBLE_EQ(r.x, 5);
    EXPECT_DOUBLE_EQ(r.y, 5);
}

TEST(CalcMaxInset, SquareAndDegenerateShapes) {
    const Polygon2 square{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    EXPECT_NEAR(CalcMaxInset(square, nullptr, true), 0.5, 1e-6);
    EXPECT_EQ(CalcMaxInset({{3, 4}}, nullptr, false), 0.0);
    EXPECT_EQ(CalcMaxInset({}, nullptr, true), 0.0);
    // Doubling every weight halves the room.
    const EdgeWeights twos(4, 2.0);
    EXPECT_NEAR(CalcMaxInset(square, &twos, true), 0.25, 1e-6);
}

TEST(CalcMaxInset, FirstEdgeWithoutBoundDoesNotHideTheOthers) {
    // A square with a notch in its top; edge 0 is the notch's floor, whose reflex corners make it
    // grow rather than shrink. The narrow tops either side of the notch limit the inset to 0.5.
    const Polygon2 notched{{2, 2}, {1, 2}, {1, 3}, {0, 3}, {0, 0}, {3, 0}, {3, 3}, {2, 3}};
    EXPECT_NEAR(CalcMaxInset(notched, nullptr, true), 0.5, 1e-6);
}

TEST(CalcMaxInset, OpenPolylineFreeEndsDoNotShorten) {
    // One weight per edge only: the free ends' neighbours are never read.
    const Polygon2 zigzag{{0, 0}, {4, 0}, {4, 4}};
    const EdgeWeights w{1.0, 1.0};
    // Each edge shortens only at the shared corner, by h per unit inset.
    EXPECT_NEAR(CalcMaxInset(zigzag, &w, false), 4.0, 1e-5);
}

TEST(ReducePolygon, ShortEdgesAndStraightRuns) {
    {
        Polygon2 two{{0, 0}, {0, 0}};
        ReducePolygon(two, 1, 0.5, 0, 10);
        EXPECT_EQ(two.size(), 2u);
    }
    {
        // Everything is shorter than the short-edge length, but two vertices always stay.
        Polygon2 tiny{{0, 0}, {0.1, 0}, {0.1, 0.1}, {0, 0.1}};
        ReducePolygon(tiny, 0, 1, 100, 1);
        EXPECT_EQ(tiny.size(), 2u);
    }
    {
        // The vertex 0.01 from its neighbour goes although the chord test would keep it.
        Polygon2 poly{{0, 0}, {10, 0}, {10.01, 0}, {10, 10}, {0, 10}};
        ReducePolygon(poly, 0, 1.0, 1e9, 0.5);
        expect_points(poly, {{0, 0}, {10.01, 0}, {10, 10}, {0, 10}});
    }
    {
        // Midpoints of long straight edges go; corners stay.
        Polygon2 poly{{0, 0}, {5, 0}, {10, 0}, {10, 5}, {10, 10}, {0, 10}};
        ReducePolygon(poly, 1e-6, 0.99, 1, 0.1);
        expect_points(poly, {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    }
    {
        // A bend beyond the chord tolerance stays.
        Polygon2 poly{{0, 0}, {5, 1}, {10, 0}, {10, 10}, {0, 10}};
        ReducePolygon(poly, 0.5, 0.9, 1, 0.1);
        EXPECT_EQ(poly.size(), 5u);
    }
}

void record_cap(int index, void* ref) { static_cast<std::vector<int>*>(ref)->push_back(index); }

TEST(InsetPolygon, SegmentBecomesRectangleWithTwoCaps) {
    const double d = 0.25;
    std::vector<int> caps;
    Polygon2 out;
    InsetPolygon(Polygon2{{0, 0}, {1, 0}}, nullptr, d, true, out, record_cap, &caps);
    expect_points(out, {{-d, -d}, {-d, d}, {1 + d, d}, {1 + d, -d}});
    EXPECT_EQ(caps, (std::vector<int>{0, 2}));
}

TEST(InsetPolygon, OpenPolylinesMoveLeft) {
    Polygon2 out;
    // A single segment shows the move itself: left of travel for positive insets, right for negative.
    InsetPolygon(Polygon2{{0, 0}, {2, 0}}, nullptr, 1, false, out, nullptr, nullptr);
    expect_points(out, {{0, 1}, {2, 1}});
    InsetPolygon(Polygon2{{0, 0}, {2, 0}}, nullptr, -1, false, out, nullptr, nullptr);
    expect_points(out, {{0, -1}, {2, -1}});
    // A right-angle turn joins at the crossing of the moved edges: n points out for n in.
    InsetPolygon(Polygon2{{0, 0}, {2, 0}, {2, 2}}, nullptr, 0.5, false, out, nullptr, nullptr);
    expect_points(out, {{0, 0.5}, {1.5, 0.5}, {1.5, 2}});
    // One point stays as it is.
    InsetPolygon(Polygon2{{7, 8}}, nullptr, 3, false, out, nullptr, nullptr);
    expect_points(out, {{7, 8}});
    // Collinear edges cannot cross: the end of the first moved edge is taken.
    InsetPolygon(Polygon2{{0, 0}, {1, 0}, {3, 0}}, nullptr, 1, false, out, nullptr, nullptr);
    expect_points(out, {{0, 1}, {1, 1}, {3, 1}});
}

TEST(InsetPolygon, WeightsScaleEachEdge) {
    const Polygon2 square{{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    const EdgeWeights w{1, 0, 1, 0};
    Polygon2 out;
    InsetPolygon(square, &w, 1, true, out, nullptr, nullptr);
    expect_points(out, {{0, 1}, {4, 1}, {4, 3}, {0, 3}});
}

TEST(InsetPolygon, SpaceFormMatchesPlaneForm) {
    const Polygon2 flat{{0, 0}, {4, 0}, {5, 3}, {1, 4}};
    Polygon3 space;
    for (const Point2& p : flat) space.push_back({p.x, p.y, 2});
    Polygon2 out2;
    Polygon3 out3;
    InsetPolygon(flat, nullptr, 0.5, true, out2, nullptr, nullptr);
    InsetPolygon(space, nullptr, 0.5, true, {0, 0, 1}, out3);
    ASSERT_EQ(out2.size(), out3.size());
    for (size_t i = 0; i < out2.size(); ++i) {
        EXPECT_NEAR(out3[i].x, out2[i].x, 1e-9);
        EXPECT_NEAR(out3[i].y, out2[i].y, 1e-9);
        EXPECT_NEAR(out3[i].z, 2, 1e-9);
    }
    // A spike in space gets the cap too.
    InsetPolygon(Polygon3{{0, 0, 0}, {1, 0, 0}}, nullptr, 0.25, true, {0, 0, 1}, out3);
    expect_points(out3, {{-0.25, -0.25, 0}, {-0.25, 0.25, 0}, {1.25, 0.25, 0}, {1.25, -0.25, 0}});
}

TEST(BoundingSphere, PointOnSurfaceAndOutside) {
    Sphere3 s{{0, 0, 0}, 4};
    ExtendBoundingSphereToPt({2, 0, 0}, s);
    EXPECT_EQ(s.c.x, 0);
    EXPECT_EQ(s.radius_squared, 4);
    ExtendBoundingSphereToPt({4, 0, 0}, s);
    EXPECT_DOUBLE_EQ(s.c.x, 1);
    EXPECT_DOUBLE_EQ(s.radius_squared, 9);
    // The unconditional form grows even for a point inside.
    Sphere3 t{{0, 0, 0}, 4};
    ExtendBoundingSphereToPt1({1, 0, 0}, t);
    EXPECT_DOUBLE_EQ(t.c.x, -0.5);
    EXPECT_DOUBLE_EQ(t.radius_squared, 2.25);
}

TEST(BoundingSphere, FastSphereHoldsEveryPoint) {
    Sphere3 s{{9, 9, 9}, 7};
    FastBoundingSphere({}, s);
    EXPECT_EQ(s.c.x, 9);
    EXPECT_EQ(s.radius_squared, 7);

    FastBoundingSphere({{1, 2, 3}}, s);
    EXPECT_EQ(s.c.x, 1);
    EXPECT_EQ(s.c.y, 2);
    EXPECT_EQ(s.c.z, 3);
    EXPECT_EQ(s.radius_squared, 0);

    std::mt19937 rng(17);
    std::uniform_real_distribution<double> u(-50, 50);
    std::vector<Point3> pts(300);
    for (Point3& p : pts) p = {u(rng), u(rng), u(rng)};
    const std::vector<Point3> before = pts;
    FastBoundingSphere(pts, s);
    const double r = std::sqrt(s.radius_squared);
    for (const Point3& p : pts) EXPECT_LE(distance(p, s.c), r * (1 + 1e-12));
    EXPECT_EQ(pts.size(), before.size());
    for (size_t i = 0; i < pts.size(); ++i) EXPECT_TRUE(geo::same(pts[i], before[i]));
}

TEST(BoundingSphere, ExtendToSphereBoundsBoth) {
    struct row {
        const char* what;
        Sphere3 add, acc;
    };
    const row rows[] = {
        {"disjoint", {{10, 0, 0}, 1}, {{0, 0, 0}, 4}},
        {"overlapping", {{1, 1, 0}, 9}, {{0, 0, 0}, 4}},
        {"added inside", {{0.5, 0, 0}, 1}, {{0, 0, 0}, 16}},
        {"added encloses", {{0.5, 0, 0}, 25}, {{0, 0, 0}, 1}},
        {"added encloses, same centre", {{0, 0, 0}, 9}, {{0, 0, 0}, 1}},
        {"accumulator empty", {{3, 2, 1}, 2}, {{0, 0, 0}, 0}},
    };
    for (const row& r : rows) {
        Sphere3 acc = r.acc;
        ExtendBoundingSphereToSphere(r.add, acc);
        const double rr = std::sqrt(acc.radius_squared);
        for (const Sphere3& s : {r.add, r.acc}) {
            if (s.radius_squared == 0) continue;
            EXPECT_LE(distance(s.c, acc.c) + std::sqrt(s.radius_squared), rr * (1 + 1e-12)) << r.what;
        }
        // Never larger than the two need.
        const double ra = std::sqrt(r.add.radius_squared), rc = std::sqrt(r.acc.radius_squared);
        const double need = rc == 0 ? ra : std::max({ra, rc, (distance(r.add.c, r.acc.c) + ra + rc) / 2});
        EXPECT_NEAR(rr, need, 1e-9) << r.what;
    }
    // An empty sphere adds nothing.
    Sphere3 acc{{1, 1, 1}, 4};
    ExtendBoundingSphereToSphere({{50, 0, 0}, 0}, acc);
    EXPECT_EQ(acc.c.x, 1);
    EXPECT_EQ(acc.radius_squared, 4);
}

TEST(PointInPolygon3, ConvexOutlineEitherWinding) {
    const Polygon3 ccw{{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}};
    const Polygon3 cw(ccw.rbegin(), ccw.rend());
    struct row {
        Point3 p;
        bool in;
    };
    const row rows[] = {
        {{1, 1, 0}, true}, {{1, 0, 0}, true},  {{2, 2, 0}, true},  {{1, 1, 5}, true},
        {{3, 1, 0}, false}, {{1, -0.1, 0}, false}, {{-1, 1, -4}, false},
    };
    for (const row& r : rows) {
        EXPECT_EQ(PointInPolygon3(ccw, r.p), r.in) << r.p.x << "," << r.p.y << "," << r.p.z;
        EXPECT_EQ(PointInPolygon3(cw, r.p), r.in) << r.p.x << "," << r.p.y << "," << r.p.z;
    }
    EXPECT_FALSE(PointInPolygon3({{0, 0, 0}, {1, 0, 0}}, {0.5, 0, 0}));
}

TEST(IntersectLinesAroundJunction, CrossingAndParallel) {
    Point3 out{-1, -1, -1};
    EXPECT_TRUE(IntersectLinesAroundJunction({{0, 0, 0}, {1, 0, 0}}, {{5, 5, 2}, {0, 1, 0}}, {0, 0, 7}, out));
    expect_points({out}, {{5, 0, 7}});

    out = {-1, -1, -1};
    EXPECT_FALSE(IntersectLinesAroundJunction({{0, 0, 0}, {1, 2, 3}}, {{5, 5, 2}, {-2, -4, -6}}, {0, 0, 7}, out));
    EXPECT_TRUE(geo::same(out, {-1, -1, -1}));
}

TEST(BezierCurve, ControlPointsAndClearances) {
    std::vector<Point3> out;
    const Point3 a{0, 0, 0}, b{3, 0, 0};
    BezierCurve(a, b, false, false, {1, 5, 0}, {2, 5, 0}, 10, 0, 0, out);
    expect_points(out, {a, b});
    // Controls on the chord give a straight line: no samples in between.
    BezierCurve(a, b, true, true, {1, 0, 0}, {2, 0, 0}, 10, 0, 0, out);
    expect_points(out, {a, b});

    BezierCurve(a, b, true, true, {0, 3, 0}, {3, 3, 0}, 4, 0, 0, out);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_NEAR(out[2].x, 1.5, 1e-6);
    EXPECT_NEAR(out[2].y, 2.25, 1e-6);  // 3 * 0.75 at t = 1/2
    EXPECT_NEAR(out[1].y, 3 * (3 * 0.75 * 0.75 * 0.25 + 3 * 0.75 * 0.25 * 0.25), 1e-6);

    // Clearances drop the samples near either end.
    BezierCurve(a, b, true, true, {0, 3, 0}, {3, 3, 0}, 4, 2, 0, out);
    EXPECT_EQ(out.size(), 4u);
    BezierCurve(a, b, true, true, {0, 3, 0}, {3, 3, 0}, 4, 2, 2, out);
    EXPECT_EQ(out.size(), 3u);
    // A segment count of zero or less still gives the ends.
    BezierCurve(a, b, true, false, {0, 3, 0}, {}, -3, 0, 0, out);
    expect_points(out, {a, b});
}

TEST(ClipToHalfPlane3, KeepsThePartOnOrBelow) {
    const Polygon3 square{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const Plane3 x_half{{1, 0, 0}, 0.5};
    Polygon3 out;
    ClipToHalfPlane3(square, x_half, out);
    expect_points(out, {{0, 0, 0}, {0.5, 0, 0}, {0.5, 1, 0}, {0, 1, 0}});

    ClipToHalfPlane3(square, {{1, 0, 0}, 2}, out);
    expect_points(out, square);
    ClipToHalfPlane3(square, {{1, 0, 0}, -1}, out);
    EXPECT_TRUE(out.empty());
    ClipToHalfPlane3({}, x_half, out);
    EXPECT_TRUE(out.empty());
}

TEST(ClipToHalfPlane3, VerticesOnThePlaneAreKept) {
    struct row {
        const char* what;
        Polygon3 poly;
        Plane3 plane;
        Polygon3 want;
    };
    const row rows[] = {
        {"edge on the plane", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{1, 0, 0}, 1},
         {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}},
        {"diamond cut through two corners", {{1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}}, {{1, 0, 0}, 0},
         {{0, 1, 0}, {-1, 0, 0}, {0, -1, 0}}},
        {"first vertex on the plane", {{0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {1, 0, 0}}, {{1, 0, 0}, 0},
         {{0, 1, 0}, {-1, 0, 0}, {0, -1, 0}}},
    };
    for (const row& r : rows) {
        Polygon3 out;
        ClipToHalfPlane3(r.poly, r.plane, out);
        SCOPED_TRACE(r.what);
        expect_points(out, r.want);
    }
}

}  // namespace
