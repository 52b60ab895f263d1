// A popup list in a real window under Xvfb (Mesa), opened by a made-up press through the frame
// pump on the application screen and in a centred panel: read back and checked by properties.
// Every pixel the item texts ink lies inside the popup's box and each row holds its own text; the
// row under the pointer is lit and no other; a press on it chooses it.
// The screen is then shown and captured with ImageMagick's import; set VENTARO_TEST_SCREENSHOT
// to a path to keep the picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "../render/recorded_draw.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/gl_window.h"
#include "render/background.h"
#include "render/gl_api.h"
#include "render/interface_art.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/windows.h"
#include "support/temp_dir.h"
#include "support/gui_window.h"
#include "support/xvfb.h"
#include "ui/frames.h"
#include "ui/menus.h"

namespace {

constexpr int kW = 800, kH = 600;

struct rgb {
    int r, g, b;
    bool operator==(const rgb&) const = default;
};

class frame_pixels {
public:
    frame_pixels() : px_(static_cast<std::size_t>(kW) * kH * 4) {
        gl.glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, px_.data());
    }
    rgb at(int x, int y) const {
        const unsigned char* p = &px_[(static_cast<std::size_t>(y) * kW + static_cast<std::size_t>(x)) * 4];
        return {p[0], p[1], p[2]};
    }

private:
    std::vector<unsigned char> px_;
};

int g_index = 1;
void speed_screen() {
    OGL_plot_back_col();
    BTN_textlist(400, 300, &g_index, "Slow|Cruise|Fast|Very fast|Flank", "Speed|(knots)", '|');
}

TEST(PopupOnScreen, ItemTextsStayInsideTheBoxAndThePointedRowIsLit) {
    drawtest::link_art_resources();
    testsupport::temp_dir tmp;
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_art_window_on(server, kW, kH)) << platform::window_error();
    mbar.mbar_nuke_menus(1);

    platform::test_clock_set(1000000);
    platform::clear_test_input();
    frame_hooks.app_update = &speed_screen;
    wins.panel_id = -1;
    platform::set_test_mouse(nullptr, 700, 100);
    for (int i = 0; i < 3; ++i) MACIBM_event_proc();
    ASSERT_EQ(wins.panel_id, 0);

    // On the application screen, then in the preferences' panel, whose modal loop draws its
    // widgets before each pass of the pump.
    for (const int panel : {0, 2}) {
        SCOPED_TRACE(panel);
        OGL_pix_specs(0);
        wins.start_win(panel);
        g_index = 1;
        const auto pump = [&] {
            if (wins.panel_active) speed_screen();
            platform::test_clock_advance(16667);
            MACIBM_event_proc();
        };
        const int ox = static_cast<int>(wins.off_x), oy = static_cast<int>(wins.off_y);
        pump();
        // Press on the widget's text line (window pixels, y down).
        platform::set_test_mouse(nullptr, ox + 405, kH - (oy + 303));
        platform::input_event down;
        down.kind = platform::ev_mouse_down;
        platform::mouse_position(nullptr, down.x, down.y);
        platform::push_test_event(down);
        pump();
        if (wins.panel_active) speed_screen();
        ASSERT_EQ(mbar.open_menu, mbar_class::popup_slot);
        const mbar_class::menu_struct& list = mbar.menus[mbar_class::popup_slot];
        ASSERT_EQ(list.items.size(), 5u);

        // The texts' ink: the screen with the whole popup against the same screen with its box
        // alone. The pointer rests away from the list, so no row is lit.
        mnw.mouse_x = 600;
        mnw.mouse_y = 50;
        const float left = list.left, right = list.right;
        const float bottom = list.items.back().bottom - 2, top = list.items.front().top + 2;
        speed_screen();
        mbar.mbar_draw_menus();
        const frame_pixels whole;
        speed_screen();
        BTN_frame2(20, left, bottom, right - left, top - bottom, "", 1);
        const frame_pixels box_only;

        std::vector<int> ink_per_row(list.items.size(), 0);
        int outside = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                if (whole.at(x, y) == box_only.at(x, y)) continue;
                const int px = x - ox, py = y - oy;
                if (px < left || px > right || py < bottom || py > top) {
                    ++outside;
                    continue;
                }
                for (std::size_t k = 0; k < list.items.size(); ++k)
                    if (py >= list.items[k].bottom && py < list.items[k].top) ++ink_per_row[k];
            }
        EXPECT_EQ(outside, 0) << "text ink outside the popup box";
        for (std::size_t k = 0; k < list.items.size(); ++k)
            EXPECT_GT(ink_per_row[k], 15) << list.items[k].text << " shows in its own row";

        // The row under the pointer is lit: its blank right end changes, the other rows' do not.
        const mbar_class::item_struct& fast = list.items[2];
        const int probe_x = static_cast<int>(right) - 3;
        mnw.mouse_x = static_cast<float>(probe_x);
        mnw.mouse_y = fast.bottom + 5.0f;
        speed_screen();
        mbar.mbar_draw_menus();
        const frame_pixels lit;
        for (std::size_t k = 0; k < list.items.size(); ++k) {
            const int y = oy + list.items[k].bottom + 5;
            if (k == 2) EXPECT_NE(lit.at(ox + probe_x, y), whole.at(ox + probe_x, y)) << "the pointed row";
            else EXPECT_EQ(lit.at(ox + probe_x, y), whole.at(ox + probe_x, y)) << list.items[k].text;
        }
        if (panel == 2) break;   // photographed open

        // A press on Fast chooses it.
        platform::set_test_mouse(nullptr, ox + probe_x, kH - (oy + fast.bottom + 5));
        platform::mouse_position(nullptr, down.x, down.y);
        platform::push_test_event(down);
        pump();
        EXPECT_EQ(g_index, 2);
        EXPECT_EQ(mbar.open_menu, -1);
    }

    // Show it, and capture what the X server shows.
    OGL_sbuff();
    gl.glFinish();
    const std::string shot = testsupport::screenshot_path(tmp / "screen.png");
    EXPECT_EQ(testsupport::run_with_display(server.display(), {"import", "-window", "root", shot}), 0);
    EXPECT_TRUE(testsupport::exists(shot));

    platform::clear_test_input();
    platform::test_clock_release();
    cons.cons_nuke(0);
}

}  // namespace
