// The two engine questions and the Preferences panel in a real window under Xvfb (Mesa): each
// panel is drawn centred over the window's background with its texts where they belong, a press
// answers it, and a picture of each is taken with ImageMagick's import. Set
// VENTARO_TEST_SCREENSHOT_DIR to a folder to keep the pictures (questions_996.png, ...).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/mouse_record.h"
#include "files/http.h"
#include "install/install_state.h"
#include "install/prompts.h"
#include "platform/events.h"
#include "platform/gl_window.h"
#include "render/gl_api.h"
#include "render/interface_art.h"
#include "render/ogl_extensions.h"
#include "render/view.h"
#include "shell/event_pump.h"
#include "shell/windows.h"
#include "support/gl_pixels.h"
#include "support/temp_dir.h"
#include "support/gui_window.h"
#include "support/xvfb.h"
#include "wizard/prefs_panel.h"
#include "wizard/question_panels.h"

namespace {

using testsupport::frame_pixels;
using testsupport::rgb;

constexpr int kW = 800, kH = 600;

// A box of the panel (panel units, y up) where something must be drawn.
struct ink_box {
    const char* what;
    float x0, y0, x1, y1;
};

struct panel_case {
    const char* file;     // picture name
    int panel;
    float off_x, off_y, w, h;
    std::function<void()> run;
    std::vector<ink_box> inked;
    float empty_x, empty_y;   // a spot of the panel where nothing is drawn
    float answer_x, answer_y; // the press that closes it
};

struct shown {
    int frames = 0;
    const panel_case* c = nullptr;
    std::string shot;
    std::string display;
    std::vector<std::string> faults;
};
shown g_shown;

// At the end of each frame: the second frame of a panel is checked and photographed, then
// answered; every frame is shown.
void on_frame() {
    shown& s = g_shown;
    ++s.frames;
    const panel_case& c = *s.c;
    if (s.frames == 2) {
        frame_pixels fb(kW, kH);
        const rgb back = fb.at(3, 3);   // the window's background, outside every panel
        const rgb inside = fb.at(static_cast<int>(c.off_x + c.empty_x), static_cast<int>(c.off_y + c.empty_y));
        if (inside == back) s.faults.push_back("the panel does not cover the window's background");
        if (wins.panel_id != c.panel) s.faults.push_back("panel " + std::to_string(wins.panel_id) + " is open");
        for (const ink_box& b : c.inked) {
            int ink = 0;
            for (int y = static_cast<int>(c.off_y + b.y0); y <= static_cast<int>(c.off_y + b.y1); ++y)
                for (int x = static_cast<int>(c.off_x + b.x0); x <= static_cast<int>(c.off_x + b.x1); ++x)
                    if (!(fb.at(x, y) == inside)) ++ink;
            if (ink < 20) s.faults.push_back(std::string("nothing drawn for ") + b.what);
        }
        OGL_sbuff();
        gl.glFinish();
        if (testsupport::run_with_display(s.display, {"import", "-window", "root", s.shot}) != 0)
            s.faults.push_back("no picture taken");
        platform::set_test_mouse(nullptr, static_cast<int>(c.off_x + c.answer_x),
                                 kH - static_cast<int>(c.off_y + c.answer_y));
        platform::input_event e;
        e.kind = platform::ev_mouse_down;
        e.button = 1;
        platform::mouse_position(nullptr, e.x, e.y);
        platform::push_test_event(e);
        return;
    }
    if (s.frames == 3) {
        platform::input_event e;
        e.kind = platform::ev_mouse_up;
        e.button = 1;
        platform::push_test_event(e);
    }
    if (s.frames > 50) wins.start_win(0);
    OGL_sbuff();
}

class Panels : public ::testing::Test {
protected:
    void SetUp() override {
        drawtest::link_art_resources();
        offer_question_panels();
    }
    testsupport::temp_dir tmp;
};

TEST_F(Panels, EachPanelShowsCentredWithItsTextsAndAPressAnswersIt) {
    testsupport::xvfb server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(testsupport::open_art_window_on(server, kW, kH)) << platform::window_error();
    ogl_inited = 1;
    wins.panel_id = -1;
    for (int i = 0; i < 3; ++i) MACIBM_event_proc();
    ASSERT_EQ(wins.panel_id, 0);
    OGL_pix_specs(0);
    frame_hooks.movie_per_frame = &on_frame;

    int answer = -1;
    stg_set_initial();
    http.proxy_host = "proxy.example.test";
    http.proxy_port = "8080";
    const std::string path = "/Users/pilot/Desktop/Ventaro 9 Demo/Resources/plugins/PluginAdmin/readme.txt";
    const std::string question =
        "Are you sure you want to cancel the installation? This will delete the partially installed copy of the "
        "Ventaro 9 demo.";
    const panel_case cases[] = {
        {"questions_996.png", 996, 25, 227, 750, 146, [&] { answer = select_alert(path, 0); },
         {{"the first line", 20, 100, 200, 108}, {"the path", 20, 90, 400, 98}, {"the second line", 20, 80, 300, 88},
          {"the keep button", 60, 22, 130, 34}, {"the cancel button", 520, 22, 650, 34}},
         700, 100, 96, 28},
        {"questions_996_delete.png", 996, 25, 227, 750, 146, [&] { answer = select_alert(path, 1); },
         {{"the first line", 20, 100, 150, 108}, {"the second line", 20, 80, 400, 88}}, 700, 100, 584, 28},
        {"questions_997.png", 997, 50, 197, 700, 206,
         [&] {
             answer = abort_alert(question, "Cancel", "the demo installation and delete partial installation.",
                                  "Continue", "the demo installation process.");
         },
         {{"the question", 20, 160, 500, 168},
          {"the first text", 150, 53, 400, 61},
          {"the second text", 150, 28, 300, 36},
          {"the first button", 76, 50, 116, 62}},
         650, 100, 96, 31},
        {"prefs_2.png", 2, 50, 110, 700, 380, [&] { handle_prefs(); },
         {{"the platform popup", 225, 300, 275, 308},
          {"the log box's text", 155, 248, 400, 262},
          {"the proxy host", 86, 38, 180, 47},
          {"the proxy port", 86, 18, 110, 27}},
         600, 200, 690, 370},
    };
    const int answers[] = {2, 3, 0, -1};
    const char* keep = std::getenv("VENTARO_TEST_SCREENSHOT_DIR");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const panel_case& c = cases[i];
        SCOPED_TRACE(c.file);
        g_shown = shown{};
        g_shown.c = &c;
        g_shown.display = server.display();
        g_shown.shot = (keep && *keep ? std::string(keep) : tmp.path()) + "/" + c.file;
        answer = -1;
        c.run();
        EXPECT_EQ(g_shown.faults, std::vector<std::string>{});
        EXPECT_EQ(answer, answers[i]);
        EXPECT_EQ(g_shown.frames, 3);
        EXPECT_EQ(wins.panel_id, 0);
        EXPECT_TRUE(testsupport::exists(g_shown.shot));
    }

    frame_hooks.movie_per_frame = nullptr;
    ogl_inited = 0;
    http.proxy_host.clear();
    http.proxy_port.clear();
    cons.cons_nuke(0);
}

}  // namespace
