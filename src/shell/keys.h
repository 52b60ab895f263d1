#pragma once
// The keyboard layer: raw key events to virtual keys, modifier flags and characters; the keys
// offered to the focused widget, the frame's Return/Escape/Delete flags, and the key bindings.
#include <cstdint>
#include <string>
#include <vector>

#include "shell/event_record.h"

// Named virtual keys.
enum {
    VNLM_VK_BACK = 8, VNLM_VK_TAB = 9, VNLM_VK_CLEAR = 12, VNLM_VK_RETURN = 13, VNLM_VK_ESCAPE = 27,
    VNLM_VK_SPACE = 32, VNLM_VK_PRIOR = 33, VNLM_VK_NEXT, VNLM_VK_END, VNLM_VK_HOME, VNLM_VK_LEFT, VNLM_VK_UP,
    VNLM_VK_RIGHT, VNLM_VK_DOWN, VNLM_VK_SELECT, VNLM_VK_PRINT, VNLM_VK_EXECUTE, VNLM_VK_SNAPSHOT,
    VNLM_VK_INSERT, VNLM_VK_DELETE, VNLM_VK_HELP,
    VNLM_VK_0 = 48, VNLM_VK_A = 65, VNLM_VK_NUMPAD0 = 96, VNLM_VK_MULTIPLY = 106, VNLM_VK_ADD = 107,
    VNLM_VK_SUBTRACT = 109, VNLM_VK_DECIMAL = 110, VNLM_VK_DIVIDE = 111, VNLM_VK_F1 = 112,
    VNLM_VK_EQUAL = 176, VNLM_VK_MINUS, VNLM_VK_RBRACE, VNLM_VK_LBRACE, VNLM_VK_QUOTE, VNLM_VK_SEMICOLON,
    VNLM_VK_BACKSLASH, VNLM_VK_COMMA, VNLM_VK_SLASH, VNLM_VK_PERIOD, VNLM_VK_BACKQUOTE, VNLM_VK_ENTER,
    VNLM_VK_NUMPAD_ENT, VNLM_VK_NUMPAD_EQ
};
// Modifier flags.
enum { vnlm_ShiftFlag = 1, vnlm_OptionAltFlag = 2, vnlm_ControlFlag = 4, vnlm_DownFlag = 8, vnlm_UpFlag = 16 };

struct key_binding {
    int vkey = 0;
    int flags = 0;   // modifier bits 0 to 7
    int cmnd = 0;    // command index
    int held = 0;
};

class keys_class {
public:
    keys_class();

    void handle_key_raw(const EventRecord* event);
    void execute_key_cmnd(int vkey, int flags);
    void handle_key(int vkey, int flags);
    void run_repeat_keys();
    int key_bound_to(int vkey, int flags) const;
    void keys_io(int write);
    static std::string vkey_to_str(int vkey);
    static std::string vkey_to_code(int vkey);
    static int str_to_vkey(const std::string& text);
    static std::string flag_to_str(int flags);
    static std::string flag_to_code(int flags);
    static int str_to_flag(const std::string& text);
    std::string get_key_for_cmnd(int cmnd) const;
    static int ascii_to_vkey(int ch, int& vkey, int& flags);
    // The key-assignment panel, drawn each frame inside an open framework panel (keys_wind.cpp).
    // compact: a wider list and no command browser.
    void keys_wind(int compact);
    void debug() {}

    int last_vkey = 0;
    int last_flags = 0;                 // modifier bits only
    std::vector<key_binding> bindings;
    std::vector<int> spare_keys;        // key numbers no table row names
    int max_named_key = 0;
};

extern keys_class keys;

// Where keys_wind laid out its frames: the command column's left edge (wx1), the list frame's top
// (wy1), the edges of the right-hand frame (wx2) and of what lies beyond it (wx3).
extern float wx1, wy1, wx2, wx3;
// The binding selected in keys_wind's list (-1: none) and the first one the list shows.
extern int key_edit, k_cen;

// Code point of a byte in the system's script encoding (Mac Roman).
uint32_t script_to_utf32(int byte);

// What the keyboard layer asks of the widget toolkit; tests put spies in its place.
struct keys_hooks_t {
    // Offers the key to the focused widget (the focus ring's dispatcher); 1 when it took it.
    int (*dispatch_to_focus)(uint32_t ch, int vkey, int flags) = nullptr;
};
extern keys_hooks_t keys_hooks;
