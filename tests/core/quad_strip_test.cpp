#include "core/quad_strip.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

void expect_strip(const QuadStrip& got, const std::vector<Point3>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(got[i].x, want[i].x, 1e-12) << "point " << i;
        EXPECT_NEAR(got[i].y, want[i].y, 1e-12) << "point " << i;
        EXPECT_NEAR(got[i].z, want[i].z, 1e-12) << "point " << i;
    }
}

// Rungs at x = 0, 1, 2, 3; the even side at y = -1, the odd side at y = 1.
QuadStrip ladder() { return {{0, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}, {2, -1, 0}, {2, 1, 0}, {3, -1, 0}, {3, 1, 0}}; }

TEST(LongerSideOfQuad, SquareAndSkewedFronts) {
    EXPECT_DOUBLE_EQ(LongerSideOfQuad({{0, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}}), 0.0);
    EXPECT_DOUBLE_EQ(LongerSideOfQuad({{0.5, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}}), -0.5);
    EXPECT_DOUBLE_EQ(LongerSideOfQuad({{0, -1, 0}, {0.25, 1, 0}, {1, -1, 0}, {1, 1, 0}}), 0.25);
}

TEST(ReverseQuadStrip, TwiceRestores) {
    QuadStrip s = ladder();
    ReverseQuadStrip(s);
    EXPECT_TRUE(geo::same(s[0], {3, 1, 0}));
    EXPECT_TRUE(geo::same(s[7], {0, -1, 0}));
    ReverseQuadStrip(s);
    expect_strip(s, ladder());
}

TEST(ChainToQuadStrip, StraightCornerAndTurnBack) {
    const Vector3 z{0, 0, 1};
    QuadStrip out{{9, 9, 9}};
    ChainToQuadStrip({{0, 0, 0}}, {z}, {2}, out);
    expect_strip(out, {{9, 9, 9}});

    ChainToQuadStrip({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {z, z, z}, {2, 2, 2}, out);
    expect_strip(out, {{0, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}, {2, -1, 0}, {2, 1, 0}});

    // A left turn: the right-hand (even) end of the corner rung is the outer mitre point.
    ChainToQuadStrip({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {z, z, z}, {2, 2, 2}, out);
    expect_strip(out, {{0, -1, 0}, {0, 1, 0}, {2, -1, 0}, {0, 1, 0}, {2, 1, 0}, {0, 1, 0}});

    // Each point's own width.
    ChainToQuadStrip({{0, 0, 0}, {1, 0, 0}}, {z, z}, {2, 4}, out);
    expect_strip(out, {{0, -1, 0}, {0, 1, 0}, {1, -2, 0}, {1, 2, 0}});

    // Turning straight back gives the point two rungs.
    ChainToQuadStrip({{0, 0, 0}, {1, 0, 0}, {0, 0, 0}}, {z, z, z}, {2, 2, 2}, out);
    expect_strip(out, {{0, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}, {1, 1, 0}, {1, -1, 0}, {0, 1, 0}, {0, -1, 0}});
}

TEST(RemoveFromQuadStrip, CutsAlongBothSides) {
    struct row {
        const char* what;
        bool back;
        double dist;
        std::vector<Point3> removed, left;
    };
    const row rows[] = {
        {"front 1.5", false, 1.5,
         {{0, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}, {1.5, -1, 0}, {1.5, 1, 0}},
         {{1.5, -1, 0}, {1.5, 1, 0}, {2, -1, 0}, {2, 1, 0}, {3, -1, 0}, {3, 1, 0}}},
        {"front exactly to a rung", false, 1.0,
         {{0, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}},
         {{1, -1, 0}, {1, 1, 0}, {2, -1, 0}, {2, 1, 0}, {3, -1, 0}, {3, 1, 0}}},
        {"back 1.5", true, 1.5,
         {{3, 1, 0}, {3, -1, 0}, {2, 1, 0}, {2, -1, 0}, {1.5, 1, 0}, {1.5, -1, 0}},
         {{0, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}, {1.5, -1, 0}, {1.5, 1, 0}}},
        {"nothing to cut", false, 0, {}, ladder()},
        {"longer than the sides", false, 3.5, {}, ladder()},
        {"not a number", false, std::nan(""), {}, ladder()},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        QuadStrip strip = ladder(), removed{{7, 7, 7}};
        if (r.back)
            RemoveFromQuadStripBack(strip, r.dist, removed, false);
        else
            RemoveFromQuadStripFront(strip, r.dist, removed, false);
        expect_strip(removed, r.removed);
        expect_strip(strip, r.left);
    }

    QuadStrip three{{0, -1, 0}, {0, 1, 0}, {1, -1, 0}}, removed{{7, 7, 7}};
    RemoveFromQuadStripFront(three, 0.5, removed, false);
    EXPECT_EQ(three.size(), 3u);
    EXPECT_TRUE(removed.empty());
}

TEST(RemoveFromQuadStrip, SquareCutEvensASkewedFront) {
    // The even side starts half a unit behind the odd one; a square cut of 1 leaves a square front.
    QuadStrip strip = ladder(), removed;
    strip[0] = {0.5, -1, 0};
    RemoveFromQuadStripFront(strip, 1, removed, true);
    ASSERT_GE(strip.size(), 2u);
    expect_strip({strip[0], strip[1]}, {{1.5, -1, 0}, {1.5, 1, 0}});

    // Without squaring both sides lose the same length, so the front stays skewed.
    strip = ladder();
    strip[0] = {0.5, -1, 0};
    RemoveFromQuadStripFront(strip, 1, removed, false);
    expect_strip({strip[0], strip[1]}, {{1.5, -1, 0}, {1, 1, 0}});
}

}  // namespace
