// The matrix library against worked values: inversion, the builders, the apply operations, the
// Euler angles, the projective fit through LAPACK, projection to the window and back, and the two
// operations that read the current GL matrices.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "render/gl_recorder.h"
#include "render/matrix.h"

namespace {

using M4 = std::array<float, 16>;
using D4 = std::array<double, 16>;

constexpr M4 kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Column-major from rows as written on paper.
M4 rows(std::array<std::array<float, 4>, 4> r) {
    M4 m{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[4 * j + i] = r[i][j];
    return m;
}

M4 product(const M4& a, const M4& b) {
    M4 out{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k) out[4 * c + r] += a[4 * k + r] * b[4 * c + k];
    return out;
}

std::array<float, 4> apply(const M4& m, std::array<float, 4> p) {
    std::array<float, 4> out{};
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) out[r] += m[4 * k + r] * p[k];
    return out;
}

void expect_near(const M4& got, const M4& want, float tol, const std::string& what) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], tol) << what << " element " << i;
}

// ---- inversion -------------------------------------------------------------------------------

struct inverse_case {
    const char* name;
    M4 in;
    M4 want;   // the exact inverse
};

TEST(MatrixInverse, WorkedInversesFloatAndDouble) {
    const inverse_case cases[] = {
        {"identity", kIdentity, kIdentity},
        // scale (2, 4, 5) then move by (1, 2, 3): the inverse moves back, then scales down
        {"scale and move", rows({{{2, 0, 0, 1}, {0, 4, 0, 2}, {0, 0, 5, 3}, {0, 0, 0, 1}}}),
         rows({{{0.5f, 0, 0, -0.5f}, {0, 0.25f, 0, -0.5f}, {0, 0, 0.2f, -0.6f}, {0, 0, 0, 1}}})},
        // x and y swapped: zeros on the diagonal need the pivoting
        {"swap x and y", rows({{{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}),
         rows({{{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}})},
        // a cycle of all four rows, the pivot of every column in another row
        {"row cycle", rows({{{0, 0, 0, 1}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}}),
         rows({{{0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}, {1, 0, 0, 0}}})},
        {"dense", rows({{{2, 1, 0, 0}, {1, 3, 1, 0}, {0, 1, 4, 1}, {0, 0, 1, 5}}}), {}},
    };
    for (const inverse_case& c : cases) {
        M4 out;
        out.fill(42);
        ASSERT_EQ(invertMatrixf(out.data(), c.in.data()), 1) << c.name;
        if (c.want != M4{}) expect_near(out, c.want, 1e-6f, c.name);
        expect_near(product(c.in, out), kIdentity, 1e-6f, std::string(c.name) + " times inverse");

        D4 din, dout;
        for (int i = 0; i < 16; ++i) din[i] = c.in[i];
        ASSERT_EQ(invertMatrixd(dout.data(), din.data()), 1) << c.name;
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(dout[i], out[i], 1e-6) << c.name << " double element " << i;
    }
}

TEST(MatrixInverse, InPlaceMatchesSeparateOutput) {
    const M4 in = rows({{{2, 1, 0, 7}, {1, 3, 1, -2}, {0, 1, 4, 1}, {0, 0, 0, 1}}});
    M4 apart, same = in;
    ASSERT_EQ(invertMatrixf(apart.data(), in.data()), 1);
    ASSERT_EQ(invertMatrixf(same.data(), same.data()), 1);
    EXPECT_EQ(same, apart);
}

TEST(MatrixInverse, SingularMatricesReturnZeroAndLeaveTheOutputAlone) {
    const M4 singular[] = {
        rows({{{1, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}),   // zero row
        rows({{{1, 0, 0, 0}, {2, 0, 0, 0}, {3, 0, 1, 0}, {4, 0, 0, 1}}}),   // zero column
        rows({{{1, 2, 3, 4}, {2, 4, 6, 8}, {0, 1, 0, 0}, {0, 0, 1, 0}}}),   // two rows alike
        M4{},
    };
    for (const M4& m : singular) {
        M4 out;
        out.fill(42);
        EXPECT_EQ(invertMatrixf(out.data(), m.data()), 0);
        for (float v : out) EXPECT_EQ(v, 42);
        D4 dm, dout;
        dout.fill(42);
        for (int i = 0; i < 16; ++i) dm[i] = m[i];
        EXPECT_EQ(invertMatrixd(dout.data(), dm.data()), 0);
        for (double v : dout) EXPECT_EQ(v, 42);
    }
}

// ---- builders --------------------------------------------------------------------------------

TEST(MatrixBuilders, OrthoFrustumPerspectiveAndLookAtGiveTheirWorkedMatrices) {
    M4 m;
    buildOrthoMatrixf(m.data(), 0, 800, 0, 600, -1, 1);
    expect_near(m, rows({{{2.0f / 800, 0, 0, -1}, {0, 2.0f / 600, 0, -1}, {0, 0, -1, 0}, {0, 0, 0, 1}}}), 1e-7f,
                "ortho");

    const M4 frustum = rows({{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -101.0f / 99, -200.0f / 99}, {0, 0, -1, 0}}});
    buildFrustumMatrixf(m.data(), -1, 1, -1, 1, 1, 100);
    expect_near(m, frustum, 1e-6f, "frustum");
    buildFrustumMatrixf(m.data(), 0, 2, 0, 1, 1, 100);   // off-centre: the window's centre shifts x and y
    EXPECT_FLOAT_EQ(m[8], 1);
    EXPECT_FLOAT_EQ(m[9], 1);
    EXPECT_FLOAT_EQ(m[5], 2);

    // 90 degrees and square: the same as the frustum of the unit window at distance 1
    buildPerspectiveMatrixd(m.data(), 90.0f, 1.0f, 1.0f, 100.0f);
    expect_near(m, frustum, 1e-6f, "perspective (float)");
    D4 d;
    buildPerspectiveMatrixd(d.data(), 90.0, 2.0, 1.0, 100.0);
    EXPECT_NEAR(d[0], 0.5, 1e-12);   // twice as wide
    EXPECT_NEAR(d[5], 1.0, 1e-12);
    EXPECT_NEAR(d[10], -101.0 / 99, 1e-12);

    // From (0, 0, 5) at the origin: just a move back along z
    buildLookAtMatrixf(m.data(), 0, 0, 5, 0, 0, 0, 0, 1, 0);
    expect_near(m, rows({{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, -5}, {0, 0, 0, 1}}}), 1e-6f, "look-at along -z");
    // From (3, 0, 0) at the origin: the eye goes to 0 and the target 3 units ahead
    buildLookAtMatrixf(m.data(), 3, 0, 0, 0, 0, 0, 0, 1, 0);
    const auto eye = apply(m, {3, 0, 0, 1});
    const auto target = apply(m, {0, 0, 0, 1});
    const auto above = apply(m, {0, 1, 0, 1});
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(eye[i], 0, 1e-6f);
    EXPECT_NEAR(target[2], -3, 1e-6f);
    EXPECT_NEAR(above[1], 1, 1e-6f);   // up stays up
    D4 dl;
    buildLookAtMatrixd(dl.data(), 3, 0, 0, 0, 0, 0, 0, 1, 0);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(dl[i], m[i], 1e-6);
}

TEST(MatrixBuilders, RotationAxesSignsAndDegenerateAxes) {
    struct rotation_case {
        const char* name;
        float angle, x, y, z;
        M4 want;
    };
    const M4 z90 = rows({{{0, -1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}});
    const M4 zm90 = rows({{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}});
    const rotation_case cases[] = {
        {"90 about z", 90, 0, 0, 1, z90},
        {"90 about -z turns back", 90, 0, 0, -1, zm90},
        {"axis length ignored", 90, 0, 0, 5, z90},
        {"90 about y", 90, 0, 1, 0, rows({{{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}}})},
        {"90 about -y", 90, 0, -1, 0, rows({{{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}}})},
        {"90 about x", 90, 1, 0, 0, rows({{{1, 0, 0, 0}, {0, 0, -1, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}}})},
        {"90 about -x", 90, -1, 0, 0, rows({{{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}, {0, 0, 0, 1}}})},
        // a third of a turn about the diagonal carries x to y, y to z and z to x
        {"120 about (1,1,1)", 120, 1, 1, 1, rows({{{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}}})},
        {"too short an axis", 90, 1e-5f, 0, 1e-5f, kIdentity},
        {"no axis", 90, 0, 0, 0, kIdentity},
    };
    for (const rotation_case& c : cases) {
        M4 m;
        buildRotationf(m.data(), c.angle, c.x, c.y, c.z);
        expect_near(m, c.want, 1e-6f, c.name);
        D4 d;
        buildRotationd(d.data(), c.angle, c.x, c.y, c.z);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(d[i], c.want[i], 1e-12) << c.name << " double element " << i;
    }
}

TEST(MatrixApply, TranslationAndRotationMultiplyOnTheRight) {
    M4 m = kIdentity;
    applyTranslationf(m.data(), 1, 2, 3);
    EXPECT_EQ(m, rows({{{1, 0, 0, 1}, {0, 1, 0, 2}, {0, 0, 1, 3}, {0, 0, 0, 1}}}));
    M4 r = kIdentity, built;
    applyRotationf(r.data(), 30, 1, 2, 3);
    buildRotationf(built.data(), 30, 1, 2, 3);
    EXPECT_EQ(r, built);

    // Turned 90 degrees about z, a move along x goes along the turned x: y.
    M4 turned;
    buildRotationf(turned.data(), 90, 0, 0, 1);
    M4 moved = turned;
    applyTranslationf(moved.data(), 1, 0, 0);
    EXPECT_NEAR(moved[12], 0, 1e-6f);
    EXPECT_NEAR(moved[13], 1, 1e-6f);

    // Moved by (5, 0, 0), a turn applied after still turns about the moved origin.
    M4 base = kIdentity;
    applyTranslationf(base.data(), 5, 0, 0);
    M4 both = base;
    applyRotationf(both.data(), 90, 0, 0, 1);
    expect_near(both, product(base, turned), 1e-6f, "move then turn");
    const auto p = apply(both, {1, 0, 0, 1});
    EXPECT_NEAR(p[0], 5, 1e-6f);
    EXPECT_NEAR(p[1], 1, 1e-6f);

    D4 d{};
    d[0] = d[5] = d[10] = d[15] = 1;
    applyTranslationd(d.data(), 5, 0, 0);
    applyRotationd(d.data(), 90, 0, 0, 1);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(d[i], both[i], 1e-6);
}

// ---- Euler angles ----------------------------------------------------------------------------

TEST(MatrixEulers, MakeThenExtractGivesTheAnglesBack) {
    const std::array<float, 3> cases[] = {
        {30, 20, 10}, {-170, 45, 170}, {179, -89, -60}, {90, 0, 0}, {0, 0, 0}, {-45, -30, 120},
    };
    for (const auto& c : cases) {
        M4 m;
        make_eulersf(m.data(), c[0], c[1], c[2]);
        float a = 0, b = 0, r = 0;
        extract_eulersf(m.data(), a, b, r);
        EXPECT_NEAR(a, c[0], 2e-3f) << c[0] << "," << c[1] << "," << c[2];
        EXPECT_NEAR(b, c[1], 2e-3f) << c[0] << "," << c[1] << "," << c[2];
        EXPECT_NEAR(r, c[2], 2e-3f) << c[0] << "," << c[1] << "," << c[2];
    }
}

TEST(MatrixEulers, TheAnglesAreTurnsAboutYThenXThenZ) {
    M4 m, want;
    make_eulersf(m.data(), 30, 0, 0);   // heading alone: -30 degrees about y
    buildRotationf(want.data(), -30, 0, 1, 0);
    expect_near(m, want, 1e-6f, "heading");
    make_eulersf(m.data(), 0, 25, 0);   // pitch alone: about x
    buildRotationf(want.data(), 25, 1, 0, 0);
    expect_near(m, want, 1e-6f, "pitch");
    make_eulersf(m.data(), 0, 0, 40);   // roll alone: -40 about z
    buildRotationf(want.data(), -40, 0, 0, 1);
    expect_near(m, want, 1e-6f, "roll");

    // Straight up, heading and roll are one turn: the first angle takes it all.
    make_eulersf(m.data(), 50, 90, 20);
    float a = 0, b = 0, c = 0;
    extract_eulersf(m.data(), a, b, c);
    EXPECT_NEAR(a, 30, 0.1f);
    EXPECT_NEAR(b, 90, 0.1f);
    EXPECT_EQ(c, 0);
}

// ---- projective fit --------------------------------------------------------------------------

std::array<float, 2> map_through(const D4& m, float x, float y) {
    const double w = m[3] * x + m[7] * y + m[15];
    return {static_cast<float>((m[0] * x + m[4] * y + m[12]) / w), static_cast<float>((m[1] * x + m[5] * y + m[13]) / w)};
}

TEST(MatrixAffineFit, SolvesTheEightByEightSystem) {
    struct fit_case {
        const char* name;
        float x0, y0, x1, y1;
        std::array<float, 8> points;
        D4 want;   // all zero: only the corner check
    };
    const D4 identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const fit_case cases[] = {
        {"onto itself", 0, 0, 2, 1, {0, 0, 0, 1, 2, 1, 2, 0}, identity},
        // u = 3x + 1, v = 2y - 1
        {"affine", 0, 0, 2, 1, {1, -1, 1, 1, 7, 1, 7, -1}, {3, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, 0, 1, -1, 0, 1}},
        // u = x / (x/2 + 1), v = y / (x/2 + 1)
        {"projective", 0, 0, 1, 1, {0, 0, 0, 1, 2.0f / 3, 2.0f / 3, 2.0f / 3, 0},
         {1, 0, 0, 0.5, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}},
        // u = x / (1 - x), v = y / (1 - x): w is negative over the whole rectangle, so every
        // element comes out negated
        {"negative w", 2, 0, 3, 1, {-2, 0, -2, -1, -1.5f, -0.5f, -1.5f, 0},
         {-1, 0, 0, 1, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1}},
        {"a general quadrilateral", 10, 20, 110, 70, {5, 5, 0, 60, 90, 80, 120, 10}, {}},
    };
    for (const fit_case& c : cases) {
        D4 m;
        m.fill(7);
        make_affine_matrix(c.points.data(), c.x0, c.y0, c.x1, c.y1, m.data());
        if (c.want != D4{}) {
            for (int i = 0; i < 16; ++i) EXPECT_NEAR(m[i], c.want[i], 1e-6) << c.name << " element " << i;
        }
        const float cx[4] = {c.x0, c.x0, c.x1, c.x1}, cy[4] = {c.y0, c.y1, c.y1, c.y0};
        for (int k = 0; k < 4; ++k) {
            const auto uv = map_through(m, cx[k], cy[k]);
            EXPECT_NEAR(uv[0], c.points[2 * k], 1e-4f) << c.name << " corner " << k;
            EXPECT_NEAR(uv[1], c.points[2 * k + 1], 1e-4f) << c.name << " corner " << k;
        }
        EXPECT_GT(m[3] * c.x0 + m[7] * c.y0 + m[15], 0) << c.name << ": w at the first corner";
    }
}

TEST(MatrixAffineFit, EmptyRectanglesAndUnsolvableFitsGiveTheIdentity) {
    const D4 identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float square[8] = {0, 0, 0, 1, 1, 1, 1, 0};
    const float one_point[8] = {2, 3, 2, 3, 2, 3, 2, 3};
    D4 m;
    m.fill(7);
    make_affine_matrix(square, 4, 0, 4, 1, m.data());   // no width
    EXPECT_EQ(m, identity);
    m.fill(7);
    make_affine_matrix(square, 0, 2, 1, 2, m.data());   // no height
    EXPECT_EQ(m, identity);
    m.fill(7);
    make_affine_matrix(one_point, 0, 0, 1, 1, m.data());   // every corner onto one point: singular
    EXPECT_EQ(m, identity);
}

// ---- projection to the window and back -------------------------------------------------------

TEST(MatrixProject, ProjectAndUnprojectRoundTrip) {
    M4 projection, modelview;
    buildPerspectiveMatrixd(projection.data(), 60.0f, 4.0f / 3, 1, 500);
    buildLookAtMatrixf(modelview.data(), 10, 20, 30, 0, 0, 0, 0, 1, 0);
    const int viewport[4] = {16, 8, 800, 600};

    // The target lands in the middle of the viewport.
    float wx = 0, wy = 0, wz = 0;
    ASSERT_EQ(gluProjectf(0, 0, 0, modelview.data(), projection.data(), viewport, &wx, &wy, &wz), 1);
    EXPECT_NEAR(wx, 16 + 400, 1e-3f);
    EXPECT_NEAR(wy, 8 + 300, 1e-3f);
    EXPECT_GT(wz, 0);
    EXPECT_LT(wz, 1);

    const std::array<float, 3> points[] = {{0, 0, 0}, {3, -2, 1}, {-5, 4, -8}, {1, 1, 1}};
    for (const auto& p : points) {
        ASSERT_EQ(gluProjectf(p[0], p[1], p[2], modelview.data(), projection.data(), viewport, &wx, &wy, &wz), 1);
        float x = 0, y = 0, z = 0;
        ASSERT_EQ(gluUnProjectf(wx, wy, wz, modelview.data(), projection.data(), viewport, &x, &y, &z), 1);
        EXPECT_NEAR(x, p[0], 2e-3f);
        EXPECT_NEAR(y, p[1], 2e-3f);
        EXPECT_NEAR(z, p[2], 2e-3f);
    }

    // The 1:1 interface view: a unit is a pixel, y up from the bottom.
    M4 ortho;
    buildOrthoMatrixf(ortho.data(), 0, 800, 0, 600, -1, 1);
    const int window[4] = {0, 0, 800, 600};
    ASSERT_EQ(gluProjectf(123, 456, 0, kIdentity.data(), ortho.data(), window, &wx, &wy, &wz), 1);
    EXPECT_NEAR(wx, 123, 1e-3f);
    EXPECT_NEAR(wy, 456, 1e-3f);
    EXPECT_NEAR(wz, 0.5f, 1e-6f);
}

TEST(MatrixProject, ZeroWAndSingularMatricesReturnZeroAndLeaveTheOutputs) {
    M4 projection;
    buildFrustumMatrixf(projection.data(), -1, 1, -1, 1, 1, 100);
    const int viewport[4] = {0, 0, 100, 100};
    float a = 9, b = 9, c = 9;
    // A point in the eye's own plane has clip w 0.
    EXPECT_EQ(gluProjectf(1, 1, 0, kIdentity.data(), projection.data(), viewport, &a, &b, &c), 0);
    EXPECT_EQ(gluUnProjectf(50, 50, 0.5f, kIdentity.data(), M4{}.data(), viewport, &a, &b, &c), 0);
    EXPECT_EQ(a, 9);
    EXPECT_EQ(b, 9);
    EXPECT_EQ(c, 9);
}

// ---- the operations on the current GL matrices ------------------------------------------------

std::vector<float> g_loaded;
void (APIENTRY* g_recorded_load)(const GLfloat*) = nullptr;
void APIENTRY capture_load(const GLfloat* m) {
    g_loaded.assign(m, m + 16);
    g_recorded_load(m);
}

class CurrentMatrices : public ::testing::Test {
protected:
    void SetUp() override {
        gl_recorder_install(&rec);
        g_recorded_load = gl.glLoadMatrixf;
        gl.glLoadMatrixf = &capture_load;
        g_loaded.clear();
    }
    void TearDown() override { gl_recorder_install(nullptr); }
    void set(GLenum which, const M4& m) { rec.floats[which] = std::vector<GLfloat>(m.begin(), m.end()); }
    static std::string get(GLenum which) { return "glGetFloatv(" + gl_enum_name(which) + ", ptr)"; }
    gl_recorder rec;
};

TEST_F(CurrentMatrices, FrustumCornersAreTheFarPlaneInEyeSpace) {
    M4 projection;
    buildFrustumMatrixf(projection.data(), -1, 1, -0.5f, 0.5f, 1, 100);
    set(GL_PROJECTION_MATRIX, projection);
    float bl[3], br[3], tl[3], tr[3];
    OGL_get_frustum_corners(bl, br, tl, tr);
    const float want[4][3] = {{-100, -50, -100}, {100, -50, -100}, {-100, 50, -100}, {100, 50, -100}};
    const float* got[4] = {bl, br, tl, tr};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(got[i][j], want[i][j], 0.05f) << "corner " << i;
}

TEST_F(CurrentMatrices, AnObliquePlaneInFrontBecomesTheNearPlane) {
    M4 projection;
    buildFrustumMatrixf(projection.data(), -1, 1, -1, 1, 1, 100);
    set(GL_PROJECTION_MATRIX, projection);
    set(GL_MODELVIEW_MATRIX, kIdentity);

    // z = -2 written with a negative d: in front of the eye.
    const float plane[4] = {0, 0, -1, -2};
    OGL_modify_projection_matrix(plane);
    EXPECT_EQ(rec.take(), (std::vector<std::string>{get(GL_MODELVIEW_MATRIX), get(GL_PROJECTION_MATRIX),
                                                    "glMatrixMode(GL_PROJECTION)", "glLoadMatrixf(ptr)", "glMatrixMode(GL_MODELVIEW)"}));
    ASSERT_EQ(g_loaded.size(), 16u);
    const float k = 2.0f / 0.98f;
    EXPECT_NEAR(g_loaded[2], 0, 1e-6f);
    EXPECT_NEAR(g_loaded[6], 0, 1e-6f);
    EXPECT_NEAR(g_loaded[10], 1 - k, 1e-5f);
    EXPECT_NEAR(g_loaded[14], -2 * k, 1e-5f);
    // A point of the plane now lies on the near plane (depth -1 after the divide).
    M4 loaded;
    std::copy(g_loaded.begin(), g_loaded.end(), loaded.begin());
    const auto clip = apply(loaded, {0.5f, 0.25f, -2, 1});
    EXPECT_NEAR(clip[2] / clip[3], -1, 1e-5f);
}

TEST_F(CurrentMatrices, APlaneBehindOrThroughTheEyeChangesNothing) {
    set(GL_MODELVIEW_MATRIX, kIdentity);
    const float behind[4] = {0, 0, 1, 2};
    const float through[4] = {0, 0, 1, 0};
    for (const float* plane : {behind, through}) {
        OGL_modify_projection_matrix(plane);
        EXPECT_EQ(rec.take(), (std::vector<std::string>{get(GL_MODELVIEW_MATRIX)}));
    }
    EXPECT_TRUE(g_loaded.empty());
}

}  // namespace
