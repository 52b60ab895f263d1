#include "core/convex_hull.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "core/convex_hull_lists.h"
#include "core/memory.h"
#include "support/temp_dir.h"

namespace {

using Corner = std::array<float, 3>;
using Triangle = std::array<Corner, 3>;

const std::vector<float> cube{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 1};

std::vector<Triangle> triangles_of(const std::vector<float>& flat) {
    std::vector<Triangle> out(flat.size() / 9);
    for (size_t t = 0; t < out.size(); ++t)
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k) out[t][c][k] = flat[9 * t + 3 * c + k];
    return out;
}

// Each triangle turned to start at its least corner, keeping its winding; then sorted.
std::vector<Triangle> canonical(const std::vector<float>& flat) {
    std::vector<Triangle> tris = triangles_of(flat);
    for (Triangle& t : tris) std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
    std::sort(tris.begin(), tris.end());
    return tris;
}

double plane_at(const float* plane, double x, double y, double z) {
    return double(plane[0]) * x + double(plane[1]) * y + double(plane[2]) * z + double(plane[3]);
}

// The plane through a triangle's corners in double, positive inside. On the 1/1024 grid with
// small coordinates every product is exact, so the sign is too.
std::array<double, 4> exact_plane(const Triangle& t) {
    const double u[3] = {double(t[1][0]) - t[0][0], double(t[1][1]) - t[0][1], double(t[1][2]) - t[0][2]};
    const double w[3] = {double(t[2][0]) - t[0][0], double(t[2][1]) - t[0][1], double(t[2][2]) - t[0][2]};
    const double a = u[1] * w[2] - u[2] * w[1], b = u[2] * w[0] - u[0] * w[2], c = u[0] * w[1] - u[1] * w[0];
    return {a, b, c, -(a * t[0][0] + b * t[0][1] + c * t[0][2])};
}

float snapped(float c) { return static_cast<float>(std::trunc(double(c) * 1024.0) / 1024.0) + 0.0f; }

TEST(ConvexHullLists, CubeGivesTwelveTrianglesAndPlanes) {
    std::vector<float> planes, tris;
    UTL_create_ch_brute_force(cube, planes, tris);
    ASSERT_EQ(tris.size(), 12u * 9);
    ASSERT_EQ(planes.size(), 12u * 4);
    for (size_t t = 0; t < 12; ++t) {
        const float* plane = &planes[4 * t];
        for (int c = 0; c < 3; ++c) {
            const float* corner = &tris[9 * t + 3 * c];
            EXPECT_EQ(plane_at(plane, corner[0], corner[1], corner[2]), 0.0) << "triangle " << t;
        }
        EXPECT_GT(plane_at(plane, 0.5, 0.5, 0.5), 0.0) << "triangle " << t;
    }

    // Points inside and repeats change nothing.
    for (const std::vector<float>& extra : {std::vector<float>{0.5f, 0.5f, 0.5f}, std::vector<float>{1, 1, 0}}) {
        std::vector<float> more = cube, planes2, tris2;
        more.insert(more.end(), extra.begin(), extra.end());
        UTL_create_ch_brute_force(more, planes2, tris2);
        EXPECT_EQ(tris2, tris);
        EXPECT_EQ(planes2, planes);
    }
}

TEST(ConvexHullLists, TetrahedronRunsClockwiseFromOutside) {
    const std::vector<float> tet{0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 2};
    std::vector<float> planes, tris;
    UTL_create_ch_brute_force(tet, planes, tris);
    ASSERT_EQ(tris.size(), 4u * 9);
    for (const Triangle& t : triangles_of(tris)) {
        const std::array<double, 4> p = exact_plane(t);
        // Clockwise from outside: the right-hand normal points in, toward the centroid.
        EXPECT_GT(p[0] * 0.5 + p[1] * 0.5 + p[2] * 0.5 + p[3], 0.0);
    }
}

TEST(ConvexHullLists, TooFewPointsGiveNothing) {
    std::vector<float> planes{1}, tris{1};
    UTL_create_ch_brute_force({0, 0, 0, 1, 1, 1}, planes, tris);
    EXPECT_TRUE(planes.empty());
    EXPECT_TRUE(tris.empty());
    // Three floats short of a third point, and three points that snap to one.
    UTL_create_ch_brute_force({0, 0, 0, 1, 1, 1, 2, 2}, planes, tris);
    EXPECT_TRUE(tris.empty());
    testing::internal::CaptureStdout();
    UTL_create_ch_brute_force({0, 0, 0, 0.0001f, 0, 0, 0, 0.0002f, 0}, planes, tris);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "All the vertices are collinear\n");
    EXPECT_TRUE(planes.empty());
    EXPECT_TRUE(tris.empty());
}

// The tetrahedron (x, -3, -3), (10, 0, 0), (0, 10, 0), (0, 0, 10): where its first corner lands.
TEST(ConvexHullLists, SnapsToTheGridTowardZero) {
    struct row {
        float x;
        float want;
    };
    const row rows[] = {
        {0.0009f, 0.0f},
        {-0.0009f, 0.0f},
        {0.00097f, 0.0f},
        {0.00098f, 0.0009765625f},
        {-2.9999f, -3071.0f / 1024},
        {1.5f, 1.5f},
        {3.0e6f, 3.0e6f},       // past an int of 1/1024 units
        {-1.0e20f, -1.0e20f},   // already on the grid
    };
    for (const row& r : rows) {
        std::vector<float> planes, tris;
        UTL_create_ch_brute_force({r.x, -3, -3, 10, 0, 0, 0, 10, 0, 0, 0, 10}, planes, tris);
        ASSERT_EQ(tris.size(), 4u * 9) << r.x;
        int found = 0;
        for (size_t i = 0; i < tris.size(); i += 3)
            if (tris[i + 1] == -3 && tris[i + 2] == -3) {
                EXPECT_EQ(tris[i], r.want) << r.x;
                EXPECT_EQ(std::signbit(tris[i]), std::signbit(r.want)) << r.x << " keeps its sign";
                ++found;
            }
        EXPECT_EQ(found, 3) << r.x;
    }

    // Two points on one grid cell collapse into one.
    std::vector<float> planes, tris, planes2, tris2;
    UTL_create_ch_brute_force({0.0009f, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, -0.0009f, 0, 0}, planes, tris);
    UTL_create_ch_brute_force({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, planes2, tris2);
    EXPECT_EQ(tris, tris2);
}

TEST(ConvexHullLists, PointsThatAreNotFiniteAreLeftOut) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    std::vector<float> planes0, tris0;
    UTL_create_ch_brute_force(cube, planes0, tris0);
    for (const std::array<float, 3>& bad : {std::array<float, 3>{nan, 0, 0}, std::array<float, 3>{0.5f, inf, 0.5f},
                                            std::array<float, 3>{0, 0, -inf}}) {
        std::vector<float> pts(bad.begin(), bad.end()), planes, tris;
        pts.insert(pts.end(), cube.begin(), cube.end());
        UTL_create_ch_brute_force(pts, planes, tris);
        EXPECT_EQ(tris, tris0);
        EXPECT_EQ(planes, planes0);
    }
}

TEST(ConvexHullLists, TrimByTheCubesPlanes) {
    std::vector<float> planes, tris;
    UTL_create_ch_brute_force(cube, planes, tris);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct row {
        bool keep_inside;
        std::vector<float> in, out;
    };
    const row rows[] = {
        {true, {0.5f, 0.5f, 0.5f, 2, 2, 2, 1, 1, 1}, {0.5f, 0.5f, 0.5f, 1, 1, 1}},
        {false, {0.5f, 0.5f, 0.5f, 2, 2, 2, 1, 1, 1}, {2, 2, 2, 1, 1, 1}},
        {true, {2, 2, 2, 0.5f, 0.5f}, {0.5f, 0.5f}},  // a partial point stays
    };
    for (const row& r : rows) {
        std::vector<float> pts = r.in;
        UTL_trim_to_inside_hull(planes, pts, r.keep_inside);
        EXPECT_EQ(pts, r.out) << "keep inside " << r.keep_inside;
    }
    // Not-a-number counts as inside either way.
    std::vector<float> pts{nan, 0, 0};
    UTL_trim_to_inside_hull(planes, pts, true);
    EXPECT_EQ(pts.size(), 3u);
    UTL_trim_to_inside_hull(planes, pts, false);
    EXPECT_TRUE(pts.empty());
    // No planes: everything is strictly inside.
    pts = {1, 2, 3, 4, 5, 6};
    UTL_trim_to_inside_hull({}, pts, true);
    EXPECT_EQ(pts.size(), 6u);
    UTL_trim_to_inside_hull({}, pts, false);
    EXPECT_TRUE(pts.empty());
}

TEST(ConvexHullLists, TwoStageOnAPlaneIsOneStage) {
    // All at x = 1: one stage, the first three points not on a line, as two faces back to back.
    const std::vector<float> pts{1, 0, 0, 1, 1, 1, 1, 2, 2, 1, 2, 0, 1, 0, 3, 1, 5, 5};
    std::vector<float> planes, tris;
    testing::internal::CaptureStdout();
    UTL_create_ch_two_stage(pts, planes, tris);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "All the vertices are coplanar\n");
    ASSERT_EQ(tris.size(), 18u);
    std::vector<Corner> a, b;
    for (int c = 0; c < 3; ++c) {
        a.push_back({tris[3 * c], tris[3 * c + 1], tris[3 * c + 2]});
        b.push_back({tris[9 + 3 * c], tris[9 + 3 * c + 1], tris[9 + 3 * c + 2]});
    }
    std::vector<Corner> want{{1, 1, 1}, {1, 2, 2}, {1, 2, 0}};
    std::vector<Corner> sorted_a = a;
    std::sort(sorted_a.begin(), sorted_a.end());
    std::sort(want.begin(), want.end());
    EXPECT_EQ(sorted_a, want);
    std::reverse(b.begin(), b.end());
    std::rotate(b.begin(), std::find(b.begin(), b.end(), a[0]), b.end());
    EXPECT_EQ(a, b) << "the second face is the first one turned over";
    EXPECT_EQ(planes[0], -planes[4]);
}

TEST(ConvexHullLists, TwoStageMatchesBruteForce) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> u(-1, 1);
    std::vector<float> pts(3 * 3000);
    for (float& v : pts) v = u(rng);
    std::vector<float> planes, tris, planes2, tris2;
    UTL_create_ch_brute_force(pts, planes, tris);
    testing::internal::CaptureStdout();
    UTL_create_ch_two_stage(pts, planes2, tris2);
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(said.rfind("Would have done 9000, really doing ", 0), 0u) << said;
    EXPECT_EQ(canonical(tris2), canonical(tris));
}

TEST(ConvexHullLists, TwoStageWithExtremesOnOneLine) {
    // The extremes are the two ends of the diagonal; the other two points make it a tetrahedron.
    const std::vector<float> pts{0, 0, 0, 1, 1, 1, 0.25f, 0.75f, 0.25f, 0.75f, 0.25f, 0.625f};
    std::vector<float> planes, tris, planes2, tris2;
    UTL_create_ch_brute_force(pts, planes, tris);
    ASSERT_EQ(tris.size(), 4u * 9);
    testing::internal::CaptureStdout();
    UTL_create_ch_two_stage(pts, planes2, tris2);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(canonical(tris2), canonical(tris));
}

// Points uniform in a cube or a ball, on a sphere, or on a small lattice full of coplanar faces.
std::vector<float> random_points(int kind, int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1, 1);
    std::normal_distribution<float> g(0, 1);
    std::uniform_int_distribution<int> lattice(0, 4);
    std::vector<float> pts;
    while (static_cast<int>(pts.size()) < 3 * n) {
        float p[3];
        switch (kind) {
            case 0:
                for (float& c : p) c = u(rng);
                break;
            case 1:
                for (float& c : p) c = u(rng);
                if (p[0] * p[0] + p[1] * p[1] + p[2] * p[2] > 1) continue;
                break;
            case 2: {
                for (float& c : p) c = g(rng);
                const float len = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
                if (len == 0) continue;
                for (float& c : p) c /= len;
                break;
            }
            default:
                for (float& c : p) c = lattice(rng) * 0.25f;
                break;
        }
        pts.insert(pts.end(), p, p + 3);
    }
    return pts;
}

TEST(ConvexHullLists, RandomCloudsLieInsideTheirHulls) {
    struct row {
        const char* what;
        int kind, n;
    };
    const row rows[] = {{"cube", 0, 4000}, {"ball", 1, 3000}, {"sphere", 2, 1500}, {"lattice", 3, 600}};
    for (const row& r : rows) {
        for (unsigned seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(std::string(r.what) + " seed " + std::to_string(seed));
            const std::vector<float> pts = random_points(r.kind, r.n, seed);
            std::vector<float> planes, tris;
            UTL_create_ch_brute_force(pts, planes, tris);
            const std::vector<Triangle> faces = triangles_of(tris);
            ASSERT_GE(faces.size(), 4u);
            ASSERT_EQ(planes.size() / 4, faces.size());

            std::map<Corner, int> ids;
            std::map<std::pair<int, int>, int> directed;
            for (const Triangle& t : faces) {
                int id[3];
                for (int c = 0; c < 3; ++c) id[c] = ids.emplace(t[c], static_cast<int>(ids.size())).first->second;
                for (int c = 0; c < 3; ++c) ++directed[{id[c], id[(c + 1) % 3]}];
            }
            // A closed surface: every edge once each way; and a sphere's Euler characteristic.
            int bad_edges = 0;
            for (const auto& [edge, count] : directed)
                if (count != 1 || directed.count({edge.second, edge.first}) != 1) ++bad_edges;
            EXPECT_EQ(bad_edges, 0);
            EXPECT_EQ(static_cast<long>(ids.size()) - static_cast<long>(directed.size() / 2) +
                          static_cast<long>(faces.size()),
                      2);

            std::vector<std::array<double, 4>> exact;
            for (const Triangle& t : faces) exact.push_back(exact_plane(t));
            int outside = 0, not_input = 0;
            std::map<Corner, bool> inputs;
            for (size_t i = 0; i < pts.size(); i += 3) {
                const Corner s{snapped(pts[i]), snapped(pts[i + 1]), snapped(pts[i + 2])};
                inputs[s] = true;
                for (const std::array<double, 4>& p : exact)
                    if (p[0] * s[0] + p[1] * s[1] + p[2] * s[2] + p[3] < 0) {
                        ++outside;
                        break;
                    }
            }
            for (const auto& [corner, id] : ids)
                if (!inputs.count(corner)) ++not_input;
            EXPECT_EQ(outside, 0) << "snapped points outside the hull";
            EXPECT_EQ(not_input, 0) << "hull corners that are no input point";
        }
    }
}

TEST(Chull3D, ExportsTheCubeAsObj) {
    testsupport::temp_dir dir;
    const std::string path = dir.path() + "/cube.obj";
    Chull3D hull(cube.data(), 8);
    hull.compute();
    EXPECT_EQ(hull.get_n_vertices(), 8);
    EXPECT_EQ(hull.get_n_faces(), 12);
    EXPECT_EQ(hull.export_obj(path.c_str()), 0);

    std::ifstream in(path);
    std::string line;
    int v = 0, f = 0, low = 99, high = 0;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string tag;
        words >> tag;
        if (tag == "v") {
            EXPECT_EQ(f, 0) << "a vertex after the faces";
            ++v;
        } else {
            ASSERT_EQ(tag, "f") << line;
            ++f;
            for (int k = 0, i; k < 3 && words >> i; ++k) {
                low = std::min(low, i);
                high = std::max(high, i);
            }
        }
    }
    EXPECT_EQ(v, 8);
    EXPECT_EQ(f, 12);
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 8);
    EXPECT_EQ(hull.export_obj((dir.path() + "/missing/cube.obj").c_str()), 0);
}

TEST(Chull3D, ArraysIndexTheVertexList) {
    Chull3D hull(cube.data(), 8);
    hull.compute();
    float* verts = nullptr;
    int* faces = nullptr;
    int nv = 0, nf = 0;
    ASSERT_EQ(hull.get_convex_hull(verts, nv, faces, nf), 1);
    EXPECT_EQ(nv, 8);
    EXPECT_EQ(nf, 12);
    int i = 0;
    for (Chull3D_vertex* v = hull.vertices; i < nv; v = v->next, ++i) {
        EXPECT_EQ(verts[3 * i], v->x);
        EXPECT_EQ(hull.get_vertex_index(v), i);
    }
    for (int k = 0; k < 3 * nf; ++k) EXPECT_TRUE(faces[k] >= 0 && faces[k] < nv);
    xfree(verts);
    xfree(faces);

    Chull3D_vertex stranger(0, 0, 0);
    EXPECT_EQ(hull.get_vertex_index(&stranger), -1);
}

TEST(Chull3D, DegenerateInputHasNoFaceToTouch) {
    const float none[1] = {0};
    Chull3D empty(none, 0);
    EXPECT_EQ(empty.get_n_faces(), 0);
    EXPECT_EQ(empty.get_n_vertices(), 0);
    testing::internal::CaptureStdout();
    empty.compute();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "All the vertices are collinear\n");

    const float line[] = {0, 0, 0, 1, 1, 1, 2, 2, 2, 5, 5, 5};
    Chull3D collinear(line, 4);
    testing::internal::CaptureStdout();
    collinear.compute();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "All the vertices are collinear\n");
    EXPECT_EQ(collinear.get_n_faces(), 0);
    float* verts = nullptr;
    int* faces = nullptr;
    int nv = -1, nf = -1;
    ASSERT_EQ(collinear.get_convex_hull(verts, nv, faces, nf), 1);
    EXPECT_EQ(nf, 0);
    xfree(verts);
    xfree(faces);
    testsupport::temp_dir dir;
    EXPECT_EQ(collinear.export_obj((dir.path() + "/line.obj").c_str()), 0);

    // A plane whose first points lie on a line: every point is still taken up, none survives.
    const float flat[] = {0, 0, 0, 1, 0, 0, 2, 0, 0, 2, 3, 0, 0, 3, 0, 1, 1, 0, 3, 3, 0};
    Chull3D coplanar(flat, 7);
    testing::internal::CaptureStdout();
    coplanar.compute();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "All the vertices are coplanar\n");
    EXPECT_EQ(coplanar.get_n_faces(), 2);
    EXPECT_EQ(coplanar.get_n_vertices(), 3);
}

TEST(Chull3DDeathTest, MissingPointArrayStops) {
    EXPECT_DEATH(Chull3D(nullptr, 3), "convex_hull.cpp");
}

}  // namespace
