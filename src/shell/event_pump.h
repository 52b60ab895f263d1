#pragma once
// The frame pump: one call of MACIBM_event_proc is one frame. It reads the mouse, drains the
// system's events (waiting at most one tick), ticks the frame clock, runs the application frame
// unless a framework panel is open, draws the framework's overlays and swaps the buffers.
#include "platform/events.h"
#include "shell/event_record.h"

void MACIBM_event_proc();
void standard_gui();
void APL_handlewin(EventRecord* event);
void MACIBM_handle_click();
void MACIBM_handle_release();
void MACIBM_close_win();
int has_optionkey();
int has_shiftkey();
int has_controlkey();
int has_capslock();
// Sets the mouse fields from a position in window pixels (y down) of window 0 or 1.
void MACIBM_load_mxy(int window, int x, int y);
void MACIBM_movemouse(int x, int y, int window);

// The window handler's kinds: wheel (10), fine scroll (11), bounds changed (27), content click
// (85), raw key down (1). Returns 0 when handled, -9874 when not.
constexpr int eventNotHandledErr = -9874;
int APL_HandleCarbonEvent(const platform::input_event& event);
// Fine-scroll steps: quarter steps add up across events; whole steps go to wheel_steps.
void APL_add_scroll(int quarter_steps);

// The places in a frame that later layers fill in. Each one empty does nothing, except the
// frame's buffer swap, which is OGL_sbuff when no movie hook is set (the movie recorder's hook,
// set here, swaps the buffers itself).
struct frame_hooks_t {
    void (*app_update)() = nullptr;            // the application's frame (APP_update)
    int (*menu_in_any)() = nullptr;            // a menu is open and the mouse is over another title
    void (*menu_click)() = nullptr;            // a mouse-down for the menu bar
    void (*menu_release)() = nullptr;          // a mouse-up that picks an item or closes the menu
    void (*menu_clear_popup_owner)() = nullptr;
    void (*menus_draw)() = nullptr;            // the menu bar and any open menu
    void (*texture_warnings)() = nullptr;      // alerts for textures that failed to load
    void (*close_boxes_lit)() = nullptr;       // the panel's close boxes drawn lit
    void (*movie_per_frame)() = nullptr;       // the movie recorder's hook; swaps the buffers
    void (*delete_textures)() = nullptr;       // texture names released on other threads
    void (*quit_request)() = nullptr;          // the window's close box; default: end the frame loop
};
extern frame_hooks_t frame_hooks;

// The application has work waiting for the next frame (a new screen that starts at once): that
// frame polls for events instead of waiting for them.
void shell_next_frame_at_once();

// Shows the frame: swaps window 0's buffers.
void shell_swap_buffers();

extern int resize_recurse;   // display-mode switches in progress (window size changes they cause are not the user's)

// Test seam: forget that the first frame has opened its panel.
void event_pump_reset_for_test();
