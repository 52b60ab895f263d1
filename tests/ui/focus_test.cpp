// Keyboard focus, driven frame by frame through the event seam: made-up keys and presses go
// through the frame pump and the keyboard layer to the focus ring that the previous frame's
// widgets built, on an injected clock.
#include "ui/focus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/app_globals.h"
#include "core/mouse_record.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "shell/event_pump.h"
#include "shell/keys.h"
#include "render/panel_record.h"
#include "seam_mouse.h"

namespace {

// One widget kind's queues, as a focusable widget keeps them, with a guard word after each
// array so a write past the 64 entries shows.
constexpr int kGuard = 0x5A5A5A5A;
struct kind_queues {
    int chars[focus_queue_capacity + 1];
    int vkeys[focus_queue_capacity + 1];
    int flags[focus_queue_capacity + 1];
    int ids[focus_queue_capacity + 1];
    int count = 0;
    kind_queues() { clear(); }
    void clear() {
        for (int* a : {chars, vkeys, flags, ids}) {
            for (int i = 0; i < focus_queue_capacity; ++i) a[i] = 0;
            a[focus_queue_capacity] = kGuard;
        }
        count = 0;
    }
    bool guards_intact() const {
        return chars[focus_queue_capacity] == kGuard && vkeys[focus_queue_capacity] == kGuard &&
               flags[focus_queue_capacity] == kGuard && ids[focus_queue_capacity] == kGuard;
    }
    int reg(int id, int mask, int take) {
        return BTN_register_focus(id, chars, vkeys, flags, ids, &count, focus_queue_capacity, mask, take);
    }
};

constexpr int kTextMask = 1012;     // what a one-line text field takes
constexpr int kNumberMask = 208;    // what a number range field takes

// A widget the test "draws": 80 x 20 units at (x, 0); a press inside takes the focus.
struct test_widget {
    int id;
    float x;
    kind_queues* queues;
    int mask;
};
std::vector<test_widget> g_widgets;

void draw_widgets() {
    for (const test_widget& w : g_widgets) {
        const bool pressed = mnw.click_hit && mnw.mouse_x >= w.x && mnw.mouse_x <= w.x + 80 && mnw.mouse_y >= 0 &&
                             mnw.mouse_y <= 20;
        w.queues->reg(w.id, w.mask, pressed ? 1 : 0);
    }
}

// Mac key codes the keyboard layer knows.
constexpr int kCodeA = 0, kCodeTab = 48, kCodeReturn = 36, kCodeEscape = 53, kCodeLeft = 123, kCode1 = 18;

platform::input_event key_event(int kind, int code, uint32_t ch, int modifiers = 0) {
    platform::input_event e;
    e.kind = kind;
    e.key_code = code;
    e.ch = ch;
    e.lower = e.upper = ch;
    e.modifiers = modifiers;
    return e;
}

void press(int code, uint32_t ch, int modifiers = 0) {
    platform::push_test_event(key_event(platform::ev_key_down, code, ch, modifiers));
    platform::push_test_event(key_event(platform::ev_key_up, code, ch, modifiers));
}

class Focus : public ::testing::Test {
protected:
    void SetUp() override {
        platform::test_clock_set(1000000);
        platform::clear_test_input();
        event_pump_reset_for_test();
        frame_hooks = frame_hooks_t{};
        frame_hooks.app_update = &draw_widgets;
        wins = wins_class{};
        wins.win_px_w = 800;
        wins.win_px_h = 600;
        mnw = mnw_record{};
        keys = keys_class();
        app_done = 0;
        focus_ring.clear();
        focus_id = wind_focus = 0;
        g_widgets.clear();
        text.clear();
        number.clear();
        mouse_at(700, 300);   // over no widget
    }
    void TearDown() override {
        platform::clear_test_input();
        platform::test_clock_release();
        frame_hooks = frame_hooks_t{};
        g_widgets.clear();
    }
    void frame() {
        platform::test_clock_advance(16667);
        MACIBM_event_proc();
    }
    void mouse_at(float x, float y) { seam_mouse::move_to(x, y); }
    void click_at(float x, float y) { seam_mouse::click(x, y, [this] { frame(); }); }
    // The (id, character) pairs queued so far.
    static std::vector<std::pair<int, int>> queued(const kind_queues& q) {
        std::vector<std::pair<int, int>> out;
        for (int i = 0; i < q.count && i < focus_queue_capacity; ++i)
            if (q.flags[i] & 8) out.emplace_back(q.ids[i], q.chars[i]);   // key-downs only
        return out;
    }

    kind_queues text, number;
};

TEST_F(Focus, TabAndShiftTabWalkTheRingInDrawingOrder) {
    g_widgets = {{11, 0, &text, kTextMask}, {22, 100, &text, kTextMask}, {33, 200, &number, kNumberMask}};
    frame();   // the first ring
    const struct {
        const char* what;
        int modifiers;
        bool up_only;
        int focus;
    } steps[] = {
        {"Tab with nothing focused takes the first", 0, false, 11},
        {"Tab", 0, false, 22},
        {"Tab", 0, false, 33},
        {"Tab on the last wraps to the first", 0, false, 11},
        {"Shift-Tab on the first wraps to the last", platform::mod_shift, false, 33},
        {"Shift-Tab", platform::mod_shift, false, 22},
        {"a lone key-up moves nothing", 0, true, 22},
    };
    for (const auto& s : steps) {
        if (!s.up_only) platform::push_test_event(key_event(platform::ev_key_down, kCodeTab, 9, s.modifiers));
        platform::push_test_event(key_event(platform::ev_key_up, kCodeTab, 9, s.modifiers));
        frame();
        EXPECT_EQ(focus_id, s.focus) << s.what;
    }
    EXPECT_EQ(text.count + number.count, 0);   // moving the focus queues nothing
}

TEST_F(Focus, TabFindsAWidgetDrawnTwiceAtItsFirstPlace) {
    g_widgets = {{11, 0, &text, kTextMask}, {22, 100, &text, kTextMask}, {11, 0, &text, kTextMask},
                 {33, 200, &text, kTextMask}};
    frame();
    focus_id = 11;
    press(kCodeTab, 9);
    frame();
    EXPECT_EQ(focus_id, 22);
    focus_id = 11;
    press(kCodeTab, 9, platform::mod_shift);
    frame();
    EXPECT_EQ(focus_id, 33);
}

TEST_F(Focus, TabGoesToTheKeyboardLayerWhenNoWidgetIsDrawn) {
    frame();
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, 8), 0);
    EXPECT_EQ(focus_id, 0);
}

TEST_F(Focus, AMousePressTakesTheFocusAwayAndTheWidgetUnderItTakesItBack) {
    g_widgets = {{11, 0, &text, kTextMask}, {22, 100, &text, kTextMask}, {33, 200, &text, kTextMask}};
    frame();
    press(kCodeTab, 9);
    frame();
    ASSERT_EQ(focus_id, 11);

    click_at(500, 10);   // on no widget
    EXPECT_EQ(focus_id, 0);
    press(kCodeA, 'a');
    frame();
    EXPECT_EQ(text.count, 0);
    EXPECT_EQ(mnw.last_char, 'a');   // nobody took it: the keyboard layer had it

    click_at(250, 10);   // on 33
    EXPECT_EQ(focus_id, 33);
    press(kCodeA, 'b');
    frame();
    EXPECT_EQ(queued(text), (std::vector<std::pair<int, int>>{{33, 'b'}}));
}

TEST_F(Focus, KeysReachOnlyTheFocusedWidgetAndOnlyTheKindsItTakes) {
    g_widgets = {{11, 0, &text, kTextMask}, {22, 100, &text, kTextMask}, {33, 200, &number, kNumberMask}};
    frame();
    focus_id = 22;
    press(kCodeA, 'a');
    press(kCode1, '1');
    press(kCodeLeft, 0);
    press(kCodeReturn, 13);
    frame();
    // Return is not a text field's key: the keyboard layer sees it.
    EXPECT_EQ(queued(text), (std::vector<std::pair<int, int>>{{22, 'a'}, {22, '1'}, {22, 28}}));
    EXPECT_EQ(return_hit, 1);
    EXPECT_EQ(number.count, 0);

    text.clear();
    focus_id = 33;
    press(kCodeA, 'x');
    press(kCode1, '1');
    press(kCodeEscape, 27);
    frame();
    EXPECT_EQ(queued(number), (std::vector<std::pair<int, int>>{{33, '1'}}));
    EXPECT_EQ(text.count, 0);
    EXPECT_EQ(escape_hit, 1);
    EXPECT_EQ(mnw.last_char, 27);
}

// Each kind of key needs exactly one mask bit: with only that bit it is queued, with every
// other bit it is declined. Characters beyond ASCII (even far above 255) are printable.
TEST_F(Focus, EachKeyNeedsItsOwnMaskBit) {
    const struct {
        const char* what;
        int ch, vkey, flags, bit;
    } cases[] = {
        {"Escape", 27, 27, 8, focus_key_escape},
        {"Backspace", 8, 8, 8, focus_key_delete},
        {"forward Delete", 0, 46, 8, focus_key_delete},
        {"Return", 13, 13, 8, focus_key_return},
        {"Enter", 0, 187, 8, focus_key_return},
        {"left arrow", 28, 37, 8, focus_key_navigate},
        {"Page Up", 0, 33, 8, focus_key_navigate},
        {"Tab key-up", 9, 9, 16, focus_key_tab},
        {"minus", '-', 177, 8, focus_key_sign},
        {"plus", '+', 176, 9, focus_key_sign},
        {"digit", '7', 55, 8, focus_key_digit},
        {"keypad digit", '4', 100, 8, focus_key_digit},
        {"upper-case letter", 'Q', 81, 9, focus_key_letter},
        {"command-C typing c", 'c', 67, 12, focus_key_letter},
        {"space", ' ', 32, 8, focus_key_printable},
        {"punctuation", '!', 49, 9, focus_key_printable},
        {"Latin-1", 0xE9, 50, 8, focus_key_printable},
        {"above 255", 0x153, 81, 10, focus_key_printable},
        {"above the BMP", 0x1F600, 0, 8, focus_key_printable},
        {"control-V", 0x16, 86, 12, focus_key_clipboard},
        {"control-X", 0x18, 88, 12, focus_key_clipboard},
        {"control-A", 0x01, 65, 12, focus_key_control},
        {"DEL byte", 0x7F, 200, 8, focus_key_control},
        {"F1, no character", 0, 112, 8, focus_key_control},
        {"a key-up is queued like a down", 'k', 75, 16, focus_key_letter},
    };
    const int all_bits = 0x7FF;
    for (const auto& c : cases) {
        for (const bool with_bit : {true, false}) {
            text.clear();
            BTN_begin_focus_ring();
            text.reg(5, with_bit ? c.bit : all_bits & ~c.bit, 1);
            EXPECT_EQ(BTN_dispatch_to_focus(c.ch, c.vkey, c.flags), with_bit ? 1 : 0) << c.what;
            ASSERT_EQ(text.count, with_bit ? 1 : 0) << c.what;
            if (with_bit) {
                EXPECT_EQ(text.chars[0], c.ch) << c.what;
                EXPECT_EQ(text.vkeys[0], c.vkey) << c.what;
                EXPECT_EQ(text.flags[0], c.flags) << c.what;
                EXPECT_EQ(text.ids[0], 5) << c.what;
            }
            EXPECT_EQ(focus_id, 5) << c.what;
        }
    }
}

TEST_F(Focus, AWidgetThatTakesTabGetsItAsAKey) {
    BTN_begin_focus_ring();
    text.reg(11, kTextMask | focus_key_tab, 1);
    text.reg(22, kTextMask, 0);
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, 9), 1);
    EXPECT_EQ(focus_id, 11);
    ASSERT_EQ(text.count, 1);
    EXPECT_EQ(text.vkeys[0], 9);
    EXPECT_EQ(text.flags[0], 9);
}

TEST_F(Focus, AFullQueueDropsKeysInsteadOfWritingPastIt) {
    g_widgets = {{11, 0, &text, kTextMask}};
    frame();
    focus_id = 11;
    for (int i = 0; i < 70; ++i)
        platform::push_test_event(key_event(platform::ev_key_down, kCodeA, static_cast<uint32_t>('a' + i % 26)));
    frame();
    EXPECT_EQ(text.count, focus_queue_capacity);
    EXPECT_TRUE(text.guards_intact());
    EXPECT_EQ(text.chars[0], 'a');
    EXPECT_EQ(text.chars[63], 'a' + 63 % 26);
    // The dropped keys were the widget's: they do not reach the keyboard layer either.
    EXPECT_EQ(mnw.last_char, 0);

    // Once the widget has drained its queue, keys arrive again.
    text.count = 0;
    press(kCodeA, 'z');
    frame();
    EXPECT_EQ(queued(text), (std::vector<std::pair<int, int>>{{11, 'z'}}));

    // A count the widget left negative still writes inside the arrays.
    text.clear();
    text.count = -3;
    EXPECT_EQ(BTN_dispatch_to_focus('q', 81, 8), 1);
    EXPECT_EQ(text.count, 1);
    EXPECT_EQ(text.chars[0], 'q');
}

TEST_F(Focus, AFocusedWidgetNotDrawnLastFrameLosesTheFocusAndItsKeys) {
    g_widgets = {{11, 0, &text, kTextMask}, {22, 100, &text, kTextMask}};
    frame();
    focus_id = 99;   // drawn some frames ago, not in the last one
    EXPECT_EQ(BTN_dispatch_to_focus('a', 65, 8), 0);
    EXPECT_EQ(focus_id, 0);
    EXPECT_EQ(text.count, 0);

    focus_id = 99;
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, 8), 1);   // Tab: the first widget drawn
    EXPECT_EQ(focus_id, 11);
}

TEST_F(Focus, TheAlertPanelReadsEveryKeyItself) {
    g_widgets = {{11, 0, &text, kTextMask}};
    frame();
    focus_id = 11;
    wins.panel_id = 994;
    for (const int vkey : {9, 65, 13})
        EXPECT_EQ(BTN_dispatch_to_focus(vkey == 65 ? 'a' : vkey, vkey, 8), 0) << vkey;
    EXPECT_EQ(focus_id, 11);
    EXPECT_EQ(text.count, 0);
}

TEST_F(Focus, TakingAndOfferingTheFocus) {
    EXPECT_EQ(BTN_no_focus_yet(), 1);
    BTN_window_has_focus();
    EXPECT_EQ(BTN_no_focus_yet(), 0);
    BTN_begin_focus_ring();   // a new frame gives the keyboard back to the widgets
    EXPECT_EQ(BTN_no_focus_yet(), 1);

    BTN_focus_any();   // nothing drawn yet
    EXPECT_EQ(focus_id, 0);
    EXPECT_EQ(text.reg(11, kTextMask, 0), 0);
    EXPECT_EQ(text.reg(22, kTextMask, 0), 0);
    BTN_focus_any();
    EXPECT_EQ(focus_id, 11);
    EXPECT_EQ(BTN_no_focus_yet(), 0);
    EXPECT_EQ(text.reg(22, kTextMask, 1), 1);
    EXPECT_EQ(text.reg(11, kTextMask, 0), 0);   // the last one to take it has it
    EXPECT_EQ(focus_id, 22);
    BTN_unfocus_any();
    EXPECT_EQ(focus_id, 0);
}

TEST_F(Focus, OpeningAPanelEmptiesTheRingAndDropsTheFocus) {
    g_widgets = {{11, 0, &text, kTextMask}};
    frame();
    focus_id = 11;
    wins.start_win(2);
    EXPECT_TRUE(focus_ring.empty());
    EXPECT_EQ(focus_id, 0);
}

}  // namespace
