#pragma once
// Which framework panel is open, and the screen mode the preferences keep.

class wins_class {
public:
    int panel_id = 0;   // 0 the application screen, 2 preferences, 994 the alert, 995-999 dialogs; -1 at start-up

    // Screen-mode settings.
    int full_screen = 0;
    int windowed_w = 0;
    int windowed_h = 0;
    int full_w = 0;
    int full_h = 0;
    int full_hz = 0;
    int full_bpp = 0;
};

extern wins_class wins;
