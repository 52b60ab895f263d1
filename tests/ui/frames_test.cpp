// Frames against a recorded GL and the art table the pictures are painted from: every style's
// caps, slices and texture, the cut middle of a push button, width rounding, the nine-slice
// frames' extents and titles, close boxes, panel backgrounds and sub-panels, the labelled field,
// and the crash alert of a style a function does not draw.
#include "ui/frames.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <map>

#include "../../tools/art/atlas_table.h"
#include "../render/recorded_draw.h"
#include "core/log.h"
#include "support/temp_dir.h"
#include "ui/labels.h"

namespace {

using namespace drawtest;

// One frame's draw: the texture bound and its quads, in art texels (s from the left, t from the
// bottom) and panel units.
struct texel_quad {
    double x0, y0, x1, y1, s0, t0, s1, t1;
};
struct frame_seen {
    int tex = -1;
    int batches = 0;
    std::vector<texel_quad> quads;
};

class Frames : public RecordedText {
protected:
    frame_seen seen(const calls& made) {
        std::map<unsigned, int> ref_of;
        ref_of[gl_name(tex_ref_interface)] = tex_ref_interface;
        ref_of[gl_name(tex_ref_elements)] = tex_ref_elements;
        frame_seen out;
        for (const std::string& c : made)
            if (c.rfind("glBindTexture", 0) == 0) out.tex = ref_of.count(unsigned(parse(c).num[1])) ? ref_of[unsigned(parse(c).num[1])] : 0;
        if (out.tex < 0) out.tex = bound_before_;
        const double w = out.tex == tex_ref_elements ? 1024 : 512, h = out.tex == tex_ref_elements ? 128 : 512;
        const auto batches = quad_batches(made);
        out.batches = static_cast<int>(batches.size());
        if (!batches.empty()) {
            const auto& q = batches[0];
            for (std::size_t i = 0; i + 3 < q.size(); i += 4)
                out.quads.push_back({q[i].x, q[i].y, q[i + 2].x, q[i + 2].y, q[i].s * w, q[i].t * h, q[i + 2].s * w,
                                     q[i + 2].t * h});
        }
        return out;
    }
    // Draws with a clean binding, so the texture bound is always recorded.
    template <typename F>
    frame_seen draw(F f) {
        TEX_reset_bind();
        rec.take();
        f();
        return seen(rec.take());
    }
    int bound_before_ = -1;
};

// The recorder prints six significant digits: texel positions come back within this.
constexpr double kTexel = 2e-3;

void expect_quad(const texel_quad& q, const texel_quad& want, const std::string& what) {
    EXPECT_NEAR(q.x0, want.x0, 1e-3) << what;
    EXPECT_NEAR(q.y0, want.y0, 1e-3) << what;
    EXPECT_NEAR(q.x1, want.x1, 1e-3) << what;
    EXPECT_NEAR(q.y1, want.y1, 1e-3) << what;
    EXPECT_NEAR(q.s0, want.s0, kTexel) << what;
    EXPECT_NEAR(q.t0, want.t0, kTexel) << what;
    EXPECT_NEAR(q.s1, want.s1, kTexel) << what;
    EXPECT_NEAR(q.t1, want.t1, kTexel) << what;
}

TEST_F(Frames, EveryBarStyleShowsItsArtRectangle) {
    auto check = [&](const art::AtlasRect& r, int tex) {
        const std::string what = std::string(r.name) + " (style " + std::to_string(r.style) + ")";
        const float width = 200;
        const frame_seen f = draw([&] { BTN_frame1(r.style, 300, 300, width, 57); });
        EXPECT_EQ(f.tex, tex) << what;
        EXPECT_EQ(f.batches, 1) << what;
        ASSERT_GE(f.quads.size(), 3u) << what;
        const double W = width + (r.style == 9 || r.style == 10 ? 4 : 0);
        const double H = r.t1 - r.t0, y = r.style <= 1 ? 297 : 300;
        const double E = r.edge_x;
        const texel_quad& left = f.quads.front();
        const texel_quad& right = f.quads.back();
        expect_quad(left, {300 - W / 2, y - H / 2, 300 - W / 2 + E, y + H / 2, double(r.s0), double(r.t0), r.s0 + E,
                           double(r.t1)},
                    what + " left cap");
        expect_quad(right, {300 + W / 2 - E, y - H / 2, 300 + W / 2, y + H / 2, r.s1 - E, double(r.t0), double(r.s1),
                            double(r.t1)},
                    what + " right cap");
        // The middle pieces tile the span between the caps from the art between them.
        for (std::size_t i = 1; i + 1 < f.quads.size(); ++i) {
            const texel_quad& m = f.quads[i];
            EXPECT_NEAR(m.x0, f.quads[i - 1].x1, 1e-3) << what << " piece " << i;
            EXPECT_NEAR(m.s0, r.s0 + E, kTexel) << what;
            EXPECT_LE(m.s1, r.s1 - E + kTexel) << what;
        }
        EXPECT_NEAR(f.quads[f.quads.size() - 2].x1, right.x0, 1e-3) << what;
    };
    int bars = 0;
    for (const art::AtlasRect& r : art::atlas_rects)
        if (r.shape == art::Shape::bar) check(r, tex_ref_interface), ++bars;
    for (const art::AtlasRect& r : art::elements_rects)
        if (r.shape == art::Shape::bar) check(r, tex_ref_elements), ++bars;
    EXPECT_EQ(bars, 13);
}

TEST_F(Frames, APushButtonOf64UnitsCutsItsSecondMiddlePiece) {
    // Width 63 rounds to 64; centred at x 32 the bar spans 0..64, 26 high around y 13.
    for (const float width : {64.0f, 63.0f}) {
        const frame_seen f = draw([&] { BTN_frame1(2, 32, 13, width, 57); });
        ASSERT_EQ(f.quads.size(), 4u);
        expect_quad(f.quads[0], {0, 0, 10, 26, 304, 486, 314, 512}, "left cap");
        expect_quad(f.quads[1], {10, 0, 42, 26, 314, 486, 346, 512}, "whole middle");
        // 12 units of middle show 12 x 32 / 42 texels of it.
        expect_quad(f.quads[2], {42, 0, 54, 26, 314, 486, 314 + 12.0 * 32 / 42, 512}, "cut middle");
        expect_quad(f.quads[3], {54, 0, 64, 26, 346, 486, 356, 512}, "right cap");
    }
    // Fields and popups are 4 wider; x is rounded half away from zero; a panel offset moves all.
    wins.off_x = 100;
    wins.off_y = 50;
    frame_seen f = draw([&] { BTN_frame1(9, 10.5f, 20, 100, 57); });
    EXPECT_NEAR(f.quads.front().x0, 100 + 11 - 52, 1e-3);
    EXPECT_NEAR(f.quads.back().x1, 100 + 11 + 52, 1e-3);
    EXPECT_NEAR(f.quads.front().y0, 50 + 20 - 13, 1e-3);
    // A middle that divides evenly ends in a piece of no width.
    f = draw([&] { BTN_frame1(2, 0, 0, 84, 57); });
    ASSERT_EQ(f.quads.size(), 5u);
    EXPECT_NEAR(f.quads[3].x0, f.quads[3].x1, 1e-3);
}

TEST_F(Frames, TheScrollTrackStandsUpright) {
    const art::AtlasRect* track = nullptr;
    for (const art::AtlasRect& r : art::atlas_rects)
        if (r.style == 6) track = &r;
    ASSERT_NE(track, nullptr);
    // Length 40 becomes 48: caps of 10, one whole middle of 20 and one cut to 8 units.
    const frame_seen f = draw([] { BTN_frame0(6, 50, 100, 40); });
    EXPECT_EQ(f.tex, tex_ref_interface);
    ASSERT_EQ(f.quads.size(), 4u);
    const double s0 = track->s0, s1 = track->s1, t0 = track->t0;
    expect_quad(f.quads[0], {40, 76, 60, 86, s0, t0, s1, t0 + track->edge_b}, "bottom cap");
    expect_quad(f.quads[1], {40, 86, 60, 106, s0, t0 + 10, s1, t0 + 30}, "middle");
    expect_quad(f.quads[2], {40, 106, 60, 114, s0, t0 + 10, s1, t0 + 10 + 8.0 * 20 / 30}, "cut middle");
    expect_quad(f.quads[3], {40, 114, 60, 124, s0, track->t1 - track->edge_t, s1, double(track->t1)}, "top cap");
}

TEST_F(Frames, EveryNineSliceStyleShowsItsArtAndReachesItsMargins) {
    auto check = [&](const art::AtlasRect& r, int tex) {
        const std::string what = std::string(r.name) + " (style " + std::to_string(r.style) + ")";
        const float x = 100, y = 80, w = 300, h = 200;
        wins.panel_id = 0;
        const frame_seen f = draw([&] { BTN_frame2(r.style, x, y, w, h, "", 1); });
        EXPECT_EQ(f.tex, tex) << what;
        EXPECT_EQ(f.batches, 1) << what;
        ASSERT_GE(f.quads.size(), 9u) << what;
        const double L = x - r.out_side, R = x + w + r.out_side, B = y - r.out_bottom, T = y + h + r.out_top;
        const texel_quad& first = f.quads.front();
        const texel_quad& last = f.quads.back();
        expect_quad(first, {L, B, L + r.edge_x, B + r.edge_b, double(r.s0), double(r.t0), r.s0 + r.edge_x,
                            r.t0 + r.edge_b},
                    what + " lower-left corner");
        expect_quad(last, {R - r.edge_x, T - r.edge_t, R, T, r.s1 - r.edge_x, r.t1 - r.edge_t, double(r.s1),
                           double(r.t1)},
                    what + " upper-right corner");
        // Every piece shows as many texels as it covers units, except none.
        for (const texel_quad& q : f.quads) {
            EXPECT_NEAR(q.s1 - q.s0, q.x1 - q.x0, kTexel) << what;
            EXPECT_NEAR(q.t1 - q.t0, q.y1 - q.y0, kTexel) << what;
            EXPECT_GE(q.s0, r.s0 - kTexel) << what;
            EXPECT_LE(q.s1, r.s1 + kTexel) << what;
        }
    };
    int frames = 0;
    for (const art::AtlasRect& r : art::atlas_rects)
        if (r.shape == art::Shape::nine_slice) check(r, tex_ref_interface), ++frames;
    for (const art::AtlasRect& r : art::elements_rects)
        if (r.shape == art::Shape::nine_slice) check(r, tex_ref_elements), ++frames;
    EXPECT_EQ(frames, 10);

    // The menu's own slices: a two-texel middle column and row.
    const frame_seen menu = draw([] { BTN_frame2(20, 0, 0, 100, 60, "", 1); });
    EXPECT_NEAR(menu.quads[1].s0, 90, kTexel);
    EXPECT_NEAR(menu.quads[1].s1, 92, kTexel);
}

TEST_F(Frames, PanelFramesCarryTheirTitleAndCloseBoxes) {
    colr.col_assign(45, 0.5f, 0.6f, 0.7f);
    wins.panel_id = 2;
    wins.panel_w = 700;
    wins.panel_h = 380;
    TEX_reset_bind();
    rec.take();
    BTN_frame2(14, 0, 0, 700, 380, "Settings", 0.5f);
    const calls made = rec.take();
    const auto batches = quad_batches(made);
    // The frame, the title, the two close boxes.
    ASSERT_EQ(batches.size(), 4u);
    EXPECT_NEAR(batches[0].front().x, -9, 1e-3);
    EXPECT_NEAR(batches[0].front().y, -14, 1e-3);
    EXPECT_NEAR(batches[0].back().x, 709, 1e-3);
    EXPECT_NEAR(batches[0][batches[0].size() - 2].y, 384, 1e-3);
    EXPECT_NE(std::find(made.begin(), made.end(), "glColor4f(1, 1, 1, 0.5)"), made.end()) << "opacity";
    // The title is centred over the rectangle, 13 below its top, in colour 45.
    const float tw = OGL_measure_string("Settings");
    rec.take();
    OGL_string(45, 350 - tw / 2, 367, "Settings", 9999, cs_regular, just_left);
    const auto title = quad_batches(rec.take());
    EXPECT_EQ(batches[1].front().x, title[0].front().x);
    EXPECT_EQ(batches[1].front().y, title[0].front().y);
    EXPECT_NE(std::find(made.begin(), made.end(), "glColor3f(0.5, 0.6, 0.7)"), made.end());
    // Close boxes: 18 x 18 near the top corners, the unlit art.
    EXPECT_NEAR(batches[2][0].x, 7, 1e-3);
    EXPECT_NEAR(batches[2][0].y, 361, 1e-3);
    EXPECT_NEAR(batches[2][0].s * 512, 120, kTexel);
    EXPECT_NEAR(batches[2][0].t * 512, 178, kTexel);
    EXPECT_NEAR(batches[3][2].x, 693, 1e-3);
    EXPECT_NEAR(batches[3][2].y, 379, 1e-3);

    // No close boxes on the application screen and the alert and dialog panels.
    for (const int panel : {0, 994, 999}) {
        wins.panel_id = panel;
        BTN_frame2(14, 0, 0, 700, 380, "", 1);
        EXPECT_EQ(quad_batches(rec.take()).size(), 1u) << panel;
    }
    wins.panel_id = 2;

    // A press in the left box stops there; the boxes answer only in the frame of a press.
    mnw.click_hit = 1;
    mnw.mouse_x = 7;
    mnw.mouse_y = 379;
    EXPECT_EQ(BTN_zap_boxes(1), 1);
    const auto one = quad_batches(rec.take());
    ASSERT_EQ(one.size(), 1u);
    EXPECT_NEAR(one[0][0].t * 512, 197, kTexel) << "lit art";
    mnw.mouse_x = 700 - 7;
    EXPECT_EQ(BTN_zap_boxes(0), 1);
    EXPECT_EQ(quad_batches(rec.take()).size(), 2u);
    mnw.mouse_x = 350;
    EXPECT_EQ(BTN_zap_boxes(0), 0);
    mnw.click_hit = 0;
    mnw.mouse_x = 10;
    EXPECT_EQ(BTN_zap_boxes(0), 0);
}

TEST_F(Frames, PanelBackgroundsAndSubPanels) {
    wins.panel_id = 2;
    wins.panel_w = 700;
    wins.panel_h = 380;
    // A sub-panel of defaults fills the panel below its title band.
    float nx = 0, ny = 0;
    frame_seen f = draw([&] { BTN_subwin(0, 16, -1, 35, -1, -1, "", &nx, &ny); });
    EXPECT_EQ(nx, 700);
    EXPECT_EQ(ny, 362);
    EXPECT_NEAR(f.quads.front().x0, 10 - 9, 1e-3);
    EXPECT_NEAR(f.quads.front().y0, 35 - 14, 1e-3);
    EXPECT_NEAR(f.quads.back().x1, 10 + 680 + 9, 1e-3);
    EXPECT_NEAR(f.quads.back().y1, 35 + 317 + 4, 1e-3);

    // The panel's background, then its inner frame or title bar.
    stls[4] = "";
    rec.take();
    BTN_fillwin(0, 24);
    EXPECT_EQ(quad_batches(rec.take()).size(), 1u);
    BTN_fillwin(0, 1);
    auto b = quad_batches(rec.take());
    ASSERT_EQ(b.size(), 2u);
    EXPECT_NEAR(b[1].front().x, 0, 1e-3) << "title bar as wide as the panel";
    EXPECT_NEAR(b[1].back().x, 700, 1e-3);
    EXPECT_NEAR(b[1].front().y, 330 - 3 - 13, 1e-3);
    BTN_fillwin(1, 16);
    b = quad_batches(rec.take());
    ASSERT_EQ(b.size(), 4u) << "background, its two close boxes, the inner frame";
    EXPECT_NEAR(b[3].front().x, 10 - 9, 1e-3);
    EXPECT_NEAR(b[3].back().x, 690 + 9, 1e-3);
}

TEST_F(Frames, ALabelledFieldDrawsItsFrameLabelsAndText) {
    auto field = [] { OGL_boxed_string(300, 100, 120, "Port|(number)", "8080", cs_regular, 50); };
    field();
    rec.take();
    field();
    const calls got = rec.take();
    BTN_frame1(9, 300, 104, 120, 57);
    BTN_util_draw_label(232, 100, 0, "Port", 0);
    BTN_util_draw_label(368, 100, 2, "(number)", 0);
    OGL_string(50, 300, 100, "8080", 9999, cs_regular, just_centre);
    EXPECT_EQ(got, rec.take());
}

TEST_F(Frames, AStyleAFunctionDoesNotDrawIsTheCrashAlert) {
    GTEST_FLAG_SET(death_test_style, "fast");
    testsupport::temp_dir tmp;
    ASSERT_TRUE(xer.open(tmp / "log.txt"));
    ASSERT_EQ(chdir(tmp.path().c_str()), 0);
    struct bad_case {
        std::function<void()> call;
        const char* line;
    };
    const bad_case cases[] = {
        {[] { BTN_frame1(6, 0, 0, 50, 57); }, "Bad BTN_frame1 call!"},
        {[] { BTN_frame1(14, 0, 0, 50, 57); }, "Bad BTN_frame1 call!"},
        {[] { BTN_frame0(2, 0, 0, 50); }, "Bad BTN_frame0 call!"},
        {[] { BTN_frame0(6, 0.5f, 0, 50); }, "BTN_frame0 non-int x_center!"},
        {[] { BTN_frame0(6, 0, 2.25f, 50); }, "BTN_frame0 non-int y_center!"},
        {[] { BTN_frame2(13, 0, 0, 50, 50, "", 1); }, "Bad BTN_frame2 call!"},
        {[] { BTN_frame2(24, 0, 0, 50, 50, "", 1); }, "Bad BTN_frame2 call!"},
    };
    for (const bad_case& c : cases) {
        EXPECT_EXIT(c.call(), ::testing::KilledBySignal(SIGABRT), "") << c.line;
        const std::string log = testsupport::read_file(tmp / "log.txt");
        EXPECT_NE(log.find(c.line), std::string::npos) << c.line;
        EXPECT_NE(log.find("frames.cpp"), std::string::npos) << "the source file is named";
    }
    xer.close();
}

}  // namespace
