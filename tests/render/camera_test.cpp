// The camera against worked values: the projection set-ups and their side planes, the tunables,
// the fake far plane, billboards, the shadow-box fit, the world-space bounds and the way back
// from a world point to interface coordinates.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "render/camera.h"
#include "render/gl_recorder.h"
#include "render/matrix.h"
#include "render/panel_record.h"

namespace {

using M4 = std::array<float, 16>;
using V3 = std::array<float, 3>;

M4 as_array(const float* m) {
    M4 a;
    std::copy(m, m + 16, a.begin());
    return a;
}

void expect_v3(const float* got, V3 want, float tol, const std::string& what) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], tol) << what << " [" << i << "]";
}

class Camera : public ::testing::Test {
protected:
    void TearDown() override {
        *gKillClip.value = 0;
        *gKillCull.value = 0;
        *gExtraNearConst.value = 5;
        *gExtraNearRatio.value = 1;
        wins = wins_class{};
    }
};

TEST_F(Camera, TheTunablesAreRegisteredSettingsWithTheirStartValues) {
    struct tunable {
        const UTL_stat& stat;
        const char* name;
        float start;
    };
    const tunable all[] = {{gKillClip, "perf/kill_clip", 0}, {gKillCull, "perf/kill_cull", 0},
                           {gExtraNearConst, "shadow/csm/pad_near_const", 5}, {gExtraNearRatio, "shadow/csm/pad_near_ratio", 1}};
    UTL_stat::init_stats();
    for (const tunable& t : all) {
        EXPECT_EQ(std::string(t.stat.name), t.name);
        EXPECT_EQ(t.stat.kind, stat_setting);
        EXPECT_EQ(*t.stat.value, t.start) << t.name;
        EXPECT_EQ(all_stats()[stat_setting].count(const_cast<UTL_stat*>(&t.stat)), 1u) << t.name;
    }
}

TEST_F(Camera, ADefaultCameraIsOrthographicWithIdentityMatrices) {
    const xcam_class cam;
    const M4 identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_TRUE(cam.is_ortho);
    EXPECT_TRUE(cam.modelview_stale);
    EXPECT_EQ(as_array(cam.projection), identity);
    EXPECT_EQ(as_array(cam.modelview), identity);
    float h = 7, v = 7;
    EXPECT_EQ(cam.GetFOVHalfCosines(&h, &v), 0);
    EXPECT_EQ(h, 7);
    EXPECT_EQ(v, 7);

    xcam_class other;
    other.SetupPerspective(60, 1.5f, 2, 300);
    other.Translate(1, 2, 3);
    const xcam_class copied(&other);
    EXPECT_EQ(as_array(copied.projection), as_array(other.projection));
    EXPECT_EQ(as_array(copied.modelview), as_array(other.modelview));
    EXPECT_EQ(copied.far_z, -300);
    const xcam_class from_null(static_cast<const xcam_class*>(nullptr));
    EXPECT_EQ(as_array(from_null.projection), identity);
}

TEST_F(Camera, PerspectiveSetsPlanesHalfCosinesAndDepths) {
    xcam_class cam;
    cam.SetupPerspective(90, 1, 1, 100);
    M4 frustum;
    buildFrustumMatrixf(frustum.data(), -1, 1, -1, 1, 1, 100);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(cam.projection[i], frustum[i], 1e-6f) << i;
    EXPECT_FALSE(cam.is_ortho);
    EXPECT_EQ(cam.near_z, -1);
    EXPECT_EQ(cam.far_z, -100);
    EXPECT_EQ(cam.fake_far_z, -100);
    float h = 0, v = 0;
    EXPECT_EQ(cam.GetFOVHalfCosines(&h, &v), 1);
    EXPECT_NEAR(h, std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(v, std::sqrt(0.5f), 1e-6f);
    EXPECT_EQ(cam.GetFOVHalfCosines(nullptr, &v), 1);

    // The normals point into the volume at 45 degrees.
    const float r = std::sqrt(0.5f);
    expect_v3(cam.plane_top, {0, -r, -r}, 1e-6f, "top");
    expect_v3(cam.plane_bottom, {0, r, -r}, 1e-6f, "bottom");
    expect_v3(cam.plane_left, {r, 0, -r}, 1e-6f, "left");
    expect_v3(cam.plane_right, {-r, 0, -r}, 1e-6f, "right");

    // A wide frustum: 2:1, 90 degrees high.
    cam.SetupPerspective(90, 2, 1, 100);
    EXPECT_EQ(cam.GetFOVHalfCosines(&h, &v), 1);
    EXPECT_NEAR(h, 1 / std::sqrt(5.0f), 1e-6f);   // half width 2 at distance 1
    EXPECT_NEAR(v, r, 1e-6f);
}

TEST_F(Camera, TheFakeFarPlaneNeverReachesBeyondTheRealOne) {
    xcam_class cam;
    cam.SetupPerspective(90, 1, 1, 100);
    const std::pair<float, float> cases[] = {{50, -50}, {500, -100}, {100, -100}, {0.5f, -0.5f}};
    for (const auto& [distance, want] : cases) {
        cam.SetFakeFarClippingPlane(distance);
        EXPECT_EQ(cam.fake_far_z, want) << distance;
    }
    cam.ResetFakeFarClippingPlane();
    EXPECT_EQ(cam.fake_far_z, -100);
}

TEST_F(Camera, KillClipAndKillCullNarrowOneSideEach) {
    M4 full, central;
    buildFrustumMatrixf(full.data(), -1, 1, -1, 1, 1, 100);
    buildFrustumMatrixf(central.data(), -0.1f, 0.1f, -0.1f, 0.1f, 1, 100);
    xcam_class plain;
    plain.SetupFrustum(-1, 1, -1, 1, 1, 100);
    xcam_class narrow;
    narrow.SetupFrustum(-0.1f, 0.1f, -0.1f, 0.1f, 1, 100);   // the planes of the central tenth

    struct kill_case {
        const char* name;
        float clip, cull;
        const M4& projection;
        const xcam_class& planes;
    };
    const kill_case cases[] = {
        {"neither", 0, 0, full, plain},
        {"clip", 1, 0, central, plain},
        {"cull", 0, 1, full, narrow},
    };
    for (const kill_case& c : cases) {
        *gKillClip.value = c.clip;
        *gKillCull.value = c.cull;
        xcam_class cam;
        cam.SetupFrustum(-1, 1, -1, 1, 1, 100);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(cam.projection[i], c.projection[i], 1e-4f) << c.name << " " << i;
        expect_v3(cam.plane_top, {c.planes.plane_top[0], c.planes.plane_top[1], c.planes.plane_top[2]}, 1e-6f, c.name);
        expect_v3(cam.plane_left, {c.planes.plane_left[0], c.planes.plane_left[1], c.planes.plane_left[2]}, 1e-6f,
                  c.name);
    }
}

TEST_F(Camera, OrthoKeepsTheSidePlanesOfAnEarlierFrustum) {
    xcam_class cam;
    cam.SetupPerspective(90, 1, 1, 100);
    const V3 top = {cam.plane_top[0], cam.plane_top[1], cam.plane_top[2]};
    cam.SetupOrtho(-4, 4, -3, 3, 2, 20);
    expect_v3(cam.plane_top, top, 0, "top after ortho");
    EXPECT_TRUE(cam.is_ortho);
    EXPECT_EQ(cam.ortho_left, -4);
    EXPECT_EQ(cam.ortho_right, 4);
    EXPECT_EQ(cam.ortho_bottom, -3);
    EXPECT_EQ(cam.ortho_top, 3);
    EXPECT_EQ(cam.near_z, -2);
    EXPECT_EQ(cam.far_z, -20);
    EXPECT_EQ(cam.fake_far_z, -20);
    M4 ortho;
    buildOrthoMatrixf(ortho.data(), -4, 4, -3, 3, 2, 20);
    EXPECT_EQ(as_array(cam.projection), ortho);
}

TEST_F(Camera, ModelviewOperationsMatchTheMatrixLibrary) {
    xcam_class cam;
    M4 want;
    cam.LookAtPtFromPt(1, 2, 3, 0, 0, 0, 0, 1, 0);
    buildLookAtMatrixf(want.data(), 1, 2, 3, 0, 0, 0, 0, 1, 0);
    EXPECT_EQ(as_array(cam.modelview), want);
    cam.Translate(4, 5, 6);
    applyTranslationf(want.data(), 4, 5, 6);
    EXPECT_EQ(as_array(cam.modelview), want);
    cam.Rotate(33, 1, 2, 0);
    applyRotationf(want.data(), 33, 1, 2, 0);
    EXPECT_EQ(as_array(cam.modelview), want);
    cam.Identity();
    setIdentityMatrixf(want.data());
    EXPECT_EQ(as_array(cam.modelview), want);
}

TEST_F(Camera, LookingAtAPointFromAHeadingAndPitch) {
    struct dir_case {
        float heading, pitch;
        V3 eye;
    };
    const dir_case cases[] = {{0, 0, {10, 0, 0}}, {90, 0, {0, 0, 10}}, {180, 0, {-10, 0, 0}}, {0, 30, {8.660254f, 5, 0}}};
    for (const dir_case& c : cases) {
        xcam_class cam;
        cam.LookAtPtFromDir(1, 2, 3, c.heading, c.pitch, 10);
        M4 mv = as_array(cam.modelview), inverse;
        ASSERT_EQ(invertMatrixf(inverse.data(), mv.data()), 1);
        // The eye sits at the target plus the offset, and the target lies 10 ahead.
        expect_v3(&inverse[12], {1 + c.eye[0], 2 + c.eye[1], 3 + c.eye[2]}, 1e-4f, "eye");
        const float tz = mv[2] * 1 + mv[6] * 2 + mv[10] * 3 + mv[14];
        EXPECT_NEAR(tz, -10, 1e-4f);
    }
}

TEST_F(Camera, BillboardsReadAStaleModelviewOnceAndFollowTheView) {
    gl_recorder rec;
    gl_recorder_install(&rec);
    M4 turned;
    buildRotationf(turned.data(), 90, 0, 1, 0);
    rec.floats[GL_MODELVIEW_MATRIX] = std::vector<GLfloat>(turned.begin(), turned.end());

    xcam_class cam;   // stale from construction
    float right[3], up[3];
    cam.CalcBillboardCamera(right, up);
    EXPECT_EQ(rec.take().size(), 1u);
    EXPECT_FALSE(cam.modelview_stale);
    expect_v3(right, {turned[0], turned[4], turned[8]}, 0, "right");
    expect_v3(up, {0, 1, 0}, 0, "up");
    cam.CalcBillboardGround(right, up);
    EXPECT_TRUE(rec.take().empty());   // no longer stale
    gl_recorder_install(nullptr);

    // Along -z: right is x and up is y.
    cam.Identity();
    cam.CalcBillboardGround(right, up);
    expect_v3(right, {1, 0, 0}, 1e-6f, "ground right");
    expect_v3(up, {0, 1, 0}, 1e-6f, "ground up");
    // Pitched down 30 degrees, the ground right stays level and up leans forward.
    cam.LookAtPtFromPt(0, 5, 0, 0, 0, -8.660254f, 0, 1, 0);
    cam.CalcBillboardGround(right, up);
    expect_v3(right, {1, 0, 0}, 1e-5f, "pitched right");
    expect_v3(up, {0, 0.8660254f, -0.5f}, 1e-5f, "pitched up");
    // Straight down: no horizontal right exists, and nothing is normalised.
    cam.LookAtPtFromPt(0, 10, 0, 0, 0, 0, 0, 0, -1);
    cam.CalcBillboardGround(right, up);
    expect_v3(right, {0, 0, 0}, 0, "down right");
    expect_v3(up, {0, 0, 0}, 0, "down up");
}

TEST_F(Camera, AShadowBoxCoversTheSliceAndReachesTowardsTheLight) {
    xcam_class viewer;
    viewer.SetupOrtho(-1, 1, -1, 1, 1, 3);   // a box from 1 to 3 ahead, eye at the origin
    viewer.Identity();
    const float down_z[3] = {0, 0, -1};

    struct slice_case {
        const char* name;
        float near_frac, far_frac, ratio, constant;
        float near_z, far_z;   // of the light camera
    };
    // Light from 10 behind the eye: the slice lies 11 to 13 away from it.
    const slice_case cases[] = {
        {"whole", 0, 1, 1, 5, -4, -13},          // pad 2 * 1 + 5 = 7 beyond -11
        {"far half", 0.5f, 1, 1, 5, -6, -13},    // from -12: pad 1 + 5
        {"near half", 0, 0.5f, 1, 5, -5, -12},
        {"fractions beyond the edge clamp", -1, 2, 1, 5, -4, -13},
        {"no padding", 0, 1, 0, 0, -11, -13},
        {"ratio only", 0, 1, 2, 0, -7, -13},
    };
    for (const slice_case& c : cases) {
        *gExtraNearRatio.value = c.ratio;
        *gExtraNearConst.value = c.constant;
        xcam_class light;
        light.LookAtCamera(&viewer, down_z, 10, c.near_frac, c.far_frac);
        EXPECT_TRUE(light.is_ortho) << c.name;
        EXPECT_NEAR(light.near_z, c.near_z, 1e-4f) << c.name;
        EXPECT_NEAR(light.far_z, c.far_z, 1e-4f) << c.name;
        EXPECT_EQ(light.fake_far_z, light.far_z) << c.name;
        EXPECT_NEAR(light.ortho_left, -1, 1e-5f) << c.name;
        EXPECT_NEAR(light.ortho_right, 1, 1e-5f) << c.name;
        EXPECT_NEAR(light.ortho_bottom, -1, 1e-5f) << c.name;
        EXPECT_NEAR(light.ortho_top, 1, 1e-5f) << c.name;
        M4 want;
        buildOrthoMatrixf(want.data(), -1, 1, -1, 1, -c.near_z, -c.far_z);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(light.projection[i], want[i], 1e-4f) << c.name << " " << i;
        // The light sits 10 behind the eye, looking along -z.
        EXPECT_NEAR(light.modelview[14], -10, 1e-5f) << c.name;
    }
}

TEST_F(Camera, FrustumBoundsBetweenTwoHeights) {
    struct bounds_case {
        const char* name;
        bool perspective;
        float max_distance, low, high;
        int result;
        V3 min, max;
    };
    const bounds_case cases[] = {
        {"ortho, all", false, 100, -10, 10, 1, {-1, -1, -3}, {1, 1, -1}},
        {"ortho, cut at distance 2", false, 2, -10, 10, 1, {-1, -1, -2}, {1, 1, -1}},
        {"ortho, a thin slab", false, 100, 0, 0.5f, 1, {-1, 0, -3}, {1, 0.5f, -1}},
        {"ortho, a single height", false, 100, 0.25f, 0.25f, 1, {-1, 0.25f, -3}, {1, 0.25f, -1}},
        {"ortho, above everything", false, 100, 5, 6, 0, {9.9e9f, 9.9e9f, 9.9e9f}, {-9.9e9f, -9.9e9f, -9.9e9f}},
        {"perspective, cut at 10", true, 10, -1000, 1000, 1, {-10, -10, -10}, {10, 10, -1}},
        {"perspective, above the eye", true, 10, 0, 1000, 1, {-10, 0, -10}, {10, 10, -1}},
    };
    for (const bounds_case& c : cases) {
        xcam_class cam;
        if (c.perspective) cam.SetupPerspective(90, 1, 1, 100);
        else cam.SetupOrtho(-1, 1, -1, 1, 1, 3);
        cam.Identity();
        float mn[3], mx[3];
        EXPECT_EQ(cam.GetFrustumBounds(c.max_distance, c.low, c.high, mn, mx), c.result) << c.name;
        const float tol = c.result ? 2e-3f : 0;
        expect_v3(mn, c.min, tol, std::string(c.name) + " min");
        expect_v3(mx, c.max, tol, std::string(c.name) + " max");
    }

    // Moved up by 100, the volume lies higher.
    xcam_class cam;
    cam.SetupOrtho(-1, 1, -1, 1, 1, 3);
    cam.LookAtPtFromPt(0, 100, 0, 0, 100, -1, 0, 1, 0);
    float mn[3], mx[3];
    EXPECT_EQ(cam.GetFrustumBounds(100, 0, 1000, mn, mx), 1);
    expect_v3(mn, {-1, 99, -3}, 1e-4f, "moved min");
    expect_v3(mx, {1, 101, -1}, 1e-4f, "moved max");
}

TEST_F(Camera, WorldPointsToInterfaceCoordinates) {
    xcam_class cam;
    cam.SetupPerspective(60, 4.0f / 3, 1, 100);
    cam.Identity();
    const float on_axis[3] = {0, 0, -7};
    const float viewport[4] = {10, 20, 800, 600};
    float out[2];

    struct pix_case {
        float off_x, off_y, scale;
        float x, y;
    };
    const pix_case cases[] = {{0, 0, 1, 410, 320}, {5, 7, 1, 405, 313}, {5, 7, 2, 202.5f, 156.5f}};
    for (const pix_case& c : cases) {
        wins.off_x = c.off_x;
        wins.off_y = c.off_y;
        wins.scale = c.scale;
        cam.mtr_to_pix(on_axis, out, viewport);
        EXPECT_NEAR(out[0], c.x, 1e-3f);
        EXPECT_NEAR(out[1], c.y, 1e-3f);
    }

    // The 1:1 interface view: units are pixels from the bottom-left corner.
    xcam_class ui;
    ui.SetupOrtho(0, 800, 0, 600, -1, 1);
    ui.Identity();
    wins.off_x = 100;
    wins.off_y = 50;
    wins.scale = 1;
    const float point[3] = {123, 456, 0};
    gl_recorder rec;
    rec.floats[GL_VIEWPORT] = {0, 0, 800, 600};
    gl_recorder_install(&rec);
    ui.mtr_to_pix(point, out, nullptr);   // the viewport from OpenGL
    gl_recorder_install(nullptr);
    EXPECT_EQ(rec.calls, (std::vector<std::string>{"glGetFloatv(GL_VIEWPORT, ptr)"}));
    EXPECT_NEAR(out[0], 23, 1e-3f);
    EXPECT_NEAR(out[1], 406, 1e-3f);
}

TEST(AccumSegment, GrowsTheBoxByThePartBetweenTheHeights) {
    struct seg_case {
        const char* name;
        V3 a, b;
        float low, high;
        bool grows;
        V3 min, max;
    };
    const seg_case cases[] = {
        {"wholly above", {0, 5, 0}, {1, 6, 1}, 0, 1, false, {}, {}},
        {"wholly inside", {0, 0.2f, 0}, {1, 0.8f, 2}, 0, 1, true, {0, 0.2f, 0}, {1, 0.8f, 2}},
        // y from -1 to 3 crossing 0 and 1: exactly the two crossing points
        {"crossing both", {0, -1, 0}, {4, 3, 8}, 0, 1, true, {1, 0, 2}, {2, 1, 4}},
        {"crossing both, ends swapped", {4, 3, 8}, {0, -1, 0}, 0, 1, true, {1, 0, 2}, {2, 1, 4}},
        {"one end inside", {0, 0.5f, 0}, {2, 2.5f, 2}, 0, 1, true, {0, 0.5f, 0}, {0.5f, 1, 0.5f}},
        {"level inside", {-3, 0.5f, 1}, {3, 0.5f, -1}, 0, 1, true, {-3, 0.5f, -1}, {3, 0.5f, 1}},
        {"level outside", {-3, 2, 1}, {3, 2, -1}, 0, 1, false, {}, {}},
        {"a single height", {0, 0, 0}, {2, 2, 4}, 1, 1, true, {1, 1, 2}, {1, 1, 2}},
        {"touching at an end", {0, 1, 0}, {2, 2, 4}, 0, 1, true, {0, 1, 0}, {0, 1, 0}},
    };
    for (const seg_case& c : cases) {
        float mn[3] = {9.9e9f, 9.9e9f, 9.9e9f}, mx[3] = {-9.9e9f, -9.9e9f, -9.9e9f};
        accum_segment(c.low, c.high, c.a.data(), c.b.data(), mn, mx);
        if (!c.grows) {
            EXPECT_EQ(mn[0], 9.9e9f) << c.name;
            EXPECT_EQ(mx[0], -9.9e9f) << c.name;
            continue;
        }
        expect_v3(mn, c.min, 1e-6f, std::string(c.name) + " min");
        expect_v3(mx, c.max, 1e-6f, std::string(c.name) + " max");
    }
}

}  // namespace
