// Presses that come with a move, as xdotool's "mousemove ... click" sends them (and touch screens
// and remote desktops do): each one toggles the check box it landed on, in a real window under
// Xvfb, on a moved frame clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "platform/clock.h"
#include "platform/gl_window.h"
#include "render/background.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/windows.h"
#include "support/gui_window.h"
#include "support/run_answering.h"
#include "support/screen_pixels.h"
#include "support/xvfb.h"
#include "ui/buttons.h"

namespace {

constexpr float kBoxY = 300;
constexpr float kBoxX[2] = {200, 500};
int g_box[2] = {0, 0};
std::vector<int> g_toggled;   // which box each toggle hit, in order

void draw_boxes() {
    OGL_plot_back_col();
    for (int i = 0; i < 2; ++i)
        if (BTN_bool(kBoxX[i], kBoxY, &g_box[i], i ? "|right" : "|left", 0)) g_toggled.push_back(i);
}

void frame() {
    platform::test_clock_advance(16667);
    MACIBM_event_proc();
}

TEST(PressOnX, EachPressThatCameWithAMoveTogglesTheBoxItLandedOn) {
    drawtest::link_art_resources();
    platform::test_clock_set(1000000);
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_art_window_on(server, 800, 600)) << platform::window_error();
    frame_hooks.app_update = &draw_boxes;
    wins.panel_id = -1;
    for (int i = 0; i < 10; ++i) frame();
    OGL_pix_specs(0);

    const std::string xid = testsupport::program_window(server.display());
    ASSERT_FALSE(xid.empty());
    // Each xdotool run moves and clicks at once, so the move and the press reach the window back
    // to back; the next click waits until the program has shown what this one did.
    std::vector<int> wanted;
    for (const int box : {0, 1, 0, 1, 1, 0, 0, 1, 0, 1}) {
        wanted.push_back(box);
        ASSERT_EQ(testsupport::run_answering({"xdotool", "mousemove", "--window", xid,
                                              std::to_string(static_cast<int>(kBoxX[box])),
                                              std::to_string(static_cast<int>(600 - (kBoxY + 4))), "click", "1"},
                                             nullptr, frame, 0, 3600),
                  0);
        for (int i = 0; i < 600 && g_toggled.size() < wanted.size(); ++i) frame();
        if (g_toggled.size() < wanted.size()) break;
    }
    EXPECT_EQ(g_toggled, wanted);

    frame_hooks.app_update = nullptr;
    cons.cons_nuke(0);
    platform::test_clock_release();
}

}  // namespace
