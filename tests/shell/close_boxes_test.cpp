// Closing an ordinary framework panel, by either close box, Return or Escape: its close boxes are
// drawn lit and shown before the panel goes.
#include <gtest/gtest.h>

#include <functional>

#include "../ui/widget_frames.h"
#include "platform/gl_window.h"

namespace {

int g_frame_swaps = 0;

class CloseBoxes : public drawtest::RecordedText {
protected:
    void SetUp() override {
        RecordedText::SetUp();
        platform::test_clock_set(1000000);
        platform::clear_test_input();
        event_pump_reset_for_test();
        saved_ = frame_hooks;   // the program's own hooks, the lit boxes among them
        frame_hooks.movie_per_frame = [] { ++g_frame_swaps; };
        wins.panel_id = -1;
        frame();
    }
    void TearDown() override {
        frame_hooks = saved_;
        platform::clear_test_input();
        platform::test_clock_release();
        RecordedText::TearDown();
    }
    static void frame() {
        platform::test_clock_advance(16667);
        MACIBM_event_proc();
    }
    frame_hooks_t saved_;
};

TEST_F(CloseBoxes, ClosingAPanelShowsItsBoxesLitBeforeItGoes) {
    const auto press = [](float x, float y) {
        platform::input_event e;
        e.kind = platform::ev_mouse_down;
        e.x = static_cast<int>(wins.off_x + x);
        e.y = static_cast<int>(static_cast<float>(wins.win_px_h) - (wins.off_y + y));
        platform::push_test_event(e);
    };
    const auto key = [](int code, uint32_t ch) {
        platform::input_event e;
        e.kind = platform::ev_key_down;
        e.key_code = code;
        e.ch = e.lower = e.upper = ch;
        platform::push_test_event(e);
    };
    const struct {
        const char* how;
        std::function<void()> close;
        std::size_t lit;   // a press inside the left box lights that one alone
    } cases[] = {
        {"left box", [&] { press(12, wins.panel_h - 8); }, 1},
        {"left corner beside the box", [&] { press(3, wins.panel_h - 8); }, 2},
        {"right box", [&] { press(wins.panel_w - 12, wins.panel_h - 8); }, 2},
        {"Return", [&] { key(36, 13); }, 2},
        {"Escape", [&] { key(53, 27); }, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        wins.start_win(2);   // 700 x 380 at (50, 110)
        rec.take();
        TEX_reset_bind();   // so the frame records the atlas it binds
        const int shown = platform::window_swaps_for_test(), frames = g_frame_swaps;
        c.close();
        frame();
        EXPECT_EQ(wins.panel_id, 0);
        // One swap of its own shows the lit boxes; the frame's swap follows as in every frame.
        EXPECT_EQ(platform::window_swaps_for_test(), shown + 1);
        EXPECT_EQ(g_frame_swaps, frames + 1);
        // The lit art (atlas 120..138 by 197..215) at both top corners of the panel.
        const auto lit = widgettest::with_art(widgettest::seen_quads(rec.take(), gl_name(tex_ref_interface)), 120, 197);
        ASSERT_EQ(lit.size(), c.lit);
        EXPECT_DOUBLE_EQ(lit[0].x0, 50 + 7);
        EXPECT_DOUBLE_EQ(lit[0].y1, 110 + 380 - 1);
        if (c.lit == 2) {
            EXPECT_DOUBLE_EQ(lit[1].x1, 50 + 700 - 7);
        }
    }
}

}  // namespace
