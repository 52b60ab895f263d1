#include <cstdio>
#include <string>

#include "platform/events.h"
#include "platform/test_switches.h"
#include "render/ogl_draw.h"
#include "render/view.h"
#include "render/panel_record.h"
#include "ui/tt_font.h"

#include "builder/progress_strip.h"

void draw_progress_strip(const std::string& line1, const std::string& line2) {
    // No frame runs while the builder works: the strip sets up its own view.
    wins.start_win(0);
    OGL_fillrect(0, 1.0f, 0, 0, 1024, 30);
    OGL_string(12, 10, 17, line1, 9999, cs_regular, just_left);
    OGL_string(12, 10, 7, line2, 9999, cs_regular, just_left);
    OGL_sbuff();
    if (platform::test_switches_now().screen_log) {
        std::printf("builder: %s\n", line1.c_str());
        std::fflush(stdout);
    }
}

int builder_quit_key_hit() {
    platform::input_event e;
    const bool wait = platform::test_switches_now().builder_key_wait;
    while (true) {
        const bool got = platform::next_event(e, wait ? 100 : 0);
        const bool key = got && (e.kind == platform::ev_key_down || e.kind == platform::ev_key_repeat);
        if (key || !wait) return key && e.ch == 'q' ? 1 : 0;
    }
}
