#pragma once
// Windows with an OpenGL context.
//   [x] a window of a given content size and place, framed (movable, with a title bar) or plain
//   [x] a full-screen window that takes the display mode switched to (display_modes.h)
//   [x] the pixel format: RGBA, double-buffered, a depth buffer, optional multisampling
//   [x] a compatibility-profile context (never core: the drawing is fixed-function), optionally
//       sharing the objects of another
//   [x] swap interval, buffer swap, entry points by name (SDL_GL_GetProcAddress)
//   [x] the content bounds in screen pixels, moving and sizing
//   [ ] a depth buffer of 32 bits: Mesa and most X visuals stop at 24, which is asked for
//   [ ] the video memory size (no portable query; not logged)
//   [ ] a colour space per window (the X server's default stands)
#include <cstdint>
#include <string>

namespace platform {

struct gl_window;
using gl_context = void*;
using gl_proc = void (*)();

struct pixel_format_info {
    int rgba = 1, double_buffer = 0, red = 0, green = 0, blue = 0, alpha = 0, depth = 0, samples = 0;
};

// Makes the window with a pixel format of `samples` multisamples (0: none); null when that format
// or the window cannot be had. framed: a movable window with a title bar; full_screen: covers the
// display in its switched-to mode.
gl_window* window_create(int x, int y, int w, int h, bool framed, bool full_screen, int samples);
void window_destroy(gl_window* w);
// A compatibility context on the window's format, sharing share's objects when given.
gl_context context_create(gl_window* w, gl_context share);
bool context_make_current(gl_window* w, gl_context c);
// The format of the current context.
pixel_format_info current_pixel_format();
// False when the driver reports a format without hardware (or llvmpipe-class software) support.
bool current_context_accelerated();
// False when the driver refuses the interval, with its own reason in why.
bool set_swap_interval(int interval, std::string& why);
void window_swap(gl_window* w);
// Test seam: how many buffer swaps were asked for so far, with or without a window.
int window_swaps_for_test();
// Content rectangle in screen pixels.
void window_content_bounds(gl_window* w, int& x, int& y, int& width, int& height);
void window_move(gl_window* w, int x, int y);
void window_size(gl_window* w, int width, int height);
void window_raise(gl_window* w);
uint32_t window_id(gl_window* w);
// Entry point of the current GL library by name; null when it has none.
gl_proc gl_proc_address(const char* name);
// Last error text of the window layer.
const char* window_error();

}  // namespace platform
