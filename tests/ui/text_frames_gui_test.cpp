// One real frame under Xvfb (Mesa): a sample screen of text in the six languages, every frame
// style and the primitives, read back and checked by properties: text pixels stay inside the box
// the text was measured to, frame caps show the atlas texels they name, fills cover exactly their
// pixels. The screen is then shown and captured with ImageMagick's import; set
// VENTARO_TEST_SCREENSHOT to a path to keep the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "../../tools/art/atlas_table.h"
#include "../render/recorded_draw.h"
#include "core/memory.h"
#include "files/xmap.h"
#include "platform/gl_window.h"
#include "render/background.h"
#include "render/gl_api.h"
#include "render/interface_art.h"
#include "render/ogl_draw.h"
#include "render/tex_png.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/windows.h"
#include "support/gl_pixels.h"
#include "support/temp_dir.h"
#include "support/gui_window.h"
#include "support/xvfb.h"
#include "ui/frames.h"
#include "ui/labels.h"
#include "ui/tt_font.h"

namespace {

constexpr int kW = 800, kH = 600;

using testsupport::frame_pixels;
using testsupport::rgb;

using testsupport::picture;
picture decode(const std::string& resource) { return testsupport::decode_resource(resource); }

// "I will guide you ..." in each language, from the translation files.
std::vector<std::string> welcome_lines() {
    const std::string key = "I will guide you through the process of installing the web demo of Ventaro 9.";
    std::vector<std::string> out = {key};
    for (const char* lang : {"French", "German", "Russian", "Italian", "Spanish"}) {
        std::ifstream in(std::string(VENTARO_SOURCE_DIR) + "/resources/" + lang + ".txt");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("STRING " + key + "====", 0) == 0) out.push_back(line.substr(7 + key.size() + 4));
    }
    return out;
}

class SampleScreen : public ::testing::Test {
protected:
    void SetUp() override {
        drawtest::link_art_resources();
    }
    testsupport::temp_dir tmp;
};

TEST_F(SampleScreen, TextAndFramesLandWhereTheyWereMeasuredAndShowTheirArt) {
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_art_window_on(server, kW, kH)) << platform::window_error();
    ASSERT_EQ(tman.load_texture(tex_fail_quit, tex_ref_elements, 0x48242, tex_load_now, "RESOURCE:elements_English.png"),
              tex_ref_elements);
    wins.panel_id = -1;
    for (int i = 0; i < 10; ++i) MACIBM_event_proc();
    ASSERT_EQ(wins.panel_id, 0);
    OGL_pix_specs(0);
    ASSERT_EQ(wins.off_x, 0);
    ASSERT_EQ(wins.off_y, 0);
    const picture atlas = decode("interface.png"), elements = decode("elements_English.png");
    ASSERT_EQ(atlas.w, 512);
    ASSERT_EQ(elements.w, 1024);

    // The sample screen.
    OGL_plot_back_col();
    BTN_frame2(16, 12, 16, 360, 560, "Frames", 1);
    float y = 548;
    for (const int style : {0, 1, 2, 3, 4, 5, 7, 8, 9, 10}) {
        BTN_frame1(style, 150, y, 180, 57);
        OGL_number(50, 290, y - 4, static_cast<float>(style), 2, 0, cs_fixed10, sft_plain, just_left);
        y -= 34;
    }
    BTN_frame0(6, 340, 380, 300);
    BTN_frame2(17, 40, 40, 120, 60, "", 1);
    BTN_frame2(18, 200, 40, 130, 60, "Splash", 1);
    BTN_frame2(19, 40, 140, 100, 50, "", 1);
    BTN_frame2(20, 200, 140, 60, 50, "", 1);
    BTN_frame2(21, 290, 140, 40, 50, "", 1);
    BTN_frame2(22, 40, 210, 80, 40, "", 1);
    BTN_frame2(23, 150, 210, 180, 60, "Side panel", 1);
    const std::vector<std::string> lines = welcome_lines();
    ASSERT_EQ(lines.size(), 6u);
    BTN_frame2(15, 395, 420, 395, 170, "", 1);
    float ty = 580;
    for (const std::string& l : lines) ty = OGL_string(50, 400, ty, l, 380, cs_regular, just_left) - 6;
    OGL_string(48, 400, ty, "Bold text, 0123456789", 9999, cs_bold, just_left);
    ty -= 30;
    OGL_gray_string(57, 590, ty, "Grey-backed text");
    ty -= 20;
    BTN_util_draw_label(590, ty, 0, "frame rate of movie", 0);
    BTN_util_draw_label(600, ty, 2, "(frames per second)", 1);
    ty -= 34;
    OGL_boxed_string(600, ty, 120, "Port|(number)", "8080", cs_regular, 50);
    // The bottom-bar buttons are 31 high: a centre on a half unit puts their edges on pixel edges.
    for (const int style : {11, 12, 13}) BTN_frame1(style, 440 + (style - 11) * 120, 60.5f, 100, 57);
    OGL_fillrect(57, 1, 400, 100, 30, 20);
    OGL_framerect(1, 1, 440, 100, 30, 20);
    OGL_line(10, 1, 480, 100, 520, 120);
    OGL_filltri(15, 1, 530, 100, 545, 120, 560, 100);
    OGL_fillcircle(8, 1, 585, 110, 10);
    OGL_framecircle(5, 1, 615, 110, 10);
    OGL_arc(21, 650, 110, 6, 12, -90, 90);
    colr.spectrum_plot_scale(690, 100, 60, 0, 100, 0);
    // Russian as it is set when Russian is the language: condensed.
    mnw.lang = 3;
    TT_reset_font(tt_both);
    OGL_string(52, 400, 380, lines[3], 9999, cs_regular, just_left);
    mnw.lang = 0;
    TT_reset_font(tt_both);

    // The properties, on the back buffer. Text: every pixel it changed lies inside its box.
    const int tx = 420, tyl = 300;
    OGL_fillrect(39, 1, tx - 20, tyl - 20, 200, 50);
    OGL_string(57, tx, tyl, "Hello", 9999, cs_regular, just_left);
    const float hello_w = OGL_measure_string("Hello");
    // The bottom-bar button and a push button at known places, drawn white so texels show as
    // they are.
    OGL_fillrect(39, 1, 620, 260, 160, 80);
    BTN_frame1(2, 680, 300, 100, 57);
    BTN_frame1(11, 700, 270.5f, 100, 57);
    OGL_fillrect(57, 1, 760, 200, 3, 2);
    frame_pixels fb(kW, kH);

    const rgb bg = fb.at(tx - 10, tyl - 10);
    int inked = 0, outside = 0;
    for (int yy = tyl - 20; yy < tyl + 30; ++yy)
        for (int xx = tx - 20; xx < tx + 180; ++xx) {
            if (fb.at(xx, yy) == bg) continue;
            ++inked;
            const bool in_box = xx >= tx - 1 && xx <= tx + hello_w + 1 && yy >= tyl - 1 && yy <= tyl + 10;
            if (!in_box) ++outside;
        }
    EXPECT_GT(inked, 40) << "the text shows";
    EXPECT_EQ(outside, 0);

    // A cap pixel is the atlas texel the art table names (opaque texels only: blending would mix
    // in the background elsewhere).
    auto check_cap = [&](const art::AtlasRect& r, const picture& art, float cx, float cy, float width) {
        const float left = cx - width / 2, bottom = cy - static_cast<float>(r.t1 - r.t0) / 2;
        int checked = 0;
        for (int t = r.t0; t < r.t1; ++t)
            for (int s = r.s0; s < r.s0 + static_cast<int>(r.edge_x); ++s) {
                const unsigned char* texel = art.texel(s, t);
                if (texel[3] != 255) continue;
                const int x = static_cast<int>(left) + (s - r.s0), yy = static_cast<int>(bottom) + (t - r.t0);
                EXPECT_EQ(fb.at(x, yy), (rgb{texel[0], texel[1], texel[2]})) << r.name << " texel " << s << "," << t;
                ++checked;
            }
        EXPECT_GT(checked, 20) << r.name;
    };
    for (const art::AtlasRect& r : art::atlas_rects)
        if (r.style == 2) check_cap(r, atlas, 680, 300, 100);
    for (const art::AtlasRect& r : art::elements_rects)
        if (r.style == 11) check_cap(r, elements, 700, 270.5f, 100);

    // A fill covers exactly its pixels.
    const rgb white{255, 255, 255};
    EXPECT_EQ(fb.at(760, 200), white);
    EXPECT_EQ(fb.at(762, 201), white);
    EXPECT_NE(fb.at(763, 200), white);
    EXPECT_NE(fb.at(760, 202), white);

    // Show it, and capture what the X server shows.
    OGL_sbuff();
    gl.glFinish();
    const std::string shot = testsupport::screenshot_path(tmp / "screen.png");
    EXPECT_EQ(testsupport::run_with_display(server.display(), {"import", "-window", "root", shot}), 0);
    EXPECT_TRUE(testsupport::exists(shot));

    cons.cons_nuke(0);
}

}  // namespace
