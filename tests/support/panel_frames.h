#pragma once
// Driving a modal panel's own frame loop from a test: a recorded GL with the fonts and art, the
// event pump fed by made-up events, and a hook at the end of every frame that keeps the frame's
// GL calls, runs the test's script for that frame and moves the frame clock on by one tick.
//
//   script = [&](int frame) { if (frame == 1) press(off_x, off_y, 96, 28); };
//   EXPECT_EQ(select_alert("/dest/a", 0), 2);
//
// A press made in frame n's script is read by frame n + 1's pump and seen by the widgets that
// frame n + 2 draws. A panel still open after 200 frames is closed, so a loop that never ends
// fails instead of hanging.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <string>

#include "../render/recorded_draw.h"
#include "core/app_globals.h"
#include "core/log.h"
#include "core/mouse_record.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "shell/event_pump.h"
#include "shell/keys.h"
#include "support/temp_dir.h"
#include "ui/focus.h"
#include "ui/labels.h"
#include "ui/menus.h"
#include "render/panel_record.h"
#include "ui/text_fields.h"

namespace testsupport {

class PanelFrames : public drawtest::RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        ASSERT_TRUE(xer.open(tmp / "log.txt"));
        platform::test_clock_set(1000000);
        platform::clear_test_input();
        event_pump_reset_for_test();
        saved_hooks_ = frame_hooks;
        frame_hooks.movie_per_frame = &on_frame;
        current() = this;
        ogl_inited = 1;
        mbar = mbar_class{};
        mbar.mbar_nuke_menus(1);
        keys = keys_class();
        focus_ring.clear();
        focus_id = wind_focus = 0;
        BTN_text_fields_reset_for_test();
        wins.start_win(0);
        return_hit = escape_hit = 0;
    }
    void TearDown() override {
        frame_hooks = saved_hooks_;
        current() = nullptr;
        ogl_inited = 0;
        BTN_text_fields_reset_for_test();
        wins.start_win(0);
        platform::clear_test_input();
        platform::test_clock_release();
        xer.close();
        RecordedText::TearDown();
    }

    // A press at a point of the panel whose origin lies at (off_x, off_y) of the 800 x 600 window.
    static void press(float off_x, float off_y, float x, float y) {
        platform::set_test_mouse(nullptr, static_cast<int>(off_x + x), 600 - static_cast<int>(off_y + y));
        platform::input_event e;
        e.kind = platform::ev_mouse_down;
        e.button = 1;
        platform::mouse_position(nullptr, e.x, e.y);   // a press carries where it happened
        platform::push_test_event(e);
        e.kind = platform::ev_mouse_up;
        release_next_ = e;
    }
    static void key(int code, uint32_t ch, int modifiers = 0) {
        platform::input_event e;
        e.kind = platform::ev_key_down;
        e.key_code = code;
        e.modifiers = modifiers;
        e.ch = e.lower = e.upper = ch;
        platform::push_test_event(e);
        e.kind = platform::ev_key_up;
        platform::push_test_event(e);
    }
    // Each byte of an ASCII text as a key that types it (key down and up).
    static void type(const std::string& text) {
        for (const char c : text) {
            platform::input_event e;
            e.kind = platform::ev_key_down;
            e.key_code = 10;
            e.ch = static_cast<unsigned char>(c);
            e.lower = e.upper = std::isalpha(static_cast<unsigned char>(c)) ? (e.ch | 0x20) : 0;
            platform::push_test_event(e);
            e.kind = platform::ev_key_up;
            platform::push_test_event(e);
        }
    }
    // Did the last frame draw this text as OGL_string draws it in the open panel? Ask from the
    // second frame on, once every glyph the frame needs is in the atlas.
    bool drew(int colour, float x, float y, const std::string& text, float wrap, just_t just = just_left) {
        rec.take();
        OGL_string(colour, x, y, text, wrap, cs_regular, just);
        return drawtest::holds_batches(last_frame, rec.take());
    }

    // Did the last frame show a push button's caption, centred on the button at (x, y)?
    bool drew_caption(float x, float y, const std::string& caption) {
        rec.take();
        BTN_util_draw_label(x, y - 3, 1, caption, 0);
        return drawtest::holds_batches(last_frame, rec.take());
    }

    testsupport::temp_dir tmp;
    int frames = 0;
    drawtest::calls last_frame;
    int panel_in_frame = -1;
    std::string title_in_frame;
    std::function<void(int)> script;

private:
    static PanelFrames*& current() {
        static PanelFrames* f = nullptr;
        return f;
    }
    static void on_frame() {
        PanelFrames& f = *current();
        ++f.frames;
        f.last_frame = f.rec.take();
        f.panel_in_frame = wins.panel_id;
        f.title_in_frame = stls[4];
        // A press is let go in the frame after it, as a click would be.
        if (release_next_.kind == platform::ev_mouse_up) {
            platform::push_test_event(release_next_);
            release_next_ = platform::input_event{};
        }
        if (f.script) f.script(f.frames);
        if (f.frames > 200) wins.start_win(0);
        f.rec.take();
        platform::test_clock_advance(16667);
    }

    static inline platform::input_event release_next_{};
    frame_hooks_t saved_hooks_;
};

}  // namespace testsupport
