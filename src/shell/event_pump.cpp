#include "shell/event_pump.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/alert.h"
#include "core/app_globals.h"
#include "core/frame_clock.h"
#include "core/mouse_record.h"
#include "core/shell_services.h"
#include "core/thread_layer.h"
#include "platform/events.h"
#include "platform/test_switches.h"
#include "render/qtim.h"
#include "render/tex_obj.h"
#include "render/tman.h"
#include "render/view.h"
#include "shell/keys.h"
#include "shell/windows.h"
#include "ui/frames.h"
#include "ui/menus.h"
#include "render/panel_record.h"

int resize_recurse = 0;

namespace {
// Modal loops below the shell (the engine's questions) run their frames through the pump.
const bool pump_offered = (g_shell.event_proc = &MACIBM_event_proc, g_shell.swap_buffers = &shell_swap_buffers, true);

// The input log a test asks for: what each frame took, written once the frame is swapped.
struct input_log {
    std::string pending;
    int pointer_x = INT_MIN, pointer_y = INT_MIN;   // last written
    float seen_x = 0, seen_y = 0;                   // read at this frame's start, window units
    int panel = INT_MIN;
} g_input_log;

bool input_log_on() { return platform::test_switches_now().screen_log; }

int rounded(float v) { return static_cast<int>(std::lround(v)); }

void log_input(const char* what, float x, float y) {
    if (!input_log_on()) return;
    g_input_log.pending += std::string(what) + " " + std::to_string(rounded(x)) + " " + std::to_string(rounded(y)) + "\n";
}

void log_key(int code) {
    if (input_log_on()) g_input_log.pending += "key " + std::to_string(code) + "\n";
}

// The pointer and panel lines come first: they describe the frame the input went to.
void flush_input_log() {
    if (!input_log_on()) return;
    std::string head;
    const int x = rounded(g_input_log.seen_x), y = rounded(g_input_log.seen_y);
    if (x != g_input_log.pointer_x || y != g_input_log.pointer_y) {
        g_input_log.pointer_x = x;
        g_input_log.pointer_y = y;
        head += "pointer " + std::to_string(x) + " " + std::to_string(y) + "\n";
    }
    if (wins.panel_id != g_input_log.panel) {
        g_input_log.panel = wins.panel_id;
        head += "panel " + std::to_string(wins.panel_id) + "\n";
    }
    const std::string lines = head + g_input_log.pending;
    g_input_log.pending.clear();
    if (lines.empty()) return;
    std::fputs(lines.c_str(), stdout);
    std::fflush(stdout);
}
}  // namespace

namespace {

// Each kind of texture that failed to load is reported once per run.
void report_texture_failures() {
    static const char* const kSee = "Please see the log.txt file for a detailed list of missing files.";
    if (tman.has_scene_load_fail()) {
        __MACIBM_alert(0, "Some scenery textures could not be loaded.",
                       "This may be an installation problem or you may have a damaged add-on scenery package.", kSee,
                       "", t_warn, "QFutils/GenC/qf_event", 101);
        tman.mute_scene_load_fail();
    }
    if (tman.has_plane_load_fail()) {
        __MACIBM_alert(0, "Some textures for the aircraft you selected could not be loaded.",
                       "This may be an installation problem or you may have a damaged add-on aircraft package.", kSee,
                       "", t_warn, "QFutils/GenC/qf_event", 102);
        tman.mute_plane_load_fail();
    }
    if (tman.has_instl_load_fail()) {
        __MACIBM_alert(0, "Some textures could not be loaded.",
                       "This may be an installation problem.  Run the installer/updater again to get these missing "
                       "textures.",
                       kSee, "", t_warn, "QFutils/GenC/qf_event", 103);
        tman.mute_instl_load_fail();
    }
}

}  // namespace

frame_hooks_t frame_hooks{
    .menu_in_any = [] { return mbar.mbar_in_any_menu(); },
    .menu_click = [] { mbar.mbar_select_an_item_click(); },
    .menu_release = [] { mbar.mbar_select_an_item_release(); },
    .menu_clear_popup_owner = [] { mbar.popup_owner = 0; },
    .menus_draw =
        [] {
            mbar.mbar_draw_menu_bar();
            mbar.mbar_draw_menus();
        },
    .texture_warnings = &report_texture_failures,
    .close_boxes_lit = [] { BTN_zap_boxes(1); },
    .movie_per_frame = [] { qtim.mov_per_frame(); },
    .delete_textures = &TEX_obj::delete_some_texes,
};

namespace {
int win_started = 0;
int scroll_remainder = 0;
constexpr int kTickMs = 1000 / 60;
constexpr uint64_t kTickUs = 1000000 / 60;
// When the previous frame's wait for events ended; 0 before the first frame.
uint64_t work_started = 0;
// The application has work for the next frame already: its wait for events only polls.
bool next_frame_at_once = false;
// Above 0 while the application's frame runs (a modal panel's loop pumps frames inside it).
int app_frame_depth = 0;

float interface_scale() { return wins.scale > 0 ? wins.scale : 1.0f; }

// Step 5.3: panel-relative coordinates, or the second window's.
void place_mouse_for_window(int window) {
    if (cons.num_cons(-1) == 2 && window == 1) {
        wins.mouse_panel = 0;
        mnw.mouse_x += static_cast<float>(wins.win_px_w) / interface_scale();
    } else {
        wins.mouse_panel = wins.panel_id;
        mnw.mouse_x -= wins.off_x;
        mnw.mouse_y -= wins.off_y;
    }
}

int front_window = 0;

// The index of the window an event names; the front window when it names none of ours.
int window_of(uint32_t id) {
    for (int i = 0; i < 2; ++i)
        if (id && cons.windows[i] && platform::window_id(cons.windows[i]) == id) return i;
    return front_window;
}

void read_mouse() {
    const int count = cons.num_cons(-1);
    if (count == 2 && cons.windows[1]) {
        int holders = 0, holder = 0;
        for (int i = 0; i < 2; ++i) {
            int x = 0, y = 0;
            if (!platform::mouse_position(cons.windows[i], x, y)) continue;
            if (x >= 0 && x <= wins.win_px_w && y >= -20 && y <= wins.win_px_h) {
                ++holders;
                holder = i;
            }
        }
        if (holders == 1 && holder != front_window) {
            platform::window_raise(cons.windows[holder]);
            front_window = holder;
        }
    } else {
        front_window = 0;
    }
    int x = 0, y = 0;
    if (!platform::mouse_position(cons.windows[front_window], x, y)) return;
    g_input_log.seen_x = static_cast<float>(x) / interface_scale();
    g_input_log.seen_y = static_cast<float>(wins.win_px_h - y) / interface_scale();
    MACIBM_load_mxy(front_window, x, y);
}

EventRecord key_record(const platform::input_event& e, int what) {
    EventRecord r;
    r.what = what;
    r.message = (static_cast<uint32_t>(e.key_code) << 8) | (e.ch & 0xFF);
    r.modifiers = e.modifiers;
    r.ch = e.ch;
    r.lower = e.lower;
    r.upper = e.upper;
    return r;
}

void quit_requested() {
    if (frame_hooks.quit_request) frame_hooks.quit_request();
    else app_done = 1;
}

// Hands one system event to the handler or the event layer; false for an OS-level event that
// ends this frame's draining.
bool dispatch(const platform::input_event& e) {
    switch (e.kind) {
    case platform::ev_key_down:
    case platform::ev_mouse_down:
    case platform::ev_wheel:
    case platform::ev_smooth_scroll:
    case platform::ev_resized:
        APL_HandleCarbonEvent(e);
        return true;
    case platform::ev_key_up: {
        EventRecord r = key_record(e, keyUp);
        APL_handlewin(&r);
        return true;
    }
    case platform::ev_key_repeat: {
        EventRecord r = key_record(e, autoKey);
        APL_handlewin(&r);
        return true;
    }
    case platform::ev_mouse_up: {
        EventRecord r;
        r.what = mouseUp;
        r.where_h = e.x;
        r.where_v = e.y;
        r.modifiers = e.modifiers;
        APL_handlewin(&r);
        const float s = interface_scale();
        log_input("release", static_cast<float>(e.x) / s, static_cast<float>(wins.win_px_h - e.y) / s);
        return true;
    }
    case platform::ev_exposed: {
        EventRecord r;
        r.what = updateEvt;
        APL_handlewin(&r);
        return true;
    }
    case platform::ev_activated: {
        EventRecord r;
        r.what = activateEvt;
        r.modifiers = activeFlag;
        APL_handlewin(&r);
        return false;
    }
    case platform::ev_close:
        quit_requested();
        return false;
    default:
        return true;
    }
}
}  // namespace

void event_pump_reset_for_test() {
    g_input_log = input_log{};
    win_started = 0;
    app_frame_depth = 0;
    work_started = 0;
    next_frame_at_once = false;
    scroll_remainder = 0;
    front_window = 0;
}

void shell_next_frame_at_once() { next_frame_at_once = true; }

void shell_swap_buffers() { platform::window_swap(cons.windows[0]); }

void MACIBM_event_proc() {
    xtim_class::profile_chart("init", 0);
    return_hit = mnw.cursor_code = mnw.click_hit = mnw.release_hit = mnw.key_hit = escape_hit = delete_hit = 0;
    if (wins.panel_id == -1) wins.panel_id = 0;
    if (!win_started) {
        win_started = 1;
        wins.start_win(wins.panel_id);
    }

    read_mouse();

    // Drain the queue. Only an idle frame waits, at most one tick, and only until the first
    // event: once one has come, the rest of the queue is polled, so a press is acted on in this
    // frame instead of a tick later. A frame after one whose work and swap already took a tick (a
    // screen spending its work budget) only polls, and so does one the application asked for at
    // once (a screen that starts its work): a wait there would only delay that work.
    bool poll_only = next_frame_at_once || (work_started && xtim_class::microsecs() - work_started >= kTickUs);
    next_frame_at_once = false;
    platform::input_event e;
    while (platform::next_event(e, poll_only ? 0 : kTickMs)) {
        if (!dispatch(e)) break;
        poll_only = true;
    }
    work_started = xtim_class::microsecs();
    xtim_class::profile_chart("event", 0);

    xtim.xtim_update();
    keys.run_repeat_keys();
    if (frame_hooks.menu_in_any && frame_hooks.menu_in_any()) MACIBM_handle_click();

    if (wins_hooks.focus_ring_restart) wins_hooks.focus_ring_restart();
    // A modal panel that the application's frame opened has closed in this frame: that frame goes
    // on drawing and shows itself, so this one neither runs it a second time nor swaps.
    const bool callers_frame = app_frame_depth > 0 && !wins.panel_active;
    if (!callers_frame) {
        if (!wins.panel_active && frame_hooks.app_update) {
            ++app_frame_depth;
            frame_hooks.app_update();
            --app_frame_depth;
        }
        standard_gui();
        if (frame_hooks.movie_per_frame) frame_hooks.movie_per_frame();
        else OGL_sbuff();
    }
    xtim_class::profile_chart("sbuff", 0);
    flush_input_log();
    if (frame_hooks.delete_textures) frame_hooks.delete_textures();
    xtim_class::profile_chart("oglwork", 0);
    xtim_class::profile_chart("finish", 1);
}

void standard_gui() {
    if (wins.panel_id == 0) {
        THREAD_check_exception(1);
        if (frame_hooks.texture_warnings) frame_hooks.texture_warnings();
    }
    if (wins_hooks.help_pass) wins_hooks.help_pass(wins.panel_id);
    if (frame_hooks.menus_draw) frame_hooks.menus_draw();
}

void APL_handlewin(EventRecord* event) {
    switch (event->what) {
    case keyDown:
        keys.handle_key_raw(event);
        mnw.key_hit = 1;
        mnw.key_held = 1;
        break;
    case keyUp:
        keys.handle_key_raw(event);
        mnw.key_held = 0;
        break;
    case autoKey:
        keys.handle_key_raw(event);
        mnw.key_hit = 1;
        break;
    case mouseDown:
        mnw.click_hit = 1;
        MACIBM_handle_click();
        break;
    case mouseUp:
        mnw.release_hit = 1;
        MACIBM_handle_release();
        break;
    case updateEvt: {
        // The window is shown again, not left: a press or a held button of this frame stands.
        const int click = mnw.click_hit, held = mnw.mouse_held;
        wins.start_win(wins.panel_id);
        mnw.click_hit = click;
        mnw.mouse_held = held;
        break;
    }
    case activateEvt:
        if (event->modifiers & activeFlag) {
            std::printf("Activate evt.\n");
            std::fflush(stdout);
        }
        break;
    default:
        break;
    }
}

void MACIBM_handle_click() {
    if (frame_hooks.menu_click) frame_hooks.menu_click();
    if (frame_hooks.menu_clear_popup_owner) frame_hooks.menu_clear_popup_owner();
    const int p = wins.panel_id;
    if (p != 0 && !(p >= 994 && p <= 999)) {
        const float x = mnw.mouse_x, y = mnw.mouse_y, w = wins.panel_w, h = wins.panel_h;
        const bool top = y >= h - 20 && y <= h;
        if (top && ((x >= 0 && x <= 25) || (x >= w - 25 && x <= w))) MACIBM_close_win();
    }
}

void MACIBM_handle_release() {
    const bool in_place = xtim.real_time - mnw.click_time < 1.0f && std::fabs(mnw.mouse_x - mnw.click_x) < 3.0f &&
                          std::fabs(mnw.mouse_y - mnw.click_y) < 3.0f;
    if (!in_place && frame_hooks.menu_release) frame_hooks.menu_release();
}

void MACIBM_close_win() {
    // The press shows: the boxes lit for one frame before the panel goes.
    if (frame_hooks.close_boxes_lit) frame_hooks.close_boxes_lit();
    OGL_sbuff();
    return_hit = escape_hit = 0;
    wins.start_win(0);
}

int has_optionkey() { return (platform::modifier_state() & optionKey) ? 1 : 0; }
int has_shiftkey() { return (platform::modifier_state() & shiftKey) ? 1 : 0; }
int has_controlkey() { return (platform::modifier_state() & (cmdKey | controlKey)) ? 1 : 0; }
int has_capslock() { return (platform::modifier_state() & alphaLock) ? 1 : 0; }

void MACIBM_load_mxy(int window, int x, int y) {
    const float s = interface_scale();
    mnw.mouse_x = static_cast<float>(x) / s;
    mnw.mouse_y = static_cast<float>(wins.win_px_h - y) / s;
    place_mouse_for_window(window);
}

void MACIBM_movemouse(int x, int y, int window) {
    const bool two = cons.num_cons(-1) == 2;
    mnw.mouse_x = static_cast<float>(x + (two ? wins.win_px_w : 0));
    mnw.mouse_y = static_cast<float>(y);
    platform::gl_window* w = cons.windows[window == 1 ? 1 : 0];
    platform::mouse_warp(w, x, wins.win_px_h - y);
}

void APL_add_scroll(int quarter_steps) {
    scroll_remainder += quarter_steps;
    const int whole = scroll_remainder / 4;   // truncates toward zero
    mnw.wheel_steps += whole;
    scroll_remainder -= whole * 4;
}

int APL_HandleCarbonEvent(const platform::input_event& e) {
    switch (e.kind) {
    case platform::ev_wheel:
        mnw.wheel_steps += e.delta;
        return 0;
    case platform::ev_smooth_scroll:
        APL_add_scroll(e.delta);
        return 0;
    case platform::ev_resized: {
        if (app_done) return 0;
        ++resize_recurse;
        if (resize_recurse == 1 && e.window != 0) {
            int x = 0, y = 0, w = e.w, h = e.h;
            if (cons.windows[0] && platform::window_id(cons.windows[0]) == e.window)
                platform::window_content_bounds(cons.windows[0], x, y, w, h);
            if (w != wins.win_px_w || h != wins.win_px_h) {
                if (cons.num_cons(-1) == 2 && cons.windows[1]) platform::window_size(cons.windows[1], w, h);
                MACIBM_live_resize(w, h);
            }
        }
        --resize_recurse;
        return 0;
    }
    case platform::ev_mouse_down: {
        mnw.right_click = e.button == 2 ? 1 : 0;
        // Hit-test the press where it happened: a move that came with it in this frame (touch
        // screens, remote desktops, scripted input) is not in the pointer read at the frame's start.
        MACIBM_load_mxy(window_of(e.window), e.x, e.y);
        EventRecord r;
        r.what = mouseDown;
        r.where_h = e.x;
        r.where_v = e.y;
        r.modifiers = e.modifiers;
        APL_handlewin(&r);
        log_input("press", static_cast<float>(e.x) / interface_scale(),
                  static_cast<float>(wins.win_px_h - e.y) / interface_scale());
        return 0;
    }
    case platform::ev_key_down: {
        EventRecord r = key_record(e, keyDown);
        APL_handlewin(&r);
        log_key(e.key_code);
        return 0;
    }
    default:
        return eventNotHandledErr;
    }
}
