#pragma once
// The vertical scroll bar: a track with end arrows and a thumb, bound to an int that runs from min
// at the top to max at the bottom. Immediate-mode, called every frame with its geometry.
//
//   BTN_vert_slider(0, 370, 30, 686, 0, rows - 34, &first_row);
//
// Slots 0 to 3 remember, each for one slider on screen, whether its thumb is held.
#include <string>

// The track at x (a whole number) from y_bottom to y_top. Arrows step by 1, the track pages by 10
// towards the pointer (repeating while held), the held thumb follows the pointer. 1 while the
// thumb is held. With max not above min only the track is drawn.
int BTN_vert_slider(int slot, float x, float y_bottom, float y_top, int min, int max, int* value);

// The horizontal slider: a trough from x to x + width at height y with a fill in fill_colour
// (81: none) up to the value, the caption above it and, when enabled, a thumb that follows the
// held pointer while it stays within 20 units of the bar. lo and hi are kept at least 0.01 apart;
// the drag and the thumb map the smaller bound to the left end. 1 in a frame a drag set *value.
int BTN_horz_slider(float x, float y, float width, int fill_colour, float lo, float hi, float* value, int enabled,
                    const std::string& label, const std::string& caption);
