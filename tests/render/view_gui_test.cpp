// One frame in the real window under Xvfb: the full-window view maps interface units 1:1 to
// pixels with y up from the bottom, scissors clip to the rectangle they are given, and the
// frame's swap shows it on the screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "platform/gl_window.h"   // window_error
#include "render/gl_api.h"
#include "render/matrix.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/windows.h"
#include "support/gl_pixels.h"
#include "support/gui_window.h"
#include "support/xvfb.h"
#include "render/panel_record.h"

namespace {

constexpr int kW = 320, kH = 200;

using testsupport::read_back;
using testsupport::rgb;

constexpr rgb kBlack{0, 0, 0}, kRed{255, 0, 0}, kBlue{0, 0, 255};

// One pixel of what the X server shows in the window, row counted from the top like the screen.
rgb on_screen(const std::string& display, const std::string& xid, int x, int row) {
    std::string text;
    const std::string crop = "1x1+" + std::to_string(x) + "+" + std::to_string(row);
    if (testsupport::run_with_display(display, {"import", "-window", xid, "-crop", crop, "+repage",
                                                "-depth", "8", "txt:-"},
                                      &text) != 0)
        return {-1, -1, -1};
    std::smatch m;
    if (!std::regex_search(text, m, std::regex("#([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})([0-9A-Fa-f]{2})"))) return {-2, -2, -2};
    return {std::stoi(m[1], nullptr, 16), std::stoi(m[2], nullptr, 16), std::stoi(m[3], nullptr, 16)};
}

// One unit of interface space filled, drawn the way the primitives draw a rectangle.
void fill_unit(float x, float y) {
    const float ox = wins.off_x, oy = wins.off_y;
    gl.glBegin(GL_QUADS);
    gl.glVertex2f(x + ox, y + oy);
    gl.glVertex2f(x + ox, y + oy + 1);
    gl.glVertex2f(x + ox + 1, y + oy + 1);
    gl.glVertex2f(x + ox + 1, y + oy);
    gl.glEnd();
}

TEST(ViewOnX, InterfaceUnitsArePixelsFromTheBottomLeft) {
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_window_on(server, kW, kH)) << platform::window_error();
    wins.panel_id = -1;
    for (int i = 0; i < 10; ++i) MACIBM_event_proc();   // mapped, panel 0 open
    ASSERT_EQ(wins.panel_id, 0);

    OGL_pix_specs(0);
    EXPECT_EQ(wins.scale, 1.0f);
    EXPECT_EQ(wins.ui_off_x, 0);

    // What OpenGL itself now holds: the 1:1 box, an identity modelview, the modelview mode.
    float projection[16], modelview[16], want[16];
    GLint viewport[4] = {}, mode = 0;
    gl.glGetFloatv(GL_PROJECTION_MATRIX, projection);
    gl.glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    gl.glGetIntegerv(GL_VIEWPORT, viewport);
    gl.glGetIntegerv(GL_MATRIX_MODE, &mode);
    buildOrthoMatrixf(want, 0, kW, 0, kH, -1, 1);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(projection[i], want[i], 1e-6f) << i;
        EXPECT_EQ(modelview[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
    }
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, kW, kH}));
    EXPECT_EQ(mode, GL_MODELVIEW);

    // The frame: black, a scissored blue band, and one red unit near the bottom-left corner.
    gl.glClearColor(0, 0, 0, 1);
    gl.glClear(GL_COLOR_BUFFER_BIT);
    OGL_scissors(100, 50, 30, 8);
    gl.glClearColor(0, 0, 1, 1);
    gl.glClear(GL_COLOR_BUFFER_BIT);
    OGL_scissors_end();
    gl.glColor3f(1, 0, 0);
    fill_unit(12, 7);
    // The same unit in a panel moved by (40, 60) lands 40 right and 60 up.
    wins.off_x = 40;
    wins.off_y = 60;
    fill_unit(12, 7);
    wins.off_x = wins.off_y = 0;

    EXPECT_EQ(read_back(12, 7), kRed);
    EXPECT_EQ(read_back(52, 67), kRed);
    EXPECT_EQ(read_back(12, kH - 1 - 7), kBlack);   // not mirrored
    EXPECT_EQ(read_back(13, 7), kBlack);
    EXPECT_EQ(read_back(12, 8), kBlack);
    EXPECT_EQ(read_back(100, 50), kBlue);
    EXPECT_EQ(read_back(129, 57), kBlue);
    EXPECT_EQ(read_back(99, 50), kBlack);
    EXPECT_EQ(read_back(130, 57), kBlack);
    EXPECT_EQ(read_back(100, 58), kBlack);

    // After the frame's swap the screen shows it, y counted from the top there.
    OGL_sbuff();
    gl.glFinish();
    // The X window by its title (import given no valid window waits for a click).
    std::string id;
    ASSERT_EQ(testsupport::run_with_display(server.display(), {"xdotool", "search", "--name", "Ventaro Installer"}, &id),
              0);
    id = id.substr(0, id.find('\n'));
    ASSERT_FALSE(id.empty());
    EXPECT_EQ(on_screen(server.display(), id, 12, kH - 1 - 7), kRed);
    EXPECT_EQ(on_screen(server.display(), id, 52, kH - 1 - 67), kRed);
    EXPECT_EQ(on_screen(server.display(), id, 115, kH - 1 - 54), kBlue);
    EXPECT_EQ(on_screen(server.display(), id, 12, 7), kBlack);

    // The display stays open, as in the program: closing it unloads the GL driver, whose
    // never-freed context memory could then no longer be traced to it.
    cons.cons_nuke(0);
}

}  // namespace
