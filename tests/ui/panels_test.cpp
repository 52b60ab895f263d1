// Framework panels and the per-frame help pass: where a panel opens and what opening it resets,
// the help tip after the pointer has rested (its size, its place inside the window, its text),
// and the cursor: hidden after a long rest, shown again, pictures from the atlas, the arrow
// restored after a code of 1, and none of it over the dialogs.
#include <gtest/gtest.h>

#include "core/app_globals.h"
#include "ui/buttons.h"
#include "ui/focus.h"
#include "render/panel_record.h"
#include "widget_frames.h"

namespace {

using namespace widgettest;

class Panels : public WidgetFrames {
protected:
    // The extent of the help-tip frame drawn in the last frame (style 17's art), in window pixels.
    struct box {
        double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
        bool drawn() const { return x1 > x0; }
    };
    box tip_frame() const {
        box b;
        for (const seen_quad& q : quads)
            if (q.tex == 359 && q.s0 >= 304 - 0.01 && q.s1 <= 404 + 0.01 && q.t0 >= 358 - 0.01 && q.t1 <= 458 + 0.01) {
                b.x0 = std::min(b.x0, q.x0);
                b.y0 = std::min(b.y0, q.y0);
                b.x1 = std::max(b.x1, q.x1);
                b.y1 = std::max(b.y1, q.y1);
            }
        return b;
    }
    // The quads of the cursor picture whose art starts at (s0, t0).
    std::vector<seen_quad> pictures(double s0, double t0) const { return with_art(quads, s0, t0); }
};

TEST_F(Panels, OpeningAPanelCentresItTitlesItAndResetsTheFrameState) {
    const struct {
        int w, h, panel;
        float off_x, off_y, panel_w, panel_h;
        int active;
    } cases[] = {
        {800, 600, 2, 50, 110, 700, 380, 1},     {800, 600, 994, 190, 170, 420, 260, 1},
        {800, 600, 992, 0, 0, 900, 760, 1},      {800, 600, 0, 0, 0, 800, 600, 0},
        {800, 600, -1, 0, 0, 800, 600, 0},       {800, 600, 5, 0, 0, 800, 600, 0},
        {800, 600, 998, 120, 63, 561, 474, 1},   {801, 600, 2, 51, 110, 700, 380, 1},
        {2400, 1000, 2, 250, 310, 700, 380, 1},  {3000, 1000, 2, 1150, 310, 700, 380, 1},
        {1280, 1024, 996, 265, 439, 750, 146, 1},
    };
    for (const auto& c : cases) {
        const std::string what = std::to_string(c.w) + "x" + std::to_string(c.h) + " panel " + std::to_string(c.panel);
        wins.win_px_w = c.w;
        wins.win_px_h = c.h;
        mnw.click_hit = mnw.mouse_held = 1;
        mnw.wheel_steps = 3;
        focus_id = 77;
        wins.start_win(c.panel);
        EXPECT_EQ(wins.off_x, c.off_x) << what;
        EXPECT_EQ(wins.off_y, c.off_y) << what;
        EXPECT_EQ(wins.panel_w, c.panel_w) << what;
        EXPECT_EQ(wins.panel_h, c.panel_h) << what;
        EXPECT_EQ(wins.panel_active, c.active) << what;
        EXPECT_EQ(wins.panel_id, c.panel) << what;
        EXPECT_EQ(wins.id, c.panel) << what;
        EXPECT_EQ(mnw.click_hit + mnw.mouse_held + mnw.wheel_steps, 0) << what;
        EXPECT_EQ(focus_id, 0) << what;
    }
    wins.win_px_w = 800;
    wins.win_px_h = 600;

    // The title goes with the table's panels only.
    wins.start_win(2);
    EXPECT_EQ(stls[4], "Prefs");
    wins.start_win(0);
    EXPECT_EQ(stls[4], "Prefs");
    wins.start_win(997);
    EXPECT_EQ(stls[4], "SAY INTENTIONS");
    wins.start_win(-1);
    EXPECT_EQ(stls[4], "SAY INTENTIONS");
    wins.start_win(0);
}

TEST_F(Panels, OpeningAPanelShowsAPendingTipAndEmptiesIt) {
    point(400, 300);
    frame([] {});
    frame([] {}, 2000000);   // the pointer has rested
    help.help_text = "Waiting tip.";
    rec.take();
    TEX_reset_bind();
    wins.start_win(2);
    quads = seen_quads(rec.take(), gl_name(tex_ref_interface));
    EXPECT_TRUE(tip_frame().drawn());
    EXPECT_TRUE(help.help_text.empty());
    wins.start_win(0);
}

TEST_F(Panels, TheTipStandsBelowLeftOfThePointerInsideTheWindow) {
    const struct {
        int panel;
        int length;     // bytes of help text
        float px, py;   // pointer, panel units
        float x, y, h;  // the tip's frame rectangle (panel units) and the text's box height
    } cases[] = {
        {0, 500, 400, 300, 0, 305, 120},     // pushed right to 10 from the window's left edge
        {0, 49, 700, 550, 275, 510, 60},     // held 20 + h below the top
        {0, 5000, 600, 5, 175, 10, 300},     // tallest box
        {0, 100, 500, -10, 75, 0, 60},       // held 10 above the bottom
        {0, 300, 820, 100, 380, 105, 80},    // held 410 from the right edge
        {2, 500, 100, 200, -50, 205, 120},   // on a panel, the limits stay the window's
        {2, 60, 690, 370, 265, 375, 60},
    };
    for (const auto& c : cases) {
        const std::string what = "panel " + std::to_string(c.panel) + " length " + std::to_string(c.length) +
                                 " at " + std::to_string(c.px) + "," + std::to_string(c.py);
        wins.start_win(c.panel);
        const std::string text(static_cast<std::size_t>(c.length), 'H');
        const auto body = [&] { help.help_text = text; };
        point(c.px, c.py);
        frame(body);
        frame(body, 1100000);
        frame(body);
        const box b = tip_frame();
        ASSERT_TRUE(b.drawn()) << what;
        // Style 17 reaches 9 beyond the sides, 14 below and 4 above its rectangle.
        const double ox = wins.off_x, oy = wins.off_y;
        EXPECT_DOUBLE_EQ(b.x0, ox + c.x - 9) << what;
        EXPECT_DOUBLE_EQ(b.x1, ox + c.x + 420 + 9) << what;
        EXPECT_DOUBLE_EQ(b.y0, oy + c.y - 14) << what;
        EXPECT_DOUBLE_EQ(b.y1, oy + c.y + c.h + 20 + 4) << what;
        // The text starts 13 in; its first baseline is 11 below the top of the text's box, and
        // a capital stands 8 above it.
        double left = 1e9, top = -1e9;
        for (const seen_quad& q : glyphs(quads)) left = std::min(left, q.x0), top = std::max(top, q.y1);
        EXPECT_NEAR(left, ox + c.x + 13, 2) << what;
        EXPECT_NEAR(top, oy + c.y + 10 + c.h - 11 + 8, 1.5) << what;
        EXPECT_TRUE(help.help_text.empty() || c.panel != 0) << what;
    }
    wins.start_win(0);
}

TEST_F(Panels, NoTipUntilThePointerHasRestedForASecond) {
    const auto body = [] { BTN_action(300, 200, 100, 0, 0, "Go{Goes on to the next step.", "-"); };
    point(300, 200);
    frame(body);
    frame(body, 500000);
    EXPECT_FALSE(tip_frame().drawn());
    EXPECT_TRUE(help.help_text.empty()) << "emptied whether or not a tip was drawn";
    frame(body, 490000);
    EXPECT_FALSE(tip_frame().drawn()) << "0.99 s";
    frame(body, 30000);
    EXPECT_TRUE(tip_frame().drawn()) << "1.02 s";
    frame(body);
    EXPECT_TRUE(tip_frame().drawn());
    point(301, 200);   // moved: the wait starts again
    frame(body);
    EXPECT_FALSE(tip_frame().drawn());
    // A widget without a help part offers nothing to show.
    frame([] { BTN_action(300, 200, 100, 0, 0, "Go", "-"); }, 2000000);
    EXPECT_FALSE(tip_frame().drawn());
}

TEST_F(Panels, TheCursorHidesAfterTenSecondsOnTheApplicationScreenOnly) {
    point(100, 100);
    frame([] {});
    const platform::cursor_calls_t start = platform::cursor_calls_for_test();
    frame([] {}, 9000000);
    EXPECT_EQ(platform::cursor_calls_for_test().hides, start.hides);
    frame([] {}, 1100000);
    EXPECT_EQ(platform::cursor_calls_for_test().hides, start.hides + 1);
    EXPECT_EQ(mnw.cursor_code, 2);
    frame([] {});
    EXPECT_EQ(platform::cursor_calls_for_test().hides, start.hides + 1) << "hidden once";
    point(120, 100);
    frame([] {});
    EXPECT_EQ(platform::cursor_calls_for_test().shows, start.shows + 1);

    wins.start_win(2);
    frame([] {}, 20000000);
    EXPECT_EQ(platform::cursor_calls_for_test().hides, start.hides + 1) << "a panel keeps it";
    wins.start_win(0);
}

TEST_F(Panels, CursorPicturesComeFromTheAtlasAtThePointer) {
    const struct {
        int code;
        bool held;
        double s0, t0, w, h, dx, dy;
    } cases[] = {
        {3, false, 199, 328, 62, 29, 0, 0},   {4, false, 199, 328, 31, 29, 6, 1},  {5, false, 230, 328, 31, 29, -4, 1},
        {13, false, 487, 309, 19, 24, 1, -5}, {14, false, 487, 333, 19, 24, 1, 5}, {17, false, 294, 291, 32, 18, 0, 0},
        {18, false, 328, 325, 30, 30, 0, 0},  {18, true, 360, 325, 30, 30, 0, 0},  {19, true, 360, 293, 30, 30, 0, 0},
        {20, false, 168, 325, 30, 30, 0, 0},  {21, false, 168, 293, 30, 30, 0, 0}, {22, false, 199, 250, 40, 40, 0, 0},
        {23, false, 456, 325, 30, 30, 0, 0},  {24, false, 424, 325, 30, 30, 0, 0}, {40, false, 168, 325, 30, 30, 0, 0},
    };
    const float px = 300, py = 200;
    for (const auto& c : cases) {
        const std::string what = "code " + std::to_string(c.code) + (c.held ? " held" : "");
        point(px, py);
        if (c.held) press();
        const int hides = platform::cursor_calls_for_test().hides;
        frame([&] { mnw.cursor_code = c.code; });
        const auto pic = pictures(c.s0, c.t0);
        ASSERT_EQ(pic.size(), 1u) << what;
        EXPECT_NEAR(pic[0].s1 - pic[0].s0, c.w, 1e-3) << what;
        EXPECT_NEAR(pic[0].t1 - pic[0].t0, c.h, 1e-3) << what;
        EXPECT_DOUBLE_EQ(pic[0].x0, px - c.dx - std::floor(c.w / 2)) << what;
        EXPECT_DOUBLE_EQ(pic[0].y0, py - c.dy - std::floor(c.h / 2)) << what;
        EXPECT_DOUBLE_EQ(pic[0].x1 - pic[0].x0, c.w) << what;
        EXPECT_LE(platform::cursor_calls_for_test().hides - hides, 1) << what;
        if (c.held) release();
        frame([] {});
    }
}

TEST_F(Panels, DialogsAndTheResizeCornerKeepTheSystemCursor) {
    // The help pass with a dialog's id (as opening one runs it) drops whatever code was asked.
    const struct {
        int panel;
        bool picture;
    } panels[] = {{991, true}, {992, false}, {995, false}, {999, false}, {1000, true}};
    for (const auto& p : panels) {
        mnw.mouse_x = 300;
        mnw.mouse_y = 200;
        mnw.cursor_code = 5;
        rec.take();
        TEX_reset_bind();
        help.mouse_help_per_wind(p.panel);
        quads = seen_quads(rec.take(), gl_name(tex_ref_interface));
        EXPECT_EQ(!pictures(230, 328).empty(), p.picture) << p.panel;
        EXPECT_EQ(mnw.cursor_code, p.picture ? 5 : 0) << p.panel;
    }

    // The lower-right corner square of the panel, edges included.
    const struct {
        float x, y;
        bool picture;
    } corner[] = {{785, 0, false}, {800, 15, false}, {790, 8, false}, {784, 8, true}, {790, 16, true}};
    for (const auto& c : corner) {
        point(c.x, c.y);
        frame([] { mnw.cursor_code = 5; });
        EXPECT_EQ(!pictures(230, 328).empty(), c.picture) << c.x << "," << c.y;
    }
}

TEST_F(Panels, AfterACodeOfOneTheArrowIsSetOnce) {
    frame([] {});
    const int arrows = platform::cursor_calls_for_test().arrows;
    frame([] { mnw.cursor_code = 1; });
    frame([] { mnw.cursor_code = 1; });
    EXPECT_EQ(platform::cursor_calls_for_test().arrows, arrows);
    frame([] {});
    EXPECT_EQ(platform::cursor_calls_for_test().arrows, arrows + 1);
    frame([] {});
    EXPECT_EQ(platform::cursor_calls_for_test().arrows, arrows + 1);
    // Hidden by a picture and back: shown again once.
    const platform::cursor_calls_t before = platform::cursor_calls_for_test();
    frame([] { mnw.cursor_code = 3; });
    frame([] { mnw.cursor_code = 3; });
    frame([] {});
    EXPECT_EQ(platform::cursor_calls_for_test().hides, before.hides + 1);
    EXPECT_EQ(platform::cursor_calls_for_test().shows, before.shows + 1);
}

}  // namespace
