// One frame of the pump, driven by made-up events and a made-up mouse (no window, no waiting).
#include <SDL_keyboard.h>
#include <SDL_scancode.h>
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "core/app_globals.h"
#include "core/mouse_record.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/key_codes.h"
#include "shell/event_pump.h"
#include "shell/keys.h"
#include "render/panel_record.h"

namespace {

int g_app_frames = 0;
int g_flags_at_app = -1;
void count_app_frame() {
    ++g_app_frames;
    g_flags_at_app = return_hit + escape_hit + delete_hit + mnw.click_hit + mnw.release_hit + mnw.key_hit;
}

uint64_t g_work_us = 0;
void working_app_frame() { platform::test_clock_advance(g_work_us); }

platform::input_event ev(int kind) {
    platform::input_event e;
    e.kind = kind;
    return e;
}

platform::input_event key(int kind, int code, uint32_t ch) {
    platform::input_event e = ev(kind);
    e.key_code = code;
    e.ch = e.lower = e.upper = ch;
    return e;
}

class FramePump : public ::testing::Test {
protected:
    void SetUp() override {
        platform::test_clock_set(1000000);
        platform::clear_test_input();
        event_pump_reset_for_test();
        frame_hooks = frame_hooks_t{};
        frame_hooks.app_update = &count_app_frame;
        g_app_frames = 0;
        wins = wins_class{};
        wins.win_px_w = 800;
        wins.win_px_h = 600;
        wins.panel_id = -1;
        mnw = mnw_record{};
        app_done = 0;
    }
    void TearDown() override {
        platform::clear_test_input();
        platform::test_clock_release();
        frame_hooks = frame_hooks_t{};
    }
    void frame() {
        platform::test_clock_advance(16667);
        MACIBM_event_proc();
    }
};

TEST_F(FramePump, TheFirstFrameOpensTheApplicationScreenAndEveryFrameStartsWithClearFlags) {
    platform::push_test_event(key(platform::ev_key_down, 36, 13));
    platform::push_test_event(ev(platform::ev_mouse_down));
    frame();
    EXPECT_EQ(wins.panel_id, 0);
    EXPECT_EQ(return_hit, 1);
    EXPECT_EQ(mnw.click_hit, 1);
    EXPECT_EQ(mnw.key_hit, 1);
    EXPECT_EQ(g_app_frames, 1);

    frame();   // nothing happened in this frame
    EXPECT_EQ(g_flags_at_app, 0);
    EXPECT_EQ(return_hit + mnw.click_hit + mnw.key_hit + mnw.release_hit, 0);
    EXPECT_EQ(mnw.mouse_held, 1);   // still down: no release came

    platform::push_test_event(ev(platform::ev_mouse_up));
    mnw.cursor_code = 5;
    frame();
    EXPECT_EQ(mnw.release_hit, 1);
    EXPECT_EQ(mnw.cursor_code, 0);
    EXPECT_EQ(mnw.mouse_held, 0);
}

TEST_F(FramePump, AnOpenPanelStopsTheApplicationFrame) {
    frame();
    wins.start_win(2);
    frame();
    EXPECT_EQ(g_app_frames, 1);
    wins.start_win(0);
    frame();
    EXPECT_EQ(g_app_frames, 2);
}

TEST_F(FramePump, WheelStepsAndFineScrollRemainders) {
    frame();
    platform::input_event wheel = ev(platform::ev_wheel);
    wheel.delta = 2;
    platform::push_test_event(wheel);
    frame();
    EXPECT_EQ(mnw.wheel_steps, 2);

    const struct {
        int a, b, steps;
    } cases[] = {{3, 2, 1}, {-3, -2, -1}, {2, 1, 0}, {4, 4, 2}, {-1, 5, 1}};
    for (const auto& c : cases) {
        event_pump_reset_for_test();
        mnw.wheel_steps = 0;
        APL_add_scroll(c.a);
        APL_add_scroll(c.b);
        EXPECT_EQ(mnw.wheel_steps, c.steps) << c.a << " " << c.b;
    }
    // The remainder is kept: 3 + 2 leaves 1, so 3 more make the next step.
    event_pump_reset_for_test();
    mnw.wheel_steps = 0;
    APL_add_scroll(3);
    APL_add_scroll(2);
    APL_add_scroll(3);
    EXPECT_EQ(mnw.wheel_steps, 2);
}

TEST_F(FramePump, CloseBoxesCloseOrdinaryPanelsButNotDialogs) {
    frame();
    const struct {
        int panel;
        float x, y;   // offsets from the panel's top corners
        bool closes;
    } cases[] = {
        {2, 10, 10, true},   {2, 0, 0, true},        {2, 25, 20, true},   {2, 26, 10, false},
        {2, 10, 21, false},  {2, -10, 10, true},     {994, 10, 10, false}, {999, 10, 10, false},
        {0, 10, 10, false},
    };
    for (const auto& c : cases) {
        wins.start_win(c.panel);
        // x >= 0: from the left corner; negative: that far in from the right corner.
        const float x = c.x >= 0 ? c.x : wins.panel_w + c.x;
        const float y = wins.panel_h - c.y;
        platform::set_test_mouse(nullptr, static_cast<int>(wins.off_x + x),
                                 static_cast<int>(wins.win_px_h - (wins.off_y + y)));
        platform::input_event down = ev(platform::ev_mouse_down);
        platform::mouse_position(nullptr, down.x, down.y);
        platform::push_test_event(down);
        frame();
        EXPECT_EQ(wins.panel_id == 0 && c.panel != 0, c.closes) << c.panel << " " << c.x << "," << c.y;
    }
}

TEST_F(FramePump, MouseCoordinatesAreRelativeToTheCurrentPanel) {
    frame();
    platform::set_test_mouse(nullptr, 100, 500);   // window pixels, y down
    frame();
    EXPECT_FLOAT_EQ(mnw.mouse_x, 100);
    EXPECT_FLOAT_EQ(mnw.mouse_y, 100);
    EXPECT_EQ(wins.mouse_panel, 0);

    wins.start_win(994);   // 420 x 260, centred: offsets 190, 170
    EXPECT_FLOAT_EQ(wins.off_x, 190);
    EXPECT_FLOAT_EQ(wins.off_y, 170);
    platform::set_test_mouse(nullptr, 200, 420);
    frame();
    EXPECT_FLOAT_EQ(mnw.mouse_x, 10);
    EXPECT_FLOAT_EQ(mnw.mouse_y, 10);
    EXPECT_EQ(wins.mouse_panel, 994);
}

TEST_F(FramePump, TheCloseBoxOfTheWindowEndsTheFrameLoop) {
    frame();
    platform::push_test_event(ev(platform::ev_close));
    frame();
    EXPECT_EQ(app_done, 1);
}

TEST_F(FramePump, ABoundsChangeAfterTheEndChangesNothing) {
    frame();
    platform::input_event resized = ev(platform::ev_resized);
    resized.window = 1;
    resized.w = 1000;
    resized.h = 700;
    app_done = 1;
    platform::push_test_event(resized);
    frame();
    EXPECT_EQ(wins.win_px_w, 800);
    app_done = 0;
    platform::push_test_event(resized);
    frame();
    EXPECT_EQ(wins.win_px_w, 1000);
    EXPECT_EQ(wins.windowed_h, 700);
    // A change made while the display mode is switching is not the user's.
    ++resize_recurse;
    resized.w = 640;
    platform::push_test_event(resized);
    frame();
    --resize_recurse;
    EXPECT_EQ(wins.win_px_w, 1000);
}

// An idle frame waits up to a tick for events; after a frame whose work took a tick (a screen
// spending its work budget) the next one only polls, so such frames are not stretched by a wait.
TEST_F(FramePump, AFrameAfterOneThatSpentATickOnlyPollsForEvents) {
    const struct {
        uint64_t work_us;
        int wait_ms;
    } cases[] = {{0, 16}, {10000, 16}, {16667, 0}, {25000, 0}};
    frame_hooks.app_update = &working_app_frame;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.work_us);
        event_pump_reset_for_test();
        g_work_us = c.work_us;
        MACIBM_event_proc();
        EXPECT_EQ(platform::last_event_wait_for_test(), 16);
        MACIBM_event_proc();
        EXPECT_EQ(platform::last_event_wait_for_test(), c.wait_ms);
    }
}

// Only an idle frame waits, and only for its first event: what follows a press is polled, so the
// press is acted on in its own frame. A frame the application asked for at once only polls, and
// the frame after it waits again.
TEST_F(FramePump, AFrameWaitsOnlyUntilItsFirstEventOrNotAtAllWhenAskedForAtOnce) {
    const struct {
        bool event_queued, at_once;
        int wait_ms;   // the last wait of the drain
    } cases[] = {{false, false, 16}, {true, false, 0}, {false, true, 0}, {true, true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.event_queued) + " " + std::to_string(c.at_once));
        event_pump_reset_for_test();
        MACIBM_event_proc();
        if (c.event_queued) platform::push_test_event(ev(platform::ev_mouse_down));
        if (c.at_once) shell_next_frame_at_once();
        MACIBM_event_proc();
        EXPECT_EQ(platform::last_event_wait_for_test(), c.wait_ms);
        MACIBM_event_proc();
        EXPECT_EQ(platform::last_event_wait_for_test(), 16) << "the next idle frame waits again";
    }
}

// A move and a press that arrive in one frame: the pointer read before the events is stale, the
// press carries where it happened (touch screens, remote desktops, xdotool's mousemove-click).
float g_app_x = -1, g_app_y = -1;
int g_app_click = 0;
void note_app_mouse() {
    g_app_x = mnw.mouse_x;
    g_app_y = mnw.mouse_y;
    g_app_click = mnw.click_hit;
}

TEST_F(FramePump, APressIsHitTestedWhereItHappenedNotWhereThePointerWasAtTheFramesStart) {
    frame_hooks.app_update = &note_app_mouse;
    frame();
    const auto press_at = [](int x, int y) {
        platform::input_event down = ev(platform::ev_mouse_down);
        down.x = x;
        down.y = y;
        platform::push_test_event(down);
    };
    platform::set_test_mouse(nullptr, 100, 500);
    press_at(300, 200);
    frame();
    EXPECT_EQ(g_app_click, 1);
    EXPECT_FLOAT_EQ(g_app_x, 300);
    EXPECT_FLOAT_EQ(g_app_y, 400);

    // The preferences panel (700 x 380 at 50, 110): the pointer rests in its middle, the press
    // lands on its left close box.
    wins.start_win(2);
    platform::set_test_mouse(nullptr, 400, 300);
    press_at(50 + 10, 600 - (110 + 370));
    frame();
    EXPECT_EQ(wins.panel_id, 0);
}

// The window uncovered in the frame of a press (a picture taken of it, another window moved
// away): the press still reaches the application.
TEST_F(FramePump, AnExposeInTheFrameOfAPressKeepsThePress) {
    frame_hooks.app_update = &note_app_mouse;
    frame();
    platform::set_test_mouse(nullptr, 300, 200);
    platform::input_event down = ev(platform::ev_mouse_down);
    down.x = 300;
    down.y = 200;
    platform::push_test_event(down);
    platform::push_test_event(ev(platform::ev_exposed));
    frame();
    EXPECT_EQ(g_app_click, 1);
    EXPECT_EQ(mnw.mouse_held, 1);
}

// Keys the classic keyboard lacks travel through the event record with their whole code: none of
// them may pass for a known key (keypad 00 for Tab, EXSEL for Return, Zenkaku/Hankaku for "3").
std::vector<int> g_vkeys_seen;
int record_vkey(uint32_t, int vkey, int) {
    g_vkeys_seen.push_back(vkey);
    return 0;
}

TEST_F(FramePump, EveryKeyOutsideTheClassicTableGetsAVkeyNoOtherKeyHas) {
    keys = keys_class();
    const auto saved = keys_hooks;
    keys_hooks.dispatch_to_focus = &record_vkey;
    frame();
    // The vkey one key down gives, and whether it raised a frame flag.
    const auto press = [&](int code, int& flags_raised) {
        g_vkeys_seen.clear();
        platform::push_test_event(key(platform::ev_key_down, code, 0));
        frame();
        flags_raised = return_hit + escape_hit + delete_hit;
        return g_vkeys_seen.size() == 1 ? g_vkeys_seen[0] : -1;
    };
    std::set<int> known;
    for (int code = 0; code < 128; ++code) {
        int raised = 0;
        known.insert(press(code, raised));
    }
    std::map<int, int> unknown;   // vkey -> scancode
    for (int sc = 1; sc < SDL_NUM_SCANCODES; ++sc) {
        if (platform::mac_key_code(sc) >= 0) continue;
        int raised = 0;
        const int vkey = press(platform::physical_key_code(sc), raised);
        SCOPED_TRACE(SDL_GetScancodeName(static_cast<SDL_Scancode>(sc)));
        EXPECT_EQ(raised, 0);
        EXPECT_EQ(known.count(vkey), 0u) << vkey;
        EXPECT_TRUE(unknown.emplace(vkey, sc).second) << vkey << " also for scancode " << unknown[vkey];
    }
    keys_hooks = saved;
    keys = keys_class();
}

}  // namespace
