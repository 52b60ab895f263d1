// The start-up splash in a real window under Xvfb: the progress bar's fill reaches as far as the
// fraction says, read back from the shown frame. Set VENTARO_TEST_SCREENSHOT to a path to keep a
// picture of it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/app_globals.h"
#include "platform/gl_window.h"
#include "render/gl_api.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/startup.h"
#include "shell/windows.h"
#include "support/gl_pixels.h"
#include "support/gui_window.h"
#include "support/screen_pixels.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "render/panel_record.h"

namespace {

using testsupport::rgb;

int distance(const rgb& a, const rgb& b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

// Where the fill ends: the first column, from the bar's left end, whose colour is nearer the
// empty trough's than the fill's.
int fill_end(const std::vector<rgb>& row) {
    const rgb fill = row[12], trough = row[780];
    for (int x = 12; x < 790; ++x)
        if (distance(row[static_cast<std::size_t>(x)], trough) < distance(row[static_cast<std::size_t>(x)], fill)) return x;
    return 790;
}

TEST(SplashOnX, TheBarIsFilledAsFarAsTheFractionSays) {
    drawtest::link_art_resources();
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_art_window_on(server, 800, 600)) << platform::window_error();
    wins.panel_id = -1;
    for (int i = 0; i < 10; ++i) MACIBM_event_proc();   // the window is mapped and shown
    OGL_pix_specs(0);
    plot_init_lights = 1;

    const std::string xid = testsupport::program_window(server.display());
    ASSERT_FALSE(xid.empty());
    for (const float fraction : {0.25f, 0.75f}) {
        SCOPED_TRACE(fraction);
        MACIBM_show_init("Loading bitmap RESOURCE:background.png.", fraction);
        gl.glFinish();
        const std::vector<rgb> row = testsupport::shown_row(server.display(), xid, 600 - 15, 800);
        ASSERT_EQ(row.size(), 800u);
        EXPECT_GT(distance(row[12], row[780]), 30) << row[12] << " against " << row[780];
        // The bar runs from 8 to 792; its fill from 8 over the fraction of 784.
        EXPECT_NEAR(fill_end(row), 8 + fraction * 784, 3);
    }

    testsupport::temp_dir tmp;
    const std::string shot = testsupport::screenshot_path(tmp / "splash.png");
    EXPECT_EQ(testsupport::run_with_display(server.display(), {"import", "-window", "root", shot}), 0);
    plot_init_lights = 0;
    cons.cons_nuke(0);
}

}  // namespace
