#pragma once
// Widgets driven the way the program drives them: whole frames of the shell's pump, fed with
// made-up mouse events and a made-up pointer, under a test clock moved one tick per frame, drawn
// into a recorded GL. The body given to frame() runs as the application's frame, or, while a
// framework panel is open, after the pump as a modal panel's own loop runs it.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "../render/recorded_draw.h"
#include "core/frame_clock.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/gl_window.h"
#include "shell/event_pump.h"
#include "ui/help_record.h"
#include "ui/menus.h"

namespace widgettest {

inline std::function<void()>& app_body() {
    static std::function<void()> body;
    return body;
}
inline void run_app_body() {
    if (app_body()) app_body()();
}
inline int& frame_swaps() {
    static int n = 0;
    return n;
}
inline void count_frame_swap() { ++frame_swaps(); }

// One quad as drawn: the texture ref bound (0 for none or a glyph atlas), its corners' extent in
// window pixels, its art in texels of the widget atlas, and the colour call in force.
struct seen_quad {
    int tex = 0;
    double x0, y0, x1, y1, s0, t0, s1, t1;
    std::string colour;
};

inline std::vector<seen_quad> seen_quads(const drawtest::calls& made, unsigned atlas_name) {
    std::vector<seen_quad> out;
    int tex = 0;
    std::string colour;
    for (std::size_t i = 0; i < made.size(); ++i) {
        const std::string& c = made[i];
        if (c.rfind("glBindTexture", 0) == 0) tex = unsigned(drawtest::parse(c).num[1]) == atlas_name ? 359 : 0;
        if (c.rfind("glColor", 0) == 0) colour = c;
        if (c != "glBegin(GL_QUADS)") continue;
        std::vector<drawtest::gl_call> inside;
        for (++i; i < made.size() && made[i] != "glEnd()"; ++i) inside.push_back(drawtest::parse(made[i]));
        const auto cs = drawtest::corners(inside);
        for (std::size_t k = 0; k + 3 < cs.size(); k += 4) {
            seen_quad q{tex, 1e9, 1e9, -1e9, -1e9, 1e9, 1e9, -1e9, -1e9, colour};
            for (std::size_t j = k; j < k + 4; ++j) {
                q.x0 = std::min(q.x0, cs[j].x);
                q.y0 = std::min(q.y0, cs[j].y);
                q.x1 = std::max(q.x1, cs[j].x);
                q.y1 = std::max(q.y1, cs[j].y);
                q.s0 = std::min(q.s0, cs[j].s * 512);
                q.t0 = std::min(q.t0, cs[j].t * 512);
                q.s1 = std::max(q.s1, cs[j].s * 512);
                q.t1 = std::max(q.t1, cs[j].t * 512);
            }
            out.push_back(q);
        }
    }
    return out;
}

// The quads showing atlas art whose lower-left texel is (s0, t0).
inline std::vector<seen_quad> with_art(const std::vector<seen_quad>& qs, double s0, double t0) {
    std::vector<seen_quad> out;
    for (const seen_quad& q : qs)
        if (q.tex == 359 && std::fabs(q.s0 - s0) < 0.01 && std::fabs(q.t0 - t0) < 0.01) out.push_back(q);
    return out;
}
// The quads of text (glyphs from a glyph atlas).
inline std::vector<seen_quad> glyphs(const std::vector<seen_quad>& qs) {
    std::vector<seen_quad> out;
    for (const seen_quad& q : qs)
        if (q.tex == 0) out.push_back(q);
    return out;
}

class WidgetFrames : public drawtest::RecordedText {
protected:
    void SetUp() override {
        // Glyph atlases kept from earlier tests hold names an earlier recorder gave; each test's
        // names start elsewhere, so the widget atlas's name is never one of them.
        static GLuint first_name = 1000;
        rec.next_name = first_name += 1000;
        RecordedText::SetUp();
        platform::test_clock_set(1000000);
        platform::clear_test_input();
        xtim_reset_for_test();
        event_pump_reset_for_test();
        frame_hooks = frame_hooks_t{};
        frame_hooks.app_update = &run_app_body;
        // The frame's own swap is counted apart, so the platform's count shows only flashes.
        frame_hooks.movie_per_frame = &count_frame_swap;
        app_body() = nullptr;
        mbar.open_menu = -1;
        help.help_text.clear();
        wins.panel_id = -1;
        point(700, 500);
        frame([] {});
    }
    void TearDown() override {
        app_body() = nullptr;
        frame_hooks = frame_hooks_t{};
        mbar.open_menu = -1;
        platform::clear_test_input();
        platform::test_clock_release();
        RecordedText::TearDown();
    }

    // One frame, 1/60 s after the last; the body's GL calls are left in rec.
    void frame(std::function<void()> body, uint64_t us = 16667) {
        app_body() = std::move(body);
        platform::test_clock_advance(us);
        rec.take();
        TEX_reset_bind();   // so every frame records the textures it binds
        MACIBM_event_proc();
        // A modal panel skips the application's frame: its own loop draws after each pump.
        if (wins.panel_active) run_app_body();
        quads = seen_quads(rec.calls, gl_name(tex_ref_interface));
    }
    // The pointer at a point of the open panel.
    static void point(float x, float y) {
        platform::set_test_mouse(nullptr, static_cast<int>(x + wins.off_x),
                                 wins.win_px_h - static_cast<int>(y + wins.off_y));
    }
    static void press() { push(platform::ev_mouse_down); }
    static void release() { push(platform::ev_mouse_up); }
    static void push(int kind) {
        platform::input_event e;
        e.kind = kind;
        e.button = 1;
        platform::mouse_position(nullptr, e.x, e.y);   // a press carries where it happened
        platform::push_test_event(e);
    }
    // A frame with a press at (x, y): the body's result in that frame.
    std::vector<seen_quad> quads;   // what the last frame drew

    int click_at(float x, float y, const std::function<int()>& widget) {
        point(x, y);
        press();
        int r = -1;
        frame([&] { r = widget(); });
        release();
        frame([&] { widget(); });
        return r;
    }
};

}  // namespace widgettest
