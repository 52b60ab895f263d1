// Number fields, the character editor and both sliders in a real window under
// Xvfb, driven by xdotool as a person would: clicks at the widgets' places, typed digits and
// letters, a drag. The frames run on a moved frame clock while xdotool works. Set
// VENTARO_TEST_SCREENSHOT to a path to keep the picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "platform/clock.h"
#include "render/background.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/windows.h"
#include "support/gui_window.h"
#include "support/framed_window.h"
#include "support/run_answering.h"
#include "support/screen_pixels.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "ui/number_fields.h"
#include "ui/sliders.h"

namespace {

using testsupport::clocked_frame;
using testsupport::run_framing;

float g_fps = 20, g_level = 2, g_lon = -12.5f, g_lat = 47.25f;
int g_width = 320, g_scroll = 50;
char g_code[8] = "AB";

void draw_host() {
    OGL_plot_back_col();
    BTN_flt_range(100, 400, &g_fps, 2, 0, 10, 99, "frame rate|(fps)");
    BTN_int_range(100, 330, &g_width, 4, 32, 2048, "width|(pix)");
    BTN_chars(100, 260, g_code, 4, "code");
    BTN_horz_slider(100, 180, 200, 50, 0, 10, &g_level, 1, "level", "loudness");
    BTN_vert_slider(0, 500, 100, 400, 0, 100, &g_scroll);
    // Shown for the picture only.
    BTN_display_number(300, 450, 123.4f, 3, 1, "shown|(read only)", cs_fixed10);
    float x = 300, y = 380;
    enter_lat_lon(&x, &y, &g_lon, &g_lat);
}

class WidgetsOnX : public testsupport::framed_window_test {};

TEST_F(WidgetsOnX, ClickedTypedAndDraggedThroughTheDesktop) {
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_art_window_on(server, 800, 600)) << platform::window_error();
    frame_hooks.app_update = &draw_host;
    wins.panel_id = -1;
    for (int i = 0; i < 10; ++i) clocked_frame();
    ASSERT_EQ(wins.panel_id, 0);
    OGL_pix_specs(0);

    const std::string xid = testsupport::program_window(server.display());
    ASSERT_FALSE(xid.empty());
    // Window pixels, y down, from interface points.
    auto at = [&](float x, float y) {
        return std::vector<std::string>{"xdotool", "mousemove", "--window", xid, "--sync",
                                        std::to_string(static_cast<int>(x)), std::to_string(600 - static_cast<int>(y))};
    };
    auto then = [](std::vector<std::string> a, std::initializer_list<std::string> more) {
        a.insert(a.end(), more);
        return a;
    };
    ASSERT_EQ(run_framing({"xdotool", "windowfocus", "--sync", xid}), 0);

    // The arrow above the tens of the frame rate.
    ASSERT_EQ(run_framing(then(at(105, 415), {"click", "1"})), 0);
    EXPECT_EQ(g_fps, 30);
    // The caret on the hundreds of the width (0320), a 5 typed there, then up on the tens.
    ASSERT_EQ(run_framing(then(at(113, 333), {"click", "1"})), 0);
    ASSERT_EQ(run_framing({"xdotool", "type", "--delay", "80", "5"}), 0);
    ASSERT_EQ(run_framing({"xdotool", "key", "--delay", "80", "Up"}), 0);
    EXPECT_EQ(g_width, 530);
    // A letter typed into the third cell of the code, stored as a capital.
    ASSERT_EQ(run_framing(then(at(123, 263), {"click", "1"})), 0);
    ASSERT_EQ(run_framing({"xdotool", "type", "--delay", "80", "q"}), 0);
    EXPECT_STREQ(g_code, "ABQ");
    // The horizontal slider dragged to three quarters, one step of the hand at a time.
    ASSERT_EQ(run_framing(then(at(150, 180), {"mousedown", "1"})), 0);
    ASSERT_EQ(run_framing(at(250, 182)), 0);
    ASSERT_EQ(run_framing({"xdotool", "mouseup", "1"}), 0);
    EXPECT_NEAR(g_level, 7.5f, 0.01f);
    // The scroll bar's track below its thumb pages down by ten.
    ASSERT_EQ(run_framing(then(at(500, 150), {"click", "1"})), 0);
    EXPECT_EQ(g_scroll, 60);

    const std::string shot = testsupport::screenshot_path(tmp / "widgets.png");
    ASSERT_EQ(run_framing({"import", "-window", xid, shot}), 0);
    testsupport::screen_pixels pixels;
    const testsupport::xdo window(server.display(), ::getpid());
    ASSERT_TRUE(pixels.take(window, server.display(), tmp / "widgets_read.png"));
    EXPECT_GT(pixels.dark_pixels(100, 395, 130, 412), 10) << "the frame rate's digits";
    EXPECT_NEAR(g_lon, -12.5f, 1e-4);   // shown every frame, never changed
    EXPECT_NEAR(g_lat, 47.25f, 1e-4);

    frame_hooks.app_update = nullptr;
    cons.cons_nuke(0);
}

}  // namespace
