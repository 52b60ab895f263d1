// View setup against a recorded GL: the interface scale and centring, the full-window
// orthographic view and the other viewport types, scissors in interface units, the frame's end
// (colour and swap, also through the frame pump), and the local transform.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/app_globals.h"
#include "core/mouse_record.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "render/camera.h"
#include "render/gl_recorder.h"
#include "render/matrix.h"
#include "render/palette.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/windows.h"
#include "render/panel_record.h"

namespace {

using M4 = std::array<float, 16>;
constexpr M4 kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
using calls = std::vector<std::string>;

// glLoadMatrixf is recorded as a pointer; the matrices it loaded are kept here.
std::vector<M4> g_loaded;
void (APIENTRY* g_recorded_load)(const GLfloat*) = nullptr;
void APIENTRY capture_load(const GLfloat* m) {
    M4 a;
    std::copy(m, m + 16, a.begin());
    g_loaded.push_back(a);
    g_recorded_load(m);
}

M4 ortho(float l, float r, float b, float t, float n, float f) {
    M4 m;
    buildOrthoMatrixf(m.data(), l, r, b, t, n, f);
    return m;
}

void expect_matrix(const M4& got, const M4& want, const std::string& what) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], 1e-6f) << what << " element " << i;
}

const calls kFullWindow800 = {"glMatrixMode(GL_PROJECTION)", "glLoadIdentity()",   "glViewport(0, 0, 800, 600)",
                              "glMatrixMode(GL_PROJECTION)", "glLoadMatrixf(ptr)", "glMatrixMode(GL_MODELVIEW)",
                              "glLoadMatrixf(ptr)"};

class View : public ::testing::Test {
protected:
    void SetUp() override {
        gl_recorder_install(&rec);
        g_recorded_load = gl.glLoadMatrixf;
        gl.glLoadMatrixf = &capture_load;
        g_loaded.clear();
        wins = wins_class{};
        wins.win_px_w = 800;
        wins.win_px_h = 600;
        xcam = xcam_class{};
    }
    void TearDown() override {
        gl_recorder_install(nullptr);
        wins = wins_class{};
        colr.fade = 0;
        colr.mono = 0;
        ren.alpha = 1;
    }
    gl_recorder rec;
};

TEST_F(View, PixSpecsCentresAWideWindowAndAppliesTheFullWindowView) {
    struct spec_case {
        int w, h, panel;
        float ui_off_x;
        bool view_applied;
    };
    const spec_case cases[] = {
        {1024, 768, 0, 0, true}, {1280, 1024, 0, 128, true}, {800, 600, 0, 0, true},
        {1280, 1024, 2, 128, true}, {1280, 1024, -1, 0, false},
    };
    for (const spec_case& c : cases) {
        wins.win_px_w = c.w;
        wins.win_px_h = c.h;
        wins.panel_id = c.panel;
        OGL_pix_specs(0);
        const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h) + " panel " + std::to_string(c.panel);
        EXPECT_EQ(wins.scale, 1.0f) << what;
        EXPECT_EQ(wins.ui_off_x, c.ui_off_x) << what;
        EXPECT_EQ(wins.view_left, 0) << what;
        EXPECT_EQ(wins.view_bottom, 0) << what;
        EXPECT_EQ(wins.view_right, c.w) << what;
        EXPECT_EQ(wins.view_top, c.h) << what;
        const calls made = rec.take();
        if (!c.view_applied) {
            EXPECT_TRUE(made.empty()) << what;
            continue;
        }
        ASSERT_EQ(made.size(), 7u) << what;
        EXPECT_EQ(made[2], "glViewport(0, 0, " + std::to_string(c.w) + ", " + std::to_string(c.h) + ")") << what;
    }
}

TEST_F(View, TheFullWindowViewMapsUnitsToPixelsFromTheBottomLeft) {
    wins.panel_id = -1;   // the box only
    OGL_pix_specs(0);
    xcam.Translate(5, 5, 5);   // whatever the camera held is replaced
    OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1);
    EXPECT_EQ(rec.take(), kFullWindow800);
    ASSERT_EQ(g_loaded.size(), 2u);
    expect_matrix(g_loaded[0], ortho(0, 800, 0, 600, -1, 1), "projection");
    expect_matrix(g_loaded[1], kIdentity, "modelview");
    EXPECT_TRUE(xcam.is_ortho);
    EXPECT_EQ(xcam.near_z, 1);
    EXPECT_EQ(xcam.far_z, -1);
    EXPECT_FALSE(xcam.modelview_stale);

    // Unit (123, 456) lands on pixel (123, 456) counted from the bottom-left corner.
    float x = 0, y = 0, z = 0;
    const int viewport[4] = {0, 0, 800, 600};
    ASSERT_EQ(gluProjectf(123, 456, 0, g_loaded[1].data(), g_loaded[0].data(), viewport, &x, &y, &z), 1);
    EXPECT_NEAR(x, 123, 1e-3f);
    EXPECT_NEAR(y, 456, 1e-3f);
}

TEST_F(View, OrthographicFrustumAndViewportOnlyTypes) {
    struct view_case {
        const char* name;
        int type;
        float l, vx, b, vy, r, vx2, n, t, vy2, f, divisor;
        int keep_aspect;
        float scale;
        std::string viewport;
        M4 projection;
    };
    M4 frustum;
    buildFrustumMatrixf(frustum.data(), -2, 2, -1.5f, 1.5f, 2, 50);
    M4 aspect_frustum;
    buildFrustumMatrixf(aspect_frustum.data(), -2, 2, -1, 1, 2, 50);
    const view_case cases[] = {
        {"ortho box", 2, -10, 5, -20, 6, 10, 105, -1, 20, 206, 1, 1, 0, 1, "glViewport(5, 6, 100, 200)",
         ortho(-10, 10, -20, 20, -1, 1)},
        {"ortho halved", 2, -10, 0, -20, 0, 10, 100, -1, 20, 100, 1, 2, 0, 1, "glViewport(0, 0, 100, 100)",
         ortho(-5, 5, -10, 10, -1, 1)},
        // keep the aspect: a 200x100 viewport halves the height
        {"ortho, aspect kept", 2, -1, 0, -1, 0, 1, 200, -1, 1, 100, 1, 1, 1, 1, "glViewport(0, 0, 200, 100)",
         ortho(-1, 1, -0.5f, 0.5f, -1, 1)},
        // slopes at unit distance times near 2; the viewport in units at scale 2
        {"frustum", 3, -1, 10, -0.75f, 20, 1, 110, 2, 0.75f, 120, 50, 1, 0, 2, "glViewport(20, 40, 200, 200)",
         frustum},
        {"frustum, aspect kept", 3, -1, 0, -1, 0, 1, 200, 2, 1, 100, 50, 1, 1, 1, "glViewport(0, 0, 200, 100)",
         aspect_frustum},
        {"truncated towards zero", 2, 0, 0.9f, 0, -0.9f, 1, 10.7f, -1, 1, 10.2f, 1, 1, 0, 1,
         "glViewport(0, 0, 9, 11)", ortho(0, 1, 0, 1, -1, 1)},
    };
    for (const view_case& c : cases) {
        wins.scale = c.scale;
        g_loaded.clear();
        OGL_viewport(c.type, c.l, c.vx, c.b, c.vy, c.r, c.vx2, c.n, c.t, c.vy2, c.f, c.divisor, c.keep_aspect, 0);
        const calls made = rec.take();
        ASSERT_EQ(made.size(), 7u) << c.name;
        EXPECT_EQ(made[2], c.viewport) << c.name;
        ASSERT_EQ(g_loaded.size(), 2u) << c.name;
        expect_matrix(g_loaded[0], c.projection, c.name);
        expect_matrix(g_loaded[1], kIdentity, c.name);
        EXPECT_EQ(xcam.is_ortho, c.type == 2) << c.name;
    }
}

TEST_F(View, AnyOtherTypeSetsTheViewportAndReloadsTheCameraAsItIs) {
    xcam.SetupPerspective(60, 1, 1, 10);
    M4 before;
    std::copy(xcam.projection, xcam.projection + 16, before.begin());
    xcam.Translate(1, 2, 3);
    OGL_viewport(1, -9, 10, -9, 20, 9, 330, 9, 9, 260, 9, 1, 0, 1);
    EXPECT_EQ(rec.take(), (calls{"glMatrixMode(GL_PROJECTION)", "glLoadIdentity()", "glViewport(10, 20, 320, 240)",
                                 "glMatrixMode(GL_PROJECTION)", "glLoadMatrixf(ptr)", "glMatrixMode(GL_MODELVIEW)",
                                 "glLoadMatrixf(ptr)"}));
    ASSERT_EQ(g_loaded.size(), 2u);
    EXPECT_EQ(g_loaded[0], before);
    EXPECT_EQ(g_loaded[1], kIdentity);
    EXPECT_FALSE(xcam.is_ortho);
}

TEST_F(View, ScreensizeSetsOnlyTheViewport) {
    struct size_case {
        int type;
        float x1, y1, x2, y2, scale;
        std::string call;
    };
    const size_case cases[] = {
        {2, 5, 5, 9, 9, 1, "glViewport(0, 0, 800, 600)"},
        {3, 10, 20, 110, 70, 2, "glViewport(20, 40, 200, 100)"},
        {0, 10, 20, 110, 70, 2, "glViewport(10, 20, 100, 50)"},
        {1, 10.9f, 20.5f, 110, 70, 1, "glViewport(10, 20, 99, 49)"},
    };
    for (const size_case& c : cases) {
        wins.scale = c.scale;
        OGL_screensize(c.type, c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(rec.take(), calls{c.call}) << c.type;
    }
}

TEST_F(View, ScissorsGiveTheRectangleInWindowPixels) {
    struct scissor_case {
        const char* name;
        float off_x, off_y, scale;
        float x, y, w, h;
        std::string call;
    };
    const scissor_case cases[] = {
        {"panel offsets added", 5, 5, 1, 10, 20, 100, 15, "glScissor(15, 25, 100, 15)"},
        {"negative width is none", 5, 5, 1, 10, 20, -3, 15, "glScissor(15, 25, 0, 15)"},
        {"negative height is none", 0, 0, 1, 10, 20, 30, -0.5f, "glScissor(10, 20, 30, 0)"},
        {"truncated towards zero", 0, 0, 1, -0.5f, 0, 10, 10, "glScissor(0, 0, 10, 10)"},
        {"fractions", 0.25f, 0, 1, 10.5f, 3.9f, 20.6f, 4.5f, "glScissor(10, 3, 20, 4)"},
        {"interface scale", 5, 5, 2, 10, 20, 100, 15, "glScissor(30, 50, 200, 30)"},
        {"alert panel at 420x260 in 800x600", 190, 170, 1, 20, 40, 380, 30, "glScissor(210, 210, 380, 30)"},
    };
    for (const scissor_case& c : cases) {
        wins.off_x = c.off_x;
        wins.off_y = c.off_y;
        wins.scale = c.scale;
        OGL_scissors(c.x, c.y, c.w, c.h);
        EXPECT_EQ(rec.take(), (calls{"glEnable(GL_SCISSOR_TEST)", c.call})) << c.name;
    }
    OGL_scissors_end();
    EXPECT_EQ(rec.take(), calls{"glDisable(GL_SCISSOR_TEST)"});
}

TEST_F(View, ScissorsDoNotNest) {
    wins.scale = 1;
    OGL_scissors(0, 0, 400, 300);     // an outer field
    OGL_scissors(350, 250, 100, 100); // reaching outside it: replaced, not intersected
    OGL_scissors_end();
    OGL_scissors_end();               // ending twice is harmless
    EXPECT_EQ(rec.take(), (calls{"glEnable(GL_SCISSOR_TEST)", "glScissor(0, 0, 400, 300)",
                                 "glEnable(GL_SCISSOR_TEST)", "glScissor(350, 250, 100, 100)",
                                 "glDisable(GL_SCISSOR_TEST)", "glDisable(GL_SCISSOR_TEST)"}));
}

TEST_F(View, SbuffSetsTheColourFromTheFadeThenSwaps) {
    struct colour_case {
        float fade;
        int mono;
        float alpha;
        std::string call;
    };
    const colour_case cases[] = {
        {0, 0, 1, "glColor3f(1, 1, 1)"},        {0.25f, 0, 1, "glColor3f(1, 0.5, 0.5)"},
        {0.5f, 0, 1, "glColor3f(1, 0, 0)"},     {0.75f, 0, 1, "glColor3f(1, 0, 0)"},
        {0, 1, 1, "glColor3f(0, 1, 0)"},        {0.25f, 1, 1, "glColor3f(1, 0.5, 0.5)"},   // the fade wins
        {0, 0, 0.5f, "glColor4f(1, 1, 1, 0.5)"}, {0, 0, 0.995f, "glColor3f(1, 1, 1)"},
        {0, 0, 0.98f, "glColor4f(1, 1, 1, 0.98)"}, {0, 0, 0.99f, "glColor3f(1, 1, 1)"},   // 0.99f is above 0.99
    };
    for (const colour_case& c : cases) {
        colr.fade = c.fade;
        colr.mono = c.mono;
        ren.alpha = c.alpha;
        OGL_sbuff();
        EXPECT_EQ(rec.take(), calls{c.call}) << c.fade << " " << c.mono << " " << c.alpha;
    }
}

TEST_F(View, TheLocalTransformStartsAsTheIdentityAndCanBeSetAndReset) {
    float* m = OGL_get_local_transform();
    EXPECT_EQ(m, local_transform);
    M4 start;
    std::copy(m, m + 16, start.begin());
    EXPECT_EQ(start, kIdentity);
    M4 moved = kIdentity;
    moved[12] = 3;
    OGL_set_local_transform(moved.data());
    EXPECT_EQ(m[12], 3);
    m[13] = 4;   // callers may write through the pointer
    EXPECT_EQ(local_transform[13], 4);
    OGL_reset_local_transform();
    std::copy(m, m + 16, start.begin());
    EXPECT_EQ(start, kIdentity);
    EXPECT_TRUE(rec.take().empty());
}

TEST_F(View, EveryPanelStartSetsTheFullWindowView) {
    for (const int panel : {-1, 0, 994}) {
        OGL_pix_specs(0);
        rec.take();
        g_loaded.clear();
        wins.start_win(panel);
        EXPECT_EQ(rec.take(), kFullWindow800) << panel;
        ASSERT_EQ(g_loaded.size(), 2u);
        expect_matrix(g_loaded[0], ortho(0, 800, 0, 600, -1, 1), "panel " + std::to_string(panel));
    }
}

TEST_F(View, AResizeRecentresAndReappliesTheView) {
    wins.panel_id = 0;
    MACIBM_live_resize(1280, 1024);
    EXPECT_EQ(wins.ui_off_x, 128);
    EXPECT_EQ(wins.view_right, 1280);
    EXPECT_EQ(wins.view_top, 1024);
    // Once by the new placement, once by the panel started again.
    EXPECT_EQ(rec.matching({"glViewport"}),
              (calls{"glViewport(0, 0, 1280, 1024)", "glViewport(0, 0, 1280, 1024)"}));
    ASSERT_FALSE(g_loaded.empty());
    expect_matrix(g_loaded[g_loaded.size() - 2], ortho(0, 1280, 0, 1024, -1, 1), "projection after the resize");
}

// The frame pump ends each frame with OGL_sbuff unless a movie hook has taken the swap over.
int g_movie_frames = 0;
void count_movie_frame() { ++g_movie_frames; }

TEST_F(View, TheFramePumpSwapsThroughSbuff) {
    platform::test_clock_set(1000000);
    platform::clear_test_input();
    event_pump_reset_for_test();
    frame_hooks = frame_hooks_t{};
    mnw = mnw_record{};
    wins.panel_id = -1;
    colr.fade = 0.25f;

    platform::test_clock_advance(16667);
    MACIBM_event_proc();
    const calls first = rec.take();
    ASSERT_GE(first.size(), kFullWindow800.size() + 1);
    // The first frame opens panel 0 with the full-window view and ends with the frame colour.
    EXPECT_EQ(calls(first.begin(), first.begin() + 7), kFullWindow800);
    EXPECT_EQ(first.back(), "glColor3f(1, 0.5, 0.5)");

    frame_hooks.movie_per_frame = &count_movie_frame;
    platform::test_clock_advance(16667);
    MACIBM_event_proc();
    EXPECT_EQ(g_movie_frames, 1);
    EXPECT_TRUE(rec.matching({"glColor"}).empty());

    frame_hooks = frame_hooks_t{};
    platform::clear_test_input();
    platform::test_clock_release();
}

}  // namespace
