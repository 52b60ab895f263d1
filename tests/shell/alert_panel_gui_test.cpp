// The alert panel in a real window under Xvfb (Mesa), read back from the frame it showed and
// checked by properties: each line's text lies inside the alert's box, centred where it was
// measured; the button's caps show the push-button texels of the widget atlas; the panel stands
// centred in the window. The screen is captured with ImageMagick's import; set
// VENTARO_TEST_SCREENSHOT to a path to keep the picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "../../tools/art/atlas_table.h"
#include "../render/recorded_draw.h"
#include "core/alert.h"
#include "core/memory.h"
#include "files/xmap.h"
#include "platform/events.h"
#include "platform/gl_window.h"
#include "render/gl_api.h"
#include "render/interface_art.h"
#include "render/tex_png.h"
#include "render/view.h"
#include "shell/alert_panel.h"
#include "shell/event_pump.h"
#include "shell/windows.h"
#include "support/temp_dir.h"
#include "support/gl_pixels.h"
#include "support/gui_window.h"
#include "support/xvfb.h"
#include "render/panel_record.h"
#include "ui/tt_font.h"

namespace {

constexpr int kW = 800, kH = 600;

struct rgb {
    int r, g, b;
    bool operator==(const rgb&) const = default;
    int distance(const rgb& o) const { return std::abs(r - o.r) + std::abs(g - o.g) + std::abs(b - o.b); }
};
std::ostream& operator<<(std::ostream& os, const rgb& c) { return os << c.r << "," << c.g << "," << c.b; }

// The frame the panel drew, read from the back buffer just before its swap.
std::vector<unsigned char> g_shown;
std::string g_shot;
std::string g_display;

void capture_then_swap() {
    if (g_shown.empty()) {
        g_shown.resize(static_cast<std::size_t>(kW) * kH * 4);
        gl.glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, g_shown.data());
        OGL_sbuff();
        gl.glFinish();
        testsupport::run_with_display(g_display, {"import", "-window", "root", g_shot});
        return;
    }
    OGL_sbuff();
}

rgb pixel(int x, int y) {
    const unsigned char* p = &g_shown[(static_cast<std::size_t>(y) * kW + static_cast<std::size_t>(x)) * 4];
    return {p[0], p[1], p[2]};
}

using testsupport::picture;
picture decode(const std::string& resource) { return testsupport::decode_resource(resource); }

TEST(AlertPanelOnScreen, ShowsItsLinesInsideTheBoxAndARealButton) {
    drawtest::link_art_resources();
    testsupport::temp_dir tmp;
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    g_display = server.display();
    g_shot = testsupport::screenshot_path(tmp / "alert.png");
    ASSERT_TRUE(testsupport::open_art_window_on(server, kW, kH)) << platform::window_error();
    OGL_pix_specs(0);
    wins.panel_id = -1;
    for (int i = 0; i < 10; ++i) MACIBM_event_proc();
    ASSERT_EQ(wins.panel_id, 0);
    const picture atlas = decode("interface.png");
    ASSERT_EQ(atlas.w, 512);

    // The panel's first frame is read back; Return then closes it.
    frame_hooks.movie_per_frame = &capture_then_swap;
    platform::input_event ret;
    ret.kind = platform::ev_key_down;
    ret.key_code = 36;
    ret.ch = ret.lower = ret.upper = 13;
    platform::push_test_event(ret);
    const std::string lines[4] = {"The installer could not reach the server.", "Check the network connection,",
                                  "then try again.", ""};
    MACIBM_alert_panel(0, lines[0], lines[1], lines[2], lines[3], t_warn, "");
    frame_hooks.movie_per_frame = nullptr;
    EXPECT_EQ(wins.panel_id, 0);
    ASSERT_FALSE(g_shown.empty());

    // Panel 994, 420 x 260, centred in the 800 x 600 window; its inner box from (10, 35) to 10 in
    // from the right and 28 below the top.
    const int ox = 190, oy = 170;
    const int box_x0 = ox + 10, box_x1 = ox + 410, box_y0 = oy + 35, box_y1 = oy + 232;

    // Text: in a band around each line's baseline, the pixels that differ from the box's own
    // colour in that row lie in the line's measured span, centred on the panel, inside the box.
    const int baselines[3] = {215, 175, 135};
    for (int i = 0; i < 3; ++i) {
        const int base = oy + baselines[i];
        const float w = OGL_measure_string(lines[i]);
        int inked = 0, stray = 0, outside_box = 0;
        for (int y = base - 4; y <= base + 11; ++y) {
            const rgb plain = pixel(box_x0 + 30, y);
            for (int x = box_x0 + 20; x < box_x1 - 20; ++x) {
                if (pixel(x, y).distance(plain) < 40) continue;
                ++inked;
                if (std::fabs(x - (ox + 210)) > w / 2 + 2) ++stray;
                if (x < box_x0 || x > box_x1 || y < box_y0 || y > box_y1) ++outside_box;
            }
        }
        EXPECT_GT(inked, 50) << lines[i];
        EXPECT_EQ(stray, 0) << lines[i];
        EXPECT_EQ(outside_box, 0) << lines[i];
    }
    // Nothing is written below the lines, down to the button (the fourth line is empty).
    {
        const rgb plain = pixel(box_x0 + 30, oy + 80);
        int inked = 0;
        for (int y = oy + 40; y <= oy + 110; ++y)
            for (int x = box_x0 + 20; x < box_x1 - 20; ++x)
                if (pixel(x, y).distance(plain) >= 40) ++inked;
        EXPECT_EQ(inked, 0);
    }

    // The button "Understood" centred at (210, 18): its left cap shows the push-button texels.
    const float bw = OGL_measure_string("Understood") + 21;
    const int half = static_cast<int>(std::lround(bw / 2));
    const int left = ox + 210 - half, bottom = oy + 18 - 13;
    int checked = 0;
    for (const art::AtlasRect& r : art::atlas_rects) {
        if (r.style != 2) continue;
        for (int t = r.t0; t < r.t1; ++t)
            for (int s = r.s0; s < r.s0 + 8; ++s) {
                const unsigned char* texel = atlas.texel(s, t);
                if (texel[3] != 255) continue;
                EXPECT_EQ(pixel(left + (s - r.s0), bottom + (t - r.t0)), (rgb{texel[0], texel[1], texel[2]}))
                    << "push-button texel " << s << "," << t;
                ++checked;
            }
    }
    EXPECT_GT(checked, 40);
    // Its label is drawn on it: ink in the middle of the bar.
    int label_ink = 0;
    const rgb bar_plain = pixel(left + half - 3, oy + 18 + 9);
    for (int y = oy + 18 - 4; y <= oy + 18 + 6; ++y)
        for (int x = left + 12; x < left + 2 * half - 12; ++x)
            if (pixel(x, y).distance(bar_plain) >= 60) ++label_ink;
    EXPECT_GT(label_ink, 30);

    EXPECT_TRUE(testsupport::exists(g_shot));
    cons.cons_nuke(0);
}

TEST(AlertPanelOnScreen, ALongPathWrapsIntoItsOwnParagraphAndThePanelGrowsToHoldIt) {
    drawtest::link_art_resources();
    testsupport::temp_dir tmp;
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    g_display = server.display();
    g_shot = testsupport::screenshot_path(tmp / "long alert.png");
    g_shown.clear();
    ASSERT_TRUE(testsupport::open_art_window_on(server, kW, kH)) << platform::window_error();
    OGL_pix_specs(0);
    wins.panel_id = -1;
    for (int i = 0; i < 10; ++i) MACIBM_event_proc();

    std::string deep = "/home/someone/Desktop";
    for (int i = 0; i < 24; ++i) deep += "/folder number " + std::to_string(i);
    deep += "/Ventaro 9 Demo";
    const std::string lines[4] = {"I could not delete the partially installed copy at", deep,
                                  "Error: the folder is in use.", "Close what uses it and try again."};
    frame_hooks.movie_per_frame = &capture_then_swap;
    platform::input_event ret;
    ret.kind = platform::ev_key_down;
    ret.key_code = 36;
    ret.ch = ret.lower = ret.upper = 13;
    platform::push_test_event(ret);
    MACIBM_alert_panel(0, lines[0], lines[1], lines[2], lines[3], t_warn, "");
    frame_hooks.movie_per_frame = nullptr;
    ASSERT_FALSE(g_shown.empty());

    // Rows with ink across the middle of the panel, from the bottom: the four paragraphs are four
    // groups of rows with a clear gap between each two, all above the button.
    // Each row is compared with its own colour just inside the panel's left edge (x 203).
    int groups = 0, gap = 100;
    for (int y = 0; y < kH; ++y) {
        const rgb plain = pixel(203, y);
        bool inked = false;
        for (int x = 215; x < 585 && !inked; ++x) inked = pixel(x, y).distance(plain) >= 60;
        if (inked && gap >= 6) ++groups;
        gap = inked ? 0 : gap + 1;
    }
    // The button, the four paragraphs, the title bar: at least six groups; a paragraph printed
    // over the next would merge two of them.
    EXPECT_GE(groups, 6);
    EXPECT_GT(OGL_count_lines(deep, 420 * 0.9f, cs_regular), 5) << "the path should wrap far";
    EXPECT_TRUE(testsupport::exists(g_shot));
    cons.cons_nuke(0);
}

}  // namespace
