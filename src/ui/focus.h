#pragma once
// Keyboard focus. Widgets are redrawn every frame, so the focus ring is rebuilt every frame in
// drawing order (which is also the Tab order); only focus_id, the focused widget's id, lives on.
// The keyboard layer offers every key to BTN_dispatch_to_focus first: it moves the focus (Tab)
// or appends the key to the focused widget's own queues, which the widget drains when drawn.
#include <vector>

// One widget that can take keys, as it registered this frame. The queues belong to the widget
// (one set per widget kind, hence the id recorded with every key).
struct focus_info_t {
    int widget_id = 0;
    int* char_queue = nullptr;   // character code of each queued key
    int* vkey_queue = nullptr;   // virtual key
    int* flag_queue = nullptr;   // modifier and event flags (1 shift, 2 option, 4 control, 8 down, 16 up)
    int* id_queue = nullptr;     // focus_id when the key was queued
    int* queue_count = nullptr;  // entries in use; the next key goes here
    int queue_capacity = 0;      // size of each of the four arrays
    int key_mask = 0;            // focus_key_* bits: the kinds of keys the widget takes
};

// Kinds of keys a widget takes (key_mask bits). Without focus_key_tab, Tab moves the focus.
enum {
    focus_key_tab = 0x001,
    focus_key_return = 0x002,      // Return or Enter
    focus_key_delete = 0x004,      // Backspace or forward Delete
    focus_key_escape = 0x008,
    focus_key_navigate = 0x010,    // page up/down, home, end, arrows
    focus_key_letter = 0x020,      // A-Z, a-z
    focus_key_digit = 0x040,
    focus_key_sign = 0x080,        // '+' and '-'
    focus_key_printable = 0x100,   // any other printable character, and every code above 127
    focus_key_clipboard = 0x200,   // control or command with C, V or X
    focus_key_control = 0x400,     // any other control character
};

// The queue size every focusable widget passes.
constexpr int focus_queue_capacity = 64;

extern std::vector<focus_info_t> focus_ring;
extern int focus_id;     // the focused widget; 0 for none
extern int wind_focus;   // the host window itself holds the keyboard this frame

// Starts a frame's widget pass: empties the ring and clears wind_focus; the focus stays.
void BTN_begin_focus_ring();
// Adds a widget to this frame's ring; take nonzero makes it the focused one. 1 when it has the
// focus this frame.
int BTN_register_focus(int id, int* chars, int* vkeys, int* flags, int* ids, int* count, int capacity, int mask,
                       int take);
// Routes one key event (ch: its code point, 0 for none). 1 when it moved the focus or belongs to
// the focused widget (queued, or dropped because that widget's queue is full); 0 when the
// keyboard layer should handle it.
int BTN_dispatch_to_focus(int ch, int vkey, int flags);
void BTN_unfocus_any();
// Focuses the first widget drawn last frame (none when the ring is empty).
void BTN_focus_any();
void BTN_window_has_focus();
int BTN_no_focus_yet();

