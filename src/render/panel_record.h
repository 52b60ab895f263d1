#pragma once
// Which framework panel is open, where it lies in the window, the window's size and the
// interface's view, and the screen-mode settings the preferences keep.
//
// Everything drawn or hit-tested works in interface units relative to the open panel: origin at
// its lower-left corner, x right, y up. Drawing adds off_x and off_y to every vertex; the shell
// subtracts them from the pointer it records. Main thread only.

class wins_class {
public:
    // Makes a framework panel current: 0 the application screen (the whole window), 2 the
    // preferences, 994 the alert, 995-999 the dialogs; any other number behaves like 0.
    void start_win(int panel);
    // Gives the open panel another size, centred in the window as start_win centres it.
    void resize(float w, float h);

    int id = 0;             // the open panel
    int panel_id = 0;       // the open panel as widgets and the shell test it; -1 during start-up
    int mouse_panel = 0;    // the panel under the pointer (0 while it is in the second window)
    int panel_active = 0;   // 1 while a panel of the panel table is open: the application frame waits
    float off_x = 0, off_y = 0;       // the panel origin in the window, interface units
    float panel_w = 0, panel_h = 0;   // the panel's size, interface units

    // Screen-mode settings (kept in the screen preferences).
    int full_screen = 0;    // 1 while the window covers the display
    int windowed_w = 0;
    int windowed_h = 0;
    int full_w = 0;         // full-screen mode; 0 width or height: the display's own
    int full_h = 0;
    int full_bpp = 0;
    int full_hz = 0;

    int win_px_w = 0, win_px_h = 0;   // the drawable, in pixels
    int screen_bpp = 0;               // the display's bits per pixel

    float ui_off_x = 0;     // centres a 1024-unit layout in a wider window
    float view_left = 0, view_bottom = 0, view_right = 0, view_top = 0;
    float scale = 0;        // pixels per interface unit; OGL_pix_specs makes it 1.0
};

extern wins_class wins;

// What opening a panel asks of the layers above the view (help tips, menus, focus). Each stays
// empty until its layer fills it in.
struct wins_hooks_t {
    void (*help_pass)(int panel) = nullptr;   // draws a pending tip and empties the help text
    void (*menus_close)() = nullptr;          // closes any open menu and the popup list
    void (*focus_ring_restart)() = nullptr;   // empties the keyboard-focus ring
    void (*unfocus_any)() = nullptr;          // drops the keyboard focus
};
extern wins_hooks_t wins_hooks;
