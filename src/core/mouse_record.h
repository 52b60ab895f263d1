#pragma once
// The frame's mouse, key and language record. For now the fields the frame clock and the
// preferences use; the event layer fills in the rest when it arrives.

struct mnw_record {
    float mouse_x = 0, mouse_y = 0;   // pointer in interface units
    int click_hit = 0;                // the button went down this frame
    int release_hit = 0;              // the button went up this frame
    int mouse_held = 0;               // the button is down
    int held_quarter = 0;             // held for more than 0.25 s
    int held_second = 0;              // held for more than 1 s
    int quick_release = 0;            // released this frame within 0.25 s of the click
    int double_click = 0;             // clicked within the double-click time of the previous click
    float click_time = 0;             // frame-clock time of the last click
    float move_time = 0;              // frame-clock time of the last move or click
    int lang = 0;                     // current language, 0 English ... 5 Spanish; -1 none chosen
    int keylist_up = 0;
    int prefs_found = 0;
    int profiling = 0;                // nonzero logs the frame's profile marks
};

extern mnw_record mnw;
