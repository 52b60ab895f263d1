#pragma once
// The frame art of every widget, from the widget atlas (texture 359, 512 x 512) and the language's
// bottom-bar art (texture 362, 1024 x 128), in panel-relative interface units, y up. One frame
// style numbering covers all shapes:
//
//   BTN_frame1 (horizontal bar, any width)   0 menu bar, 1 panel title bar, 2 push button,
//     3 push button lit, 4 progress trough, 5 progress fill, 7 slider trough, 8 slider fill,
//     9 text field (+4 wide), 10 popup list (+4 wide), 11-13 bottom-bar button (normal,
//     pressed, disabled)
//   BTN_frame0 (upright bar, any length)     6 scroll track
//   BTN_frame2 (nine-slice, any size)        14 panel with close boxes, 15 panel, 16 sub-panel,
//     17 help tip, 18 dialog sub-panel, 19 list box, 20 menu, 21 and 22 small frames,
//     23 wizard side panel
//
//   BTN_frame1(2, 120, 40, 100, 57);                  // a push button centred at (120, 40)
//   BTN_frame2(16, 10, 35, 300, 200, "Options", 1);   // a titled sub-panel around a rectangle
//
// Each frame is one GL_QUADS batch. A style outside a function's own numbers is a crash alert.
#include <string>

#include "ui/tt_font.h"

// A bar centred at (x, y): x is rounded, width rounded to an even number; tinted by colour.
void BTN_frame1(int style, float x, float y, float width, int colour);
// The upright bar centred at (x, y), which must be whole numbers; 20 units wide.
void BTN_frame0(int style, float x, float y, float length);
// A frame around the rectangle x, y, width, height, reaching outside it by the style's margins,
// with a title above its inside (left-aligned on the side panel, else centred) and opacity as
// its alpha. Style 14 also draws the panel's close boxes except on the application screen
// (panel 0) and panels 994 to 999.
void BTN_frame2(int style, float x, float y, float width, float height, const std::string& title, float opacity);
// One atlas rectangle, centred at (s_centre, t_centre) in atlas texels, drawn 1:1 centred at (x, y).
void BTN_util_element(float x, float y, float s_centre, float t_centre, float half_width, float half_height,
                      int colour);
// The open panel's two close boxes near its top corners; 1 when the mouse button went down in
// this frame inside one of them.
int BTN_zap_boxes(int lit);
// The open panel's background with its title (stls[4]); inner_style 1 adds the title bar, 24
// nothing, any nine-slice style an inner frame 10 units in.
void BTN_fillwin(int close_boxes, int inner_style);
// A titled frame inside the open panel. Negative x or y mean 10, negative width or height reach
// 10 units from the panel's right edge or 28 plus top_reserve from its top. Writes where a
// neighbour 10 units to the right or above would go.
void BTN_subwin(float top_reserve, int style, float x, float y, float width, float height, const std::string& title,
                float* next_x, float* next_y);
// A text centred on x in a text-field frame, with the label's left part before and its right part
// after the frame.
void OGL_boxed_string(float x, float y, float width, const std::string& label, const std::string& text,
                      charset_t charset, int colour);

// Shared with the numeric fields and the file dialog.
extern std::string global_c_str_ram;
extern float io_dx, io_cx, io_dy, io_cy;
