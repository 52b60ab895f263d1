#pragma once
// Displays and their modes, for full screen on a small display.
//   [x] the active displays, their bounds and current mode (SDL)
//   [x] the modes a display offers, and the best one for a wanted size, depth and rate
//   [x] switching: the wanted mode is applied when a window goes full screen on it, and leaving
//       full screen (or closing the window) gives the display its desktop mode back
//   [x] a made-up display from VENTARO_TEST_DISPLAY_MODES (see test_switches.h)
//   [ ] switching the desktop's mode with no full-screen window of ours on it
//   [ ] the refresh rate where the driver does not state one: 0 (as a flat panel reports)
#include <vector>

namespace platform {

struct display_mode {
    int w = 0, h = 0, bpp = 0, hz = 0;
    bool operator==(const display_mode&) const = default;
};

// Active displays; -1 when the list cannot be read.
int display_count();
// Bounds of display n in screen pixels; false when there is no such display.
bool display_bounds(int n, int& x, int& y, int& w, int& h);
// The mode display n shows now (the switched-to mode while one is in force).
bool display_mode_now(int n, display_mode& out);
// Every mode display n offers, in the driver's order.
std::vector<display_mode> display_modes(int n);
// The offered mode closest to the wish: at least its size, then its depth, then its rate.
bool display_best_mode(int n, const display_mode& want, display_mode& out);
// Puts display n in mode m (full-screen windows take it); the display's own mode ends a switch.
bool display_switch(int n, const display_mode& m);
// The mode a full-screen window on display n must take; false when none was switched to.
bool display_switched_mode(int n, display_mode& out);
// True when VENTARO_TEST_DISPLAY_MODES stands in for the display.
bool display_is_fake();
// Test seam: forget the made-up display's state and read the variable again.
void display_reset_for_test();

}  // namespace platform
