#include "platform/events.h"

#include <SDL.h>

#include <deque>

#include "platform/gl_window_impl.h"
#include "platform/key_codes.h"
#include "platform/video.h"

namespace platform {

namespace {

int g_last_wait_ms = -1;

std::deque<input_event>& test_queue() {
    static std::deque<input_event> q;
    return q;
}

// Events one SDL event gave beyond the first.
std::deque<input_event>& pending() {
    static std::deque<input_event> q;
    return q;
}

// Physical key of text that came without a key SDL could name.
constexpr int kTextOnlyKey = 128 + SDL_SCANCODE_UNKNOWN;

struct test_mouse_t {
    bool set = false;
    int x = 0, y = 0;
} g_test_mouse;

int modifiers_of(Uint16 m) {
    int out = 0;
    if (m & KMOD_GUI) out |= mod_command;
    if (m & KMOD_SHIFT) out |= mod_shift;
    if (m & KMOD_CAPS) out |= mod_caps;
    if (m & KMOD_ALT) out |= mod_option;
    if (m & KMOD_CTRL) out |= mod_control;
    return out;
}

// The code point at s (0 for a malformed one); *next is where the next one starts.
uint32_t code_point_at(const char* s, const char** next) {
    const auto* u = reinterpret_cast<const unsigned char*>(s);
    *next = s;
    if (!u[0]) return 0;
    *next = s + 1;
    if (u[0] < 0x80) return u[0];
    int extra = u[0] >= 0xF0 ? 3 : u[0] >= 0xE0 ? 2 : 1;
    uint32_t cp = u[0] & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if ((u[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (u[i] & 0x3F);
        *next = s + i + 1;
    }
    return cp;
}

// Characters typed without a key of their own (a key SDL cannot name, such as one xdotool
// remaps, or text an input method commits): one press and release each.
void queue_text_keys(const char* text, uint32_t window, int modifiers) {
    for (const char* p = text; *p;) {
        const char* next;
        const uint32_t cp = code_point_at(p, &next);
        p = next;
        if (!cp) continue;
        input_event e;
        e.window = window;
        e.key_code = kTextOnlyKey;
        e.modifiers = modifiers;
        e.ch = cp;
        e.lower = cp < 0x80 && cp >= 'A' && cp <= 'Z' ? cp | 0x20 : cp < 0x80 ? cp : 0;
        e.upper = us_shifted(e.lower);
        e.kind = ev_key_down;
        pending().push_back(e);
        e.kind = ev_key_up;
        pending().push_back(e);
    }
}

bool is_modifier_key(SDL_Scancode s) {
    return (s >= SDL_SCANCODE_LCTRL && s <= SDL_SCANCODE_RGUI) || s == SDL_SCANCODE_CAPSLOCK ||
           s == SDL_SCANCODE_MODE;
}

// Turns one SDL event into ours; false for events we do not pass on.
bool translate(const SDL_Event& ev, input_event& e) {
    switch (ev.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const SDL_Scancode sc = ev.key.keysym.scancode;
        if (is_modifier_key(sc)) return false;
        e.kind = ev.type == SDL_KEYUP ? ev_key_up : ev.key.repeat ? ev_key_repeat : ev_key_down;
        e.window = ev.key.windowID;
        e.key_code = physical_key_code(sc);
        e.modifiers = modifiers_of(ev.key.keysym.mod);
        const SDL_Keycode plain = SDL_GetKeyFromScancode(sc);
        e.lower = plain > 0 && plain < 0x110000 && !(plain & SDLK_SCANCODE_MASK) ? static_cast<uint32_t>(plain) : 0;
        e.upper = us_shifted(e.lower);
        if (e.kind != ev_key_up) {
            // The typed character follows its key as a text event in the same batch.
            // Only the event right after it counts: a key that types nothing must not take the
            // text of a later key.
            SDL_Event text;
            if (SDL_PeepEvents(&text, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 &&
                text.type == SDL_TEXTINPUT) {
                SDL_PeepEvents(&text, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT);
                const char* rest;
                e.ch = code_point_at(text.text.text, &rest);
                queue_text_keys(rest, e.window, e.modifiers);
            } else if ((e.modifiers & mod_control) && e.lower >= 'a' && e.lower <= 'z') {
                e.ch = e.lower & 0x1F;
            }
        }
        return true;
    }
    case SDL_TEXTINPUT:
        // Text no key event claimed.
        queue_text_keys(ev.text.text, ev.text.windowID, modifiers_of(SDL_GetModState()));
        if (pending().empty()) return false;
        e = pending().front();
        pending().pop_front();
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        e.kind = ev.type == SDL_MOUSEBUTTONDOWN ? ev_mouse_down : ev_mouse_up;
        e.window = ev.button.windowID;
        e.button = ev.button.button == SDL_BUTTON_RIGHT ? 2 : ev.button.button == SDL_BUTTON_MIDDLE ? 3 : 1;
        e.x = ev.button.x;
        e.y = ev.button.y;
        e.modifiers = modifiers_of(SDL_GetModState());
        return true;
    case SDL_MOUSEWHEEL:
        e.kind = ev_wheel;
        e.window = ev.wheel.windowID;
        e.delta = ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -ev.wheel.y : ev.wheel.y;
        return e.delta != 0;
    case SDL_WINDOWEVENT:
        e.window = ev.window.windowID;
        switch (ev.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            e.kind = ev_resized;
            e.w = ev.window.data1;
            e.h = ev.window.data2;
            return true;
        case SDL_WINDOWEVENT_EXPOSED: e.kind = ev_exposed; return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED: e.kind = ev_activated; return true;
        case SDL_WINDOWEVENT_CLOSE: e.kind = ev_close; return true;
        default: return false;
        }
    case SDL_QUIT:
        e.kind = ev_close;
        return true;
    default:
        return false;
    }
}

}  // namespace

bool next_event(input_event& e, int wait_ms) {
    g_last_wait_ms = wait_ms;
    if (!test_queue().empty()) {
        e = test_queue().front();
        test_queue().pop_front();
        return true;
    }
    if (!pending().empty()) {
        e = pending().front();
        pending().pop_front();
        return true;
    }
    if (!video_running()) return false;
    SDL_Event ev;
    // Wait once for the first event; anything SDL does not pass on is skipped without waiting again.
    int got = wait_ms > 0 ? SDL_WaitEventTimeout(&ev, wait_ms) : SDL_PollEvent(&ev);
    while (got) {
        e = input_event{};
        if (translate(ev, e)) return true;
        got = SDL_PollEvent(&ev);
    }
    return false;
}

int modifier_state() { return video_running() ? modifiers_of(SDL_GetModState()) : 0; }

bool mouse_position(gl_window* w, int& x, int& y) {
    if (g_test_mouse.set) {
        x = g_test_mouse.x;
        y = g_test_mouse.y;
        return true;
    }
    if (!video_running() || !w) return false;
    if (SDL_GetMouseFocus() == w->sdl) {
        SDL_GetMouseState(&x, &y);
        return true;
    }
    int gx = 0, gy = 0, wx = 0, wy = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(w->sdl, &wx, &wy);
    x = gx - wx;
    y = gy - wy;
    return true;
}

void mouse_warp(gl_window* w, int x, int y) {
    if (g_test_mouse.set) {
        g_test_mouse.x = x;
        g_test_mouse.y = y;
        return;
    }
    if (video_running() && w) SDL_WarpMouseInWindow(w->sdl, x, y);
}

namespace {
cursor_calls_t g_cursor_calls;
}

void cursor_show(bool show) {
    ++(show ? g_cursor_calls.shows : g_cursor_calls.hides);
    if (video_running()) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

void cursor_arrow() {
    ++g_cursor_calls.arrows;
    // SDL's default cursor is the system arrow, and SDL owns it across video restarts.
    if (video_running()) SDL_SetCursor(SDL_GetDefaultCursor());
}

cursor_calls_t cursor_calls_for_test() { return g_cursor_calls; }

int double_click_ms() { return 500; }

void push_test_event(const input_event& e) { test_queue().push_back(e); }

void set_test_mouse(gl_window*, int x, int y) {
    g_test_mouse.set = true;
    g_test_mouse.x = x;
    g_test_mouse.y = y;
}

int last_event_wait_for_test() { return g_last_wait_ms; }

void clear_test_input() {
    g_last_wait_ms = -1;
    test_queue().clear();
    pending().clear();
    g_test_mouse = {};
}

}  // namespace platform
