#pragma once
// Keyboard, mouse and window events, the mouse position and the cursor.
//   [x] key down, key up and auto-repeat with the physical key code (key_codes.h), the modifier
//       state, the typed character (SDL's text events) and the key's plain and shifted characters
//   [x] mouse buttons (secondary button flagged), wheel steps, window size changes, exposure,
//       activation, and the close box / quit request
//   [x] the mouse position in a window's content pixels, warping it, hiding the cursor, the
//       standard arrow shape
//   [x] characters that come without a key SDL can name (keys xdotool remaps, input-method
//       text, the rest of a multi-character text) as a press and release of their own
//   [ ] themed cursor shapes other than the arrow (the program draws its own pictures)
//   [x] a test queue of made-up events served before the system's, and a made-up mouse position
//   [ ] dead keys and input methods: a composed character arrives, the dead key itself gives none
//   [ ] the shifted character of punctuation keys on layouts other than US
#include <cstdint>

#include "platform/gl_window.h"

namespace platform {

enum event_kind {
    ev_none,
    ev_key_down,
    ev_key_up,
    ev_key_repeat,
    ev_mouse_down,
    ev_mouse_up,
    ev_wheel,          // whole wheel steps in delta
    ev_smooth_scroll,  // fine scroll, delta in quarter steps
    ev_resized,        // the content size changed to w x h
    ev_exposed,
    ev_activated,
    ev_close,          // the window's close box, or the session asks the program to quit
};

// Modifier bits, as the key tables expect them.
constexpr int mod_command = 1 << 8, mod_shift = 1 << 9, mod_caps = 1 << 10, mod_option = 1 << 11,
              mod_control = 1 << 12;

struct input_event {
    int kind = ev_none;
    uint32_t window = 0;   // window_id() of the window it belongs to, 0 when unknown
    int key_code = 0;      // physical key (key_codes.h)
    int modifiers = 0;     // mod_* bits
    uint32_t ch = 0;       // the character typed, with modifiers and layout (0: none)
    uint32_t lower = 0;    // the key's character without modifiers
    uint32_t upper = 0;    // the key's character with shift alone
    int button = 0;        // 1 primary, 2 secondary, 3 middle
    int x = 0, y = 0;      // content pixels, y down
    int delta = 0;
    int w = 0, h = 0;
};

// The next event, waiting up to wait_ms for one (0: only what is queued). False when none came.
bool next_event(input_event& e, int wait_ms);
// The live modifier state (mod_* bits).
int modifier_state();
// The mouse in window w's content pixels (y down); false when it cannot be read.
bool mouse_position(gl_window* w, int& x, int& y);
void mouse_warp(gl_window* w, int x, int y);
void cursor_show(bool show);
// Gives the system's cursor the standard arrow shape.
void cursor_arrow();
// The double-click interval in milliseconds.
int double_click_ms();

// Test seams: events served before the system's, and a mouse position that replaces the real one.
void push_test_event(const input_event& e);
void set_test_mouse(gl_window* w, int x, int y);
void clear_test_input();
// Test seam: the cursor calls made so far, whether or not video is running.
struct cursor_calls_t {
    int hides = 0, shows = 0, arrows = 0;
};
cursor_calls_t cursor_calls_for_test();
// Test seam: the wait_ms of the latest next_event call (-1 before any).
int last_event_wait_for_test();

}  // namespace platform
