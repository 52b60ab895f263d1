// The keyboard layer: raw events to vkeys, flags and characters; the frame flags; the bindings
// and the name conversions.
#include <gtest/gtest.h>

#include <vector>

#include "core/command_registry.h"
#include "core/mouse_record.h"
#include "shell/event_pump.h"
#include "shell/keys.h"
#include "render/panel_record.h"

namespace {

EventRecord key_event(int what, int code, int modifiers, uint32_t ch, uint32_t lower, uint32_t upper) {
    EventRecord e;
    e.what = what;
    e.message = static_cast<uint32_t>(code) << 8 | (ch & 0xFF);
    e.modifiers = modifiers;
    e.ch = ch;
    e.lower = lower;
    e.upper = upper;
    return e;
}

struct seen_key {
    uint32_t ch;
    int vkey, flags;
};
std::vector<seen_key> g_seen;
int g_take_keys = 0;
int focus_spy(uint32_t ch, int vkey, int flags) {
    g_seen.push_back({ch, vkey, flags});
    return g_take_keys;
}

class Keys : public ::testing::Test {
protected:
    void SetUp() override {
        saved_hooks_ = frame_hooks;
        frame_hooks = frame_hooks_t{};   // no window here: closing a panel draws nothing
        keys = keys_class();
        keys_hooks.dispatch_to_focus = &focus_spy;
        g_seen.clear();
        g_take_keys = 0;
        return_hit = escape_hit = delete_hit = 0;
        mnw.last_char = 0;
        wins.panel_id = 0;
    }
    void TearDown() override {
        keys_hooks.dispatch_to_focus = nullptr;
        frame_hooks = saved_hooks_;
    }
    frame_hooks_t saved_hooks_;
};

TEST_F(Keys, RawEventsGiveVkeyFlagsAndCharacters) {
    const struct {
        const char* what;
        int code, modifiers;
        uint32_t ch, lower, upper;
        int vkey, flags;
        uint32_t seen_ch;
    } cases[] = {
        {"shift+A down", 0, shiftKey, 'A', 'a', 'A', 65, 9, 'A'},
        {"digit row by position", 18, 0, '&', '&', '1', 49, 8, '&'},
        {"section key gets a spare", 10, 0, 0xA7, 0xA7, 0xB1, 15, 8, 0xA7},
        {"yen key above the spares", 93, 0, 0xA5, 0xA5, '|', 204, 8, 0xA5},
        {"keypad digit types its digit", 83, 0, 0, 0, 0, 97, 8, '1'},
        {"return types 13", 36, 0, 0, 0, 0, 13, 8, 13},
        {"left arrow types 28", 123, 0, 0, 0, 0, 37, 8, 28},
        {"command counts as control", 8, cmdKey, 0, 'c', 'C', 67, 12, 0},
        {"option", 12, optionKey, 0x153, 'q', 'Q', 81, 10, 0x153},
        {"period by character", 47, 0, '.', '.', '>', 185, 8, '.'},
    };
    for (const auto& c : cases) {
        g_seen.clear();
        const EventRecord e = key_event(keyDown, c.code, c.modifiers, c.ch, c.lower, c.upper);
        keys.handle_key_raw(&e);
        ASSERT_EQ(g_seen.size(), 1u) << c.what;
        EXPECT_EQ(g_seen[0].vkey, c.vkey) << c.what;
        EXPECT_EQ(g_seen[0].flags, c.flags) << c.what;
        EXPECT_EQ(g_seen[0].ch, c.seen_ch) << c.what;
    }
}

TEST_F(Keys, AKeyUpReportsTheCharacterOfItsKeyDown) {
    const EventRecord down = key_event(keyDown, 0, shiftKey, 'A', 'a', 'A');
    const EventRecord up = key_event(keyUp, 0, shiftKey, 0, 'a', 'A');
    const EventRecord repeat = key_event(autoKey, 0, shiftKey, 'A', 'a', 'A');
    keys.handle_key_raw(&down);
    keys.handle_key_raw(&repeat);
    keys.handle_key_raw(&up);
    ASSERT_EQ(g_seen.size(), 3u);
    EXPECT_EQ(g_seen[1].flags, 1);   // auto-repeat carries neither down nor up
    EXPECT_EQ(g_seen[2].flags, 17);
    EXPECT_EQ(g_seen[2].ch, static_cast<uint32_t>('A'));
    // A different modifier state on the way up is another key: no character.
    const EventRecord up_unshifted = key_event(keyUp, 0, 0, 0, 'a', 'A');
    keys.handle_key_raw(&up_unshifted);
    EXPECT_EQ(g_seen[3].ch, 0u);
}

TEST_F(Keys, FrameFlagsPanelsAndTheLastKey) {
    const EventRecord ret = key_event(keyDown, 36, 0, 13, 13, 13);
    const EventRecord esc = key_event(keyDown, 53, 0, 27, 27, 27);
    const EventRecord del = key_event(keyDown, 51, 0, 8, 8, 8);
    const EventRecord x = key_event(keyDown, 7, 0, 'x', 'x', 'X');

    keys.handle_key_raw(&del);
    EXPECT_EQ(delete_hit, 1);
    keys.handle_key_raw(&x);
    EXPECT_EQ(mnw.last_char, 'x');
    EXPECT_EQ(keys.last_vkey, 88);

    // A modal dialog keeps Return for its own loop: flag set, last key untouched.
    wins.win_px_w = 800;
    wins.win_px_h = 600;
    wins.start_win(995);
    keys.handle_key_raw(&ret);
    EXPECT_EQ(return_hit, 1);
    EXPECT_EQ(keys.last_vkey, 88);
    EXPECT_EQ(wins.panel_id, 995);

    // Any other panel closes on Escape.
    wins.start_win(2);
    keys.handle_key_raw(&esc);
    EXPECT_EQ(wins.panel_id, 0);
    EXPECT_EQ(escape_hit, 0);   // closing clears both flags

    // A key the focused widget takes sets nothing.
    return_hit = 0;
    g_take_keys = 1;
    keys.handle_key_raw(&ret);
    EXPECT_EQ(return_hit, 0);
    EXPECT_EQ(keys.last_vkey, 88);
}

TEST_F(Keys, DefaultBindingsAndHeldState) {
    keys.keys_io(0);
    EXPECT_EQ(keys.bindings.size(), 26u);
    EXPECT_EQ(keys.key_bound_to(185, 4), cmnd.get_cmnd_by_name("sim/operation/screenshot"));
    EXPECT_EQ(keys.key_bound_to(37, 1), cmnd.get_cmnd_by_name("sim/general/left_fast"));
    EXPECT_EQ(keys.get_key_for_cmnd(cmnd.get_cmnd_by_name("sim/operation/screenshot")), "CTRL-.");
    EXPECT_EQ(keys.get_key_for_cmnd(cmnd.get_cmnd_by_name("sim/operation/quit")), "");

    keys.execute_key_cmnd(185, 4 | 8);
    int held = 0;
    for (const key_binding& b : keys.bindings) held += b.held;
    EXPECT_EQ(held, 1);
    keys.execute_key_cmnd(185, 16);   // released with any modifiers
    held = 0;
    for (const key_binding& b : keys.bindings) held += b.held;
    EXPECT_EQ(held, 0);
}

TEST_F(Keys, NamesAndConversions) {
    EXPECT_EQ(keys_class::vkey_to_str(0), "<NONE>");
    EXPECT_EQ(keys_class::vkey_to_str(200), "KEY200");
    EXPECT_EQ(keys_class::vkey_to_str(178), "]");
    EXPECT_EQ(keys_class::vkey_to_str(65 + 256), "KEY321");   // only the table's 8-bit values have names
    EXPECT_EQ(keys_class::vkey_to_code(188), "VNLM_VK_NUMPAD_ENT");
    EXPECT_EQ(keys_class::vkey_to_code(200), "200");
    EXPECT_EQ(keys_class::str_to_vkey("numpad-enter"), 188);
    EXPECT_EQ(keys_class::str_to_vkey("KEY200"), 200);
    EXPECT_EQ(keys_class::str_to_vkey("KEY -3"), -3);
    EXPECT_EQ(keys_class::str_to_vkey("key200"), 0);
    EXPECT_EQ(keys_class::str_to_vkey("KEY12x"), 0);
    EXPECT_EQ(keys_class::flag_to_str(7), "SHIFT+ALT+CTRL");
    EXPECT_EQ(keys_class::flag_to_str(0), "<none>");
    EXPECT_EQ(keys_class::flag_to_code(5), "vnlm_ShiftFlag+vnlm_ControlFlag");
    EXPECT_EQ(keys_class::flag_to_code(0), "0");
    EXPECT_EQ(keys_class::str_to_flag("ctrl"), 0);
    EXPECT_EQ(keys_class::str_to_flag("SHIFT+CTRL"), 5);
    const struct {
        int ch, vkey, flags;
    } chars[] = {{38, 55, 1}, {125, 178, 1}, {65, 65, 1}, {97, 65, 0}, {13, 13, 0}, {126, 186, 1}};
    for (const auto& c : chars) {
        int vkey = -1, flags = -1;
        EXPECT_EQ(keys_class::ascii_to_vkey(c.ch, vkey, flags), 1) << c.ch;
        EXPECT_EQ(vkey, c.vkey) << c.ch;
        EXPECT_EQ(flags, c.flags) << c.ch;
    }
    int vkey = -1, flags = -1;
    EXPECT_EQ(keys_class::ascii_to_vkey(200, vkey, flags), 0);
    EXPECT_EQ(vkey, 0);
    EXPECT_EQ(keys.spare_keys.size(), 79u);
    EXPECT_EQ(script_to_utf32(0x8E), 0xE9u);   // é in the script encoding
    EXPECT_EQ(script_to_utf32('a'), static_cast<uint32_t>('a'));
}

}  // namespace
