// The key-assignment panel in a real window under Xvfb, a binding selected: its row shows lit
// where the others do not. Set VENTARO_TEST_SCREENSHOT to a path to keep a picture of the panel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/command_registry.h"
#include "platform/gl_window.h"
#include "render/background.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/keys.h"
#include "shell/windows.h"
#include "support/gui_window.h"
#include "support/screen_pixels.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"

namespace {

using testsupport::rgb;

void draw_panel() {
    OGL_plot_back_col();
    keys.keys_wind(0);
}

int distance(const rgb& a, const rgb& b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

TEST(KeysWindOnX, TheSelectedBindingsRowShowsLit) {
    drawtest::link_art_resources();
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_art_window_on(server, 1024, 768)) << platform::window_error();
    keys.keys_io(0);
    const int chosen = cmnd.get_cmnd_by_name("sim/general/left");
    for (std::size_t r = 0; r < keys.bindings.size(); ++r)
        if (keys.bindings[r].cmnd == chosen) key_edit = static_cast<int>(r);
    ASSERT_GE(key_edit, 1);
    frame_hooks.app_update = &draw_panel;
    wins.panel_id = -1;
    for (int i = 0; i < 10; ++i) MACIBM_event_proc();
    OGL_pix_specs(0);
    MACIBM_event_proc();

    const std::string xid = testsupport::program_window(server.display());
    ASSERT_FALSE(xid.empty());
    // Rows are 20 apart from y 689 down; their buttons span x 18..138. Compare a point on the lit
    // row's button with the same point on the row above it.
    const auto row_at = [&](int r) {
        const int y = 689 - 20 * r;
        return testsupport::shown_row(server.display(), xid, 768 - y, 160);
    };
    const std::vector<rgb> lit = row_at(key_edit), plain = row_at(key_edit - 1);
    ASSERT_EQ(lit.size(), 160u);
    ASSERT_EQ(plain.size(), 160u);
    EXPECT_GT(distance(lit[30], plain[30]), 30) << lit[30] << " against " << plain[30];

    testsupport::temp_dir tmp;
    const std::string shot = testsupport::screenshot_path(tmp / "keys.png");
    EXPECT_EQ(testsupport::run_with_display(server.display(), {"import", "-window", "root", shot}), 0);

    frame_hooks.app_update = nullptr;
    key_edit = -1;
    cons.cons_nuke(0);
}

}  // namespace
