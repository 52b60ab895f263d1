#pragma once
// The frame's mouse and key state and the current language: written by the event layer and the
// frame clock, read by every widget. Positions are interface units relative to the open panel,
// y up; times are the frame clock's seconds.

struct mnw_record {
    float mouse_x = 0, mouse_y = 0;   // pointer, relative to the current panel's origin
    float click_x = 0, click_y = 0;   // where the menu bar last opened a menu
    float click_time = 0;             // time of the last click
    int click_hit = 0;                // the button went down this frame and nothing consumed it
    int release_hit = 0;              // the button went up this frame
    int mouse_held = 0;               // the button is down
    int held_quarter = 0;             // held for more than 0.25 s
    int held_second = 0;              // held for more than 1 s
    int quick_release = 0;            // released this frame within 0.25 s of the click
    int double_click = 0;             // clicked within the double-click time of the previous click
    float move_time = 0;              // time of the last move of more than half a unit, or click
    int wheel_steps = 0;              // accumulated scroll-wheel steps
    int right_click = 0;              // the last content click was with the secondary button
    int key_hit = 0;                  // a key went down or repeated this frame
    int key_held = 0;                 // a key is down
    int last_char = 0;                // last typed character passed to the bindings, 7 bits
    int lang = 0;                     // current language, 0 English ... 5 Spanish; -1 none chosen
    int cursor_code = 0;              // cursor wanted this frame; 0 the arrow
    int profiling = 0;                // nonzero logs the frame's profile marks
    int key_cmnds_off = 0;            // nonzero: only Return and Enter run their bindings
    int keylist_up = 0;
    int prefs_found = 0;
};

extern mnw_record mnw;

// Per-frame key flags: set by the keyboard layer, cleared at the start of every frame, read by
// dialogs.
extern int return_hit;   // Return or Enter
extern int escape_hit;   // Escape
extern int delete_hit;   // Delete or Backspace
